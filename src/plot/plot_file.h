#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include "plot/plot_paint.h"

namespace korvane {

/// The margin in pixels between a fitted picture and the edges of its viewport.
inline constexpr double kPlotMargin = 40;

/// How a picture is fitted: the scene's extents in `size`, left clear of the legend when
/// there is one.
PlotTransform FitPicture(const PlotScene &scene, QSize size, const PlotLayers &layers);

/// The scene drawn whole into an image of `size` pixels. Needs a QGuiApplication (fonts).
QImage RenderPicture(const PlotScene &scene, QSize size, const PlotLayers &layers);

/// Writes the picture to `path`: SVG when the name ends in ".svg", else PNG. The file is
/// replaced only once the whole picture is written. Throws FileError.
void WritePictureFile(const QString &path, const PlotScene &scene, QSize size,
                      const PlotLayers &layers);

} // namespace korvane
