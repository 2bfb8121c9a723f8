// The picture of a toolpath: fitting, zoom, hit-testing, arrows, colours, and the files that
// korvane-cli --plot writes.
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <string>
#include <vector>

#include "plot/plot_file.h"
#include "plot/plot_paint.h"
#include "plot/plot_path.h"
#include "table_text.h"
#include "toolpath/check.h"

using namespace korvane;

namespace {

std::vector<std::string_view> Lines(const char *program)
{
    return testutil::BarLines(program);
}

// A rectangle 100 by 50 cut at Z-1 after a rapid across: lines 0 to 6.
constexpr const char *kRectangle = "G90G00X0Y0Z5.|G00X20.Y0|G01Z-1.F100|X100.|Y50.|X0|Y0";

bool Near(QPointF a, QPointF b)
{
    return std::abs(a.x() - b.x()) < 1e-6 && std::abs(a.y() - b.y()) < 1e-6;
}

// True when some pixel within `radius` of `at` has the hue of `colour` (within 20 degrees,
// and clearly coloured): thin lines are blended with the background at their edges. A grey
// `colour` asks for a pixel of that grey.
bool ColourNear(const QImage &image, QPointF at, const QColor &colour, int radius = 3)
{
    for (int dx = -radius; dx <= radius; ++dx) {
        for (int dy = -radius; dy <= radius; ++dy) {
            const QPoint p(qRound(at.x()) + dx, qRound(at.y()) + dy);
            if (!image.rect().contains(p))
                continue;
            const QColor c = image.pixelColor(p);
            if (colour.hsvSaturation() == 0) {
                if (c == colour)
                    return true;
                continue;
            }
            const int hue = std::abs(c.hsvHue() - colour.hsvHue());
            if (c.hsvSaturation() > 60 && std::min(hue, 360 - hue) < 20)
                return true;
        }
    }
    return false;
}

} // namespace

class PlotTest : public QObject {
    Q_OBJECT

private slots:
    void fitPutsTheExtentsInsideTheMargin()
    {
        const PlotPath path = PlotPath::OfLines(Lines(kRectangle));
        QCOMPARE(path.bounds().minX, 0.0);
        QCOMPARE(path.bounds().maxX, 100.0);
        QCOMPARE(path.bounds().maxY, 50.0);
        // 400 x 300 with a margin of 20: the width sets the scale, 3.6 pixels a unit.
        const PlotTransform t = PlotTransform::Fit(path.bounds(), QRectF(0, 0, 400, 300), 20);
        QCOMPARE(t.scale, 3.6);
        QVERIFY(Near(t.ToScreen(0, 0), QPointF(20, 240)));
        QVERIFY(Near(t.ToScreen(100, 50), QPointF(380, 60)));
        QVERIFY(Near(t.ToProgram(QPointF(200, 150)), QPointF(50, 25)));
        // Zooming keeps the point under the pointer where it is.
        const PlotTransform zoomed = t.ZoomedAbout(QPointF(100, 100), 2.5);
        QVERIFY(Near(zoomed.ToProgram(QPointF(100, 100)), t.ToProgram(QPointF(100, 100))));
        QCOMPARE(zoomed.scale, 9.0);
    }

    void hitTestingFindsTheLineUnderAPixel_data()
    {
        QTest::addColumn<QPointF>("program"); // a point in program units, then nudged on screen
        QTest::addColumn<QPointF>("nudge");
        QTest::addColumn<int>("line"); // -1: nothing there
        QTest::addRow("on X100.") << QPointF(60, 0) << QPointF(0, 2) << 3;
        QTest::addRow("on Y50.") << QPointF(100, 25) << QPointF(-3, 0) << 4;
        QTest::addRow("on X0") << QPointF(50, 50) << QPointF(0, -1) << 5;
        QTest::addRow("the rapid") << QPointF(10, 0) << QPointF(0, 1) << 1;
        QTest::addRow("inside, far from all") << QPointF(50, 25) << QPointF(0, 0) << -1;
    }
    void hitTestingFindsTheLineUnderAPixel()
    {
        QFETCH(QPointF, program);
        QFETCH(QPointF, nudge);
        QFETCH(int, line);
        const PlotPath path = PlotPath::OfLines(Lines(kRectangle));
        const PlotTransform t = PlotTransform::Fit(path.bounds(), QRectF(0, 0, 400, 300), 20);
        const auto hit = LineAt(path, t, t.ToScreen(program.x(), program.y()) + nudge, 5);
        QCOMPARE(hit ? static_cast<int>(*hit) : -1, line);
    }

    void arrowsPointTheWayOfTravel_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<double>("degrees");
        QTest::addRow("+X") << "G0X0Y0Z0|G1X100.F1" << 0.0;
        QTest::addRow("+Y") << "G0X0Y0Z0|G1Y100.F1" << 90.0;
        QTest::addRow("-X") << "G0X0Y0Z0|G1X-100.F1" << 180.0;
        QTest::addRow("-Y") << "G0X0Y0Z0|G1Y-100.F1" << -90.0;
        QTest::addRow("diagonal") << "G0X0Y0Z0|G1X100.Y100.F1" << 45.0;
        // A counter-clockwise half circle over the top: at its middle it heads to -X.
        QTest::addRow("arc") << "G0X100.Y0Z0|G3X-100.Y0I-100.J0F1" << 180.0;
    }
    void arrowsPointTheWayOfTravel()
    {
        QFETCH(QString, program);
        QFETCH(double, degrees);
        const QByteArray text = program.toLatin1();
        const PlotPath path = PlotPath::OfLines(Lines(text.constData()));
        const QRectF view(0, 0, 1000, 1000);
        const PlotTransform t = PlotTransform::Fit(path.bounds(), view, 50);
        const std::vector<PlotArrow> spaced = ArrowsAlong(path, t, view, 100);
        QVERIFY(spaced.size() >= 5);
        const PlotArrow &middle = spaced[spaced.size() / 2];
        // Along an arc the arrow in the middle stands a little past its middle.
        QVERIFY2(std::abs(middle.degrees - degrees) < 12 ||
                     std::abs(std::abs(middle.degrees - degrees) - 360) < 12,
                 qPrintable(QString::number(middle.degrees)));
    }

    void arrowsComeEveryFewPixels()
    {
        const PlotPath path = PlotPath::OfLines(Lines("G0X0Y0Z0|G1X100.F1"));
        const PlotTransform t{10, 0, 500}; // 100 units are 1000 pixels
        const std::vector<PlotArrow> arrows = ArrowsAlong(path, t, QRectF(0, 0, 2000, 1000), 100);
        QCOMPARE(arrows.size(), std::size_t{10});
        QCOMPARE(arrows.front().at, QPointF(50, 500));
        QCOMPARE(arrows.back().at, QPointF(950, 500));
        // Only those inside the viewport.
        QCOMPARE(ArrowsAlong(path, t, QRectF(0, 0, 500, 1000), 100).size(), std::size_t{5});
    }

    void coloursAndScaleBars()
    {
        PlotBounds b;
        b.AddFeedHeight(-10);
        b.AddFeedHeight(0);
        QCOMPARE(DepthColour(-10, b), QColor(25, 55, 150));
        QCOMPARE(DepthColour(0, b), QColor(225, 160, 40));
        QCOMPARE(DepthColour(-50, b), QColor(25, 55, 150)); // below the range: the deepest
        QVERIFY(DepthColour(-5, b) != DepthColour(-4, b));
        const std::vector<std::pair<double, double>> bars = {{3.6, 20}, {1, 100},       {0.9, 100},
                                                             {10, 10},  {0.011, 10000}, {250, 0.5}};
        for (const auto &[pixels, length] : bars)
            QCOMPARE(ScaleBarLength(pixels), length);
    }

    void marksStandWhereFindingsAre()
    {
        CheckReport report;
        Finding inResult;
        inResult.resultLine = 4;
        inResult.message = "result";
        Finding inSource;
        inSource.sourceLine = 3;
        inSource.severity = Severity::Warning;
        Finding nowhere;
        nowhere.sourceLine = 99;
        report.findings = {inResult, inSource, nowhere};
        const PlotPath result = PlotPath::OfLines(Lines(kRectangle));
        const PlotPath source = PlotPath::OfLines(Lines("G0X0Y0Z0|X1.|X2.|X3.Y4."));
        const std::vector<PlotMark> marks = MarksOf(report, result, source);
        QCOMPARE(marks.size(), std::size_t{2});
        QCOMPARE(marks[0].at, QPointF(100, 50));
        QVERIFY(marks[0].error);
        QCOMPARE(marks[1].at, QPointF(3, 4));
        QVERIFY(!marks[1].error);
    }

    void picturesShowRapidsAndFeedsInTheirColours()
    {
        PlotScene scene;
        scene.program = PlotPath::OfLines(Lines(kRectangle));
        PlotLayers layers;
        layers.arrows = false;
        const QSize size(800, 600);
        const QImage image = RenderPicture(scene, size, layers);
        QCOMPARE(image.size(), size);
        const PlotTransform t = FitPicture(scene, size, layers);
        QVERIFY(ColourNear(image, t.ToScreen(10, 0), plot_colours::kRapid));
        QVERIFY(ColourNear(image, t.ToScreen(50, 50), QColor(225, 160, 40))); // only height
        QVERIFY(ColourNear(image, t.ToScreen(50, 25), plot_colours::kBackground, 0));
    }

    void korvaneCliWritesThePicture_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("kind"); // "png", "svg" or "" for no file
        QTest::addRow("png, checked") << QStringList{"-w", "-m", "none"} << 0 << "png";
        QTest::addRow("svg") << QStringList{"-w", "-m", "none", "--plot-size", "640x480"} << 0
                             << "svg";
        QTest::addRow("unchecked") << QStringList{"--no-check", "-m", "none"} << 0 << "png";
        // Reversed in place the ramp is refused: no picture.
        QTest::addRow("refused") << QStringList{"-m", "none"} << 1 << "";
        QTest::addRow("bad size") << QStringList{"--plot-size", "9x9"} << 64 << "";
    }
    void korvaneCliWritesThePicture()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString input = dir.filePath(QStringLiteral("ramp.nc"));
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly));
        // A ramp into a straight cut, then a rapid across to the side.
        file.write("G90G00X0Y0Z5.\nG01Z0F100\nX100.Z-1.\nX0\nG00Z5.\nX0Y50.\nM30\n");
        file.close();
        const QString picture = dir.filePath(
            kind == QStringLiteral("svg") ? QStringLiteral("p.svg") : QStringLiteral("p.png"));
        QProcess cli;
        cli.setProcessChannelMode(QProcess::MergedChannels);
        cli.start(QStringLiteral(KORVANE_CLI),
                  args + QStringList{"--plot", picture, "-o", dir.filePath("out.nc"), input});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), status);
        QCOMPARE(QFile::exists(picture), !kind.isEmpty());
        if (kind == QStringLiteral("svg")) {
            QFile svg(picture);
            QVERIFY(svg.open(QIODevice::ReadOnly));
            const QByteArray text = svg.readAll();
            QVERIFY(text.contains("<svg"));
            QVERIFY(text.contains("width=\"640\""));
        } else if (kind == QStringLiteral("png")) {
            const QImage image(picture);
            QCOMPARE(image.size(), QSize(1600, 1200));
            PlotScene scene;
            QFile out(dir.filePath("out.nc"));
            QVERIFY(out.open(QIODevice::ReadOnly));
            const QByteArray result = out.readAll().replace("\r\n", "|").chopped(1);
            scene.program = PlotPath::OfLines(Lines(result.constData()));
            scene.beneath =
                PlotPath::OfLines(Lines("G90G00X0Y0Z5.|G01Z0F100|X100.Z-1.|X0|G00Z5.|X0Y50.|M30"));
            PlotLayers layers;
            layers.legend = true;
            const PlotTransform t = FitPicture(scene, image.size(), layers);
            // The rapid across, magenta; the cut back along Y0, coloured by its height.
            QVERIFY(ColourNear(image, t.ToScreen(0, 25), plot_colours::kRapid));
            QVERIFY(ColourNear(image, t.ToScreen(30, 0), QColor(25, 55, 150), 4) ||
                    ColourNear(image, t.ToScreen(30, 0), QColor(225, 160, 40), 4));
        }
    }
};

QTEST_MAIN(PlotTest)
#include "plot_test.moc"
