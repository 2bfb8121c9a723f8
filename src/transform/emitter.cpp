#include "transform/emitter.h"

#include <string>

#include "model/UnitCall.h"

namespace korvane {
namespace {

std::string Word(const char *prefix, std::int32_t value)
{
    std::string s(prefix);
    s += std::to_string(value);
    return s;
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
    EmitMemory &m = state.memory;
    const MirrorAxis axis = settings.mirrorAxis;
    std::string feedText, seqText, dText, hText, toolText, compText, lengthText;
    std::string xText, yText, zText, modeText, motionText;

    if (cur.feed != m.lastFeed && cur.feed != -1) {
        m.lastFeed = cur.feed;
        feedText = Word("F", cur.feed);
    }
    if (cur.spindle != m.lastSpindle && cur.spindle != -1) {
        // A spindle start is a line of its own, ahead of the block; when cutting segments are
        // reversed in place the copied lines already carry it.
        m.lastSpindle = cur.spindle;
        if (settings.wholeProgram)
            state.outputLines.Append(Word("M03S", cur.spindle));
    }
    if (cur.seqNo != m.lastSeqNo && cur.seqNo != -1) {
        m.lastSeqNo = cur.seqNo;
        seqText = Word("N", cur.seqNo);
    }
    // The reversed move runs under the compensation that was in force before the block.
    if (prev.radiusOffset != m.lastRadiusOffset && prev.radiusOffset != -1) {
        m.lastRadiusOffset = prev.radiusOffset;
        dText = Word("D", prev.radiusOffset);
    }
    if (prev.lengthOffset != m.lastLengthOffset && prev.lengthOffset != -1) {
        m.lastLengthOffset = prev.lengthOffset;
        hText = Word("H", prev.lengthOffset);
    }
    if (cur.tool != m.lastTool && cur.tool != -1) {
        m.lastTool = cur.tool;
        toolText = Word("T", cur.tool) + "M06";
    }

    const std::int32_t comp = prev.radiusComp;
    if (comp != m.lastRadiusComp || (firstOfRun && m.lastRadiusComp != 0)) {
        m.lastRadiusComp = comp;
        // Running a path backwards puts the cutter on the other side of it; a mirror image
        // swaps the side once more, so only the unmirrored rewrite exchanges G41 and G42.
        int digit = comp;
        if (axis == MirrorAxis::None)
            digit = comp == 1 ? 2 : comp == 2 ? 1 : 0;
        compText = "G4";
        compText.push_back(static_cast<char>('0' + digit));
        compText += dText;
        if (compText == "G40")
            m.lastRadiusOffset = -1; // the next compensation start must name its D again
    }
    const std::int32_t length = prev.lengthComp;
    if (length != m.lastLengthComp) {
        m.lastLengthComp = length;
        lengthText = "G4";
        lengthText.push_back(static_cast<char>('0' + length));
        lengthText += hText;
        if (lengthText == "G49")
            m.lastLengthOffset = -1;
    }

    CoordWord('X', cur.startX, axis == MirrorAxis::X, m.lastX, xText);
    CoordWord('Y', cur.startY, axis == MirrorAxis::Y, m.lastY, yText);
    CoordWord('Z', cur.startZ, false, m.lastZ, zText);

    // The output is always absolute: incremental input has been resolved to positions.
    if (m.lastDistanceMode != 0 || firstOfRun) {
        m.lastDistanceMode = 0;
        modeText = "G90";
    }
    if (cur.motion != m.lastMotion || firstOfRun) {
        m.lastMotion = cur.motion;
        int digit = cur.motion;
        if (axis == MirrorAxis::None && (digit == 2 || digit == 3))
            digit = 5 - digit; // an arc run backwards turns the other way
        motionText = "G0";
        motionText.push_back(static_cast<char>('0' + digit));
    }

    if (!settings.wholeProgram) {
        // In place, the copied lines around a segment own the tool, its length offset and
        // the depth; only a cancel of length compensation is kept.
        toolText.clear();
        zText.clear();
        if (lengthText != "G49")
            lengthText.clear();
    }

    std::string moveText;
    if (cur.arcRadius != 0.0) {
        moveText = motionText + xText + yText + zText + "R";
        AppendCoord(moveText, cur.arcRadius);
    } else if (cur.arcI != 0.0 || cur.arcJ != 0.0) {
        moveText = motionText + xText + yText + zText + "I";
        AppendCoord(moveText, axis == MirrorAxis::X ? -cur.arcI : cur.arcI);
        moveText += "J";
        AppendCoord(moveText, axis == MirrorAxis::Y ? -cur.arcJ : cur.arcJ);
    } else {
        moveText = modeText + motionText + xText + yText + zText;
    }

    LineList &out = state.outputLines;
    if (seqText.empty() && toolText.empty() && compText.empty() && lengthText.empty() &&
        moveText.empty() && feedText.empty())
        return;
    if (!toolText.empty() && !lengthText.empty() && !compText.empty()) {
        out.Append(toolText);
        out.Append(lengthText);
        out.Append(seqText + compText + moveText + feedText);
    } else if (!toolText.empty() && !lengthText.empty()) {
        out.Append(toolText);
        out.Append(lengthText);
        out.Append(seqText + moveText + feedText);
    } else if (!lengthText.empty() && !compText.empty()) {
        out.Append(lengthText);
        out.Append(seqText + compText + moveText + feedText);
    } else if (!toolText.empty()) {
        out.Append(toolText);
        out.Append(seqText + compText + moveText + feedText);
    } else {
        out.Append(seqText + compText + lengthText + moveText + feedText);
    }
}

} // namespace korvane
