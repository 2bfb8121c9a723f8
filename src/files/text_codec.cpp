#include "files/text_codec.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include <iconv.h>
#include <optional>

#include "model/large_buffer.h"

namespace korvane {
namespace {

// Converts with glibc's iconv; nullopt when the input is not valid in `from` or has no
// form in `to`.
std::optional<std::string> Convert(const char *to, const char *from, std::string_view in)
{
    iconv_t cd = iconv_open(to, from);
    if (reinterpret_cast<std::intptr_t>(cd) == -1) // iconv_open's "(iconv_t) -1"
        return std::nullopt;
    std::string out(in.size() * 3 / 2 + 16, '\0');
    char *inPtr = const_cast<char *>(in.data());
    std::size_t inLeft = in.size();
    std::size_t used = 0;
    bool ok = true;
    bool flushing = false; // the last round writes out any pending shift state
    for (;;) {
        char *outPtr = out.data() + used;
        std::size_t outLeft = out.size() - used;
        std::size_t r = flushing ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                                 : iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        used = out.size() - outLeft;
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            ok = false; // EILSEQ, or an incomplete sequence at the end
            break;
        }
        if (flushing)
            break;
        flushing = true;
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(used);
    return out;
}

std::string Latin1ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

std::optional<std::string> Utf8ToLatin1(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
        } else if ((b == 0xC2 || b == 0xC3) && i + 1 < utf8.size()) {
            auto next = static_cast<unsigned char>(utf8[++i]);
            out.push_back(static_cast<char>(((b & 0x03) << 6) | (next & 0x3F)));
        } else {
            return std::nullopt; // a character beyond U+00FF
        }
    }
    return out;
}

} // namespace

bool IsValidUtf8(std::string_view bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const unsigned char *end = p + bytes.size();
    while (p < end) {
        // Eight ASCII bytes at a time: NC programs are almost all ASCII.
        if (end - p >= 8) {
            std::uint64_t chunk;
            std::memcpy(&chunk, p, 8);
            if ((chunk & 0x8080808080808080ULL) == 0) {
                p += 8;
                continue;
            }
        }
        unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int extra;
        unsigned min;
        unsigned cp;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1, min = 0x80, cp = b & 0x1Fu;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2, min = 0x800, cp = b & 0x0Fu;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3, min = 0x10000, cp = b & 0x07u;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int k = 1; k <= extra; ++k) {
            unsigned char c = p[k];
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

DecodedText DecodeText(std::string bytes)
{
    if (std::size_t nul = bytes.find('\0'); nul != std::string::npos)
        bytes.resize(nul);
    if (IsValidUtf8(bytes))
        return {std::move(bytes), TextEncoding::Utf8};
    if (auto utf8 = Convert("UTF-8", "CP932", bytes)) {
        // Only text that comes back byte for byte counts as CP932: a few code points have
        // two spellings, and a save must never change what the user did not touch.
        if (auto back = Convert("CP932", "UTF-8", *utf8); back && *back == bytes)
            return {std::move(*utf8), TextEncoding::Cp932};
    }
    return {Latin1ToUtf8(bytes), TextEncoding::Latin1};
}

std::string EncodeText(std::string_view utf8, TextEncoding &encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        break;
    case TextEncoding::Cp932:
        if (auto out = Convert("CP932", "UTF-8", utf8))
            return std::move(*out);
        break;
    case TextEncoding::Latin1:
        if (auto out = Utf8ToLatin1(utf8))
            return std::move(*out);
        break;
    }
    encoding = TextEncoding::Utf8;
    return std::string(utf8);
}

namespace {

// How many CR and LF bytes the text holds, sixteen bytes at a time.
std::size_t LineBreakBound(std::string_view text)
{
    const char *const base = text.data();
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    std::size_t count = 0;
    std::size_t i = 0;
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(base + i));
        count +=
            static_cast<std::size_t>(__builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(
                _mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf))))));
    }
    for (; i < text.size(); ++i)
        count += base[i] == '\r' || base[i] == '\n' ? 1 : 0;
    return count;
}

} // namespace

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    // Room for every line at once: growing a vector of a million lines copies it some twenty
    // times over. CR and LF are counted alike, so a CR LF pair counts twice: a bound.
    ReserveLarge(lines, LineBreakBound(text) + 1);
    const char *const base = text.data();
    const std::size_t n = text.size();
    std::size_t start = 0;
    auto lineBreakAt = [&](std::size_t i) {
        lines.push_back(text.substr(start, i - start));
        start = i + 1;
    };
    // Sixteen bytes at a time: a mask of the CR and LF bytes among them.
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(base + i));
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf))));
        while (mask != 0) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            mask &= mask - 1;
            if (at < start)
                continue; // the LF of a CR LF pair already taken
            lineBreakAt(at);
            if (base[at] == '\r' && at + 1 < n && base[at + 1] == '\n')
                start = at + 2;
        }
    }
    for (; i < n; ++i) {
        if (i < start || (base[i] != '\r' && base[i] != '\n'))
            continue;
        lineBreakAt(i);
        if (base[i] == '\r' && i + 1 < n && base[i + 1] == '\n')
            start = i + 2;
    }
    if (start < n)
        lines.push_back(text.substr(start));
    return lines;
}

} // namespace korvane
