#include "parser/number_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

#include "model/errors.h"

namespace korvane {
namespace {

// Long doubles from here on round to infinity when stored as a double.
constexpr long double kDoubleOverflow = 0x1p1024L - 0x1p970L;

constexpr long double kPow10[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                  1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                  1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L,
                                  1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};
// 10^27 = 2^27 * 5^27 and 5^27 < 2^64: every power up to it is exact in the extended format.
constexpr int kMaxExactPow10 = 27;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Correctly rounded conversion of a long digit string, independent of the process locale.
long double ConvertSlow(std::string_view text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    std::string copy(text);
    char *end = nullptr;
    errno = 0;
    long double v = strtold_l(copy.c_str(), &end, cLocale);
    if (end != copy.c_str() + copy.size())
        throw EngineError::NotAFloat(text);
    return v;
}

} // namespace

long double ConvertReal(std::string_view text)
{
    const char *p = text.data();
    const char *const end = p + text.size();
    bool negative = false;
    if (p < end && *p == '-') {
        negative = true;
        ++p;
    }
    if (p == end)
        throw EngineError::NotAFloat(text);

    // One pass: the digits as one integer (leading zeros skipped), and how many of them
    // stand after the point. More than 19 significant digits take the slow road.
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fractionDigits = 0;
    bool seenPoint = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (IsDigit(c)) {
            if (digits > 0 || c != '0') {
                if (digits < 19)
                    mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
                ++digits;
            }
            fractionDigits += seenPoint ? 1 : 0;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            throw EngineError::NotAFloat(text);
        }
    }
    if (mantissa == 0 && digits == 0)
        return negative ? -0.0L : 0.0L;

    long double value;
    if (digits <= 19 && fractionDigits <= kMaxExactPow10) {
        // Both operands exact: one correctly rounded quotient, from 1e-27 to below 1e19, so
        // well within what a double holds.
        value = static_cast<long double>(mantissa) / kPow10[fractionDigits];
    } else {
        value = std::fabs(ConvertSlow(text));
        if (value >= kDoubleOverflow || static_cast<double>(value) == 0.0)
            throw EngineError::NotAFloat(text);
    }
    return negative ? -value : value;
}

std::int32_t ConvertInteger(std::string_view text)
{
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && text[pos] == '-') {
        negative = true;
        ++pos;
    }
    if (pos == text.size())
        throw EngineError::NotAnInteger(text);
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t value = 0;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (!IsDigit(c))
            throw EngineError::NotAnInteger(text);
        value = value * 10 + (c - '0');
        if (value > limit)
            throw EngineError::NotAnInteger(text);
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

double StoreReal(long double value)
{
    if (std::fabs(value) >= kDoubleOverflow)
        throw EngineError::InvalidFloatOperation();
    return static_cast<double>(value);
}

} // namespace korvane
