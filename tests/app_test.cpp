#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>
#include <csignal>
#include <deque>
#include <sys/resource.h>
#include <sys/stat.h>

#include "app/UnitMain.h"
#include "app/nc_lexer.h"
#include "app/settings_file.h"
#include "app/user_dialogs.h"
#include "files/text_codec.h"
#include "files/text_file.h"
#include "transform/execute.h"

using namespace korvane;

namespace {

// Dialogs answered by script: each question takes the next answer queued for it.
class ScriptedDialogs : public UserDialogs {
public:
    std::deque<std::optional<QString>> openAnswers, saveAnswers;
    std::deque<bool> confirmAnswers;
    QStringList informations, warnings, errors, confirmations, filters;
    bool busyCursorOverADialog = false;

    void ShowInformation(QWidget *, const QString &text) override
    {
        Answering();
        informations << text;
    }
    void ShowWarning(QWidget *, const QString &text) override
    {
        Answering();
        warnings << text;
    }
    void ShowError(QWidget *, const QString &text) override
    {
        Answering();
        errors << text;
    }
    bool ConfirmOverwrite(QWidget *, const QString &text) override
    {
        Answering();
        confirmations << text;
        return Take(confirmAnswers, true);
    }
    std::optional<QString> ChooseOpenFile(QWidget *, const QString &filter,
                                          const QString &) override
    {
        Answering();
        filters << filter;
        return Take(openAnswers, std::optional<QString>());
    }
    std::optional<QString> ChooseSaveFile(QWidget *, const QString &filter,
                                          const QString &) override
    {
        Answering();
        filters << filter;
        return Take(saveAnswers, std::optional<QString>());
    }

private:
    // A dialog needs the ordinary cursor, whatever command shows it.
    void Answering()
    {
        if (QGuiApplication::overrideCursor() != nullptr)
            busyCursorOverADialog = true;
    }
    template <typename T> static T Take(std::deque<T> &queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString Memo(const TForm1 &form)
{
    return QString::fromStdString(form.MemoText());
}

// One letter per byte for a style of the NC colouring, so that a row reads from text to colours.
QString StyleLetters(const std::string &styles)
{
    static const char letters[kNcStyleCount + 1] = ".cGMARNF";
    QString out;
    for (char style : styles)
        out += QLatin1Char(
            style >= 0 && style < kNcStyleCount ? letters[static_cast<unsigned char>(style)] : '?');
    return out;
}

// The styles the text box holds for the first `length` bytes of `line`.
std::string BoxStyles(const MemoBox &box, int line, int length)
{
    const long start = box.SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line);
    std::string styles;
    for (long i = 0; i < length; ++i)
        styles.push_back(static_cast<char>(box.SendScintilla(
            QsciScintilla::SCI_GETSTYLEAT, static_cast<unsigned long>(start + i))));
    return styles;
}

int CaretLine(const MemoBox &box)
{
    int line = -1, index = -1;
    box.getCursorPosition(&line, &index);
    return index == 0 ? line : -1;
}

QByteArray Lines(int count, const QByteArray &line)
{
    return line.repeated(count);
}

// Files larger than `bytes` cannot be written while it lives: a full disk, for this process.
class FullDisk {
public:
    explicit FullDisk(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FullDisk() { setrlimit(RLIMIT_FSIZE, &m_saved); }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

private:
    rlimit m_saved{};
};

const QByteArray kProgram = "G90G00X0Y0Z5.\nG01Z-1.F100\nX10.\nY10.\nG00Z5.\nM30\n";

} // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_dialogs = ScriptedDialogs();
    }

    void executeMatchesTheEngine_data()
    {
        QTest::addColumn<bool>("whole");
        QTest::addColumn<int>("mirror");
        for (bool whole : {false, true})
            for (int mirror : {0, 1, 2})
                QTest::addRow("whole=%d mirror=%d", whole, mirror) << whole << mirror;
    }
    void executeMatchesTheEngine()
    {
        QFETCH(bool, whole);
        QFETCH(int, mirror);
        const std::string program = ReadFileBytes(QStringLiteral(KORVANE_EXAMPLES "/pocket.nc"));
        TForm1 form(m_dialogs, {QStringLiteral(KORVANE_EXAMPLES "/pocket.nc")}, m_dir->path());
        form.CheckBoxOll->setChecked(whole);
        form.RadioGroup1->findChild<QRadioButton *>(QStringLiteral("RadioGroup1Item%1").arg(mirror))
            ->setChecked(true);
        form.Button1->click();

        WorkingState state;
        const auto lines = SplitLines(program);
        RewriteSettings settings{whole, static_cast<MirrorAxis>(mirror)};
        QVERIFY(ExecuteRewrite(lines, settings, state).completed);
        QCOMPARE(Memo(form), QString::fromStdString(state.outputLines.JoinCrLf()));
        QVERIFY(m_dialogs.errors.isEmpty());
        QVERIFY(form.N4->isEnabled());
    }

    void refusedAndFailedExecuteLeaveTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("information");
        QTest::addColumn<QString>("error");
        QTest::addRow("canned cycle") << "G00X0Y0Z5.\nG81X1.Y1.Z-3.R1.\n"
                                      << "固定サイクルは対応していません！"
                                      << "";
        QTest::addRow("malformed number") << "G00X0Y0\nG01X 5.\n"
                                          << ""
                                          << "'' は浮動小数点数ではありません.";
        QTest::addRow("first line cuts") << "G01X10.Y10.F100\nG00Z5.\n"
                                         << ""
                                         << "リストのインデックスが範囲を超えています (-1)";
    }
    void refusedAndFailedExecuteLeaveTheText()
    {
        QFETCH(QString, text);
        QFETCH(QString, information);
        QFETCH(QString, error);
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.Memo1->setText(text);
        form.Button1->click();
        QCOMPARE(m_dialogs.informations.value(0), information);
        QCOMPARE(m_dialogs.errors.value(0), error);
        QCOMPARE(form.Memo1->text(), text);
        QVERIFY(form.N4->isEnabled());
        // Undo gives back the same text, every line ending in a line break.
        form.N4->trigger();
        QCOMPARE(Memo(form), QString(text).replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
    }

    void undoGivesTheTextBeforeTheLastExecute()
    {
        TForm1 form(m_dialogs, {}, m_dir->path());
        QVERIFY(!form.N4->isEnabled());
        form.Memo1->setText(QString::fromLatin1(kProgram).chopped(1)); // no final break
        form.Button1->click();
        const QString first = Memo(form);
        QVERIFY(first.endsWith(QStringLiteral("\r\n")));
        form.Button1->click();
        QVERIFY(Memo(form) != first);
        form.N4->trigger();
        QCOMPARE(Memo(form), first);
        form.N4->trigger();
        QCOMPARE(Memo(form), first);
        form.N5->trigger();
        QCOMPARE(Memo(form), QString());
        QVERIFY(form.N4->isEnabled());
    }

    void overwriteAndSaveAs()
    {
        const QString saved = m_dir->filePath(QStringLiteral("saved.nc"));
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.Memo1->setText(QStringLiteral("G00X1.\nM30"));
        // With no file opened, Overwrite asks for a name, and still does after a Save as.
        m_dialogs.saveAnswers = {saved, std::nullopt};
        form.save1->trigger();
        QCOMPARE(ReadBytes(saved), QByteArray("G00X1.\r\nM30"));
        QCOMPARE(form.currentPath(), QString());
        form.save1->trigger();
        QCOMPARE(m_dialogs.filters.size(), 2);
        QVERIFY(m_dialogs.confirmations.isEmpty());

        // Opened files are overwritten after the question; No writes nothing.
        m_dialogs.openAnswers = {saved};
        form.Open1->trigger();
        QCOMPARE(form.currentPath(), saved);
        form.Memo1->setText(QStringLiteral("M30\n"));
        m_dialogs.confirmAnswers = {false, true};
        form.save1->trigger();
        QCOMPARE(ReadBytes(saved), QByteArray("G00X1.\r\nM30"));
        QCOMPARE(m_dialogs.confirmations.value(0), saved + QStringLiteral("に上書きしますが?"));
        form.save1->trigger();
        QCOMPARE(ReadBytes(saved), QByteArray("M30\r\n"));
    }

    void fileFilterFollowsTheExtensionEdit()
    {
        TForm1 form(m_dialogs, {}, m_dir->path());
        QCOMPARE(form.EditKakutyousi->text(), QStringLiteral("nc"));
        form.Open1->trigger();
        form.EditKakutyousi->setText(QString());
        form.Save2->trigger();
        QCOMPARE(m_dialogs.filters,
                 QStringList({QStringLiteral("ユーザーファイル (*.nc);;全てのファイル (*)"),
                              QStringLiteral("ユーザーファイル (*.);;全てのファイル (*)")}));
    }

    void openKeepsBytesAndWritesCrLf_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<int>("encoding");
        const int utf8 = int(TextEncoding::Utf8), latin1 = int(TextEncoding::Latin1);
        QTest::addRow("LF") << QByteArray("G00X1.\nM30\n") << QByteArray("G00X1.\r\nM30\r\n")
                            << utf8;
        QTest::addRow("no final break")
            << QByteArray("G00X1.\r\nM30") << QByteArray("G00X1.\r\nM30") << utf8;
        QTest::addRow("lone CR, LF CR")
            << QByteArray("A\rB\n\rC") << QByteArray("A\r\nB\r\n\r\nC") << utf8;
        QTest::addRow("NUL ends the text")
            << QByteArray("M30\n\0junk", 9) << QByteArray("M30\r\n") << utf8;
        QTest::addRow("byte-order mark kept")
            << QByteArray("\xEF\xBB\xBFG00X1.\n") << QByteArray("\xEF\xBB\xBFG00X1.\r\n") << utf8;
        QTest::addRow("Latin-1 bytes")
            << QByteArray("(\xB0\xA0\xFF)\n") << QByteArray("(\xB0\xA0\xFF)\r\n") << latin1;
        // "(工具 φ10 の荒削り)" in CP932.
        const QByteArray sjis("(\x8dH\x8b\xef \x83\xd3"
                              "10 \x82\xcc\x8dr\x8d\xed\x82\xe8)");
        QTest::addRow("CP932") << sjis + "\nG00X1.\n"
                               << sjis + "\r\nG00X1.\r\n"
                               << int(TextEncoding::Cp932);
    }
    void openKeepsBytesAndWritesCrLf()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, written);
        QFETCH(int, encoding);
        const QString path = m_dir->filePath(QStringLiteral("in.nc"));
        WriteBytes(path, bytes);
        TForm1 form(m_dialogs, {}, m_dir->path());
        m_dialogs.openAnswers = {path};
        form.Open1->trigger();
        QCOMPARE(int(form.textEncoding()), encoding);
        form.save1->trigger();
        QCOMPARE(ReadBytes(path), written);
        QVERIFY(m_dialogs.errors.isEmpty());
    }

    void saveAsFallingBackToUtf8LeavesTheOpenFileItsEncoding()
    {
        const QString opened = m_dir->filePath(QStringLiteral("a.nc"));
        const QString copy = m_dir->filePath(QStringLiteral("b.nc"));
        const QByteArray sjis("(\x8d\xed\x82\xe8)\r\nG00X1.\r\n"); // "(削り)"
        WriteBytes(opened, sjis);
        TForm1 form(m_dialogs, {}, m_dir->path());
        m_dialogs.openAnswers = {opened};
        m_dialogs.saveAnswers = {copy};
        form.Open1->trigger();
        form.Memo1->setText(form.Memo1->text() + QStringLiteral("(Ø10)"));
        form.Save2->trigger(); // Ø has no CP932 form: the copy is UTF-8
        QCOMPARE(ReadBytes(copy), QByteArray("(\xE5\x89\x8A\xE3\x82\x8A)\r\nG00X1.\r\n(\xC3\x98"
                                             "10)"));
        form.Memo1->setText(QString::fromUtf8("(削り)\nG00X1.\n"));
        form.save1->trigger();
        QCOMPARE(ReadBytes(opened), sjis);
    }

    void filesTheTextBoxCannotReadAreRefused()
    {
        const QString fifo = m_dir->filePath(QStringLiteral("pipe"));
        QCOMPARE(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        const QString sparse = m_dir->filePath(QStringLiteral("huge.nc"));
        WriteBytes(sparse, "G00X1.\n");
        QVERIFY(QFile::resize(sparse, qint64(kMemoByteLimit) + 1)); // sparse: no disk space used
        TForm1 form(m_dialogs, {}, m_dir->path());
        m_dialogs.openAnswers = {fifo, sparse};
        form.Open1->trigger();
        form.Open1->trigger();
        QCOMPARE(m_dialogs.errors,
                 QStringList(
                     {QStringLiteral("ファイル \"%1\". Not a regular file は開けません.").arg(fifo),
                      QStringLiteral("文字列の大きさがメモの制限を越えました.")}));
        QCOMPARE(form.currentPath(), QString());
    }

    void typedTextTheEncodingCannotHoldIsSavedAsUtf8()
    {
        const QString path = m_dir->filePath(QStringLiteral("latin.nc"));
        WriteBytes(path, "(\xE9)\n");
        TForm1 form(m_dialogs, {}, m_dir->path());
        m_dialogs.openAnswers = {path};
        form.Open1->trigger();
        QCOMPARE(form.textEncoding(), TextEncoding::Latin1);
        form.Memo1->setText(QStringLiteral("(é 切削)\n"));
        form.save1->trigger();
        QCOMPARE(ReadBytes(path), QByteArray("(\xC3\xA9 \xE5\x88\x87\xE5\x89\x8A)\r\n"));
    }

    void openOfAMissingNameChangesNothing()
    {
        const QString missing = m_dir->filePath(QStringLiteral("missing.nc"));
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.Memo1->setText(QStringLiteral("M30"));
        m_dialogs.openAnswers = {missing};
        form.Open1->trigger();
        QCOMPARE(
            m_dialogs.errors,
            QStringList(QStringLiteral("ファイル \"%1\". No such file or directory は開けません.")
                            .arg(missing)));
        QCOMPARE(form.Memo1->text(), QStringLiteral("M30"));
        QCOMPARE(form.currentPath(), QString());
    }

    void clipboardGetsTheWholeText()
    {
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.Memo1->setText(QStringLiteral("G00X1.\n(切削)"));
        form.N2->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("G00X1.\n(切削)"));
        form.N5->trigger();
        form.N2->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    }

    void errorBoxFullStop_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::addRow("Japanese") << "ストリームへの書き込みエラー"
                                  << "ストリームへの書き込みエラー.";
        QTest::addRow("parenthesis") << "範囲 (-1)"
                                     << "範囲 (-1)";
        QTest::addRow("full stop") << "done."
                                   << "done.";
        QTest::addRow("letter") << "abc"
                                << "abc.";
        QTest::addRow("empty") << ""
                               << "";
    }
    void errorBoxFullStop()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ErrorBoxText(message), shown);
    }

    void windowLayout()
    {
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), QStringLiteral("NC Korvane Ver1.11"));
        QCOMPARE(form.centralWidget()->size(), QSize(431, 363));
        QCOMPARE(form.Memo1->geometry(), QRect(0, 0, 282, 363));
        QCOMPARE(form.Button1->geometry(), QRect(300, 266, 97, 33));
        QCOMPARE(form.Button2->text(), QStringLiteral("終了"));
        QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!form.CheckBoxOll->isChecked());
        form.resize(form.width() + 50, form.height() + 100);
        QCOMPARE(form.Memo1->geometry(), QRect(0, 0, 282, 463));
        for (QAction *action : form.findChildren<QAction *>())
            QVERIFY2(action->shortcut().isEmpty() && !action->text().contains(QLatin1Char('&')),
                     qPrintable(action->objectName()));
    }

    // Settings and batch mode.
    void settingsKeepTheExtension_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("after");
        QTest::addRow("no file") << QByteArray() << "nc"
                                 << "nc" << QByteArray("[Data]\nKa1=nc\n");
        QTest::addRow("empty value stays empty") << QByteArray("[Data]\nKa1=\n") << ""
                                                 << "" << QByteArray("[Data]\nKa1=\n");
        QTest::addRow("changed, rest kept")
            << QByteArray("; mine\r\n[Other]\r\nKa1=x\r\n[data]\r\nkA1 = tap\r\nZ=1\r\n") << "ngc"
            << "tap" << QByteArray("; mine\r\n[Other]\r\nKa1=x\r\n[data]\r\nKa1=ngc\r\nZ=1\r\n");
        QTest::addRow("key added to its section")
            << QByteArray("[Data]\nZ=1\n\n[B]\nq=2") << "nc"
            << "nc" << QByteArray("[Data]\nZ=1\nKa1=nc\n\n[B]\nq=2");
        QTest::addRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[Data]\nKa1=tap\n") << "ngc"
                                         << "tap" << QByteArray("\xEF\xBB\xBF[Data]\nKa1=ngc\n");
        QTest::addRow("pasted line breaks")
            << QByteArray("[Data]\nKa1=nc\n") << "nc\n[Other]\nKa1=zz"
            << "nc" << QByteArray("[Data]\nKa1=nc[Other]Ka1=zz\n");
        QTest::addRow("section added after unterminated line")
            << QByteArray("[B]\nq=2") << "nc"
            << "nc" << QByteArray("[B]\nq=2\n[Data]\nKa1=nc\n");
    }
    void settingsKeepTheExtension()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QByteArray, after);
        const QString ini = m_dir->filePath(QStringLiteral("KV.ini"));
        if (!before.isEmpty())
            WriteBytes(ini, before);
        TForm1 form(m_dialogs, {}, m_dir->path());
        QCOMPARE(form.EditKakutyousi->text(), shown);
        form.EditKakutyousi->setText(typed);
        form.FormDestroy();
        QCOMPARE(ReadBytes(ini), after);
        QVERIFY(m_dialogs.errors.isEmpty());
    }

    void batchModeWritesTheResult()
    {
        const QString input = m_dir->filePath(QStringLiteral("job.nc"));
        const QString output = m_dir->filePath(QStringLiteral("Korvane.nc"));
        WriteBytes(input, kProgram);
        TForm1 form(m_dialogs, {input, QStringLiteral("ignored")}, m_dir->path());
        QVERIFY(form.batchMode());
        QCOMPARE(form.currentPath(), QString());
        form.show();
        form.Button1->click();
        QVERIFY(!form.isVisible());
        form.FormDestroy();
        QCOMPARE(ReadBytes(output), QByteArray("G90G00X-10.Y10.Z5.\r\nG01Z-1.F100\r\n"
                                               "G90G01X-10.Y0F100\r\nX0\r\nG00Z5.\r\nM30\r\n"));
        QCOMPARE(ReadBytes(m_dir->filePath(QStringLiteral("KV.ini"))),
                 QByteArray("[Data]\nKa1=nc\n"));
    }

    void batchModeWithARefusedLineStaysOpen()
    {
        const QString input = m_dir->filePath(QStringLiteral("job.nc"));
        WriteBytes(input, "G00X0Y0\nG18\n");
        TForm1 form(m_dialogs, {input}, m_dir->path());
        form.show();
        form.Button1->click();
        QVERIFY(form.isVisible());
        QCOMPARE(m_dialogs.informations,
                 QStringList(QStringLiteral("G18平面は対応していません！")));
        form.close();
        form.FormDestroy();
        QCOMPARE(ReadBytes(m_dir->filePath(QStringLiteral("Korvane.nc"))),
                 QByteArray("G00X0Y0\r\nG18\r\n"));
    }

    void checkRefusesAResultThatCutsDifferently_data()
    {
        QTest::addColumn<bool>("batch");
        QTest::addRow("window") << false;
        QTest::addRow("batch") << true;
    }
    void checkRefusesAResultThatCutsDifferently()
    {
        // A ramp into the pass: reversed in place it would be cut flat.
        QFETCH(bool, batch);
        const QByteArray program = "G90G00X0Y0Z5.\nG01Z0F100\nX10.Z-1.\nX0\nG00Z5.\n";
        const QString input = m_dir->filePath(QStringLiteral("ramp.nc"));
        WriteBytes(input, program);
        TForm1 form(m_dialogs, batch ? QStringList{input} : QStringList(), m_dir->path());
        if (!batch)
            form.Memo1->setText(QString::fromLatin1(program));
        form.show();
        form.Button1->click();
        QVERIFY(form.isVisible());
        QCOMPARE(Memo(form), QString::fromLatin1(program).replace('\n', QStringLiteral("\r\n")));
        QCOMPARE(m_dialogs.informations.size(), 1);
        const QString box = m_dialogs.informations.constFirst();
        QVERIFY(box.startsWith(QStringLiteral("書き換えた結果は元のプログラムと違う切削になる")));
        QVERIFY2(box.contains(QStringLiteral("3 行目: この行の切削 X0 Y0 Z0 → X10. Y0 Z-1.")),
                 qPrintable(box));
        QVERIFY(box.contains(QStringLiteral("「後方から全て逆転」")));
        QVERIFY(m_dialogs.warnings.isEmpty());
        // The source lines the findings name are marked, the caret on the first.
        QCOMPARE(form.Memo1->markersAtLine(2) & 7u, 1u << int(LineMark::Error));
        QVERIFY(form.Memo1->LineMarkTooltip(2).startsWith(QStringLiteral("この行の切削")));
        int line = -1, index = -1;
        form.Memo1->getCursorPosition(&line, &index);
        QCOMPARE(line, 2);
        // Reversed whole, the same program is right, with the rapid plunge it now makes.
        form.CheckBoxOll->setChecked(true);
        form.Button1->click();
        QCOMPARE(form.isVisible(), !batch);
        QCOMPARE(m_dialogs.informations.size(), 1);
        QCOMPARE(m_dialogs.warnings.size(), 1);
        QVERIFY2(m_dialogs.warnings.constFirst().contains(QStringLiteral(
                     "5 行目: 書き換えたプログラムの 2 行目の早送りは Z-1. まで下がります")),
                 qPrintable(m_dialogs.warnings.constFirst()));
        QVERIFY2(Memo(form).startsWith(
                     QStringLiteral("G90G00X0Y0Z5.\r\nG90G00Z-1.F100\r\nG01X-10.\r\n")),
                 qPrintable(Memo(form)));
        // The warning's line of the result is marked.
        QCOMPARE(form.Memo1->markersAtLine(1) & 7u, 1u << int(LineMark::Warning));
    }

    void manyWarningsShowTheFirstFive()
    {
        QString program = QStringLiteral("G90G00X0Y0Z5.");
        for (int i = 1; i <= 8; ++i)
            program += QStringLiteral("\nX%1.\nG01Z-1.F100\nY10.\nG00Z5.").arg(i * 20);
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.Memo1->setText(program);
        form.CheckBoxOll->setChecked(true);
        form.Button1->click();
        QCOMPARE(m_dialogs.warnings.size(), 1);
        const QString box = m_dialogs.warnings.constFirst();
        QCOMPARE(box.count(QStringLiteral("行目: 書き換えたプログラムの")), 5);
        QVERIFY2(box.endsWith(QStringLiteral("（ほかに 3 件）")), qPrintable(box));
    }

    void batchOutputNotWritableSkipsTheSettings()
    {
        const QString input = m_dir->filePath(QStringLiteral("job.nc"));
        WriteBytes(input, kProgram);
        // A folder in the way of the batch output file: it cannot be created.
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Korvane.nc")));
        TForm1 form(m_dialogs, {input}, m_dir->path());
        form.FormDestroy();
        QCOMPARE(m_dialogs.errors.size(), 1);
        QVERIFY(m_dialogs.errors.value(0).startsWith(
            QStringLiteral("ファイル \"%1\". ")
                .arg(m_dir->filePath(QStringLiteral("Korvane.nc")))));
        QVERIFY(m_dialogs.errors.value(0).endsWith(QStringLiteral(" を作成できません.")));
        QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("KV.ini"))));
    }

    void withoutAnArgumentTheBatchFileIsUntouched()
    {
        const QString output = m_dir->filePath(QStringLiteral("Korvane.nc"));
        WriteBytes(output, "earlier");
        TForm1 form(m_dialogs, {}, m_dir->path());
        QVERIFY(!form.batchMode());
        form.Memo1->setText(QStringLiteral("M30"));
        form.Button1->click();
        form.FormDestroy();
        QCOMPARE(ReadBytes(output), QByteArray("earlier"));
    }

    void unreadableArgumentOpensAnEmptyWindow()
    {
        const QString missing = m_dir->filePath(QStringLiteral("nope.nc"));
        TForm1 form(m_dialogs, {missing}, m_dir->path());
        QVERIFY(!form.batchMode());
        QCOMPARE(form.Memo1->text(), QString());
        QCOMPARE(m_dialogs.errors.size(), 1);
        form.FormDestroy();
        QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("Korvane.nc"))));
    }

    void failedWritesKeepTheFormerFile_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addRow("overwrite") << "save1";
        QTest::addRow("save as") << "Save2";
        QTest::addRow("batch output") << "batch";
        QTest::addRow("settings") << "settings";
    }
    void failedWritesKeepTheFormerFile()
    {
        QFETCH(QString, command);
        const QString program = m_dir->filePath(QStringLiteral("job.nc"));
        const QString batch = m_dir->filePath(QStringLiteral("Korvane.nc"));
        const QString ini = m_dir->filePath(QStringLiteral("KV.ini"));
        const QByteArray before = "(THE USER'S FILE)\r\nM30\r\n";
        for (const QString &path : {program, batch})
            WriteBytes(path, before);
        WriteBytes(ini, "[Data]\nKa1=nc\n");
        TForm1 form(m_dialogs,
                    command == QLatin1String("batch") ? QStringList{program} : QStringList{},
                    m_dir->path());
        m_dialogs.openAnswers = {program};
        m_dialogs.saveAnswers = {program};
        form.Open1->trigger();
        form.Memo1->setText(QString(QStringLiteral("G01X1.\n")).repeated(200));
        form.EditKakutyousi->setText(QStringLiteral("a-much-longer-extension-than-before"));
        {
            FullDisk full(16);
            if (command == QLatin1String("save1"))
                form.save1->trigger();
            else if (command == QLatin1String("Save2"))
                form.Save2->trigger();
            else
                form.FormDestroy();
        }
        const QString expected = command == QLatin1String("settings")
                                     ? QStringLiteral("%1 に書き込めません.").arg(ini)
                                     : QStringLiteral("ストリームへの書き込みエラー.");
        QCOMPARE(m_dialogs.errors, QStringList(expected));
        QCOMPARE(ReadBytes(program), before);
        QCOMPARE(ReadBytes(batch), before);
        QCOMPARE(ReadBytes(ini), QByteArray("[Data]\nKa1=nc\n"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
    }

    void saveToAPlaceThatCannotBeCreated()
    {
        // A path through a regular file: no file can be created there, whoever runs the test.
        const QString blocker = m_dir->filePath(QStringLiteral("blocker"));
        WriteBytes(blocker, "keep");
        const QString target = blocker + QStringLiteral("/sub.nc");
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.Memo1->setText(QStringLiteral("M30"));
        m_dialogs.saveAnswers = {target};
        form.Save2->trigger();
        QCOMPARE(m_dialogs.errors.size(), 1);
        QVERIFY(
            m_dialogs.errors.value(0).startsWith(QStringLiteral("ファイル \"%1\". ").arg(target)));
        QVERIFY(m_dialogs.errors.value(0).endsWith(QStringLiteral(" を作成できません.")));
        QCOMPARE(ReadBytes(blocker), QByteArray("keep"));
        QCOMPARE(form.Memo1->text(), QStringLiteral("M30"));
    }

    void settingsFileThatCannotBeWritten()
    {
        // A folder where the settings file should be: read as missing, written with a message.
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("KV.ini")));
        TForm1 form(m_dialogs, {}, m_dir->path());
        QCOMPARE(form.EditKakutyousi->text(), QStringLiteral("nc"));
        form.FormDestroy();
        QCOMPARE(m_dialogs.errors,
                 QStringList(QStringLiteral("%1 に書き込めません.")
                                 .arg(m_dir->filePath(QStringLiteral("KV.ini")))));
    }

    void textsTheTextBoxCannotTakeAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addRow("too many lines") << QByteArray(qsizetype(kMemoLineLimit) + 1, '\n');
        QTest::addRow("too long a line") << QByteArray(qsizetype(kMemoLineLengthLimit) + 1, 'A');
    }
    void textsTheTextBoxCannotTakeAreRefused()
    {
        QFETCH(QByteArray, bytes);
        const QString path = m_dir->filePath(QStringLiteral("huge.nc"));
        WriteBytes(path, bytes);
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.Memo1->setText(QStringLiteral("M30"));
        m_dialogs.openAnswers = {path};
        form.Open1->trigger();
        QCOMPARE(m_dialogs.errors,
                 QStringList(QStringLiteral("文字列の大きさがメモの制限を越えました.")));
        QCOMPARE(form.Memo1->text(), QStringLiteral("M30"));
        QCOMPARE(form.currentPath(), QString());
    }

    void faultyLinesAreShownAndMarked_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("mark");
        QTest::addColumn<QString>("tooltip");
        const QString lead = QString::fromLatin1(Lines(300, "G01X1.Y1.\n"));
        QTest::addRow("refused, far down")
            << "G00X0Y0Z5.\n" + lead + "G81X1.Y1.Z-3.R1.\nG00Z5.\n"
            << 301 << int(LineMark::Refused) << "固定サイクルは対応していません！";
        QTest::addRow("refused, first line")
            << "G18\nG00X0\n"
            << 0 << int(LineMark::Refused) << "G18平面は対応していません！";
        QTest::addRow("malformed number")
            << "G00X0Y0\n" + lead + "G01X 5.\n"
            << 301 << int(LineMark::Error) << "'' は浮動小数点数ではありません.";
    }
    void faultyLinesAreShownAndMarked()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(int, mark);
        QFETCH(QString, tooltip);
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Memo1->setText(text);
        form.Button1->click();
        QCOMPARE(CaretLine(*form.Memo1), line);
        const long first = form.Memo1->SendScintilla(QsciScintilla::SCI_GETFIRSTVISIBLELINE);
        const long shown = form.Memo1->SendScintilla(QsciScintilla::SCI_LINESONSCREEN);
        QVERIFY2(line >= first && line < first + shown, "the line is on the screen");
        QCOMPARE(form.Memo1->markersAtLine(line) & 7u, 1u << mark);
        QCOMPARE(form.Memo1->LineMarkTooltip(line), tooltip);
        QCOMPARE(form.Memo1->markerFindNext(0, 7), line);
        QCOMPARE(form.Memo1->markerFindNext(line + 1, 7), -1);
        QVERIFY(form.Memo1->hasFocus());

        // The tooltip shows over the mark in the margin, and nowhere else.
        const long y = form.Memo1->SendScintilla(
            QsciScintilla::SCI_POINTYFROMPOSITION, 0UL,
            form.Memo1->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line));
        const long markX = form.Memo1->SendScintilla(QsciScintilla::SCI_GETMARGINWIDTHN, 0) + 4;
        for (int dx : {100, 0}) {
            const QPoint at(int(markX) + dx, int(y) + 3);
            QHelpEvent help(QEvent::ToolTip, at, form.Memo1->viewport()->mapToGlobal(at));
            QCoreApplication::sendEvent(form.Memo1->viewport(), &help);
            QCOMPARE(QToolTip::text(), dx == 0 ? tooltip : QString());
        }

        // The next edit takes the mark away.
        QTest::keyClick(form.Memo1, Qt::Key_Space);
        QCOMPARE(form.Memo1->markerFindNext(0, 7), -1);
        QCOMPARE(form.Memo1->LineMarkTooltip(line), QString());
    }

    void marksGoAtTheNextExecute()
    {
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.Memo1->setText(QStringLiteral("G00X0Y0\nG01X1.F100\nG18\nM30\n"));
        form.MarkLine(0, LineMark::Warning, QStringLiteral("feed"));
        form.MarkLine(99, LineMark::Error, QStringLiteral("clamped"));
        QCOMPARE(form.Memo1->markersAtLine(0) & 7u, 1u << int(LineMark::Warning));
        QCOMPARE(form.Memo1->LineMarkTooltip(4), QStringLiteral("clamped"));
        form.ShowLine(3);
        QCOMPARE(CaretLine(*form.Memo1), 3);
        form.Button1->click(); // refused at line 2, the text unchanged
        QCOMPARE(form.Memo1->markerFindNext(0, 7), 2);
        QCOMPARE(form.Memo1->markerFindNext(3, 7), -1);
        QCOMPARE(form.Memo1->LineMarkTooltip(0), QString());
    }

    void aDoubleClickOnExecuteRunsItOnce_data()
    {
        QTest::addColumn<bool>("queued");
        QTest::addRow("double click") << false;
        QTest::addRow("a click queued while Execute runs") << true;
    }
    void aDoubleClickOnExecuteRunsItOnce()
    {
        QFETCH(bool, queued);
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QString original = QString::fromLatin1(kProgram);
        form.Memo1->setText(original);
        if (queued) {
            // Input that reaches the window while the command runs: posted before it starts,
            // delivered by the event processing that keeps the window alive.
            const QPointF at = QRectF(form.Button1->rect()).center();
            for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(form.Button1,
                                            new QMouseEvent(type, at, form.Button1->mapToGlobal(at),
                                                            Qt::LeftButton, Qt::LeftButton, {}));
            form.Button1->click();
        } else {
            // What the window system delivers to a widget for a double click.
            QTest::mousePress(form.Button1, Qt::LeftButton);
            QTest::mouseRelease(form.Button1, Qt::LeftButton);
            QTest::mouseDClick(form.Button1, Qt::LeftButton);
            QTest::mouseRelease(form.Button1, Qt::LeftButton);
        }
        QCoreApplication::processEvents();
        WorkingState state;
        const std::string program = kProgram.toStdString();
        QVERIFY(ExecuteRewrite(SplitLines(program), RewriteSettings{}, state).completed);
        QCOMPARE(Memo(form), QString::fromStdString(state.outputLines.JoinCrLf()));
        form.N4->trigger();
        QCOMPARE(Memo(form), QString(original).replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void dialogsNeverShowTheBusyCursor()
    {
        const QString path = m_dir->filePath(QStringLiteral("job.nc"));
        WriteBytes(path, "G00X0Y0\nG18\n");
        TForm1 form(m_dialogs, {}, m_dir->path());
        m_dialogs.openAnswers = {path};
        m_dialogs.saveAnswers = {m_dir->filePath(QStringLiteral("copy.nc"))};
        form.Open1->trigger();
        form.Button1->click(); // refused: an information box
        form.Memo1->setText(QStringLiteral("G01X 5."));
        form.Button1->click(); // an error box
        form.save1->trigger();
        form.Save2->trigger();
        QCOMPARE(m_dialogs.informations.size(), 1);
        QCOMPARE(m_dialogs.errors.size(), 1);
        QCOMPARE(m_dialogs.confirmations.size(), 1);
        QVERIFY(!m_dialogs.busyCursorOverADialog);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void keysOnTheButtonsAndTheTextBox_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("executes");
        QTest::addColumn<QString>("focusAfter");
        QTest::addRow("Return on Execute") << "Button1" << int(Qt::Key_Return) << true << "Button1";
        QTest::addRow("Enter on Execute") << "Button1" << int(Qt::Key_Enter) << true << "Button1";
        QTest::addRow("Space on Execute") << "Button1" << int(Qt::Key_Space) << true << "Button1";
        QTest::addRow("Tab in the text box") << "Memo1" << int(Qt::Key_Tab) << false << "Button1";
    }
    void keysOnTheButtonsAndTheTextBox()
    {
        QFETCH(QString, target);
        QFETCH(int, key);
        QFETCH(bool, executes);
        QFETCH(QString, focusAfter);
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.activateWindow();
        form.Memo1->setText(QStringLiteral("G00X1.Y1.\nM30\n"));
        auto *widget = form.findChild<QWidget *>(target);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key(key));
        QCOMPARE(form.N4->isEnabled(), executes);
        QCOMPARE(QApplication::focusWidget()->objectName(), focusAfter);
        if (!executes)
            QCOMPARE(Memo(form), QStringLiteral("G00X1.Y1.\r\nM30\r\n"));
    }

    void typedTextArrives_data()
    {
        QTest::addColumn<QString>("commit");
        QTest::addColumn<bool>("returnAfter");
        QTest::addColumn<QString>("expected");
        QTest::addRow("Japanese through the input method") << "荒削り" << false << "(荒削り)";
        QTest::addRow("Return starts a new line") << "" << true << "(\r\n)";
    }
    void typedTextArrives()
    {
        QFETCH(QString, commit);
        QFETCH(bool, returnAfter);
        QFETCH(QString, expected);
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Memo1->setFocus();
        QTest::keyClicks(form.Memo1, QStringLiteral("("));
        if (!commit.isEmpty()) {
            QInputMethodEvent preedit(commit, {});
            QCoreApplication::sendEvent(form.Memo1, &preedit);
            QInputMethodEvent event;
            event.setCommitString(commit);
            QCoreApplication::sendEvent(form.Memo1, &event);
        }
        if (returnAfter)
            QTest::keyClick(form.Memo1, Qt::Key_Return);
        QTest::keyClicks(form.Memo1, QStringLiteral(")"));
        QCOMPARE(Memo(form), expected);
    }

    void ncColouring_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("styles");
        QTest::addRow("motion") << "N10G01X-1.5Y2.Z0F300"
                                << "NNNGGGAAAAAAAAAAFFFF";
        QTest::addRow("arc and offsets") << "G02X1.Y2.I-3.J4.K0R5.D12H1"
                                         << "GGGAAAAAARRRRRRRRRRRRFFFFF";
        QTest::addRow("program number, tool change") << "O0001T5M06S1200"
                                                     << "NNNNNFFMMMFFFFF";
        QTest::addRow("comment to the end of the line") << "G00(X1. M30)X2"
                                                        << "GGGccccccccccc";
        QTest::addRow("semicolon comment") << "M30;END"
                                           << "MMMcccc";
        QTest::addRow("spaces, lower case, unknown letters") << "G0 x1 Q2 %"
                                                             << "GG........";
    }
    void ncColouring()
    {
        QFETCH(QString, line);
        QFETCH(QString, styles);
        const std::string text = line.toStdString();
        QCOMPARE(StyleLetters(NcStyles(text)), styles);
        // Lines are coloured one by one: the line breaks never carry a comment on.
        QCOMPARE(StyleLetters(NcStyles(text + "\r\nG01\nM30")), styles + "..GGG.MMM");

        // And the text box shows what the lexer promises.
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Memo1->setText(QStringLiteral("M30\n") + line + QStringLiteral("\n"));
        form.Memo1->repaint();
        QCOMPARE(StyleLetters(BoxStyles(*form.Memo1, 1, int(text.size()))), styles);
    }

    void onlyTheLinesOnTheScreenAreColoured()
    {
        const QString path = m_dir->filePath(QStringLiteral("long.nc"));
        WriteBytes(path, Lines(200'000, "G01X1.Y2.\n"));
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        m_dialogs.openAnswers = {path};
        form.Open1->trigger();
        form.ShowLine(199'999);
        form.Memo1->repaint();
        QCOMPARE(StyleLetters(BoxStyles(*form.Memo1, 199'999, 9)), QStringLiteral("GGGAAAAAA"));
        QCOMPARE(StyleLetters(BoxStyles(*form.Memo1, 100'000, 9)), QStringLiteral("........."));
        // What was skipped is coloured once it comes into view.
        form.ShowLine(100'000);
        form.Memo1->repaint();
        QCOMPARE(StyleLetters(BoxStyles(*form.Memo1, 100'000, 9)), QStringLiteral("GGGAAAAAA"));
    }

    void lineBreaksOfTheTextBox_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("boxLines");
        QTest::addColumn<QString>("memoText");
        QTest::addRow("line separator stays in its line")
            << QString::fromUtf8("(A\u2028B)\nM30") << 2 << QString::fromUtf8("(A\u2028B)\r\nM30");
        QTest::addRow("paragraph separator stays in its line")
            << QString::fromUtf8("(A\u2029B)") << 1 << QString::fromUtf8("(A\u2029B)");
        QTest::addRow("CR, LF and CR LF") << "A\rB\nC\r\nD" << 4 << "A\r\nB\r\nC\r\nD";
    }
    void lineBreaksOfTheTextBox()
    {
        QFETCH(QString, text);
        QFETCH(int, boxLines);
        QFETCH(QString, memoText);
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.Memo1->setText(text);
        QCOMPARE(form.Memo1->lines(), boxLines);
        QCOMPARE(Memo(form), memoText);
        QCOMPARE(int(SplitLines(form.MemoText()).size()), boxLines);
    }

    void wrappingFollowsTheLineCount_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("pasted");
        QTest::addColumn<bool>("wraps");
        const int limit = int(kWrapLineLimit);
        QTest::addRow("small program") << 10 << 0 << true;
        QTest::addRow("at the limit") << limit << 0 << true;
        QTest::addRow("over the limit") << limit + 1 << 0 << false;
        QTest::addRow("paste past the limit") << limit - 5 << 10 << false;
        QTest::addRow("large paste into a small program") << 10 << limit / 2 << true;
    }
    void wrappingFollowsTheLineCount()
    {
        QFETCH(int, lines);
        QFETCH(int, pasted);
        QFETCH(bool, wraps);
        const QString path = m_dir->filePath(QStringLiteral("job.nc"));
        WriteBytes(path, Lines(lines, "G01X1.Y2.\r\n"));
        TForm1 form(m_dialogs, {}, m_dir->path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        m_dialogs.openAnswers = {path};
        form.Open1->trigger();
        if (pasted > 0) {
            form.Memo1->SendScintilla(QsciScintilla::SCI_DOCUMENTEND);
            QGuiApplication::clipboard()->setText(QString::fromLatin1(Lines(pasted, "X1.\n")));
            form.Memo1->paste();
            QCOMPARE(form.Memo1->lines(), lines + pasted + 1);
            form.Memo1->repaint();
            QCoreApplication::processEvents();
        }
        QCOMPARE(form.Memo1->Wrapping(), wraps);
        QCOMPARE(form.Memo1->SendScintilla(QsciScintilla::SCI_GETWRAPMODE),
                 long(wraps ? QsciScintilla::SC_WRAP_WORD : QsciScintilla::SC_WRAP_NONE));
    }

    void theLongestLineTheTextBoxTakes()
    {
        const QString path = m_dir->filePath(QStringLiteral("long.nc"));
        const QByteArray line = "(" + QByteArray(qsizetype(kMemoLineLengthLimit) - 2, 'A') + ")";
        WriteBytes(path, "G00X1.\r\n" + line + "\r\nM30\r\n");
        TForm1 form(m_dialogs, {}, m_dir->path());
        m_dialogs.openAnswers = {path};
        form.Open1->trigger();
        QCOMPARE(m_dialogs.errors, QStringList());
        QCOMPARE(form.Memo1->lines(), 4);
        QCOMPARE(form.Memo1->lineLength(1), int(kMemoLineLengthLimit) + 2);
    }

    void hostileFilesEndInAResultOrAMessage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("loads");
        QTest::addRow("empty") << QByteArray() << true;
        QTest::addRow("NUL bytes") << QByteArray(1 << 20, '\0') << true;
        QByteArray random(10 << 20, '\0');
        quint32 x = 12345;
        for (char &c : random) {
            x = x * 1664525u + 1013904223u;
            c = static_cast<char>(x >> 24);
        }
        QTest::addRow("random 10 MB") << random << true;
        QTest::addRow("one 100 MB line") << QByteArray(100 << 20, '7') << false;
        QTest::addRow("10 million empty lines") << QByteArray(10'000'000, '\n') << false;
        QTest::addRow("CR only") << QByteArray("G90G00X0Y0Z5.\rG01Z-1.F100\rX10.\rG00Z5.\r")
                                 << true;
        QTest::addRow("bad CP932") << QByteArray("(\x82\xff)\r\nG00X1.\r\n") << true;
    }
    void hostileFilesEndInAResultOrAMessage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, loads);
        const QString path = m_dir->filePath(QStringLiteral("hostile.nc"));
        WriteBytes(path, bytes);
        bytes.clear();
        for (bool whole : {false, true}) {
            TForm1 form(m_dialogs, {}, m_dir->path());
            m_dialogs = ScriptedDialogs();
            m_dialogs.openAnswers = {path};
            form.Open1->trigger();
            QCOMPARE(form.currentPath().isEmpty(), !loads);
            QCOMPARE(m_dialogs.errors.size(), loads ? 0 : 1);
            form.CheckBoxOll->setChecked(whole);
            const QString before = form.Memo1->text();
            form.Button1->click();
            // Either the result replaced the text, or one message says why not.
            const qsizetype messages = m_dialogs.errors.size() + m_dialogs.informations.size();
            m_dialogs.warnings.clear();
            QVERIFY(messages <= (loads ? 1 : 2));
            if (messages > (loads ? 0 : 1))
                QCOMPARE(form.Memo1->text(), before);
        }
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedDialogs m_dialogs;
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
