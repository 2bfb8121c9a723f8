#include "transform/emitter.h"

#include <charconv>
#include <cmath>
#include <string>

#include "model/UnitCall.h"

namespace korvane {
namespace {

// Which words one reversed block writes. The words are decided in a fixed order, each against
// the memory it updates at once, and only then written out in the order a block line reads.
struct Words {
    bool feed = false, spindle = false, seq = false, d = false, h = false, tool = false;
    bool comp = false, length = false, x = false, y = false, z = false;
    bool mode = false, motion = false, offset = false;
    RadiusComp compCode = RadiusComp::Off;
    LengthComp lengthCode = LengthComp::NotSeen;
    Motion motionCode = Motion::Rapid;
};

void AppendInt(std::string &out, std::int32_t value)
{
    char digits[16];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

template <typename Code> void AppendCode(std::string &out, const char *stem, Code code)
{
    out.append(stem).push_back(CodeDigit(code));
}

// A coordinate word is written when the value is known and differs from the memory.
bool DecideCoord(double value, double &memory)
{
    if (!CoordChanged(value, memory) || !IsWritable(value))
        return false;
    memory = value;
    return true;
}

void AppendCoordWord(std::string &out, char letter, double value)
{
    out.push_back(letter);
    AppendCoord(out, value);
}

// A whole feed as an integer ("F1500"), any other with its fraction ("F9.549").
void AppendFeed(std::string &out, double feed)
{
    out.push_back('F');
    AppendCoord(out, feed);
    if (feed == std::floor(feed) && out.back() == '.')
        out.pop_back();
}

} // namespace

void EmitReversedBlock(const BlockRecord &cur, const BlockRecord &prev, bool firstOfRun,
                       const RewriteSettings &settings, WorkingState &state)
{
    EmitMemory &m = state.memory;
    const MirrorAxis axis = settings.mirrorAxis;
    const bool whole = settings.wholeProgram;
    LineList &out = state.outputLines;
    thread_local std::string line;
    line.clear();
    Words w;

    if (cur.feed != m.lastFeed && cur.feed != -1) {
        m.lastFeed = cur.feed;
        w.feed = true;
    }
    if (cur.spindle != m.lastSpindle && cur.spindle != -1) {
        // When cutting segments are reversed in place, the copied lines carry the spindle.
        m.lastSpindle = cur.spindle;
        w.spindle = whole;
    }
    if (cur.seqNo != m.lastSeqNo && cur.seqNo != -1) {
        m.lastSeqNo = cur.seqNo;
        w.seq = true;
    }
    // The reversed move runs under the compensation that was in force before the block.
    if (prev.radiusOffset != m.lastRadiusOffset && prev.radiusOffset != -1) {
        m.lastRadiusOffset = prev.radiusOffset;
        w.d = true;
    }
    if (prev.lengthOffset != m.lastLengthOffset && prev.lengthOffset != -1) {
        m.lastLengthOffset = prev.lengthOffset;
        w.h = true;
    }
    const bool newH = w.h;
    if (cur.tool != m.lastTool && cur.tool != -1) {
        m.lastTool = cur.tool;
        w.tool = true;
    }
    // A tool change stops the spindle and leaves the new tool without its length offset: both
    // are written again after it.
    const bool toolChange = w.tool && whole;
    if (toolChange && cur.spindle != -1) {
        m.lastSpindle = cur.spindle;
        w.spindle = true;
    }
    if (toolChange && prev.lengthComp != LengthComp::NotSeen && prev.lengthOffset != -1) {
        m.lastLengthOffset = prev.lengthOffset;
        w.h = true;
    }

    const RadiusComp comp = prev.radiusComp;
    if (comp != m.lastRadiusComp || (firstOfRun && m.lastRadiusComp != RadiusComp::Off)) {
        m.lastRadiusComp = comp;
        w.comp = true;
        // Running a path backwards puts the cutter on the other side of it; a mirror image
        // swaps the side once more, so only the unmirrored rewrite exchanges G41 and G42.
        w.compCode = axis == MirrorAxis::None ? ExchangedSide(comp) : comp;
        if (w.compCode == RadiusComp::Off && !w.d)
            m.lastRadiusOffset = -1; // a bare G40: the next start must name its D again
    }
    const LengthComp length = prev.lengthComp;
    // A new H under G43 takes effect only with its G43; a new tool needs its offset anew.
    const bool lengthAgain =
        whole && length != LengthComp::NotSeen && (toolChange || (newH && length == LengthComp::On));
    if (length != m.lastLengthComp || lengthAgain) {
        m.lastLengthComp = length;
        w.length = true;
        w.lengthCode = length;
        if (length == LengthComp::Off && !w.h)
            m.lastLengthOffset = -1; // a bare G49
    }

    w.x = DecideCoord(cur.startX, m.lastX);
    w.y = DecideCoord(cur.startY, m.lastY);
    w.z = DecideCoord(cur.startZ, m.lastZ);

    // The output is always absolute: incremental input has been resolved to positions.
    if (m.lastDistanceMode != DistanceMode::Absolute || firstOfRun) {
        m.lastDistanceMode = DistanceMode::Absolute;
        w.mode = true;
    }
    if (cur.motion != m.lastMotion || firstOfRun) {
        m.lastMotion = cur.motion;
        w.motion = true;
        // An arc run backwards turns the other way; a mirror image turns it back.
        w.motionCode = axis == MirrorAxis::None ? ExchangedArc(cur.motion) : cur.motion;
    }
    // The reversed move goes to prev's end point, whose numbers belong to prev's offset.
    if (whole && prev.positionOffset != 0 && prev.positionOffset != m.lastPositionOffset) {
        m.lastPositionOffset = prev.positionOffset;
        w.offset = true;
    }

    if (!whole) {
        // In place, the copied lines around a segment own the tool, its length offset and
        // the depth; only a bare cancel of length compensation is kept.
        w.tool = false;
        w.z = false;
        w.length = w.length && w.lengthCode == LengthComp::Off && !w.h;
    }

    auto appendSpindle = [&] {
        line.append("M03S");
        AppendInt(line, cur.spindle);
        out.Append(line);
        line.clear();
    };
    if (w.spindle && !w.tool)
        appendSpindle();

    const bool radiusArc = cur.arcRadius != 0.0;
    const bool centreArc = !radiusArc && (cur.arcI != 0.0 || cur.arcJ != 0.0);
    const bool move = radiusArc || centreArc || w.mode || w.motion || w.x || w.y || w.z;
    const bool blockLine = w.seq || w.tool || w.comp || w.length || move || w.feed;
    if (!blockLine && !w.offset)
        return;

    auto appendLength = [&] {
        AppendCode(line, "G4", w.lengthCode);
        if (w.h) {
            line.push_back('H');
            AppendInt(line, prev.lengthOffset);
        }
    };
    if (w.tool) {
        line.push_back('T');
        AppendInt(line, cur.tool);
        line.append("M06");
        out.Append(line);
        line.clear();
    }
    // With a tool line or a compensation word, the length word stands on a line of its own.
    bool lengthInLine = w.length;
    if (w.length && w.tool) {
        appendLength();
        out.Append(line);
        line.clear();
        lengthInLine = false;
    }
    if (w.spindle && w.tool)
        appendSpindle();
    if (w.offset) {
        AppendInt(line.append("G"), prev.positionOffset);
        out.Append(line);
        line.clear();
    }
    if (!blockLine)
        return;
    if (lengthInLine && w.comp) {
        appendLength();
        out.Append(line);
        line.clear();
        lengthInLine = false;
    }

    if (w.seq) {
        line.push_back('N');
        AppendInt(line, cur.seqNo);
    }
    if (w.comp) {
        AppendCode(line, "G4", w.compCode);
        if (w.d) {
            line.push_back('D');
            AppendInt(line, prev.radiusOffset);
        }
    }
    if (lengthInLine)
        appendLength();
    if (w.mode && !radiusArc && !centreArc)
        line.append("G90");
    if (w.motion)
        AppendCode(line, "G0", w.motionCode);
    if (w.x)
        AppendCoordWord(line, 'X', axis == MirrorAxis::X ? -cur.startX : cur.startX);
    if (w.y)
        AppendCoordWord(line, 'Y', axis == MirrorAxis::Y ? -cur.startY : cur.startY);
    if (w.z)
        AppendCoordWord(line, 'Z', cur.startZ);
    if (radiusArc) {
        AppendCoordWord(line, 'R', cur.arcRadius);
    } else if (centreArc) {
        AppendCoordWord(line, 'I', axis == MirrorAxis::X ? -cur.arcI : cur.arcI);
        AppendCoordWord(line, 'J', axis == MirrorAxis::Y ? -cur.arcJ : cur.arcJ);
    }
    if (w.feed)
        AppendFeed(line, cur.feed);
    out.Append(line);
}

} // namespace korvane
