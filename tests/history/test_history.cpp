// The history's core: the summary of a few trials worked out by hand, the
// Koch rule, the weak-character weights and their draw, the CSV lines and
// the calendar day.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "history/koch.h"
#include "history/memory_history_store.h"
#include "history/statistics.h"
#include "history/trial_csv.h"
#include "history/weak_characters.h"
#include "fakes/history_samples.h"

namespace rivek {
namespace {

using testing::ScoredRecord;

TEST(SummaryTest, CountsAFewTrialsAsWorkedOutByHand) {
    MemoryHistoryStore store;
    // Drill 1, day 20000 at speed 100: KMK answered KRK (M taken for R),
    // MMU answered MU (one M missing), KU answered KUX (an extra X).
    store.Record(ScoredRecord("KMK", "KRK", 1, 20'000, 100));
    store.Record(ScoredRecord("MMU", "MU", 1, 20'000, 100));
    store.Record(ScoredRecord("KU", "KUX", 1, 20'000, 100));
    // Drill 2, the next day at speed 120: MMMM answered RRMM.
    store.Record(ScoredRecord("MMMM", "RRMM", 2, 20'001, 120));

    const HistorySummary all = store.Summary({}, 2);
    EXPECT_EQ(all.AllTime, (Totals{4, 12, 8, 3, 1, 1, 4, 1}));
    EXPECT_EQ(all.ThisDrill, (Totals{1, 4, 2, 2, 0, 0, 2, 0}));
    EXPECT_DOUBLE_EQ(all.AllTime.PercentRight(), 100.0 * 8 / 12);

    // M: sent 7 times, right 3, taken for R 3 times, missing once; then K
    // right 3 of 3 before U right 2 of 2, being sent more often.
    ASSERT_EQ(all.Characters.size(), 3u);
    EXPECT_EQ(all.Characters[0], (CharacterStats{"M", 7, 3, 3, 1, {{"R", 3}}}));
    EXPECT_EQ(all.Characters[1], (CharacterStats{"K", 3, 3, 0, 0, {}}));
    EXPECT_EQ(all.Characters[2], (CharacterStats{"U", 2, 2, 0, 0, {}}));
    EXPECT_EQ(all.Confusions, (std::vector<Confusion>{{"M", "R", 3}}));

    ASSERT_EQ(all.Days.size(), 2u);
    EXPECT_EQ(all.Days[0], (DayProgress{20'000, 3, 8, 6, 800, 100}));
    EXPECT_EQ(all.Days[1], (DayProgress{20'001, 1, 4, 2, 480, 120}));
    EXPECT_DOUBLE_EQ(all.Days[0].MeanSpeedCpm(), 100.0);

    // The filter by speed keeps only the second day.
    StatisticsFilter fast;
    fast.MinSpeedCpm = 110;
    const HistorySummary quick = store.Summary(fast, 1);
    EXPECT_EQ(quick.AllTime.Groups, 1);
    EXPECT_EQ(quick.ThisDrill, Totals{});
    EXPECT_EQ(quick.Days.size(), 1u);
}

TEST(SummaryTest, ListsTheWorstCharactersAndMostFrequentConfusionsFirst) {
    SummaryBuilder builder({}, 0);
    // Shares right: A 1/2, B 1/2 (sent more often than A), C 0/1, D 3/3.
    builder.AddCharacterCount("A", CharResult::Right, "A", 1);
    builder.AddCharacterCount("A", CharResult::Wrong, "B", 1);
    builder.AddCharacterCount("B", CharResult::Right, "B", 2);
    builder.AddCharacterCount("B", CharResult::Missing, "", 2);
    builder.AddCharacterCount("C", CharResult::Wrong, "X", 1);
    builder.AddCharacterCount("D", CharResult::Right, "D", 3);
    for (int typed = 0; typed < 7; ++typed) {
        builder.AddCharacterCount("E", CharResult::Wrong, std::string(1, static_cast<char>('F' + typed)), typed + 1);
    }
    const HistorySummary summary = std::move(builder).Finish();
    std::string order;
    for (const CharacterStats& c : summary.Characters) order += c.Sent;
    EXPECT_EQ(order, "ECBAD");
    // E was taken for seven characters: the five most frequent are kept.
    ASSERT_EQ(summary.Characters[0].TakenFor.size(), kTakenForShown);
    EXPECT_EQ(summary.Characters[0].TakenFor.front(), (TypedTimes{"L", 7}));
    EXPECT_EQ(summary.Characters[0].TakenFor.back(), (TypedTimes{"H", 3}));
    ASSERT_EQ(summary.Confusions.size(), 9u);
    EXPECT_EQ(summary.Confusions.front(), (Confusion{"E", "L", 7}));
    // Among equal counts, by the sent and then the typed character.
    EXPECT_EQ(summary.Confusions[6], (Confusion{"A", "B", 1}));
    EXPECT_EQ(summary.Confusions[7], (Confusion{"C", "X", 1}));
    EXPECT_EQ(summary.Confusions[8], (Confusion{"E", "F", 1}));
}

struct KochCase {
    const char* name;
    std::int64_t sentInLesson;
    std::int32_t recentSent;
    std::int32_t recentRight;
    bool offer;
};

TEST(KochTest, OffersTheNextLessonAtNinetyPercentOfTheLastHundred) {
    const KochCase cases[] = {
        {"nothing yet", 0, 0, 0, false},
        {"99 sent, all right", 99, 99, 99, false},
        {"100 sent, 90 right", 100, 100, 90, true},
        {"100 sent, 89 right", 100, 100, 89, false},
        {"many sent, last 100 all right", 5000, 100, 100, true},
    };
    for (const KochCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OfferNextLesson({c.sentInLesson, c.recentSent, c.recentRight}), c.offer);
    }
}

TEST(KochTest, JudgesTheNewestHundredCharactersOfTheLesson) {
    MemoryHistoryStore store;
    // Ten groups of ten all wrong, then nine groups of ten all right and a
    // last group of ten with its first character wrong: of the newest 100,
    // 99 right. One group further back they would be only 90 right.
    for (int k = 0; k < 10; ++k) store.Record(ScoredRecord("KKKKKKKKKK", "MMMMMMMMMM", 1, 20'000, 100, "KM"));
    for (int k = 0; k < 9; ++k) store.Record(ScoredRecord("KMKMKMKMKM", "KMKMKMKMKM", 1, 20'000, 100, "KM"));
    store.Record(ScoredRecord("KMKMKMKMKM", "MMKMKMKMKM", 1, 20'000, 100, "KM"));
    // Other lessons do not count.
    store.Record(ScoredRecord("KMU", "XXX", 1, 20'000, 100, "KMU"));

    const KochStanding standing = store.Koch("KM");
    EXPECT_EQ(standing, (KochStanding{200, 100, 99}));
    EXPECT_TRUE(OfferNextLesson(standing));
    EXPECT_EQ(store.Koch("KMU"), (KochStanding{3, 3, 0}));

    // Five characters of a further group, wrong, push out the oldest five.
    store.Record(ScoredRecord("KKKKK", "MMMMM", 1, 20'000, 100, "KM"));
    EXPECT_EQ(store.Koch("KM"), (KochStanding{205, 100, 94}));
}

TEST(WeakCharactersTest, WeighsEachEntryByItsRecentErrorRate) {
    RecentErrors recent;
    // K always right (60 times, only the last 50 count), M wrong 10 times in
    // 20, R never sent, U right twice then missing once.
    for (int k = 0; k < 60; ++k) recent.Add({{CharResult::Right, "K", "K", 0, 0}});
    for (int k = 0; k < 20; ++k) {
        recent.Add({{k % 2 == 0 ? CharResult::Wrong : CharResult::Right, "M", k % 2 == 0 ? "R" : "M", k % 2, 0}});
    }
    recent.Add({{CharResult::Right, "U", "U", 0, 0}, {CharResult::Right, "U", "U", 0, 0}, {CharResult::Missing, "U", "", 0, 1},
                {CharResult::Extra, "", "X", 1, 0}});
    EXPECT_EQ(recent.Sent('K'), 50);
    EXPECT_EQ(recent.Errors('K'), 0);
    EXPECT_EQ(recent.Sent('X'), 0);

    const std::string pool = "KMRUK";
    const std::vector<std::int32_t> weights =
        WeakCharacterWeights({reinterpret_cast<const unsigned char*>(pool.data()), pool.size()}, recent);
    // 1000 + 9000 (errors + 1) / (sent + 2), rounded down.
    EXPECT_EQ(weights, (std::vector<std::int32_t>{1000 + 9000 * 1 / 52, 1000 + 9000 * 11 / 22, 1000 + 9000 / 2,
                                                  1000 + 9000 * 2 / 5, 1000 + 9000 * 1 / 52}));
}

TEST(WeakCharactersTest, DrawsEachEntryInProportionToItsWeight) {
    const std::vector<std::int32_t> weights = {1, 9826, 1000, 5500, 3};
    const WeightedDraw draw(weights);
    RandomSource random(2026);
    RandomSource twin(2026);
    std::vector<std::int64_t> seen(weights.size());
    constexpr int kDraws = 400'000;
    for (int k = 0; k < kDraws; ++k) {
        const std::int32_t at = draw.Draw(random);
        ASSERT_GE(at, 0);
        ASSERT_LT(at, static_cast<std::int32_t>(weights.size()));
        ++seen[static_cast<std::size_t>(at)];
        // One draw of the source over the sum of the weights, no more.
        twin.Draw(1 + 9826 + 1000 + 5500 + 3);
    }
    EXPECT_EQ(random.Draw(1'000'000), twin.Draw(1'000'000));
    const double total = 1 + 9826 + 1000 + 5500 + 3;
    for (std::size_t k = 0; k < weights.size(); ++k) {
        SCOPED_TRACE(k);
        const double expected = kDraws * static_cast<double>(weights[k]) / total;
        // Within five standard deviations of the binomial count.
        EXPECT_NEAR(static_cast<double>(seen[k]), expected, 5 * std::sqrt(expected) + 1);
        EXPECT_GT(seen[k], 0);
    }
    EXPECT_EQ(WeightedDraw({}).Draw(random), 0);
}

TEST(TrialCsvTest, WritesOneQuotedUtf8LinePerTrial) {
    TrialRecord trial = ScoredRecord("K\xB1M", "k3\"X,", 7, 20'433, 100, "KM\xB1");
    trial.WhenMs = 1'765'467'471'123;  // 2025-12-11 15:37:51.123 UTC
    trial.Day = 20'433;                 // 2025-12-11
    trial.Replays = 2;
    trial.Numerals = NumeralForm::Abbreviated;
    EXPECT_EQ(TrialCsvHeader(),
              "time,day,drill,folder,pool,pitch_hz,speed_cpm,group_length,numerals,sent,answer,outcomes,"
              "wrong,missing,penalty,replays\r\n");
    // K right, ｱ answered by 3 (its key), " and X extra, M taken for ",".
    EXPECT_EQ(TrialCsvLine(trial),
              "2025-12-11T15:37:51.123Z,2025-12-11,7,\"/home/learner\",\"KM\xEF\xBD\xB1\",800,100,3,abbreviated,"
              "\"K\xEF\xBD\xB1M\",\"k3\"\"X,\",\"K \xEF\xBD\xB1 +\"\" +X M>,\",3,0,9,2\r\n");
}

TEST(LocalDayTest, CountsCalendarDaysInTheLocalTimeZone) {
    const char* previous = std::getenv("TZ");
    const std::string saved = previous ? previous : "";
    ::setenv("TZ", "JST-9", 1);  // nine hours ahead of UTC, no tz database needed
    ::tzset();
    // 2026-12-11 20:00 UTC is already 12 December in Japan.
    EXPECT_EQ(DayText(LocalDay(1'797'019'200'000)), "2026-12-12");
    EXPECT_EQ(DayText(LocalDay(1'797'019'200'000 - 9 * 3'600'000)), "2026-12-11");
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    EXPECT_EQ(LocalDay(0), 0);
    EXPECT_EQ(LocalDay(-1), -1);
    EXPECT_EQ(DayText(-1), "1969-12-31");
    if (previous) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

}  // namespace
}  // namespace rivek
