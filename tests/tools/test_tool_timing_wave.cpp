// rivek-tool timing and wave, run as a program: the printed lists, the
// written images as independent readers (sox, morse2ascii) see them, and the
// usage errors, which must leave no file behind.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "drill/spin_range.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;

using rivek::testing::ReadFile;
using rivek::testing::ShellQuoted;
using rivek::testing::ToolResult;

bool HaveProgram(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// Each test works in a directory of its own, removed afterwards.
class ToolTimingWaveTest : public testing::Test {
protected:

    ToolResult Tool(const std::vector<std::string>& args) const {
        return rivek::testing::RunCommand(rivek::testing::ToolCommandLine(args), dir_ / "stderr.txt");
    }

    // rivek-tool wave with the options, the text and the file.
    ToolResult WriteWave(const std::vector<std::string>& options, const std::string& text,
                         const fs::path& file) const {
        std::vector<std::string> args{"wave"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(text);
        args.push_back(file.string());
        return Tool(args);
    }

    ToolResult Shell(const std::string& line) const {
        return rivek::testing::RunCommand(line, dir_ / "stderr.txt");
    }

    rivek::testing::TempDir dir_{"rivek-tool-test"};
};

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at + i))) << (8 * i);
    }
    return value;
}

TEST_F(ToolTimingWaveTest, TimingPrintsTheListOnOneLine) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {"PARIS", {"timing", "PARIS"}, "3 1 1 3 1 3 1 1 3 1 1 3 3 1 1 3 1 1 3 1 1 1 3 1 1 1 1 1 3\n"},
        {"empty group", {"timing", ""}, "3\n"},
        {"0 standard", {"timing", "0"}, "3 3 1 3 1 3 1 3 1 3 3\n"},
        {"19 abbreviated, option last", {"timing", "19", "--abbreviated"}, "3 1 1 3 3 3 1 1 3\n"},
        {"kana in UTF-8", {"timing", "\xEF\xBD\xB1"}, "3 3 1 3 1 1 1 3 1 3 3\n"},  // ｱ
        {"kana in hex", {"timing", "--hex", "B1"}, "3 3 1 3 1 1 1 3 1 3 3\n"},
        {"text after --", {"timing", "--", "-E"}, "3 1 3\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolResult run = Tool(c.args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, c.out);
    }
}

TEST_F(ToolTimingWaveTest, CharactersWithoutAPatternAreNamedOnStderr) {
    const ToolResult run = Tool({"timing", "/E &"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "3 1 3\n");
    EXPECT_NE(run.err.find("'/' (2f)"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("' ' (20)"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("'&' (26)"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("'E'"), std::string::npos) << run.err;

    // 右 is 89 45 in code page 932: the encoder goes byte by byte, so its
    // trail byte sounds as E, and the tool says so.
    const ToolResult doubleByte = Tool({"timing", "右"});
    EXPECT_EQ(doubleByte.exitCode, 0);
    EXPECT_EQ(doubleByte.out, "3 1 3\n");
    EXPECT_NE(doubleByte.err.find("byte 89"), std::string::npos) << doubleByte.err;
    EXPECT_NE(doubleByte.err.find("sent as 'E'"), std::string::npos) << doubleByte.err;
}

// What the window would send for a text: lower-case letters as capitals,
// full-width kana, hiragana and letters as their half-width twins.
TEST_F(ToolTimingWaveTest, TextCountsAsTheWindowSendsIt) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> options;
        std::string twin;  // what it counts as
    };
    const Case cases[] = {
        {"lower case", "cq de ja1", {}, "CQDEJA1"},
        {"mixed case", "Paris", {}, "PARIS"},
        {"lower case in hex", "6171", {"--hex"}, "AQ"},
        {"full-width letters and digits", "ＣＱ ｄｅ ＪＡ１", {}, "CQDEJA1"},
        {"full-width katakana", "アカサガパー", {}, "ｱｶｻｶﾞﾊﾟｰ"},
        {"hiragana", "あかさがぱー", {}, "ｱｶｻｶﾞﾊﾟｰ"},
        {"wi and we", "ヰヱゐゑ", {}, "ｨｪｨｪ"},
        {"signs of the half-width block", "、」", {}, "､｣"},
        {"full-width signs", "（？）", {}, "(?)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{"timing"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(c.text);
        const ToolResult run = Tool(args);
        const ToolResult twin = Tool({"timing", c.twin});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, twin.out);
        EXPECT_GT(run.out.size(), 2u) << "the text sounds";
    }

    // The wave of a lower-case text sounds; it used to be silence.
    const fs::path lower = dir_ / "lower.wav";
    const fs::path upper = dir_ / "upper.wav";
    ASSERT_EQ(WriteWave({}, "cq cq", lower).exitCode, 0);
    ASSERT_EQ(WriteWave({}, "CQCQ", upper).exitCode, 0);
    EXPECT_EQ(ReadFile(lower), ReadFile(upper));
}

TEST_F(ToolTimingWaveTest, LongTextGivesTheWholeList) {
    const ToolResult run = Tool({"timing", std::string(100000, '0')});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::istringstream numbers(run.out);
    std::vector<int> list{std::istream_iterator<int>(numbers), std::istream_iterator<int>()};
    ASSERT_EQ(list.size(), 1u + 100000u * 10u);
    EXPECT_EQ(std::count(list.begin(), list.end(), 3), 1 + 100000 * 6);
    EXPECT_EQ(std::count(list.begin(), list.end(), 1), 100000 * 4);
}

TEST_F(ToolTimingWaveTest, WaveWritesTheImageOfTheGroup) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
        std::string text;
        std::size_t samples;
    };
    const Case cases[] = {
        {"E at the defaults", {}, "E", 4634},
        {"empty group", {}, "", 1986},
        {"PARIS", {"--freq", "800", "--speed", "100"}, "PARIS", 32438},
        {"E, low and fast", {"--freq=100", "--speed=240"}, "E", 1540},
        {"the largest group", {"--freq", "103", "--speed", "30"}, "000000000000000", 748584},
        {"kana", {"--hex"}, "B1", 23 * 662},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir_ / "group.wav";
        std::vector<std::string> args{"wave"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(c.text);
        args.push_back(file.string());
        const ToolResult run = Tool(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;

        const std::string image = ReadFile(file);
        ASSERT_EQ(image.size(), 44 + 2 * c.samples);
        EXPECT_EQ(image.substr(0, 4), "RIFF");
        EXPECT_EQ(Le32(image, 4), 36 + 2 * c.samples);
        EXPECT_EQ(Le32(image, 40), 2 * c.samples);
        fs::remove(file);
    }
}

TEST_F(ToolTimingWaveTest, HeaderOfGroupEByteForByte) {
    const fs::path file = dir_ / "e.wav";
    ASSERT_EQ(Tool({"wave", "E", file.string()}).exitCode, 0);
    const unsigned char expected[] = {
        0x52, 0x49, 0x46, 0x46, 0x58, 0x24, 0x00, 0x00, 0x57, 0x41, 0x56, 0x45, 0x66, 0x6d, 0x74,
        0x20, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x11, 0x2b, 0x00, 0x00, 0x22, 0x56,
        0x00, 0x00, 0x02, 0x00, 0x10, 0x00, 0x64, 0x61, 0x74, 0x61, 0x34, 0x24, 0x00, 0x00,
    };
    EXPECT_EQ(ReadFile(file).substr(0, 44), std::string(std::begin(expected), std::end(expected)));
}

// sox reads the format and the length from the file as any player would,
// and hands back the same samples.
TEST_F(ToolTimingWaveTest, SoxReadsFormatLengthAndSamples) {
    if (!HaveProgram("soxi") || !HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
    struct Case {
        std::vector<std::string> options;
        std::string text;
        std::string samples;
    };
    const Case cases[] = {
        {{}, "E", "4634"},
        {{"--freq", "500", "--speed", "60"}, "PARIS", std::to_string(49 * 1102)},
        {{"--freq", "103", "--speed", "30"}, "000000000000000", "748584"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const fs::path file = dir_ / "group.wav";
        ASSERT_EQ(WriteWave(c.options, c.text, file).exitCode, 0);

        const std::string quoted = ShellQuoted(file.string());
        EXPECT_EQ(Shell("soxi -r " + quoted).out, "11025\n");
        EXPECT_EQ(Shell("soxi -c " + quoted).out, "1\n");
        EXPECT_EQ(Shell("soxi -b " + quoted).out, "16\n");
        EXPECT_EQ(Shell("soxi -e " + quoted).out, "Signed Integer PCM\n");
        EXPECT_EQ(Shell("soxi -s " + quoted).out, c.samples + "\n");

        const fs::path raw = dir_ / "samples.raw";
        ASSERT_EQ(Shell("sox " + quoted + " -t raw -e signed-integer -b 16 -L " + ShellQuoted(raw.string())).exitCode, 0);
        EXPECT_TRUE(ReadFile(raw) == ReadFile(file).substr(44)) << "sox decodes other samples";
    }
}

std::string Decoded(std::string text) {
    std::string letters;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c))) letters.push_back(static_cast<char>(std::tolower(c)));
    }
    return letters;
}

// An independent decoder copies what was sent.
TEST_F(ToolTimingWaveTest, Morse2asciiDecodesLettersAndDigits) {
    if (!HaveProgram("morse2ascii")) GTEST_SKIP() << "morse2ascii is not installed";
    struct Case {
        std::vector<std::string> options;
        std::string text;
        std::string decoded;
    };
    const Case cases[] = {
        {{"--speed", "60"}, "THEQUICKBROWNFOXJUMPSOVERTHELAZYDOG", "thequickbrownfoxjumpsoverthelazydog"},
        {{}, "SOS0123456789", "sos0123456789"},
        {{"--freq", "500", "--speed", "80"}, "PARIS", "paris"},
        {{"--abbreviated"}, "1290", "aunt"},  // the short digits sound as letters
        {{}, "cq de", "cqde"},                 // lower case sounds as upper case
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const fs::path file = dir_ / "group.wav";
        ASSERT_EQ(WriteWave(c.options, c.text, file).exitCode, 0);
        const ToolResult decoder = Shell("morse2ascii " + ShellQuoted(file.string()));
        EXPECT_EQ(Decoded(decoder.out), c.decoded) << decoder.out;
    }
}

TEST_F(ToolTimingWaveTest, UsageErrorsExitTwoAndWriteNoFile) {
    struct Case {
        const char* name;
        std::vector<std::string> args;  // "FILE" stands for the output path
        std::string message;            // part of stderr
    };
    const Case cases[] = {
        {"frequency too low", {"wave", "--freq", "99", "E", "FILE"}, "--freq must be a whole number from 100 to 5000"},
        {"frequency too high", {"wave", "--freq=5001", "E", "FILE"}, "--freq must be a whole number from 100 to 5000"},
        {"frequency not a number", {"wave", "--freq", "8OO", "E", "FILE"}, "--freq"},
        {"frequency missing", {"wave", "E", "FILE", "--freq"}, "--freq needs a value"},
        {"speed too low", {"wave", "--speed", "29", "E", "FILE"}, "--speed must be a whole number from 30 to 300"},
        {"speed too high", {"wave", "--speed", "301", "E", "FILE"}, "--speed must be a whole number from 30 to 300"},
        {"speed far out", {"wave", "--speed", "99999999999999999999", "E", "FILE"}, "--speed"},
        {"unknown option", {"wave", "--loud", "E", "FILE"}, "unknown option '--loud'"},
        {"no FILE", {"wave", "E"}, "needs a TEXT and a FILE"},
        {"not UTF-8", {"wave", "\xFF", "FILE"}, "TEXT"},
        {"not code page 932", {"wave", "\xF0\x9F\x98\x80", "FILE"}, "TEXT"},  // an emoji
        {"odd hex", {"wave", "--hex", "B", "FILE"}, "TEXT"},
        {"too long for an image", {"wave", std::string(100000, '0'), "FILE"}, "too long"},
        {"timing without TEXT", {"timing"}, "needs a TEXT"},
        {"timing with two texts", {"timing", "A", "B"}, "one TEXT"},
        {"timing has no --freq", {"timing", "--freq", "800", "E"}, "unknown option '--freq'"},
        {"timing with bad hex", {"timing", "--hex", "zz"}, "TEXT"},
    };
    const fs::path file = dir_ / "out.wav";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = c.args;
        std::replace(args.begin(), args.end(), std::string("FILE"), file.string());
        const ToolResult run = Tool(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_FALSE(fs::exists(file));
    }

    // A file that is already there stays as it was.
    std::ofstream(file) << "keep";
    EXPECT_EQ(Tool({"wave", "--freq", "0", "E", file.string()}).exitCode, 2);
    EXPECT_EQ(ReadFile(file), "keep");
}

TEST_F(ToolTimingWaveTest, UnwritableFileIsAFailureNotAUsageError) {
    const ToolResult run = Tool({"wave", "E", (dir_ / "no-such-folder" / "e.wav").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
}

TEST_F(ToolTimingWaveTest, HelpForEachCommand) {
    for (const char* command : {"timing", "wave"}) {
        SCOPED_TRACE(command);
        const ToolResult run = Tool({command, "--help"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out.rfind(std::string("Usage: rivek-tool ") + command, 0), 0u) << run.out;
    }
    // The help states the ranges and defaults the window's fields have.
    const std::string help = Tool({"wave", "--help"}).out;
    for (const rivek::Setting setting : {rivek::Setting::Frequency, rivek::Setting::Speed}) {
        const rivek::SpinRange range = rivek::RangeOf(setting);
        const std::string stated = std::to_string(range.minimum) + " to " + std::to_string(range.maximum);
        EXPECT_NE(help.find(stated), std::string::npos) << stated;
        EXPECT_NE(help.find("(default " + std::to_string(range.initial) + ")"), std::string::npos);
    }
}

}  // namespace
