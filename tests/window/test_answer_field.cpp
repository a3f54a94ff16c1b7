// The answer field and what Enter does there, the result box, Reset and the
// numeral box.
#include "window/window_test.h"

#include <QInputMethodEvent>

namespace rivek {
namespace {

using namespace rivek::testing;

TEST_F(WindowTest, EnterInTheAnswerFieldRunsATrialAndNeverReachesTheField) {
    WriteFile("Rivek.ini", "800\r\n100\r\n3\r\n");
    WriteFile("Rivek.dat", "E\r\n");
    Open();
    auto* edit = Find<QLineEdit>("Edit1");
    QSignalSpy returns(edit, &QLineEdit::returnPressed);
    EnterWatcher watcher;
    form_->centralWidget()->installEventFilter(&watcher);
    form_->installEventFilter(&watcher);

    PressEnter(edit);
    EXPECT_EQ(sound_.plays, 1);
    EXPECT_EQ(controller_->SentText(), "EEE");
    EXPECT_EQ(edit->text(), "");
    EXPECT_EQ(Find<QLabel>("StaticText7")->text(), "No.1");
    EXPECT_TRUE(Find<QTextEdit>("RichEdit1")->toPlainText().isEmpty());

    // Keys other than Enter reach the field.
    QTest::keyClicks(edit, "EXE");
    EXPECT_EQ(edit->text(), "EXE");
    QTest::keyClick(edit, Qt::Key_Enter);  // the keypad's Enter as well
    EXPECT_EQ(sound_.plays, 2);
    EXPECT_EQ(controller_->Counters().TrialNo, 2);
    const QStringList lines = Find<QTextEdit>("RichEdit1")->toPlainText().split(u'\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], " EEE");
    EXPECT_EQ(lines[1], " EXE");
    const DrillCounters& counters = controller_->Counters();
    EXPECT_EQ(counters.WrongTotal, 1);
    EXPECT_EQ(Find<QLabel>("StaticText4")->text(), U("誤字：1"));
    EXPECT_EQ(Find<QLabel>("StaticText6")->text(), U("減点：3"));
    EXPECT_EQ(Find<QLabel>("StaticText7")->text(), "No.2");

    EXPECT_EQ(returns.count(), 0);
    EXPECT_EQ(watcher.enters, 0);
}

// Answers typed through an input method in its default full-width mode
// score exactly as their half-width twins.
TEST_F(WindowTest, FullWidthAnswersScoreAsTheirHalfWidthTwins) {
    WriteFile("Rivek.ini", "800\r\n100\r\n6\r\n");
    WriteFile("Rivek.dat", "ｱｶｻﾀﾅｰA1\r\n");  // UTF-8, as a text editor saves it
    Open();
    auto* edit = Find<QLineEdit>("Edit1");
    struct Twin {
        char byte;
        const char* katakana;
        const char* hiragana;
    };
    const Twin twins[] = {{'\xB1', "ア", "あ"}, {'\xB6', "カ", "か"}, {'\xBB', "サ", "さ"},
                          {'\xC0', "タ", "た"}, {'\xC5', "ナ", "な"}, {'\xB0', "ー", "ー"},
                          {'A', "Ａ", "ａ"},     {'1', "１", "１"}};
    auto fullWidth = [&](const std::string& sent, bool hiragana) {
        QString typed;
        for (const char byte : sent) {
            for (const Twin& twin : twins) {
                if (twin.byte == byte) typed += U(hiragana ? twin.hiragana : twin.katakana);
            }
        }
        return typed;
    };

    // What an input method hands the field when a word is committed.
    auto commit = [edit](const QString& text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(edit, &event);
    };

    PressEnter(edit);
    ASSERT_EQ(controller_->SentText().size(), 6u);
    for (const bool hiragana : {false, true, false}) {
        SCOPED_TRACE(hiragana ? "hiragana" : "katakana");
        const QString typed = fullWidth(controller_->SentText(), hiragana);
        ASSERT_EQ(typed.size(), 6);
        commit(typed);
        EXPECT_EQ(edit->text(), typed);
        PressEnter(edit);
        EXPECT_EQ(Find<QLabel>("StaticText4")->text(), U("誤字：0"));
        EXPECT_EQ(Find<QLabel>("StaticText5")->text(), U("脱字：0"));
    }
    // One full-width character wrong, one left out: counted as such.
    QString typed = fullWidth(controller_->SentText(), true);
    typed[0] = typed[0] == U("あ")[0] ? U("か")[0] : U("あ")[0];
    typed.chop(1);
    commit(typed);
    PressEnter(edit);
    EXPECT_EQ(Find<QLabel>("StaticText4")->text(), U("誤字：1"));
    EXPECT_EQ(Find<QLabel>("StaticText5")->text(), U("脱字：1"));
    EXPECT_EQ(Find<QLabel>("StaticText7")->text(), "No.5");
}

TEST_F(WindowTest, EnterInAnyOtherControlStartsNoTrial) {
    Open();
    for (const char* name : {"SpinEdit1", "SpinEdit2", "SpinEdit3", "Button1", "CheckBox1", "RichEdit1"}) {
        SCOPED_TRACE(name);
        auto* widget = Find<QWidget>(name);
        widget->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(Focused(), widget);
        PressEnter(widget);
        QTest::keyClick(widget, Qt::Key_Enter);
        EXPECT_EQ(sound_.plays, 0);
        EXPECT_EQ(controller_->Counters().TrialNo, 0);
        EXPECT_EQ(controller_->SentText(), "");
    }
}

TEST_F(WindowTest, ResetRestoresLabelsPromptAndFocus) {
    WriteFile("Rivek.dat", "T\r\n");
    Open();
    auto* edit = Find<QLineEdit>("Edit1");
    PressEnter(edit);
    QTest::keyClicks(edit, "X");
    PressEnter(edit);
    ASSERT_EQ(Find<QLabel>("StaticText7")->text(), "No.2");
    ASSERT_FALSE(Find<QTextEdit>("RichEdit1")->toPlainText().isEmpty());
    const int stopsBefore = sound_.stops;

    QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton);
    EXPECT_EQ(sound_.stops, stopsBefore + 1);
    EXPECT_TRUE(Find<QTextEdit>("RichEdit1")->toPlainText().isEmpty());
    EXPECT_EQ(Find<QLabel>("StaticText4")->text(), U("誤字：0"));
    EXPECT_EQ(Find<QLabel>("StaticText5")->text(), U("脱字：0"));
    EXPECT_EQ(Find<QLabel>("StaticText6")->text(), U("減点：0"));
    EXPECT_EQ(Find<QLabel>("StaticText7")->text(), "No.1");
    EXPECT_EQ(edit->text(), U(" Enter で開始"));
    EXPECT_EQ(Focused(), edit);
    EXPECT_EQ(edit->selectedText(), edit->text());

    // Enter on the focused button resets as well; it runs no trial.
    const int plays = sound_.plays;
    Find<QPushButton>("Button1")->setFocus(Qt::TabFocusReason);
    PressEnter(Find<QPushButton>("Button1"));
    EXPECT_EQ(sound_.stops, stopsBefore + 2);
    EXPECT_EQ(sound_.plays, plays);
}

TEST_F(WindowTest, NumeralBoxSwitchesTheDigitCodesByMouseAndKeyboard) {
    Open();
    CodeTable standard;
    ResetCodeTable(standard);
    CodeTable abbreviated = standard;
    SetNumeralMode(abbreviated, true);
    ASSERT_NE(standard['1'], abbreviated['1']);

    auto* box = Find<QCheckBox>("CheckBox1");
    EXPECT_EQ(controller_->Codes()['1'], standard['1']);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(controller_->Codes()['1'], abbreviated['1']);
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(controller_->Codes()['1'], standard['1']);
}


TEST_F(WindowTest, ResultBoxShowsTwoBoldLinesInTheirColours) {
    Open();
    ResultView& view = *form_;
    view.Clear();
    view.AppendBold("ABC\r\n", kBlack);
    view.AppendBold("A", kBlack);
    view.AppendBold("X", kRed);
    view.AppendBold("C", kBlue);
    auto* box = Find<QTextEdit>("RichEdit1");
    ASSERT_EQ(box->document()->blockCount(), 2);
    EXPECT_EQ(box->document()->firstBlock().text(), "ABC");
    EXPECT_EQ(box->document()->lastBlock().text(), "AXC");

    struct Case {
        int position;  // of the character, counted in the whole document
        QColor colour;
    };
    const int line2 = box->document()->lastBlock().position();
    const Case cases[] = {{0, Qt::black},         {2, Qt::black},        {line2, Qt::black},
                          {line2 + 1, QColor(255, 0, 0)}, {line2 + 2, QColor(0, 0, 255)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        QTextCursor cursor(box->document());
        cursor.setPosition(c.position + 1);  // the format of the character before
        EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
        EXPECT_EQ(cursor.charFormat().foreground().color(), c.colour);
        // Besides the colour: red underlined, blue struck through.
        EXPECT_EQ(cursor.charFormat().fontUnderline(), c.colour == QColor(255, 0, 0));
        EXPECT_EQ(cursor.charFormat().fontStrikeOut(), c.colour == QColor(0, 0, 255));
    }

    // A half-width katakana shows as such; a lone lead byte of a double-byte
    // character as U+FFFD.
    view.Clear();
    EXPECT_TRUE(box->toPlainText().isEmpty());
    view.AppendBold("\xB1\xDE", kBlack);
    view.AppendBold("\x82", kRed);
    view.AppendBold("\x82\xA0", kBlue);
    EXPECT_EQ(box->toPlainText(), U("ｱﾞ\uFFFDあ"));
    EXPECT_TRUE(box->isReadOnly());
}

TEST_F(WindowTest, AnswerTextCrossesAsCodePage932) {
    Open();
    auto* edit = Find<QLineEdit>("Edit1");
    struct Case {
        const char* shown;
        std::string bytes;
    };
    const Case cases[] = {
        {"CQ DE", "CQ DE"},
        {"ｱｲｳﾞ", "\xB1\xB2\xB3\xDE"},
        // An input method's full-width kana, hiragana and letters arrive as
        // their half-width twins; a kanji stays a kanji.
        {"アイヴ", "\xB1\xB2\xB3\xDE"},
        {"あいゔ", "\xB1\xB2\xB3\xDE"},
        {"ＣＱ　ｄｅ１", "CQ de1"},
        {"誤字", "\x8C\xEB\x8E\x9A"},
        {"A😀B€", "A?B?"},  // no code page 932 form
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        edit->setText(U(c.shown));
        EXPECT_EQ(form_->AnswerText(), c.bytes);
    }
    form_->SetAnswerText("\xB1\x82");
    EXPECT_EQ(edit->text(), U("ｱ\uFFFD"));

    // No length limit.
    const QString longAnswer(100000, u'E');
    edit->setText(longAnswer);
    EXPECT_EQ(form_->AnswerText(), std::string(100000, 'E'));
}


}  // namespace
}  // namespace rivek
