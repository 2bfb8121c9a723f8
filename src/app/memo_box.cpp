#include "app/memo_box.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QToolTip>
#include <algorithm>
#include <cstring>

#include "app/nc_lexer.h"

namespace korvane {
namespace {

// Marker numbers: a symbol in the mark margin, and a background in the text, per kind.
constexpr int kSymbolMarker[] = {0, 1, 2};
constexpr int kBackgroundMarker[] = {3, 4, 5};
constexpr int kNumberMargin = 0;
constexpr int kMarkMargin = 1;
constexpr int kMarkMarginWidth = 14;

// Changes reported to the box: only those announced before they happen. QScintilla answers
// the reports after an insertion or deletion by counting the characters from the start of the
// text, for assistive technology: a cost per keystroke that grows with the program.
constexpr long kEditEvents =
    QsciScintillaBase::SC_MOD_BEFOREINSERT | QsciScintillaBase::SC_MOD_BEFOREDELETE;

// Pieces in which a large text goes into the box, so that the window can repaint in between.
constexpr std::size_t kPieceBytes = std::size_t{8} * 1024 * 1024;

int Index(LineMark kind)
{
    return static_cast<int>(kind);
}

// QScintilla's own accessible interface counts characters from the start of the text at every
// caret move; the box presents itself as a plain editable widget instead.
QAccessibleInterface *PlainMemoAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("korvane::MemoBox") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::EditableText);
    return nullptr;
}

// Wrapping that stopped for an insertion resumes once the text is this many lines below the
// limit, so that typing at the limit does not switch it on and off at every key.
constexpr std::size_t kWrapResumeLines = 1000;

} // namespace

MemoBox::MemoBox(QWidget *parent) : QsciScintilla(parent)
{
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(PlainMemoAccessible);
        return true;
    }();
    Q_UNUSED(accessibleInstalled);

    setUtf8(true);
    setEolMode(EolWindows);
    SendScintilla(SCI_SETMODEVENTMASK, kEditEvents);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setCaretLineVisible(false);

    auto *lexer = new NcLexer(this);
    lexer->setDefaultFont(font());
    lexer->setFont(font());
    setLexer(lexer);

    setMarginsFont(font());
    setMarginsBackgroundColor(QColor(0xf2, 0xf2, 0xf2));
    setMarginsForegroundColor(QColor(0x90, 0x90, 0x90));
    setMarginType(kNumberMargin, NumberMargin);
    setMarginLineNumbers(kNumberMargin, true);
    setMarginType(kMarkMargin, SymbolMargin);
    setMarginWidth(kMarkMargin, kMarkMarginWidth);
    setMarginMarkerMask(kMarkMargin, (1 << kSymbolMarker[0]) | (1 << kSymbolMarker[1]) |
                                         (1 << kSymbolMarker[2]));
    setMarginSensitivity(kMarkMargin, false);
    setMarginWidth(2, 0);

    const struct {
        MarkerSymbol symbol;
        QColor colour;
        QColor background;
    } looks[] = {
        {Circle, QColor(0xc0, 0x39, 0x2b), QColor(0xfb, 0xe8, 0xe6)},        // Refused
        {Rectangle, QColor(0xd3, 0x6b, 0x10), QColor(0xfc, 0xef, 0xe3)},     // Error
        {RightTriangle, QColor(0xc9, 0x9a, 0x12), QColor(0xfb, 0xf6, 0xdc)}, // Warning
    };
    for (int kind = 0; kind < 3; ++kind) {
        markerDefine(looks[kind].symbol, kSymbolMarker[kind]);
        setMarkerBackgroundColor(looks[kind].colour, kSymbolMarker[kind]);
        setMarkerForegroundColor(looks[kind].colour.darker(130), kSymbolMarker[kind]);
        markerDefine(Background, kBackgroundMarker[kind]);
        setMarkerBackgroundColor(looks[kind].background, kBackgroundMarker[kind]);
    }

    SetWrapping(true);
    FitNumberMargin();

    connect(this,
            qOverload<int, int, const char *, int, int, int, int, int, int, int>(
                &QsciScintillaBase::SCN_MODIFIED),
            this, [this](int, int type, const char *, int length, int, int, int, int, int, int) {
                OnModified(type, length);
            });
    // Reported while the box paints: the margin and the wrapping change after it.
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, &MemoBox::AfterUpdate,
            Qt::QueuedConnection);
}

std::string_view MemoBox::Content() const
{
    const auto *text = static_cast<const char *>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return std::string_view(text, static_cast<std::size_t>(SendScintilla(SCI_GETLENGTH)));
}

void MemoBox::SetContent(std::string_view text, std::size_t lines,
                         const std::function<void(int)> &progress)
{
    ClearLineMarks();
    // Loaded in one undoable step, the text would be copied into the undo history; and the
    // change reports would copy every piece.
    SendScintilla(SCI_SETMODEVENTMASK, 0L);
    SendScintilla(SCI_SETUNDOCOLLECTION, 0L);
    SendScintilla(SCI_CLEARALL);
    SetWrapping(lines <= kWrapLineLimit);
    for (std::size_t done = 0; done < text.size();) {
        std::size_t end = std::min(text.size(), done + kPieceBytes);
        if (end < text.size()) {
            // A piece ends after a line break, never inside a character or a CR LF pair.
            const std::size_t lf = text.find('\n', end);
            end = lf == std::string_view::npos ? text.size() : lf + 1;
        }
        SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(end - done), text.data() + done);
        done = end;
        if (progress && done < text.size())
            progress(static_cast<int>(done * 100 / text.size()));
    }
    SendScintilla(SCI_SETUNDOCOLLECTION, 1L);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETMODEVENTMASK, kEditEvents);
    SendScintilla(SCI_GOTOPOS, 0L);
    FitNumberMargin();
    emit edited();
}

void MemoBox::MarkLine(int line, LineMark kind, const QString &tooltip)
{
    line = ClampLine(line);
    markerAdd(line, kSymbolMarker[Index(kind)]);
    markerAdd(line, kBackgroundMarker[Index(kind)]);
    QString &text = m_markTooltips[line];
    if (!text.isEmpty())
        text += QLatin1Char('\n');
    text += tooltip;
}

void MemoBox::ClearLineMarks()
{
    if (m_markTooltips.empty())
        return;
    m_markTooltips.clear();
    markerDeleteAll();
}

QString MemoBox::LineMarkTooltip(int line) const
{
    const auto found = m_markTooltips.find(line);
    return found == m_markTooltips.end() ? QString() : found->second;
}

void MemoBox::ShowLine(int line)
{
    line = ClampLine(line);
    const long first =
        SendScintilla(SCI_DOCLINEFROMVISIBLE, SendScintilla(SCI_GETFIRSTVISIBLELINE));
    const long onScreen = SendScintilla(SCI_LINESONSCREEN);
    SendScintilla(SCI_GOTOLINE, static_cast<unsigned long>(line));
    // A line brought from off the screen lands in the middle of it, with its context around.
    if (line < first || line >= first + onScreen)
        SendScintilla(SCI_VERTICALCENTRECARET);
    setFocus();
}

bool MemoBox::focusNextPrevChild(bool next)
{
    // QScintilla keeps Tab for indenting; NC programs have no use for tab characters, so its
    // own handling is passed over on purpose.
    return QAbstractScrollArea::focusNextPrevChild(next); // NOLINT(bugprone-parent-virtual-call)
}

bool MemoBox::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const long marginStart = SendScintilla(SCI_GETMARGINWIDTHN, kNumberMargin);
        const long textStart = marginStart + SendScintilla(SCI_GETMARGINWIDTHN, kMarkMargin);
        QString tooltip;
        if (help->pos().x() >= marginStart && help->pos().x() < textStart) {
            const long position =
                SendScintilla(SCI_POSITIONFROMPOINT, static_cast<unsigned long>(textStart),
                              static_cast<long>(help->pos().y()));
            const long line =
                SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
            const long top = SendScintilla(SCI_POINTYFROMPOSITION, 0UL,
                                           SendScintilla(SCI_POSITIONFROMLINE, line));
            const long height =
                SendScintilla(SCI_TEXTHEIGHT, line) * SendScintilla(SCI_WRAPCOUNT, line);
            if (help->pos().y() >= top && help->pos().y() < top + height)
                tooltip = LineMarkTooltip(static_cast<int>(line));
        }
        if (tooltip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tooltip, viewport());
        return true;
    }
    return QsciScintilla::viewportEvent(event);
}

void MemoBox::OnModified(int type, int length)
{
    if (type & (SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE)) {
        ClearLineMarks();
        emit edited();
    }
    // An insertion that could take the text past the limit (every byte of it a line break)
    // stops the wrapping before it arrives: after it, the caret would wait for all lines.
    if ((type & SC_MOD_BEFOREINSERT) && m_wrapping &&
        static_cast<std::size_t>(lines()) + static_cast<std::size_t>(length) > kWrapLineLimit)
        SetWrapping(false);
}

void MemoBox::AfterUpdate()
{
    FitNumberMargin();
    if (!m_wrapping && static_cast<std::size_t>(lines()) + kWrapResumeLines <= kWrapLineLimit)
        SetWrapping(true);
}

void MemoBox::SetWrapping(bool on)
{
    m_wrapping = on;
    SendScintilla(SCI_SETWRAPMODE, on ? SC_WRAP_WORD : SC_WRAP_NONE);
    // Layouts of the screen only: keeping one per line of the text costs hundreds of bytes a
    // line, and QScintilla asks for that whenever it wraps.
    SendScintilla(SCI_SETLAYOUTCACHE, SC_CACHE_PAGE);
    SendScintilla(SCI_SETHSCROLLBAR, on ? 0L : 1L);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1L);
    if (!on)
        SendScintilla(SCI_SETSCROLLWIDTH, 1L);
}

void MemoBox::FitNumberMargin()
{
    int digits = 3;
    for (long count = SendScintilla(SCI_GETLINECOUNT); count >= 1000; count /= 10)
        ++digits;
    if (digits == m_numberDigits)
        return;
    m_numberDigits = digits;
    const long width = SendScintilla(SCI_TEXTWIDTH, static_cast<unsigned long>(STYLE_LINENUMBER),
                                     QByteArray(digits, '9').constData());
    SendScintilla(SCI_SETMARGINWIDTHN, static_cast<unsigned long>(kNumberMargin), width + 6);
}

int MemoBox::ClampLine(int line) const
{
    return std::clamp(line, 0, std::max(0, lines() - 1));
}

} // namespace korvane
