#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "model/working_state.h"
#include "toolpath/check.h"
#include "transform/rewrite_settings.h"

namespace korvane {

/// How a rewrite ended: completed (the result is in state.outputLines), or stopped at a line
/// that the parser refused, with the message to show.
struct RewriteOutcome {
    bool completed = true;
    std::size_t refusedLine = 0;
    std::string_view message;
};

/// How a rewrite uses the machine; the result never depends on it.
struct RewriteTuning {
    /// From this many lines on, cutting passes are reversed on a second thread while the
    /// lines are still being parsed.
    std::size_t pipelineFromLines = 100'000;
    /// Below this many lines the source is run as moves for the check on a second thread
    /// while the rewrite runs; from it on, after the rewrite, once the records are released,
    /// so that the memory a large program needs stays that of the rewrite.
    std::size_t sourceBesideBelowLines = 200'000;
};

/// The rewrite side of Execute: resets the working state, parses every line into blockList
/// (committing each accepted line) and runs the rewrite that `settings` selects. A refused line
/// ends it early. Throws KorvaneError for a malformed number (line() names the line) or a
/// rewrite that cannot work on its records; the working state then holds what was done. A
/// refused line or a malformed number takes precedence over a failure of the rewrite.
RewriteOutcome ExecuteRewrite(std::span<const std::string_view> lines,
                              const RewriteSettings &settings, WorkingState &state,
                              const RewriteTuning &tuning = {});

/// A rewrite and what the check found in its result.
struct CheckedOutcome {
    RewriteOutcome rewrite;
    std::optional<CheckReport> check; // when the check was asked for and the rewrite completed
};

/// ExecuteRewrite, and then, when `check` is true, the check of the result against `lines`
/// (CheckRewrite). The source is run as moves beside the rewrite or after it, as `tuning`
/// says. The records of blockList are released once the rewrite has completed: nothing reads
/// them then.
/// Throws as ExecuteRewrite does.
CheckedOutcome ExecuteCheckedRewrite(std::span<const std::string_view> lines,
                                     const RewriteSettings &settings, WorkingState &state,
                                     bool check = true, const RewriteTuning &tuning = {});

} // namespace korvane
