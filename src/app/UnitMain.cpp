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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTextDocument>
#include <algorithm>
#include <cstring>

#include "app/settings_file.h"
#include "app/user_dialogs.h"
#include "files/file_error.h"
#include "files/text_file.h"
#include "model/errors.h"
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
    return ReadTextFile(path, static_cast<std::size_t>(kMemoCharacterLimit) * 3);
}

} // namespace

QString FindingText(const Finding &finding)
{
    const QString message = QString::fromStdString(finding.message);
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
        text += QStringLiteral("\n\n（ほかに %1 件）").arg(check.warningCount - static_cast<std::size_t>(shown));
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
    : QMainWindow(parent), m_dialogs(dialogs)
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

    Memo1 = new QPlainTextEdit(client);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, 0, kMemoWidth, kClientHeight);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Memo1->setTabChangesFocus(true);

    Button1 = new QPushButton(QStringLiteral("実行"), client);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(300, 266, 97, 33);
    Button1->setAutoDefault(false);

    Button2 = new QPushButton(QStringLiteral("終了"), client);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(301, 312, 97, 33);
    Button2->setAutoDefault(false);

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
    auto action = [this](QMenu *menu, const char *name, const char *caption) {
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
}

void TForm1::Guard(const std::function<void()> &command)
{
    // The one place where a command's failure is caught: it ends the command, and the user
    // sees its message; nothing the command already changed is rolled back.
    try {
        command();
    } catch (const KorvaneError &error) {
        m_dialogs.ShowError(isVisible() ? this : nullptr,
                            ErrorBoxText(QString::fromUtf8(error.what())));
    } catch (const std::bad_alloc &) {
        m_dialogs.ShowError(isVisible() ? this : nullptr,
                            ErrorBoxText(QStringLiteral("メモリが不足しています")));
    }
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
        DecodedText text = ReadProgramFile(path);
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
        m_undoText = std::string();
    });
}

std::string TForm1::MemoText() const
{
    // Paragraph separators (and the line separators Shift+Return types) are the text's own
    // line breaks; wrapped rows are not. Both are three bytes in UTF-8: E2 80 A9 and E2 80 A8.
    const QByteArray utf8 = Memo1->document()->toRawText().toUtf8();
    std::string text;
    text.reserve(static_cast<std::size_t>(utf8.size()));
    const char *p = utf8.constData();
    const char *const end = p + utf8.size();
    while (p < end) {
        const auto *mark =
            static_cast<const char *>(std::memchr(p, '\xE2', static_cast<std::size_t>(end - p)));
        if (mark == nullptr || end - mark < 3) {
            text.append(p, end);
            break;
        }
        text.append(p, mark);
        if (mark[1] == '\x80' && (mark[2] == '\xA9' || mark[2] == '\xA8'))
            text.append("\r\n");
        else
            text.append(mark, 3);
        p = mark + 3;
    }
    return text;
}

void TForm1::SetMemoText(std::string_view utf8)
{
    // Every CR LF, lone CR and lone LF becomes one line break of the text box.
    std::string text;
    text.reserve(utf8.size());
    std::size_t from = 0;
    for (std::size_t cr; (cr = utf8.find('\r', from)) != std::string_view::npos;) {
        text.append(utf8.substr(from, cr - from)).push_back('\n');
        from = cr + (cr + 1 < utf8.size() && utf8[cr + 1] == '\n' ? 2 : 1);
    }
    text.append(utf8.substr(from));

    // Count the lines and find the longest before anything changes.
    qsizetype lines = 1;
    std::size_t longest = 0;
    for (std::size_t start = 0;;) {
        const std::size_t lf = text.find('\n', start);
        const std::size_t end = lf == std::string::npos ? text.size() : lf;
        longest = std::max(longest, end - start);
        if (lf == std::string::npos)
            break;
        ++lines;
        start = lf + 1;
    }
    if (lines > kMemoLineLimit || static_cast<qsizetype>(text.size()) > kMemoCharacterLimit * 3)
        throw FileError::TooLarge();
    // A byte-order mark stays in the text (QString::fromUtf8 would drop it), so that a file
    // comes back byte for byte and reads as korvane-cli reads it.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString converted =
        decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (converted.size() > kMemoCharacterLimit)
        throw FileError::TooLarge();
    Memo1->setWordWrapMode(static_cast<qsizetype>(longest) > kWrapAnywhereLineLimit
                               ? QTextOption::WordWrap
                               : QTextOption::WrapAtWordBoundaryOrAnywhere);
    Memo1->setPlainText(converted);
}

void TForm1::WriteMemoTo(const QString &path, TextEncoding &encoding)
{
    WriteTextFile(path, MemoText(), encoding);
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
    N4->setEnabled(true);
    m_undoText = MemoText();
    const std::vector<std::string_view> lines = SplitLines(m_undoText);
    RewriteSettings settings;
    settings.wholeProgram = CheckBoxOll->isChecked();
    settings.mirrorAxis = static_cast<MirrorAxis>(MirrorIndex());

    const CheckedOutcome outcome = ExecuteCheckedRewrite(lines, settings, m_state);
    if (!outcome.rewrite.completed) {
        m_dialogs.ShowInformation(
            this, QString::fromUtf8(outcome.rewrite.message.data(),
                                    static_cast<qsizetype>(outcome.rewrite.message.size())));
        return;
    }
    const CheckReport &check = *outcome.check;
    if (check.HasErrors()) {
        // A result that would cut differently is refused like a line: the text stays.
        m_dialogs.ShowInformation(this, CheckErrorText(check));
        return;
    }
    SetMemoText(m_state.outputLines.JoinCrLf());
    if (check.warningCount > 0)
        m_dialogs.ShowWarning(this, CheckWarningsText(check));
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
    DecodedText text = ReadProgramFile(*chosen);
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
    QString text = Memo1->document()->toRawText();
    text.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    text.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
    QGuiApplication::clipboard()->setText(text);
}

void TForm1::N4Click()
{
    // Every line of the snapshot followed by a line break, the last one too.
    std::string text;
    text.reserve(m_undoText.size() + 64);
    for (std::string_view line : SplitLines(m_undoText)) {
        text.append(line);
        text.append("\n");
    }
    SetMemoText(text);
}

void TForm1::N5Click()
{
    Memo1->clear();
}

} // namespace korvane
