// An integer field with up and down buttons whose text is the user's to
// keep: reading converts the text as it stands and gives the minimum for a
// text that is not a number; only setting a value, stepping and leaving the
// field bring the number into the range. QSpinBox rewrites its text on its
// own, so this one is built on QAbstractSpinBox.
#pragma once

#include <QAbstractSpinBox>

#include <cstdint>
#include <functional>

#include "drill/spin_range.h"

namespace rivek {

class SpinField : public QAbstractSpinBox {
    Q_OBJECT

public:
    // Auto-repeat of a held button [ms]: first step at once, the second
    // after kRepeatDelayMs, then one every kRepeatIntervalMs.
    static constexpr int kRepeatDelayMs = 400;
    static constexpr int kRepeatIntervalMs = 100;

    SpinField(SpinRange range, QWidget* parent = nullptr);

    const SpinRange& Range() const { return range_; }

    // The text as a whole number (leading blanks allowed; decimal with an
    // optional sign, or hexadecimal after "$", "x", "X", "0x", "0X"), or the
    // minimum when it is not one. Never limits to the range.
    std::int32_t Value() const;
    // The value, limited to the range, becomes the text in decimal.
    void SetValue(std::int32_t value);

    // What a refused key sounds; QApplication::beep by default.
    void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }

    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool IsAcceptedCharacter(QChar c) const;

    SpinRange range_;
    std::function<void()> beep_;
};

}  // namespace rivek
