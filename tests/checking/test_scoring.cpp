#include "checking/scoring.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "checking/alignment.h"
#include "fakes/recording_view.h"

namespace rivek {

void PrintTo(const Rgb& colour, std::ostream* out) {
    *out << "rgb(" << int{colour.red} << ", " << int{colour.green} << ", " << int{colour.blue} << ")";
}

namespace testing {
void PrintTo(const Segment& segment, std::ostream* out) {
    *out << '"';
    for (const char c : segment.text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            *out << c;
        } else {
            *out << "\\x" << std::hex << int{byte} << std::dec;
        }
    }
    *out << "\" ";
    rivek::PrintTo(segment.colour, out);
}
}  // namespace testing

namespace {

using testing::RecordingLabels;
using testing::RecordingView;
using testing::Segment;
using Segments = std::vector<Segment>;

Segment Black(std::string text) { return {std::move(text), kBlack}; }
Segment Red(std::string text) { return {std::move(text), kRed}; }
Segment Blue(std::string text) { return {std::move(text), kBlue}; }

// Line 2: everything after the first segment, which is line 1.
Segments LineTwo(const RecordingView& view) {
    if (view.segments.empty()) return {};
    return Segments(view.segments.begin() + 1, view.segments.end());
}

struct ScoringCase {
    const char* name;
    std::string sent;
    std::string typed;
    Segments lineTwo;
    std::int32_t wrong;
    std::int32_t missing;
};

TEST(PrnTest, ShowsTheCorrectionAndCountsOneTrial) {
    const ScoringCase cases[] = {
        {"equal", "ABE", "ABE", {Black(" "), Black("A"), Black("B"), Black("E")}, 0, 0},
        {"lower case", "ABE", "abe", {Black(" "), Black("A"), Black("B"), Black("E")}, 0, 0},
        {"wrong", "ABE", "ABX", {Black(" "), Black("A"), Black("B"), Red("X")}, 1, 0},
        {"missing", "ABE", "AE", {Black(" "), Black("A"), Blue("B"), Black("E")}, 0, 1},
        {"extra at the end", "ABE", "ABED", {Black(" "), Black("A"), Black("B"), Black("E"), Red("D")}, 1, 0},
        {"empty answer", "ABE", "", {Black(" "), Blue("ABE")}, 0, 3},
        {"extra among equals", "AAA", "AAAA", {Black(" "), Red("A"), Black("A"), Black("A"), Black("A")}, 1, 0},
        {"swapped", "AB", "BA", {Black(" "), Blue("A"), Black("B"), Red("A")}, 1, 1},
        {"missing run", "ABED", "X", {Black(" "), Blue("ABE"), Red("X")}, 1, 3},
        {"leading space", "ABE", " ABE", {Red(" "), Black(" "), Black("A"), Black("B"), Black("E")}, 1, 0},
        {"space inside", "ABE", "A E", {Black(" "), Black("A"), Red(" "), Black("E")}, 1, 0},
        {"trailing space", "ABE", "ABE ", {Black(" "), Black("A"), Black("B"), Black("E"), Red(" ")}, 1, 0},
        {"digit on its kana key", "1", "\xC7", {Black(" "), Black("1")}, 0, 0},
        {"wrong kana key shows as typed", "2", "\xC7", {Black(" "), Red("\xC7")}, 1, 0},
        {"kana answered by its digit shows as sent", "\xB1", "3", {Black(" "), Black("\xB1")}, 0, 0},
        {"extra run of several", "AB", "AxyzB", {Black(" "), Black("A"), Red("XYZ"), Black("B")}, 3, 0},
        // A double-byte character answered against single letters: the pair
        // and the run that cut it show the cut byte as the geta mark.
        {"split double-byte character", "A", "\x83\x41",
         {Black(" "), Red("\x81\xAC"), Black("A")}, 1, 0},
        {"double-byte characters inside a run", "AB", "A\x83\x58\x83\x59" "B",
         {Black(" "), Black("A"), Red("\x83\x58\x83\x59"), Black("B")}, 4, 0},
        {"run ending in a lead byte", "AC", "A\x83\x43",
         {Black(" "), Black("A"), Red("\x81\xAC"), Black("C")}, 1, 0},
        {"lone lead byte at the end passes", "A", "A\x83", {Black(" "), Black("A"), Red("\x83")}, 1, 0},
    };
    for (const ScoringCase& c : cases) {
        SCOPED_TRACE(c.name);
        DrillCounters counters{1, 0, 0};
        RecordingView view;
        RecordingLabels labels;
        prn(counters, view, labels, c.sent, c.typed);
        EXPECT_EQ(view.clears, 1);
        ASSERT_FALSE(view.segments.empty());
        EXPECT_EQ(view.segments.front(), Black(" " + c.sent + "\r\n"));
        EXPECT_EQ(LineTwo(view), c.lineTwo);
        EXPECT_EQ(counters.WrongTotal, c.wrong);
        EXPECT_EQ(counters.MissingTotal, c.missing);
        EXPECT_EQ(counters.TrialNo, 2);
        EXPECT_EQ(3 * c.wrong + c.missing, AlignAnswer(c.sent, c.typed).EndCost);
    }
}

TEST(PrnTest, FirstEnterOfADrillOnlyStartsCounting) {
    DrillCounters counters;
    RecordingView view;
    RecordingLabels labels;
    prn(counters, view, labels, "", "ABC");
    EXPECT_EQ(counters.TrialNo, 1);
    EXPECT_EQ(counters.WrongTotal, 0);
    EXPECT_EQ(counters.MissingTotal, 0);
    EXPECT_EQ(view.clears, 0);
    EXPECT_TRUE(view.segments.empty());
    EXPECT_TRUE(labels.writes.empty());
}

TEST(PrnTest, LabelsShowTheTotalsAfterSeveralScorings) {
    DrillCounters counters;
    RecordingView view;
    RecordingLabels labels;
    prn(counters, view, labels, "", "");
    prn(counters, view, labels, "ABE", "ABX");
    labels.writes.clear();
    prn(counters, view, labels, "ABE", "AE");

    EXPECT_EQ(counters.TrialNo, 3);
    EXPECT_EQ(counters.WrongTotal, 1);
    EXPECT_EQ(counters.MissingTotal, 1);
    const std::vector<std::pair<ScoreLabel, std::string>> expected = {
        {ScoreLabel::Wrong, "\x8C\xEB\x8E\x9A\x81\x46" "1"},     // 誤字：1
        {ScoreLabel::Missing, "\x92\x45\x8E\x9A\x81\x46" "1"},   // 脱字：1
        {ScoreLabel::Penalty, "\x8C\xB8\x93\x5F\x81\x46" "4"},   // 減点：4
        {ScoreLabel::TrialNo, "No.3"},
    };
    EXPECT_EQ(labels.writes, expected);
    // The view shows the last scoring only.
    EXPECT_EQ(view.segments.front(), Black(" ABE\r\n"));
    EXPECT_EQ(LineTwo(view), (Segments{Black(" "), Black("A"), Blue("B"), Black("E")}));
}

TEST(PrnTest, CountersStopAtTheTopOfTheirRange) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    DrillCounters counters{kMax, kMax - 1, kMax};
    RecordingView view;
    RecordingLabels labels;
    prn(counters, view, labels, "ABE", "XYZ");
    EXPECT_EQ(counters.TrialNo, kMax);
    EXPECT_EQ(counters.WrongTotal, kMax);
    EXPECT_EQ(counters.MissingTotal, kMax);
    ASSERT_EQ(labels.writes.size(), 4u);
    // 3 × 2147483647 + 2147483647, computed without overflow.
    EXPECT_EQ(labels.writes[2].second, "\x8C\xB8\x93\x5F\x81\x46" "8589934588");
    EXPECT_EQ(labels.writes[3].second, "No.2147483647");
}

TEST(PrnTest, PenaltyAddedIsTheEndCellOnRandomTexts) {
    std::mt19937 random(99);
    const std::string alphabet = "AB ab1\xC7\xB1\x83\x41";
    const auto randomText = [&](std::size_t maxLength) {
        std::string text(std::uniform_int_distribution<std::size_t>(0, maxLength)(random), ' ');
        for (char& c : text) c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
        return text;
    };
    for (int round = 0; round < 2000; ++round) {
        const std::string sent = randomText(8);
        const std::string typed = randomText(12);
        SCOPED_TRACE(::testing::Message() << "round " << round);
        DrillCounters counters{1, 0, 0};
        RecordingView view;
        RecordingLabels labels;
        prn(counters, view, labels, sent, typed);
        EXPECT_EQ(3 * counters.WrongTotal + counters.MissingTotal, AlignAnswer(sent, typed).EndCost);
        for (const Segment& segment : view.segments) EXPECT_FALSE(segment.text.empty());
    }
}

TEST(LabelTextTest, WritesPlainDecimalNumbers) {
    const DrillCounters counters{12, 0, 105};
    EXPECT_EQ(LabelText(ScoreLabel::Wrong, counters), "\x8C\xEB\x8E\x9A\x81\x46" "0");
    EXPECT_EQ(LabelText(ScoreLabel::Missing, counters), "\x92\x45\x8E\x9A\x81\x46" "105");
    EXPECT_EQ(LabelText(ScoreLabel::Penalty, counters), "\x8C\xB8\x93\x5F\x81\x46" "105");
    EXPECT_EQ(LabelText(ScoreLabel::TrialNo, counters), "No.12");
}

}  // namespace
}  // namespace rivek
