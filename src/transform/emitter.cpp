#include "transform/emitter.h"

#include <charconv>
#include <initializer_list>
#include <string>

#include "model/UnitCall.h"

namespace korvane {
namespace {

// The pieces of one block, kept between calls so that their storage is reused: a rewrite
// emits a block per line, and allocating its words anew each time would dominate.
struct Pieces {
    std::string feed, seq, d, h, tool, comp, length, x, y, z, mode, motion, move, line;

    void Clear()
    {
        for (std::string *s : {&feed, &seq, &d, &h, &tool, &comp, &length, &x, &y, &z, &mode,
                               &motion, &move, &line})
            s->clear();
    }
};

void SetWord(std::string &out, const char *prefix, std::int32_t value, const char *suffix = "")
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(prefix).append(digits, end).append(suffix);
}

// Decides one coordinate word: written when known and changed against the memory.
void CoordWord(char letter, double value, bool negate, double &memory, std::string &out)
{
    if (!CoordChanged(value, memory) || !IsWritable(value))
        return;
    memory = value;
    out.push_back(letter);
    AppendCoord(out, negate ? -value : value);
}

} // namespace

void EmitReversedBlock(const BlockRecord &cur, const BlockRecord &prev, bool firstOfRun,
                       const RewriteSettings &settings, WorkingState &state)
{
    thread_local Pieces p;
    p.Clear();
    EmitMemory &m = state.memory;
    const MirrorAxis axis = settings.mirrorAxis;
    LineList &out = state.outputLines;

    if (cur.feed != m.lastFeed && cur.feed != -1) {
        m.lastFeed = cur.feed;
        SetWord(p.feed, "F", cur.feed);
    }
    if (cur.spindle != m.lastSpindle && cur.spindle != -1) {
        // A spindle start is a line of its own, ahead of the block; when cutting segments are
        // reversed in place the copied lines already carry it.
        m.lastSpindle = cur.spindle;
        if (settings.wholeProgram) {
            SetWord(p.line, "M03S", cur.spindle);
            out.Append(p.line);
            p.line.clear();
        }
    }
    if (cur.seqNo != m.lastSeqNo && cur.seqNo != -1) {
        m.lastSeqNo = cur.seqNo;
        SetWord(p.seq, "N", cur.seqNo);
    }
    // The reversed move runs under the compensation that was in force before the block.
    if (prev.radiusOffset != m.lastRadiusOffset && prev.radiusOffset != -1) {
        m.lastRadiusOffset = prev.radiusOffset;
        SetWord(p.d, "D", prev.radiusOffset);
    }
    if (prev.lengthOffset != m.lastLengthOffset && prev.lengthOffset != -1) {
        m.lastLengthOffset = prev.lengthOffset;
        SetWord(p.h, "H", prev.lengthOffset);
    }
    if (cur.tool != m.lastTool && cur.tool != -1) {
        m.lastTool = cur.tool;
        SetWord(p.tool, "T", cur.tool, "M06");
    }

    const std::int32_t comp = prev.radiusComp;
    if (comp != m.lastRadiusComp || (firstOfRun && m.lastRadiusComp != 0)) {
        m.lastRadiusComp = comp;
        // Running a path backwards puts the cutter on the other side of it; a mirror image
        // swaps the side once more, so only the unmirrored rewrite exchanges G41 and G42.
        int digit = comp;
        if (axis == MirrorAxis::None)
            digit = comp == 1 ? 2 : comp == 2 ? 1 : 0;
        p.comp.append("G4").push_back(static_cast<char>('0' + digit));
        p.comp.append(p.d);
        if (p.comp == "G40")
            m.lastRadiusOffset = -1; // the next compensation start must name its D again
    }
    const std::int32_t length = prev.lengthComp;
    if (length != m.lastLengthComp) {
        m.lastLengthComp = length;
        p.length.append("G4").push_back(static_cast<char>('0' + length));
        p.length.append(p.h);
        if (p.length == "G49")
            m.lastLengthOffset = -1;
    }

    CoordWord('X', cur.startX, axis == MirrorAxis::X, m.lastX, p.x);
    CoordWord('Y', cur.startY, axis == MirrorAxis::Y, m.lastY, p.y);
    if (settings.wholeProgram) {
        CoordWord('Z', cur.startZ, false, m.lastZ, p.z);
    } else if (CoordChanged(cur.startZ, m.lastZ) && IsWritable(cur.startZ)) {
        // In place the copied lines own the depth: the word is decided but not written.
        m.lastZ = cur.startZ;
    }

    // The output is always absolute: incremental input has been resolved to positions.
    if (m.lastDistanceMode != 0 || firstOfRun) {
        m.lastDistanceMode = 0;
        p.mode = "G90";
    }
    if (cur.motion != m.lastMotion || firstOfRun) {
        m.lastMotion = cur.motion;
        int digit = cur.motion;
        if (axis == MirrorAxis::None && (digit == 2 || digit == 3))
            digit = 5 - digit; // an arc run backwards turns the other way
        p.motion.append("G0").push_back(static_cast<char>('0' + digit));
    }

    if (!settings.wholeProgram) {
        // In place, the copied lines around a segment own the tool, its length offset and
        // the depth; only a cancel of length compensation is kept.
        p.tool.clear();
        if (p.length != "G49")
            p.length.clear();
    }

    if (cur.arcRadius != 0.0) {
        p.move.append(p.motion).append(p.x).append(p.y).append(p.z).push_back('R');
        AppendCoord(p.move, cur.arcRadius);
    } else if (cur.arcI != 0.0 || cur.arcJ != 0.0) {
        p.move.append(p.motion).append(p.x).append(p.y).append(p.z).push_back('I');
        AppendCoord(p.move, axis == MirrorAxis::X ? -cur.arcI : cur.arcI);
        p.move.push_back('J');
        AppendCoord(p.move, axis == MirrorAxis::Y ? -cur.arcJ : cur.arcJ);
    } else {
        p.move.append(p.mode).append(p.motion).append(p.x).append(p.y).append(p.z);
    }

    if (p.seq.empty() && p.tool.empty() && p.comp.empty() && p.length.empty() &&
        p.move.empty() && p.feed.empty())
        return;
    const bool tool = !p.tool.empty(), lengthWord = !p.length.empty(), compWord = !p.comp.empty();
    if (tool)
        out.Append(p.tool);
    if (lengthWord && (tool || compWord)) {
        // The length word stands on a line of its own ahead of the block line.
        out.Append(p.length);
        p.line.append(p.seq).append(p.comp).append(p.move).append(p.feed);
    } else {
        p.line.append(p.seq).append(p.comp).append(p.length).append(p.move).append(p.feed);
    }
    out.Append(p.line);
}

} // namespace korvane
