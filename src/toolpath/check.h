#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/block_record.h"
#include "model/line_list.h"

namespace korvane {

enum class Severity : std::uint8_t { Error, Warning };

enum class FindingKind : std::uint8_t {
    LostCut,          // a cut of the source that the result does not make
    ExtraCut,         // a cut of the result that the source does not make
    BadArc,           // an arc of the result whose end is not on its circle
    UnknownPosition,  // a cut from or to a position that is not known
    Spindle,          // a cut with the spindle stopped, turning the other way or at another speed
    Tool,             // a cut with another tool or tool length offset
    WorkOffset,       // a cut in another work coordinate system
    Feed,             // a cut at a feed more than 0.5% away from the source's
    Compensation,     // a cut with cutter compensation on the wrong side
    RapidPlunge,      // a rapid down below every height the source reaches at rapid
    RapidTraverseLow, // a rapid across below every height the source crosses at rapid
    Unsupported,      // a subprogram call or macro whose moves cannot be followed
};

/// One thing the check found. Lines are 0-based; a finding names the result's line, the
/// source's, or both.
struct Finding {
    Severity severity = Severity::Error;
    FindingKind kind = FindingKind::LostCut;
    std::optional<std::uint32_t> resultLine;
    std::optional<std::uint32_t> sourceLine;
    std::string message; // Japanese, UTF-8; names the result's line, never the source's
};

/// What the check found: the findings in source-line order (then result-line order), at
/// most kMaxFindingsKept of each severity, and how many there were in all.
struct CheckReport {
    static constexpr std::size_t kMaxFindingsKept = 1000;

    std::vector<Finding> findings;
    std::size_t errorCount = 0;
    std::size_t warningCount = 0;

    bool HasErrors() const { return errorCount > 0; }
    /// The first error in source-line order, or nullptr.
    const Finding *FirstError() const;
};

/// How the result was made from the source.
struct CheckSettings {
    MirrorAxis mirrorAxis = MirrorAxis::None; // the source is mirrored so before comparing
    bool wholeProgram = false;                // chooses the advice that error messages give
};

/// The name of a kind in reports: "lost-cut", "rapid-plunge", ...
std::string_view FindingKindName(FindingKind kind);

/// The source's side of a check: the source run as a machine would and mirrored as the
/// settings say. It reads nothing but the source lines, so it can be made on another thread
/// while the rewrite runs.
class SourceToolpath {
public:
    SourceToolpath(std::span<const std::string_view> source, const CheckSettings &settings);
    ~SourceToolpath();
    SourceToolpath(SourceToolpath &&) noexcept;
    SourceToolpath &operator=(SourceToolpath &&) noexcept;

    struct Data;

private:
    friend CheckReport CheckResult(SourceToolpath source, const LineList &result);
    friend CheckReport CheckResult(SourceToolpath source, std::span<const std::string_view> result);
    std::unique_ptr<Data> m_data;
};

/// The result's side: runs the result and compares it with the source, as CheckRewrite.
CheckReport CheckResult(SourceToolpath source, const LineList &result);
CheckReport CheckResult(SourceToolpath source, std::span<const std::string_view> result);

/// Runs the source and the result as a machine would and compares them: every cut of the
/// source (a feed move with X or Y travel, or a full circle), mirrored as the settings say,
/// must be made by the result, in either direction, within 0.002, under the same spindle,
/// tool, length offset, work offset, feed (within 0.5%) and cutter compensation side (the
/// other side when the cut runs the other way), and the result may make no other cut. Errors
/// are departures from that; warnings are rapids in the result that go lower than the source
/// ever goes at rapid. `result.SourceOf` says which source line each result line was made
/// from; it guides the search and names the source line of a finding about the result.
CheckReport CheckRewrite(std::span<const std::string_view> source, const LineList &result,
                         const CheckSettings &settings);

/// The same for a result given as plain lines, whose source lines are not known.
CheckReport CheckRewrite(std::span<const std::string_view> source,
                         std::span<const std::string_view> result, const CheckSettings &settings);

} // namespace korvane
