#include "window/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdlib>
#include <iostream>

#ifndef RIVEK_VERSION
#error "RIVEK_VERSION must be defined by the build"
#endif

namespace rivek {
namespace {

constexpr const char kHelp[] =
    "Usage: rivek [--help] [--version]\n"
    "\n"
    "Rivek, a trainer for copying Morse code by ear, opens its window. It\n"
    "takes no files or other arguments: it keeps its settings in Rivek.ini and\n"
    "reads the characters to practise from Rivek.dat, both in the folder it\n"
    "is started from.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  -v, --version  show the version and exit\n"
    "\n"
    "Qt's standard options, such as -platform and -style, are taken too.\n"
    "See also: man rivek, rivek-tool --help.\n";

constexpr const char kTryHelp[] = "Try 'rivek --help' for more information.\n";

// The options QGuiApplication and QApplication read themselves, so that
// they are not refused here: those that take a value, and switches.
constexpr const char* kQtValueOptions[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
    "qwindowgeometry", "geometry", "qwindowicon", "icon", "qwindowtitle", "title",
    "session", "display", "name", "visual", "style", "stylesheet",
};
constexpr const char* kQtSwitches[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

// The names Qt gives the platform: "wayland;xcb" lists fallbacks, and a
// name may carry options after a colon ("offscreen:fontengine=freetype").
QStringList PlatformNames(const QString& platform) {
    QStringList names;
    for (const QString& entry : platform.split(u';', Qt::SkipEmptyParts)) names << entry.section(u':', 0, 0);
    return names;
}

// The value of one of Qt's options, given as "-name value", "--name value"
// or "-name=value"; the last one counts. Empty when it is not given.
QString OptionValue(const QStringList& arguments, const QString& name) {
    QString value;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString argument = arguments[i];
        if (argument.startsWith(QStringLiteral("--"))) argument.remove(0, 1);
        if (argument == "-" + name && i + 1 < arguments.size()) {
            value = arguments[++i];
        } else if (argument.startsWith("-" + name + "=")) {
            value = argument.section(u'=', 1);
        }
    }
    return value;
}

}  // namespace

std::optional<int> ReadCommandLine(const QStringList& arguments, std::ostream& out, std::ostream& err) {
    QCommandLineParser parser;
    // Qt's options are written with one dash: -platform, not -p -l -a ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);
    for (const char* name : kQtValueOptions) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    }
    for (const char* name : kQtSwitches) parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

    if (!parser.parse(arguments)) {
        err << "rivek: " << parser.errorText().toStdString() << '\n' << kTryHelp;
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        out << kHelp;
        return 0;
    }
    if (parser.isSet(version)) {
        out << "rivek " RIVEK_VERSION "\n";
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "rivek: unexpected argument '" << parser.positionalArguments().front().toStdString()
            << "': Rivek takes no files or other arguments; it uses Rivek.ini and Rivek.dat in the "
               "folder it is started from.\n"
            << kTryHelp;
        return kExitUsage;
    }
    return std::nullopt;
}

bool GraphicalDisplayFound(const QStringList& arguments, const Environment& environment) {
    auto set = [&](const char* name) { return !environment(name).isEmpty(); };
    const bool displayArgument = !OptionValue(arguments, QStringLiteral("display")).isEmpty();
    const QString platformArgument = OptionValue(arguments, QStringLiteral("platform"));

    const bool x11 = set("DISPLAY") || displayArgument;
    const QByteArray runtimeDir = environment("XDG_RUNTIME_DIR");
    const bool defaultWaylandSocket =
        !runtimeDir.isEmpty() && QFileInfo::exists(QString::fromLocal8Bit(runtimeDir) + "/wayland-0");
    const bool wayland = set("WAYLAND_DISPLAY") || set("WAYLAND_SOCKET") || defaultWaylandSocket;

    const QString platform =
        !platformArgument.isEmpty() ? platformArgument : QString::fromLocal8Bit(environment("QT_QPA_PLATFORM"));
    if (platform.isEmpty()) {
        // Qt takes X11 when DISPLAY is set, and Wayland when WAYLAND_DISPLAY
        // is set or the session is a Wayland one.
        return x11 || set("WAYLAND_DISPLAY") || (environment("XDG_SESSION_TYPE") == "wayland" && wayland);
    }
    for (const QString& name : PlatformNames(platform)) {
        if (name == "xcb") {
            if (x11) return true;
        } else if (name.startsWith("wayland")) {
            if (wayland) return true;
        } else {
            return true;  // offscreen, minimal, vnc, eglfs, linuxfb ...: no display to look for
        }
    }
    return false;
}

std::optional<int> CheckStart(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> status = ReadCommandLine(arguments, std::cout, std::cerr)) return status;
    if (!GraphicalDisplayFound(arguments, [](const char* name) { return qgetenv(name); })) {
        std::cerr << "rivek: no graphical display was found; Rivek runs in a desktop session "
                     "(X11 with DISPLAY set, or Wayland with WAYLAND_DISPLAY set)\n";
        return kExitNoDisplay;
    }
    return std::nullopt;
}

}  // namespace rivek
