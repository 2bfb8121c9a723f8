#include "model/working_state.h"

namespace korvane {

void ResetState(WorkingState &state)
{
    // Release the storage too: a rewrite of a large program should not pin its memory.
    state.blockList = std::vector<BlockRecord>{};
    state.outputLines = LineList{};
    state.programHeader.clear();

    // Every field to its reset value but the arc data, which the parser clears on each line.
    BlockRecord fresh;
    fresh.arcRadius = state.currentBlock.arcRadius;
    fresh.arcI = state.currentBlock.arcI;
    fresh.arcJ = state.currentBlock.arcJ;
    state.currentBlock = fresh;

    state.memory = EmitMemory{};
}

void CommitLine(WorkingState &state)
{
    BlockRecord &b = state.currentBlock;
    state.blockList.push_back(b);
    b.startX = b.endX;
    b.startY = b.endY;
    b.startZ = b.endZ;
}

} // namespace korvane
