#include "checking/alignment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace rivek {
namespace {

using Node = std::pair<std::int32_t, std::int32_t>;
using Nodes = std::vector<Node>;

// The path from the first node after the start to the end node.
Nodes PathNodes(const AnswerAlignment& alignment) {
    Nodes nodes;
    for (std::int32_t n = alignment.NodeCount - 1; n >= 0; --n) {
        const auto at = static_cast<std::size_t>(n);
        nodes.emplace_back(alignment.PathSent[at], alignment.PathTyped[at]);
    }
    return nodes;
}

Nodes Diagonal(std::int32_t last) {
    Nodes nodes;
    for (std::int32_t p = 1; p <= last; ++p) nodes.emplace_back(p, p);
    return nodes;
}

Nodes Concat(Nodes head, const Nodes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct ExampleCase {
    const char* name;
    std::string sent;
    std::string typed;
    Nodes nodes;
    std::int32_t endCost;
};

TEST(AlignAnswerTest, ChoosesTheAlignmentOfTheWorkedExamples) {
    const std::string fifteen = "ABCDEFGHIJKLMNO";
    const ExampleCase cases[] = {
        {"equal", "ABC", "ABC", Diagonal(5), 0},
        {"lower case answer", "ABC", "abc", Diagonal(5), 0},
        {"one wrong", "ABC", "ABX", Diagonal(5), 3},
        {"one missing", "ABC", "AC", {{1, 1}, {2, 2}, {4, 3}, {5, 4}}, 1},
        {"empty answer", "ABC", "", {{1, 1}, {5, 2}}, 3},
        {"extra is the first of equals", "AAA", "AAAA", {{1, 1}, {2, 3}, {3, 4}, {4, 5}, {5, 6}}, 3},
        {"missing is the first of equals", "ABBC", "ABC", {{1, 1}, {2, 2}, {4, 3}, {5, 4}, {6, 5}}, 1},
        {"swap is a missing and an extra", "AB", "BA", {{1, 1}, {3, 2}, {4, 4}}, 4},
        {"missing run then a wrong pair", "ABCD", "X", {{1, 1}, {5, 2}, {6, 3}}, 6},
        {"leading space", "ABC", " ABC", {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}}, 3},
        {"space inside", "ABC", "A C", Diagonal(5), 3},
        {"trailing space", "ABC", "ABC ", Concat(Diagonal(4), {{5, 6}}), 3},
        {"kana key answers digit", "1", "\xC7", Diagonal(3), 0},
        {"digit answers kana", "\xB1", "3", Diagonal(3), 0},
        {"kana key of another digit", "2", "\xC7", Diagonal(3), 3},
        {"sign keys", "()?", "\xAD\xAE\xA5", Diagonal(5), 0},
        // The extra letters are not in the group: the diagonal to the group's
        // end, then one run of three extra bytes before the end node.
        {"answer of 18 letters", fifteen, fifteen + "XYZ", Concat(Diagonal(16), {{17, 20}}), 9},
        // With extra letters that the group ends in, the tie-break pairs the
        // group's last letter with the last typed O instead.
        {"answer of 18 letters ending in the last one", fifteen, fifteen + "AAO",
         Concat(Diagonal(15), {{16, 19}, {17, 20}}), 9},
        // Longer than a 21 x 21 grid would hold.
        {"answer of 40 letters", fifteen, fifteen + std::string(25, 'Z'),
         Concat(Diagonal(16), {{17, 42}}), 75},
        {"group longer than the answer", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "AZ",
         {{1, 1}, {2, 2}, {27, 3}, {28, 4}}, 24},
    };
    for (const ExampleCase& c : cases) {
        SCOPED_TRACE(c.name);
        const AnswerAlignment alignment = AlignAnswer(c.sent, c.typed);
        EXPECT_EQ(PathNodes(alignment), c.nodes);
        EXPECT_EQ(alignment.EndCost, c.endCost);
        ASSERT_EQ(alignment.PathSent.size(), static_cast<std::size_t>(alignment.NodeCount) + 1);
        EXPECT_EQ(alignment.PathSent.back(), 0);
        EXPECT_EQ(alignment.PathTyped.back(), 0);
    }
}

TEST(AlignAnswerTest, PreparesDisplayAndFoldedTexts) {
    const AnswerAlignment alignment = AlignAnswer("\xB1" "2B", "a\xC7z\x83\x61\xCC");
    EXPECT_EQ(alignment.SentDisplay, " \xB1" "2B");
    EXPECT_EQ(alignment.SentFolded, " 32B");
    // Upper case for the answer only; the double-byte character 83 61 keeps
    // its second byte, which would otherwise read as a lower-case a.
    EXPECT_EQ(alignment.TypedDisplay, " A\xC7Z\x83\x61\xCC");
    EXPECT_EQ(alignment.TypedFolded, " A1Z\x83\x61" "2");
    // The sent group is taken as it is, not upper-cased.
    EXPECT_EQ(AlignAnswer("ab", "AB").EndCost, 6);
}

TEST(FoldAnswerKeysTest, FoldsEachKanaKeyAndNothingElse) {
    const std::string kana = "\xC7\xCC\xB1\xB3\xB4\xB5\xD4\xD5\xD6\xDC\xAD\xAE\xA5";
    EXPECT_EQ(FoldAnswerKeys(kana), "1234567890()?");
    // Other katakana, the half-width signs next to the mapped ones, ASCII and
    // the bytes at the edges stay.
    const std::string others = "\xA1\xA4\xA6\xB2\xC6\xC8\xDD\xDF" "ABC xyz 123()?";
    EXPECT_EQ(FoldAnswerKeys(others), others);
    EXPECT_EQ(FoldAnswerKeys(""), "");
}

TEST(FoldAnswerKeysTest, LeavesTheSecondByteOfADoubleByteCharacter) {
    struct Case {
        const char* name;
        std::string text;
        std::string folded;
    };
    const Case cases[] = {
        {"second byte in the kana range", "\x83\xB1", "\x83\xB1"},
        {"kana after a double-byte character", "\x83\xB1\xB1", "\x83\xB1" "3"},
        {"lead byte from the upper range", "\xE0\xC7\xC7", "\xE0\xC7" "1"},
        {"lone lead byte at the end", "\xB1\x83", "3\x83"},
        {"kana before a double-byte character", "\xC7\x81\xC7", "1\x81\xC7"},
        {"NUL is a byte like others", std::string("\xB1\0\xB1", 3), std::string("3\0" "3", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FoldAnswerKeys(c.text), c.folded);
    }
}

TEST(AlignAnswerTest, RefusesTextsWhoseGridWouldNotFit) {
    EXPECT_TRUE(AlignmentFits(15, 65534));
    EXPECT_TRUE(AlignmentFits(15, 900000));
    EXPECT_FALSE(AlignmentFits(15, kMaxAlignmentCells));
    EXPECT_FALSE(AlignmentFits(5000, 5000));
    EXPECT_FALSE(AlignmentFits(SIZE_MAX, SIZE_MAX));
    EXPECT_THROW(AlignAnswer(std::string(5000, 'A'), std::string(5000, 'A')), std::length_error);
}

TEST(AlignAnswerTest, AlignsTheLongestAnswerOfTheWindow) {
    const std::string sent = "ABCDEFGHIJKLMNO";
    std::string typed = sent;
    typed.resize(32767, 'Z');
    const AnswerAlignment alignment = AlignAnswer(sent, typed);
    EXPECT_EQ(PathNodes(alignment), Concat(Diagonal(16), {{17, 32769}}));
    EXPECT_EQ(alignment.EndCost, 3 * (32767 - 15));
}

// --- Reference computations -------------------------------------------------

// The fill exactly as the procedure states it: every cell scans its whole
// row of extra-run candidates and its whole column of missing-run
// candidates. Cubic, and obviously what it says.
struct Literal {
    Nodes nodes;
    std::int64_t endCost = 0;
};

Literal AlignLiterally(const std::string& s, const std::string& t) {
    const auto nS = static_cast<std::int32_t>(s.size());
    const auto nT = static_cast<std::int32_t>(t.size());
    const std::int32_t rows = nS + 2;
    const std::int32_t columns = nT + 2;
    const auto at = [columns](std::int32_t i, std::int32_t j) {
        return static_cast<std::size_t>(i * columns + j);
    };
    std::vector<std::int64_t> cost(static_cast<std::size_t>(rows * columns), 0);
    std::vector<std::int32_t> prevSent(cost.size(), 0);
    std::vector<std::int32_t> prevTyped(cost.size(), 0);
    for (std::int32_t i = 1; i < rows; ++i) cost[at(i, 0)] = -1;
    for (std::int32_t j = 1; j < columns; ++j) cost[at(0, j)] = -1;
    for (std::int32_t i = 1; i <= nS; ++i) {
        for (std::int32_t j = 1; j <= nT; ++j) {
            if (s[static_cast<std::size_t>(i - 1)] != t[static_cast<std::size_t>(j - 1)]) cost[at(i, j)] = 3;
        }
    }
    for (std::int32_t i = 1; i <= nS + 1; ++i) {
        for (std::int32_t j = 1; j <= nT + 1; ++j) {
            std::int64_t best = 10000000;
            for (std::int32_t k = j - 1; k >= 0; --k) {
                const std::int64_t c = cost[at(i - 1, k)];
                if (c >= 0 && c + 3 * (j - 1 - k) < best) {
                    best = c + 3 * (j - 1 - k);
                    prevSent[at(i, j)] = i - 1;
                    prevTyped[at(i, j)] = k;
                }
            }
            for (std::int32_t k = i - 2; k >= 0; --k) {
                const std::int64_t c = cost[at(k, j - 1)];
                if (c >= 0 && c + (i - 1 - k) < best) {
                    best = c + (i - 1 - k);
                    prevSent[at(i, j)] = k;
                    prevTyped[at(i, j)] = j - 1;
                }
            }
            cost[at(i, j)] += best;
        }
    }
    Literal result;
    result.endCost = cost[at(nS + 1, nT + 1)];
    std::int32_t i = nS + 1;
    std::int32_t j = nT + 1;
    while (i != 0 && j != 0) {
        result.nodes.emplace_back(i, j);
        const std::int32_t pi = prevSent[at(i, j)];
        j = prevTyped[at(i, j)];
        i = pi;
    }
    std::reverse(result.nodes.begin(), result.nodes.end());
    return result;
}

// Weighted edit distance: substitution 3, an extra typed byte 3, a missing
// sent byte 1.
std::int64_t EditDistance(const std::string& s, const std::string& t) {
    std::vector<std::int64_t> row(t.size() + 1);
    for (std::size_t j = 0; j <= t.size(); ++j) row[j] = 3 * static_cast<std::int64_t>(j);
    for (std::size_t i = 1; i <= s.size(); ++i) {
        std::int64_t diagonal = row[0];
        row[0] = static_cast<std::int64_t>(i);
        for (std::size_t j = 1; j <= t.size(); ++j) {
            const std::int64_t above = row[j];
            row[j] = std::min({diagonal + (s[i - 1] == t[j - 1] ? 0 : 3), above + 1, row[j - 1] + 3});
            diagonal = above;
        }
    }
    return row[t.size()];
}

// Random short texts over what answers are made of: upper and lower case
// letters (few, so that equal bytes and ties are common), digits, the kana
// keys and other katakana, spaces and double-byte characters.
class TextMaker {
public:
    explicit TextMaker(std::uint32_t seed) : random_(seed) {}

    std::string Make(std::size_t maxLength) {
        std::string text;
        const std::size_t length = Pick(maxLength + 1);
        while (text.size() < length) {
            switch (Pick(7)) {
                case 0: text.push_back(static_cast<char>('A' + Pick(3))); break;
                case 1: text.push_back(static_cast<char>('a' + Pick(3))); break;
                case 2: text.push_back(static_cast<char>('1' + Pick(3))); break;
                case 3: text.push_back("\xC7\xCC\xB1\xB2\xA5\xDF"[Pick(6)]); break;
                case 4: text.push_back(' '); break;
                case 5: {
                    // A double-byte character whose second byte may equal a
                    // letter, a kana key or a lead byte.
                    text.push_back("\x81\x83\x9F\xE0\xFC"[Pick(5)]);
                    text.push_back("\x41\x61\xB1\xC7\x83\x40\xFC"[Pick(7)]);
                    break;
                }
                default: text.push_back(static_cast<char>('A' + Pick(2))); break;
            }
        }
        return text;
    }

private:
    std::size_t Pick(std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
    }
    std::mt19937 random_;
};

TEST(AlignAnswerTest, EndCellIsTheWeightedEditDistanceOfItsPath) {
    TextMaker maker(20261211);
    for (int round = 0; round < 3000; ++round) {
        const std::string sent = maker.Make(8);
        const std::string typed = maker.Make(10);
        SCOPED_TRACE(testing::Message() << "round " << round);
        const AnswerAlignment alignment = AlignAnswer(sent, typed);
        EXPECT_EQ(alignment.EndCost, EditDistance(alignment.SentFolded, alignment.TypedFolded));

        const Nodes nodes = PathNodes(alignment);
        ASSERT_FALSE(nodes.empty());
        const auto nS = static_cast<std::int32_t>(alignment.SentFolded.size());
        const auto nT = static_cast<std::int32_t>(alignment.TypedFolded.size());
        ASSERT_EQ(nodes.back(), Node(nS + 1, nT + 1));
        std::int64_t wrong = 0;
        std::int64_t missing = 0;
        Node previous{0, 0};
        for (std::size_t n = 0; n < nodes.size(); ++n) {
            const auto [i, j] = nodes[n];
            const std::int32_t skippedSent = i - previous.first - 1;
            const std::int32_t skippedTyped = j - previous.second - 1;
            ASSERT_GE(skippedSent, 0);
            ASSERT_GE(skippedTyped, 0);
            ASSERT_TRUE(skippedSent == 0 || skippedTyped == 0) << "both sides skip before node " << n;
            missing += skippedSent;
            wrong += skippedTyped;
            if (n + 1 < nodes.size() &&
                alignment.SentFolded[static_cast<std::size_t>(i - 1)] !=
                    alignment.TypedFolded[static_cast<std::size_t>(j - 1)]) {
                ++wrong;
            }
            previous = nodes[n];
        }
        EXPECT_EQ(3 * wrong + missing, alignment.EndCost);
    }
}

TEST(AlignAnswerTest, FollowsTheCellByCellFillOnRandomTexts) {
    TextMaker maker(7);
    struct Size {
        std::size_t sent;
        std::size_t typed;
        int rounds;
    };
    // Short texts where ties abound, and longer answers with long runs.
    for (const Size size : {Size{6, 8, 3000}, Size{15, 40, 300}, Size{30, 12, 300}}) {
        for (int round = 0; round < size.rounds; ++round) {
            const std::string sent = maker.Make(size.sent);
            const std::string typed = maker.Make(size.typed);
            SCOPED_TRACE(testing::Message() << "sizes " << size.sent << "/" << size.typed << " round " << round);
            const AnswerAlignment alignment = AlignAnswer(sent, typed);
            const Literal literal = AlignLiterally(alignment.SentFolded, alignment.TypedFolded);
            ASSERT_EQ(PathNodes(alignment), literal.nodes);
            ASSERT_EQ(alignment.EndCost, literal.endCost);
        }
    }
}

}  // namespace
}  // namespace rivek
