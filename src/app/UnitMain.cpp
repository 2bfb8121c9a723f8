#include "app/UnitMain.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>

#include "app/settings_file.h"
#include "app/toolpath_preview.h"
#include "app/user_dialogs.h"
#include "files/file_error.h"
#include "files/text_file.h"
#include "model/errors.h"
#include "model/large_buffer.h"
#include "toolpath/check.h"
#include "transform/execute.h"
#include "version.h"

// The icon lives in a static library's resources, which the linker keeps only when referenced.
static void InitKorvaneResources()
{
    Q_INIT_RESOURCE(korvane);
}

namespace korvane {
namespace {

// The preview draws the text anew this long after its last change.
constexpr int kPreviewRestMilliseconds = 600;

constexpr int kClientWidth = 431;
constexpr int kClientHeight = 363;
constexpr int kMemoWidth = 282;

// The Japanese UI font: the designed one when installed, else a free Japanese font of the
// same kind, so that no character is drawn as a box.
QFont JapaneseFont()
{
    const QStringList families = QFontDatabase::families();
    QString family;
    for (const char *candidate : {"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic", "IPAGothic",
                                  "IPAexGothic", "Noto Sans CJK JP"}) {
        if (families.contains(QString::fromUtf8(candidate))) {
            family = QString::fromUtf8(candidate);
            break;
        }
    }
    QFont font = family.isEmpty() ? QFont() : QFont(family);
    font.setPixelSize(12);
    return font;
}

// The folder of the settings and batch files: the executable's own, unless it cannot be
// written (a system-wide install), then the user's data folder of the program.
QString ResolveAppDir(const QString &appDirOverride)
{
    QString dir =
        appDirOverride.isEmpty() ? QCoreApplication::applicationDirPath() : appDirOverride;
    if (appDirOverride.isEmpty() && !QFileInfo(dir).isWritable()) {
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        if (!data.isEmpty() && QDir().mkpath(data))
            dir = data;
    }
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

// Reads a file for the text box: only a regular file (a pipe or a device could block or never
// end), and no more bytes than a text the text box takes can have.
DecodedText ReadProgramFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isDir() && !info.isFile())
        throw FileError::CannotOpen(info.absoluteFilePath().toStdString(), "Not a regular file");
    return ReadTextFile(path, kMemoByteLimit);
}

// The shape of a text, found in one pass: its lines as the rewrite reads them (CR LF, lone CR
// and lone LF each end one; an empty last row is no line), the longest, and its size with
// every line break made CR LF.
struct TextShape {
    std::size_t lines = 0;
    std::size_t longestLine = 0;
    std::size_t crlfBytes = 0;
    bool crlfOnly = true;
};

TextShape MeasureText(std::string_view text)
{
    TextShape shape;
    const char *p = text.data();
    const char *const end = p + text.size();
    while (p < end) {
        const char *lineEnd = p;
        while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n')
            ++lineEnd;
        shape.longestLine = std::max(shape.longestLine, static_cast<std::size_t>(lineEnd - p));
        ++shape.lines;
        if (lineEnd == end)
            break;
        if (*lineEnd == '\r' && lineEnd + 1 < end && lineEnd[1] == '\n') {
            p = lineEnd + 2;
        } else {
            shape.crlfOnly = false;
            ++shape.crlfBytes;
            p = lineEnd + 1;
        }
    }
    shape.crlfBytes += text.size();
    return shape;
}

// The text with every line break made CR LF.
std::string WithCrLf(std::string_view text, const TextShape &shape)
{
    if (shape.crlfOnly)
        return std::string(text);
    std::string out;
    ReserveLarge(out, shape.crlfBytes);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\r\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace

QString FindingText(const Finding &finding)
{
    QString message = QString::fromStdString(finding.message);
    if (!finding.sourceLine)
        return message;
    return QStringLiteral("%1 行目: %2").arg(std::uint64_t{*finding.sourceLine} + 1).arg(message);
}

QString CheckErrorText(const CheckReport &check)
{
    QString text = QStringLiteral("書き換えた結果は元のプログラムと違う切削になるため、"
                                  "書き換えを中止しました。\n\n") +
                   FindingText(*check.FirstError());
    if (check.errorCount > 1)
        text += QStringLiteral("\n\n（ほかに %1 件）").arg(check.errorCount - 1);
    return text;
}

QString CheckWarningsText(const CheckReport &check)
{
    constexpr int kShown = 5;
    QString text = QStringLiteral("書き換えました。次の点を確かめてください。");
    int shown = 0;
    for (const Finding &f : check.findings) {
        if (f.severity != Severity::Warning || shown == kShown)
            continue;
        text += QStringLiteral("\n\n") + FindingText(f);
        ++shown;
    }
    if (check.warningCount > static_cast<std::size_t>(shown))
        text += QStringLiteral("\n\n（ほかに %1 件）")
                    .arg(check.warningCount - static_cast<std::size_t>(shown));
    return text;
}

QString ErrorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

TForm1::TForm1(UserDialogs &dialogs, const QStringList &arguments, const QString &appDirOverride,
               QWidget *parent)
    : QMainWindow(parent), m_busy(*this, QStringLiteral("NC Korvane")), m_dialogs(dialogs, m_busy)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("NC Korvane Ver") + QLatin1String(kVersion));
    InitKorvaneResources();
    setWindowIcon(QIcon(QStringLiteral(":/korvane/icon.xpm")));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setFont(JapaneseFont());
    CreateControls();
    CreateMenus();
    ConnectCommands();

    // The client area excludes the menu bar, as the layout was designed.
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Guard([&] { FormCreate(arguments, appDirOverride); });
}

TForm1::~TForm1() = default;

void TForm1::CreateControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setAutoFillBackground(true);
    setCentralWidget(client);

    Memo1 = new MemoBox(client);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, 0, kMemoWidth, kClientHeight);

    // Return on a focused button presses it, as Space does (the habit of the desktop the
    // window was designed on).
    Button1 = new QPushButton(QStringLiteral("実行"), client);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(300, 266, 97, 33);
    Button1->setAutoDefault(true);
    Button1->installEventFilter(this);

    Button2 = new QPushButton(QStringLiteral("終了"), client);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(301, 312, 97, 33);
    Button2->setAutoDefault(true);

    CheckBoxOll = new QCheckBox(QStringLiteral("後方から全て逆転"), client);
    CheckBoxOll->setObjectName(QStringLiteral("CheckBoxOll"));
    CheckBoxOll->setGeometry(290, 111, 118, 17);

    RadioGroup1 = new QGroupBox(QStringLiteral("ミラー方向"), client);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(293, 14, 89, 85);
    m_mirrorButtons = new QButtonGroup(RadioGroup1);
    const char *items[] = {"X軸", "Y軸", "なし"};
    for (int i = 0; i < 3; ++i) {
        auto *item = new QRadioButton(QString::fromUtf8(items[i]), RadioGroup1);
        item->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(i));
        item->setGeometry(8, 18 + i * 20, 75, 18);
        m_mirrorButtons->addButton(item, i);
    }
    m_mirrorButtons->button(0)->setChecked(true);

    Label1 = new QLabel(QStringLiteral("通常使う拡張子"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(290, 149, 80, 12);

    EditKakutyousi = new QLineEdit(client);
    EditKakutyousi->setObjectName(QStringLiteral("EditKakutyousi"));
    EditKakutyousi->setGeometry(381, 143, 31, 20);

    setTabOrder(Memo1, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, CheckBoxOll);
    setTabOrder(CheckBoxOll, m_mirrorButtons->button(0));
    setTabOrder(m_mirrorButtons->button(0), EditKakutyousi);
}

void TForm1::CreateMenus()
{
    auto action = [](QMenu *menu, const char *name, const char *caption) {
        QAction *a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromUtf8(name));
        return a;
    };
    File1 = menuBar()->addMenu(QStringLiteral("ファイル"));
    File1->setObjectName(QStringLiteral("File1"));
    Open1 = action(File1, "Open1", "開く");
    save1 = action(File1, "save1", "上書き");
    Save2 = action(File1, "Save2", "名前を付けて保存");
    N1 = File1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    Exit1 = action(File1, "Exit1", "終了");

    N3 = menuBar()->addMenu(QStringLiteral("編集"));
    N3->setObjectName(QStringLiteral("N3"));
    N2 = action(N3, "N2", "クリップボードコピー");
    N4 = action(N3, "N4", "戻す");
    N4->setEnabled(false);
    N5 = action(N3, "N5", "全消去");

    ViewMenu = menuBar()->addMenu(QStringLiteral("表示"));
    ViewMenu->setObjectName(QStringLiteral("ViewMenu"));
    ViewToolpath = action(ViewMenu, "ViewToolpath", "ツールパス");
}

void TForm1::ConnectCommands()
{
    auto bind = [this](auto *sender, auto signal, void (TForm1::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { Guard([this, handler] { (this->*handler)(); }); });
    };
    bind(Button1, &QPushButton::clicked, &TForm1::Button1Click);
    bind(Button2, &QPushButton::clicked, &TForm1::Button2Click);
    bind(Open1, &QAction::triggered, &TForm1::Open1Click);
    bind(save1, &QAction::triggered, &TForm1::save1Click);
    bind(Save2, &QAction::triggered, &TForm1::Save2Click);
    bind(Exit1, &QAction::triggered, &TForm1::Exit1Click);
    bind(N2, &QAction::triggered, &TForm1::N2Click);
    bind(N4, &QAction::triggered, &TForm1::N4Click);
    bind(N5, &QAction::triggered, &TForm1::N5Click);
    bind(ViewToolpath, &QAction::triggered, &TForm1::ViewToolpathClick);

    // The preview follows the text, a moment after the last change.
    m_previewTimer = new QTimer(this);
    m_previewTimer->setSingleShot(true);
    m_previewTimer->setInterval(kPreviewRestMilliseconds);
    connect(m_previewTimer, &QTimer::timeout, this, &TForm1::UpdatePreview);
    connect(Memo1, &MemoBox::edited, this, [this] {
        if (m_preview && m_preview->isVisible())
            m_previewTimer->start();
    });
    connect(Memo1, &QsciScintilla::cursorPositionChanged, this, [this](int line, int) {
        if (m_preview)
            m_preview->canvas()->SetHighlight(static_cast<std::uint32_t>(line));
    });
}

void TForm1::ViewToolpathClick()
{
    if (!m_preview) {
        m_preview = new ToolpathPreview(this);
        connect(m_preview->canvas(), &ToolpathCanvas::lineChosen, this,
                [this](std::uint32_t line) { ShowLine(static_cast<int>(line)); });
    }
    m_preview->show();
    m_preview->raise();
    UpdatePreview();
    int line = 0, index = 0;
    Memo1->getCursorPosition(&line, &index);
    m_preview->canvas()->SetHighlight(static_cast<std::uint32_t>(line));
}

void TForm1::UpdatePreview()
{
    if (!m_preview || !m_preview->isVisible())
        return;
    std::string text = MemoText();
    const PreviewInput *shown = m_preview->canvas()->input();
    // After an Execute, and as long as the text is its result, the program before it shows
    // beneath with the check's findings.
    const bool result = m_lastRewrite && m_lastRewrite->size == text.size() &&
                        m_lastRewrite->hash == std::hash<std::string_view>()(text);
    if (shown && shown->program == text && (shown->beneath != nullptr) == result)
        return;
    auto input = std::make_shared<PreviewInput>();
    input->program = std::move(text);
    if (result) {
        input->beneath = m_lastRewrite->before;
        input->check = *m_lastRewrite->check;
    }
    m_preview->canvas()->SetInput(std::move(input));
}

void TForm1::Guard(const std::function<void()> &command)
{
    // The one place where a command's failure is caught: it ends the command, and the user
    // sees its message; nothing the command already changed is rolled back. A line at fault
    // (a malformed number) is then shown and marked.
    // Whatever the command freed goes back to the system once it is done: a rewrite of a
    // large program needs a few hundred megabytes for a moment.
    struct Release {
        ~Release() { ReleaseFreedMemory(); }
    } release;
    try {
        BusyState::Scope busy(m_busy);
        command();
    } catch (const KorvaneError &error) {
        const QString text = ErrorBoxText(QString::fromUtf8(error.what()));
        m_dialogs.ShowError(isVisible() ? this : nullptr, text);
        if (const std::optional<std::size_t> line = error.line())
            ShowFaultyLine(*line, LineMark::Error, text);
    } catch (const std::bad_alloc &) {
        m_dialogs.ShowError(isVisible() ? this : nullptr,
                            ErrorBoxText(QStringLiteral("メモリが不足しています")));
    } catch (const std::exception &error) {
        // A fault of the program itself: the command ends with its text, the window stays.
        m_dialogs.ShowError(
            isVisible() ? this : nullptr,
            ErrorBoxText(QStringLiteral("内部エラー: ") + QString::fromLocal8Bit(error.what())));
    }
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    // A double click on Execute is one Execute: the press that makes it a double click is not
    // a second click.
    if (watched == Button1 &&
        (event->type() == QEvent::MouseButtonDblClick ||
         (event->type() == QEvent::MouseButtonPress &&
          (static_cast<QMouseEvent *>(event)->flags() & Qt::MouseEventCreatedDoubleClick))))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    // Memo1 is docked to the left edge: its width stays, its height follows the client area.
    if (centralWidget())
        Memo1->setGeometry(0, 0, kMemoWidth, centralWidget()->height());
}

void TForm1::FormCreate(const QStringList &arguments, const QString &appDirOverride)
{
    m_appDir = ResolveAppDir(appDirOverride);
    EditKakutyousi->setText(ReadUsualExtension(m_appDir + QStringLiteral("KV.ini")));
    m_currentPath.clear();
    m_batchMode = false;
    if (!arguments.isEmpty()) {
        const QString path = QFileInfo(arguments.constFirst()).absoluteFilePath();
        DecodedText text = m_busy.RunBeside([&] { return ReadProgramFile(path); });
        SetMemoText(text.utf8);
        m_encoding = text.encoding;
        m_batchMode = true;
    }
}

void TForm1::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    Guard([this] {
        if (m_batchMode) {
            TextEncoding encoding = m_encoding;
            WriteMemoTo(m_appDir + QStringLiteral("Korvane.nc"), encoding);
        }
        WriteUsualExtension(m_appDir + QStringLiteral("KV.ini"), EditKakutyousi->text());
        ResetState(m_state);
        m_undoText = std::make_shared<const std::string>();
    });
}

std::string TForm1::MemoText() const
{
    const std::string_view content = Memo1->Content();
    return WithCrLf(content, MeasureText(content));
}

void TForm1::SetMemoText(std::string_view utf8)
{
    // Measured, and checked against what the box takes, before anything changes.
    std::string normalized;
    const TextShape shape = m_busy.RunBeside([&] {
        const TextShape measured = MeasureText(utf8);
        if (measured.lines > kMemoLineLimit || measured.crlfBytes > kMemoByteLimit ||
            measured.longestLine > kMemoLineLengthLimit)
            throw FileError::TooLarge();
        if (!measured.crlfOnly)
            normalized = WithCrLf(utf8, measured);
        return measured;
    });
    Memo1->SetContent(shape.crlfOnly ? utf8 : std::string_view(normalized), shape.lines,
                      [this](int percent) { m_busy.KeepAlive(percent); });
}

void TForm1::WriteMemoTo(const QString &path, TextEncoding &encoding)
{
    const std::string text = MemoText();
    m_busy.RunBeside([&] { WriteTextFile(path, text, encoding); });
}

void TForm1::MarkLine(int line, LineMark kind, const QString &tooltip)
{
    Memo1->MarkLine(line, kind, tooltip);
}

void TForm1::MarkFindings(const CheckReport &check, bool inResult)
{
    for (const Finding &f : check.findings) {
        const std::optional<std::uint32_t> line = inResult ? f.resultLine : f.sourceLine;
        if (line)
            MarkLine(static_cast<int>(*line),
                     f.severity == Severity::Error ? LineMark::Error : LineMark::Warning,
                     QString::fromStdString(f.message));
    }
}

void TForm1::ClearLineMarks()
{
    Memo1->ClearLineMarks();
}

void TForm1::ShowLine(int line)
{
    Memo1->ShowLine(line);
}

void TForm1::ShowFaultyLine(std::size_t line, LineMark kind, const QString &message)
{
    const int index = static_cast<int>(std::min<std::size_t>(line, INT_MAX));
    ShowLine(index);
    MarkLine(index, kind, message);
}

int TForm1::MirrorIndex() const
{
    return m_mirrorButtons->checkedId();
}

QString TForm1::FileFilter() const
{
    // "ユーザーファイル|*.e|全てのファイル|*.*" in Qt's form; all files means every name.
    return QStringLiteral("ユーザーファイル (*.%1);;全てのファイル (*)")
        .arg(EditKakutyousi->text());
}

void TForm1::Button1Click()
{
    ClearLineMarks();
    N4->setEnabled(true);
    m_undoText = std::make_shared<const std::string>(MemoText());
    const std::vector<std::string_view> lines = SplitLines(*m_undoText);
    RewriteSettings settings;
    settings.wholeProgram = CheckBoxOll->isChecked();
    settings.mirrorAxis = static_cast<MirrorAxis>(MirrorIndex());

    // The window keeps the program and its snapshot anyway: the source runs as moves beside
    // the rewrite whatever its size, for speed.
    RewriteTuning tuning;
    tuning.sourceBesideBelowLines = std::numeric_limits<std::size_t>::max();
    const CheckedOutcome outcome = m_busy.RunBeside(
        [&] { return ExecuteCheckedRewrite(lines, settings, m_state, true, tuning); });
    if (!outcome.rewrite.completed) {
        const QString message = QString::fromUtf8(
            outcome.rewrite.message.data(), static_cast<qsizetype>(outcome.rewrite.message.size()));
        m_dialogs.ShowInformation(this, message);
        ShowFaultyLine(outcome.rewrite.refusedLine, LineMark::Refused, message);
        return;
    }
    const CheckReport &check = *outcome.check;
    if (check.HasErrors()) {
        // A result that would cut differently is refused like a line: the text stays, and
        // its lines the findings name are marked.
        m_dialogs.ShowInformation(this, CheckErrorText(check));
        MarkFindings(check, false);
        if (const Finding *first = check.FirstError(); first && first->sourceLine)
            ShowLine(static_cast<int>(*first->sourceLine));
        return;
    }
    // Every line ends in CR LF: the text box holds these very bytes, as MemoText gives them.
    const std::string result = m_state.outputLines.JoinCrLf();
    // Nothing reads the output lines any more: the text box holds them now.
    m_state.outputLines = LineList{};
    SetMemoText(result);
    m_lastRewrite = LastRewrite{result.size(), std::hash<std::string_view>()(result), m_undoText,
                                std::make_shared<const CheckReport>(check)};
    UpdatePreview();
    if (check.warningCount > 0) {
        m_dialogs.ShowWarning(this, CheckWarningsText(check));
        MarkFindings(check, true);
    }
    if (m_batchMode)
        close();
}

void TForm1::Button2Click()
{
    close();
}

void TForm1::Exit1Click()
{
    close();
}

void TForm1::Open1Click()
{
    const std::optional<QString> chosen =
        m_dialogs.ChooseOpenFile(this, FileFilter(), m_openLastName);
    if (!chosen)
        return;
    m_openLastName = *chosen;
    DecodedText text = m_busy.RunBeside([&] { return ReadProgramFile(*chosen); });
    SetMemoText(text.utf8);
    m_encoding = text.encoding;
    m_currentPath = QFileInfo(*chosen).absoluteFilePath();
}

void TForm1::save1Click()
{
    if (m_currentPath.isEmpty()) {
        Save2Click();
        return;
    }
    if (!m_dialogs.ConfirmOverwrite(this, m_currentPath + QStringLiteral("に上書きしますが?")))
        return;
    // The opened file is written in its own encoding; should that not hold the text, the
    // file is now UTF-8, and stays so for the next Overwrite.
    WriteMemoTo(m_currentPath, m_encoding);
}

void TForm1::Save2Click()
{
    const std::optional<QString> chosen =
        m_dialogs.ChooseSaveFile(this, FileFilter(), m_saveLastName);
    if (!chosen)
        return;
    m_saveLastName = *chosen;
    // A copy takes the text's encoding; what it falls back to is no concern of the open file.
    TextEncoding encoding = m_encoding;
    WriteMemoTo(*chosen, encoding);
}

void TForm1::N2Click()
{
    // Line breaks as the clipboard's plain text has them: LF.
    const std::string_view content = Memo1->Content();
    QString text = QString::fromUtf8(content.data(), static_cast<qsizetype>(content.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QGuiApplication::clipboard()->setText(text);
}

void TForm1::N4Click()
{
    // Every line of the snapshot followed by a line break, the last one too.
    std::string text;
    ReserveLarge(text, m_undoText->size() + 64);
    for (std::string_view line : SplitLines(*m_undoText)) {
        text.append(line);
        text.append("\r\n");
    }
    SetMemoText(text);
}

void TForm1::N5Click()
{
    SetMemoText({});
}

} // namespace korvane
