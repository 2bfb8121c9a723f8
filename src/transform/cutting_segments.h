#pragma once

#include <atomic>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/line_list.h"
#include "model/working_state.h"
#include "transform/rewrite_settings.h"

namespace korvane {

/// The NC part of a line: everything before its first "(".
std::string_view CodePart(std::string_view line);

/// A copied line mirrored by text about `axis`: the sign of the first coordinate word of the
/// mirrored letter in the NC part is turned ("X10." to "X-10.", "X-10." to "X10."); a zero
/// written without a point ("X0") and the comment stay as they are. MirrorAxis::None copies.
std::string MirrorLineText(std::string_view line, MirrorAxis axis);

/// The last line of a growing list whose NC part holds an X, and the last that holds a Y.
/// Each look reads only the lines appended since the one before, so that following the
/// output of a whole rewrite reads every line once.
class LastAxisLines {
public:
    /// Takes in the lines appended to `lines` since the last call. Lines already taken in
    /// may have been replaced, provided the replacement kept their letters.
    void CatchUp(const LineList &lines);
    std::optional<std::size_t> x() const { return m_x; }
    std::optional<std::size_t> y() const { return m_y; }

private:
    std::optional<std::size_t> m_x;
    std::optional<std::size_t> m_y;
    std::size_t m_read = 0;
};

/// Redirects the approach: in the last line of `lines` whose NC part holds an X, the number
/// after its first X becomes FormatCoord(x); likewise, independently, for Y. An axis given no
/// value is left alone. A letter that ends its line counts as found but is not changed.
/// `seen` follows `lines` from call to call (a fresh one for a list it has not followed).
void RetargetApproach(LineList &lines, LastAxisLines &seen, std::optional<double> x,
                      std::optional<double> y);

/// Rewrites the parsed program in its own order into state.outputLines, every cutting pass
/// reversed in place and its approach redirected; other lines are copied from `lines` (text
/// line i belongs to record i), mirrored by text. Throws EngineError::ListIndex(-1) when a
/// cutting pass starts at the first line, as it has no record before it.
void ReverseCuttingSegments(std::span<const std::string_view> lines,
                            const RewriteSettings &settings, WorkingState &state);

/// Records that a parser on another thread is still producing, one per text line, stored in
/// place (the storage never moves). The parser publishes how many are complete; the rewrite
/// waits for each record it reads.
class RecordFeed {
public:
    /// Thrown to the reading thread when the parser gives up (a refused line, an error).
    struct Aborted {};

    RecordFeed(const BlockRecord *records, std::size_t total) : m_records(records), m_total(total)
    {
    }
    std::size_t total() const { return m_total; }
    /// Parser side: records below `count` are complete. Publish in batches: every store here
    /// costs the reader's core a cache miss.
    void Publish(std::size_t count) { m_published.store(count, std::memory_order_release); }
    /// Parser side: no more records will come.
    void Abort() { m_aborted.store(true, std::memory_order_release); }
    /// Reader side: record i, once published. Throws Aborted when the parser gave up first.
    const BlockRecord &Wait(std::size_t i) const
    {
        if (i >= m_seen)
            WaitFor(i);
        return m_records[i];
    }

private:
    void WaitFor(std::size_t i) const;

    const BlockRecord *m_records;
    std::size_t m_total;
    mutable std::size_t m_seen = 0; // the reader's last look at m_published
    // Apart from the reader's fields: the parser writes these while the reader reads records.
    alignas(64) std::atomic<std::size_t> m_published{0};
    std::atomic<bool> m_aborted{false};
};

/// ReverseCuttingSegments reading its records from `feed` as they are parsed, so that the
/// rewrite runs beside the parser. The same result, byte for byte.
void ReverseCuttingSegments(std::span<const std::string_view> lines,
                            const RewriteSettings &settings, WorkingState &state,
                            const RecordFeed &feed);

} // namespace korvane
