#include "window/spin_field.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QProxyStyle>
#include <QStyleFactory>

#include <algorithm>
#include <optional>
#include <string>

#include "drill/integer_text.h"
#include "platform/shift_jis.h"

namespace rivek {
namespace {

// QAbstractSpinBox takes the timing of a held button from the style.
// It proxies a fresh instance of the application's style, which it owns.
class RepeatTimingStyle : public QProxyStyle {
public:
    RepeatTimingStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        switch (hint) {
        case SH_SpinBox_ClickAutoRepeatThreshold: return SpinField::kRepeatDelayMs;
        case SH_SpinBox_ClickAutoRepeatRate: return SpinField::kRepeatIntervalMs;
        default: return QProxyStyle::styleHint(hint, option, widget, returnData);
        }
    }
};

std::optional<std::int32_t> ReadSpinText(const QString& text) {
    const std::optional<std::string> bytes = Utf8ToCp932(text.toUtf8().toStdString());
    if (!bytes) return std::nullopt;  // a character outside code page 932 is no digit
    return ConvertSpinText(*bytes);
}

}  // namespace

SpinField::SpinField(SpinRange range, QWidget* parent)
    : QAbstractSpinBox(parent), range_(range), beep_([] { QApplication::beep(); }) {
    // The style lives as long as the field; a widget holds its style by a
    // guarded pointer, so the order in which the two go is of no matter.
    auto* style = new RepeatTimingStyle;
    style->setParent(this);
    setStyle(style);
    // Characters come one key at a time, so that each is checked.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    lineEdit()->setAttribute(Qt::WA_InputMethodEnabled, false);
    SetValue(range_.initial);
}

std::int32_t SpinField::Value() const { return ReadSpinText(text()).value_or(range_.minimum); }

void SpinField::SetValue(std::int32_t value) {
    lineEdit()->setText(QString::number(range_.Clamp(value)));
}

void SpinField::stepBy(int steps) {
    // Widened so that a value near the 32-bit limits cannot overflow.
    const std::int64_t stepped = std::int64_t{Value()} + steps;
    SetValue(static_cast<std::int32_t>(
        std::clamp<std::int64_t>(stepped, range_.minimum, range_.maximum)));
    selectAll();
}

QAbstractSpinBox::StepEnabled SpinField::stepEnabled() const {
    // A step always leads into the range: a number beyond either bound steps
    // to the nearer bound whichever way (9999 and Up gives the maximum, -5
    // and Down the minimum). Only a bound itself stops a step away from the
    // range.
    const std::int32_t value = Value();
    StepEnabled enabled = StepNone;
    if (value != range_.maximum) enabled |= StepUpEnabled;
    if (value != range_.minimum) enabled |= StepDownEnabled;
    return enabled;
}

bool SpinField::IsAcceptedCharacter(QChar c) const {
    if (c >= u'0' && c <= u'9') return true;
    if (c == u'+' || c == u'-') return true;
    return locale().decimalPoint().contains(c);
}

void SpinField::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter is a character like any other here: refused.
        event->accept();
        beep_();
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Only the arrow keys step, and only by 1.
        event->ignore();
        return;
    default: break;
    }
    const QString text = event->text();
    // Keys without a printable character (arrows, Backspace, Delete, Home,
    // Escape) pass, and so do the editing keys held with Ctrl or Alt
    // (Ctrl+V, Ctrl+A), which type nothing.
    const bool printable = !text.isEmpty() && text.front() >= u' ' && text.front() != u'\x7f';
    const bool command = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
    if (printable && !command) {
        for (const QChar c : text) {
            if (!IsAcceptedCharacter(c)) {
                event->accept();
                beep_();
                return;
            }
        }
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void SpinField::focusOutEvent(QFocusEvent* event) {
    QAbstractSpinBox::focusOutEvent(event);
    // Only leaving for another control counts: an opened menu or another
    // window takes the focus only for a while.
    switch (event->reason()) {
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
    case Qt::ActiveWindowFocusReason: return;
    default: break;
    }
    // A number outside the range becomes the nearer bound; a text that is
    // not a number stays as the user left it.
    if (const std::optional<std::int32_t> value = ReadSpinText(text())) {
        if (range_.Clamp(*value) != *value) SetValue(*value);
    }
}

}  // namespace rivek
