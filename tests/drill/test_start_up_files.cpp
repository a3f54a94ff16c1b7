// The two files when they are not what they seem at start-up: directories,
// FIFOs, dangling and looping links, devices, unreadable and gigantic
// files. Start-up must end at once with the defined outcome and show
// nothing. (Saves that cannot be done whole are the file layer's, tested in
// tests/platform.)

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "drill/drill_files.h"
#include "drill/trial_controller.h"
#include "fakes/call_log.h"
#include "fakes/fake_sound.h"
#include "fakes/fake_window.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace rivek {
namespace {

namespace fs = std::filesystem;
using testing::CallLog;
using testing::FakeSound;
using testing::FakeWindow;
using testing::IsRoot;
using testing::kChildSkipped;
using testing::RunInChild;
using testing::TempWorkingDir;

constexpr std::int64_t kFourGiB = 4LL * 1024 * 1024 * 1024;

// ---- Start-up ---------------------------------------------------------

enum class Kind {
    Directory,
    Fifo,             // without a writer: opening it must not wait
    DanglingLink,
    LoopingLink,      // a link to itself
    LinkToZero,       // /dev/zero: endless NUL bytes
    LinkToUrandom,    // /dev/urandom: endless bytes, with CRs by chance
    Unreadable,       // a regular file without read permission
    SparseWithoutCr,  // 4 GiB: a few bytes, then a hole, no CR anywhere
};

struct StartUpCase {
    const char* name;
    Kind kind;
    const char* file;
};

void PrintTo(const StartUpCase& c, std::ostream* out) { *out << c.name; }

void Make(Kind kind, const char* name, std::string_view head) {
    switch (kind) {
    case Kind::Directory: fs::create_directory(name); break;
    case Kind::Fifo: ::mkfifo(name, 0644); break;
    case Kind::DanglingLink: fs::create_symlink("nowhere/at/all", name); break;
    case Kind::LoopingLink: fs::create_symlink(name, name); break;
    case Kind::LinkToZero: fs::create_symlink("/dev/zero", name); break;
    case Kind::LinkToUrandom: fs::create_symlink("/dev/urandom", name); break;
    case Kind::Unreadable:
        TempWorkingDir::WriteFile(name, head);
        fs::permissions(name, fs::perms::none);
        break;
    case Kind::SparseWithoutCr:
        TempWorkingDir::WriteFile(name, head);
        fs::resize_file(name, static_cast<std::uintmax_t>(kFourGiB));
        break;
    }
}

class StartUpWithStrangeFileTest : public ::testing::TestWithParam<StartUpCase> {
protected:
    // Runs start-up and one trial; returns what went wrong, one line each.
    std::string StartUpProblems() {
        const StartUpCase& c = GetParam();
        const bool settingsFaulty = std::string_view(c.file) == kSettingsFileName;
        std::ostringstream problems;

        CallLog log;
        FakeWindow window(log);
        FakeSound sound(log);
        TrialController controller(window, sound, [] { return 777u; });

        const auto started = std::chrono::steady_clock::now();
        try {
            controller.FormCreate();
        } catch (...) {
            problems << "start-up threw\n";
            return problems.str();
        }
        const auto took = std::chrono::steady_clock::now() - started;
        if (took > std::chrono::seconds(1)) {
            problems << "start-up took "
                     << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                     << " ms\n";
        }

        // Nothing but the fields is touched: no text, no label, no sound.
        for (const std::string& entry : log.Entries()) {
            if (!entry.starts_with("SetSpin ")) problems << "start-up did: " << entry << "\n";
        }

        // Each file is judged by its own success: the other one still counts.
        const std::int32_t shown[] = {window.SpinValue(Setting::Frequency),
                                      window.SpinValue(Setting::Speed),
                                      window.SpinValue(Setting::GroupLength)};
        std::vector<std::int32_t> expectedFields = {1000, 150, 12};
        std::string expectedPool = "KM";
        if (settingsFaulty) {
            expectedFields = c.kind == Kind::SparseWithoutCr ? std::vector<std::int32_t>{1200, 30, 1}
                                                             : std::vector<std::int32_t>{800, 100, 8};
        } else {
            expectedPool = c.kind == Kind::SparseWithoutCr ? "QRS" : "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        }
        if (std::vector<std::int32_t>(std::begin(shown), std::end(shown)) != expectedFields) {
            problems << "fields show " << shown[0] << ", " << shown[1] << ", " << shown[2] << "\n";
        }
        const CharPool& pool = controller.Pool();
        const std::string poolText(pool.CharPool.begin(), pool.CharPool.begin() + pool.PoolLength);
        if (poolText != expectedPool) problems << "pool is \"" << poolText << "\"\n";

        // The drill then runs: a group of the field's length from the pool.
        char key = kEnterKey;
        controller.Edit1Keypress(key);
        const std::string& sent = controller.SentText();
        if (sound.Plays() != 1 || sent.size() != static_cast<std::size_t>(expectedFields[2]) ||
            !std::all_of(sent.begin(), sent.end(),
                         [&](char ch) { return expectedPool.find(ch) != std::string::npos; })) {
            problems << "first group \"" << sent << "\", " << sound.Plays() << " plays\n";
        }
        return problems.str();
    }

    TempWorkingDir dir_;
};

TEST_P(StartUpWithStrangeFileTest, EndsAtOnceWithTheDefinedOutcomeAndShowsNothing) {
    const StartUpCase& c = GetParam();
    const bool settingsFaulty = std::string_view(c.file) == kSettingsFileName;
    // The other file is a good one.
    if (settingsFaulty) {
        TempWorkingDir::WriteFile(kCharSetFileName, "KM\r\n");
        Make(c.kind, kSettingsFileName, "1200 ");
    } else {
        TempWorkingDir::WriteFile(kSettingsFileName, "1000\r\n150\r\n12\r\n");
        Make(c.kind, kCharSetFileName, "QRS");
    }

    if (c.kind != Kind::Unreadable || !IsRoot()) {
        EXPECT_EQ(StartUpProblems(), "");
        return;
    }
    // Root reads any file: the start-up runs as another user, who may enter
    // the folder and read the good file but not the faulty one.
    fs::permissions(dir_.Path(), fs::perms(0755));
    const int status = RunInChild(
        [this] {
            const std::string problems = StartUpProblems();
            std::fputs(problems.c_str(), stderr);
            return problems.empty() ? 0 : 1;
        },
        true);
    if (status == kChildSkipped) GTEST_SKIP() << "cannot drop root's privileges";
    EXPECT_EQ(status, 0) << "see the child's output above";
}

const StartUpCase kStartUpCases[] = {
    {"SettingsDirectory", Kind::Directory, kSettingsFileName},
    {"SettingsFifo", Kind::Fifo, kSettingsFileName},
    {"SettingsDanglingLink", Kind::DanglingLink, kSettingsFileName},
    {"SettingsLoopingLink", Kind::LoopingLink, kSettingsFileName},
    {"SettingsDevZero", Kind::LinkToZero, kSettingsFileName},
    {"SettingsDevUrandom", Kind::LinkToUrandom, kSettingsFileName},
    {"SettingsUnreadable", Kind::Unreadable, kSettingsFileName},
    {"SettingsSparse4GiB", Kind::SparseWithoutCr, kSettingsFileName},
    {"CharSetDirectory", Kind::Directory, kCharSetFileName},
    {"CharSetFifo", Kind::Fifo, kCharSetFileName},
    {"CharSetDanglingLink", Kind::DanglingLink, kCharSetFileName},
    {"CharSetLoopingLink", Kind::LoopingLink, kCharSetFileName},
    {"CharSetDevZero", Kind::LinkToZero, kCharSetFileName},
    // A character device is not a regular file, so it counts as missing.
    {"CharSetDevUrandom", Kind::LinkToUrandom, kCharSetFileName},
    {"CharSetUnreadable", Kind::Unreadable, kCharSetFileName},
    {"CharSetSparse4GiB", Kind::SparseWithoutCr, kCharSetFileName},
};

INSTANTIATE_TEST_SUITE_P(Files, StartUpWithStrangeFileTest, ::testing::ValuesIn(kStartUpCases),
                         [](const auto& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace rivek
