#pragma once

#include <string>

namespace korvane {

/// The text of a coordinate after its address letter: at most three decimals, rounded half
/// away from zero after a cut to 18 significant digits, trailing zeros dropped, a whole number
/// ending in its decimal mark ("10."), and "0" for any magnitude below 0.001. The decimal mark
/// is always "."; the text never has an exponent or digit grouping. Never throws (but for
/// std::bad_alloc); infinities and NaN, which no record holds, give "0".
std::string FormatCoord(double value);

/// Appends FormatCoord(value) to out.
void AppendCoord(std::string &out, double value);

namespace detail {
/// The digit-string method alone, without the fast path; exposed so tests can compare both.
void AppendCoordExact(std::string &out, double value);
} // namespace detail

} // namespace korvane
