// Times the parts of a checked rewrite on one program, in one process: reading the lines,
// the rewrite, a run of the program as moves, and the check of the result against its
// source. Prints the minimum and median of each over the repetitions, and each part's ratio
// to the rewrite measured in the same run.
//   toolpath_bench FILE [REPS] [whole|segments] [x|y|none]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "files/text_codec.h"
#include "toolpath/check.h"
#include "toolpath/machine.h"
#include "transform/execute.h"

using namespace korvane;

namespace {

struct Timing {
    double min = 0, median = 0;
};

Timing Measure(std::size_t reps, const std::function<void()> &run)
{
    std::vector<double> seconds;
    for (std::size_t i = 0; i < reps; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return {seconds.front(), seconds[seconds.size() / 2]};
}

class Counter : public MoveSink {
public:
    void OnMove(const Move &move) override { cuts += IsCut(move) ? 1U : 0U; }
    std::size_t cuts = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fputs("usage: toolpath_bench FILE [REPS] [whole|segments] [x|y|none]\n", stderr);
        return 64;
    }
    const std::size_t reps =
        argc > 2 ? static_cast<std::size_t>(std::max(1, std::atoi(argv[2]))) : 5;
    RewriteSettings settings;
    settings.wholeProgram = argc <= 3 || std::string(argv[3]) != "segments";
    const std::string axis = argc > 4 ? argv[4] : "none";
    settings.mirrorAxis = axis == "x"   ? MirrorAxis::X
                          : axis == "y" ? MirrorAxis::Y
                                        : MirrorAxis::None;

    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const DecodedText text = DecodeText(bytes);
    std::vector<std::string_view> lines;
    const Timing split = Measure(reps, [&] { lines = SplitLines(text.utf8); });

    WorkingState state;
    bool completed = false;
    const Timing rewrite =
        Measure(reps, [&] { completed = ExecuteRewrite(lines, settings, state).completed; });
    if (!completed) {
        std::fputs("toolpath_bench: the rewrite refused a line\n", stderr);
        return 1;
    }
    state.blockList = {};

    Counter counter;
    const Timing run = Measure(reps, [&] {
        counter = Counter();
        Machine machine;
        for (std::size_t i = 0; i < lines.size(); ++i)
            machine.RunLine(lines[i], static_cast<std::uint32_t>(i), counter);
    });
    CheckReport report;
    const Timing check = Measure(reps, [&] {
        report =
            CheckRewrite(lines, state.outputLines, {settings.mirrorAxis, settings.wholeProgram});
    });

    std::printf("%zu lines, %zu cuts; check: %zu errors, %zu warnings\n", lines.size(),
                counter.cuts, report.errorCount, report.warningCount);
    std::printf("%-24s %9s %9s %9s\n", "part", "min_s", "median_s", "x_rewrite");
    auto row = [&](const char *name, Timing t) {
        std::printf("%-24s %9.4f %9.4f %9.2f\n", name, t.min, t.median, t.median / rewrite.median);
    };
    row("split lines", split);
    row("rewrite", rewrite);
    row("run as moves", run);
    row("check", check);
    return 0;
}
