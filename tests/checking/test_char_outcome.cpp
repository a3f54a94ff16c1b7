#include "checking/char_outcome.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "checking/scoring.h"
#include "fakes/recording_view.h"

namespace rivek {

void PrintTo(const CharOutcome& outcome, std::ostream* out) {
    static constexpr const char* kNames[] = {"Right", "Wrong", "Missing", "Extra"};
    const auto hex = [out](const std::string& text) {
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte > 0x20 && byte < 0x7F) {
                *out << c;
            } else {
                *out << "\\x" << std::hex << int{byte} << std::dec;
            }
        }
    };
    *out << kNames[static_cast<int>(outcome.Result)] << "(sent \"";
    hex(outcome.Sent);
    *out << "\" typed \"";
    hex(outcome.Typed);
    *out << "\" wrong " << outcome.WrongCount << " missing " << outcome.MissingCount << ")";
}

namespace {

using testing::RecordingLabels;
using testing::RecordingView;
using Outcomes = std::vector<CharOutcome>;

CharOutcome Right(std::string sent, std::string typed) {
    return {CharResult::Right, std::move(sent), std::move(typed), 0, 0};
}
CharOutcome Wrong(std::string sent, std::string typed, std::int32_t wrong = 1, std::int32_t missing = 0) {
    return {CharResult::Wrong, std::move(sent), std::move(typed), wrong, missing};
}
CharOutcome Missing(std::string sent) {
    const auto bytes = static_cast<std::int32_t>(sent.size());
    return {CharResult::Missing, std::move(sent), "", 0, bytes};
}
CharOutcome Extra(std::string typed) {
    const auto bytes = static_cast<std::int32_t>(typed.size());
    return {CharResult::Extra, "", std::move(typed), bytes, 0};
}

// Code page 932: the full-width A (82 60) and B (82 61), the full-width
// katakana A whose second byte is the letter A (83 41), and a kanji (8A BF).
const std::string kWideA = "\x82\x60";
const std::string kWideB = "\x82\x61";
const std::string kKatakanaA = "\x83\x41";
const std::string kKanji = "\x8A\xBF";

struct OutcomeCase {
    const char* name;
    std::string sent;
    std::string typed;
    Outcomes outcomes;
};

TEST(CharOutcomesTest, NamesEachCharacterAsTheCorrectionShowsIt) {
    const OutcomeCase cases[] = {
        {"equal", "ABE", "ABE", {Right("A", "A"), Right("B", "B"), Right("E", "E")}},
        {"lower case", "ABE", "abe", {Right("A", "A"), Right("B", "B"), Right("E", "E")}},
        {"wrong", "ABE", "ABX", {Right("A", "A"), Right("B", "B"), Wrong("E", "X")}},
        {"missing", "ABE", "AE", {Right("A", "A"), Missing("B"), Right("E", "E")}},
        {"extra at the end", "ABE", "ABED", {Right("A", "A"), Right("B", "B"), Right("E", "E"), Extra("D")}},
        {"empty answer", "ABE", "", {Missing("A"), Missing("B"), Missing("E")}},
        {"extra among equals", "AAA", "AAAA", {Extra("A"), Right("A", "A"), Right("A", "A"), Right("A", "A")}},
        {"swapped", "AB", "BA", {Missing("A"), Right("B", "B"), Extra("A")}},
        {"missing run", "ABED", "X", {Missing("A"), Missing("B"), Missing("E"), Wrong("D", "X")}},
        {"leading space", "ABE", " ABE", {Extra(" "), Right("A", "A"), Right("B", "B"), Right("E", "E")}},
        {"space for a character", "ABE", "A E", {Right("A", "A"), Wrong("B", " "), Right("E", "E")}},
        {"a space alone", "AB", " ", {Missing("A"), Wrong("B", " ")}},
        {"digit on its kana key", "1", "\xC7", {Right("1", "\xC7")}},
        {"wrong kana key", "2", "\xC7", {Wrong("2", "\xC7")}},
        {"kana answered by its digit", "\xB1", "3", {Right("\xB1", "3")}},
        // A double-byte character typed is one character, never two halves.
        {"full-width letter for a letter", "A", kWideA, {Wrong("A", kWideA, 2)}},
        {"second byte equal to the letter sent", "A", kKatakanaA, {Wrong("A", kKatakanaA, 1)}},
        {"one kanji for two letters", "AB", kKanji, {Wrong("A", kKanji), Wrong("B", kKanji)}},
        {"kanji between letters", "ABC", "A" + kKanji + "C", {Right("A", "A"), Wrong("B", kKanji, 2), Right("C", "C")}},
        {"extra kanji", "A", "A" + kKanji, {Right("A", "A"), Extra(kKanji)}},
        {"lone lead byte at the end", "A", "A\x8A", {Right("A", "A"), Extra("\x8A")}},
        // A sent double-byte character is one outcome for both its bytes.
        {"double-byte sent and typed", kWideA, kWideA, {Right(kWideA, kWideA)}},
        {"double-byte sent, other typed", kWideA, kWideB, {Wrong(kWideA, kWideB)}},
        {"double-byte sent, nothing typed", kWideA, "", {Missing(kWideA)}},
    };
    for (const OutcomeCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CharOutcomes(AlignAnswer(c.sent, c.typed)), c.outcomes);
    }
}

// Random short texts of what answers are made of, double-byte characters
// included; `spaces` allows the space.
std::string RandomText(std::mt19937& random, std::size_t maxLength, bool spaces) {
    const auto pick = [&random](std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    };
    std::string text;
    const std::size_t length = pick(maxLength + 1);
    while (text.size() < length) {
        switch (pick(6)) {
            case 0: text.push_back(static_cast<char>('A' + pick(3))); break;
            case 1: text.push_back(static_cast<char>('a' + pick(2))); break;
            case 2: text.push_back(static_cast<char>('1' + pick(2))); break;
            case 3: text.push_back("\xC7\xCC\xB1\xB2"[pick(4)]); break;
            case 4:
                text.push_back("\x81\x82\x83\x8A\xE0"[pick(5)]);
                text.push_back("\x41\x60\xB1\xC7\x83\xBF"[pick(6)]);
                break;
            default: text.push_back(spaces ? ' ' : 'B'); break;
        }
    }
    return text;
}

// What the outcomes say of the texts, whatever the alignment chose: every
// byte the scoring counts is in one outcome, each sent character has one
// outcome in sending order, and each outcome is consistent in itself.
TEST(CharOutcomesTest, AddUpToTheScoringsCountsOnRandomTexts) {
    std::mt19937 random(15);
    for (int round = 0; round < 20000; ++round) {
        const bool spaces = round % 2 == 0;
        const std::string sent = RandomText(random, 8, spaces);
        const std::string typed = RandomText(random, 10, true);
        SCOPED_TRACE(::testing::Message() << "round " << round);

        DrillCounters counters{1, 0, 0};
        RecordingView view;
        RecordingLabels labels;
        const ScoredTrial scored = prn(counters, view, labels, sent, typed);
        ASSERT_TRUE(scored.Scored);
        ASSERT_EQ(scored.WrongCount, counters.WrongTotal);
        ASSERT_EQ(scored.MissingCount, counters.MissingTotal);

        const Outcomes outcomes = CharOutcomes(scored.Alignment);
        std::int64_t wrong = 0;
        std::int64_t missing = 0;
        std::string sentAgain;
        for (const CharOutcome& outcome : outcomes) {
            wrong += outcome.WrongCount;
            missing += outcome.MissingCount;
            switch (outcome.Result) {
                case CharResult::Right:
                    ASSERT_EQ(outcome.WrongCount + outcome.MissingCount, 0);
                    ASSERT_FALSE(outcome.Typed.empty());
                    break;
                case CharResult::Wrong:
                    ASSERT_GT(outcome.WrongCount + outcome.MissingCount, 0);
                    ASSERT_FALSE(outcome.Typed.empty());
                    break;
                case CharResult::Missing:
                    ASSERT_EQ(outcome.MissingCount, static_cast<std::int32_t>(outcome.Sent.size()));
                    ASSERT_EQ(outcome.WrongCount, 0);
                    ASSERT_TRUE(outcome.Typed.empty());
                    break;
                case CharResult::Extra:
                    ASSERT_TRUE(outcome.Sent.empty());
                    ASSERT_EQ(outcome.WrongCount, static_cast<std::int32_t>(outcome.Typed.size()));
                    break;
            }
            sentAgain += outcome.Sent;
        }
        EXPECT_EQ(wrong, scored.WrongCount);
        EXPECT_EQ(missing, scored.MissingCount);
        // The sent characters in order; the group's leading space shows up
        // only for a group with spaces of its own.
        if (!spaces) {
            EXPECT_EQ(sentAgain, sent);
        } else if (sentAgain != sent) {
            EXPECT_EQ(sentAgain, " " + sent);
        }
    }
}

TEST(PrnTest, ReturnsNothingScoredOnTheFirstEnter) {
    DrillCounters counters;
    RecordingView view;
    RecordingLabels labels;
    const ScoredTrial scored = prn(counters, view, labels, "ABE", "XYZ");
    EXPECT_FALSE(scored.Scored);
    EXPECT_EQ(scored.Alignment.NodeCount, 0);
    EXPECT_EQ(scored.WrongCount + scored.MissingCount, 0);
}

}  // namespace
}  // namespace rivek
