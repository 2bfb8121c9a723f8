#include "plot/plot_file.h"

#include <QBuffer>
#include <QPainter>
#include <QSvgGenerator>

#include "files/text_file.h"

namespace korvane {
namespace {

// The legend stands at the top left; a picture wide enough keeps the program clear of it.
constexpr int kLegendWidth = 320;

} // namespace

PlotTransform FitPicture(const PlotScene &scene, QSize size, const PlotLayers &layers)
{
    QRectF area(QPointF(0, 0), QSizeF(size));
    if (layers.legend && size.width() >= 3 * kLegendWidth)
        area.setLeft(kLegendWidth);
    return PlotTransform::Fit(scene.Bounds(), area, kPlotMargin);
}

QImage RenderPicture(const PlotScene &scene, QSize size, const PlotLayers &layers)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    PaintScene(painter, QRectF(QPointF(0, 0), QSizeF(size)), scene, FitPicture(scene, size, layers),
               layers);
    painter.end();
    return image;
}

void WritePictureFile(const QString &path, const PlotScene &scene, QSize size,
                      const PlotLayers &layers)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(layers.title);
        QPainter painter(&svg);
        PaintScene(painter, QRectF(QPointF(0, 0), QSizeF(size)), scene,
                   FitPicture(scene, size, layers), layers);
    } else {
        RenderPicture(scene, size, layers).save(&buffer, "PNG");
    }
    WriteFileAtomic(path,
                    std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

} // namespace korvane
