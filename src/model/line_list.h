#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

/// An ordered list of text lines kept back to back in one buffer, so that a program of
/// millions of lines costs two allocations rather than one per line.
class LineList {
public:
    /// The source line of a line that belongs to none (a program end, a program number).
    static constexpr std::uint32_t kNoSource = std::numeric_limits<std::uint32_t>::max();

    std::size_t size() const { return m_spans.size(); }
    bool empty() const { return m_spans.empty(); }
    std::string_view operator[](std::size_t i) const
    {
        const Span &s = m_spans[i];
        return std::string_view(m_text.data() + s.offset, s.length);
    }
    std::string_view back() const { return (*this)[size() - 1]; }

    /// Appends a line (without its line break), made from the source line set last.
    void Append(std::string_view line);
    /// The 0-based source line that the lines appended from now on are made from.
    void SetSource(std::uint32_t sourceLine) { m_source = sourceLine; }
    /// The source line that line i was made from, or kNoSource.
    std::uint32_t SourceOf(std::size_t i) const { return m_sources[i]; }
    /// Replaces line i. The old bytes stay in the buffer unused; a rewrite replaces few lines.
    void Replace(std::size_t i, std::string_view line);
    void Clear();
    void Reserve(std::size_t lines, std::size_t bytes);

    /// Every line followed by CR LF, as the text box holds a rewritten program.
    std::string JoinCrLf() const;
    /// Appends lines from `first` on to `out`, each followed by CR LF, until `out` holds at
    /// least `bytes` bytes or no line is left; returns the index of the first line not
    /// appended. Writes a large result in pieces without holding it whole.
    std::size_t AppendCrLf(std::string &out, std::size_t first, std::size_t bytes) const;
    /// Total bytes of the lines' text, line breaks not counted.
    std::size_t TextBytes() const;

private:
    struct Span {
        std::size_t offset;
        std::size_t length;
    };
    std::string m_text;
    std::vector<Span> m_spans;
    std::vector<std::uint32_t> m_sources; // beside the spans: only the check reads them
    std::uint32_t m_source = kNoSource;
};

} // namespace korvane
