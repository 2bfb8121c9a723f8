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
    bool newH = false;       // the H word differed from the memory before any tool change
    bool toolChange = false; // a new tool, in a whole-program reversal
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

// The F, S, N, D, H and T words: written when the record's value is known (not -1) and differs
// from the memory, which then takes it.
template <typename T> bool DecideValue(T value, T &memory)
{
    if (value == memory || value == T{-1})
        return false;
    memory = value;
    return true;
}

void DecideValues(const BlockRecord &cur, const BlockRecord &prev, bool whole, EmitMemory &m,
                  Words &w)
{
    w.feed = DecideValue(cur.feed, m.lastFeed);
    // When cutting segments are reversed in place, the copied lines carry the spindle.
    w.spindle = DecideValue(cur.spindle, m.lastSpindle) && whole;
    w.seq = DecideValue(cur.seqNo, m.lastSeqNo);
    // The reversed move runs under the compensation that was in force before the block.
    w.d = DecideValue(prev.radiusOffset, m.lastRadiusOffset);
    w.h = DecideValue(prev.lengthOffset, m.lastLengthOffset);
    w.newH = w.h;
    w.tool = DecideValue(cur.tool, m.lastTool);
    w.toolChange = w.tool && whole;
}

// A tool change stops the spindle and leaves the new tool without its length offset: both
// are written again after it.
void DecideAfterToolChange(const BlockRecord &cur, const BlockRecord &prev, EmitMemory &m, Words &w)
{
    if (cur.spindle != -1) {
        m.lastSpindle = cur.spindle;
        w.spindle = true;
    }
    if (prev.lengthComp != LengthComp::NotSeen && prev.lengthOffset != -1) {
        m.lastLengthOffset = prev.lengthOffset;
        w.h = true;
    }
}

void DecideRadiusComp(const BlockRecord &prev, bool firstOfRun, MirrorAxis axis, EmitMemory &m,
                      Words &w)
{
    const RadiusComp comp = prev.radiusComp;
    if (comp == m.lastRadiusComp && !(firstOfRun && m.lastRadiusComp != RadiusComp::Off))
        return;
    m.lastRadiusComp = comp;
    w.comp = true;
    // Running a path backwards puts the cutter on the other side of it; a mirror image swaps
    // the side once more, so only the unmirrored rewrite exchanges G41 and G42.
    w.compCode = axis == MirrorAxis::None ? ExchangedSide(comp) : comp;
    if (w.compCode == RadiusComp::Off && !w.d)
        m.lastRadiusOffset = -1; // a bare G40: the next start must name its D again
}

void DecideLengthComp(const BlockRecord &prev, bool whole, EmitMemory &m, Words &w)
{
    const LengthComp length = prev.lengthComp;
    // A new H under G43 takes effect only with its G43; a new tool needs its offset anew.
    const bool again = whole && length != LengthComp::NotSeen &&
                       (w.toolChange || (w.newH && length == LengthComp::On));
    if (length == m.lastLengthComp && !again)
        return;
    m.lastLengthComp = length;
    w.length = true;
    w.lengthCode = length;
    if (length == LengthComp::Off && !w.h)
        m.lastLengthOffset = -1; // a bare G49
}

void DecideMotion(const BlockRecord &cur, bool firstOfRun, MirrorAxis axis, EmitMemory &m, Words &w)
{
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
}

// Decides every word of the reversed block, updating the memory as each is decided.
Words DecideWords(const BlockRecord &cur, const BlockRecord &prev, bool firstOfRun,
                  const RewriteSettings &settings, EmitMemory &m)
{
    const bool whole = settings.wholeProgram;
    Words w;
    DecideValues(cur, prev, whole, m, w);
    if (w.toolChange)
        DecideAfterToolChange(cur, prev, m, w);
    DecideRadiusComp(prev, firstOfRun, settings.mirrorAxis, m, w);
    DecideLengthComp(prev, whole, m, w);
    w.x = DecideCoord(cur.startX, m.lastX);
    w.y = DecideCoord(cur.startY, m.lastY);
    w.z = DecideCoord(cur.startZ, m.lastZ);
    DecideMotion(cur, firstOfRun, settings.mirrorAxis, m, w);
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
    return w;
}

void AppendLength(std::string &line, const Words &w, const BlockRecord &prev)
{
    AppendCode(line, "G4", w.lengthCode);
    if (w.h)
        AppendInt(line.append("H"), prev.lengthOffset);
}

// Builds the lines of one block in a reused buffer and appends each to the output.
class BlockWriter {
public:
    BlockWriter(const Words &w, const BlockRecord &cur, const BlockRecord &prev, MirrorAxis axis,
                LineList &out)
        : m_w(w), m_cur(cur), m_prev(prev), m_axis(axis), m_out(out)
    {
        m_line.clear();
    }

    void Write()
    {
        const bool radiusArc = m_cur.arcRadius != 0.0;
        const bool centreArc = !radiusArc && (m_cur.arcI != 0.0 || m_cur.arcJ != 0.0);
        const bool move =
            radiusArc || centreArc || m_w.mode || m_w.motion || m_w.x || m_w.y || m_w.z;
        const bool blockLine = m_w.seq || m_w.tool || m_w.comp || m_w.length || move || m_w.feed;

        if (m_w.spindle && !m_w.tool)
            Spindle();
        if (!blockLine && !m_w.offset)
            return;
        if (m_w.tool)
            ToolChange();
        if (m_w.offset) {
            AppendInt(m_line.append("G"), m_prev.positionOffset);
            EndLine();
        }
        if (!blockLine)
            return;
        // Beside a compensation word the length word stands on a line of its own.
        const bool lengthInLine = m_w.length && !m_w.tool && !m_w.comp;
        if (m_w.length && !m_w.tool && m_w.comp) {
            AppendLength(m_line, m_w, m_prev);
            EndLine();
        }
        BlockLine(lengthInLine, radiusArc, centreArc);
    }

private:
    void EndLine()
    {
        m_out.Append(m_line);
        m_line.clear();
    }

    void Spindle()
    {
        AppendInt(m_line.append("M03S"), m_cur.spindle);
        EndLine();
    }

    // The tool change, then its length offset and the spindle, each on a line of its own.
    void ToolChange()
    {
        AppendInt(m_line.append("T"), m_cur.tool);
        m_line.append("M06");
        EndLine();
        if (m_w.length) {
            AppendLength(m_line, m_w, m_prev);
            EndLine();
        }
        if (m_w.spindle)
            Spindle();
    }

    void BlockLine(bool withLength, bool radiusArc, bool centreArc)
    {
        if (m_w.seq)
            AppendInt(m_line.append("N"), m_cur.seqNo);
        if (m_w.comp) {
            AppendCode(m_line, "G4", m_w.compCode);
            if (m_w.d)
                AppendInt(m_line.append("D"), m_prev.radiusOffset);
        }
        if (withLength)
            AppendLength(m_line, m_w, m_prev);
        if (m_w.mode && !radiusArc && !centreArc)
            m_line.append("G90");
        if (m_w.motion)
            AppendCode(m_line, "G0", m_w.motionCode);
        if (m_w.x)
            AppendCoordWord(m_line, 'X', m_axis == MirrorAxis::X ? -m_cur.startX : m_cur.startX);
        if (m_w.y)
            AppendCoordWord(m_line, 'Y', m_axis == MirrorAxis::Y ? -m_cur.startY : m_cur.startY);
        if (m_w.z)
            AppendCoordWord(m_line, 'Z', m_cur.startZ);
        if (radiusArc) {
            AppendCoordWord(m_line, 'R', m_cur.arcRadius);
        } else if (centreArc) {
            AppendCoordWord(m_line, 'I', m_axis == MirrorAxis::X ? -m_cur.arcI : m_cur.arcI);
            AppendCoordWord(m_line, 'J', m_axis == MirrorAxis::Y ? -m_cur.arcJ : m_cur.arcJ);
        }
        if (m_w.feed)
            AppendFeed(m_line, m_cur.feed);
        EndLine();
    }

    const Words &m_w;
    const BlockRecord &m_cur;
    const BlockRecord &m_prev;
    MirrorAxis m_axis;
    LineList &m_out;
    static thread_local std::string m_line;
};

thread_local std::string BlockWriter::m_line;

} // namespace

void EmitReversedBlock(const BlockRecord &cur, const BlockRecord &prev, bool firstOfRun,
                       const RewriteSettings &settings, WorkingState &state)
{
    const Words words = DecideWords(cur, prev, firstOfRun, settings, state.memory);
    BlockWriter(words, cur, prev, settings.mirrorAxis, state.outputLines).Write();
}

} // namespace korvane
