// The main window driven as a user drives it: real widgets, real key and
// mouse events, the real trial controller, a sound service that records.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "drill/trial_controller.h"
#include "morse/code_table.h"
#include "window/answer_field.h"
#include "window/form1.h"
#include "window/spin_field.h"
#include "window/window_fonts.h"

namespace rivek {
namespace {

// Plays nothing; counts the requests and, when asked, fails one play as a
// sound image that can't grow would.
class RecordingSound : public SoundService {
public:
    void Play(std::span<const std::uint8_t>) override {
        ++plays;
        if (failNextPlay) {
            failNextPlay = false;
            throw std::bad_alloc();
        }
    }
    void Stop() override { ++stops; }

    int plays = 0;
    int stops = 0;
    bool failNextPlay = false;
};

// What a message box showed.
struct SeenBox {
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Waits, inside the box's own event loop, for the next modal message box,
// notes what it shows and presses its first button.
void CloseNextMessageBox(SeenBox& seen, int triesLeft = 300) {
    QTimer::singleShot(10, [&seen, triesLeft] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            if (triesLeft > 0) CloseNextMessageBox(seen, triesLeft - 1);
            return;
        }
        seen.seen = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        box->buttons().front()->click();
    });
}

// Counts the Return and Enter key presses that reach a widget.
class EnterWatcher : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) ++enters;
        }
        return false;
    }
    int enters = 0;
};

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

std::string ReadFile(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    return file.readAll().toStdString();
}

void WriteFile(const QString& name, const std::string& bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(workDir_.isValid());
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(workDir_.path());
    }

    void TearDown() override {
        form_.reset();
        controller_.reset();
        QDir::setCurrent(previousDir_);
    }

    // Start-up as the program does it: window, controller, FormCreate, show.
    void Open() {
        form_ = std::make_unique<TForm1>();
        controller_ = std::make_unique<TrialController>(*form_, sound_, [] { return 12345u; });
        form_->Attach(*controller_);
        for (SpinField* field : form_->findChildren<SpinField*>()) {
            field->SetBeep([this] { ++beeps_; });
        }
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    }

    template <typename Widget>
    Widget* Find(const char* name) const {
        auto* widget = form_->findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr) ADD_FAILURE() << "no control " << name;
        return widget;
    }

    QWidget* Focused() const { return QApplication::focusWidget(); }
    QString FocusedName() const { return Focused() ? Focused()->objectName() : QString(); }

    // Moves the focus with a click, as the user does.
    void ClickInto(QWidget* widget) {
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(widget->width() / 2, widget->height() / 2));
        ASSERT_EQ(Focused(), widget) << widget->objectName().toStdString();
    }

    // Replaces a field's text by typing, as the user does.
    void TypeOver(QWidget* widget, const QString& text) {
        ClickInto(widget);
        QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(widget, Qt::Key_Backspace);
        QTest::keyClicks(widget, text);
    }

    void PressEnter(QWidget* widget) { QTest::keyClick(widget, Qt::Key_Return); }

    QString Text(const char* spinName) const {
        return Find<SpinField>(spinName)->findChild<QLineEdit*>()->text();
    }
    void SetRawText(const char* spinName, const QString& text) {
        Find<SpinField>(spinName)->findChild<QLineEdit*>()->setText(text);
    }

    QTemporaryDir workDir_;
    QString previousDir_;
    RecordingSound sound_;
    int beeps_ = 0;
    // The window goes before the controller it reports to.
    std::unique_ptr<TrialController> controller_;
    std::unique_ptr<TForm1> form_;
};

// ---- Layout ---------------------------------------------------------------

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

// ---- Trials ---------------------------------------------------------------

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

// ---- Spin fields ----------------------------------------------------------

TEST_F(WindowTest, SpinFieldTakesOnlyDigitsSignsAndTheDecimalSeparatorWhenTyped) {
    Open();
    const QString point = QLocale().decimalPoint();
    struct Case {
        QString typed;
        QString shown;
        int beeps;
    };
    const Case cases[] = {
        {"123", "123", 0},
        {"+7", "+7", 0},
        {"-7", "-7", 0},
        {"1" + point + "5", "1" + point + "5", 0},
        {"12a3", "123", 1},
        {"$1F", "1", 2},   // readable, but not typeable
        {"1 2", "12", 1},
        {"x", "", 1},
    };
    auto* field = Find<SpinField>("SpinEdit2");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        beeps_ = 0;
        TypeOver(field, c.typed);
        EXPECT_EQ(Text("SpinEdit2"), c.shown);
        EXPECT_EQ(beeps_, c.beeps);
    }

    // Enter is refused with a beep; the editing keys work.
    TypeOver(field, "42");
    beeps_ = 0;
    PressEnter(field);
    EXPECT_EQ(beeps_, 1);
    EXPECT_EQ(Text("SpinEdit2"), "42");
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClick(field, Qt::Key_Home);
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_EQ(Text("SpinEdit2"), "");
    EXPECT_EQ(beeps_, 1);
}

TEST_F(WindowTest, SpinFieldTakesAnyPastedText) {
    Open();
    auto* field = Find<SpinField>("SpinEdit2");
    for (const char* pasted : {"$1F", "abc", "  77"}) {
        SCOPED_TRACE(pasted);
        QGuiApplication::clipboard()->setText(QString::fromLatin1(pasted));
        TypeOver(field, "");
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(Text("SpinEdit2"), QString::fromLatin1(pasted));
        EXPECT_EQ(beeps_, 0);
    }
}

TEST_F(WindowTest, SpinFieldReadsItsTextWithoutLimitingAndFallsBackToTheMinimum) {
    Open();
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"12", 12}, {"  12", 12}, {"$F", 15}, {"0x10", 16}, {"9999", 9999}, {"-3", -3},
        {"", 1},    {"abc", 1},   {"1.5", 1}, {"12 ", 1},   {"１２", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SetRawText("SpinEdit3", U(c.text));
        EXPECT_EQ(form_->SpinValue(Setting::GroupLength), c.value);
    }
    // Setting limits to the range and writes decimal.
    form_->SetSpinValue(Setting::Frequency, 99999);
    EXPECT_EQ(Text("SpinEdit1"), "5000");
    form_->SetSpinValue(Setting::Speed, -4);
    EXPECT_EQ(Text("SpinEdit2"), "30");
}

TEST_F(WindowTest, LeavingASpinFieldLimitsANumberAndLeavesOtherTextStanding) {
    Open();
    struct Case {
        const char* text;
        const char* afterLeaving;
    };
    const Case cases[] = {
        {"9999", "15"}, {"-5", "1"}, {"0", "1"},       {"$FF", "15"}, {"7", "7"},
        {"$A", "$A"},   {"", ""},    {"abc", "abc"},  {"1.5", "1.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ClickInto(Find<QWidget>("SpinEdit3"));
        SetRawText("SpinEdit3", U(c.text));
        ClickInto(Find<QWidget>("Edit1"));
        EXPECT_EQ(Text("SpinEdit3"), U(c.afterLeaving));
    }
}

TEST_F(WindowTest, TypedGroupLengthIsLimitedOrFallsBackToOneCharacter) {
    Open();
    auto* edit = Find<QLineEdit>("Edit1");
    TypeOver(Find<QWidget>("SpinEdit3"), "9999");
    ClickInto(edit);
    EXPECT_EQ(Text("SpinEdit3"), "15");

    TypeOver(Find<QWidget>("SpinEdit3"), "");
    ClickInto(edit);
    EXPECT_EQ(Text("SpinEdit3"), "");
    PressEnter(edit);
    EXPECT_EQ(controller_->SentText().size(), 1u);

    form_->close();
    EXPECT_EQ(ReadFile("Rivek.ini"), "800\r\n100\r\n1\r\n");
}

TEST_F(WindowTest, ArrowKeysAndButtonsStepByOneWithinTheRange) {
    Open();
    auto* field = Find<SpinField>("SpinEdit3");
    struct Case {
        const char* text;
        Qt::Key key;
        const char* after;
    };
    const Case cases[] = {
        {"8", Qt::Key_Up, "9"},        {"8", Qt::Key_Down, "7"},   {"15", Qt::Key_Up, "15"},
        {"1", Qt::Key_Down, "1"},      {"9999", Qt::Key_Down, "15"}, {"abc", Qt::Key_Up, "2"},
        {"8", Qt::Key_PageUp, "8"},    {"8", Qt::Key_PageDown, "8"},
    };
    ClickInto(field);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " key " + std::to_string(c.key));
        SetRawText("SpinEdit3", U(c.text));
        QTest::keyClick(field, c.key);
        EXPECT_EQ(Text("SpinEdit3"), U(c.after));
    }

    // The up button in the upper right corner, the down button below it.
    SetRawText("SpinEdit3", "8");
    const QPoint up(field->width() - 4, 4);
    const QPoint down(field->width() - 4, field->height() - 4);
    QTest::mouseClick(field, Qt::LeftButton, {}, up);
    EXPECT_EQ(Text("SpinEdit3"), "9");
    QTest::mouseClick(field, Qt::LeftButton, {}, down);
    QTest::mouseClick(field, Qt::LeftButton, {}, down);
    EXPECT_EQ(Text("SpinEdit3"), "7");
}

TEST_F(WindowTest, HeldSpinButtonRepeatsAfter400MsThenEvery100Ms) {
    Open();
    auto* field = Find<SpinField>("SpinEdit1");
    EXPECT_EQ(field->style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatThreshold, nullptr, field), 400);
    EXPECT_EQ(field->style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatRate, nullptr, field), 100);

    // Held for 1.2 s the field has stepped once at once and then repeated;
    // only a lower bound, as a busy machine delays timers.
    const QPoint up(field->width() - 4, 4);
    QTest::mousePress(field, Qt::LeftButton, {}, up);
    QTest::qWait(1200);
    QTest::mouseRelease(field, Qt::LeftButton, {}, up);
    EXPECT_GE(field->Value(), 800 + 3);
    const std::int32_t released = field->Value();
    QTest::qWait(300);
    EXPECT_EQ(field->Value(), released);
}

// ---- Result box and answer text ------------------------------------------

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

// ---- Menu and closing -----------------------------------------------------

TEST_F(WindowTest, ExitAndTheCloseBoxBothSaveTheSettings) {
    struct Case {
        const char* how;
        std::function<void(TForm1&)> close;
    };
    const Case cases[] = {
        {"File > Exit by access keys",
         [](TForm1& form) {
             QTest::keyClick(&form, Qt::Key_F, Qt::AltModifier);
             auto* menu = form.findChild<QMenu*>("F1");
             ASSERT_TRUE(menu->isVisible());
             QTest::keyClick(menu, Qt::Key_X);
         }},
        {"close box", [](TForm1& form) { form.close(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        QFile::remove("Rivek.ini");
        Open();
        TypeOver(Find<QWidget>("SpinEdit1"), "1234");
        TypeOver(Find<QWidget>("SpinEdit2"), "55");
        form_->SetSpinValue(Setting::GroupLength, 3);
        c.close(*form_);
        EXPECT_FALSE(form_->isVisible());
        EXPECT_EQ(ReadFile("Rivek.ini"), "1234\r\n55\r\n3\r\n");
        // Closing an already closed window saves nothing more.
        QFile::remove("Rivek.ini");
        form_->close();
        EXPECT_FALSE(QFile::exists("Rivek.ini"));
        form_.reset();
    }
}

TEST_F(WindowTest, MenuItemsHaveAccessKeysAndNoShortcuts) {
    Open();
    struct Case {
        const char* name;
        const char* text;
    };
    const Case cases[] = {
        {"Exit1", "Exit (&X)"}, {"S1", "Support Page (&S)"}, {"About1", "About (&A)"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* action = Find<QAction>(c.name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), c.text);
        EXPECT_TRUE(action->shortcut().isEmpty());
    }
    EXPECT_EQ(Find<QMenu>("F1")->title(), "File (&F)");
    EXPECT_EQ(Find<QMenu>("Help1")->title(), "Help (&H)");
}

TEST_F(WindowTest, AboutShowsNameVersionAuthorshipAndTheGuidesAddress) {
    Open();
    SeenBox seen;
    CloseNextMessageBox(seen);
    QTest::keyClick(form_.get(), Qt::Key_H, Qt::AltModifier);
    auto* help = Find<QMenu>("Help1");
    ASSERT_TRUE(help->isVisible());
    QTest::keyClick(help, Qt::Key_A);

    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, U("情報"));
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    const QStringList lines = seen.text.split(u'\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("Rivek " RIVEK_VERSION " ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("Rivek developers"));
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], TForm1::SupportPageAddress().toString());
    EXPECT_TRUE(form_->isVisible());
}

TEST_F(WindowTest, MenusAndTheAboutBoxLeaveTheFieldsAsTheyWere) {
    Open();
    struct Case {
        const char* field;
        QString typed;
    };
    const Case cases[] = {{"SpinEdit3", "9999"}, {"Edit1", "ABC"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        QWidget* field = Find<QWidget>(c.field);
        TypeOver(field, c.typed);
        SeenBox seen;
        CloseNextMessageBox(seen);
        QTest::keyClick(form_.get(), Qt::Key_H, Qt::AltModifier);
        QTest::keyClick(Find<QMenu>("Help1"), Qt::Key_A);
        ASSERT_TRUE(seen.seen);
        // The desktop gives the window back its activation.
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        EXPECT_EQ(Focused(), field);
        // The text stands, unselected: the next key adds to it.
        QTest::keyClicks(field, "1");
        const QString expected = c.typed + "1";
        EXPECT_EQ(field->findChild<QLineEdit*>() ? field->findChild<QLineEdit*>()->text()
                                                 : qobject_cast<QLineEdit*>(field)->text(),
                  expected);
    }
    EXPECT_EQ(sound_.plays, 0);
}

// Receives the addresses handed to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

TEST_F(WindowTest, SupportPageHandsTheShippedGuideToTheDesktop) {
    Open();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "Open");
    QTest::keyClick(form_.get(), Qt::Key_H, Qt::AltModifier);
    QTest::keyClick(Find<QMenu>("Help1"), Qt::Key_S);
    QDesktopServices::unsetUrlHandler("file");

    ASSERT_EQ(catcher.opened.size(), 1);
    const QUrl url = catcher.opened.front();
    EXPECT_EQ(url, TForm1::SupportPageAddress());
    EXPECT_TRUE(url.isLocalFile());
    EXPECT_TRUE(url.toLocalFile().endsWith("/share/doc/rivek/guide.html"));
    // The build puts the guide there, beside bin/ as an installation does.
    EXPECT_TRUE(QFile::exists(url.toLocalFile())) << url.toLocalFile().toStdString();
}

TEST_F(WindowTest, AnErrorInATrialShowsTheErrorBoxAndRivekGoesOn) {
    Open();
    auto* edit = Find<QLineEdit>("Edit1");
    sound_.failNextPlay = true;
    SeenBox seen;
    CloseNextMessageBox(seen);
    PressEnter(edit);
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.text, U("メモリストリームの拡大中にメモリが足りなくなりました"));
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // The next Enter runs an ordinary trial.
    PressEnter(edit);
    EXPECT_EQ(sound_.plays, 2);
    EXPECT_EQ(controller_->Counters().TrialNo, 2);
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(edit->text(), "");
}

}  // namespace
}  // namespace rivek

int main(int argc, char** argv) {
    // The tests need no display; the test runner sets the same.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "test_window.moc"
