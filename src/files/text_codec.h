#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

/// The character encodings a program file is read in, tried in this order.
enum class TextEncoding { Utf8, Cp932, Latin1 };

/// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past
/// U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

/// Text decoded from file bytes into UTF-8, with the encoding it was read in.
struct DecodedText {
    std::string utf8;
    TextEncoding encoding = TextEncoding::Utf8;
};

/// Decodes file bytes: the text ends at the first NUL byte; valid UTF-8 stays as it is, else
/// text that CP932 (Shift-JIS) decodes and encodes back to the same bytes is read as CP932,
/// else every byte is one Latin-1 character, so that any byte string comes back unchanged.
DecodedText DecodeText(std::string bytes);

/// Encodes UTF-8 text for writing in `encoding`. A text that the encoding cannot hold is
/// written as UTF-8 rather than losing characters; `encoding` is then set to Utf8.
std::string EncodeText(std::string_view utf8, TextEncoding &encoding);

/// The text's lines: CR LF, a lone CR and a lone LF each end a line; an empty last row after
/// a final line break is not a line, so an empty text has none. The views point into `text`.
/// The one place where line breaks are recognised.
std::vector<std::string_view> SplitLines(std::string_view text);

} // namespace korvane
