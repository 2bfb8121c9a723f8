// Times the window's commands on a large program: Open, Execute (whole program, no mirror),
// Undo and Overwrite, each through the real handlers with the dialogs answered by script, and
// keystrokes typed at the end of the loaded program. Prints the median of REPS rounds (default
// 5) and the memory the window holds with the program loaded, above the empty window.
//   QT_QPA_PLATFORM=offscreen window_bench PROGRAM.nc [REPS]
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/UnitMain.h"
#include "app/user_dialogs.h"
#include "files/text_codec.h"

namespace {

class AnsweringDialogs : public korvane::UserDialogs {
public:
    QString file;
    QStringList problems;
    QStringList warnings;
    void ShowInformation(QWidget *, const QString &text) override { problems << text; }
    void ShowWarning(QWidget *, const QString &text) override { warnings << text; }
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

// A field of /proc/self/status in kilobytes ("VmRSS", "VmHWM"); 0 when it cannot be read.
long StatusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return 0;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Seconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fputs("usage: window_bench PROGRAM.nc [REPS]\n", stderr);
        return 64;
    }
    const int reps = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;
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
    QWidget *memo = form.findChild<QWidget *>(QStringLiteral("Memo1"));
    const long emptyKb = StatusKb("VmRSS");
    long loadedKb = 0;
    std::size_t lines = 0;

    std::map<std::string, std::vector<double>> times;
    const char *order[] = {"open", "execute", "undo", "overwrite", "keystroke"};
    auto step = [&](const char *name, auto &&command) {
        QElapsedTimer timer;
        timer.start();
        command();
        QApplication::processEvents(); // the text box lays out and paints what it shows
        times[name].push_back(Seconds(timer));
    };
    for (int round = 0; round < reps; ++round) {
        step("open", [&] { form.Open1->trigger(); });
        if (round == 0) {
            loadedKb = StatusKb("VmRSS");
            lines = korvane::SplitLines(form.MemoText()).size();
        }
        step("execute", [&] { form.Button1->click(); });
        step("undo", [&] { form.N4->trigger(); });
        step("overwrite", [&] { form.save1->trigger(); });
        // Typing at the end of the program: each keystroke with the repaint it causes, the
        // position where a cost that grows with the program would show most.
        memo->setFocus();
        QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QApplication::sendEvent(memo, &end);
        QApplication::processEvents();
        for (int i = 0; i < 20; ++i)
            step("keystroke", [&] {
                QKeyEvent key(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, QStringLiteral("7"));
                QApplication::sendEvent(memo, &key);
                memo->repaint();
            });
    }

    const long heldKb = StatusKb("VmRSS");
    for (const char *name : order)
        std::printf("%-10s %.3f s   %.2f ms (median of %zu)\n", name, Median(times[name]),
                    Median(times[name]) * 1e3, times[name].size());
    std::printf("lines      %zu\n", lines);
    auto mb = [emptyKb](long kb) { return static_cast<double>(kb - emptyKb) / 1024; };
    std::printf("memory     empty window %.0f MB; above it: after the first open +%.0f MB, "
                "after all rounds +%.0f MB, peak +%.0f MB\n",
                static_cast<double>(emptyKb) / 1024, mb(loadedKb), mb(heldKb),
                mb(StatusKb("VmHWM")));
    for (const QString &problem : dialogs.problems)
        std::printf("message    %s\n", qPrintable(problem));
    // The check's warnings after a rewrite are no failure: one line says how many boxes.
    if (!dialogs.warnings.isEmpty())
        std::printf("warnings   %lld boxes after Execute\n",
                    static_cast<long long>(dialogs.warnings.size()));
    form.FormDestroy();
    return dialogs.problems.isEmpty() ? 0 : 1;
}
