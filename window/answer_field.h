// The answer field Edit1: a single-line edit that hands each character key
// to a handler first, which may swallow it by replacing it with 0, and that
// selects its whole text when it gains the focus.
#pragma once

#include <QLineEdit>

#include <functional>

namespace rivek {

class AnswerField : public QLineEdit {
    Q_OBJECT

public:
    // The key's character (a single byte; Enter is 13), in and out.
    using KeyPressHandler = std::function<void(char& key)>;

    explicit AnswerField(QWidget* parent = nullptr);

    void SetKeyPressHandler(KeyPressHandler handler) { keyPress_ = std::move(handler); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    KeyPressHandler keyPress_;
};

}  // namespace rivek
