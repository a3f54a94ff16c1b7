// The three spin fields: typing, pasting, reading, leaving, stepping.
#include "window/window_test.h"

namespace rivek {
namespace {

using namespace rivek::testing;

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
        const char* field;
        const char* text;
        Qt::Key key;
        const char* after;
    };
    const Case cases[] = {
        {"SpinEdit3", "8", Qt::Key_Up, "9"},       {"SpinEdit3", "8", Qt::Key_Down, "7"},
        {"SpinEdit3", "15", Qt::Key_Up, "15"},     {"SpinEdit3", "1", Qt::Key_Down, "1"},
        {"SpinEdit3", "abc", Qt::Key_Up, "2"},     {"SpinEdit3", "abc", Qt::Key_Down, "abc"},
        {"SpinEdit3", "8", Qt::Key_PageUp, "8"},   {"SpinEdit3", "8", Qt::Key_PageDown, "8"},
        // A number outside the range steps into it, whichever way.
        {"SpinEdit3", "9999", Qt::Key_Down, "15"}, {"SpinEdit3", "9999", Qt::Key_Up, "15"},
        {"SpinEdit3", "-5", Qt::Key_Down, "1"},    {"SpinEdit3", "0", Qt::Key_Up, "1"},
        {"SpinEdit1", "9999", Qt::Key_Up, "5000"}, {"SpinEdit1", "-5", Qt::Key_Down, "100"},
        {"SpinEdit1", "5001", Qt::Key_Up, "5000"}, {"SpinEdit1", "99", Qt::Key_Down, "100"},
        {"SpinEdit2", "$7FFFFFFF", Qt::Key_Up, "300"}, {"SpinEdit2", "-2147483648", Qt::Key_Down, "30"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.text + " key " + std::to_string(c.key));
        auto* spin = Find<SpinField>(c.field);
        ClickInto(spin);
        SetRawText(c.field, U(c.text));
        QTest::keyClick(spin, c.key);
        EXPECT_EQ(Text(c.field), U(c.after));
    }

    // The up button in the upper right corner, the down button below it.
    ClickInto(field);
    const QPoint up(field->width() - 4, 4);
    const QPoint down(field->width() - 4, field->height() - 4);
    SetRawText("SpinEdit3", "8");
    QTest::mouseClick(field, Qt::LeftButton, {}, up);
    EXPECT_EQ(Text("SpinEdit3"), "9");
    QTest::mouseClick(field, Qt::LeftButton, {}, down);
    QTest::mouseClick(field, Qt::LeftButton, {}, down);
    EXPECT_EQ(Text("SpinEdit3"), "7");

    // The buttons step out-of-range text into the range too.
    SetRawText("SpinEdit3", "9999");
    QTest::mouseClick(field, Qt::LeftButton, {}, up);
    EXPECT_EQ(Text("SpinEdit3"), "15");
    SetRawText("SpinEdit3", "-5");
    QTest::mouseClick(field, Qt::LeftButton, {}, down);
    EXPECT_EQ(Text("SpinEdit3"), "1");
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


}  // namespace
}  // namespace rivek
