// The result box when its two lines do not fit at its own font (a group of
// wide letters, a long answer), and the correction read without colour.
// Screenshots go to the folder RIVEK_SCREENSHOT_DIR; the tests print it.
#include "window/window_test.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QInputMethodEvent>
#include <QScrollBar>
#include <QTextLayout>

#include <cmath>
#include <filesystem>
#include <iostream>

#include "platform/shift_jis.h"
#include "window/result_box.h"

namespace rivek {
namespace {

using namespace rivek::testing;

// Saves a picture into the screenshot folder and returns its path.
QString SaveScreenshot(const QImage& image, const char* name) {
    std::filesystem::create_directories(RIVEK_SCREENSHOT_DIR);
    const QString path = QStringLiteral(RIVEK_SCREENSHOT_DIR "/") + QString::fromLatin1(name) + ".png";
    EXPECT_TRUE(image.save(path)) << path.toStdString();
    std::cout << "[ screenshot ] " << path.toStdString() << '\n';
    return path;
}

// The rows of the result box as the user sees them, in the coordinates of
// the window's client area.
struct Row {
    int top = 0;
    int bottom = 0;  // one past the last pixel
    int Centre() const { return (top + bottom) / 2; }
};

// A line stands beside a label when the middle of the one lies within the
// height of the other.
bool Beside(const Row& line, const Row& label) {
    auto within = [](int y, const Row& row) { return y >= row.top && y < row.bottom; };
    const bool beside = within(label.Centre(), line) || within(line.Centre(), label);
    if (!beside) {
        ADD_FAILURE() << "line " << line.top << "-" << line.bottom << ", label " << label.top << "-" << label.bottom;
    }
    return beside;
}

class ResultBoxTest : public WindowTest {
protected:
    ResultBox* Box() const { return Find<ResultBox>("RichEdit1"); }

    // The first row of line `line` (0 or 1) and the last row of the line.
    std::pair<Row, Row> LineRows(int line) const {
        ResultBox* box = Box();
        const QTextBlock block = box->document()->findBlockByNumber(line);
        QTextCursor first(block);
        QTextCursor last(block);
        last.movePosition(QTextCursor::EndOfBlock);
        auto toClient = [&](const QRect& caret) {
            const QPoint top = box->viewport()->mapTo(form_->centralWidget(), caret.topLeft());
            return Row{top.y(), top.y() + caret.height()};
        };
        return {toClient(box->cursorRect(first)), toClient(box->cursorRect(last))};
    }
    Row Viewport() const {
        const QWidget* viewport = Box()->viewport();
        const QPoint top = viewport->mapTo(form_->centralWidget(), QPoint(0, 0));
        return {top.y(), top.y() + viewport->height()};
    }
    Row LabelRows(const char* name) const {
        const QRect geometry = Find<QWidget>(name)->geometry();
        return {geometry.top(), geometry.bottom() + 1};
    }

    // Runs one trial through the window: Enter sends the group; the answer
    // is committed as an input method does, Enter scores it.
    void Trial(const std::function<QString(const std::string& sent)>& answer) {
        auto* edit = Find<QLineEdit>("Edit1");
        PressEnter(edit);
        QInputMethodEvent event;
        event.setCommitString(answer(controller_->SentText()));
        QApplication::sendEvent(edit, &event);
        PressEnter(edit);
    }
};

TEST_F(ResultBoxTest, TwoLinesThatFitKeepTheBoxsFontAndPlaces) {
    WriteFile("Rivek.ini", "800\r\n100\r\n8\r\n");
    Open();
    Trial([](const std::string& sent) { return QString::fromStdString(sent.substr(0, 6)) + "XY"; });
    EXPECT_EQ(Box()->ContentFontHeight(), 16);
    EXPECT_EQ(Box()->ContentFontHeight(), Box()->font().pixelSize());
    for (QTextBlock block = Box()->document()->begin(); block.isValid(); block = block.next()) {
        EXPECT_EQ(block.blockFormat().topMargin(), 0);
        EXPECT_EQ(block.layout()->lineCount(), 1);
    }
    // Line 1 beside 正解, line 2 beside 添削, both wholly in view.
    const auto [sentRow, sentEnd] = LineRows(0);
    const auto [answerRow, answerEnd] = LineRows(1);
    EXPECT_GE(sentRow.top, Viewport().top);
    EXPECT_LE(answerRow.bottom, Viewport().bottom);
    EXPECT_EQ(sentRow.top, sentEnd.top);
    EXPECT_EQ(answerRow.top, answerEnd.top);
    EXPECT_TRUE(Beside(sentRow, LabelRows("StaticText8")));
    EXPECT_TRUE(Beside(answerRow, LabelRows("StaticText9")));
    SaveScreenshot(form_->grab().toImage(), "result-box-8-letters");
}

TEST_F(ResultBoxTest, LinesThatDoNotFitAreMadeToFitAndStayBesideTheirLabels) {
    struct Case {
        const char* name;
        const char* charSet;      // Rivek.dat, UTF-8
        bool abbreviated;
        std::function<QString(const std::string& sent)> answer;
        bool fitsAtBoxFont;       // both lines fit at the box's own 16 pixels
        bool wraps;               // line 2 still wraps at the smallest font
    };
    const Case cases[] = {
        // Nothing typed: line 2 is the whole group, missing.
        {"result-box-15-W", "W", false, [](const std::string&) { return QString(); }, false, false},
        {"result-box-15-W-typed", "WMQ", false,
         [](const std::string& sent) { return QString::fromStdString(sent).replace(3, 2, "MM"); }, false, false},
        {"result-box-15-digits-abbreviated", "0123456789", true,
         [](const std::string& sent) { return QString::fromStdString(sent).replace(0, 3, U("ﾜﾇﾌ")); }, true,
         false},
        {"result-box-15-kana", "ｱｶｻﾀﾅﾊﾏﾔﾗﾜｦﾝﾞ", false,
         [](const std::string& sent) { return QString::fromUtf8(Cp932ToUtf8(sent)).left(12) + U("あかさ"); },
         true, false},
        {"result-box-40-character-answer", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", false,
         [](const std::string& sent) { return QString::fromStdString(sent) + "QWERTYUIOPASDFGHJKLZXCVBNM"; },
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("Rivek.ini", "800\r\n100\r\n15\r\n");
        WriteFile("Rivek.dat", std::string(c.charSet) + "\r\n");
        Open();
        if (c.abbreviated) Find<QCheckBox>("CheckBox1")->setChecked(true);
        Trial(c.answer);
        ASSERT_EQ(Box()->document()->blockCount(), 2);
        const QString shot = SaveScreenshot(form_->grab().toImage(), c.name);

        if (c.fitsAtBoxFont) {
            EXPECT_EQ(Box()->ContentFontHeight(), 16);
        } else {
            EXPECT_LT(Box()->ContentFontHeight(), 16);
        }
        EXPECT_GE(Box()->ContentFontHeight(), ResultBox::kSmallestFontHeight);
        const auto [sentRow, sentEnd] = LineRows(0);
        const auto [answerRow, answerEnd] = LineRows(1);
        // Line 1 on one row, and line 2 on one row unless it is too long
        // even for the smallest font; everything in view.
        EXPECT_EQ(sentRow.top, sentEnd.top);
        EXPECT_EQ(answerRow.top != answerEnd.top, c.wraps);
        if (c.wraps) {
            EXPECT_EQ(Box()->ContentFontHeight(), ResultBox::kSmallestFontHeight);
        }
        EXPECT_GE(sentRow.top, Viewport().top);
        EXPECT_LE(answerEnd.bottom, Viewport().bottom);
        EXPECT_EQ(Box()->verticalScrollBar()->value(), 0);
        // Each line beside its label.
        EXPECT_TRUE(Beside({sentRow.top, sentEnd.bottom}, LabelRows("StaticText8")));
        EXPECT_TRUE(Beside({answerRow.top, answerEnd.bottom}, LabelRows("StaticText9")));

        // A Reset brings the box's own font back.
        QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton);
        Box()->FitContent();
        EXPECT_EQ(Box()->ContentFontHeight(), 16);
        form_.reset();
    }
}

// What a grey picture shows about one character: a row dark across its
// whole width below the baseline (a line under it), or in the middle of its
// capital height (a line through it). A capital O or X has nothing below
// the baseline and no bar across its middle; the lines span the advance.
struct Cue {
    bool under = false;
    bool through = false;
    friend bool operator==(const Cue&, const Cue&) = default;
};

struct Cell {
    int left, right;       // columns, both inside the character's advance
    int top, bottom;       // the row, bottom exclusive
    qreal baseline;        // y of the baseline
    qreal capHeight;       // [pixels]
};

Cue CueOf(const QImage& grey, const Cell& cell) {
    Cue cue;
    for (int y = cell.top; y < cell.bottom; ++y) {
        bool allDark = true;
        for (int x = cell.left; x <= cell.right; ++x) allDark = allDark && qGray(grey.pixel(x, y)) < 160;
        if (!allDark) continue;
        const qreal aboveBaseline = cell.baseline - y;
        if (aboveBaseline < 0) cue.under = true;
        if (aboveBaseline > cell.capHeight * 0.25 && aboveBaseline < cell.capHeight * 0.75) cue.through = true;
    }
    return cue;
}

TEST_F(ResultBoxTest, RightWrongAndMissingDifferInGreyScale) {
    Open();
    ResultView& view = *form_;
    struct Case {
        const char* name;
        std::string sent;
        std::string extra;  // more of line 2 behind the three characters looked at
    };
    const Case cases[] = {
        {"result-box-grey", "OXO", ""},
        {"result-box-grey-small-font", "OXOOXOOXOOXOOXO", std::string(37, 'W')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Line 2: a right O, a wrong X, a missing O.
        view.Clear();
        view.AppendBold(" " + c.sent + "\r\n", kBlack);
        view.AppendBold(" ", kBlack);
        view.AppendBold("O", kBlack);
        view.AppendBold("X", kRed);
        view.AppendBold("O", kBlue);
        if (!c.extra.empty()) view.AppendBold(c.extra, kRed);
        Box()->FitContent();

        const QImage grey = Box()->viewport()->grab().toImage().convertToFormat(QImage::Format_Grayscale8);
        SaveScreenshot(form_->grab().toImage().convertToFormat(QImage::Format_Grayscale8), c.name);
        // The cells of the three characters behind line 2's blank, from the
        // layout: the whole pixels of each one's advance.
        const QTextBlock line2 = Box()->document()->lastBlock();
        const QPointF origin = Box()->document()->documentLayout()->blockBoundingRect(line2).topLeft() -
                               QPointF(0, Box()->verticalScrollBar()->value());
        QFont bold = Box()->document()->defaultFont();
        bold.setBold(true);
        const qreal capHeight = QFontMetricsF(bold).capHeight();
        Cue cues[3];
        for (int k = 0; k < 3; ++k) {
            const QTextLine row = line2.layout()->lineForTextPosition(1 + k);
            ASSERT_TRUE(row.isValid());
            const Cell cell{static_cast<int>(std::ceil(origin.x() + row.cursorToX(1 + k))),
                            static_cast<int>(std::floor(origin.x() + row.cursorToX(2 + k))) - 1,
                            static_cast<int>(std::floor(origin.y() + row.y())),
                            static_cast<int>(std::ceil(origin.y() + row.y() + row.height())),
                            origin.y() + row.y() + row.ascent(), capHeight};
            cues[k] = CueOf(grey, cell);
        }
        EXPECT_EQ(cues[0], (Cue{false, false})) << "right: plain";
        EXPECT_EQ(cues[1], (Cue{true, false})) << "wrong: underlined";
        EXPECT_EQ(cues[2], (Cue{false, true})) << "missing: struck through";
    }
}

}  // namespace
}  // namespace rivek
