// rivek-tool: Morse timing lists, WAV images, practice audio, answer checks
// and the history's statistics from the command line, with the same code as
// the Rivek window.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/tool_common.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: rivek-tool COMMAND [OPTIONS] ARGUMENTS\n"
    "\n"
    "Commands:\n"
    "  timing  print the Morse timing list of a text, in units\n"
    "  wave    write the WAV image of a text as Rivek sounds it\n"
    "  check   check an answer against a sent group as Rivek scores it\n"
    "  drill   write practice audio (WAV, FLAC, Ogg Vorbis, MP3) and its key\n"
    "  stats   print the statistics of Rivek's history of trials\n"
    "\n"
    "Run 'rivek-tool COMMAND --help' for the options of a command.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace rivek::tool;
    if (argc < 2) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return kExitOk;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "timing") return RunTiming(args);
    if (command == "wave") return RunWave(args);
    if (command == "check") return RunCheck(args);
    if (command == "drill") return RunDrill(args);
    if (command == "stats") return RunStats(args);
    std::cerr << "rivek-tool: unknown command '" << command << "'\n\n" << kUsage;
    return kExitUsage;
}
