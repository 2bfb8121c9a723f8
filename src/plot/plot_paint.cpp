#include "plot/plot_paint.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <cmath>

#include "model/UnitCall.h"
#include "toolpath/check.h"

namespace korvane {
namespace {

// Feed moves are drawn in this many shades, one batch of lines each.
constexpr int kShades = 24;
// Below this many segments on the screen, lines are antialiased and drawn wider; above it
// they are drawn one pixel wide, the raster engine's fastest line.
constexpr std::size_t kSmoothLimit = 150'000;
// A run of moves within this many pixels of where the last drawn line ended is drawn as one
// line: the picture cannot show them apart.
constexpr double kMergePixels = 1.5;

struct Stop {
    double at;
    QColor colour;
};
constexpr std::array<Stop, 4> kRamp = {{{0.0, QColor(25, 55, 150)},
                                        {0.4, QColor(20, 140, 150)},
                                        {0.75, QColor(80, 170, 80)},
                                        {1.0, QColor(225, 160, 40)}}};

QColor RampColour(double t)
{
    t = std::clamp(t, 0.0, 1.0);
    for (std::size_t i = 1; i < kRamp.size(); ++i) {
        if (t <= kRamp[i].at) {
            const double u = (t - kRamp[i - 1].at) / (kRamp[i].at - kRamp[i - 1].at);
            const QColor &a = kRamp[i - 1].colour, &b = kRamp[i].colour;
            return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * u),
                                    static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * u),
                                    static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * u));
        }
    }
    return kRamp.back().colour;
}

int ShadeOf(float z, const PlotBounds &bounds)
{
    if (bounds.noFeedHeight || !std::isfinite(z) || bounds.maxZ <= bounds.minZ)
        return kShades - 1;
    const double t = (z - bounds.minZ) / (bounds.maxZ - bounds.minZ);
    return std::clamp(static_cast<int>(t * kShades), 0, kShades - 1);
}

bool Outside(QPointF a, QPointF b, const QRectF &r)
{
    return (a.x() < r.left() && b.x() < r.left()) || (a.x() > r.right() && b.x() > r.right()) ||
           (a.y() < r.top() && b.y() < r.top()) || (a.y() > r.bottom() && b.y() > r.bottom());
}

// The segments of a path as the screen shows them, sorted into batches by how they are drawn.
struct Batches {
    std::array<std::vector<QLineF>, kShades> feed;
    std::vector<QLineF> rapid;
    std::size_t count = 0;
};

void Collect(const PlotPath &path, const PlotTransform &t, const QRectF &viewport,
             const PlotBounds &heights, bool rapids, Batches &out)
{
    const std::vector<PlotVertex> &v = path.vertices();
    const QRectF clip = viewport.adjusted(-2, -2, 2, 2);
    QPointF drawn; // where the last drawn segment ended
    PlotSegment drawnKind = PlotSegment::Jump;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const QPointF p = t.ToScreen(v[i].x, v[i].y);
        const PlotSegment kind = v[i].segment;
        if (kind == PlotSegment::Jump || (kind == PlotSegment::Rapid && !rapids)) {
            drawn = p;
            drawnKind = PlotSegment::Jump;
            continue;
        }
        // A run of moves within a pixel is drawn as one line to where it leaves the pixel.
        const bool last = i + 1 == v.size() || v[i + 1].segment != kind;
        if (kind == drawnKind && !last && std::fabs(p.x() - drawn.x()) < kMergePixels &&
            std::fabs(p.y() - drawn.y()) < kMergePixels)
            continue;
        if (!Outside(drawn, p, clip)) {
            if (kind == PlotSegment::Rapid)
                out.rapid.emplace_back(drawn, p);
            else
                out.feed[static_cast<std::size_t>(ShadeOf(v[i].z, heights))].emplace_back(drawn, p);
            ++out.count;
        }
        drawn = p;
        drawnKind = kind;
    }
}

void DrawArrow(QPainter &painter, const PlotArrow &arrow)
{
    // A small head pointing the way of travel; screen y runs down, so the angle is negated.
    QPolygonF head;
    head << QPointF(5, 0) << QPointF(-4, 3.5) << QPointF(-2, 0) << QPointF(-4, -3.5);
    painter.save();
    painter.translate(arrow.at);
    painter.rotate(-arrow.degrees);
    painter.drawPolygon(head);
    painter.restore();
}

void DrawScaleBar(QPainter &painter, const QRectF &viewport, double scale)
{
    const double length = ScaleBarLength(scale);
    const double pixels = length * scale;
    const QPointF left(viewport.left() + 16, viewport.bottom() - 16);
    const QPointF right = left + QPointF(pixels, 0);
    painter.setPen(QPen(QColor(60, 60, 60), 1.5));
    painter.drawLine(left, right);
    painter.drawLine(left, left - QPointF(0, 5));
    painter.drawLine(right, right - QPointF(0, 5));
    std::string label = FormatCoord(length);
    if (!label.empty() && label.back() == '.')
        label.pop_back();
    painter.drawText(QRectF(left.x(), left.y() - 22, pixels, 16), Qt::AlignCenter,
                     QString::fromStdString(label));
}

enum class Key { Feed, Rapid, Arrow, Start, End, Beneath, Mark };

// A sample of what a key stands for, drawn between a and b.
void DrawKey(QPainter &painter, Key key, QPointF a, QPointF b)
{
    const QPointF middle = (a + b) / 2;
    painter.setBrush(Qt::NoBrush);
    switch (key) {
    case Key::Feed: {
        QLinearGradient ramp(a, b);
        for (const Stop &s : kRamp)
            ramp.setColorAt(s.at, s.colour);
        painter.setPen(QPen(QBrush(ramp), 4));
        painter.drawLine(a, b);
        break;
    }
    case Key::Rapid:
        painter.setPen(QPen(plot_colours::kRapid, 1.5, Qt::DashLine));
        painter.drawLine(a, b);
        break;
    case Key::Arrow:
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(40, 40, 40));
        DrawArrow(painter, {middle, 0, PlotSegment::Feed});
        break;
    case Key::Start:
        painter.setPen(QPen(plot_colours::kStart, 3));
        painter.drawEllipse(middle, 6, 6);
        break;
    case Key::End:
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(plot_colours::kEnd);
        painter.drawRect(QRectF(middle - QPointF(4, 4), QSizeF(8, 8)));
        break;
    case Key::Beneath:
        painter.setPen(QPen(plot_colours::kBeneath, 2));
        painter.drawLine(a, b);
        break;
    case Key::Mark:
        painter.setPen(QPen(plot_colours::kMark, 2));
        painter.drawEllipse(middle, 7, 7);
        break;
    }
}

void DrawLegend(QPainter &painter, const QRectF &viewport, const PlotScene &scene,
                const PlotBounds &heights, const PlotLayers &layers)
{
    auto zText = [](double z) { return QString::fromStdString(FormatCoord(z)); };
    std::vector<std::pair<Key, QString>> keys = {
        {Key::Feed, heights.noFeedHeight ? QStringLiteral("切削送り")
                                         : QStringLiteral("切削送り（色は高さ Z%1 〜 Z%2）")
                                               .arg(zText(heights.minZ), zText(heights.maxZ))},
        {Key::Rapid, QStringLiteral("早送り")},
        {Key::Arrow, QStringLiteral("進む向き")},
        {Key::Start, QStringLiteral("開始")},
        {Key::End, QStringLiteral("終了")},
    };
    if (layers.beneath && !scene.beneath.empty())
        keys.emplace_back(Key::Beneath, QStringLiteral("書き換え前のプログラム"));
    if (!scene.marks.empty())
        keys.emplace_back(Key::Mark, QStringLiteral("確認の指摘（%1 件）").arg(scene.marks.size()));

    const QFontMetricsF metrics(painter.font());
    const double row = metrics.height() + 6;
    double width = metrics.horizontalAdvance(layers.title);
    for (const auto &key : keys)
        width = std::max(width, metrics.horizontalAdvance(key.second) + 44);
    const double rows = static_cast<double>(keys.size()) + (layers.title.isEmpty() ? 0 : 1);
    const QRectF box(viewport.left() + 12, viewport.top() + 12, width + 20, row * rows + 12);
    painter.setPen(QPen(QColor(190, 190, 190), 1));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRect(box);
    double y = box.top() + 6;
    painter.setPen(Qt::black);
    if (!layers.title.isEmpty()) {
        painter.drawText(QRectF(box.left() + 10, y, width, row), Qt::AlignVCenter, layers.title);
        y += row;
    }
    for (const auto &[key, label] : keys) {
        const QPointF a(box.left() + 10, y + row / 2), b = a + QPointF(26, 0);
        DrawKey(painter, key, a, b);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(b.x() + 8, y, width, row), Qt::AlignVCenter, label);
        y += row;
    }
}

} // namespace

PlotBounds PlotScene::Bounds() const
{
    PlotBounds b = program.bounds();
    b.Unite(beneath.bounds());
    for (const PlotMark &m : marks)
        b.Add(m.at.x(), m.at.y());
    return b;
}

std::vector<PlotMark> MarksOf(const CheckReport &report, const PlotPath &result,
                              const PlotPath &beneath)
{
    std::vector<PlotMark> marks;
    for (const Finding &f : report.findings) {
        std::optional<QPointF> at;
        if (f.resultLine)
            at = result.PointOfLine(*f.resultLine);
        if (!at && f.sourceLine)
            at = beneath.PointOfLine(*f.sourceLine);
        if (at)
            marks.push_back(
                {*at, f.severity == Severity::Error, QString::fromStdString(f.message)});
    }
    return marks;
}

QColor DepthColour(double z, const PlotBounds &bounds)
{
    if (bounds.noFeedHeight || !std::isfinite(z) || bounds.maxZ <= bounds.minZ)
        return RampColour(1.0);
    return RampColour((z - bounds.minZ) / (bounds.maxZ - bounds.minZ));
}

double ScaleBarLength(double pixelsPerUnit)
{
    if (!(pixelsPerUnit > 0) || !std::isfinite(pixelsPerUnit))
        return 1;
    const double units = 100 / pixelsPerUnit; // about a hundred pixels
    const double decade = std::pow(10.0, std::floor(std::log10(units)));
    for (double step : {1.0, 2.0, 5.0, 10.0}) {
        if (step * decade * pixelsPerUnit >= 60)
            return step * decade;
    }
    return 10 * decade;
}

void PaintScene(QPainter &painter, const QRectF &viewport, const PlotScene &scene,
                const PlotTransform &transform, const PlotLayers &layers)
{
    painter.save();
    painter.setClipRect(viewport);
    painter.fillRect(viewport, plot_colours::kBackground);
    const PlotBounds heights = scene.program.bounds();

    if (layers.beneath && !scene.beneath.empty()) {
        Batches under;
        Collect(scene.beneath, transform, viewport, heights, layers.rapids, under);
        painter.setRenderHint(QPainter::Antialiasing, under.count < kSmoothLimit);
        painter.setPen(QPen(plot_colours::kBeneath, under.count < kSmoothLimit ? 1.5 : 0));
        for (const auto &lines : under.feed)
            painter.drawLines(lines.data(), static_cast<int>(lines.size()));
        painter.setPen(QPen(plot_colours::kBeneath, 1, Qt::DashLine));
        painter.drawLines(under.rapid.data(), static_cast<int>(under.rapid.size()));
    }

    Batches batches;
    Collect(scene.program, transform, viewport, heights, layers.rapids, batches);
    const bool smooth = batches.count < kSmoothLimit;
    painter.setRenderHint(QPainter::Antialiasing, smooth);
    if (layers.highlightLine) {
        painter.setPen(QPen(plot_colours::kHighlight, 6, Qt::SolidLine, Qt::RoundCap));
        const std::vector<PlotVertex> &v = scene.program.vertices();
        for (std::size_t i = 1; i < v.size(); ++i) {
            if (v[i].line == *layers.highlightLine && v[i].segment != PlotSegment::Jump)
                painter.drawLine(transform.ToScreen(v[i - 1].x, v[i - 1].y),
                                 transform.ToScreen(v[i].x, v[i].y));
        }
    }
    // Deeper cuts over shallower ones: where a pass is cut at several depths, the last
    // depth shows.
    for (int shade = kShades - 1; shade >= 0; --shade) {
        const auto &lines = batches.feed[static_cast<std::size_t>(shade)];
        if (lines.empty())
            continue;
        painter.setPen(QPen(RampColour((shade + 0.5) / kShades), smooth ? 1.6 : 0));
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    }
    QPen rapid(plot_colours::kRapid, 1.3, Qt::CustomDashLine);
    rapid.setDashPattern({5, 4});
    painter.setPen(rapid);
    painter.drawLines(batches.rapid.data(), static_cast<int>(batches.rapid.size()));

    painter.setRenderHint(QPainter::Antialiasing, true);
    if (layers.arrows && layers.beneath && !scene.beneath.empty()) {
        // The program before keeps faint arrows: the way it went beside the way it goes now.
        painter.setPen(Qt::NoPen);
        painter.setBrush(plot_colours::kBeneath);
        for (const PlotArrow &arrow :
             ArrowsAlong(scene.beneath, transform, viewport, kArrowSpacing * 1.5)) {
            if (arrow.segment == PlotSegment::Feed)
                DrawArrow(painter, arrow);
        }
    }
    if (layers.arrows) {
        painter.setPen(Qt::NoPen);
        // Where paths lie close together, one arrow in a cell of the spacing's size is enough.
        const double cell = kArrowSpacing / 2;
        const int columns = static_cast<int>(viewport.width() / cell) + 1;
        const int rows = static_cast<int>(viewport.height() / cell) + 1;
        std::vector<bool> taken(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
        for (const PlotArrow &arrow :
             ArrowsAlong(scene.program, transform, viewport, kArrowSpacing)) {
            if (arrow.segment == PlotSegment::Rapid && !layers.rapids)
                continue;
            const auto column = static_cast<std::size_t>((arrow.at.x() - viewport.left()) / cell);
            const auto row = static_cast<std::size_t>((arrow.at.y() - viewport.top()) / cell);
            const std::size_t index = row * static_cast<std::size_t>(columns) + column;
            if (index >= taken.size() || taken[index])
                continue;
            taken[index] = true;
            painter.setBrush(arrow.segment == PlotSegment::Rapid ? plot_colours::kRapid
                                                                 : QColor(40, 40, 40));
            DrawArrow(painter, arrow);
        }
    }
    // The start is a ring around the end's square, so that both show where they coincide.
    if (const auto start = scene.program.Start()) {
        painter.setPen(QPen(plot_colours::kStart, 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(transform.ToScreen(start->x(), start->y()), 8, 8);
    }
    if (const auto end = scene.program.End()) {
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(plot_colours::kEnd);
        const QPointF at = transform.ToScreen(end->x(), end->y());
        painter.drawRect(QRectF(at - QPointF(4, 4), QSizeF(8, 8)));
    }
    painter.setBrush(Qt::NoBrush);
    for (const PlotMark &mark : scene.marks) {
        painter.setPen(QPen(plot_colours::kMark, mark.error ? 2.5 : 1.5,
                            mark.error ? Qt::SolidLine : Qt::DashLine));
        painter.drawEllipse(transform.ToScreen(mark.at.x(), mark.at.y()), 11, 11);
    }
    if (layers.scaleBar)
        DrawScaleBar(painter, viewport, transform.scale);
    if (layers.legend)
        DrawLegend(painter, viewport, scene, heights, layers);
    painter.restore();
}

} // namespace korvane
