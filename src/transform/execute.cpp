#include "transform/execute.h"

#include <exception>
#include <future>
#include <optional>
#include <thread>

#include "model/errors.h"
#include "model/large_buffer.h"
#include "parser/parse_block.h"
#include "transform/cutting_segments.h"
#include "transform/whole_program.h"

namespace korvane {
namespace {

// Runs the cutting-segment rewrite on its own thread, reading records as they are published;
// joins it on every way out, telling it to stop when the parse did not complete.
class SegmentWorker {
public:
    SegmentWorker(std::span<const std::string_view> lines, const RewriteSettings &settings,
                  WorkingState &state)
        : m_feed(state.blockList.data(), lines.size())
    {
        m_thread = std::thread([this, lines, &settings, &state] {
            try {
                ReverseCuttingSegments(lines, settings, state, m_feed);
            } catch (const RecordFeed::Aborted &) {
                // The parse stopped early; its outcome is what counts.
            } catch (...) {
                m_failure = std::current_exception();
            }
        });
    }
    ~SegmentWorker()
    {
        if (m_thread.joinable()) {
            m_feed.Abort();
            m_thread.join();
        }
    }
    SegmentWorker(const SegmentWorker &) = delete;
    SegmentWorker &operator=(const SegmentWorker &) = delete;

    void Publish(std::size_t count) { m_feed.Publish(count); }
    /// Waits for the rewrite to end and raises what it raised.
    void Finish()
    {
        m_thread.join();
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

private:
    RecordFeed m_feed;
    std::exception_ptr m_failure;
    std::thread m_thread;
};

// Records are handed to the rewrite thread in batches of this many.
constexpr std::size_t kPublishEvery = 1024;

std::size_t TextBytes(std::span<const std::string_view> lines)
{
    std::size_t bytes = 0;
    for (std::string_view line : lines)
        bytes += line.size();
    return bytes;
}

} // namespace

RewriteOutcome ExecuteRewrite(std::span<const std::string_view> lines,
                              const RewriteSettings &settings, WorkingState &state,
                              const RewriteTuning &tuning)
{
    ResetState(state);
    // The records never move once reserved: a rewrite beside the parser reads them in place.
    ReserveLarge(state.blockList, lines.size());
    // Reversed blocks are about as long as the lines they came from.
    const std::size_t textBytes = TextBytes(lines);
    state.outputLines.Reserve(lines.size() + 8, textBytes + textBytes / 4 + 64);

    std::optional<SegmentWorker> worker;
    if (!settings.wholeProgram && !lines.empty() && lines.size() >= tuning.pipelineFromLines &&
        std::thread::hardware_concurrency() > 1)
        worker.emplace(lines, settings, state);

    // A parse that stops leaves no output, also when a rewrite had begun beside it.
    auto stopWorker = [&] {
        if (worker) {
            worker.reset();
            state.outputLines = LineList{};
        }
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ParseVerdict verdict;
        try {
            verdict = ParseBlock(lines[i], settings.wholeProgram, state.currentBlock,
                                 state.programHeader);
        } catch (KorvaneError &error) {
            stopWorker();
            error.AttachLine(i);
            throw;
        }
        if (!verdict.accepted) {
            stopWorker();
            return {false, i, verdict.message};
        }
        CommitLine(state);
        if (worker && ((i + 1) % kPublishEvery == 0 || i + 1 == lines.size()))
            worker->Publish(i + 1);
    }

    if (worker)
        worker->Finish();
    else if (settings.wholeProgram)
        ReverseWholeProgram(settings, state);
    else
        ReverseCuttingSegments(lines, settings, state);
    return {};
}

CheckedOutcome ExecuteCheckedRewrite(std::span<const std::string_view> lines,
                                     const RewriteSettings &settings, WorkingState &state,
                                     bool check, const RewriteTuning &tuning)
{
    const CheckSettings checkSettings{settings.mirrorAxis, settings.wholeProgram};
    std::future<SourceToolpath> source;
    if (check && lines.size() < tuning.sourceBesideBelowLines &&
        std::thread::hardware_concurrency() > 1) {
        source = std::async(std::launch::async, [lines, checkSettings] {
            return SourceToolpath(lines, checkSettings);
        });
    }
    CheckedOutcome outcome;
    outcome.rewrite = ExecuteRewrite(lines, settings, state, tuning);
    if (!outcome.rewrite.completed)
        return outcome;
    state.blockList = std::vector<BlockRecord>{};
    if (!check)
        return outcome;
    outcome.check = CheckResult(
        source.valid() ? source.get() : SourceToolpath(lines, checkSettings), state.outputLines);
    return outcome;
}

} // namespace korvane
