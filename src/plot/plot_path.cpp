#include "plot/plot_path.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "toolpath/machine.h"

namespace korvane {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kArcStep = kPi / 36; // arcs are drawn as chords of at most 5 degrees

bool KnownXY(const Point &p)
{
    return IsWorkPosition(p.x) && IsWorkPosition(p.y);
}

double &Axis(Point &p, int axis)
{
    return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

double AxisOf(const Point &p, int axis)
{
    return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

// The plane's two axes and the third, by index (0 X, 1 Y, 2 Z).
void PlaneAxes(Plane plane, int &a, int &b, int &c)
{
    switch (plane) {
    case Plane::ZX:
        a = 2, b = 0, c = 1;
        break;
    case Plane::YZ:
        a = 1, b = 2, c = 0;
        break;
    default:
        a = 0, b = 1, c = 2;
        break;
    }
}

class PathBuilder : public MoveSink {
public:
    explicit PathBuilder(PlotPath &path) : m_path(path) {}

    void OnMove(const Move &move) override
    {
        if (!KnownXY(move.end)) {
            m_atLast = false; // where the tool is now is not known: the next move jumps
            return;
        }
        if (!KnownXY(move.start) || !m_atLast || !SameSpot(move.start)) {
            Add(move.start.x, move.start.y, move.start.z, move.line, PlotSegment::Jump, move);
            if (!KnownXY(move.start)) {
                Add(move.end.x, move.end.y, move.end.z, move.line, PlotSegment::Jump, move);
                return;
            }
        }
        const PlotSegment segment =
            move.kind == Motion::Rapid ? PlotSegment::Rapid : PlotSegment::Feed;
        if (IsArc(move.kind) && IsWorkPosition(move.centreA) && IsWorkPosition(move.centreB))
            AddArc(move);
        else
            Add(move.end.x, move.end.y, move.end.z, move.line, segment, move);
    }

private:
    bool SameSpot(const Point &p) const
    {
        const PlotVertex &last = m_path.vertices().back();
        return static_cast<float>(p.x) == last.x && static_cast<float>(p.y) == last.y;
    }

    void Add(double x, double y, double z, std::uint32_t line, PlotSegment segment,
             const Move &move)
    {
        if (!IsWorkPosition(x) || !IsWorkPosition(y))
            return;
        PlotVertex v;
        v.x = static_cast<float>(x);
        v.y = static_cast<float>(y);
        v.z = static_cast<float>(z);
        v.line = line;
        v.segment = m_path.empty() ? PlotSegment::Jump : segment;
        m_path.Append(v);
        m_atLast = true;
        static_cast<void>(move);
    }

    void AddArc(const Move &move)
    {
        int a = 0, b = 1, c = 2;
        PlaneAxes(move.plane, a, b, c);
        const double a0 = AxisOf(move.start, a) - move.centreA;
        const double b0 = AxisOf(move.start, b) - move.centreB;
        const double a1 = AxisOf(move.end, a) - move.centreA;
        const double b1 = AxisOf(move.end, b) - move.centreB;
        const double angle0 = std::atan2(b0, a0);
        double sweep = std::atan2(b1, a1) - angle0;
        const bool ccw = move.kind == Motion::CounterClockwise;
        if (ccw) {
            while (sweep <= 0)
                sweep += 2 * kPi;
        } else {
            while (sweep >= 0)
                sweep -= 2 * kPi;
        }
        if (std::fabs(std::hypot(a1 - a0, b1 - b0)) < kSamePointTolerance &&
            std::fabs(sweep) < 1e-9)
            sweep = ccw ? 2 * kPi : -2 * kPi;
        const double r0 = std::hypot(a0, b0), r1 = std::hypot(a1, b1);
        const int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / kArcStep)));
        for (int i = 1; i <= steps; ++i) {
            const double t = static_cast<double>(i) / steps;
            Point p = move.end;
            if (i < steps) {
                const double angle = angle0 + sweep * t;
                const double r = r0 + (r1 - r0) * t;
                Axis(p, a) = move.centreA + r * std::cos(angle);
                Axis(p, b) = move.centreB + r * std::sin(angle);
                const double c0 = AxisOf(move.start, c), c1 = AxisOf(move.end, c);
                Axis(p, c) = c0 + (c1 - c0) * t;
            }
            Add(p.x, p.y, p.z, move.line, PlotSegment::Feed, move);
        }
    }

    PlotPath &m_path;
    bool m_atLast = false;
};

template <typename Lines> PlotPath Build(const Lines &lines, std::size_t count)
{
    PlotPath path;
    path.Reserve(count + count / 8);
    PathBuilder builder(path);
    Machine machine;
    for (std::size_t i = 0; i < count; ++i)
        machine.RunLine(lines[i], static_cast<std::uint32_t>(i), builder);
    return path;
}

QPointF PointOf(const PlotVertex &v)
{
    return {v.x, v.y};
}

double DistanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF ab = b - a;
    const double length2 = QPointF::dotProduct(ab, ab);
    double t = length2 > 0 ? QPointF::dotProduct(p - a, ab) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF nearest = a + t * ab;
    return std::hypot(p.x() - nearest.x(), p.y() - nearest.y());
}

} // namespace

void PlotBounds::Add(double x, double y)
{
    if (empty) {
        minX = maxX = x;
        minY = maxY = y;
        empty = false;
        return;
    }
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
}

void PlotBounds::AddFeedHeight(double z)
{
    if (!IsWorkPosition(z))
        return;
    if (noFeedHeight) {
        minZ = maxZ = z;
        noFeedHeight = false;
        return;
    }
    minZ = std::min(minZ, z);
    maxZ = std::max(maxZ, z);
}

void PlotBounds::Unite(const PlotBounds &other)
{
    if (!other.empty) {
        Add(other.minX, other.minY);
        Add(other.maxX, other.maxY);
    }
    if (!other.noFeedHeight) {
        AddFeedHeight(other.minZ);
        AddFeedHeight(other.maxZ);
    }
}

PlotPath PlotPath::OfLines(std::span<const std::string_view> lines)
{
    return Build(lines, lines.size());
}

PlotPath PlotPath::OfLines(const LineList &lines)
{
    return Build(lines, lines.size());
}

void PlotPath::Append(const PlotVertex &vertex)
{
    // Heights are taken from moves across, not from plunges and retracts.
    if (vertex.segment == PlotSegment::Feed && !m_vertices.empty() &&
        (vertex.x != m_vertices.back().x || vertex.y != m_vertices.back().y))
        m_bounds.AddFeedHeight(vertex.z);
    m_vertices.push_back(vertex);
    m_bounds.Add(vertex.x, vertex.y);
}

std::optional<QPointF> PlotPath::PointOfLine(std::uint32_t line) const
{
    // Vertices come in line order: the last one of the line is where its move ends.
    auto it = std::upper_bound(m_vertices.begin(), m_vertices.end(), line,
                               [](std::uint32_t l, const PlotVertex &v) { return l < v.line; });
    if (it == m_vertices.begin() || std::prev(it)->line != line)
        return std::nullopt;
    return PointOf(*std::prev(it));
}

std::optional<QPointF> PlotPath::Start() const
{
    if (m_vertices.empty())
        return std::nullopt;
    return PointOf(m_vertices.front());
}

std::optional<QPointF> PlotPath::End() const
{
    if (m_vertices.empty())
        return std::nullopt;
    return PointOf(m_vertices.back());
}

PlotTransform PlotTransform::Fit(const PlotBounds &bounds, const QRectF &rect, double margin)
{
    const double width = std::max(1.0, rect.width() - 2 * margin);
    const double height = std::max(1.0, rect.height() - 2 * margin);
    if (bounds.empty)
        return {1, rect.center().x(), rect.center().y()};
    const double spanX = bounds.maxX - bounds.minX, spanY = bounds.maxY - bounds.minY;
    // The axis that fills its side first sets the scale; a single point has none.
    double scale = 1;
    if (spanX > 0 && spanY > 0)
        scale = std::min(width / spanX, height / spanY);
    else if (spanX > 0)
        scale = width / spanX;
    else if (spanY > 0)
        scale = height / spanY;
    const double midX = (bounds.minX + bounds.maxX) / 2, midY = (bounds.minY + bounds.maxY) / 2;
    return {scale, rect.center().x() - midX * scale, rect.center().y() + midY * scale};
}

PlotTransform PlotTransform::ZoomedAbout(QPointF screenPoint, double factor) const
{
    const QPointF program = ToProgram(screenPoint);
    const double newScale = scale * factor;
    return {newScale, screenPoint.x() - program.x() * newScale,
            screenPoint.y() + program.y() * newScale};
}

std::vector<PlotArrow> ArrowsAlong(const PlotPath &path, const PlotTransform &transform,
                                   const QRectF &viewport, double spacing)
{
    std::vector<PlotArrow> arrows;
    const std::vector<PlotVertex> &v = path.vertices();
    double until = spacing / 2; // the first arrow half a spacing from the start
    for (std::size_t i = 1; i < v.size(); ++i) {
        if (v[i].segment == PlotSegment::Jump)
            continue;
        const QPointF a = transform.ToScreen(v[i - 1].x, v[i - 1].y);
        const QPointF b = transform.ToScreen(v[i].x, v[i].y);
        const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
        if (length <= 0)
            continue;
        const double degrees =
            std::atan2(double{v[i].y} - v[i - 1].y, double{v[i].x} - v[i - 1].x) * 180 / kPi;
        while (until <= length) {
            const QPointF at = a + (b - a) * (until / length);
            if (viewport.contains(at))
                arrows.push_back({at, degrees, v[i].segment});
            until += spacing;
        }
        until -= length;
    }
    return arrows;
}

std::optional<std::uint32_t> LineAt(const PlotPath &path, const PlotTransform &transform,
                                    QPointF point, double radius)
{
    const std::vector<PlotVertex> &v = path.vertices();
    std::optional<std::uint32_t> best;
    double bestDistance = radius;
    // In program units, to pass over most segments without a division.
    const QPointF p = transform.ToProgram(point);
    const double reach = radius / transform.scale;
    for (std::size_t i = 1; i < v.size(); ++i) {
        if (v[i].segment == PlotSegment::Jump)
            continue;
        const double x0 = std::min(v[i - 1].x, v[i].x), x1 = std::max(v[i - 1].x, v[i].x);
        const double y0 = std::min(v[i - 1].y, v[i].y), y1 = std::max(v[i - 1].y, v[i].y);
        if (p.x() < x0 - reach || p.x() > x1 + reach || p.y() < y0 - reach || p.y() > y1 + reach)
            continue;
        const double d = DistanceToSegment(point, transform.ToScreen(v[i - 1].x, v[i - 1].y),
                                           transform.ToScreen(v[i].x, v[i].y));
        if (d <= bestDistance) {
            bestDistance = d;
            best = v[i].line;
        }
    }
    return best;
}

} // namespace korvane
