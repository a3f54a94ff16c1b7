#include "storage/history_path.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace rivek {

std::filesystem::path DefaultHistoryPath(const std::function<const char*(const char*)>& environment) {
    namespace fs = std::filesystem;
    const auto value = [&environment](const char* name) -> std::string {
        const char* text = environment(name);
        return text == nullptr ? std::string() : std::string(text);
    };
    fs::path data = value("XDG_DATA_HOME");
    if (data.empty() || !data.is_absolute()) {
        fs::path home = value("HOME");
        if (home.empty()) {
            // No HOME: the account's home folder.
            std::vector<char> buffer(16384);
            passwd entry{};
            passwd* found = nullptr;
            if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
                found->pw_dir != nullptr) {
                home = found->pw_dir;
            }
        }
        if (home.empty()) return {};
        data = home / ".local" / "share";
    }
    return data / "rivek" / "history.sqlite3";
}

std::filesystem::path DefaultHistoryPath() {
    return DefaultHistoryPath([](const char* name) { return std::getenv(name); });
}

}  // namespace rivek
