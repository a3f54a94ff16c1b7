// The two files when they are not what they seem, at start-up and at close:
// directories, FIFOs, dangling and looping links, devices, unreadable and
// gigantic files; saving into a full disk, into a folder that takes no new
// file, over a read-only file. Start-up must end at once with the defined
// outcome and show nothing; a save that cannot be done whole must leave the
// old "Rivek.ini" as it was.
//
// Cases that need another user or a mount of their own fork a child: as
// root the child drops to uid/gid 65534 (file permissions do not hold root
// back) or mounts a small tmpfs in a mount namespace of its own.

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
#include "fakes/temp_working_dir.h"

namespace rivek {
namespace {

namespace fs = std::filesystem;
using testing::CallLog;
using testing::FakeSound;
using testing::FakeWindow;
using testing::TempWorkingDir;
using Strings = std::vector<std::string>;

constexpr std::int64_t kFourGiB = 4LL * 1024 * 1024 * 1024;
constexpr unsigned kNobody = 65534;
constexpr int kChildSkipped = 77;

bool IsRoot() { return ::geteuid() == 0; }

// Runs `body` in a forked child and returns its exit status (0 when `body`
// returns true, kChildSkipped when it cannot set its world up), or -1 when
// the child died. With `asNobody`, a root child first drops to 65534.
int RunInChild(const std::function<int()>& body, bool asNobody) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        if (asNobody && IsRoot()) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
                ::_exit(kChildSkipped);
            }
        }
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

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

class StartUpWithStrangeFile : public ::testing::TestWithParam<StartUpCase> {
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

TEST_P(StartUpWithStrangeFile, EndsAtOnceWithTheDefinedOutcomeAndShowsNothing) {
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

INSTANTIATE_TEST_SUITE_P(Files, StartUpWithStrangeFile, ::testing::ValuesIn(kStartUpCases),
                         [](const auto& c) { return std::string(c.param.name); });

// ---- Saving that cannot be done whole ---------------------------------

constexpr std::string_view kOldBytes = "1\r\n2\r\n3\r\n";  // shorter than what is saved

class FailedSaveTest : public ::testing::Test {
protected:
    FailedSaveTest() {
        window_.SetSpinValue(Setting::Frequency, 1234);
        window_.SetSpinValue(Setting::Speed, 250);
        window_.SetSpinValue(Setting::GroupLength, 15);  // 15 bytes to save
    }
    // The names in the working directory, sorted.
    static Strings Listing() {
        Strings names;
        for (const auto& entry : fs::directory_iterator(".")) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Saves in a child without root's privileges, after `prepare` (which
    // may answer kChildSkipped), then checks that the old file stands
    // untouched and nothing was left beside it.
    void SaveUnprivilegedAndExpectOldFile(const std::function<int()>& prepare) {
        const int status = RunInChild(
            [this, &prepare] {
                if (const int prepared = prepare(); prepared != 0) return prepared;
                SaveSettings(window_);
                return 0;
            },
            true);
        ASSERT_NE(status, kChildSkipped) << "cannot drop root's privileges";
        ASSERT_EQ(status, 0);
        EXPECT_EQ(TempWorkingDir::ReadFile(kSettingsFileName), kOldBytes);
        EXPECT_EQ(Listing(), Strings{"Rivek.ini"});
    }

    TempWorkingDir dir_;
    CallLog log_;
    FakeWindow window_{log_};
};

TEST_F(FailedSaveTest, ReadOnlyFileInUnwritableFolderStaysAsItWas) {
    TempWorkingDir::WriteFile(kSettingsFileName, kOldBytes);
    fs::permissions(kSettingsFileName, fs::perms(0444));
    fs::permissions(dir_.Path(), fs::perms(0555));
    SaveUnprivilegedAndExpectOldFile([] { return 0; });
}

TEST_F(FailedSaveTest, WriteInPlaceThatFailsLeavesTheOldFileWhole) {
    // The folder takes no new file, so the writable file is rewritten in
    // place; a file size limit of 10 bytes stops the 15 bytes part way.
    TempWorkingDir::WriteFile(kSettingsFileName, kOldBytes);
    if (IsRoot()) {
        ASSERT_EQ(::chown(kSettingsFileName, kNobody, kNobody), 0);
    }
    fs::permissions(dir_.Path(), fs::perms(0555));
    SaveUnprivilegedAndExpectOldFile([] {
        ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit {10, 10};
        return ::setrlimit(RLIMIT_FSIZE, &limit) == 0 ? 0 : kChildSkipped;
    });
}

TEST_F(FailedSaveTest, FullDiskLeavesTheOldFileWhole) {
    if (!IsRoot()) GTEST_SKIP() << "mounting a small tmpfs needs root";
    // In a mount namespace of the child's own, an 8 KiB tmpfs over the
    // working directory; it goes with the child.
    const int status = RunInChild(
        [this] {
            const std::string here = dir_.Path().string();
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("rivek-test", here.c_str(), "tmpfs", 0, "size=8k") != 0 ||
                ::chdir(here.c_str()) != 0) {
                return kChildSkipped;
            }
            TempWorkingDir::WriteFile(kSettingsFileName, kOldBytes);
            // Fill the disk to the last byte.
            const int filler = ::open("filler", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (filler < 0) return kChildSkipped;
            const std::string block(4096, 'x');
            while (::write(filler, block.data(), block.size()) > 0) {
            }
            while (::write(filler, "x", 1) > 0) {
            }
            ::close(filler);

            SaveSettings(window_);
            bool ok = true;
            if (TempWorkingDir::ReadFile(kSettingsFileName) != kOldBytes) {
                std::fprintf(stderr, "Rivek.ini changed\n");
                ok = false;
            }
            if (Listing() != Strings{"Rivek.ini", "filler"}) {
                std::fprintf(stderr, "a temporary file was left behind\n");
                ok = false;
            }
            return ok ? 0 : 1;
        },
        false);
    if (status == kChildSkipped) GTEST_SKIP() << "no mount namespace for a small tmpfs";
    EXPECT_EQ(status, 0) << "see the child's output above";
}

}  // namespace
}  // namespace rivek
