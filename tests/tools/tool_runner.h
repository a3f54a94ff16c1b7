// Runs the built rivek-tool as a shell would and collects what it prints.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace rivek::testing {

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The argument in single quotes, for /bin/sh.
inline std::string ShellQuoted(const std::string& arg) {
    std::string quoted = "'";
    for (const char c : arg) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted.push_back(c);
        }
    }
    return quoted + "'";
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a shell command line; stdout comes through a pipe. stderr goes to
// `errPath` and is read back, or is dropped when `errPath` is empty.
inline ToolResult RunCommand(const std::string& commandLine, const std::filesystem::path& errPath = {}) {
    const std::string command =
        commandLine + " 2>" + (errPath.empty() ? std::string("/dev/null") : ShellQuoted(errPath.string()));
    ToolResult run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
    const int status = pclose(pipe);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    if (!errPath.empty()) run.err = ReadFile(errPath);
    return run;
}

// rivek-tool with the arguments, each quoted.
inline std::string ToolCommandLine(const std::vector<std::string>& args) {
    std::string line = ShellQuoted(RIVEK_TOOL_PATH);
    for (const std::string& arg : args) line += " " + ShellQuoted(arg);
    return line;
}

}  // namespace rivek::testing
