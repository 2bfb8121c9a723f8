#pragma once

#include <QColor>
#include <QRectF>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "plot/plot_path.h"

class QPainter;

namespace korvane {

struct CheckReport;

/// A finding of the check where it happens, in program coordinates.
struct PlotMark {
    QPointF at;
    bool error = true;
    QString message;
};

/// What a picture shows: a program, optionally another beneath it (the program before a
/// rewrite), and the check's findings.
struct PlotScene {
    PlotPath program;
    PlotPath beneath;
    std::vector<PlotMark> marks;

    /// The extents of everything drawn.
    PlotBounds Bounds() const;
};

/// The marks of a check's findings: at the result's line where a finding names one, else at
/// the source's line in `beneath`.
std::vector<PlotMark> MarksOf(const CheckReport &report, const PlotPath &result,
                              const PlotPath &beneath);

/// What is drawn besides the program itself.
struct PlotLayers {
    bool rapids = true;
    bool arrows = true;
    bool beneath = true;
    bool legend = false; // a key to the colours and marks, with `title` above it
    bool scaleBar = true;
    std::optional<std::uint32_t> highlightLine; // a line of the program drawn emphasised
    QString title;
};

/// The colours of the picture.
namespace plot_colours {
inline const QColor kBackground{255, 255, 255};
inline const QColor kRapid{214, 0, 170};     // loud magenta, dashed
inline const QColor kBeneath{200, 200, 200}; // the program before, faint
inline const QColor kStart{0, 150, 60};
inline const QColor kEnd{200, 30, 30};
inline const QColor kMark{230, 0, 0};
inline const QColor kHighlight{255, 140, 0};
} // namespace plot_colours

/// The colour of a feed move at height z: deep blue at the lowest height the program feeds
/// at, through teal and green, to amber at the highest.
QColor DepthColour(double z, const PlotBounds &bounds);

/// The pixel spacing of the arrows along moves.
inline constexpr double kArrowSpacing = 90;

/// Paints the scene into `viewport` through `transform`, from above. Moves shorter than a
/// pixel are merged with the next and moves outside the viewport are passed over, so that a
/// program of millions of lines paints in about the time it takes to read its vertices.
void PaintScene(QPainter &painter, const QRectF &viewport, const PlotScene &scene,
                const PlotTransform &transform, const PlotLayers &layers);

/// A round length of the program's units for a scale bar of about 60 to 150 pixels.
double ScaleBarLength(double pixelsPerUnit);

} // namespace korvane
