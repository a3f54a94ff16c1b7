// Rivek's command line and the check for a display, both before the
// application object exists: Qt ends the process with a core dump when it
// finds no display, and --help should work without one.
#pragma once

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <optional>
#include <ostream>

namespace rivek {

// Exit statuses of the start: 0 after --help or --version, 1 without a
// display, 2 for an argument Rivek does not take.
inline constexpr int kExitNoDisplay = 1;
inline constexpr int kExitUsage = 2;

// Reads the arguments (the program's name first). --help and --version
// print to `out` and give 0; an unknown option or any other argument is
// explained on `err` and gives kExitUsage. Qt's own options (-platform,
// -style, -display ...) pass. nullopt: go on and start.
std::optional<int> ReadCommandLine(const QStringList& arguments, std::ostream& out, std::ostream& err);

// An environment variable's value; empty when it is not set.
using Environment = std::function<QByteArray(const char* name)>;

// Whether the platform Qt will use can find a display: xcb needs DISPLAY (or
// -display), wayland needs WAYLAND_DISPLAY, WAYLAND_SOCKET or the default
// socket in XDG_RUNTIME_DIR. The platform is the -platform argument, else
// QT_QPA_PLATFORM, else whatever the desktop session offers. Platforms that
// need no display (offscreen, vnc, eglfs ...) always find one.
bool GraphicalDisplayFound(const QStringList& arguments, const Environment& environment);

// Both of the above on the process's own arguments and environment, with
// messages on stdout and stderr. nullopt: go on and create the application.
std::optional<int> CheckStart(int argc, char** argv);

}  // namespace rivek
