// The two-line result box RichEdit1: line 1 the sent group, line 2 the
// corrected answer, written in bold and in colour by the scoring.
//
// Two things it adds to what the scoring asks for, so that the correction
// can always be read:
// - A cue that needs no colour vision: a red character (wrong or extra) is
//   also underlined, a blue one (missing) also struck through. The colour
//   carries the meaning in the scoring (kRed, kBlue in checking/scoring.h),
//   so the box keys the cue on it; black stays plain.
// - Room for both lines: when the two lines fit on one row each at the
//   box's own font they are shown at it, exactly as always. Otherwise the
//   content is shown at the largest smaller size at which they do, down to
//   kSmallestFontHeight, each line kept beside its label (正解, 添削); past
//   that the lines wrap at that size, and the box shows its start: line 1
//   and the start of line 2.
#pragma once

#include <QTextEdit>

#include <string_view>

#include "checking/scoring.h"

namespace rivek {

class ResultBox : public QTextEdit, public ResultView {
    Q_OBJECT

public:
    // The smallest font the content is shown at [pixels].
    static constexpr int kSmallestFontHeight = 9;

    explicit ResultBox(QWidget* parent = nullptr);

    // Removes all text; the insertion point goes to the start.
    void Clear() override;
    // Inserts code page 932 text at the insertion point in bold and in the
    // colour; CR LF (or a lone CR or LF) starts a new line. A byte that does
    // not form a character is shown as U+FFFD.
    void AppendBold(std::string_view text, Rgb colour) override;

    // Fits the content to the box now, if it changed since the last fit.
    // The box also does it by itself once control returns to the event
    // loop; the window calls it before it repaints at once.
    void FitContent();
    // The font height the content is shown at [pixels].
    int ContentFontHeight() const;

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Fits the content once control returns to the event loop.
    void ScheduleFit();
    // Whether every line of the content takes one row.
    bool EachLineOnOneRow() const;
    void SetContentFont(int pixelHeight);
    void SetLineMargins(qreal first, qreal second);
    // The content's font, bold, at a height [pixels].
    QFont BoldFont(int pixelHeight) const;
    // The height of a row of the content at a font height [pixels].
    qreal RowHeight(int pixelHeight) const;

    QTextCursor insertion_;
    bool fitPending_ = false;
};

}  // namespace rivek
