// rivek-tool check, run as a program: the JSON of a few trials, the plain
// text when stdout is not a terminal, and the usage errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tool_runner.h"

namespace {

using rivek::testing::ToolResult;

// Runs rivek-tool check with the arguments; stdout is a pipe, stderr is
// dropped.
ToolResult RunCheck(std::vector<std::string> args) {
    args.insert(args.begin(), "check");
    return rivek::testing::RunCommand(rivek::testing::ToolCommandLine(args));
}

TEST(ToolCheckTest, JsonHoldsNodesSegmentsAndCounts) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string json;
    };
    const Case cases[] = {
        {"missing character",
         {"--json", "ABE", "AE"},
         R"({"nodes": [[1, 1], [2, 2], [4, 3], [5, 4]], "segments": [{"colour": "black", "hex": "20"}, )"
         R"({"colour": "black", "hex": "41"}, {"colour": "blue", "hex": "42"}, {"colour": "black", "hex": "45"}], )"
         R"("wrong": 0, "missing": 1, "penalty": 1})"},
        {"swapped",
         {"--json", "AB", "ba"},
         R"({"nodes": [[1, 1], [3, 2], [4, 4]], "segments": [{"colour": "black", "hex": "20"}, )"
         R"({"colour": "blue", "hex": "41"}, {"colour": "black", "hex": "42"}, {"colour": "red", "hex": "41"}], )"
         R"("wrong": 1, "missing": 1, "penalty": 4})"},
        {"missing run and a wrong pair, options after the texts",
         {"ABED", "X", "--json"},
         R"({"nodes": [[1, 1], [5, 2], [6, 3]], "segments": [{"colour": "black", "hex": "20"}, )"
         R"({"colour": "blue", "hex": "414245"}, {"colour": "red", "hex": "58"}], "wrong": 1, "missing": 3, "penalty": 6})"},
        {"wrong kana key in hex",
         {"--hex", "--json", "32", "c7"},
         R"({"nodes": [[1, 1], [2, 2], [3, 3]], "segments": [{"colour": "black", "hex": "20"}, )"
         R"({"colour": "red", "hex": "c7"}], "wrong": 1, "missing": 0, "penalty": 3})"},
        {"kana group answered by its digit, in UTF-8",
         {"--json", "\xEF\xBD\xB1", "3"},  // ｱ
         R"({"nodes": [[1, 1], [2, 2], [3, 3]], "segments": [{"colour": "black", "hex": "20"}, )"
         R"({"colour": "black", "hex": "b1"}], "wrong": 0, "missing": 0, "penalty": 0})"},
        {"split double-byte answer",
         {"--json", "E", "右"},  // 89 45
         R"({"nodes": [[1, 1], [2, 3], [3, 4]], "segments": [{"colour": "black", "hex": "20"}, )"
         R"({"colour": "red", "hex": "81ac"}, {"colour": "black", "hex": "45"}], "wrong": 1, "missing": 0, "penalty": 3})"},
        {"answer starting with a dash",
         {"--json", "--", "-", "-A"},
         R"({"nodes": [[1, 1], [2, 2], [3, 4]], "segments": [{"colour": "black", "hex": "20"}, )"
         R"({"colour": "black", "hex": "2d"}, {"colour": "red", "hex": "41"}], "wrong": 1, "missing": 0, "penalty": 3})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolResult run = RunCheck(c.args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, c.json + "\n");
    }
}

// An input method types full-width kana, hiragana or full-width letters;
// each scores exactly as its half-width twin.
TEST(ToolCheckTest, FullWidthAnswersScoreAsTheirHalfWidthTwins) {
    struct Case {
        const char* name;
        std::string sent;
        std::string typed;
        std::string twin;
    };
    const Case cases[] = {
        {"full-width katakana, right", "ｱｶｻ", "アカサ", "ｱｶｻ"},
        {"hiragana, right", "ｱｶｻ", "あかさ", "ｱｶｻ"},
        {"hiragana, one wrong", "ｱｶｻ", "あかき", "ｱｶｷ"},
        {"hiragana, one missing", "ｱｶｻ", "あさ", "ｱｻ"},
        {"voiced kana", "ｶﾞﾊﾟ", "がぱ", "ｶﾞﾊﾟ"},
        {"voiced kana, mark missing", "ｶﾞ", "か", "ｶ"},
        {"long vowel and signs", "ｰ､｣", "ー、」", "ｰ､｣"},
        {"wi and we", "ｨｪ", "ゐヱ", "ｨｪ"},
        {"full-width letters", "CQDE", "ＣＱｄｅ", "CQDE"},
        {"full-width digits", "1290", "１２９０", "1290"},
        {"full-width kana on the kana keys", "3", "ア", "ｱ"},
        {"full-width signs", "(?)", "（？）", "(?)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolResult run = RunCheck({"--json", c.sent, c.typed});
        const ToolResult twin = RunCheck({"--json", c.sent, c.twin});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, twin.out);
    }
    // The sent group is folded too.
    EXPECT_EQ(RunCheck({"--json", "アカ", "ｱｶ"}).out, RunCheck({"--json", "ｱｶ", "ｱｶ"}).out);
    // Nothing else changes: a kanji (誤, 8C EB) stays two bytes, both wrong.
    EXPECT_EQ(RunCheck({"E", "誤"}).out.substr(RunCheck({"E", "誤"}).out.find("wrong")),
              "wrong 2, missing 0, penalty 6\n");
}

TEST(ToolCheckTest, PlainOutputWhenNotATerminal) {
    const ToolResult run = RunCheck({"ABE", "abX"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, " ABE\n ABX\nwrong 1, missing 0, penalty 3\n");

    // Code page 932 comes back as UTF-8; a control byte of a hex answer is
    // shown as U+FFFD rather than sent to the terminal.
    const ToolResult kana = RunCheck({"--hex", "31", "c71b"});
    EXPECT_EQ(kana.exitCode, 0);
    EXPECT_EQ(kana.out, " 1\n 1\xEF\xBF\xBD\nwrong 1, missing 0, penalty 3\n");
}

TEST(ToolCheckTest, UsageErrorsExitWithTwo) {
    const std::vector<std::string> cases[] = {
        {},
        {"ABE"},
        {"ABE", "ABE", "ABE"},
        {"--frobnicate", "ABE", "ABE"},
        {"--hex", "414", "41"},
        {"--hex", "41", "zz"},
        {"A", "\xF0\x9F\x98\x80"},  // no code page 932 form
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(testing::Message() << args.size() << " arguments");
        const ToolResult run = RunCheck(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
    }
    const ToolResult help = RunCheck({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("rivek-tool check"), std::string::npos);
}

}  // namespace
