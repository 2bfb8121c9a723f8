#include "model/UnitCall.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace korvane {
namespace {

// The double nearest 0.001: the bound below which a value is written as "0".
constexpr double kZeroBound = 0.001;

void AppendUnsigned(std::string &out, std::uint64_t n)
{
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, res.ptr);
}

// Writes a magnitude given as a whole number of thousandths.
void AppendThousandths(std::string &out, bool negative, std::uint64_t units)
{
    if (negative)
        out.push_back('-');
    AppendUnsigned(out, units / 1000);
    out.push_back('.');
    auto frac = static_cast<unsigned>(units % 1000);
    if (frac == 0)
        return; // "10.0" loses its final zero: a whole number ends in the decimal mark
    char d[3] = {static_cast<char>('0' + frac / 100), static_cast<char>('0' + frac / 10 % 10),
                 static_cast<char>('0' + frac % 10)};
    int len = 3;
    while (d[len - 1] == '0')
        --len;
    out.append(d, static_cast<std::size_t>(len));
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
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                             std::chars_format::scientific, 17);
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
        intPart = "0";
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
    long double magnitude = std::fabs(static_cast<long double>(value));
    if (magnitude < 1e9L) {
        // A 53-bit significand times 1000 fits the 64-bit significand: t is exact, and so is
        // its fraction. Below 1e9 the cut to 18 significant digits moves t by at most 5e-7,
        // so only a fraction that close to one half needs the digit-string method.
        long double t = magnitude * 1000.0L;
        auto whole = static_cast<std::uint64_t>(t);
        long double frac = t - static_cast<long double>(whole);
        long double fromHalf = frac - 0.5L;
        if (fromHalf > 1e-6L || fromHalf < -1e-6L) {
            AppendThousandths(out, value < 0, whole + (fromHalf > 0 ? 1u : 0u));
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
