#include "window/result_box.h"

#include <QColor>
#include <QTextCharFormat>

#include "platform/shift_jis.h"

namespace rivek {

ResultBox::ResultBox(QWidget* parent) : QTextEdit(parent), insertion_(document()) {
    setReadOnly(true);
    setAcceptRichText(false);
    // Read-only, yet a tab stop: Tab moves on instead of being typed.
    setTabChangesFocus(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // A line wider than the box breaks at any character. Qt's default, which
    // looks for a word boundary first, lays out one long word in time
    // quadratic in its length: a 32,767-byte answer without a blank froze
    // the window for seconds at every trial.
    setWordWrapMode(QTextOption::WrapAnywhere);
}

void ResultBox::Clear() {
    clear();
    insertion_ = QTextCursor(document());
    insertion_.setCharFormat(QTextCharFormat());
}

void ResultBox::AppendBold(std::string_view text, Rgb colour) {
    QString shown = QString::fromUtf8(Cp932ToUtf8(text));
    // QTextCursor makes each LF a new block (line); a CR on its own would be
    // drawn as a glyph, so CR LF and a lone CR become one LF each.
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');

    QTextCharFormat format;
    format.setFontWeight(QFont::Bold);
    format.setForeground(QColor(colour.red, colour.green, colour.blue));
    insertion_.insertText(shown, format);
}

}  // namespace rivek
