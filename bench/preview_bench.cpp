// Times the toolpath preview on one program, offscreen: the first picture after the preview
// is given the program (alone, and over the program before a rewrite), frames while the view
// is panned and zoomed (the last picture moved and scaled), and a new picture once the view
// rests. Prints medians over the repetitions.
//   preview_bench FILE [REPS]

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "app/toolpath_preview.h"

using namespace korvane;

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Seconds until the canvas shows the picture it was asked for.
double UntilShown(ToolpathCanvas &canvas, const std::function<void()> &ask)
{
    QSignalSpy shown(&canvas, &ToolpathCanvas::pictureShown);
    QElapsedTimer clock;
    clock.start();
    ask();
    while (canvas.busy() || shown.isEmpty())
        shown.wait(5);
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

// Seconds to paint one frame of the widget as it is now.
double Frame(ToolpathCanvas &canvas)
{
    QElapsedTimer clock;
    clock.start();
    canvas.repaint();
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: preview_bench FILE [REPS]\n", stderr);
        return 64;
    }
    const int reps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::ifstream in(argv[1], std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};

    ToolpathCanvas canvas;
    canvas.resize(720, 520);
    canvas.show();

    std::vector<double> alone, both, pan, zoom, rest;
    for (int i = 0; i < reps; ++i) {
        auto program = std::make_shared<PreviewInput>();
        program->program = text;
        alone.push_back(UntilShown(canvas, [&] { canvas.SetInput(program); }));
        auto rewritten = std::make_shared<PreviewInput>();
        rewritten->program = text;
        rewritten->beneath = std::make_shared<const std::string>(text);
        both.push_back(UntilShown(canvas, [&] { canvas.SetInput(rewritten); }));

        // A drag of 30 frames and a wheel turn of 30 steps, each frame painted.
        for (int f = 0; f < 30; ++f) {
            QMouseEvent move(QEvent::MouseMove, QPointF(100 + f * 4, 100),
                             QPointF(100 + f * 4, 100), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            if (f == 0) {
                QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 100), QPointF(100, 100),
                                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(&canvas, &press);
            }
            QApplication::sendEvent(&canvas, &move);
            pan.push_back(Frame(canvas));
        }
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(220, 100), QPointF(220, 100),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        rest.push_back(UntilShown(canvas, [&] { QApplication::sendEvent(&canvas, &release); }));
        for (int f = 0; f < 30; ++f) {
            QWheelEvent wheel(QPointF(360, 260), QPointF(360, 260), QPoint(), QPoint(0, 40),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&canvas, &wheel);
            zoom.push_back(Frame(canvas));
        }
    }
    std::printf("%s, %d rounds, a 720 x 520 view\n", argv[1], reps);
    std::printf("%-44s %9.4f s\n", "first picture of the program", Median(alone));
    std::printf("%-44s %9.4f s\n", "first picture over the program before", Median(both));
    std::printf("%-44s %9.4f s  (%.0f frames/s)\n", "frame while panning", Median(pan),
                1 / Median(pan));
    std::printf("%-44s %9.4f s  (%.0f frames/s)\n", "frame while zooming", Median(zoom),
                1 / Median(zoom));
    std::printf("%-44s %9.4f s\n", "new picture once the view rests", Median(rest));
    return 0;
}
