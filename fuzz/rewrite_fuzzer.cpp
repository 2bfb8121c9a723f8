// A whole program, any bytes, rewritten with each of the six settings. The rewrite either
// completes, stops at a refused line or raises the engine's error. A completed rewrite is
// checked against its source: the check ends, names lines that exist, and finds nothing to
// compare when a program is checked against itself. A completed rewrite writes
// no NUL, no "inf" or "nan" unless the input holds that text, and no number of 999999 (the
// unknown-position mark) or more unless the input could have led there: a number of a
// quarter of that or more (three of them summed make an arc offset), or incremental moves,
// which add up.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "files/text_codec.h"
#include "model/errors.h"
#include "toolpath/check.h"
#include "transform/execute.h"

namespace {

bool IsNumberChar(char c)
{
    return (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Letters followed by a coordinate or an arc value.
constexpr std::string_view kValueLetters = "XYZIJR";

// Calls visit(number text) for every number that follows one of those letters.
template <typename Visit> void ForEachValue(std::string_view text, Visit visit)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (kValueLetters.find(text[i]) == std::string_view::npos)
            continue;
        std::size_t end = i + 1;
        while (end < text.size() && IsNumberChar(text[end]))
            ++end;
        const std::string_view number = text.substr(i + 1, end - i - 1);
        if (!number.empty() && number != "-" && number != "." && number != "-.")
            visit(number);
    }
}

double Value(std::string_view number)
{
    return std::strtod(std::string(number).c_str(), nullptr);
}

bool MayReachTheMark(std::string_view input)
{
    bool large = input.find("G91") != std::string_view::npos;
    ForEachValue(input, [&](std::string_view n) { large |= std::fabs(Value(n)) >= 999999.0 / 4; });
    return large;
}

void CheckLine(std::string_view line, std::string_view input, bool mayReachTheMark)
{
    if (line.find('\0') != std::string_view::npos)
        std::abort();
    for (std::string_view bad : {"inf", "nan"})
        if (line.find(bad) != std::string_view::npos && input.find(bad) == std::string_view::npos)
            std::abort();
    if (!mayReachTheMark)
        ForEachValue(line, [](std::string_view n) {
            if (std::fabs(Value(n)) >= 999999.0)
                std::abort();
        });
}

// How one rewrite ended, in a form two runs can be compared by: the output, or where and why
// it stopped, marked so that it cannot be mistaken for output.
std::string Outcome(std::span<const std::string_view> lines, korvane::RewriteSettings settings,
                    const korvane::RewriteTuning &tuning, korvane::WorkingState &state)
{
    try {
        const auto outcome = korvane::ExecuteRewrite(lines, settings, state, tuning);
        if (!outcome.completed) {
            if (outcome.refusedLine >= lines.size() || outcome.message.empty() ||
                !state.outputLines.empty())
                std::abort();
            return "\x01refused " + std::to_string(outcome.refusedLine);
        }
        return state.outputLines.JoinCrLf();
    } catch (const korvane::KorvaneError &error) {
        return "\x01error " + std::to_string(error.line().value_or(lines.size())) + error.what();
    }
}

void CheckFindings(const korvane::CheckReport &report, std::size_t sourceLines,
                   std::size_t resultLines)
{
    std::size_t errors = 0;
    for (const korvane::Finding &f : report.findings) {
        errors += f.severity == korvane::Severity::Error ? 1 : 0;
        if (f.message.empty() || (f.sourceLine && *f.sourceLine >= sourceLines) ||
            (f.resultLine && *f.resultLine >= resultLines) || (!f.sourceLine && !f.resultLine))
            std::abort();
    }
    if (errors > report.errorCount || report.HasErrors() != (report.FirstError() != nullptr))
        std::abort();
}

// A program checked against itself: whatever the check says about the program alone (an
// arc off its circle, a position it cannot know, a call it cannot follow), no cut is lost,
// added or made differently, and no rapid goes lower.
void CheckAgainstItself(std::span<const std::string_view> lines)
{
    korvane::LineList same;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        same.SetSource(static_cast<std::uint32_t>(i));
        same.Append(lines[i]);
    }
    const korvane::CheckReport report =
        korvane::CheckRewrite(lines, same, {korvane::MirrorAxis::None, true});
    CheckFindings(report, lines.size(), lines.size());
    using korvane::FindingKind;
    for (const korvane::Finding &f : report.findings) {
        if (f.kind != FindingKind::BadArc && f.kind != FindingKind::UnknownPosition &&
            f.kind != FindingKind::Unsupported)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // As the front ends read a file: the text ends at a NUL byte.
    const korvane::DecodedText text =
        korvane::DecodeText(std::string(reinterpret_cast<const char *>(data), size));
    const auto lines = korvane::SplitLines(text.utf8);
    const bool mayReachTheMark = MayReachTheMark(text.utf8);
    CheckAgainstItself(lines);
    for (bool whole : {false, true}) {
        for (auto axis :
             {korvane::MirrorAxis::X, korvane::MirrorAxis::Y, korvane::MirrorAxis::None}) {
            korvane::WorkingState state;
            const std::string alone = Outcome(lines, {whole, axis}, {}, state);
            if (alone.empty() || alone[0] != '\x01') {
                for (std::size_t i = 0; i < state.outputLines.size(); ++i)
                    CheckLine(state.outputLines[i], text.utf8, mayReachTheMark);
                CheckFindings(korvane::CheckRewrite(lines, state.outputLines, {axis, whole}),
                              lines.size(), state.outputLines.size());
            }
            // The cutting passes reversed on a thread beside the parser: the same outcome.
            if (!whole) {
                korvane::WorkingState besideState;
                if (Outcome(lines, {whole, axis}, korvane::RewriteTuning{0}, besideState) != alone)
                    std::abort();
            }
        }
    }
    return 0;
}
