#include "app/toolpath_preview.h"

#include <QAction>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QThreadPool>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>

#include "files/text_codec.h"
#include "model/UnitCall.h"

namespace korvane {
namespace {

constexpr double kMargin = 24;         // pixels between a fitted program and the view's edges
constexpr double kClickSlack = 4;      // a press and release this close is a click
constexpr double kHitRadius = 6;       // pixels from a move that a click still chooses it
constexpr double kMarkRadius = 12;     // pixels from a mark that show its message
constexpr int kRestMilliseconds = 120; // after the last wheel step, the picture is drawn anew

PlotScene BuildScene(const PreviewInput &input)
{
    PlotScene scene;
    scene.program = PlotPath::OfLines(SplitLines(input.program));
    if (input.beneath)
        scene.beneath = PlotPath::OfLines(SplitLines(*input.beneath));
    scene.marks = MarksOf(input.check, scene.program, scene.beneath);
    return scene;
}

QString Coordinate(double v)
{
    return QString::fromStdString(FormatCoord(v));
}

} // namespace

ToolpathCanvas::ToolpathCanvas(QWidget *parent)
    : QWidget(parent), m_worker(std::make_unique<QThreadPool>())
{
    m_worker->setMaxThreadCount(1);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
    m_layers.scaleBar = true;
}

ToolpathCanvas::~ToolpathCanvas()
{
    // A picture still being drawn refers to this canvas when it is done.
    m_worker->clear();
    m_worker->waitForDone();
}

void ToolpathCanvas::SetInput(std::shared_ptr<const PreviewInput> input)
{
    if (input == m_input)
        return;
    m_input = std::move(input);
    m_scene.reset();
    m_fitPending = true;
    Redraw();
}

void ToolpathCanvas::SetHighlight(std::optional<std::uint32_t> line)
{
    if (m_layers.highlightLine == line)
        return;
    m_layers.highlightLine = line;
    update(); // drawn over the picture: no new picture needed
}

void ToolpathCanvas::SetLayers(bool rapids, bool arrows, bool beneath)
{
    m_layers.rapids = rapids;
    m_layers.arrows = arrows;
    m_layers.beneath = beneath;
    Redraw();
}

void ToolpathCanvas::Fit()
{
    m_fitPending = true;
    Redraw();
}

void ToolpathCanvas::Redraw()
{
    if (!m_input || width() <= 0 || height() <= 0)
        return;
    const std::uint64_t generation = ++m_pending;
    PlotLayers layers = m_layers;
    layers.highlightLine.reset();
    const QSize size = this->size() * devicePixelRatioF();
    const double ratio = devicePixelRatioF();
    m_worker->clear(); // pictures asked for before this one are not wanted any more
    m_worker->start([this, generation, input = m_input, scene = m_scene, layers, size, ratio,
                     view = m_transform, fit = m_fitPending] {
        std::shared_ptr<const PlotScene> drawn =
            scene ? scene : std::make_shared<const PlotScene>(BuildScene(*input));
        const QRectF viewport(QPointF(0, 0), QSizeF(size) / ratio);
        const PlotTransform t = fit ? PlotTransform::Fit(drawn->Bounds(), viewport, kMargin) : view;
        QImage image(size, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        QPainter painter(&image);
        PaintScene(painter, viewport, *drawn, t, layers);
        painter.end();
        QMetaObject::invokeMethod(
            this,
            [this, generation, drawn, image = std::move(image), t, fit] {
                Shown(generation, drawn, image, t, fit);
            },
            Qt::QueuedConnection);
    });
}

void ToolpathCanvas::Shown(std::uint64_t generation, std::shared_ptr<const PlotScene> scene,
                           QImage image, PlotTransform drawnWith, bool fitted)
{
    if (generation < m_shown)
        return;
    m_shown = generation;
    m_scene = std::move(scene);
    // A fitted picture sets the view, unless the user has moved it since asking.
    if (fitted && m_fitPending) {
        m_transform = drawnWith;
        m_fitPending = generation != m_pending;
    }
    m_image = std::move(image);
    m_imageTransform = drawnWith;
    update();
    emit pictureShown();
}

void ToolpathCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), plot_colours::kBackground);
    if (m_image.isNull()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(rect(), Qt::AlignCenter,
                         m_input ? QStringLiteral("描画中…")
                                 : QStringLiteral("プログラムがありません"));
        return;
    }
    // The last picture, moved and scaled from the view it was drawn with to the view now.
    const double k = m_transform.scale / m_imageTransform.scale;
    painter.save();
    painter.translate(m_transform.originX - m_imageTransform.originX * k,
                      m_transform.originY - m_imageTransform.originY * k);
    painter.scale(k, k);
    painter.drawImage(QPointF(0, 0), m_image);
    painter.restore();

    if (m_scene && m_layers.highlightLine) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(plot_colours::kHighlight, 5, Qt::SolidLine, Qt::RoundCap));
        const std::vector<PlotVertex> &v = m_scene->program.vertices();
        const std::uint32_t line = *m_layers.highlightLine;
        auto it = std::lower_bound(v.begin(), v.end(), line,
                                   [](const PlotVertex &p, std::uint32_t l) { return p.line < l; });
        for (; it != v.end() && it->line == line; ++it) {
            if (it == v.begin() || it->segment == PlotSegment::Jump) {
                const QPointF at = m_transform.ToScreen(it->x, it->y);
                painter.drawPoint(at);
                continue;
            }
            painter.drawLine(m_transform.ToScreen(std::prev(it)->x, std::prev(it)->y),
                             m_transform.ToScreen(it->x, it->y));
        }
    }
}

void ToolpathCanvas::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Redraw();
}

void ToolpathCanvas::wheelEvent(QWheelEvent *event)
{
    const double factor = std::pow(1.0015, event->angleDelta().y());
    m_transform = m_transform.ZoomedAbout(event->position(), factor);
    m_fitPending = false;
    update();
    QTimer::singleShot(kRestMilliseconds, this, [this, scale = m_transform.scale] {
        if (scale == m_transform.scale)
            Redraw();
    });
    event->accept();
}

void ToolpathCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressedAt = m_lastDrag = event->position();
    m_dragging = true;
}

void ToolpathCanvas::mouseMoveEvent(QMouseEvent *event)
{
    emit pointerMoved(m_transform.ToProgram(event->position()));
    if (!m_dragging)
        return;
    m_transform = m_transform.Panned(event->position() - m_lastDrag);
    m_fitPending = false;
    m_lastDrag = event->position();
    update();
}

void ToolpathCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_dragging)
        return;
    m_dragging = false;
    const QPointF moved = event->position() - m_pressedAt;
    if (std::abs(moved.x()) + std::abs(moved.y()) > kClickSlack) {
        Redraw();
        return;
    }
    if (m_scene) {
        if (const auto line = LineAt(m_scene->program, m_transform, event->position(), kHitRadius))
            emit lineChosen(*line);
    }
}

void ToolpathCanvas::mouseDoubleClickEvent(QMouseEvent *)
{
    Fit();
}

void ToolpathCanvas::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Home) {
        Fit();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool ToolpathCanvas::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && m_scene) {
        const auto *help = static_cast<QHelpEvent *>(event);
        for (const PlotMark &mark : m_scene->marks) {
            const QPointF at = m_transform.ToScreen(mark.at.x(), mark.at.y());
            if (std::hypot(at.x() - help->pos().x(), at.y() - help->pos().y()) <= kMarkRadius) {
                QToolTip::showText(help->globalPos(), mark.message, this);
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}

ToolpathPreview::ToolpathPreview(QWidget *parent) : QMainWindow(parent, Qt::Window)
{
    setObjectName(QStringLiteral("ToolpathPreview"));
    setWindowTitle(QStringLiteral("ツールパス"));
    m_canvas = new ToolpathCanvas(this);
    m_canvas->setObjectName(QStringLiteral("ToolpathCanvas"));
    setCentralWidget(m_canvas);

    QToolBar *tools = addToolBar(QStringLiteral("表示"));
    tools->setObjectName(QStringLiteral("PreviewTools"));
    tools->setMovable(false);
    auto toggle = [&](const char *name, const char *caption) {
        QAction *a = tools->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromUtf8(name));
        a->setCheckable(true);
        a->setChecked(true);
        connect(a, &QAction::toggled, this, &ToolpathPreview::UpdateLayers);
        return a;
    };
    m_rapids = toggle("PreviewRapids", "早送り");
    m_arrows = toggle("PreviewArrows", "向き");
    m_beneath = toggle("PreviewBeneath", "書き換え前");
    tools->addSeparator();
    QAction *fit = tools->addAction(QStringLiteral("全体を表示"));
    fit->setObjectName(QStringLiteral("PreviewFit"));
    fit->setToolTip(QStringLiteral("全体を表示（Home、ダブルクリック）"));
    connect(fit, &QAction::triggered, m_canvas, &ToolpathCanvas::Fit);

    m_pointer = new QLabel(this);
    statusBar()->addPermanentWidget(m_pointer);
    statusBar()->showMessage(
        QStringLiteral("ホイールで拡大・縮小、ドラッグで移動、クリックでその行へ"));
    connect(m_canvas, &ToolpathCanvas::pointerMoved, this, [this](QPointF p) {
        m_pointer->setText(QStringLiteral("X%1  Y%2").arg(Coordinate(p.x()), Coordinate(p.y())));
    });
    resize(720, 560);
}

void ToolpathPreview::UpdateLayers()
{
    m_canvas->SetLayers(m_rapids->isChecked(), m_arrows->isChecked(), m_beneath->isChecked());
}

} // namespace korvane
