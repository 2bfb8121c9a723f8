#include "transform/whole_program.h"

#include <string>

#include "model/UnitCall.h"
#include "model/errors.h"
#include "transform/emitter.h"

namespace korvane {

void ReverseWholeProgram(const RewriteSettings &settings, WorkingState &state)
{
    const std::vector<BlockRecord> &list = state.blockList;
    if (list.empty())
        throw EngineError::ListIndex(-1);
    const BlockRecord &last = list.back();

    if (!state.programHeader.empty())
        state.outputLines.Append(state.programHeader);

    // The opening rapid leaves out an axis that no line ever set: a reversed program must not
    // send the machine to the "unknown" position.
    std::string rapid = "G90G00";
    auto axisWord = [&rapid](char letter, double value, bool negate) {
        if (!IsWritable(value))
            return;
        rapid.push_back(letter);
        AppendCoord(rapid, negate ? -value : value);
    };
    axisWord('X', last.endX, settings.mirrorAxis == MirrorAxis::X);
    axisWord('Y', last.endY, settings.mirrorAxis == MirrorAxis::Y);
    axisWord('Z', last.endZ, false);
    state.outputLines.SetSource(static_cast<std::uint32_t>(list.size() - 1));
    // The program starts under the work offset its first position was given in.
    if (last.positionOffset != 0) {
        state.outputLines.Append("G" + std::to_string(last.positionOffset));
        state.memory.lastPositionOffset = last.positionOffset;
    }
    state.outputLines.Append(rapid);

    state.memory.lastX = last.endX;
    state.memory.lastY = last.endY;
    state.memory.lastZ = last.endZ;

    // Record 0 is never reversed itself: the last reversed move ends where it left the tool.
    for (std::size_t k = list.size() - 1; k >= 1; --k) {
        state.outputLines.SetSource(static_cast<std::uint32_t>(k));
        EmitReversedBlock(list[k], list[k - 1], k == list.size() - 1, settings, state);
    }

    state.outputLines.SetSource(LineList::kNoSource);
    state.outputLines.Append("M30");
}

} // namespace korvane
