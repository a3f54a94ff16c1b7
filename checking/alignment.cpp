#include "checking/alignment.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "platform/upper_case.h"

namespace rivek {
namespace {

// The kana-key fold as a byte table: 0 where a byte stays, otherwise its
// replacement. Each katakana is what the key of its digit or sign gives on
// the JIS kana layout with kana input on.
constexpr std::array<char, 256> MakeAnswerKeyMap() {
    std::array<char, 256> map{};
    map[0xC7] = '1';  // ﾇ
    map[0xCC] = '2';  // ﾌ
    map[0xB1] = '3';  // ｱ
    map[0xB3] = '4';  // ｳ
    map[0xB4] = '5';  // ｴ
    map[0xB5] = '6';  // ｵ
    map[0xD4] = '7';  // ﾔ
    map[0xD5] = '8';  // ﾕ
    map[0xD6] = '9';  // ﾖ
    map[0xDC] = '0';  // ﾜ
    map[0xAD] = '(';  // ｭ
    map[0xAE] = ')';  // ｮ
    map[0xA5] = '?';  // ･
    return map;
}
constexpr std::array<char, 256> kAnswerKeyMap = MakeAnswerKeyMap();

constexpr std::int64_t kPairCost = 3;     // a pair of different bytes
constexpr std::int64_t kExtraCost = 3;    // a typed byte that answers nothing
constexpr std::int64_t kMissingCost = 1;  // a sent byte that was not typed

// A running minimum over candidate nodes, in the form key + offset. Among
// equal keys the one added last wins; candidates are added from the nearest
// node outwards in reverse, so "added last" is the shortest run, the one the
// procedure tries first.
struct RunningBest {
    std::int64_t key = 0;
    std::int32_t at = -1;  // -1: no candidate yet

    void Offer(std::int64_t candidateKey, std::int32_t candidateAt) {
        if (at < 0 || candidateKey <= key) {
            key = candidateKey;
            at = candidateAt;
        }
    }
};

// The four strings the alignment works on: a leading space on both texts,
// the answer upper-cased, then both with the kana-key fold.
AnswerAlignment PrepareTexts(std::string_view sent, std::string_view typed) {
    AnswerAlignment result;
    result.SentDisplay.reserve(sent.size() + 1);
    result.SentDisplay.push_back(' ');
    result.SentDisplay.append(sent);
    result.TypedDisplay.reserve(typed.size() + 1);
    result.TypedDisplay.push_back(' ');
    result.TypedDisplay.append(typed);
    UpperCaseInPlace(result.TypedDisplay);
    result.SentFolded = FoldAnswerKeys(result.SentDisplay);
    result.TypedFolded = FoldAnswerKeys(result.TypedDisplay);
    return result;
}

// What the fill leaves for the backtrace: for each cell (i, j) the run
// before its pair, and the value of the end cell.
struct PredecessorGrid {
    std::int32_t rows = 0;     // sent positions 0 .. nS + 1
    std::int32_t columns = 0;  // typed positions 0 .. nT + 1
    // d >= 0: an extra run of d typed bytes, predecessor (i-1, j-1-d);
    // d < 0: a missing run of -d sent bytes, predecessor (i-1+d, j-1).
    std::vector<std::int32_t> runBefore;
    std::int64_t endCost = 0;

    std::int32_t RunBefore(std::int32_t i, std::int32_t j) const {
        return runBefore[static_cast<std::size_t>(i) * static_cast<std::size_t>(columns) +
                         static_cast<std::size_t>(j)];
    }
};

// The cell (i, j) stands for typed byte j answering sent byte i; row
// nS + 1 and column nT + 1 are the place after the last bytes, (0, 0) the
// start. The value of a cell is the least penalty of an alignment whose
// last pair it is:
//
//   cost(i, j) = pair(i, j) + min( cost(i-1, k) + 3 (j-1-k),  k = j-1 .. 0
//                                  cost(k, j-1) + (i-1-k),    k = i-2 .. 0 )
//
// over the nodes that exist (the start and the filled cells; the other
// cells of row 0 and column 0 are none). The first candidate in that order
// wins among equal values: the diagonal, extra runs shortest first,
// missing runs shortest first.
//
// Written out, each cell scans a whole row and a whole column. Both scans
// are kept as running minima instead, which gives the same choices in
// time proportional to the cells:
//   extra runs:   cost(i-1, k) + 3 (j-1-k) = [cost(i-1, k) - 3k] + 3 (j-1);
//                 along row i the bracket of each k stays fixed, and each
//                 step of j brings in k = j-1, the new shortest run;
//   missing runs: cost(k, j-1) + (i-1-k) = [cost(k, j-1) - k] + (i-1);
//                 each new row i brings in k = i-2 for every column.
// A new candidate replaces the minimum when its bracket is not larger,
// since the shorter run is the one tried first.
//
// Only the predecessor of each cell is kept for the backtrace, as the
// length of the run before the pair.
PredecessorGrid FillGrid(std::string_view s, std::string_view t) {
    const auto nS = static_cast<std::int32_t>(s.size());
    const auto nT = static_cast<std::int32_t>(t.size());
    PredecessorGrid grid;
    grid.rows = nS + 2;
    grid.columns = nT + 2;
    const auto columns = static_cast<std::size_t>(grid.columns);
    grid.runBefore.resize(static_cast<std::size_t>(grid.rows) * columns);

    // Costs of the row above and of the row being filled; -1 marks a cell
    // that is no node. Row 0 holds only the start.
    std::vector<std::int64_t> above(columns, -1);
    std::vector<std::int64_t> current(columns, -1);
    above[0] = 0;
    // Per column j-1, the best missing-run origin among rows 0 .. i-2.
    std::vector<RunningBest> missingBest(columns);

    for (std::int32_t i = 1; i <= nS + 1; ++i) {
        current[0] = -1;
        RunningBest extraBest;
        for (std::int32_t j = 1; j <= nT + 1; ++j) {
            const auto uj = static_cast<std::size_t>(j);
            if (above[uj - 1] >= 0) extraBest.Offer(above[uj - 1] - kExtraCost * (j - 1), j - 1);

            std::int64_t best = 0;
            std::int32_t run = 0;
            bool found = false;
            if (extraBest.at >= 0) {
                best = extraBest.key + kExtraCost * (j - 1);
                run = j - 1 - extraBest.at;
                found = true;
            }
            const RunningBest& missing = missingBest[uj - 1];
            if (missing.at >= 0) {
                const std::int64_t value = missing.key + kMissingCost * (i - 1);
                if (!found || value < best) {
                    best = value;
                    run = -(i - 1 - missing.at);
                    found = true;
                }
            }
            // Every cell has a candidate: row 1 reaches the start through an
            // extra run, column 1 through a missing run, the rest have the
            // diagonal. `found` is therefore always true here.

            const bool differs = i <= nS && j <= nT && s[static_cast<std::size_t>(i - 1)] != t[uj - 1];
            current[uj] = best + (differs ? kPairCost : 0);
            grid.runBefore[static_cast<std::size_t>(i) * columns + uj] = run;
        }
        // Row i-1 becomes a missing-run origin for the rows from i+1 on.
        for (std::size_t c = 0; c < columns; ++c) {
            if (above[c] >= 0) missingBest[c].Offer(above[c] - kMissingCost * (i - 1), i - 1);
        }
        if (i == nS + 1) grid.endCost = current[static_cast<std::size_t>(nT + 1)];
        above.swap(current);
    }
    return grid;
}

// Walks from the end node (nS + 1, nT + 1) back to the start, storing each
// node, then (0, 0) after the last.
void Backtrace(const PredecessorGrid& grid, AnswerAlignment& result) {
    std::int32_t i = grid.rows - 1;
    std::int32_t j = grid.columns - 1;
    while (i != 0 && j != 0) {
        result.PathSent.push_back(i);
        result.PathTyped.push_back(j);
        const std::int32_t run = grid.RunBefore(i, j);
        if (run >= 0) {
            i -= 1;
            j -= 1 + run;
        } else {
            i += run - 1;
            j -= 1;
        }
    }
    result.NodeCount = static_cast<std::int32_t>(result.PathSent.size());
    result.PathSent.push_back(0);
    result.PathTyped.push_back(0);
}

}  // namespace

bool AlignmentFits(std::size_t sentBytes, std::size_t typedBytes) {
    // Compared by division so that no product can overflow.
    const std::size_t rows = sentBytes + 3;
    const std::size_t columns = typedBytes + 3;
    if (sentBytes >= kMaxAlignmentCells || typedBytes >= kMaxAlignmentCells) return false;
    return rows <= kMaxAlignmentCells / columns;
}

std::string FoldAnswerKeys(std::string_view text) {
    std::string folded(text);
    const std::size_t size = folded.size();
    for (std::size_t p = 0; p < size; ++p) {
        const auto byte = static_cast<unsigned char>(folded[p]);
        if (IsShiftJisLeadByte(byte)) {
            ++p;  // the second byte of the character is left alone
            continue;
        }
        if (kAnswerKeyMap[byte] != 0) folded[p] = kAnswerKeyMap[byte];
    }
    return folded;
}

AnswerAlignment AlignAnswer(std::string_view sent, std::string_view typed) {
    if (!AlignmentFits(sent.size(), typed.size())) {
        throw std::length_error("AlignAnswer: texts too long to align");
    }
    AnswerAlignment result = PrepareTexts(sent, typed);
    const PredecessorGrid grid = FillGrid(result.SentFolded, result.TypedFolded);
    result.EndCost = static_cast<std::int32_t>(grid.endCost);
    Backtrace(grid, result);
    return result;
}

}  // namespace rivek
