#pragma once

// Test-only helpers for tables whose rows hold whole programs on one line.

#include <string_view>
#include <vector>

#include "transform/rewrite_settings.h"

namespace korvane::testutil {

/// A program written with "|" between its lines, so that a table row reads from input to
/// result: "G00X0|M30" is two lines, "" none.
inline std::vector<std::string_view> BarLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    if (text.empty())
        return lines;
    for (std::size_t from = 0;;) {
        const std::size_t bar = text.find('|', from);
        lines.push_back(text.substr(from, bar - from));
        if (bar == std::string_view::npos)
            return lines;
        from = bar + 1;
    }
}

/// The six settings of a rewrite.
inline constexpr RewriteSettings kWholeX{true, MirrorAxis::X};
inline constexpr RewriteSettings kWholeY{true, MirrorAxis::Y};
inline constexpr RewriteSettings kWhole{true, MirrorAxis::None};
inline constexpr RewriteSettings kSegX{false, MirrorAxis::X};
inline constexpr RewriteSettings kSegY{false, MirrorAxis::Y};
inline constexpr RewriteSettings kSeg{false, MirrorAxis::None};

} // namespace korvane::testutil
