// The two-line result box RichEdit1: line 1 the sent group, line 2 the
// corrected answer, written in bold and in colour by the scoring.
#pragma once

#include <QTextEdit>

#include <string_view>

#include "checking/scoring.h"

namespace rivek {

class ResultBox : public QTextEdit, public ResultView {
    Q_OBJECT

public:
    explicit ResultBox(QWidget* parent = nullptr);

    // Removes all text; the insertion point goes to the start.
    void Clear() override;
    // Inserts code page 932 text at the insertion point in bold and in the
    // colour; CR LF (or a lone CR or LF) starts a new line. A byte that does
    // not form a character is shown as U+FFFD.
    void AppendBold(std::string_view text, Rgb colour) override;

private:
    QTextCursor insertion_;
};

}  // namespace rivek
