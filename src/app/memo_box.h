#pragma once

#include <QString>
#include <Qsci/qsciscintilla.h>
#include <cstddef>
#include <functional>
#include <map>
#include <string_view>

namespace korvane {

/// What the text box takes (its text as UTF-8 with CR LF line breaks). A larger text is
/// refused with a message. The box keeps about two bytes per byte of text and a few per
/// line; Scintilla lays out a whole line to show any part of it, so one very long line would
/// stall every repaint and keystroke on it.
inline constexpr std::size_t kMemoByteLimit = std::size_t{256} * 1024 * 1024;
inline constexpr std::size_t kMemoLineLimit = 5'000'000;
inline constexpr std::size_t kMemoLineLengthLimit = 100'000;
/// Wrapping measures every line of the text (some 35 us a line of 50 characters), and a caret moved
/// past the lines measured so far waits for all of them; a text of more lines is shown unwrapped,
/// with a horizontal scroll bar.
inline constexpr std::size_t kWrapLineLimit = 10'000;

/// The kinds of line marks, each with its own symbol in the margin and a faint background.
enum class LineMark { Refused, Error, Warning };

/// The text box of the NC program: Scintilla in UTF-8 with CR LF line breaks, line numbers, NC
/// colouring, word wrapping and a margin of line marks. Tab moves the focus on, as in every
/// other control of the window.
class MemoBox : public QsciScintilla {
    Q_OBJECT

public:
    explicit MemoBox(QWidget *parent = nullptr);

    /// The text as the box holds it (UTF-8; line breaks as loaded or typed). Valid until the
    /// text next changes.
    std::string_view Content() const;

    /// Replaces the whole text, with no undo history, caret at the start. `text` is UTF-8 with
    /// CR LF line breaks, `lines` its line count (which decides the wrapping). A large text goes
    /// in pieces, `progress` called after each with the share done (0 to 100).
    void SetContent(std::string_view text, std::size_t lines,
                    const std::function<void(int)> &progress);

    /// Marks the 0-based `line` (clamped to the text) in the margin; `tooltip` shows when the
    /// pointer rests on the mark. Marks go at the next change of the text.
    void MarkLine(int line, LineMark kind, const QString &tooltip);
    void ClearLineMarks();
    /// The tooltip of the marks on `line`; empty when it has none.
    QString LineMarkTooltip(int line) const;
    /// Puts the caret at the start of the 0-based `line` (clamped) and scrolls it into view.
    void ShowLine(int line);

    /// True while lines wider than the box are wrapped.
    bool Wrapping() const { return m_wrapping; }

signals:
    /// The text is about to change by an edit, or has been replaced.
    void edited();

protected:
    bool focusNextPrevChild(bool next) override;
    bool viewportEvent(QEvent *event) override;

private:
    void OnModified(int type, int length);
    void AfterUpdate();
    void SetWrapping(bool on);
    void FitNumberMargin();
    int ClampLine(int line) const;

    std::map<int, QString> m_markTooltips;
    bool m_wrapping = true;
    int m_numberDigits = 0;
};

} // namespace korvane
