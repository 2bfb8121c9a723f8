#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/busy_state.h"
#include "app/memo_box.h"
#include "app/user_dialogs.h"
#include "files/text_codec.h"
#include "model/working_state.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

namespace korvane {

struct CheckReport;
struct PreviewInput;
class ToolpathPreview;

/// The main window: the NC program in Memo1, the rewrite settings, Execute and the file and
/// edit commands. Every command runs through one guard that shows a failure in the error box;
/// what a command changed before it failed stays changed.
class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    /// Creates the window and runs FormCreate with the program's arguments (without the
    /// program name). `appDirOverride`, when not empty, is used as the folder of the settings
    /// and batch files instead of the executable's folder.
    TForm1(UserDialogs &dialogs, const QStringList &arguments,
           const QString &appDirOverride = QString(), QWidget *parent = nullptr);
    ~TForm1() override;

    /// Runs FormDestroy once: the batch output file, the settings file, the reset. Called when
    /// the event loop has ended.
    void FormDestroy();

    QString appDir() const { return m_appDir; }
    bool batchMode() const { return m_batchMode; }
    QString currentPath() const { return m_currentPath; }
    TextEncoding textEncoding() const { return m_encoding; }
    const WorkingState &workingState() const { return m_state; }

    /// The text of the text box with CR LF line breaks, in UTF-8.
    std::string MemoText() const;

    using LineMark = korvane::LineMark;
    /// Marks the 0-based `line` in the text box's margin; `tooltip` shows when the pointer
    /// rests on the mark. Marks go at the next change of the text or the next Execute.
    void MarkLine(int line, LineMark kind, const QString &tooltip);
    void ClearLineMarks();
    /// Puts the caret at the start of the 0-based `line` and scrolls it into view.
    void ShowLine(int line);

    // The controls, under their designer names (also their object names).
    MemoBox *Memo1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QCheckBox *CheckBoxOll = nullptr;
    QGroupBox *RadioGroup1 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *EditKakutyousi = nullptr;
    QMenu *File1 = nullptr;
    QMenu *N3 = nullptr;
    QAction *Open1 = nullptr;
    QAction *save1 = nullptr;
    QAction *Save2 = nullptr;
    QAction *N1 = nullptr;
    QAction *Exit1 = nullptr;
    QAction *N2 = nullptr;
    QAction *N4 = nullptr;
    QAction *N5 = nullptr;
    // The view menu and its toolpath preview, beside the menus the window was designed with.
    QMenu *ViewMenu = nullptr;
    QAction *ViewToolpath = nullptr;

    /// The toolpath preview, once it has been opened.
    ToolpathPreview *preview() const { return m_preview; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateControls();
    void CreateMenus();
    void ConnectCommands();
    void Guard(const std::function<void()> &command);

    void FormCreate(const QStringList &arguments, const QString &appDirOverride);
    void Button1Click();
    void Button2Click();
    void Open1Click();
    void save1Click();
    void Save2Click();
    void Exit1Click();
    void N2Click();
    void N4Click();
    void N5Click();

    int MirrorIndex() const;
    QString FileFilter() const;
    void SetMemoText(std::string_view utf8);
    void WriteMemoTo(const QString &path, TextEncoding &encoding);
    void ShowFaultyLine(std::size_t line, LineMark kind, const QString &message);
    void ViewToolpathClick();
    /// Gives the preview, when it is open, the text box's program to draw.
    void UpdatePreview();
    /// Marks the lines the check's findings name: the source's while the text box holds the
    /// source, the result's once it holds the result.
    void MarkFindings(const CheckReport &check, bool inResult);

    BusyState m_busy;
    PausingDialogs m_dialogs;
    QButtonGroup *m_mirrorButtons = nullptr;
    WorkingState m_state;
    // UTF-8 text as it stood when the last Execute started; shared with the preview.
    std::shared_ptr<const std::string> m_undoText = std::make_shared<const std::string>();
    QString m_currentPath;
    QString m_appDir;
    bool m_batchMode = false;
    bool m_destroyed = false;
    TextEncoding m_encoding = TextEncoding::Utf8; // of the file opened (typed text: UTF-8)
    QString m_openLastName;
    QString m_saveLastName;
    ToolpathPreview *m_preview = nullptr;
    QTimer *m_previewTimer = nullptr;
    // The last Execute's result (known by its size and hash, as the text box holds it), the
    // text before it and what the check found: the preview draws them while the text box
    // holds that result.
    struct LastRewrite {
        std::size_t size = 0;
        std::size_t hash = 0;
        std::shared_ptr<const std::string> before;
        std::shared_ptr<const CheckReport> check;
    };
    std::optional<LastRewrite> m_lastRewrite;
};

/// The text of the standard error box: a full stop is appended when the message's last
/// character sorts after ".".
QString ErrorBoxText(const QString &message);

struct Finding;
/// A finding as the window shows it: "12 行目: " and its message.
QString FindingText(const Finding &finding);
/// The box of a refused rewrite: what went wrong at the first error, and how many more.
QString CheckErrorText(const CheckReport &check);
/// The box after a rewrite with warnings: the first five, and how many more.
QString CheckWarningsText(const CheckReport &check);

} // namespace korvane
