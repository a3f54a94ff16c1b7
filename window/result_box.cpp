#include "window/result_box.h"

#include <QColor>
#include <QEvent>
#include <QFontMetricsF>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <cmath>

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
    ScheduleFit();
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
    // The cue that needs no colour vision: a line under what was typed
    // wrong or too many (an extra blank included), a line through what was
    // left out.
    format.setFontUnderline(colour == kRed);
    format.setFontStrikeOut(colour == kBlue);
    insertion_.insertText(shown, format);
    ScheduleFit();
}

void ResultBox::ScheduleFit() {
    if (fitPending_) return;
    fitPending_ = true;
    QTimer::singleShot(0, this, &ResultBox::FitContent);
}

void ResultBox::changeEvent(QEvent* event) {
    QTextEdit::changeEvent(event);
    // A new font of the box becomes the document's font: fit again.
    if (event->type() == QEvent::FontChange) ScheduleFit();
}

void ResultBox::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    ScheduleFit();
}

int ResultBox::ContentFontHeight() const { return document()->defaultFont().pixelSize(); }

void ResultBox::SetContentFont(int pixelHeight) {
    QFont content = font();
    content.setPixelSize(pixelHeight);
    if (document()->defaultFont() != content) document()->setDefaultFont(content);
}

void ResultBox::SetLineMargins(qreal first, qreal second) {
    int line = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next(), ++line) {
        const qreal margin = line == 0 ? first : line == 1 ? second : 0;
        if (block.blockFormat().topMargin() == margin) continue;
        QTextBlockFormat format = block.blockFormat();
        format.setTopMargin(margin);
        QTextCursor(block).setBlockFormat(format);
    }
}

bool ResultBox::EachLineOnOneRow() const {
    document()->size();  // lays the whole document out
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.layout()->lineCount() > 1) return false;
    }
    return true;
}

qreal ResultBox::RowHeight(int pixelHeight) const {
    // The layout gives a row the font's height rounded up to whole pixels.
    return std::ceil(QFontMetricsF(BoldFont(pixelHeight)).height());
}

QFont ResultBox::BoldFont(int pixelHeight) const {
    QFont bold = font();
    bold.setPixelSize(pixelHeight);
    bold.setBold(true);
    return bold;
}

void ResultBox::FitContent() {
    if (!fitPending_) return;
    fitPending_ = false;
    const int boxFontHeight = font().pixelSize();
    SetLineMargins(0, 0);

    // A first guess from the widest line as the font measures it: the box's
    // own font when the lines clearly fit or nearly do, otherwise the size
    // that scales the widest line to the box. The layout then decides, one
    // size smaller at a time. A line far too long for any size is laid out
    // once, at the smallest.
    const QFontMetricsF metrics(BoldFont(boxFontHeight));
    qreal widest = 1;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        widest = std::max(widest, metrics.horizontalAdvance(block.text()));
    }
    const qreal width = document()->textWidth() - 2 * document()->documentMargin();
    int height = boxFontHeight;
    if (widest > width * 1.1 && boxFontHeight > kSmallestFontHeight) {
        height = static_cast<int>(std::floor(boxFontHeight * width / widest)) + 1;
        height = std::clamp(height, kSmallestFontHeight, boxFontHeight - 1);
    }
    SetContentFont(height);
    while (height > kSmallestFontHeight && !EachLineOnOneRow()) SetContentFont(--height);

    if (height < boxFontHeight) {
        // Line 1 in the middle of the row it has at the box's font, beside
        // its label. Line 2 likewise when it takes one row; a line 2 that
        // wraps ends at the bottom of the box, or follows line 1 directly
        // when it is taller than the room left, so that its start shows.
        const qreal boxRow = RowHeight(boxFontHeight);
        const qreal row = RowHeight(height);
        const qreal firstMargin = (boxRow - row) / 2;
        qreal secondMargin = boxRow - row;
        if (!EachLineOnOneRow()) {
            const QTextBlock second = document()->begin().next();
            const qreal secondHeight = second.isValid() ? second.layout()->boundingRect().height() : 0;
            const qreal room = viewport()->height() - 2 * document()->documentMargin() - firstMargin - row;
            secondMargin = std::clamp(room - secondHeight, qreal{0}, secondMargin);
        }
        SetLineMargins(firstMargin, secondMargin);
    }
    // Line 1 and the start of line 2 are in view.
    verticalScrollBar()->setValue(0);
}

}  // namespace rivek
