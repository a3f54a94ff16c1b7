#include "window/static_text.h"

namespace rivek {

StaticText::StaticText(QWidget* parent) : QLabel(parent) {
    setFocusPolicy(Qt::NoFocus);
    setTextFormat(Qt::PlainText);
}

void StaticText::SetText(const QString& text) {
    setText(text);
    resize(sizeHint().width(), height());
}

}  // namespace rivek
