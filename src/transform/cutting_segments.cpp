#include "transform/cutting_segments.h"

#include <thread>
#include <vector>

#include "model/UnitCall.h"
#include "model/errors.h"
#include "transform/emitter.h"

namespace korvane {
namespace {

bool IsRunChar(char c)
{
    return (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Replaces, in `line`, the number run after the first `letter` of its NC part by the text of
// `value`. False when the line keeps its text (no such letter, or the letter ends the line).
bool ReplaceNumber(std::string &line, char letter, double value)
{
    std::size_t at = 0;
    while (at < line.size() && line[at] != letter && line[at] != '(')
        ++at;
    if (at == line.size() || line[at] == '(' || at + 1 == line.size())
        return false;
    std::size_t runEnd = at + 1;
    while (runEnd < line.size() && IsRunChar(line[runEnd]))
        ++runEnd;
    thread_local std::string number;
    number.clear();
    AppendCoord(number, value);
    line.replace(at + 1, runEnd - at - 1, number);
    return true;
}

} // namespace

std::string_view CodePart(std::string_view line)
{
    return line.substr(0, line.find('('));
}

std::string MirrorLineText(std::string_view line, MirrorAxis axis)
{
    std::string out(line);
    if (axis == MirrorAxis::None)
        return out;
    const char letter = axis == MirrorAxis::X ? 'X' : 'Y';
    const std::string_view code = CodePart(line);

    const char minus[] = {letter, '-', '\0'};
    if (std::size_t at = code.find(minus); at != std::string_view::npos) {
        out.erase(at + 1, 1);
        return out;
    }
    const std::size_t at = code.find(letter);
    if (at == std::string_view::npos)
        return out;
    // A zero written without a point has no sign to turn; X0. still gets one, as CAM output
    // that spells its zeros that way has always been mirrored.
    std::size_t runEnd = at + 1;
    while (runEnd < code.size() && IsRunChar(code[runEnd]))
        ++runEnd;
    const std::string_view run = code.substr(at + 1, runEnd - at - 1);
    if (!run.empty() && run.find_first_not_of('0') == std::string_view::npos)
        return out;
    out.insert(at + 1, 1, '-');
    return out;
}

void LastAxisLines::CatchUp(const LineList &lines)
{
    // One pass over each new line's NC part; lines are short, so no library search.
    for (; m_read < lines.size(); ++m_read) {
        for (char c : lines[m_read]) {
            if (c == '(')
                break;
            if (c == 'X')
                m_x = m_read;
            else if (c == 'Y')
                m_y = m_read;
        }
    }
}

void RetargetApproach(LineList &lines, LastAxisLines &seen, std::optional<double> x,
                      std::optional<double> y)
{
    seen.CatchUp(lines);
    thread_local std::string text;
    std::optional<std::size_t> lineY = y ? seen.y() : std::nullopt;
    if (const std::optional<std::size_t> lineX = x ? seen.x() : std::nullopt) {
        // One rebuild when X and Y stand in the same line, as in the usual approach rapid.
        text.assign(lines[*lineX]);
        bool changed = ReplaceNumber(text, 'X', *x);
        if (lineY == lineX) {
            changed |= ReplaceNumber(text, 'Y', *y);
            lineY.reset();
        }
        if (changed)
            lines.Replace(*lineX, text);
    }
    if (lineY) {
        text.assign(lines[*lineY]);
        if (ReplaceNumber(text, 'Y', *y))
            lines.Replace(*lineY, text);
    }
}

namespace {

// The index of the record after the cutting segment that starts at record i, for i < n - 1:
// the next record that moves in Z or goes to the machine's reference, or else the last
// record, which usually ends the program. When that last record cuts on at the same depth it
// is taken into the pass instead: on its own its approach would be redirected into the pass
// just written, and a cut would be lost.
template <typename RecordAccess> long long SegmentEnd(long long i, long long n, RecordAccess &at)
{
    for (long long j = i + 1; j < n - 1; ++j) {
        const BlockRecord &next = at(j);
        if (HasZTravel(next) || next.machineReference)
            return j;
    }
    const BlockRecord &last = at(n - 1);
    if (HasZTravel(last) || last.machineReference || !IsPlaneCut(last))
        return n - 1;
    return n;
}

// A coordinate of the point where a reversed segment begins, mirrored as asked; none when
// the program never gave it.
std::optional<double> ApproachCoord(double value, bool mirrored)
{
    if (!IsWritable(value))
        return std::nullopt;
    return mirrored ? -value : value;
}

// Writes the records from `last` down to `first` backwards.
template <typename RecordAccess>
void ReverseSegment(long long first, long long last, RecordAccess &at,
                    const RewriteSettings &settings, WorkingState &state)
{
    // The copied lines since the last segment have moved the machine and may have changed its
    // feed: the segment's first block states its position and feed in full.
    state.memory.lastX = state.memory.lastY = state.memory.lastZ = UNSET_COORD;
    state.memory.lastFeed = -1;
    for (long long b = last; b >= first; --b) {
        state.outputLines.SetSource(static_cast<std::uint32_t>(b));
        EmitReversedBlock(at(b), at(b - 1), b == last, settings, state);
    }
}

// The walk over the records; `at(i)` gives record i of `n`, and throws the list-index error
// for an index outside them. Lines outside cutting segments are copied, mirrored by text.
template <typename RecordAccess>
void WalkSegments(std::span<const std::string_view> lines, long long n, RecordAccess at,
                  const RewriteSettings &settings, WorkingState &state)
{
    const MirrorAxis axis = settings.mirrorAxis;
    LineList &out = state.outputLines;
    LastAxisLines approach;

    long long resume = -1;
    for (long long i = 0; i < n; ++i) {
        if (i < resume)
            continue;
        const BlockRecord &rec = at(i);
        out.SetSource(static_cast<std::uint32_t>(i));
        if (!IsPlaneCut(rec) || rec.machineReference) {
            const std::string_view line = lines[static_cast<std::size_t>(i)];
            if (axis == MirrorAxis::None)
                out.Append(line);
            else
                out.Append(MirrorLineText(line, axis));
            continue;
        }
        // A cutting move on the last record is a segment of its own.
        if (i < n - 1)
            resume = SegmentEnd(i, n, at);
        const long long last = i < n - 1 ? resume - 1 : n - 1;
        const BlockRecord &lastRecord = at(last);
        RetargetApproach(out, approach, ApproachCoord(lastRecord.endX, axis == MirrorAxis::X),
                         ApproachCoord(lastRecord.endY, axis == MirrorAxis::Y));
        ReverseSegment(i, last, at, settings, state);
    }
}

} // namespace

void RecordFeed::WaitFor(std::size_t i) const
{
    while ((m_seen = m_published.load(std::memory_order_acquire)) <= i) {
        if (m_aborted.load(std::memory_order_acquire))
            throw Aborted{};
        std::this_thread::yield();
    }
}

void ReverseCuttingSegments(std::span<const std::string_view> lines,
                            const RewriteSettings &settings, WorkingState &state)
{
    const std::vector<BlockRecord> &list = state.blockList;
    const auto n = static_cast<long long>(list.size());
    auto at = [&list, n](long long index) -> const BlockRecord & {
        if (index < 0 || index >= n)
            throw EngineError::ListIndex(index);
        return list[static_cast<std::size_t>(index)];
    };
    WalkSegments(lines, n, at, settings, state);
}

void ReverseCuttingSegments(std::span<const std::string_view> lines,
                            const RewriteSettings &settings, WorkingState &state,
                            const RecordFeed &feed)
{
    const auto n = static_cast<long long>(feed.total());
    auto at = [&feed, n](long long index) -> const BlockRecord & {
        if (index < 0 || index >= n)
            throw EngineError::ListIndex(index);
        return feed.Wait(static_cast<std::size_t>(index));
    };
    WalkSegments(lines, n, at, settings, state);
}

} // namespace korvane
