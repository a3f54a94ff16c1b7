// The main window driven as a user drives it: real widgets, real key and
// mouse events, the real trial controller, a sound service that records.
// Shared by the window's tests, one file for each kind of control.
#pragma once

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
#include "support/temp_dir.h"

namespace rivek::testing {

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
inline void CloseNextMessageBox(SeenBox& seen, int triesLeft = 300) {
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

inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }

inline std::string ReadFile(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    return file.readAll().toStdString();
}

inline void WriteFile(const QString& name, const std::string& bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

class WindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        form_.reset();
        controller_.reset();
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

    TempWorkingDir workDir_;
    RecordingSound sound_;
    int beeps_ = 0;
    // The window goes before the controller it reports to.
    std::unique_ptr<TrialController> controller_;
    std::unique_ptr<TForm1> form_;
};

}  // namespace rivek::testing
