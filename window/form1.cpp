#include "window/form1.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <exception>
#include <new>

#include "drill/trial_controller.h"
#include "platform/shift_jis.h"
#include "window/answer_field.h"
#include "window/result_box.h"
#include "window/spin_field.h"
#include "window/static_text.h"
#include "window/window_fonts.h"

#ifndef RIVEK_VERSION
#error "RIVEK_VERSION must be defined by the build"
#endif

namespace rivek {
namespace {

// Where the window's frame goes on the desktop [pixels].
constexpr int kFrameLeft = 248;
constexpr int kFrameTop = 110;

// Font heights [pixels].
constexpr int kWindowFontHeight = 12;
constexpr int kAnswerFontHeight = 13;
constexpr int kResultFontHeight = 16;
constexpr int kScoreFontHeight = 16;

// Shown when the sound image can't grow for lack of memory.
const char kOutOfMemoryMessage[] = "メモリストリームの拡大中にメモリが足りなくなりました";

template <typename Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QString FromCp932(std::string_view text) { return QString::fromUtf8(Cp932ToUtf8(text)); }

// The answer as the core reads it: full-width kana, hiragana and letters
// (an input method's default) as their half-width twins, and a character
// that code page 932 lacks as "?".
std::string ToCp932(const QString& text) { return UserTextToCp932(text.toUtf8().toStdString()); }

QFrame* SunkenLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

StaticText* ScoreText(QWidget* parent) {
    auto* label = new StaticText(parent);
    label->setFont(WindowFont(kScoreFontHeight, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Rivek"));
    // The icon that the installation puts into the desktop's icon theme.
    setWindowIcon(QIcon::fromTheme(QStringLiteral("rivek")));
    // A sizeable frame with the system menu, minimize and close, no maximize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(WindowFont(kWindowFontHeight));

    CreateMenu();
    CreateControls();
    PlaceWindow();

    Edit1->setFocus();
    Edit1->selectAll();
}

TForm1::~TForm1() = default;

void TForm1::CreateControls() {
    // The client area holds the controls at fixed places: no layout, so a
    // resized window leaves them where they are.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    QPalette palette = client->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    client->setPalette(palette);
    client->setAutoFillBackground(true);
    setCentralWidget(client);

    // In the order of creation: a later control lies on top of an earlier one.
    CreateFrames(client);
    CreateSettingsControls(client);
    CreateResultControls(client);
    SetTabStops();
}

void TForm1::CreateFrames(QWidget* client) {
    Bevel1 = Place(SunkenLine(client), "Bevel1", -8, 0, 425, 2);
    Bevel2 = Place(SunkenLine(client), "Bevel2", 0, 136, 417, 2);

    Panel1 = Place(new QFrame(client), "Panel1", 8, 144, 169, 81);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
}

// The upper area: Reset, the three spin fields with their names, the
// numeral box.
void TForm1::CreateSettingsControls(QWidget* client) {
    Button1 = Place(new QPushButton(QStringLiteral("Reset"), client), "Button1", 264, 24, 97, 25);
    // As on a dialog, Enter on the focused button presses it.
    Button1->setAutoDefault(true);

    SpinEdit1 = Place(new SpinField(RangeOf(Setting::Frequency), client), "SpinEdit1", 128, 24, 57, 21);
    SpinEdit2 = Place(new SpinField(RangeOf(Setting::Speed), client), "SpinEdit2", 128, 64, 57, 21);

    StaticText1 = Place(new StaticText(client), "StaticText1", 32, 30, 82, 16);
    StaticText1->SetText(QStringLiteral("Frequency [Hz]"));
    StaticText2 = Place(new StaticText(client), "StaticText2", 32, 70, 80, 16);
    StaticText2->SetText(QStringLiteral("Speed [PARIS]"));

    CheckBox1 = Place(new QCheckBox(QStringLiteral("数字略体"), client), "CheckBox1", 272, 72, 73, 17);
    CheckBox1->setChecked(false);

    StaticText3 = Place(new StaticText(client), "StaticText3", 32, 110, 60, 16);
    StaticText3->SetText(QStringLiteral("Characters"));

    SpinEdit3 = Place(new SpinField(RangeOf(Setting::GroupLength), client), "SpinEdit3", 128, 104, 57, 21);
}

// The lower area: the answer field, the result box, the score labels and
// the names of the box's lines and of the field.
void TForm1::CreateResultControls(QWidget* client) {
    Edit1 = Place(new AnswerField(client), "Edit1", 232, 200, 185, 21);
    Edit1->setFont(WindowFont(kAnswerFontHeight, true));
    Edit1->setText(QStringLiteral("　Enter で開始"));  // begins with U+3000

    RichEdit1 = Place(new ResultBox(client), "RichEdit1", 232, 152, 185, 44);
    RichEdit1->setFont(WindowFont(kResultFontHeight));
    // Two lines of 16-pixel text fill the 44-pixel box: the document keeps
    // only a small margin, and there is no room for scroll bars.
    RichEdit1->document()->setDocumentMargin(2);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    StaticText4 = Place(ScoreText(client), "StaticText4", 80, 152, 57, 20);
    StaticText5 = Place(ScoreText(client), "StaticText5", 80, 176, 57, 20);
    StaticText6 = Place(ScoreText(client), "StaticText6", 80, 200, 57, 20);
    StaticText7 = Place(ScoreText(client), "StaticText7", 16, 151, 38, 20);
    // As a new drill shows them: nothing counted, group number 1.
    for (const ScoreLabel label :
         {ScoreLabel::Wrong, ScoreLabel::Missing, ScoreLabel::Penalty, ScoreLabel::TrialNo}) {
        SetLabelText(label, LabelText(label, DrillCounters{1, 0, 0}));
    }

    StaticText8 = Place(new StaticText(client), "StaticText8", 200, 160, 28, 16);
    StaticText8->SetText(QStringLiteral("正解"));
    StaticText9 = Place(new StaticText(client), "StaticText9", 200, 176, 28, 16);
    StaticText9->SetText(QStringLiteral("添削"));
    StaticText10 = Place(new StaticText(client), "StaticText10", 200, 204, 28, 16);
    StaticText10->SetText(QStringLiteral("入力"));
}

// The tab stops in their order; the labels, the panel and the lines are
// none.
void TForm1::SetTabStops() {
    for (QWidget* widget : std::initializer_list<QWidget*>{Bevel1, Bevel2, Panel1}) {
        widget->setFocusPolicy(Qt::NoFocus);
    }
    setTabOrder(Edit1, SpinEdit1);
    setTabOrder(SpinEdit1, SpinEdit2);
    setTabOrder(SpinEdit2, SpinEdit3);
    setTabOrder(SpinEdit3, Button1);
    setTabOrder(Button1, CheckBox1);
    setTabOrder(CheckBox1, RichEdit1);
}

void TForm1::CreateMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    // The menu stays in the window, so the client area is the same on
    // every desktop.
    bar->setNativeMenuBar(false);

    // Access keys only (the letter after "&"); no shortcut keys.
    F1 = bar->addMenu(QStringLiteral("File (&F)"));
    F1->setObjectName(QStringLiteral("F1"));
    Exit1 = F1->addAction(QStringLiteral("Exit (&X)"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);

    Help1 = bar->addMenu(QStringLiteral("Help (&H)"));
    Help1->setObjectName(QStringLiteral("Help1"));
    S1 = Help1->addAction(QStringLiteral("Support Page (&S)"));
    S1->setObjectName(QStringLiteral("S1"));
    connect(S1, &QAction::triggered, this, &TForm1::S1Click);
    About1 = Help1->addAction(QStringLiteral("About (&A)"));
    About1->setObjectName(QStringLiteral("About1"));
    connect(About1, &QAction::triggered, this, &TForm1::About1Click);
}

void TForm1::PlaceWindow() {
    resize(kClientWidth, menuBar()->sizeHint().height() + kClientHeight);
    // At its place where the desktop has room for it, otherwise moved in
    // just far enough to lie on the desktop.
    QPoint topLeft(kFrameLeft, kFrameTop);
    if (const QScreen* desktop = screen()) {
        const QRect available = desktop->availableGeometry();
        topLeft.setX(std::max(available.left(), std::min(topLeft.x(), available.right() + 1 - width())));
        topLeft.setY(std::max(available.top(), std::min(topLeft.y(), available.bottom() + 1 - height())));
    }
    move(topLeft);
}

void TForm1::Attach(TrialController& controller) {
    controller_ = &controller;
    Edit1->SetKeyPressHandler([this](char& key) {
        Guarded([&] { controller_->Edit1Keypress(key); });
    });
    connect(Button1, &QPushButton::clicked, this, [this] {
        Guarded([this] { controller_->Button1Click(); });
    });
    // Any change of state, by mouse, keyboard or program.
    connect(CheckBox1, &QCheckBox::toggled, this, [this] {
        Guarded([this] { controller_->CheckBox1Click(); });
    });
    Guarded([this] { controller_->FormCreate(); });
}

template <typename Operation>
void TForm1::Guarded(Operation&& operation) {
    QString message;
    try {
        operation();
        return;
    } catch (const std::bad_alloc&) {
        message = QString::fromUtf8(kOutOfMemoryMessage);
    } catch (const std::exception& error) {
        message = FromCp932(error.what());
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    QMessageBox::critical(this, windowTitle(), message);
}

QUrl TForm1::SupportPageAddress() {
    return QUrl::fromLocalFile(QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                               QStringLiteral("/../share/doc/rivek/guide.html")));
}

QString TForm1::AboutText() {
    return QStringLiteral("Rivek " RIVEK_VERSION " — a Morse code copy trainer, "
                          "written by the Rivek developers. Free software under the GNU "
                          "General Public License, version 3 or later.") +
           QStringLiteral("\n\n") + SupportPageAddress().toString();
}

void TForm1::Exit1Click() { close(); }

void TForm1::S1Click() {
    if (QDesktopServices::openUrl(SupportPageAddress())) return;
    // No program on this desktop opens the guide (Qt found neither xdg-open
    // nor a browser): say where it is, so that it can be opened by hand.
    const QString path = SupportPageAddress().toLocalFile();
    QMessageBox box(QMessageBox::Information, QStringLiteral("Support Page"),
                    QStringLiteral("No program was found to open the user guide. "
                                   "Open it in a web browser; it is here:\n\n") + path,
                    QMessageBox::Close, this);
    box.setObjectName(QStringLiteral("GuidePathBox"));
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton* copy = box.addButton(QStringLiteral("Copy Path"), QMessageBox::ActionRole);
    box.setDefaultButton(copy);
    box.exec();
    if (box.clickedButton() == copy) QGuiApplication::clipboard()->setText(path);
}

void TForm1::About1Click() {
    QMessageBox box(QMessageBox::Information, QStringLiteral("情報"), AboutText(), QMessageBox::Ok,
                    this);
    box.setObjectName(QStringLiteral("AboutBox"));
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The close always goes ahead; the settings are saved once.
    if (controller_ && !closed_) {
        closed_ = true;
        Guarded([this] { controller_->FormClose(); });
    }
    event->accept();
}

SpinField* TForm1::Spin(Setting setting) const {
    switch (setting) {
    case Setting::Frequency: return SpinEdit1;
    case Setting::Speed: return SpinEdit2;
    case Setting::GroupLength: return SpinEdit3;
    }
    return SpinEdit1;
}

StaticText* TForm1::Label(ScoreLabel label) const {
    switch (label) {
    case ScoreLabel::Wrong: return StaticText4;
    case ScoreLabel::Missing: return StaticText5;
    case ScoreLabel::Penalty: return StaticText6;
    case ScoreLabel::TrialNo: return StaticText7;
    }
    return StaticText4;
}

std::int32_t TForm1::SpinValue(Setting setting) const { return Spin(setting)->Value(); }

void TForm1::SetSpinValue(Setting setting, std::int32_t value) { Spin(setting)->SetValue(value); }

void TForm1::Clear() { RichEdit1->Clear(); }

void TForm1::AppendBold(std::string_view text, Rgb colour) { RichEdit1->AppendBold(text, colour); }

void TForm1::SetLabelText(ScoreLabel label, std::string_view text) {
    Label(label)->SetText(FromCp932(text));
}

std::string TForm1::AnswerText() const { return ToCp932(Edit1->text()); }

void TForm1::SetAnswerText(std::string_view text) { Edit1->setText(FromCp932(text)); }

void TForm1::FocusAnswer() {
    Edit1->setFocus();
    Edit1->selectAll();
}

void TForm1::RepaintNow() {
    RichEdit1->FitContent();
    repaint();
}

bool TForm1::NumeralsAbbreviated() const { return CheckBox1->isChecked(); }

}  // namespace rivek
