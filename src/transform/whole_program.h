#pragma once

#include "model/working_state.h"
#include "transform/rewrite_settings.h"

namespace korvane {

/// Turns the parsed program back to front into state.outputLines: the program number, a rapid
/// to the last position, every block from the last to the second run backwards, and "M30".
/// Expects blockList filled, outputLines empty and the memory reset. Throws
/// EngineError::ListIndex(-1) for an empty program.
void ReverseWholeProgram(const RewriteSettings &settings, WorkingState &state);

} // namespace korvane
