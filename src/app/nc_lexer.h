#pragma once

#include <Qsci/qscilexercustom.h>
#include <string>
#include <string_view>

namespace korvane {

/// The colour classes of NC text, numbered as the text box's styles.
enum class NcStyle : char {
    Default = 0,
    Comment = 1,    // from "(" or ";" to the end of the line
    GCode = 2,      // G words
    MCode = 3,      // M words
    Axis = 4,       // X, Y and Z words
    Arc = 5,        // I, J, K and R words
    Sequence = 6,   // N sequence numbers and the O program number
    Technology = 7, // F, S, T, H and D words
};
inline constexpr int kNcStyleCount = 8;

/// The style of every byte of `text` (one or more lines), as NcStyle values. A word is an
/// upper-case letter with the number characters (digits, "-", ".") that follow it, as the
/// parser reads it; everything from "(" or ";" to the end of its line is a comment.
std::string NcStyles(std::string_view text);

/// Colours NC programs in the text box. Lines are independent, so only the lines on screen
/// are styled: asked for everything from the last styled position to the screen (after a
/// jump to the end of a large program), it styles the screen alone and leaves the text before
/// it unstyled, to be asked for again when it comes into view.
class NcLexer : public QsciLexerCustom {
    Q_OBJECT

public:
    explicit NcLexer(QObject *parent = nullptr);

    const char *language() const override;
    QString description(int style) const override;
    QColor defaultColor(int style) const override;
    QColor defaultPaper(int style) const override;
    QFont defaultFont(int style) const override;
    void styleText(int start, int end) override;
};

} // namespace korvane
