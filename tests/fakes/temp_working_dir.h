// Runs a test in a fresh temporary directory as the current working
// directory, and goes back and removes it afterwards. The two files are
// opened by bare name, so this keeps every test away from the user's files.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace rivek::testing {

class TempWorkingDir {
public:
    TempWorkingDir() : previous_(std::filesystem::current_path()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "rivek-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
        std::filesystem::current_path(path_);
    }
    ~TempWorkingDir() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        // Undo permission changes a test made, then remove everything.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempWorkingDir(const TempWorkingDir&) = delete;
    TempWorkingDir& operator=(const TempWorkingDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    static void WriteFile(const std::filesystem::path& name, std::string_view bytes) {
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string ReadFile(const std::filesystem::path& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

}  // namespace rivek::testing
