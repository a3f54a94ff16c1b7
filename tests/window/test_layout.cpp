// The window's layout: places, sizes, fonts, tab order and the state at start-up.
#include "window/window_test.h"

namespace rivek {
namespace {

using namespace rivek::testing;

TEST_F(WindowTest, ControlsStandWhereTheLayoutPutsThem) {
    Open();
    struct Case {
        const char* name;
        QRect geometry;
    };
    const Case cases[] = {
        {"Bevel1", {-8, 0, 425, 2}},       {"Bevel2", {0, 136, 417, 2}},
        {"Panel1", {8, 144, 169, 81}},     {"Button1", {264, 24, 97, 25}},
        {"SpinEdit1", {128, 24, 57, 21}},  {"SpinEdit2", {128, 64, 57, 21}},
        {"CheckBox1", {272, 72, 73, 17}},  {"SpinEdit3", {128, 104, 57, 21}},
        {"Edit1", {232, 200, 185, 21}},    {"RichEdit1", {232, 152, 185, 44}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* widget = Find<QWidget>(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), c.geometry);
        EXPECT_EQ(widget->parentWidget(), form_->centralWidget());
    }

    // Labels keep their place and height and take the width of their text.
    struct LabelCase {
        const char* name;
        QPoint topLeft;
        int height;
        const char* text;
    };
    const LabelCase labels[] = {
        {"StaticText1", {32, 30}, 16, "Frequency [Hz]"}, {"StaticText2", {32, 70}, 16, "Speed [PARIS]"},
        {"StaticText3", {32, 110}, 16, "Characters"},    {"StaticText4", {80, 152}, 20, "誤字：0"},
        {"StaticText5", {80, 176}, 20, "脱字：0"},        {"StaticText6", {80, 200}, 20, "減点：0"},
        {"StaticText7", {16, 151}, 20, "No.1"},          {"StaticText8", {200, 160}, 16, "正解"},
        {"StaticText9", {200, 176}, 16, "添削"},          {"StaticText10", {200, 204}, 16, "入力"},
    };
    for (const LabelCase& c : labels) {
        SCOPED_TRACE(c.name);
        auto* label = Find<QLabel>(c.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), U(c.text));
        EXPECT_EQ(label->pos(), c.topLeft);
        EXPECT_EQ(label->height(), c.height);
        EXPECT_GE(label->width(), QFontMetrics(label->font()).horizontalAdvance(label->text()));
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    }

    // Created in the layout's order: later controls lie on top.
    QStringList order;
    for (QObject* child : form_->centralWidget()->children()) {
        if (!child->objectName().isEmpty()) order << child->objectName();
    }
    EXPECT_EQ(order, QStringList({"Bevel1", "Bevel2", "Panel1", "Button1", "SpinEdit1", "SpinEdit2",
                                  "StaticText1", "StaticText2", "CheckBox1", "StaticText3",
                                  "SpinEdit3", "Edit1", "RichEdit1", "StaticText4", "StaticText5",
                                  "StaticText6", "StaticText7", "StaticText8", "StaticText9",
                                  "StaticText10"}));
}

TEST_F(WindowTest, WindowHasItsCaptionClientAreaPlaceAndFrame) {
    Open();
    EXPECT_EQ(form_->objectName(), "Form1");
    EXPECT_EQ(form_->windowTitle(), "Rivek");
    EXPECT_EQ(form_->centralWidget()->size(), QSize(417, 225));
    EXPECT_EQ(form_->frameGeometry().topLeft(), QPoint(248, 110));
    const Qt::WindowFlags flags = form_->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_NE(form_->minimumSize(), form_->maximumSize());  // sizeable

    // Resizing moves and stretches nothing.
    const QRect edit = Find<QWidget>("Edit1")->geometry();
    const QRect box = Find<QWidget>("RichEdit1")->geometry();
    form_->resize(700, 500);
    QApplication::processEvents();
    EXPECT_EQ(Find<QWidget>("Edit1")->geometry(), edit);
    EXPECT_EQ(Find<QWidget>("RichEdit1")->geometry(), box);
}

TEST_F(WindowTest, FontsCarryJapaneseAndHalfWidthKatakanaAtTheirSizes) {
    Open();
    ASSERT_FALSE(JapaneseFamilies().isEmpty()) << "no Japanese gothic face installed";
    struct Case {
        const char* name;
        int pixelHeight;
        bool bold;
    };
    const Case cases[] = {
        {"Edit1", 13, true},        {"RichEdit1", 16, false},   {"StaticText4", 16, true},
        {"StaticText5", 16, true},  {"StaticText6", 16, true},  {"StaticText7", 16, true},
        {"StaticText1", 12, false}, {"StaticText8", 12, false}, {"CheckBox1", 12, false},
        {"Button1", 12, false},     {"SpinEdit1", 12, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QFont font = Find<QWidget>(c.name)->font();
        EXPECT_EQ(font.pixelSize(), c.pixelHeight);
        EXPECT_EQ(font.bold(), c.bold);
        EXPECT_TRUE(JapaneseFamilies().contains(QFontInfo(font).family()));
        const QFontMetrics metrics(font);
        for (char32_t character : {U'ｱ', U'ﾞ', U'誤', U'で', U'：'}) {
            EXPECT_TRUE(metrics.inFontUcs4(character)) << static_cast<std::uint32_t>(character);
        }
    }
}

TEST_F(WindowTest, TabVisitsTheTabStopsInOrder) {
    Open();
    ASSERT_EQ(FocusedName(), "Edit1");
    QStringList visited;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(Focused(), Qt::Key_Tab);
        visited << FocusedName();
    }
    EXPECT_EQ(visited, QStringList({"SpinEdit1", "SpinEdit2", "SpinEdit3", "Button1", "CheckBox1",
                                    "RichEdit1", "Edit1"}));
    QTest::keyClick(Focused(), Qt::Key_Backtab);
    EXPECT_EQ(FocusedName(), "RichEdit1");
}

TEST_F(WindowTest, StartsWithThePromptSelectedInTheFocusedAnswerField) {
    WriteFile("Rivek.ini", "1200\r\n150\r\n5\r\n");
    Open();
    auto* edit = Find<QLineEdit>("Edit1");
    EXPECT_EQ(Focused(), edit);
    EXPECT_EQ(edit->text(), U("\u3000Enter で開始"));
    EXPECT_EQ(edit->selectedText(), edit->text());
    EXPECT_TRUE(Find<QTextEdit>("RichEdit1")->toPlainText().isEmpty());
    EXPECT_FALSE(Find<QCheckBox>("CheckBox1")->isChecked());
    // FormCreate ran before the window showed: the settings are in.
    EXPECT_EQ(Text("SpinEdit1"), "1200");
    EXPECT_EQ(Text("SpinEdit2"), "150");
    EXPECT_EQ(Text("SpinEdit3"), "5");

    // Typing replaces the prompt.
    QTest::keyClicks(edit, "CQ");
    EXPECT_EQ(edit->text(), "CQ");
}

TEST_F(WindowTest, CaretStopsBlinkingAfterTenQuietSecondsAndBlinksAgainOnAKey) {
    QStyleHints* hints = QGuiApplication::styleHints();
    const int desktopFlashMs = hints->cursorFlashTime();
    ASSERT_GT(desktopFlashMs, 0);
    Open();
    auto* edit = Find<AnswerField>("Edit1");
    auto now = std::chrono::steady_clock::now();
    edit->SetClock([&now] { return now; });
    ASSERT_EQ(Focused(), edit);

    // A blink's repaint before the timeout changes nothing.
    now += AnswerField::kCaretBlinkTimeout - std::chrono::seconds(1);
    edit->repaint();
    EXPECT_EQ(hints->cursorFlashTime(), desktopFlashMs);
    // The first repaint after it holds the caret still.
    now += std::chrono::seconds(1);
    edit->repaint();
    EXPECT_EQ(hints->cursorFlashTime(), 0);
    // A key starts the blinking again, and the quiet time anew.
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_EQ(hints->cursorFlashTime(), desktopFlashMs);
    edit->repaint();
    EXPECT_EQ(hints->cursorFlashTime(), desktopFlashMs);
    // Leaving the field lets the other fields blink as the desktop says.
    now += AnswerField::kCaretBlinkTimeout;
    edit->repaint();
    ASSERT_EQ(hints->cursorFlashTime(), 0);
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_NE(Focused(), edit);
    EXPECT_EQ(hints->cursorFlashTime(), desktopFlashMs);
}

TEST_F(WindowTest, WithoutSettingsTheFieldsShowTheLayoutValues) {
    Open();
    EXPECT_EQ(Text("SpinEdit1"), "800");
    EXPECT_EQ(Text("SpinEdit2"), "100");
    EXPECT_EQ(Text("SpinEdit3"), "8");
}


}  // namespace
}  // namespace rivek
