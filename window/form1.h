// The main window Form1: the three settings, Reset, the numeral switch, the
// score labels, the result box, the answer field and the menu. It is the
// trial controller's window (WindowPort) and hands the controller its
// events; the texts it exchanges with the controller are code page 932.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <string>
#include <string_view>

#include "drill/ports.h"

class QAction;
class QCheckBox;
class QFrame;
class QMenu;
class QPushButton;

namespace rivek {

class AnswerField;
class ResultBox;
class SpinField;
class StaticText;
class TrialController;

class TForm1 : public QMainWindow, public WindowPort {
    Q_OBJECT

public:
    // The client area below the menu bar [pixels].
    static constexpr int kClientWidth = 417;
    static constexpr int kClientHeight = 225;

    // Creates every control with its starting value. The window does
    // nothing with its events until Attach().
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Hands the window's events to `controller` from now on and runs its
    // start-up (FormCreate). The controller must outlive the window's use.
    void Attach(TrialController& controller);

    // The user guide that ships with Rivek:
    // <folder of the executable>/../share/doc/rivek/guide.html.
    static QUrl SupportPageAddress();
    // The About box's text: name, version, authorship and licence, an
    // empty line, the support page's address.
    static QString AboutText();

    // Menu commands.
    void Exit1Click();   // closes the window, as the close box does
    void S1Click();      // opens the support page; without a program that
                         // opens it, a box tells the guide's path
    void About1Click();  // the modal About box

    // SettingsFields
    std::int32_t SpinValue(Setting setting) const override;
    void SetSpinValue(Setting setting, std::int32_t value) override;
    // ResultView, on RichEdit1
    void Clear() override;
    void AppendBold(std::string_view text, Rgb colour) override;
    // ScoreLabels, StaticText4 to StaticText7
    void SetLabelText(ScoreLabel label, std::string_view text) override;
    // WindowPort. The answer is read with full-width kana, hiragana and
    // letters folded to their half-width twins (platform/half_width.h); a
    // character that code page 932 lacks is read as "?".
    std::string AnswerText() const override;
    void SetAnswerText(std::string_view text) override;
    void FocusAnswer() override;
    void RepaintNow() override;
    bool NumeralsAbbreviated() const override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void CreateFrames(QWidget* client);
    void CreateSettingsControls(QWidget* client);
    void CreateResultControls(QWidget* client);
    void SetTabStops();
    void CreateMenu();
    void PlaceWindow();
    SpinField* Spin(Setting setting) const;
    StaticText* Label(ScoreLabel label) const;
    // Runs a controller operation; an error escaping it is shown in the
    // standard error box and the program goes on.
    template <typename Operation>
    void Guarded(Operation&& operation);

    TrialController* controller_ = nullptr;
    bool closed_ = false;

    QFrame* Bevel1 = nullptr;
    QFrame* Bevel2 = nullptr;
    QFrame* Panel1 = nullptr;
    QPushButton* Button1 = nullptr;
    SpinField* SpinEdit1 = nullptr;
    SpinField* SpinEdit2 = nullptr;
    StaticText* StaticText1 = nullptr;
    StaticText* StaticText2 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    StaticText* StaticText3 = nullptr;
    SpinField* SpinEdit3 = nullptr;
    AnswerField* Edit1 = nullptr;
    ResultBox* RichEdit1 = nullptr;
    StaticText* StaticText4 = nullptr;
    StaticText* StaticText5 = nullptr;
    StaticText* StaticText6 = nullptr;
    StaticText* StaticText7 = nullptr;
    StaticText* StaticText8 = nullptr;
    StaticText* StaticText9 = nullptr;
    StaticText* StaticText10 = nullptr;

    QMenu* F1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* S1 = nullptr;
    QAction* About1 = nullptr;
};

}  // namespace rivek
