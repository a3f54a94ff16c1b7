// rivek-tool drill, run as a program: the files it writes as players (sox)
// and an independent decoder (morse2ascii) hear them, the key beside them,
// repeatable seeds, and every kind of bad input or failed write leaving no
// file behind and older files exactly as they were.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;

using rivek::testing::ReadFile;
using rivek::testing::ShellQuoted;
using rivek::testing::TempDir;
using rivek::testing::ToolResult;

bool HaveProgram(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// The groups of a key file, "1 KMURE" lines, in order.
std::vector<std::string> KeyGroups(const std::string& key) {
    std::vector<std::string> groups;
    std::istringstream lines(key);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const std::string prefix = std::to_string(number) + " ";
        if (line.rfind(prefix, 0) != 0) return {};  // not numbered as it should be
        groups.push_back(line.substr(prefix.size()));
    }
    return groups;
}

// Letters and digits, lower case: what morse2ascii prints and what a key
// holds, compared without spacing and signs.
std::string LettersAndDigits(const std::string& text) {
    std::string kept;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c))) kept.push_back(static_cast<char>(std::tolower(c)));
    }
    return kept;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

std::string Joined(const std::vector<std::string>& groups) {
    std::string all;
    for (const std::string& group : groups) all += group;
    return all;
}

// Every test in a folder of its own, readable by all, so that a child
// dropped to another user can reach it.
class ToolDrillTest : public testing::Test {
protected:
    void SetUp() override { fs::permissions(dir_.Path(), fs::perms::all, fs::perm_options::replace); }

    ToolResult Drill(const std::vector<std::string>& args) const {
        std::vector<std::string> all{"drill"};
        all.insert(all.end(), args.begin(), args.end());
        return rivek::testing::RunCommand(rivek::testing::ToolCommandLine(all), dir_ / "stderr.txt");
    }
    ToolResult Shell(const std::string& line) const {
        return rivek::testing::RunCommand(line, dir_ / "stderr.txt");
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // The files in the folder but for the tests' own stderr capture.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.Path())) {
            const std::string name = entry.path().filename().string();
            if (name != "stderr.txt") names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // What morse2ascii copies from a sound file, through sox to 16-bit
    // WAV for the compressed formats.
    std::string Decoded(const std::string& path) const {
        std::string wav = path;
        if (!path.ends_with(".wav")) {
            wav = Path("decoded.wav");
            if (Shell("sox " + ShellQuoted(path) + " -b 16 " + ShellQuoted(wav)).exitCode != 0) return "(sox failed)";
        }
        const std::string copied = LettersAndDigits(Shell("morse2ascii " + ShellQuoted(wav)).out);
        if (wav != path) fs::remove(wav);
        return copied;
    }

    std::int64_t SoxSamples(const std::string& path) const {
        const ToolResult run = Shell("soxi -s " + ShellQuoted(path));
        return run.exitCode == 0 ? std::stoll(run.out) : -1;
    }

    TempDir dir_{"rivek-tool-drill"};
};

// Each format, read by sox and copied by morse2ascii: the key beside the
// file holds the groups that sound, from the pool, of the length asked for.
TEST_F(ToolDrillTest, EachFormatSoundsTheGroupsOfItsKey) {
    if (!HaveProgram("sox") || !HaveProgram("morse2ascii")) GTEST_SKIP() << "sox or morse2ascii is missing";
    for (const char* extension : {"wav", "flac", "ogg", "mp3", "WAV", "oga"}) {
        SCOPED_TRACE(extension);
        const std::string out = Path(std::string("drill.") + extension);
        const ToolResult run = Drill({"--groups", "10", "--length", "4", "--pool", "koch-12", "--seed", "1", out});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(run.out.empty());

        const std::vector<std::string> groups = KeyGroups(ReadFile(Path("drill.txt")));
        ASSERT_EQ(groups.size(), 10u);
        for (const std::string& group : groups) {
            EXPECT_EQ(group.size(), 4u);
            EXPECT_EQ(group.find_first_not_of("KMURESNAPTLWI"), std::string::npos) << group;
        }
        EXPECT_EQ(Shell("soxi -r " + ShellQuoted(out)).out, "11025\n");
        EXPECT_EQ(Shell("soxi -c " + ShellQuoted(out)).out, "1\n");
        EXPECT_EQ(Decoded(out), LettersAndDigits(Joined(groups)));
        EXPECT_EQ(Files(), Sorted({std::string("drill.") + extension, "drill.txt"}));
        fs::remove(out);
        fs::remove(Path("drill.txt"));
    }
}

// Farnsworth spacing at several speed pairs, with and without edges: the
// decoder copies every group, and each of the 3 (L + 1) units of spacing of
// a group has gained Round(11025 (300/E - 300/S) / 19) samples.
TEST_F(ToolDrillTest, FarnsworthAndShapedFilesDecodeAndLastAsLongAsTheyShould) {
    if (!HaveProgram("sox") || !HaveProgram("morse2ascii")) GTEST_SKIP() << "sox or morse2ascii is missing";
    struct Case {
        std::int32_t speed;
        std::int32_t effective;  // 0: none
        std::int32_t riseMs;
    };
    const Case cases[] = {{100, 50, 0}, {150, 60, 5}, {200, 100, 0}, {300, 120, 10}, {60, 30, 5}, {100, 0, 5}};
    constexpr int kGroups = 8;
    constexpr int kLength = 5;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "S " << c.speed << ", E " << c.effective << ", rise " << c.riseMs);
        const std::vector<std::string> common{"--groups", std::to_string(kGroups), "--length", std::to_string(kLength),
                                              "--pool", "mixed", "--seed", "99", "--speed", std::to_string(c.speed),
                                              "--pause", "1"};
        std::vector<std::string> plainArgs = common;
        plainArgs.push_back(Path("plain.wav"));
        ASSERT_EQ(Drill(plainArgs).exitCode, 0);
        std::vector<std::string> args = common;
        if (c.effective != 0) args.insert(args.end(), {"--effective", std::to_string(c.effective)});
        args.insert(args.end(), {"--rise", std::to_string(c.riseMs), Path("drill.wav")});
        const ToolResult run = Drill(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;

        const std::vector<std::string> groups = KeyGroups(ReadFile(Path("drill.txt")));
        EXPECT_EQ(groups, KeyGroups(ReadFile(Path("plain.txt"))));
        EXPECT_EQ(Decoded(Path("drill.wav")), LettersAndDigits(Joined(groups)));

        double extra = 0;
        if (c.effective != 0) extra = std::nearbyint(11025.0 * (300.0 / c.effective - 300.0 / c.speed) / 19.0);
        const auto spacingUnits = static_cast<std::int64_t>(kGroups * 3 * (kLength + 1));
        EXPECT_EQ(SoxSamples(Path("drill.wav")), SoxSamples(Path("plain.wav")) + spacingUnits * static_cast<std::int64_t>(extra));
    }
}

// The seed makes the file: the same seed, the same bytes and key; the
// groups are those a drill started with that seed sends (the core's tests
// hold the drawing to the drill's), so the tool only has to pass it on.
TEST_F(ToolDrillTest, SameSeedSameFileAndKey) {
    const auto write = [this](const std::string& name, const std::string& seed) {
        return Drill({"--groups", "20", "--seed", seed, "--pool", "kana", Path(name)}).exitCode;
    };
    ASSERT_EQ(write("a.flac", "12345"), 0);
    ASSERT_EQ(write("b.flac", "12345"), 0);
    ASSERT_EQ(write("c.flac", "12346"), 0);
    EXPECT_TRUE(ReadFile(Path("a.flac")) == ReadFile(Path("b.flac")));
    EXPECT_EQ(ReadFile(Path("a.txt")), ReadFile(Path("b.txt")));
    EXPECT_NE(ReadFile(Path("a.txt")), ReadFile(Path("c.txt")));

    // The kana set's key is UTF-8: half-width katakana, three bytes each.
    const std::vector<std::string> groups = KeyGroups(ReadFile(Path("a.txt")));
    ASSERT_EQ(groups.size(), 20u);
    for (const std::string& group : groups) EXPECT_EQ(group.size(), 5u * 3u) << group;
}

// Where the characters come from: a file read as Rivek.dat, a set by name,
// the command line, and by default Rivek.dat in the current folder or A
// to Z without it.
TEST_F(ToolDrillTest, PoolFromFileSetCharactersOrTheCurrentFolder) {
    std::ofstream(Path("own.dat"), std::ios::binary) << "eeeet\r\nthe note line is not read\r\n";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string pool;              // the characters, UTF-8
        std::size_t bytesPerCharacter;  // in the UTF-8 key
    };
    const Case cases[] = {
        {"file", {"--pool", Path("own.dat")}, "ET", 1},
        {"set", {"--pool", "digits"}, "0123456789", 1},
        {"characters", {"--chars", "ab?"}, "AB?", 1},
        {"characters in hex", {"--hex", "--chars", "b1b2"}, "\xEF\xBD\xB1\xEF\xBD\xB2", 3},  // ｱｲ
        {"no file here: A to Z", {}, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--groups", "50", "--seed", "5", Path("drill.wav")});
        const ToolResult run = Drill(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string all = Joined(KeyGroups(ReadFile(Path("drill.txt"))));
        ASSERT_EQ(all.size(), 50u * 5u * c.bytesPerCharacter);
        for (std::size_t i = 0; i < all.size(); i += c.bytesPerCharacter) {
            const std::string character = all.substr(i, c.bytesPerCharacter);
            EXPECT_NE(c.pool.find(character), std::string::npos) << character;
        }
    }

    // Rivek.dat in the current folder, as Rivek itself reads it.
    std::ofstream(Path("Rivek.dat"), std::ios::binary) << "mm\r\n";
    const ToolResult run = Shell("cd " + ShellQuoted(dir_.Path().string()) + " && " +
                                 rivek::testing::ToolCommandLine({"drill", "--groups", "3", "here.wav"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFile(Path("here.txt")), "1 MMMMM\n2 MMMMM\n3 MMMMM\n");
}

TEST_F(ToolDrillTest, KeyPathsAndStandardOutput) {
    // --key elsewhere; the default key replaces only the last extension.
    ASSERT_EQ(Drill({"--groups", "2", "--seed", "1", "--key", Path("answers.txt"), Path("a.b.wav")}).exitCode, 0);
    EXPECT_EQ(Files(), (std::vector<std::string>{"a.b.wav", "answers.txt"}));
    ASSERT_EQ(Drill({"--groups", "2", "--seed", "1", Path("a.b.mp3")}).exitCode, 0);
    EXPECT_TRUE(fs::exists(Path("a.b.txt")));

    // Standard output carries the same WAV as a file, through a pipe too;
    // no key unless asked for.
    const std::string tool = rivek::testing::ToolCommandLine({"drill", "--groups", "2", "--seed", "1", "--format", "wav", "-"});
    ASSERT_EQ(Shell(tool + " | cat > " + ShellQuoted(Path("piped.wav"))).exitCode, 0);
    EXPECT_TRUE(ReadFile(Path("piped.wav")) == ReadFile(Path("a.b.wav")));
    EXPECT_EQ(Files(), (std::vector<std::string>{"a.b.mp3", "a.b.txt", "a.b.wav", "answers.txt", "piped.wav"}));

    // The key to standard output, the audio to a file.
    const ToolResult keyOut = Drill({"--groups", "2", "--seed", "1", "--key", "-", Path("k.flac")});
    EXPECT_EQ(keyOut.exitCode, 0);
    EXPECT_EQ(keyOut.out, ReadFile(Path("answers.txt")));
}

// Bad input: a clear message, exit status 2, and no file at all; a file
// already at the output path stays exactly as it was.
TEST_F(ToolDrillTest, BadInputExitsTwoAndWritesNothing) {
    fs::create_directory(Path("folder"));
    std::ofstream(Path("signs.dat"), std::ios::binary) << "/=- +\r\n";
    struct Case {
        const char* name;
        std::vector<std::string> args;  // "OUT" stands for the output path
        std::string message;            // part of stderr
    };
    const Case cases[] = {
        {"unknown extension", {"--seed", "1", Path("drill.aiff")}, "cannot tell the format"},
        {"no extension", {"--seed", "1", Path("drill")}, "cannot tell the format"},
        {"unknown format", {"--format", "aiff", "OUT"}, "unknown format 'aiff'"},
        {"standard output without a format", {"-"}, "give --format"},
        {"folder that does not exist", {Path("nowhere/drill.wav")}, "folder does not exist"},
        {"key in a folder that does not exist", {"--key", Path("nowhere/key.txt"), "OUT"}, "folder does not exist"},
        {"output is a folder", {"--format", "wav", Path("folder")}, "is a folder"},
        {"key and audio the same", {"--key", "OUT", "OUT"}, "cannot both go"},
        {"characters without codes", {"--chars", "/=-", "OUT"}, "no character with a Morse code"},
        {"set without codes", {"--pool", Path("signs.dat"), "OUT"}, "has no character with a Morse code"},
        {"set that is not there", {"--pool", "koch-99", "OUT"}, "no character set named 'koch-99'"},
        {"file that is not there", {"--pool", Path("none.dat"), "OUT"}, "cannot read the character set"},
        {"pool and characters", {"--pool", "kana", "--chars", "AB", "OUT"}, "either --pool or --chars"},
        {"too long for WAV", {"--groups", "100000", "--length", "15", "--speed", "30", "OUT"}, "more than a WAV file holds"},
        {"too long for FLAC",
         {"--groups", "100000", "--length", "15", "--speed", "30", "--pause", "60", Path("drill.flac")},
         "more than a FLAC file holds"},
        {"effective above speed", {"--speed", "100", "--effective", "120", "OUT"}, "must not be above --speed"},
        {"effective below range", {"--effective", "29", "OUT"}, "--effective must be a whole number from 30 to 300"},
        {"rise too long", {"--rise", "11", "OUT"}, "--rise must be a whole number from 0 to 10 (ms)"},
        {"pause with four decimals", {"--pause", "1.2345", "OUT"}, "--pause must be seconds"},
        {"pause too long", {"--pause", "60.001", "OUT"}, "--pause must be seconds"},
        {"pause not a number", {"--pause", "2s", "OUT"}, "--pause must be seconds"},
        {"no groups", {"--groups", "0", "OUT"}, "--groups must be a whole number from 1 to 100000"},
        {"group too long", {"--length", "16", "OUT"}, "--length must be a whole number from 1 to 15"},
        {"seed out of range", {"--seed", "4294967296", "OUT"}, "--seed"},
        {"frequency missing", {"OUT", "--freq"}, "--freq needs a value"},
        {"unknown option", {"--loud", "OUT"}, "unknown option '--loud'"},
        {"no OUT", {"--groups", "3"}, "needs an output file"},
        {"two OUTs", {"OUT", Path("other.wav")}, "takes one output file"},
        {"hex without characters", {"--hex", "OUT"}, "--hex applies to --chars only"},
    };
    const std::string out = Path("drill.wav");
    std::ofstream(out, std::ios::binary) << "an older file";
    std::ofstream(Path("drill.txt"), std::ios::binary) << "an older key";
    const std::vector<std::string> before = Files();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = c.args;
        std::replace(args.begin(), args.end(), std::string("OUT"), out);
        const ToolResult run = Drill(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty());
        EXPECT_EQ(Files(), before);
        EXPECT_EQ(ReadFile(out), "an older file");
        EXPECT_EQ(ReadFile(Path("drill.txt")), "an older key");
    }
}

// Paths the user may not write, tried as another user (root writes
// anywhere): a read-only file and a read-only folder.
TEST_F(ToolDrillTest, PathThatCannotBeWrittenExitsTwo) {
    fs::create_directory(Path("locked"));
    fs::permissions(Path("locked"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    std::ofstream(Path("readonly.wav")) << "keep";
    fs::permissions(Path("readonly.wav"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    struct Case {
        const char* name;
        std::string out;
    };
    const Case cases[] = {{"read-only folder", Path("locked/drill.wav")}, {"read-only file", Path("readonly.wav")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string errPath = Path("child-stderr.txt");
        const int status = rivek::testing::RunInChild(
            [&] {
                const std::string command = rivek::testing::ToolCommandLine({"drill", "--groups", "2", c.out}) +
                                            " 2>" + ShellQuoted(errPath);
                const int result = std::system(command.c_str());
                return WIFEXITED(result) ? WEXITSTATUS(result) : 1;
            },
            true);
        if (status == rivek::testing::kChildSkipped) GTEST_SKIP() << "cannot run as another user";
        EXPECT_EQ(status, 2);
        EXPECT_NE(ReadFile(errPath).find("cannot write"), std::string::npos) << ReadFile(errPath);
        fs::remove(errPath);
    }
    EXPECT_TRUE(fs::is_empty(Path("locked")));
    EXPECT_EQ(ReadFile(Path("readonly.wav")), "keep");
    EXPECT_FALSE(fs::exists(Path("readonly.txt")));
}

// A write that fails half way (a file size limit, SIGXFSZ ignored so that
// the write fails rather than the process): exit status 1, the older file
// and key exactly as they were, and nothing left beside them.
TEST_F(ToolDrillTest, FailedWriteLeavesTheOlderFilesAsTheyWere) {
    for (const char* extension : {"wav", "flac", "ogg", "mp3"}) {
        SCOPED_TRACE(extension);
        const std::string out = Path(std::string("drill.") + extension);
        std::ofstream(out, std::ios::binary) << "an older file";
        std::ofstream(Path("drill.txt"), std::ios::binary) << "an older key";
        const ToolResult run =
            Shell("trap '' XFSZ; ulimit -f 16; exec " + rivek::testing::ToolCommandLine({"drill", "--seed", "1", out}));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
        EXPECT_EQ(ReadFile(out), "an older file");
        EXPECT_EQ(ReadFile(Path("drill.txt")), "an older key");
        EXPECT_EQ(Files(), Sorted({std::string("drill.") + extension, "drill.txt"}));
        fs::remove(out);
    }
}

// Stopped by a signal half way, or by a reader that goes away: the tool
// ends by that signal, with nothing of its own left and the older files
// standing.
TEST_F(ToolDrillTest, SignalsEndTheToolAndLeaveNothingBehind) {
    std::ofstream(Path("long.ogg"), std::ios::binary) << "an older file";
    const std::string command =
        rivek::testing::ToolCommandLine({"drill", "--groups", "5000", "--length", "15", "--seed", "1", Path("long.ogg")});
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", ("exec " + command + " 2>/dev/null").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(child, 0);
    // Until its temporary files appear, then a moment more.
    for (int wait = 0; wait < 200 && Files().size() < 3; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_EQ(Files(), (std::vector<std::string>{"long.ogg"}));
    EXPECT_EQ(ReadFile(Path("long.ogg")), "an older file");

    // head leaves after 1000 bytes: the tool ends by SIGPIPE, and the
    // key's temporary file goes with it.
    Shell(rivek::testing::ToolCommandLine({"drill", "--seed", "1", "--format", "mp3", "--key", Path("key.txt"), "-"}) +
          " | head -c 1000 >/dev/null");
    EXPECT_EQ(Files(), (std::vector<std::string>{"long.ogg"}));
}

TEST_F(ToolDrillTest, HelpNamesTheOptions) {
    const ToolResult run = Drill({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("Usage: rivek-tool drill", 0), 0u) << run.out;
    for (const char* option : {"--pool", "--chars", "--groups", "--length", "--seed", "--freq", "--speed", "--effective",
                               "--rise", "--pause", "--abbreviated", "--format", "--key"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    }
    EXPECT_NE(rivek::testing::RunCommand(rivek::testing::ToolCommandLine({"--help"})).out.find("drill"),
              std::string::npos);
}

}  // namespace
