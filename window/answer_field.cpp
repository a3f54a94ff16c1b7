#include "window/answer_field.h"

#include <QFocusEvent>
#include <QKeyEvent>

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
}

void AnswerField::keyPressEvent(QKeyEvent* event) {
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
