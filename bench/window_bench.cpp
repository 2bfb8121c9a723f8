// Times the window's commands on a large program: Open, Execute (whole program, no mirror),
// Undo and Overwrite, each through the real handlers with the dialogs answered by script.
//   QT_QPA_PLATFORM=offscreen window_bench PROGRAM.nc
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>

#include "app/UnitMain.h"
#include "app/user_dialogs.h"

namespace {

class AnsweringDialogs : public korvane::UserDialogs {
public:
    QString file;
    QStringList problems;
    void ShowInformation(QWidget *, const QString &text) override { problems << text; }
    void ShowError(QWidget *, const QString &text) override { problems << text; }
    bool ConfirmOverwrite(QWidget *, const QString &) override { return true; }
    std::optional<QString> ChooseOpenFile(QWidget *, const QString &, const QString &) override
    {
        return file;
    }
    std::optional<QString> ChooseSaveFile(QWidget *, const QString &, const QString &) override
    {
        return file;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: window_bench PROGRAM.nc\n", stderr);
        return 64;
    }
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("program.nc"));
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), copy))
        return 1;

    AnsweringDialogs dialogs;
    dialogs.file = copy;
    korvane::TForm1 form(dialogs, {}, dir.path());
    form.show();
    QApplication::processEvents();
    form.CheckBoxOll->setChecked(true);
    form.findChild<QRadioButton *>(QStringLiteral("RadioGroup1Item2"))->setChecked(true);

    auto step = [&](const char *name, auto &&command) {
        QElapsedTimer timer;
        timer.start();
        command();
        QApplication::processEvents(); // the text box lays out what it shows
        std::printf("%-10s %.3f s\n", name, static_cast<double>(timer.nsecsElapsed()) / 1e9);
        std::fflush(stdout);
    };
    step("open", [&] { form.Open1->trigger(); });
    const qsizetype lines = form.Memo1->blockCount();
    step("execute", [&] { form.Button1->click(); });
    step("undo", [&] { form.N4->trigger(); });
    step("overwrite", [&] { form.save1->trigger(); });
    std::printf("lines      %lld\n", static_cast<long long>(lines));
    for (const QString &problem : dialogs.problems)
        std::printf("message    %s\n", qPrintable(problem));
    form.FormDestroy();
    return dialogs.problems.isEmpty() ? 0 : 1;
}
