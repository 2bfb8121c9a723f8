#pragma once

#include "model/block_record.h"

namespace korvane {

/// The two settings of a rewrite, read from the window (or the command line) when it starts.
struct RewriteSettings {
    bool wholeProgram = false;             // reverse the whole program, else cutting segments
    MirrorAxis mirrorAxis = MirrorAxis::X; // the window starts with mirror X selected
};

} // namespace korvane
