// The command line and the display check that run before Qt starts: on
// their own, and through the built program in a shell.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "support/temp_dir.h"
#include "window/command_line.h"

namespace rivek {
namespace {

using testing::TempDir;
using testing::TempWorkingDir;

TEST(CommandLineTest, HelpAndVersionPrintAndEndEverythingElseIsExplained) {
    struct Case {
        const char* name;
        QStringList arguments;  // after the program's name
        std::optional<int> status;
        std::string out;        // the start of what is printed on stdout
        std::string err;        // a part of what is printed on stderr
    };
    const Case cases[] = {
        {"no arguments", {}, std::nullopt, "", ""},
        {"--help", {"--help"}, 0, "Usage: rivek [--help] [--version]\n", ""},
        {"-h", {"-h"}, 0, "Usage: rivek", ""},
        {"--version", {"--version"}, 0, "rivek " RIVEK_VERSION "\n", ""},
        {"-v", {"-v"}, 0, "rivek " RIVEK_VERSION "\n", ""},
        {"help wins over Qt options", {"-platform", "offscreen", "--help"}, 0, "Usage: rivek", ""},
        {"unknown option", {"--frobnicate"}, kExitUsage, "", "rivek: Unknown option 'frobnicate'."},
        {"a file name", {"Rivek.dat"}, kExitUsage, "", "unexpected argument 'Rivek.dat'"},
        {"a value option without its value", {"-platform"}, kExitUsage, "", "Missing value after '-platform'"},
        // Qt's own options are Qt's business.
        {"Qt's -platform", {"-platform", "offscreen"}, std::nullopt, "", ""},
        {"Qt's --style=", {"--style=Fusion"}, std::nullopt, "", ""},
        {"Qt's -reverse", {"-reverse"}, std::nullopt, "", ""},
        {"Qt's -display", {"-display", ":0"}, std::nullopt, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(ReadCommandLine(QStringList{"rivek"} + c.arguments, out, err), c.status);
        EXPECT_TRUE(out.str().starts_with(c.out)) << out.str();
        EXPECT_EQ(out.str().empty(), c.out.empty()) << out.str();
        EXPECT_NE(err.str().find(c.err), std::string::npos) << err.str();
        EXPECT_EQ(err.str().empty(), c.err.empty()) << err.str();
        if (!c.err.empty()) {
            EXPECT_NE(err.str().find("Try 'rivek --help'"), std::string::npos);
        }
    }
}

TEST(CommandLineTest, DisplayIsLookedForWhereTheChosenPlatformLooks) {
    // A runtime folder with the default Wayland socket in it (a plain file
    // stands for it: only its name is looked at), and one without.
    const TempDir withSocket("rivek-runtime");
    TempDir::WriteFile(withSocket / "wayland-0", "");
    const TempDir withoutSocket("rivek-runtime");
    const std::string socketDir = withSocket.Path().string();
    const std::string emptyDir = withoutSocket.Path().string();

    struct Case {
        const char* name;
        std::map<std::string, std::string> environment;
        QStringList arguments;
        bool found;
    };
    const Case cases[] = {
        {"nothing", {}, {}, false},
        {"X11", {{"DISPLAY", ":0"}}, {}, true},
        {"Wayland", {{"WAYLAND_DISPLAY", "wayland-1"}}, {}, true},
        {"empty DISPLAY", {{"DISPLAY", ""}}, {}, false},
        {"Wayland session, default socket", {{"XDG_SESSION_TYPE", "wayland"}, {"XDG_RUNTIME_DIR", socketDir}}, {}, true},
        {"Wayland session, no socket", {{"XDG_SESSION_TYPE", "wayland"}, {"XDG_RUNTIME_DIR", emptyDir}}, {}, false},
        {"X11 session without DISPLAY", {{"XDG_SESSION_TYPE", "x11"}}, {}, false},
        {"offscreen", {{"QT_QPA_PLATFORM", "offscreen"}}, {}, true},
        {"minimal", {{"QT_QPA_PLATFORM", "minimal"}}, {}, true},
        {"xcb asked, only Wayland", {{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "wayland-0"}}, {}, false},
        {"xcb asked, X11", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":1"}}, {}, true},
        {"wayland asked, only X11", {{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":0"}}, {}, false},
        {"wayland asked, default socket", {{"QT_QPA_PLATFORM", "wayland"}, {"XDG_RUNTIME_DIR", socketDir}}, {}, true},
        {"wayland-egl asked, Wayland", {{"QT_QPA_PLATFORM", "wayland-egl"}, {"WAYLAND_DISPLAY", "w"}}, {}, true},
        {"fallback list", {{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":0"}}, {}, true},
        {"platform with options", {{"QT_QPA_PLATFORM", "xcb:nodebug"}}, {}, false},
        {"-platform offscreen", {}, {"-platform", "offscreen"}, true},
        {"-platform=offscreen", {}, {"-platform=offscreen"}, true},
        {"-platform over the variable", {{"QT_QPA_PLATFORM", "offscreen"}}, {"--platform", "xcb"}, false},
        {"-display", {{"QT_QPA_PLATFORM", "xcb"}}, {"-display", ":0"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto environment = [&c](const char* name) {
            const auto found = c.environment.find(name);
            return found == c.environment.end() ? QByteArray() : QByteArray::fromStdString(found->second);
        };
        EXPECT_EQ(GraphicalDisplayFound(QStringList{"rivek"} + c.arguments, environment), c.found);
    }
}

struct ProgramRun {
    int status = -1;  // the exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs the built program in a shell, with the environment changes before it.
ProgramRun RunRivek(const std::string& environment, const std::string& arguments) {
    const TempDir logs("rivek-run");
    const std::string command = "env " + environment + " '" RIVEK_PATH "' " + arguments + " 2>'" +
                                (logs / "err").string() + "'";
    ProgramRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = TempDir::ReadFile(logs / "err");
    return run;
}

TEST(CommandLineTest, ProgramWithoutADisplaySaysSoInOneLineAndExitsOne) {
    const TempWorkingDir dir;
    const std::string noDisplay =
        "-u DISPLAY -u WAYLAND_DISPLAY -u WAYLAND_SOCKET -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE";
    const ProgramRun run = RunRivek(noDisplay, "");
    EXPECT_EQ(run.status, 1) << "a core dump or signal gives -1";
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.starts_with("rivek: no graphical display was found")) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    // Nothing was started, so nothing was saved.
    EXPECT_FALSE(std::filesystem::exists("Rivek.ini"));

    // Asking for X11 where only Wayland is, the same.
    EXPECT_EQ(RunRivek(noDisplay + " WAYLAND_DISPLAY=wayland-9 QT_QPA_PLATFORM=xcb", "").status, 1);

    // Help and version need no display.
    const ProgramRun help = RunRivek(noDisplay, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: rivek")) << help.out;
    const ProgramRun version = RunRivek(noDisplay, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "rivek " RIVEK_VERSION "\n");
    const ProgramRun unknown = RunRivek(noDisplay, "--frobnicate");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("frobnicate"), std::string::npos) << unknown.err;
}

}  // namespace
}  // namespace rivek
