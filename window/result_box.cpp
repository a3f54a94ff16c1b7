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

qreal ResultBox::RowHeight() const {
    document()->size();
    const QTextLayout* layout = document()->begin().layout();
    if (layout->lineCount() > 0) return layout->lineAt(0).height();
    return QFontMetricsF(document()->defaultFont()).height();
}

void ResultBox::FitContent() {
    if (!fitPending_) return;
    fitPending_ = false;
    const int designHeight = font().pixelSize();
    SetLineMargins(0, 0);
    SetContentFont(designHeight);
    if (!EachLineOnOneRow() && designHeight > kSmallestFontHeight) {
        const qreal designRow = RowHeight();
        // A first guess from the widest line's width at the box's font, then
        // smaller sizes until each line takes one row.
        QFont bold = font();
        bold.setBold(true);
        const QFontMetricsF metrics(bold);
        qreal widest = 1;
        for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
            widest = std::max(widest, metrics.horizontalAdvance(block.text()));
        }
        const qreal width = document()->textWidth() - 2 * document()->documentMargin();
        int height = static_cast<int>(std::floor(designHeight * width / widest)) + 1;
        height = std::clamp(height, kSmallestFontHeight, designHeight - 1);
        SetContentFont(height);
        while (height > kSmallestFontHeight && !EachLineOnOneRow()) SetContentFont(--height);

        // Line 1 in the middle of the row it has at the box's font, beside
        // its label. Line 2 likewise when it takes one row; a line 2 that
        // wraps ends at the bottom of the box, or follows line 1 directly
        // when it is taller than the room left, so that its start shows.
        const qreal row = RowHeight();
        const qreal firstMargin = (designRow - row) / 2;
        qreal secondMargin = designRow - row;
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
