// The file layer: reading only regular files within a limit, and writes
// that leave the old file whole whenever they cannot be done whole: links,
// read-only files and folders, a file size limit, a full disk. Cases that
// need another user or a mount of their own run in a forked child.
#include "platform/files.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace rivek {
namespace {

namespace fs = std::filesystem;
using testing::IsRoot;
using testing::kChildSkipped;
using testing::kNobody;
using testing::RunInChild;
using testing::TempWorkingDir;
using Strings = std::vector<std::string>;

constexpr const char* kFile = "settings.ini";
constexpr std::string_view kOldBytes = "1\r\n2\r\n3\r\n";
constexpr std::string_view kNewBytes = "1234\r\n250\r\n15\r\n";  // longer than the old

// Every test works in a fresh working directory.
class FilesTest : public ::testing::Test {
protected:
    // The names in the working directory, sorted.
    static Strings Listing(const fs::path& folder = ".") {
        Strings names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // Saves in a child without root's privileges, after `prepare` (which
    // may answer kChildSkipped); returns what SaveFileReplacing said.
    static bool SaveUnprivileged(const std::function<int()>& prepare = [] { return 0; }) {
        const int status = RunInChild(
            [&prepare] {
                if (const int prepared = prepare(); prepared != 0) return prepared;
                return SaveFileReplacing(kFile, kNewBytes) ? 0 : 1;
            },
            true);
        EXPECT_NE(status, kChildSkipped) << "cannot drop root's privileges";
        EXPECT_NE(status, -1) << "the child died";
        return status == 0;
    }

    TempWorkingDir dir_;
};

// ---- Reading --------------------------------------------------------------

TEST_F(FilesTest, OnlyARegularFileOpensForReading) {
    TempWorkingDir::WriteFile("plain", "x");
    fs::create_directory("folder");
    ASSERT_EQ(::mkfifo("fifo", 0644), 0);  // no writer: the open must not wait
    fs::create_symlink("plain", "link-to-plain");
    fs::create_symlink("nowhere", "dangling");
    fs::create_symlink("loop", "loop");
    const struct {
        const char* path;
        bool opens;
    } cases[] = {{"plain", true},      {"link-to-plain", true}, {"folder", false},
                 {"fifo", false},      {"dangling", false},     {"loop", false},
                 {"/dev/zero", false}, {"missing", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const int fd = OpenRegularFileForReading(c.path);
        EXPECT_EQ(fd >= 0, c.opens);
        if (fd >= 0) ::close(fd);
    }
}

TEST_F(FilesTest, ReaderStopsAtItsLimitEvenInAHugeSparseFile) {
    TempWorkingDir::WriteFile("sparse", "ab");
    ASSERT_EQ(::truncate("sparse", 4LL * 1024 * 1024 * 1024), 0);
    BoundedReader reader(OpenRegularFileForReading("sparse"), 10000);
    std::string bytes;
    while (const std::optional<unsigned char> byte = reader.Peek()) {
        bytes.push_back(static_cast<char>(*byte));
        reader.Consume();
    }
    EXPECT_EQ(bytes.size(), 10000u);
    EXPECT_EQ(bytes.substr(0, 3), std::string("ab\0", 3));
}

// ---- SaveFileReplacing ----------------------------------------------------

TEST_F(FilesTest, SaveReplacesTheFileAndLeavesNothingBeside) {
    EXPECT_TRUE(SaveFileReplacing(kFile, kOldBytes));  // a new file
    EXPECT_TRUE(SaveFileReplacing(kFile, kNewBytes));  // over an existing one
    EXPECT_EQ(TempWorkingDir::ReadFile(kFile), kNewBytes);
    EXPECT_EQ(Listing(), Strings{kFile});
}

TEST_F(FilesTest, SymbolicLinkStaysALinkAndItsTargetGetsTheContent) {
    fs::create_directories("real/deeper");
    TempWorkingDir::WriteFile("real/deeper/target.ini", kOldBytes);
    fs::create_symlink("deeper/target.ini", "real/hop.ini");  // relative to its own folder
    fs::create_symlink("real/hop.ini", kFile);
    EXPECT_TRUE(SaveFileReplacing(kFile, kNewBytes));
    EXPECT_EQ(fs::read_symlink(kFile), "real/hop.ini");
    EXPECT_TRUE(fs::is_symlink("real/hop.ini"));
    EXPECT_EQ(TempWorkingDir::ReadFile("real/deeper/target.ini"), kNewBytes);
    // No temporary file is left, neither here nor beside the target.
    EXPECT_EQ(Listing(), (Strings{"real", kFile}));
    EXPECT_EQ(Listing("real/deeper"), Strings{"target.ini"});
}

TEST_F(FilesTest, DanglingLinkGetsItsTargetCreated) {
    fs::create_directory("real");
    fs::create_symlink("real/new.ini", kFile);
    EXPECT_TRUE(SaveFileReplacing(kFile, kNewBytes));
    EXPECT_TRUE(fs::is_symlink(kFile));
    EXPECT_EQ(TempWorkingDir::ReadFile("real/new.ini"), kNewBytes);
}

TEST_F(FilesTest, PathThatIsNoRegularFileIsLeftAlone) {
    fs::create_directory(kFile);
    EXPECT_FALSE(SaveFileReplacing(kFile, kNewBytes));
    EXPECT_TRUE(fs::is_directory(kFile));
    EXPECT_EQ(Listing(), Strings{kFile});

    fs::remove(kFile);
    fs::create_symlink(kFile, kFile);  // a loop of links
    EXPECT_FALSE(SaveFileReplacing(kFile, kNewBytes));
    EXPECT_EQ(Listing(), Strings{kFile});
}

TEST_F(FilesTest, KeepsTheOldFilesPermissions) {
    TempWorkingDir::WriteFile(kFile, kOldBytes);
    fs::permissions(kFile, fs::perms(0640));
    EXPECT_TRUE(SaveFileReplacing(kFile, kNewBytes));
    EXPECT_EQ(fs::status(kFile).permissions(), fs::perms(0640));
}

// A read-only file stays as it is, whether or not its folder would take a
// new file in its place.
TEST_F(FilesTest, ReadOnlyFileIsNotReplaced) {
    for (const fs::perms folder : {fs::perms(0777), fs::perms(0555)}) {
        SCOPED_TRACE(folder == fs::perms(0777) ? "folder takes new files" : "read-only folder");
        fs::permissions(dir_.Path(), fs::perms(0755));
        fs::remove(kFile);
        TempWorkingDir::WriteFile(kFile, kOldBytes);
        fs::permissions(kFile, fs::perms(0444));
        fs::permissions(dir_.Path(), folder);
        EXPECT_FALSE(SaveUnprivileged());
        EXPECT_EQ(TempWorkingDir::ReadFile(kFile), kOldBytes);
        EXPECT_EQ(Listing(), Strings{kFile});
    }
}

TEST_F(FilesTest, UnwritableFolderWithoutTheFileGetsNothing) {
    fs::permissions(dir_.Path(), fs::perms(0555));
    EXPECT_FALSE(SaveUnprivileged());
    EXPECT_TRUE(Listing().empty());
}

TEST_F(FilesTest, UnwritableFolderWithWritableFileIsRewrittenInPlace) {
    TempWorkingDir::WriteFile(kFile, "old and longer content\r\n");
    if (IsRoot()) {
        ASSERT_EQ(::chown(kFile, kNobody, kNobody), 0);
    }
    fs::permissions(dir_.Path(), fs::perms(0555));
    EXPECT_TRUE(SaveUnprivileged());
    EXPECT_EQ(TempWorkingDir::ReadFile(kFile), kNewBytes);
}

// A file size limit stops the write part way: whether the new bytes go to a
// temporary file or over the old ones in place, the old file stays whole.
TEST_F(FilesTest, WriteStoppedBySizeLimitLeavesTheOldFileWhole) {
    const struct {
        const char* name;
        bool folderTakesNewFiles;
    } cases[] = {{"ByRename", true}, {"InPlace", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::permissions(dir_.Path(), fs::perms(0755));
        TempWorkingDir::WriteFile(kFile, kOldBytes);
        if (IsRoot()) {
            ASSERT_EQ(::chown(kFile, kNobody, kNobody), 0);
            if (c.folderTakesNewFiles) {
                ASSERT_EQ(::chown(".", kNobody, kNobody), 0);
            }
        }
        if (!c.folderTakesNewFiles) fs::permissions(dir_.Path(), fs::perms(0555));
        EXPECT_FALSE(SaveUnprivileged([] {
            ::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit limit {5, 5};
            return ::setrlimit(RLIMIT_FSIZE, &limit) == 0 ? 0 : kChildSkipped;
        }));
        EXPECT_EQ(TempWorkingDir::ReadFile(kFile), kOldBytes);
        EXPECT_EQ(Listing(), Strings{kFile});
    }
}

TEST_F(FilesTest, FullDiskLeavesTheOldFileWhole) {
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
            TempWorkingDir::WriteFile(kFile, kOldBytes);
            // Fill the disk to the last byte.
            const int filler = ::open("filler", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (filler < 0) return kChildSkipped;
            const std::string block(4096, 'x');
            while (::write(filler, block.data(), block.size()) > 0) {
            }
            while (::write(filler, "x", 1) > 0) {
            }
            ::close(filler);

            bool ok = !SaveFileReplacing(kFile, kNewBytes);
            if (TempWorkingDir::ReadFile(kFile) != kOldBytes) {
                std::fprintf(stderr, "the old file changed\n");
                ok = false;
            }
            if (Listing() != Strings{"filler", kFile}) {
                std::fprintf(stderr, "a temporary file was left behind\n");
                ok = false;
            }
            return ok ? 0 : 1;
        },
        false);
    if (status == kChildSkipped) GTEST_SKIP() << "no mount namespace for a small tmpfs";
    EXPECT_EQ(status, 0) << "see the child's output above";
}

// ---- OutputFile -------------------------------------------------------------

TEST_F(FilesTest, OutputReplacesARegularFileOnlyWhenCommitted) {
    TempWorkingDir::WriteFile(kFile, kOldBytes);
    std::string error;
    {
        std::optional<OutputFile> out = OutputFile::Open(kFile, error);
        ASSERT_TRUE(out) << error;
        EXPECT_TRUE(out->Replaces());
        EXPECT_TRUE(out->Write("partial"));
        // Given up: the old file stands, and the temporary file goes.
    }
    EXPECT_EQ(TempWorkingDir::ReadFile(kFile), kOldBytes);
    EXPECT_EQ(Listing(), Strings{kFile});

    std::optional<OutputFile> out = OutputFile::Open(kFile, error);
    ASSERT_TRUE(out) << error;
    EXPECT_TRUE(out->Write(kNewBytes));
    EXPECT_EQ(TempWorkingDir::ReadFile(kFile), kOldBytes);
    EXPECT_TRUE(out->Commit(error)) << error;
    EXPECT_EQ(TempWorkingDir::ReadFile(kFile), kNewBytes);
    EXPECT_EQ(Listing(), Strings{kFile});
}

TEST_F(FilesTest, OutputToADeviceIsWrittenDirectlyAndNeverRemoved) {
    fs::create_symlink("/dev/null", "null-link");
    for (const char* path : {"/dev/null", "null-link"}) {
        SCOPED_TRACE(path);
        std::string error;
        {
            std::optional<OutputFile> out = OutputFile::Open(path, error);
            ASSERT_TRUE(out) << error;
            EXPECT_FALSE(out->Replaces());
            EXPECT_TRUE(out->Write("bytes"));
        }  // not committed: still nothing may be removed
        EXPECT_TRUE(fs::is_character_file("/dev/null"));
    }
    EXPECT_TRUE(fs::is_symlink("null-link"));
}

TEST_F(FilesTest, OutputThatCannotBeOpenedSaysWhy) {
    fs::create_directory("folder");
    const struct {
        const char* path;
        const char* error;
    } cases[] = {{"no/such/folder/out.wav", "folder does not exist"}, {"folder", "is a folder"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string error;
        EXPECT_FALSE(OutputFile::Open(c.path, error));
        EXPECT_EQ(error, c.error);
    }
    EXPECT_EQ(Listing(), Strings{"folder"});
}

}  // namespace
}  // namespace rivek
