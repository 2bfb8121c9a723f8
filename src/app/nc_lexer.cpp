#include "app/nc_lexer.h"

#include <Qsci/qsciscintilla.h>
#include <algorithm>

namespace korvane {
namespace {

bool IsNumberChar(char c)
{
    return (c >= '0' && c <= '9') || c == '-' || c == '.';
}

NcStyle WordStyle(char letter)
{
    switch (letter) {
    case 'G':
        return NcStyle::GCode;
    case 'M':
        return NcStyle::MCode;
    case 'X':
    case 'Y':
    case 'Z':
        return NcStyle::Axis;
    case 'I':
    case 'J':
    case 'K':
    case 'R':
        return NcStyle::Arc;
    case 'N':
    case 'O':
        return NcStyle::Sequence;
    case 'F':
    case 'S':
    case 'T':
    case 'H':
    case 'D':
        return NcStyle::Technology;
    default:
        return NcStyle::Default;
    }
}

// Lines above and below the screen styled with it, so that scrolling by a little finds them
// ready.
constexpr long kLinesAroundScreen = 20;

} // namespace

std::string NcStyles(std::string_view text)
{
    std::string styles(text.size(), static_cast<char>(NcStyle::Default));
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (c == '(' || c == ';') {
            const std::size_t end = std::min(text.find_first_of("\r\n", i), n);
            std::fill(styles.begin() + static_cast<std::ptrdiff_t>(i),
                      styles.begin() + static_cast<std::ptrdiff_t>(end),
                      static_cast<char>(NcStyle::Comment));
            i = end;
            continue;
        }
        const NcStyle style = WordStyle(c);
        std::size_t end = i + 1;
        while (end < n && IsNumberChar(text[end]))
            ++end;
        if (style != NcStyle::Default)
            std::fill(styles.begin() + static_cast<std::ptrdiff_t>(i),
                      styles.begin() + static_cast<std::ptrdiff_t>(end), static_cast<char>(style));
        i = end;
    }
    return styles;
}

NcLexer::NcLexer(QObject *parent) : QsciLexerCustom(parent) {}

const char *NcLexer::language() const
{
    return "NC";
}

QString NcLexer::description(int style) const
{
    switch (static_cast<NcStyle>(style)) {
    case NcStyle::Default:
        return QStringLiteral("Default");
    case NcStyle::Comment:
        return QStringLiteral("Comment");
    case NcStyle::GCode:
        return QStringLiteral("G code");
    case NcStyle::MCode:
        return QStringLiteral("M code");
    case NcStyle::Axis:
        return QStringLiteral("Axis word");
    case NcStyle::Arc:
        return QStringLiteral("Arc word");
    case NcStyle::Sequence:
        return QStringLiteral("Sequence number");
    case NcStyle::Technology:
        return QStringLiteral("Feed, speed and tool word");
    }
    return QString();
}

QColor NcLexer::defaultColor(int style) const
{
    // Muted colours of similar weight on white, so that no class shouts over the others.
    switch (static_cast<NcStyle>(style)) {
    case NcStyle::Default:
        return QColor(0x20, 0x20, 0x20);
    case NcStyle::Comment:
        return QColor(0x80, 0x80, 0x80);
    case NcStyle::GCode:
        return QColor(0x1f, 0x5a, 0x9e);
    case NcStyle::MCode:
        return QColor(0x86, 0x3d, 0x86);
    case NcStyle::Axis:
        return QColor(0x2e, 0x6e, 0x3e);
    case NcStyle::Arc:
        return QColor(0x2a, 0x7a, 0x7a);
    case NcStyle::Sequence:
        return QColor(0x96, 0x84, 0x64);
    case NcStyle::Technology:
        return QColor(0xa8, 0x5a, 0x1e);
    }
    return QsciLexerCustom::defaultColor(style);
}

QColor NcLexer::defaultPaper(int) const
{
    return Qt::white;
}

QFont NcLexer::defaultFont(int) const
{
    // One font for every class: the widths, and so the wrapping, never depend on the colouring.
    return QsciLexerCustom::defaultFont();
}

void NcLexer::styleText(int start, int end)
{
    QsciScintilla *box = editor();
    if (box == nullptr || end <= start)
        return;
    const long firstShown =
        box->SendScintilla(QsciScintilla::SCI_DOCLINEFROMVISIBLE,
                           box->SendScintilla(QsciScintilla::SCI_GETFIRSTVISIBLELINE));
    const long lastShown = firstShown + box->SendScintilla(QsciScintilla::SCI_LINESONSCREEN);
    const long from = std::max<long>(
        start, box->SendScintilla(
                   QsciScintilla::SCI_POSITIONFROMLINE,
                   static_cast<unsigned long>(std::max(0L, firstShown - kLinesAroundScreen))));
    const long lastLine = std::min(lastShown + kLinesAroundScreen,
                                   box->SendScintilla(QsciScintilla::SCI_GETLINECOUNT) - 1);
    const long to = std::min<long>(end, box->SendScintilla(QsciScintilla::SCI_GETLINEENDPOSITION,
                                                           static_cast<unsigned long>(lastLine)));
    if (from >= to)
        return;

    const QByteArray text = box->bytes(static_cast<int>(from), static_cast<int>(to));
    const std::string styles =
        NcStyles(std::string_view(text.constData(), static_cast<std::size_t>(to - from)));
    startStyling(static_cast<int>(from));
    for (std::size_t i = 0; i < styles.size();) {
        std::size_t run = i + 1;
        while (run < styles.size() && styles[run] == styles[i])
            ++run;
        setStyling(static_cast<int>(run - i), styles[i]);
        i = run;
    }
    // Text skipped before the screen stays unstyled, and Scintilla asks for it again.
    if (from > start)
        startStyling(start);
}

} // namespace korvane
