// Shared pieces of rivek-tool's subcommands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rivek::tool {

// Exit statuses: 0 success, 1 a failure while working (a file that can't be
// written), 2 a usage error (unknown option, missing argument, bad value).
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Turns a text argument into code page 932 bytes: from UTF-8, with
// full-width kana and letters folded to their half-width twins as in the
// window, or from hex digit pairs when `hex` is set. On failure prints a message naming `what`
// on stderr and returns nullopt.
std::optional<std::string> TextArgument(std::string_view argument, bool hex, std::string_view what);

// A whole decimal number within [low, high], or nullopt.
std::optional<std::int64_t> NumberInRange(std::string_view text, std::int64_t low, std::int64_t high);

// Lower-case hex of the bytes, two digits each, no separators.
std::string ToHex(std::string_view bytes);

// Prints "rivek-tool <command>: <message>" on stderr.
void PrintError(std::string_view command, std::string_view message);

}  // namespace rivek::tool

namespace rivek::tool {
// Subcommands; `args` excludes the program and subcommand names.
int RunTiming(const std::vector<std::string>& args);
int RunWave(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);
int RunDrill(const std::vector<std::string>& args);
int RunStats(const std::vector<std::string>& args);
}  // namespace rivek::tool
