#pragma once

#include <QPointF>
#include <QRectF>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "model/large_buffer.h"
#include "model/line_list.h"

namespace korvane {

/// How the segment that ends at a vertex is drawn.
enum class PlotSegment : std::uint8_t {
    Jump,  // no segment: the pen is lifted (the start, or a position that is not known)
    Rapid, // a rapid
    Feed,  // a straight feed move or a piece of an arc
};

/// One vertex of a program drawn from above. Floats hold any position a picture can tell
/// apart; z is NaN where the height is not known and +infinity at the machine's top.
struct PlotVertex {
    float x = 0;
    float y = 0;
    float z = 0;
    std::uint32_t line = 0; // 0-based line of the move that ends here
    PlotSegment segment = PlotSegment::Jump;
};

/// The extents of what a path draws: x and y of every vertex, and the range of heights at
/// which it feeds.
struct PlotBounds {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    double minZ = 0, maxZ = 0;
    bool empty = true;
    bool noFeedHeight = true; // no feed move at a known height: minZ and maxZ mean nothing

    void Add(double x, double y);
    void AddFeedHeight(double z);
    void Unite(const PlotBounds &other);
};

/// A program's moves as polylines seen from above, arcs as chains of short chords.
class PlotPath {
public:
    PlotPath() = default;
    /// Runs the lines as a machine would (RunProgram) and keeps what a picture needs.
    static PlotPath OfLines(std::span<const std::string_view> lines);
    static PlotPath OfLines(const LineList &lines);

    const std::vector<PlotVertex> &vertices() const { return m_vertices; }
    const PlotBounds &bounds() const { return m_bounds; }
    bool empty() const { return m_vertices.empty(); }

    /// Where the move of a line ends, or nullopt when the line makes no move at a known place.
    std::optional<QPointF> PointOfLine(std::uint32_t line) const;
    /// The first and the last known position.
    std::optional<QPointF> Start() const;
    std::optional<QPointF> End() const;

    // For the builder.
    void Append(const PlotVertex &vertex);
    void Reserve(std::size_t vertices) { ReserveLarge(m_vertices, vertices); }

private:
    std::vector<PlotVertex> m_vertices;
    PlotBounds m_bounds;
};

/// The mapping of program coordinates to pixels: x to the right, y up, one scale for both.
struct PlotTransform {
    double scale = 1;   // pixels per program unit
    double originX = 0; // where the program's X0 Y0 falls in pixels
    double originY = 0;

    QPointF ToScreen(double x, double y) const
    {
        return {originX + x * scale, originY - y * scale};
    }
    QPointF ToProgram(QPointF p) const
    {
        return {(p.x() - originX) / scale, (originY - p.y()) / scale};
    }
    /// The whole of `bounds` inside `rect`, `margin` pixels from its edges, centred.
    static PlotTransform Fit(const PlotBounds &bounds, const QRectF &rect, double margin);
    /// Zoomed by `factor` about a point on the screen, which stays where it is.
    PlotTransform ZoomedAbout(QPointF screenPoint, double factor) const;
    PlotTransform Panned(QPointF delta) const
    {
        return {scale, originX + delta.x(), originY + delta.y()};
    }
};

/// An arrow along a move: where it stands on the screen and the direction of travel, in
/// degrees counter-clockwise from the screen's x axis as a reader sees it (y up).
struct PlotArrow {
    QPointF at;
    double degrees = 0;
    PlotSegment segment = PlotSegment::Feed;
};

/// The arrows along the path's segments that fall inside `viewport`: one every `spacing`
/// pixels of the path's length on the screen, pointing the way the tool goes.
std::vector<PlotArrow> ArrowsAlong(const PlotPath &path, const PlotTransform &transform,
                                   const QRectF &viewport, double spacing);

/// The line of the segment nearest to a point on the screen, within `radius` pixels.
std::optional<std::uint32_t> LineAt(const PlotPath &path, const PlotTransform &transform,
                                    QPointF point, double radius);

} // namespace korvane
