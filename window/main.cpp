// Rivek's entry: wires the sound service, the main window and the trial
// controller, then runs the event loop until the window has closed.
#include <QApplication>

#include <optional>

#include "drill/trial_controller.h"
#include "window/command_line.h"
#include "window/form1.h"

// The program plays through libpulse. scripts/measure builds the same entry
// with the earlier Qt Multimedia back end (rivek_qt_sound) to compare them.
#ifdef RIVEK_QT_SOUND
#include "sound/qt_sound_service.h"
using ProgramSound = rivek::QtSoundService;
#else
#include "sound/pulse_sound_service.h"
using ProgramSound = rivek::PulseSoundService;
#endif

int main(int argc, char* argv[]) {
    // --help, --version, unknown arguments and a missing display end the
    // program here, before Qt would abort for want of a display.
    if (const std::optional<int> exitStatus = rivek::CheckStart(argc, argv)) return *exitStatus;

    QApplication application(argc, argv);
    // Ties the window to the desktop entry (icon, name) on Wayland too.
    QGuiApplication::setDesktopFileName(QStringLiteral("rivek"));

    ProgramSound sound;
    rivek::TForm1 form1;
    rivek::TrialController controller(form1, sound);
    form1.Attach(controller);  // FormCreate runs here, before the window shows
    form1.show();
    return application.exec();
}
