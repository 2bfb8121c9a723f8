#include "model/UnitCall.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace korvane {
namespace {

// The double nearest 0.001: the bound below which a value is written as "0".
constexpr double kZeroBound = 0.001;

// Writes a magnitude given as a whole number of thousandths.
void AppendThousandths(std::string &out, bool negative, std::uint64_t units)
{
    // Written backwards from the last digit into a small buffer, then appended once.
    char buf[32];
    char *const end = buf + sizeof buf;
    char *p = end;
    // A whole number ends in its decimal mark ("10."); otherwise trailing zeros are dropped.
    auto frac = static_cast<unsigned>(units % 1000);
    if (frac != 0) {
        int digits = 3;
        for (; frac % 10 == 0; frac /= 10)
            --digits;
        for (; digits > 0; --digits, frac /= 10)
            *--p = static_cast<char>('0' + frac % 10);
    }
    *--p = '.';
    std::uint64_t whole = units / 1000;
    do {
        *--p = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    if (negative)
        *--p = '-';
    out.append(p, end);
}

} // namespace

namespace detail {

void AppendCoordExact(std::string &out, double value)
{
    if (!std::isfinite(value) || std::fabs(value) < kZeroBound) {
        out.push_back('0');
        return;
    }
    // 18 significant digits, correctly rounded from the exact binary value.
    char buf[64];
    auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 17);
    std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
    std::string digits;
    digits.reserve(18);
    std::size_t ePos = sci.find('e');
    for (std::size_t i = 0; i < ePos; ++i)
        if (sci[i] != '.')
            digits.push_back(sci[i]);
    int exp10 = 0;
    std::from_chars(sci.data() + ePos + (sci[ePos + 1] == '+' ? 2 : 1), sci.data() + sci.size(),
                    exp10);

    // The value is 0.d1d2...d18 times 10^point.
    const long long point = static_cast<long long>(exp10) + 1;
    auto digitAt = [&](long long pos) -> char { // pos 0 is d1
        return (pos >= 0 && pos < static_cast<long long>(digits.size()))
                   ? digits[static_cast<std::size_t>(pos)]
                   : '0';
    };
    std::string intPart;
    for (long long p = 0; p < point; ++p)
        intPart.push_back(digitAt(p));
    if (intPart.empty())
        intPart.push_back('0');
    std::string frac{digitAt(point), digitAt(point + 1), digitAt(point + 2)};

    if (digitAt(point + 3) >= '5') {
        // Half away from zero on the digit string, carrying into the integer part.
        int i = 2;
        for (; i >= 0 && frac[static_cast<std::size_t>(i)] == '9'; --i)
            frac[static_cast<std::size_t>(i)] = '0';
        if (i >= 0) {
            ++frac[static_cast<std::size_t>(i)];
        } else {
            long long k = static_cast<long long>(intPart.size()) - 1;
            for (; k >= 0 && intPart[static_cast<std::size_t>(k)] == '9'; --k)
                intPart[static_cast<std::size_t>(k)] = '0';
            if (k >= 0)
                ++intPart[static_cast<std::size_t>(k)];
            else
                intPart.insert(intPart.begin(), '1');
        }
    }
    while (!frac.empty() && frac.back() == '0')
        frac.pop_back();

    if (value < 0)
        out.push_back('-');
    out.append(intPart);
    out.push_back('.');
    out.append(frac);
}

} // namespace detail

void AppendCoord(std::string &out, double value)
{
    if (!std::isfinite(value) || std::fabs(value) < kZeroBound) {
        out.push_back('0');
        return;
    }
    if (std::fabs(value) < 1e9) {
        // |value| = m * 2^-shift exactly, and m * 1000 < 2^63: the thousandths and the
        // remainder below them come out exact in integers. Below 1e9 the cut to 18 significant
        // digits moves the value by at most 5e-7 thousandths, so only a remainder within
        // 2^-20 (about 9.5e-7) of one half needs the digit-string method.
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
        const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
        // Doubles from 0.001 to 1e9 have 1023 - 62 <= biased <= 1023 + 29: shift is 23 to 62.
        const int shift = 1075 - biased;
        const std::uint64_t scaled = m * 1000;
        const std::uint64_t whole = scaled >> shift;
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        const std::uint64_t window = std::uint64_t{1} << (shift - 20);
        const std::uint64_t distance = rest > half ? rest - half : half - rest;
        if (distance > window) {
            AppendThousandths(out, value < 0, whole + (rest > half ? 1u : 0u));
            return;
        }
    }
    detail::AppendCoordExact(out, value);
}

std::string FormatCoord(double value)
{
    std::string out;
    AppendCoord(out, value);
    return out;
}

} // namespace korvane
