#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace rivek {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// A repository of stand-ins around a copy of one real script.
class ScriptsTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(repo_ / "scripts");
        fs::create_directories(repo_ / "build" / "bin");
        fs::copy_file(fs::path(RIVEK_SOURCE_DIR) / "scripts" / "run", repo_ / "scripts" / "run");
        // Each stand-in notes the folder it runs in and its arguments.
        StandIn(repo_ / "scripts" / "deps", "deps");
        StandIn(repo_ / "scripts" / "build", "build");
        StandIn(repo_ / "build" / "bin" / "rivek", "rivek");
        fs::create_directories(userFolder_);
    }

    void StandIn(const fs::path& path, const std::string& name) {
        TempDir::WriteFile(path, "#!/bin/sh\necho \"$PWD $*\" > '" + (notes_ / name).string() + "'\n");
        fs::permissions(path, fs::perms::owner_all);
    }
    std::string Note(const std::string& name) const { return TempDir::ReadFile(notes_ / name); }

    // Runs a script from `folder`; returns its exit status.
    int RunFrom(const fs::path& folder, const std::string& commandLine) const {
        const std::string command = "cd '" + folder.string() + "' && " + commandLine + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    TempDir repo_{"rivek-repo"};
    TempDir notes_{"rivek-notes"};
    fs::path userFolder_ = notes_ / "my cw folder";
};

TEST_F(ScriptsTest, RunStartsRivekInTheFolderItWasCalledFrom) {
    // Called by a relative path and by an absolute one.
    const std::string relative = fs::relative(repo_ / "scripts" / "run", userFolder_).string();
    for (const std::string& script : {relative, "'" + (repo_ / "scripts" / "run").string() + "'"}) {
        SCOPED_TRACE(script);
        ASSERT_EQ(RunFrom(userFolder_, script + " --version"), 0);
        EXPECT_EQ(Note("rivek"), userFolder_.string() + " --version\n");
        // Installing and building happen in the repository.
        EXPECT_EQ(Note("deps"), fs::canonical(repo_.Path()).string() + " run\n");
        EXPECT_TRUE(Note("build").starts_with(fs::canonical(repo_.Path()).string() + " ")) << Note("build");
    }
}

}  // namespace
}  // namespace rivek
