#include "toolpath/check.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "model/large_buffer.h"
#include "toolpath/check_messages.h"
#include "toolpath/machine.h"

namespace korvane {
namespace {

constexpr double kMatchTolerance = 0.002;  // in position, per axis
constexpr double kRateTolerance = 0.005;   // feeds and spindle speeds, relative
constexpr double kHeightTolerance = 0.002; // for the rapid warnings
constexpr std::uint32_t kNoLine = std::numeric_limits<std::uint32_t>::max();

// The arc centre's coordinate on the mirrored axis (X or Y), or nullptr when the arc's plane
// does not hold that axis. The planes' axes are (X, Y), (Z, X) and (Y, Z).
double *CentreOnAxis(Move &move, MirrorAxis axis)
{
    const bool x = axis == MirrorAxis::X;
    switch (move.plane) {
    case Plane::XY:
        return x ? &move.centreA : &move.centreB;
    case Plane::ZX:
        return x ? &move.centreB : nullptr;
    case Plane::YZ:
        return x ? nullptr : &move.centreA;
    }
    return nullptr;
}

// A mirror image: the mirrored axis changes sign, arcs turn the other way, and the cutter
// stands on the other side of the path.
void Mirror(Move &move, MirrorAxis axis)
{
    if (axis == MirrorAxis::None)
        return;
    double Point::*const coord = axis == MirrorAxis::X ? &Point::x : &Point::y;
    move.start.*coord = -(move.start.*coord);
    move.end.*coord = -(move.end.*coord);
    if (double *centre = CentreOnAxis(move, axis))
        *centre = -*centre;
    move.kind = ExchangedArc(move.kind);
    move.conditions.compStart = ExchangedSide(move.conditions.compStart);
    move.conditions.compEnd = ExchangedSide(move.conditions.compEnd);
}

bool KnownInXY(const Move &move)
{
    return IsKnown(move.start.x) && IsKnown(move.start.y) && IsKnown(move.end.x) &&
           IsKnown(move.end.y);
}

bool WithinRate(double actual, double expected)
{
    return IsKnown(actual) && std::fabs(actual - expected) <= kRateTolerance * std::fabs(expected);
}

enum class Orientation { None, Same, Reversed };

// The point halfway along an arc, on the mean of its start and end radii: where two arcs
// between the same ends part most when their centres differ. Written centre offsets carry
// their own rounding, so the path is compared here rather than the centre.
template <typename M> std::pair<double, double> ArcMiddle(const M &m)
{
    const bool xy = m.plane == Plane::XY, zx = m.plane == Plane::ZX;
    const double a0 = xy ? m.start.x : zx ? m.start.z : m.start.y;
    const double b0 = xy ? m.start.y : zx ? m.start.x : m.start.z;
    const double a1 = xy ? m.end.x : zx ? m.end.z : m.end.y;
    const double b1 = xy ? m.end.y : zx ? m.end.x : m.end.z;
    const double angle0 = std::atan2(b0 - m.centreB, a0 - m.centreA);
    double sweep = std::atan2(b1 - m.centreB, a1 - m.centreA) - angle0;
    constexpr double kTurn = 6.283185307179586;
    if (m.kind == Motion::CounterClockwise) {
        while (sweep <= 0)
            sweep += kTurn;
    } else {
        while (sweep >= 0)
            sweep -= kTurn;
    }
    if (SamePoint(m.start, m.end, kSamePointTolerance))
        sweep = m.kind == Motion::CounterClockwise ? kTurn : -kTurn;
    const double r =
        (std::hypot(a0 - m.centreA, b0 - m.centreB) + std::hypot(a1 - m.centreA, b1 - m.centreB)) /
        2;
    const double middle = angle0 + sweep / 2;
    return {m.centreA + r * std::cos(middle), m.centreB + r * std::sin(middle)};
}

// The same cut: a straight cut by its two ends, an arc by its ends, the middle of its path
// and its direction; a cut made the other way round counts, with the arc turning the other
// way.
template <typename S> Orientation CompareGeometry(const Move &r, const S &s)
{
    if (r.plane != s.plane || IsArc(r.kind) != IsArc(s.kind))
        return Orientation::None;
    Orientation o = Orientation::None;
    if (r.kind == s.kind && SamePoint(r.start, s.start, kMatchTolerance) &&
        SamePoint(r.end, s.end, kMatchTolerance))
        o = Orientation::Same;
    else if (r.kind == ExchangedArc(s.kind) && SamePoint(r.start, s.end, kMatchTolerance) &&
             SamePoint(r.end, s.start, kMatchTolerance))
        o = Orientation::Reversed;
    if (o == Orientation::None || !IsArc(r.kind))
        return o;
    const auto [ra, rb] = ArcMiddle(r);
    const auto [sa, sb] = ArcMiddle(s);
    return SameCoord(ra, sa, kMatchTolerance) && SameCoord(rb, sb, kMatchTolerance)
               ? o
               : Orientation::None;
}

// Which conditions of a matched cut differ, one bit per kind.
enum ConditionBit : unsigned {
    kSpindleBit = 1,
    kToolBit = 2,
    kLengthBit = 4,
    kWorkOffsetBit = 8,
    kFeedBit = 16,
    kCompensationBit = 32,
};

// The conditions reported alike, in the order their findings are made.
struct ConditionCheck {
    ConditionBit bit;
    FindingKind kind;
    messages::Condition condition;
};
constexpr ConditionCheck kConditionChecks[] = {
    {kSpindleBit, FindingKind::Spindle, messages::Condition::Spindle},
    {kToolBit, FindingKind::Tool, messages::Condition::Tool},
    {kLengthBit, FindingKind::Tool, messages::Condition::LengthOffset},
    {kWorkOffsetBit, FindingKind::WorkOffset, messages::Condition::WorkOffset},
    {kFeedBit, FindingKind::Feed, messages::Condition::Feed},
};

// The side the cutter keeps from the path while a move is made under compensation. Where
// compensation starts or ends the move is a transition, whose exact course differs between
// controls (a cancel on a move without X or Y is taken at once by some, deferred by others),
// so a transition counts by the side it starts or ends on.
RadiusComp ActiveSide(const CutConditions &c)
{
    return c.compEnd != RadiusComp::Off ? c.compEnd : c.compStart;
}

// Run the other way, a cut under compensation has the cutter on the other side of the path.
RadiusComp ExpectedSide(const CutConditions &s, Orientation orientation)
{
    const RadiusComp side = ActiveSide(s);
    return orientation == Orientation::Same ? side : ExchangedSide(side);
}

unsigned CompareConditions(const CutConditions &r, const CutConditions &s, Orientation orientation)
{
    unsigned bits = 0;
    if (s.spindle == Spindle::Clockwise || s.spindle == Spindle::CounterClockwise) {
        if (r.spindle != s.spindle ||
            (IsKnown(s.spindleSpeed) && !WithinRate(r.spindleSpeed, s.spindleSpeed)))
            bits |= kSpindleBit;
    }
    if (s.tool >= 0 && r.tool != s.tool)
        bits |= kToolBit;
    if (s.lengthComp != LengthCompState::Unknown) {
        const bool on =
            s.lengthComp == LengthCompState::Positive || s.lengthComp == LengthCompState::Negative;
        if (r.lengthComp != s.lengthComp ||
            (on && s.lengthOffset >= 0 && r.lengthOffset != s.lengthOffset))
            bits |= kLengthBit;
    }
    if (!(r.workOffset == s.workOffset))
        bits |= kWorkOffsetBit;
    if (IsKnown(s.feed) && !WithinRate(r.feed, s.feed))
        bits |= kFeedBit;
    const RadiusComp side = ExpectedSide(s, orientation);
    if (ActiveSide(r) != side ||
        (side != RadiusComp::Off && s.radiusOffset >= 0 && r.radiusOffset != s.radiusOffset))
        bits |= kCompensationBit;
    return bits;
}

// The findings, kept in order of source line then result line; of each severity only the
// first kMaxFindingsKept, so that a program that fails everywhere costs bounded memory.
class FindingList {
public:
    /// Adds a finding; `compose` makes its message, and is called only for a finding that
    /// may be kept: on a program that fails at every line the messages are most of the cost.
    template <typename Compose>
    void Add(Severity severity, FindingKind kind, std::uint32_t resultLine,
             std::uint32_t sourceLine, Compose &&compose)
    {
        const bool error = severity == Severity::Error;
        ++(error ? m_errorCount : m_warningCount);
        const Key key = KeyOf(sourceLine, resultLine);
        std::optional<Key> &cutoff = error ? m_errorCutoff : m_warningCutoff;
        if (cutoff && *cutoff < key)
            return; // after the last finding that can still be kept
        Finding f;
        f.severity = severity;
        f.kind = kind;
        if (resultLine != kNoLine)
            f.resultLine = resultLine;
        if (sourceLine != kNoLine)
            f.sourceLine = sourceLine;
        f.message = compose();
        std::vector<Finding> &list = error ? m_errors : m_warnings;
        list.push_back(std::move(f));
        if (list.size() >= 4 * CheckReport::kMaxFindingsKept) {
            Keep(list);
            cutoff = KeyOf(list.back());
        }
    }

    CheckReport Finish()
    {
        Keep(m_errors);
        Keep(m_warnings);
        CheckReport report;
        report.errorCount = m_errorCount;
        report.warningCount = m_warningCount;
        report.findings = std::move(m_errors);
        report.findings.insert(report.findings.end(), std::make_move_iterator(m_warnings.begin()),
                               std::make_move_iterator(m_warnings.end()));
        std::stable_sort(report.findings.begin(), report.findings.end(), Before);
        return report;
    }

private:
    // By source line; on one line, what the source lost before what the result made.
    using Key = std::pair<std::uint32_t, std::int64_t>;
    static Key KeyOf(std::uint32_t sourceLine, std::uint32_t resultLine)
    {
        return {sourceLine, resultLine == kNoLine ? -1 : std::int64_t{resultLine}};
    }
    static Key KeyOf(const Finding &f)
    {
        return KeyOf(f.sourceLine.value_or(kNoLine), f.resultLine.value_or(kNoLine));
    }
    static bool Before(const Finding &a, const Finding &b) { return KeyOf(a) < KeyOf(b); }

    static void Keep(std::vector<Finding> &list)
    {
        if (list.size() <= CheckReport::kMaxFindingsKept)
            return;
        std::stable_sort(list.begin(), list.end(), Before);
        list.erase(list.begin() + CheckReport::kMaxFindingsKept, list.end());
    }

    std::vector<Finding> m_errors;
    std::vector<Finding> m_warnings;
    std::size_t m_errorCount = 0;
    std::size_t m_warningCount = 0;
    std::optional<Key> m_errorCutoff;
    std::optional<Key> m_warningCutoff;
};

// A feed move of the source. Every feed move is kept, not only the cuts: a move whose travel
// lies near the 0.001 that makes it a cut may fall on the other side of it once its
// coordinates are rounded to three decimals, and must still find its counterpart. A million
// of them are kept for a large program, so the conditions are held once in a table.
struct SourceMove {
    Point start, end; // mirrored as the result should make them
    double centreA = kUnknown, centreB = kUnknown;
    std::uint32_t line = 0;
    std::uint32_t conditions = 0; // index into SourceRun::conditions
    Motion kind = Motion::Linear;
    Plane plane = Plane::XY;
    bool cut = false; // must be made by the result
    bool matched = false;
    bool reported = false; // already the subject of a finding
};

bool SameConditions(const CutConditions &a, const CutConditions &b)
{
    auto same = [](double x, double y) { return x == y || (!IsKnown(x) && !IsKnown(y)); };
    return same(a.feed, b.feed) && same(a.spindleSpeed, b.spindleSpeed) && a.spindle == b.spindle &&
           a.lengthComp == b.lengthComp && a.compStart == b.compStart && a.compEnd == b.compEnd &&
           a.tool == b.tool && a.lengthOffset == b.lengthOffset &&
           a.radiusOffset == b.radiusOffset && a.workOffset == b.workOffset;
}

// The source run: its feed moves, mirrored, and the lowest heights it reaches at rapid.
class SourceRun : public MoveSink {
public:
    SourceRun(MirrorAxis axis, FindingList &findings, std::size_t lines)
        : m_axis(axis), m_findings(findings)
    {
        // Most lines make one move at most; untouched room costs nothing until it is used.
        ReserveLarge(moves, lines);
    }

    void OnMove(const Move &move) override
    {
        if (move.kind == Motion::Rapid) {
            NoteRapid(move);
            return;
        }
        if (AtHomeHeight(move))
            return;
        if (!KnownInXY(move)) {
            if (IsCut(move))
                m_findings.Add(Severity::Error, FindingKind::UnknownPosition, kNoLine, move.line,
                               [&] { return messages::UnknownStartInSource(); });
            return;
        }
        Move mirrored = move;
        Mirror(mirrored, m_axis);
        if (conditions.empty() || !SameConditions(conditions.back(), mirrored.conditions))
            conditions.push_back(mirrored.conditions);
        SourceMove &s = moves.emplace_back();
        s.start = mirrored.start;
        s.end = mirrored.end;
        s.centreA = mirrored.centreA;
        s.centreB = mirrored.centreB;
        s.line = move.line;
        s.conditions = static_cast<std::uint32_t>(conditions.size() - 1);
        s.kind = mirrored.kind;
        s.plane = mirrored.plane;
        s.cut = IsCut(move);
    }

    /// The move as the machine model gives it, mirrored.
    Move MoveOf(const SourceMove &s) const
    {
        Move m;
        m.line = s.line;
        m.kind = s.kind;
        m.plane = s.plane;
        m.start = s.start;
        m.end = s.end;
        m.centreA = s.centreA;
        m.centreB = s.centreB;
        m.conditions = conditions[s.conditions];
        return m;
    }

    void OnUnsupported(std::uint32_t line, Unsupported what) override
    {
        if (line == m_lastUnsupported)
            return;
        m_lastUnsupported = line;
        m_findings.Add(Severity::Error, FindingKind::Unsupported, kNoLine, line,
                       [&] { return messages::Unsupported(what); });
    }

    std::vector<SourceMove> moves;
    std::vector<CutConditions> conditions;
    double lowestRapidEnd = std::numeric_limits<double>::infinity();
    double lowestRapidTraverse = std::numeric_limits<double>::infinity();

private:
    void NoteRapid(const Move &move)
    {
        if (move.machineReference)
            return;
        if (IsWorkPosition(move.end.z))
            lowestRapidEnd = std::min(lowestRapidEnd, move.end.z);
        if (move.xyTravel) {
            const double low =
                IsWorkPosition(move.start.z) ? std::min(move.start.z, move.end.z) : move.end.z;
            if (IsWorkPosition(low))
                lowestRapidTraverse = std::min(lowestRapidTraverse, low);
        }
    }

    MirrorAxis m_axis;
    FindingList &m_findings;
    std::uint32_t m_lastUnsupported = kNoLine;
};

// Source feed moves by the middle of their chord in X and Y, for the cuts that are not where the
// result's own record of its source lines says; built the first time one is looked for.
class CutGrid {
public:
    explicit CutGrid(const std::vector<SourceMove> &moves)
    {
        m_cells.reserve(moves.size());
        for (std::size_t i = 0; i < moves.size(); ++i)
            m_cells.push_back(
                {CellOf(Middle(moves[i].start, moves[i].end)), static_cast<std::uint32_t>(i)});
        std::sort(m_cells.begin(), m_cells.end());
    }

    /// Calls f(index) for every cut whose chord middle may lie within the tolerance of the
    /// move's.
    template <typename F> void ForNear(const Move &move, F f) const
    {
        const auto [mx, my] = Middle(move.start, move.end);
        if (OffTheGrid(mx) || OffTheGrid(my)) {
            Visit(kUnknownCell, f);
            return;
        }
        const std::int64_t x0 = Index(mx - kMatchTolerance), x1 = Index(mx + kMatchTolerance);
        const std::int64_t y0 = Index(my - kMatchTolerance), y1 = Index(my + kMatchTolerance);
        for (std::int64_t x = x0; x <= x1; ++x)
            for (std::int64_t y = y0; y <= y1; ++y)
                Visit(Key(x, y), f);
    }

private:
    // Cells half a unit wide, set off from round numbers, where program coordinates gather.
    static constexpr double kCell = 0.5;
    static constexpr double kOffset = 0.3719;
    static constexpr std::uint64_t kUnknownCell = ~std::uint64_t{0};

    static std::pair<double, double> Middle(const Point &start, const Point &end)
    {
        return {(start.x + end.x) / 2, (start.y + end.y) / 2};
    }
    static std::int64_t Index(double v)
    {
        return static_cast<std::int64_t>(std::floor((v + kOffset) / kCell));
    }
    static std::uint64_t Key(std::int64_t x, std::int64_t y)
    {
        return (static_cast<std::uint64_t>(x) << 32) ^ static_cast<std::uint32_t>(y);
    }
    // Unknown, or too far out for a cell's index: such moves share one cell of their own.
    static bool OffTheGrid(double v) { return !(std::fabs(v) <= 1e12); }
    static std::uint64_t CellOf(std::pair<double, double> middle)
    {
        const auto [x, y] = middle;
        if (OffTheGrid(x) || OffTheGrid(y))
            return kUnknownCell;
        return Key(Index(x), Index(y));
    }
    template <typename F> void Visit(std::uint64_t key, F f) const
    {
        auto it = std::lower_bound(m_cells.begin(), m_cells.end(),
                                   std::pair<std::uint64_t, std::uint32_t>(key, 0));
        for (; it != m_cells.end() && it->first == key; ++it)
            f(it->second);
    }

    std::vector<std::pair<std::uint64_t, std::uint32_t>> m_cells;
};

// The result run: each of its cuts matched with one of the source, each rapid held against
// the lowest heights of the source's rapids.
class ResultRun : public MoveSink {
public:
    ResultRun(SourceRun &source, std::size_t sourceLines, const CheckSettings &settings,
              FindingList &findings)
        : m_source(source), m_moves(source.moves), m_settings(settings), m_findings(findings)
    {
        // The moves come in line order: those of line k are [m_first[k], m_first[k + 1]).
        m_first.assign(sourceLines + 1, 0);
        std::size_t c = 0;
        for (std::size_t line = 0; line <= sourceLines; ++line) {
            while (c < m_moves.size() && m_moves[c].line < line)
                ++c;
            m_first[line] = static_cast<std::uint32_t>(c);
        }
    }

    void SetSourceLine(std::uint32_t line)
    {
        m_sourceLine = line < m_first.size() - 1 ? line : kNoLine;
    }

    void OnMove(const Move &move) override
    {
        if (move.kind == Motion::Rapid) {
            CheckRapid(move);
            return;
        }
        if (move.xyTravel && !HeightKnown(move) && SourceLineCutsAtKnownHeight()) {
            m_findings.Add(Severity::Error, FindingKind::UnknownPosition, move.line, m_sourceLine,
                           [&] { return messages::UnknownHeightInResult(move.line); });
            return;
        }
        if (AtHomeHeight(move))
            return;
        const bool cut = IsCut(move);
        if (cut && move.badArc)
            ReportBadArc(move);
        if (!KnownInXY(move)) {
            if (cut)
                m_findings.Add(
                    Severity::Error, FindingKind::UnknownPosition, move.line, m_sourceLine, [&] {
                        return messages::UnknownPositionInResult(move.line, SourceLineHasMoves());
                    });
            return;
        }
        Match(move, cut);
    }

    void ReportLostCuts()
    {
        for (SourceMove &s : m_moves) {
            if (!s.cut || s.matched || s.reported)
                continue;
            m_findings.Add(Severity::Error, FindingKind::LostCut, kNoLine, s.line, [&] {
                Move original = m_source.MoveOf(s);
                Mirror(original, m_settings.mirrorAxis);
                return messages::LostCut(original, m_settings.wholeProgram);
            });
        }
    }

private:
    template <typename M> static bool HeightKnown(const M &move)
    {
        return IsWorkPosition(move.start.z) && IsWorkPosition(move.end.z);
    }

    // True when the source line the result's line was made from moves from and to known
    // places (the source keeps only such moves).
    bool SourceLineHasMoves() const
    {
        return m_sourceLine != kNoLine && m_first[m_sourceLine] < m_first[m_sourceLine + 1];
    }

    // True when the source line the result's line was made from cuts at a known height.
    bool SourceLineCutsAtKnownHeight() const
    {
        if (m_sourceLine == kNoLine)
            return false;
        for (std::uint32_t i = m_first[m_sourceLine]; i < m_first[m_sourceLine + 1]; ++i) {
            if (m_moves[i].cut && HeightKnown(m_moves[i]))
                return true;
        }
        return false;
    }

    struct Candidate {
        std::uint32_t index = kNoLine;
        Orientation orientation = Orientation::None;
        unsigned differences = 0;
    };

    // Looks at one source move; true when it is a perfect match (and then the search ends).
    // The conditions count where either move is a cut.
    bool Consider(const Move &r, bool cut, std::uint32_t index, Candidate &best)
    {
        const SourceMove &s = m_moves[index];
        if (s.matched)
            return false;
        const Orientation o = CompareGeometry(r, s);
        if (o == Orientation::None)
            return false;
        const unsigned differences =
            cut || s.cut ? CompareConditions(r.conditions, m_source.conditions[s.conditions], o)
                         : 0;
        if (best.index == kNoLine || differences == 0)
            best = {index, o, differences};
        return differences == 0;
    }

    void Match(const Move &r, bool cut)
    {
        Candidate best;
        bool perfect = false;
        if (m_sourceLine != kNoLine) {
            for (std::uint32_t i = m_first[m_sourceLine]; i < m_first[m_sourceLine + 1] && !perfect;
                 ++i)
                perfect = Consider(r, cut, i, best);
        }
        if (!perfect) {
            if (!m_grid)
                m_grid.emplace(m_moves);
            m_grid->ForNear(r, [&](std::uint32_t i) {
                if (!perfect)
                    perfect = Consider(r, cut, i, best);
            });
        }
        if (best.index == kNoLine) {
            if (cut)
                m_findings.Add(Severity::Error, FindingKind::ExtraCut, r.line, m_sourceLine, [&] {
                    return messages::ExtraCut(r.line, r, m_settings.wholeProgram);
                });
            return;
        }
        SourceMove &s = m_moves[best.index];
        s.matched = true;
        if (best.differences != 0)
            ReportDifferences(r, m_source.MoveOf(s), best);
    }

    void ReportDifferences(const Move &r, const Move &s, const Candidate &c)
    {
        const CutConditions &rc = r.conditions;
        const CutConditions &sc = s.conditions;
        auto add = [&](FindingKind kind, auto compose) {
            m_findings.Add(Severity::Error, kind, r.line, s.line, compose);
        };
        for (const ConditionCheck &check : kConditionChecks) {
            if (c.differences & check.bit)
                add(check.kind,
                    [&] { return messages::ConditionDiffers(r.line, check.condition, sc, rc); });
        }
        if (c.differences & kCompensationBit) {
            add(FindingKind::Compensation, [&] {
                return messages::Compensation(r.line, ExpectedSide(sc, c.orientation),
                                              ActiveSide(rc), sc.radiusOffset, rc.radiusOffset);
            });
        }
    }

    void ReportBadArc(const Move &move)
    {
        double difference = kUnknown;
        if (IsKnown(move.centreA) && IsKnown(move.centreB)) {
            const bool xy = move.plane == Plane::XY;
            const double a0 = xy                        ? move.start.x
                              : move.plane == Plane::ZX ? move.start.z
                                                        : move.start.y;
            const double b0 = xy                        ? move.start.y
                              : move.plane == Plane::ZX ? move.start.x
                                                        : move.start.z;
            const double a1 = xy ? move.end.x : move.plane == Plane::ZX ? move.end.z : move.end.y;
            const double b1 = xy ? move.end.y : move.plane == Plane::ZX ? move.end.x : move.end.z;
            difference = std::fabs(std::hypot(a0 - move.centreA, b0 - move.centreB) -
                                   std::hypot(a1 - move.centreA, b1 - move.centreB));
        }
        m_findings.Add(Severity::Error, FindingKind::BadArc, move.line, m_sourceLine, [&] {
            return messages::BadArc(move.line, difference, m_settings.wholeProgram);
        });
    }

    void CheckRapid(const Move &move)
    {
        if (move.machineReference || !IsKnown(move.end.z))
            return;
        const double low = IsKnown(move.start.z) ? std::min(move.start.z, move.end.z) : move.end.z;
        if (move.xyTravel && std::isfinite(m_source.lowestRapidTraverse) &&
            low < m_source.lowestRapidTraverse - kHeightTolerance) {
            m_findings.Add(
                Severity::Warning, FindingKind::RapidTraverseLow, move.line, m_sourceLine, [&] {
                    return messages::RapidTraverseLow(move.line, low, m_source.lowestRapidTraverse);
                });
            return;
        }
        if (IsKnown(move.start.z) && std::isfinite(m_source.lowestRapidEnd) &&
            move.end.z < move.start.z - kHeightTolerance &&
            move.end.z < m_source.lowestRapidEnd - kHeightTolerance)
            m_findings.Add(
                Severity::Warning, FindingKind::RapidPlunge, move.line, m_sourceLine, [&] {
                    return messages::RapidPlunge(move.line, move.end.z, m_source.lowestRapidEnd);
                });
    }

    SourceRun &m_source;
    std::vector<SourceMove> &m_moves;
    const CheckSettings &m_settings;
    FindingList &m_findings;
    std::vector<std::uint32_t> m_first;
    std::optional<CutGrid> m_grid;
    std::uint32_t m_sourceLine = kNoLine;
};

template <typename ResultLines>
CheckReport CheckAgainst(SourceToolpath::Data &source, const ResultLines &result,
                         std::size_t resultSize);

} // namespace

// The source's side: the settings, the findings about the source itself, and its moves.
struct SourceToolpath::Data {
    Data(std::size_t sourceLines, const CheckSettings &s)
        : settings(s), lines(sourceLines), run(s.mirrorAxis, findings, sourceLines)
    {
    }
    CheckSettings settings;
    std::size_t lines;
    FindingList findings;
    SourceRun run;
};

namespace {

template <typename ResultLines>
CheckReport CheckAgainst(SourceToolpath::Data &source, const ResultLines &result,
                         std::size_t resultSize)
{
    ResultRun resultRun(source.run, source.lines, source.settings, source.findings);
    Machine machine;
    for (std::size_t i = 0; i < resultSize; ++i) {
        const auto [line, sourceLine] = result(i);
        resultRun.SetSourceLine(sourceLine);
        machine.RunLine(line, static_cast<std::uint32_t>(i), resultRun);
    }
    resultRun.ReportLostCuts();
    return source.findings.Finish();
}

} // namespace

const Finding *CheckReport::FirstError() const
{
    for (const Finding &f : findings) {
        if (f.severity == Severity::Error)
            return &f;
    }
    return nullptr;
}

std::string_view FindingKindName(FindingKind kind)
{
    switch (kind) {
    case FindingKind::LostCut:
        return "lost-cut";
    case FindingKind::ExtraCut:
        return "extra-cut";
    case FindingKind::BadArc:
        return "bad-arc";
    case FindingKind::UnknownPosition:
        return "unknown-position";
    case FindingKind::Spindle:
        return "spindle";
    case FindingKind::Tool:
        return "tool";
    case FindingKind::WorkOffset:
        return "work-offset";
    case FindingKind::Feed:
        return "feed";
    case FindingKind::Compensation:
        return "compensation";
    case FindingKind::RapidPlunge:
        return "rapid-plunge";
    case FindingKind::RapidTraverseLow:
        return "rapid-traverse-low";
    case FindingKind::Unsupported:
        return "unsupported";
    }
    return "unknown";
}

SourceToolpath::SourceToolpath(std::span<const std::string_view> source,
                               const CheckSettings &settings)
    : m_data(std::make_unique<Data>(source.size(), settings))
{
    Machine machine;
    for (std::size_t i = 0; i < source.size(); ++i)
        machine.RunLine(source[i], static_cast<std::uint32_t>(i), m_data->run);
}

SourceToolpath::~SourceToolpath() = default;
SourceToolpath::SourceToolpath(SourceToolpath &&) noexcept = default;
SourceToolpath &SourceToolpath::operator=(SourceToolpath &&) noexcept = default;

CheckReport CheckResult(SourceToolpath source, const LineList &result)
{
    auto line = [&result](std::size_t i) {
        return std::pair<std::string_view, std::uint32_t>(result[i], result.SourceOf(i));
    };
    return CheckAgainst(*source.m_data, line, result.size());
}

CheckReport CheckResult(SourceToolpath source, std::span<const std::string_view> result)
{
    auto line = [&result](std::size_t i) {
        return std::pair<std::string_view, std::uint32_t>(result[i], kNoLine);
    };
    return CheckAgainst(*source.m_data, line, result.size());
}

CheckReport CheckRewrite(std::span<const std::string_view> source, const LineList &result,
                         const CheckSettings &settings)
{
    return CheckResult(SourceToolpath(source, settings), result);
}

CheckReport CheckRewrite(std::span<const std::string_view> source,
                         std::span<const std::string_view> result, const CheckSettings &settings)
{
    return CheckResult(SourceToolpath(source, settings), result);
}

} // namespace korvane
