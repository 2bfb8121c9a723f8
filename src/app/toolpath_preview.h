#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "plot/plot_paint.h"
#include "toolpath/check.h"

class QAction;
class QLabel;
class QThreadPool;

namespace korvane {

/// What the preview draws: a program's text, the text beneath it (the program before the last
/// rewrite) and the findings of the check that made it. Texts are UTF-8, one block per line.
struct PreviewInput {
    std::string program;
    std::shared_ptr<const std::string> beneath; // none before an Execute
    CheckReport check;
};

/// The top view of a toolpath in a widget. The picture is drawn on a worker thread into an
/// image, which is shown moved and scaled at once while the view is panned or zoomed, and
/// drawn anew when the view rests.
class ToolpathCanvas : public QWidget {
    Q_OBJECT

public:
    explicit ToolpathCanvas(QWidget *parent = nullptr);
    ~ToolpathCanvas() override;

    /// Runs the texts as moves and draws them, all on the worker; the view fits them.
    void SetInput(std::shared_ptr<const PreviewInput> input);
    /// The line of the program whose moves are emphasised (the text box's caret line).
    void SetHighlight(std::optional<std::uint32_t> line);
    void SetLayers(bool rapids, bool arrows, bool beneath);
    /// Fits the whole program into the view.
    void Fit();

    const PlotTransform &transform() const { return m_transform; }
    /// What is drawn, or nullptr before anything is.
    const PreviewInput *input() const { return m_input.get(); }
    const PlotLayers &layers() const { return m_layers; }
    /// The scene drawn, once the worker has made it; nullptr before.
    const PlotScene *scene() const { return m_scene.get(); }
    /// True while the worker has a picture to finish.
    bool busy() const { return m_pending != m_shown; }

signals:
    /// A click on a move: the line of the program that made it.
    void lineChosen(std::uint32_t line);
    /// The pointer over the view, in program units.
    void pointerMoved(QPointF program);
    /// A new picture is on the screen.
    void pictureShown();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;

private:
    void Redraw();
    void Shown(std::uint64_t generation, std::shared_ptr<const PlotScene> scene, QImage image,
               PlotTransform drawnWith, bool fitted);

    std::unique_ptr<QThreadPool> m_worker;
    std::shared_ptr<const PreviewInput> m_input;
    std::shared_ptr<const PlotScene> m_scene;
    PlotLayers m_layers;
    PlotTransform m_transform;
    QImage m_image;
    PlotTransform m_imageTransform; // the view the image was drawn with
    bool m_fitPending = true;
    std::uint64_t m_pending = 0; // the newest picture asked of the worker
    std::uint64_t m_shown = 0;   // the newest picture shown
    QPointF m_pressedAt;
    QPointF m_lastDrag;
    bool m_dragging = false;
};

/// The preview window: the canvas, toggles for rapids, arrows and the program before, and the
/// pointer's X and Y. It stays open beside the main window.
class ToolpathPreview : public QMainWindow {
    Q_OBJECT

public:
    explicit ToolpathPreview(QWidget *parent = nullptr);

    ToolpathCanvas *canvas() const { return m_canvas; }
    QAction *rapidsAction() const { return m_rapids; }
    QAction *arrowsAction() const { return m_arrows; }
    QAction *beneathAction() const { return m_beneath; }

private:
    void UpdateLayers();

    ToolpathCanvas *m_canvas = nullptr;
    QAction *m_rapids = nullptr;
    QAction *m_arrows = nullptr;
    QAction *m_beneath = nullptr;
    QLabel *m_pointer = nullptr;
};

} // namespace korvane
