// Answer alignment: the typed answer is lined up with the sent group,
// character by character (byte by byte), at the least penalty.
//
// Costs: a pair of equal folded bytes 0, of different ones 3; an extra typed
// byte 3; a missing sent byte 1. Among alignments of equal penalty the one
// chosen is fixed by the order in which candidates are tried (diagonal
// first, then extra runs shortest first, then missing runs shortest first,
// strict comparisons).
#pragma once

#include <cstddef>
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
    // prepared strings. Between two consecutive nodes one of the positions
    // advances by exactly 1: only typed bytes are skipped (extra) or only
    // sent bytes (missing), never both.
    std::vector<std::int32_t> PathSent;
    std::vector<std::int32_t> PathTyped;
    std::int32_t NodeCount = 0;  // nodes before the (0, 0) entry

    // Least penalty: the value of the end cell, 3 × (differing pairs + extra
    // bytes) + missing bytes of the path.
    std::int32_t EndCost = 0;
};

// The grid of predecessors takes (nS + 2) × (nT + 2) cells of 4 bytes, nS
// and nT being the prepared lengths (one more than the texts). A pair of
// texts whose grid would be larger than this is refused (std::length_error).
// A group of 15 against the longest answer the window takes (32,767
// characters, at most 65,534 bytes) needs 17 × 65,536 cells.
inline constexpr std::size_t kMaxAlignmentCells = std::size_t{1} << 24;

// Whether AlignAnswer takes texts of these lengths in bytes.
bool AlignmentFits(std::size_t sentBytes, std::size_t typedBytes);

// Replaces each half-width katakana that a digit or sign key gives with kana
// input on (ﾇ ﾌ ｱ ｳ ｴ ｵ ﾔ ﾕ ﾖ ﾜ ｭ ｮ ･) by that digit or sign. The second byte
// of a double-byte character is never replaced.
std::string FoldAnswerKeys(std::string_view text);

// Prepares both texts and aligns them. Any bytes, any lengths within
// AlignmentFits; time and memory proportional to the product of the two
// lengths. Throws std::length_error beyond AlignmentFits.
AnswerAlignment AlignAnswer(std::string_view sent, std::string_view typed);

}  // namespace rivek
