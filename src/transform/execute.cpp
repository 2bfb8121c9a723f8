#include "transform/execute.h"

#include "model/errors.h"
#include "parser/parse_block.h"
#include "transform/cutting_segments.h"
#include "transform/whole_program.h"

namespace korvane {

RewriteOutcome ExecuteRewrite(std::span<const std::string_view> lines,
                              const RewriteSettings &settings, WorkingState &state)
{
    ResetState(state);
    state.blockList.reserve(lines.size());

    std::size_t textBytes = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        textBytes += lines[i].size();
        ParseVerdict verdict;
        try {
            verdict = ParseBlock(lines[i], settings.wholeProgram, state.currentBlock,
                                 state.programHeader);
        } catch (KorvaneError &error) {
            error.AttachLine(i);
            throw;
        }
        if (!verdict.accepted)
            return {false, i, verdict.message};
        CommitLine(state);
    }

    // Reversed blocks are about as long as the lines they came from.
    state.outputLines.Reserve(lines.size() + 8, textBytes + textBytes / 4 + 64);
    if (settings.wholeProgram)
        ReverseWholeProgram(settings, state);
    else
        ReverseCuttingSegments(lines, settings, state);
    return {};
}

} // namespace korvane
