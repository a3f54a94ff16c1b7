#include "window/answer_field.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QStyleHints>

#include <limits>
#include <optional>
#include <string>

#include "platform/shift_jis.h"

namespace rivek {
namespace {

constexpr char kCarriageReturn = 13;
constexpr char kLineFeed = 10;

// The single-byte character a key press carries: Enter is CR (Ctrl+Enter
// LF), a key typing one ASCII character is that character. Other keys
// (arrows, function keys, text of the input method) carry none.
std::optional<char> KeyCharacter(const QKeyEvent& event) {
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) {
        return event.modifiers().testFlag(Qt::ControlModifier) ? kLineFeed : kCarriageReturn;
    }
    const QString text = event.text();
    if (text.size() != 1 || text.front().unicode() >= 0x80) return std::nullopt;
    return static_cast<char>(text.front().unicode());
}

}  // namespace

AnswerField::AnswerField(QWidget* parent) : QLineEdit(parent) {
    // An answer of any length is taken.
    setMaxLength(std::numeric_limits<int>::max());
    lastActivity_ = clock_();
}

// The flash time is the whole application's: the other fields blink as
// the desktop says whenever this one does not hold the caret still.
AnswerField::~AnswerField() { WakeCaret(); }

void AnswerField::SetClock(Clock clock) {
    clock_ = std::move(clock);
    lastActivity_ = clock_();
}

void AnswerField::WakeCaret() {
    lastActivity_ = clock_();
    if (sleepingFlashTimeMs_ != 0) {
        QGuiApplication::styleHints()->setCursorFlashTime(sleepingFlashTimeMs_);
        sleepingFlashTimeMs_ = 0;
    }
}

void AnswerField::focusOutEvent(QFocusEvent* event) {
    WakeCaret();
    QLineEdit::focusOutEvent(event);
}

void AnswerField::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    // The blinking itself repaints the field, so no timer of our own is
    // needed to notice that it has blinked long enough.
    QStyleHints* hints = QGuiApplication::styleHints();
    if (sleepingFlashTimeMs_ == 0 && hasFocus() && hints->cursorFlashTime() > 0 &&
        clock_() - lastActivity_ >= kCaretBlinkTimeout) {
        sleepingFlashTimeMs_ = hints->cursorFlashTime();
        hints->setCursorFlashTime(0);  // the caret stays on
    }
}

void AnswerField::keyPressEvent(QKeyEvent* event) {
    WakeCaret();
    const std::optional<char> original = KeyCharacter(*event);
    if (original && keyPress_) {
        char key = *original;
        keyPress_(key);
        if (key == 0) {
            event->accept();
            return;
        }
        if (key != *original) {
            // The handler typed another character in place of the key.
            insert(QString::fromUtf8(Cp932ToUtf8(std::string(1, key))));
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void AnswerField::focusInEvent(QFocusEvent* event) {
    WakeCaret();
    QLineEdit::focusInEvent(event);
    // Coming in from another control (Tab, a shortcut, the program) selects
    // the whole text, so that typing replaces it. A click places the caret
    // where it lands, and coming back from a menu or another window finds
    // the answer as it was left.
    switch (event->reason()) {
    case Qt::MouseFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
    case Qt::ActiveWindowFocusReason: break;
    default: selectAll(); break;
    }
}

}  // namespace rivek
