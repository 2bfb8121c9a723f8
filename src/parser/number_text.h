#pragma once

#include <cstdint>
#include <string_view>

namespace korvane {

/// Strict real conversion of an NC number text: an optional leading "-", decimal digits and at
/// most one ".", anywhere; "." and "-." read as zero. The result is the extended value nearest
/// the decimal text. Throws EngineError::NotAFloat for a malformed text, and for a value that a
/// double cannot hold (it would overflow, or a non-zero value would become zero).
long double ConvertReal(std::string_view text);

/// Strict integer conversion: an optional leading "-" and at least one decimal digit, within
/// the signed 32-bit range. Throws EngineError::NotAnInteger otherwise.
std::int32_t ConvertInteger(std::string_view text);

/// Rounds an extended result once into a stored double. Throws
/// EngineError::InvalidFloatOperation when the double would overflow.
double StoreReal(long double value);

} // namespace korvane
