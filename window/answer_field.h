// The answer field Edit1: a single-line edit that hands each character key
// to a handler first, which may swallow it by replacing it with 0, and that
// selects its whole text when it gains the focus.
#pragma once

#include <QLineEdit>

#include <chrono>
#include <functional>

namespace rivek {

class AnswerField : public QLineEdit {
    Q_OBJECT

public:
    // The key's character (a single byte; Enter is 13), in and out.
    using KeyPressHandler = std::function<void(char& key)>;

    explicit AnswerField(QWidget* parent = nullptr);
    ~AnswerField() override;

    void SetKeyPressHandler(KeyPressHandler handler) { keyPress_ = std::move(handler); }

    // After this long without a key or the focus coming in, the caret stops
    // blinking and stays on, as on the usual Linux desktops; the next key
    // starts it again. A blinking caret repaints twice a second, which is
    // all the work an idle Rivek would otherwise do.
    static constexpr std::chrono::seconds kCaretBlinkTimeout{10};
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    void SetClock(Clock clock);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void WakeCaret();

    KeyPressHandler keyPress_;
    Clock clock_ = [] { return std::chrono::steady_clock::now(); };
    std::chrono::steady_clock::time_point lastActivity_{};
    int sleepingFlashTimeMs_ = 0;  // the desktop's flash time while the caret is held still
};

}  // namespace rivek
