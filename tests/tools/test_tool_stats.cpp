// rivek-tool stats, run as a program on a history written by the store the
// window uses: the JSON summary, the text, the CSV, the default file under
// XDG_DATA_HOME, a missing history and the usage errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/history_samples.h"
#include "support/temp_dir.h"
#include "storage/sqlite_history_store.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;
using rivek::testing::RunCommand;
using rivek::testing::ScoredRecord;
using rivek::testing::ShellQuoted;
using rivek::testing::ToolCommandLine;

class ToolStatsTest : public ::testing::Test {
protected:
    ToolStatsTest() {
        // Two drills: KMK answered KRK and MMU answered MU on day 20000 at
        // speed 100, then ｱK answered 3k on day 20001 at 120.
        rivek::SqliteHistoryStore store(File());
        store.Record(ScoredRecord("KMK", "KRK", 1, 20'000, 100, "KMU"));
        store.Record(ScoredRecord("MMU", "MU", 1, 20'000, 100, "KMU"));
        store.Record(ScoredRecord("\xB1K", "3k", 2, 20'001, 120, "K\xB1"));
    }
    fs::path File() const { return dir_.Path() / "data" / "rivek" / "history.sqlite3"; }

    rivek::testing::TempDir dir_;
};

TEST_F(ToolStatsTest, JsonHoldsTheSummaryOfTheHistory) {
    const auto run = RunCommand(ToolCommandLine({"stats", "--history", File().string(), "--json"}));
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "{\"history\": \"" + File().string() + "\", \"readable\": true, "
              "\"latestDrill\": {\"groups\": 1, \"sent\": 2, \"right\": 2, \"wrong\": 0, \"missing\": 0, \"extra\": 0, "
              "\"wrongCount\": 0, \"missingCount\": 0, \"percentRight\": 100.0}, "
              "\"allTime\": {\"groups\": 3, \"sent\": 8, \"right\": 6, \"wrong\": 1, \"missing\": 1, \"extra\": 0, "
              "\"wrongCount\": 1, \"missingCount\": 1, \"percentRight\": 75.0}, "
              "\"characters\": ["
              "{\"sent\": \"M\", \"times\": 3, \"right\": 1, \"wrong\": 1, \"missing\": 1, \"percentRight\": 33.3, "
              "\"takenFor\": [{\"typed\": \"R\", \"times\": 1}]}, "
              "{\"sent\": \"K\", \"times\": 3, \"right\": 3, \"wrong\": 0, \"missing\": 0, \"percentRight\": 100.0, "
              "\"takenFor\": []}, "
              "{\"sent\": \"U\", \"times\": 1, \"right\": 1, \"wrong\": 0, \"missing\": 0, \"percentRight\": 100.0, "
              "\"takenFor\": []}, "
              "{\"sent\": \"\xEF\xBD\xB1\", \"times\": 1, \"right\": 1, \"wrong\": 0, \"missing\": 0, "
              "\"percentRight\": 100.0, \"takenFor\": []}], "
              "\"confusions\": [{\"sent\": \"M\", \"typed\": \"R\", \"times\": 1}], "
              "\"days\": [{\"day\": \"2024-10-04\", \"groups\": 2, \"sent\": 6, \"right\": 4, \"percentRight\": 66.7, "
              "\"meanSpeedCpm\": 100.0, \"topSpeedCpm\": 100}, "
              "{\"day\": \"2024-10-05\", \"groups\": 1, \"sent\": 2, \"right\": 2, \"percentRight\": 100.0, "
              "\"meanSpeedCpm\": 120.0, \"topSpeedCpm\": 120}]}\n");
}

TEST_F(ToolStatsTest, FiltersByPoolAndSpeed) {
    struct Case {
        const char* name;
        std::vector<std::string> filter;
        const char* allTime;
    };
    const Case cases[] = {
        {"characters as text", {"--chars", "KMU"}, "\"allTime\": {\"groups\": 2, "},
        {"characters as hex", {"--hex", "--chars", "4bb1"}, "\"allTime\": {\"groups\": 1, "},
        {"fast trials", {"--min-speed", "110"}, "\"allTime\": {\"groups\": 1, "},
        {"slow trials", {"--max-speed", "110"}, "\"allTime\": {\"groups\": 2, "},
        {"characters never practised", {"--chars", "XYZ"}, "\"allTime\": {\"groups\": 0, "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"stats", "--json", "--history", File().string()};
        args.insert(args.end(), c.filter.begin(), c.filter.end());
        const auto run = RunCommand(ToolCommandLine(args));
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_NE(run.out.find(c.allTime), std::string::npos) << run.out;
    }
}

TEST_F(ToolStatsTest, TextNamesTheFileAndListsTheWorstCharacterFirst) {
    const auto run = RunCommand(ToolCommandLine({"stats", "--history", File().string()}));
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.starts_with("History: " + File().string() + "\n")) << run.out;
    EXPECT_NE(run.out.find("All time             3           8   75.0 %        1        1      0\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  M               3   33.3 %  R 1\n  K               3  100.0 %\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  M -> R  1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  2024-10-04       2           6   66.7 %  100.0, 100\n"), std::string::npos) << run.out;
}

TEST_F(ToolStatsTest, CsvHasAHeaderAndOneLinePerTrial) {
    const auto run = RunCommand(ToolCommandLine({"stats", "--csv", "--history", File().string()}));
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_TRUE(run.out.starts_with("time,day,drill,folder,pool,"));
    std::size_t lines = 0;
    for (std::size_t at = run.out.find("\r\n"); at != std::string::npos; at = run.out.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 4u);
    EXPECT_NE(run.out.find(",\"KMK\",\"KRK\",\"K M>R K\",1,0,3,0\r\n"), std::string::npos) << run.out;
}

TEST_F(ToolStatsTest, ReadsTheHistoryUnderTheDataHomeByDefault) {
    const auto run = RunCommand("XDG_DATA_HOME=" + ShellQuoted((dir_.Path() / "data").string()) + " " +
                                ToolCommandLine({"stats", "--json"}));
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("\"allTime\": {\"groups\": 3, "), std::string::npos) << run.out;
}

TEST_F(ToolStatsTest, SaysSoWhenThereIsNoHistoryAndCreatesNone) {
    const fs::path nowhere = dir_.Path() / "elsewhere" / "history.sqlite3";
    const auto run = RunCommand(ToolCommandLine({"stats", "--history", nowhere.string()}), dir_.Path() / "err.txt");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "rivek-tool stats: There is no history in " + nowhere.string() + " yet.\n");
    EXPECT_FALSE(fs::exists(nowhere.parent_path()));
}

TEST_F(ToolStatsTest, RefusesWrongUsage) {
    const std::vector<std::string> cases[] = {
        {"stats", "--bogus"},
        {"stats", "--history"},
        {"stats", "--min-speed", "fast"},
        {"stats", "--json", "--csv"},
        {"stats", "--hex", "--chars", "4"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[1]);
        EXPECT_EQ(RunCommand(ToolCommandLine(args)).exitCode, 2);
    }
}

}  // namespace
