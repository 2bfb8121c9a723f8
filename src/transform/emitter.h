#pragma once

#include "model/block_record.h"
#include "model/working_state.h"
#include "transform/rewrite_settings.h"

namespace korvane {

/// Appends to state.outputLines the NC text that runs record `cur` backwards: a move from its
/// end point to its start point, with destination, motion, arc data, feed, spindle, sequence
/// number and tool from `cur`, and compensation words from `prev`, the record before it. Words
/// that repeat state.memory are left out unless `firstOfRun` asks for the modal words again.
/// Mirrors coordinates and arc offsets by settings.mirrorAxis; without a mirror it exchanges
/// G02/G03 and G41/G42. Updates state.memory. Never throws (but for std::bad_alloc).
void EmitReversedBlock(const BlockRecord &cur, const BlockRecord &prev, bool firstOfRun,
                       const RewriteSettings &settings, WorkingState &state);

} // namespace korvane
