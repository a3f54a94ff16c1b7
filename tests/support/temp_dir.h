// Temporary folders for tests: every test's files live in a fresh folder
// that is removed with everything in it afterwards, so no test ever reads
// or writes the user's own files.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace rivek::testing {

// A fresh folder under the system's temporary folder, named after `stem`.
class TempDir {
public:
    explicit TempDir(std::string_view stem = "rivek-test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        // Undo permission changes a test made, then remove everything.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

    static void WriteFile(const std::filesystem::path& name, std::string_view bytes) {
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string ReadFile(const std::filesystem::path& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path path_;
};

// A TempDir that is the current working directory while it lives. The two
// files are opened by bare name, so this keeps every test away from the
// user's own "Rivek.ini" and "Rivek.dat".
class TempWorkingDir : public TempDir {
public:
    explicit TempWorkingDir(std::string_view stem = "rivek-test")
        : TempDir(stem), previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(Path());
    }
    ~TempWorkingDir() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

}  // namespace rivek::testing
