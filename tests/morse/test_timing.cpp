#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "morse/code_table.h"
#include "morse/timing.h"

namespace rivek {
namespace {

using List = std::vector<std::int16_t>;

List ToVector(const TimingList& list) {
    const auto durations = list.Durations();
    return List(durations.begin(), durations.end());
}

TimingList Encode(const CodeTable& table, std::string_view text) {
    TimingList list;
    StartTiming(list);
    BuildTiming(list, table, text);
    return list;
}

class TimingTest : public testing::Test {
protected:
    TimingTest() {
        ResetCodeTable(standard_);
        ResetCodeTable(abbreviated_);
        SetNumeralMode(abbreviated_, true);
    }
    CodeTable standard_;
    CodeTable abbreviated_;
};

TEST_F(TimingTest, ListsOfKnownGroups) {
    struct Case {
        const char* name;
        std::string text;
        bool abbreviated;
        List expected;  // empty: only the count and the units are checked
        std::int32_t durationCount;
        std::int64_t units;
    };
    const Case cases[] = {
        {"empty", "", false, {3}, 2, 3},
        {"E", "E", false, {3, 1, 3}, 4, 7},
        {"T", "T", false, {3, 3, 3}, 4, 9},
        {"A", "A", false, {3, 1, 1, 3, 3}, 6, 11},
        {"EE", "EE", false, {3, 1, 3, 1, 3}, 6, 11},
        {"0 standard", "0", false, {3, 3, 1, 3, 1, 3, 1, 3, 1, 3, 3}, 12, 25},
        {"0 abbreviated", "0", true, {3, 3, 3}, 4, 9},
        {"19 abbreviated", "19", true, {3, 1, 1, 3, 3, 3, 1, 1, 3}, 10, 19},
        {"19 standard", "19", false, {}, 22, 43},
        {"PARIS", "PARIS", false,
         {3, 1, 1, 3, 1, 3, 1, 1, 3, 1, 1, 3, 3, 1, 1, 3, 1, 1, 3, 1, 1, 1, 3, 1, 1, 1, 1, 1, 3}, 30, 49},
        {"kana a", "\xB1", false, {3, 3, 1, 3, 1, 1, 1, 3, 1, 3, 3}, 12, 23},
        {"bytes without a pattern pass over", "a E&\xA1\x82" "E ", false, {3, 1, 3, 1, 3}, 6, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TimingList list = Encode(c.abbreviated ? abbreviated_ : standard_, c.text);
        if (!c.expected.empty()) {
            EXPECT_EQ(ToVector(list), c.expected);
        }
        EXPECT_EQ(list.DurationCount(), c.durationCount);
        EXPECT_EQ(list.Durations().size(), static_cast<std::size_t>(c.durationCount - 1));
        EXPECT_EQ(list.TotalUnits(), c.units);
    }
}

TEST_F(TimingTest, CallsAppendUntilTheListIsStartedAgain) {
    TimingList list;
    EXPECT_EQ(ToVector(list), List{3}) << "a new list holds the lead-in gap";
    StartTiming(list);
    BuildTiming(list, standard_, "E");
    BuildTiming(list, standard_, "E");
    EXPECT_EQ(ToVector(list), ToVector(Encode(standard_, "EE")));

    BuildTiming(list, standard_, "0000000000");
    StartTiming(list);
    EXPECT_EQ(ToVector(list), List{3});
    EXPECT_EQ(list.DurationCount(), 2);
}

// A long text of every byte value in turn, against a list assembled from
// dot/dash strings: the list grows as far as the text needs and stays right.
TEST_F(TimingTest, LongTextOfEveryByteMatchesItsPatterns) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text.push_back(static_cast<char>(i % 256));

    List expected{3};
    for (const char c : text) {
        std::int32_t code = standard_[static_cast<unsigned char>(c)];
        if (code == 0) continue;
        std::string pattern;
        for (; code > 0; code /= 3) pattern += code % 3 == 1 ? '.' : '-';
        for (const char element : pattern) {
            expected.push_back(element == '.' ? 1 : 3);
            expected.push_back(1);
        }
        expected.back() = 3;
    }

    const TimingList list = Encode(standard_, text);
    EXPECT_EQ(list.DurationCount(), static_cast<std::int32_t>(expected.size() + 1));
    EXPECT_EQ(ToVector(list), expected);
}

// The count is a signed 32-bit number: a text that would take it past that
// is refused, and the list stays as it was.
TEST_F(TimingTest, TextTooLongForTheCountIsRefusedWithoutChange) {
    CodeTable table;
    table['E'] = 581130733;  // nineteen dots: 38 entries per character
    TimingList list = Encode(standard_, "A");
    const List before = ToVector(list);

    const std::string text(TimingList::kMaxEntries / 38 + 1, 'E');
    EXPECT_THROW(BuildTiming(list, table, text), std::length_error);
    EXPECT_EQ(ToVector(list), before);
}

TEST_F(TimingTest, TableValuesThatAreNoPatternAddNothing) {
    CodeTable table;
    table['a'] = -7;
    table['b'] = 10;  // base-3 101: a digit 0 in the middle
    table['E'] = 1;
    EXPECT_EQ(ToVector(Encode(table, "aEb")), (List{3, 1, 3}));
}

}  // namespace
}  // namespace rivek
