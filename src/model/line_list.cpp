#include "model/line_list.h"

#include "model/large_buffer.h"

namespace korvane {

void LineList::Append(std::string_view line)
{
    m_spans.push_back({m_text.size(), line.size()});
    m_sources.push_back(m_source);
    m_text.append(line);
}

void LineList::Replace(std::size_t i, std::string_view line)
{
    Span &s = m_spans.at(i);
    if (line.size() <= s.length) {
        // Fits in place; the view may point into our own buffer, so move rather than copy.
        std::char_traits<char>::move(m_text.data() + s.offset, line.data(), line.size());
        s.length = line.size();
        return;
    }
    const bool aliases =
        line.data() >= m_text.data() && line.data() < m_text.data() + m_text.size();
    if (aliases) {
        const std::string copy(line);
        Replace(i, copy);
        return;
    }
    s.offset = m_text.size();
    s.length = line.size();
    m_text.append(line);
}

void LineList::Clear()
{
    m_text.clear();
    m_spans.clear();
    m_sources.clear();
    m_source = kNoSource;
}

void LineList::Reserve(std::size_t lines, std::size_t bytes)
{
    ReserveLarge(m_spans, lines);
    ReserveLarge(m_sources, lines);
    ReserveLarge(m_text, bytes);
}

std::string LineList::JoinCrLf() const
{
    std::string out;
    ReserveLarge(out, TextBytes() + 2 * size());
    AppendCrLf(out, 0, std::numeric_limits<std::size_t>::max());
    return out;
}

std::size_t LineList::AppendCrLf(std::string &out, std::size_t first, std::size_t bytes) const
{
    std::size_t i = first;
    for (; i < size() && out.size() < bytes; ++i)
        out.append((*this)[i]).append("\r\n");
    return i;
}

std::size_t LineList::TextBytes() const
{
    std::size_t n = 0;
    for (const Span &s : m_spans)
        n += s.length;
    return n;
}

} // namespace korvane
