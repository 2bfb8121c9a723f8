#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvane {

/// A failure of a command. what() is the exact user-facing text (UTF-8, without the full stop
/// that the window's error box appends); line() names the text line at fault, when one is.
class KorvaneError : public std::runtime_error {
public:
    explicit KorvaneError(const std::string &message) : std::runtime_error(message) {}

    std::optional<std::size_t> line() const { return m_line; }
    /// Records the index of the line at fault, unless one has already been recorded.
    void AttachLine(std::size_t index)
    {
        if (!m_line)
            m_line = index;
    }

private:
    std::optional<std::size_t> m_line;
};

/// Errors raised by the rewrite engine itself: malformed numbers, an invalid floating-point
/// operation, and a record asked for outside the block list.
class EngineError : public KorvaneError {
public:
    using KorvaneError::KorvaneError;

    /// "'%s' は浮動小数点数ではありません" for a number text that is not a real. A text of more
    /// than 64 characters is shown by its first 64 and "...".
    static EngineError NotAFloat(std::string_view text);
    /// "'%s' は整数ではありません" for a number text that is not a 32-bit integer.
    static EngineError NotAnInteger(std::string_view text);
    /// "不正な浮動小数点数演算命令": a value that no integer or real can hold.
    static EngineError InvalidFloatOperation();
    /// "リストのインデックスが範囲を超えています (%d)" for a record index outside the list.
    static EngineError ListIndex(long long index);
};

} // namespace korvane
