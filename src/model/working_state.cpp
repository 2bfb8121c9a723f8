#include "model/working_state.h"

namespace korvane {

void ResetState(WorkingState &state)
{
    // Release the storage too: a rewrite of a large program should not pin its memory.
    state.blockList = std::vector<BlockRecord>{};
    state.outputLines = LineList{};
    state.programHeader.clear();

    BlockRecord &b = state.currentBlock;
    const BlockRecord fresh;
    b.feed = b.spindle = b.seqNo = b.lengthOffset = b.tool = b.radiusOffset = -1;
    b.startX = b.startY = b.startZ = UNSET_COORD;
    b.endX = b.endY = b.endZ = UNSET_COORD;
    b.motion = fresh.motion;
    b.distanceMode = fresh.distanceMode;
    b.radiusComp = fresh.radiusComp;
    b.lengthComp = fresh.lengthComp;
    b.workOffset = fresh.workOffset;
    b.positionOffset = fresh.positionOffset;
    b.machineReference = fresh.machineReference;

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
