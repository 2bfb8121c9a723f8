#pragma once

#include <string>
#include <vector>

#include "model/block_record.h"
#include "model/line_list.h"

namespace korvane {

/// The working state of one rewrite: the parser's running record, one record per text line,
/// the output lines, the last program number and the emitter's memory.
struct WorkingState {
    BlockRecord currentBlock;
    std::vector<BlockRecord> blockList;
    LineList outputLines;
    std::string programHeader;
    EmitMemory memory;
};

/// Resets the working state before a rewrite: empties the lists and the program number, and
/// sets the modal fields of currentBlock and every memory field to their reset values. The
/// per-line arc fields of currentBlock are left alone; the parser clears them on every line.
void ResetState(WorkingState &state);

/// Commits an accepted line: appends a copy of currentBlock to blockList, then moves its end
/// point into its start point for the next line.
void CommitLine(WorkingState &state);

} // namespace korvane
