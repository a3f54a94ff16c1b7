// Where the history lives: $XDG_DATA_HOME/rivek/history.sqlite3, by default
// ~/.local/share/rivek/history.sqlite3.
#pragma once

#include <filesystem>
#include <functional>

namespace rivek {

// `environment` looks up a variable (nullptr when unset). XDG_DATA_HOME
// counts only when it is an absolute path; otherwise HOME, then the home
// folder of the user's account. Empty when there is no home folder at all.
std::filesystem::path DefaultHistoryPath(const std::function<const char*(const char*)>& environment);

// The same from the process's environment.
std::filesystem::path DefaultHistoryPath();

}  // namespace rivek
