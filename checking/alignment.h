// Answer alignment: the typed answer is lined up with the sent group,
// character by character (byte by byte), at the least penalty.
//
// Costs: a pair of equal folded bytes 0, of different ones 3; an extra typed
// byte 3; a missing sent byte 1. Among alignments of equal penalty the one
// chosen is fixed by the order in which candidates are tried (diagonal
// first, then extra runs shortest first, then missing runs shortest first,
// strict comparisons).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rivek {

struct AnswerAlignment {
    std::string SentDisplay;   // " " + sent
    std::string TypedDisplay;  // " " + typed, upper-cased
    std::string SentFolded;    // SentDisplay with the kana-key fold
    std::string TypedFolded;   // TypedDisplay with the kana-key fold

    // Entry 0 is the end node (nS + 1, nT + 1); each following entry is the
    // predecessor of the one before it; the entry after the last node is
    // the start (0, 0). Positions are 1-based byte positions in the
    // prepared strings.
    std::vector<std::int32_t> PathSent;
    std::vector<std::int32_t> PathTyped;
    std::int32_t NodeCount = 0;  // nodes before the (0, 0) entry

    std::int32_t EndCost = 0;  // least penalty: the value of the end cell
};

// Replaces each half-width katakana that a digit or sign key gives with kana
// input on (ﾇ ﾌ ｱ ｳ ｴ ｵ ﾔ ﾕ ﾖ ﾜ ｭ ｮ ･) by that digit or sign. The second byte
// of a double-byte character is never replaced.
std::string FoldAnswerKeys(std::string_view text);

// Prepares both texts and aligns them. Any lengths; memory proportional to
// the product of the two lengths.
AnswerAlignment AlignAnswer(std::string_view sent, std::string_view typed);

}  // namespace rivek
