// The toolpath preview beside the main window: it opens from the view menu, draws the text
// box's program (after an Execute, over the program before it, with the check's findings),
// follows the caret, takes the caret to a move clicked, zooms, pans and fits.
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>

#include "app/UnitMain.h"
#include "app/toolpath_preview.h"

using namespace korvane;

namespace {

class SilentDialogs : public UserDialogs {
public:
    QStringList shown;
    void ShowInformation(QWidget *, const QString &text) override { shown << text; }
    void ShowError(QWidget *, const QString &text) override { shown << text; }
    bool ConfirmOverwrite(QWidget *, const QString &) override { return false; }
    std::optional<QString> ChooseOpenFile(QWidget *, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    std::optional<QString> ChooseSaveFile(QWidget *, const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

// A square pass at two depths, lines 0 to 11; reversed whole, the retracts become plunges.
constexpr const char *kProgram = "G90G00X0Y0Z5.\n"
                                 "G01Z-1.F100\n"
                                 "X40.\n"
                                 "Y40.\n"
                                 "X0\n"
                                 "Y0\n"
                                 "G00Z5.\n"
                                 "G01Z-2.\n"
                                 "X40.\n"
                                 "Y40.\n"
                                 "G00Z5.\n"
                                 "M30\n";

bool WaitForPicture(ToolpathCanvas *canvas)
{
    QSignalSpy shown(canvas, &ToolpathCanvas::pictureShown);
    return shown.wait(10000) || (!canvas->busy() && canvas->scene());
}

// Lets the worker finish whatever it was asked last.
void Settle(ToolpathCanvas *canvas)
{
    for (int i = 0; i < 200 && canvas->busy(); ++i)
        QTest::qWait(25);
}

// The window showing the program, its preview open on it and the first picture drawn.
ToolpathCanvas *OpenOnTheProgram(TForm1 &form)
{
    form.show();
    form.Memo1->setText(QString::fromLatin1(kProgram));
    form.ViewToolpath->trigger();
    ToolpathCanvas *canvas = form.preview()->canvas();
    if (!WaitForPicture(canvas))
        return nullptr;
    Settle(canvas);
    return canvas;
}

} // namespace

class PreviewTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_dialogs = SilentDialogs();
    }

    void opensFromTheViewMenuAndFollowsExecute()
    {
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.show();
        form.Memo1->setText(QString::fromLatin1(kProgram));
        QCOMPARE(form.ViewMenu->title(), QStringLiteral("表示"));
        QCOMPARE(form.ViewToolpath->text(), QStringLiteral("ツールパス"));
        form.ViewToolpath->trigger();
        QVERIFY(form.preview() && form.preview()->isVisible());
        ToolpathCanvas *canvas = form.preview()->canvas();
        QVERIFY(WaitForPicture(canvas));
        Settle(canvas);
        QVERIFY(canvas->scene());
        QVERIFY(!canvas->scene()->program.empty());
        QVERIFY(canvas->scene()->beneath.empty());

        // Reversed whole with mirror X: the result, the program before faint beneath it, and
        // the check's warnings (two rapid plunges) as marks.
        form.CheckBoxOll->setChecked(true);
        form.Button1->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            !canvas->busy() && canvas->scene() && !canvas->scene()->beneath.empty(), 10000);
        const PlotScene *scene = canvas->scene();
        QCOMPARE(scene->beneath.bounds().maxX, 40.0);
        QCOMPARE(scene->program.bounds().minX, -40.0);
        QCOMPARE(scene->marks.size(), std::size_t{2});

        // An edit takes the program before and the marks away.
        form.Memo1->append(QStringLiteral("G00X100.\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(
            !canvas->busy() && canvas->scene() && canvas->scene()->beneath.empty(), 10000);
        QCOMPARE(canvas->scene()->program.bounds().maxX, 100.0);

        form.preview()->close();
        QVERIFY(!form.preview()->isVisible());
        QVERIFY(form.isVisible());
    }

    void caretAndPathFollowEachOther()
    {
        TForm1 form(m_dialogs, {}, m_dir->path());
        ToolpathCanvas *canvas = OpenOnTheProgram(form);
        QVERIFY(canvas);

        // The caret's line is the highlighted move.
        form.Memo1->setCursorPosition(3, 0);
        QTRY_COMPARE(canvas->layers().highlightLine, std::optional<std::uint32_t>(3));

        // A click on the move of line 8 (X40. at Z-2, along Y0) takes the caret there.
        const QPointF onMove = canvas->transform().ToScreen(20, 0);
        QTest::mouseClick(canvas, Qt::LeftButton, {}, onMove.toPoint());
        int line = -1, index = -1;
        form.Memo1->getCursorPosition(&line, &index);
        QVERIFY(line == 8 || line == 2); // both depths cut along Y0; the deeper lies on top
    }

    void zoomsPansAndFits()
    {
        TForm1 form(m_dialogs, {}, m_dir->path());
        ToolpathCanvas *canvas = OpenOnTheProgram(form);
        QVERIFY(canvas);
        const PlotTransform fitted = canvas->transform();

        // The point under the pointer stays where it is.
        const QPointF pointer(120, 90);
        const QPointF under = fitted.ToProgram(pointer);
        QWheelEvent wheel(pointer, canvas->mapToGlobal(pointer), QPoint(), QPoint(0, 240),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &wheel);
        QVERIFY(canvas->transform().scale > fitted.scale);
        const QPointF after = canvas->transform().ToProgram(pointer);
        QVERIFY(std::abs(after.x() - under.x()) < 1e-9 && std::abs(after.y() - under.y()) < 1e-9);

        // A drag moves the view by the drag.
        const PlotTransform before = canvas->transform();
        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(100, 100));
        QMouseEvent move(QEvent::MouseMove, QPointF(130, 80), canvas->mapToGlobal(QPointF(130, 80)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(canvas, &move);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(130, 80));
        QCOMPARE(canvas->transform().originX, before.originX + 30);
        QCOMPARE(canvas->transform().originY, before.originY - 20);

        // Home fits the whole program again.
        QTest::keyClick(canvas, Qt::Key_Home);
        Settle(canvas);
        QCOMPARE(canvas->transform().scale, fitted.scale);

        // The toggles reach the picture.
        form.preview()->rapidsAction()->setChecked(false);
        form.preview()->beneathAction()->setChecked(false);
        QVERIFY(!canvas->layers().rapids);
        QVERIFY(!canvas->layers().beneath);
        QVERIFY(canvas->layers().arrows);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    SilentDialogs m_dialogs;
};

QTEST_MAIN(PreviewTest)
#include "preview_test.moc"
