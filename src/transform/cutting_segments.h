#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/line_list.h"
#include "model/working_state.h"
#include "transform/rewrite_settings.h"

namespace korvane {

/// The NC part of a line: everything before its first "(".
std::string_view CodePart(std::string_view line);

/// A copied line mirrored by text about `axis`: the sign of the first coordinate word of the
/// mirrored letter in the NC part is turned ("X10." to "X-10.", "X-10." to "X10."); a zero
/// written without a point ("X0") and the comment stay as they are. MirrorAxis::None copies.
std::string MirrorLineText(std::string_view line, MirrorAxis axis);

/// Redirects the approach: in the last line of `lines` whose NC part holds an X, the number
/// after its first X becomes FormatCoord(x); likewise, independently, for Y. An axis given no
/// value is left alone. A letter that ends its line counts as found but is not changed.
void RetargetApproach(LineList &lines, std::optional<double> x, std::optional<double> y);

/// Rewrites the parsed program in its own order into state.outputLines, every cutting pass
/// reversed in place and its approach redirected; other lines are copied from `lines` (text
/// line i belongs to record i), mirrored by text. Throws EngineError::ListIndex(-1) when a
/// cutting pass starts at the first line, as it has no record before it.
void ReverseCuttingSegments(std::span<const std::string_view> lines,
                            const RewriteSettings &settings, WorkingState &state);

} // namespace korvane
