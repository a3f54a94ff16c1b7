// The Morse code table: for every byte of code page 932, the pattern that
// sounds it, or 0 for none.
//
// A pattern is a positive integer whose base-3 digits, least significant
// first, are the elements in sending order: 1 a dot, 2 a dash.
// A (.-) is 1 + 2*3 = 7; 0 (-----) is 242; ? (..--..) is 400.
#pragma once

#include <array>
#include <cstdint>

namespace rivek {

class CodeTable {
public:
    // The pattern of a byte, looked up by its unsigned value.
    std::int32_t operator[](unsigned char byte) const { return entries_[byte]; }
    std::int32_t& operator[](unsigned char byte) { return entries_[byte]; }

    const std::array<std::int32_t, 256>& Entries() const { return entries_; }

private:
    std::array<std::int32_t, 256> entries_{};
};

// All 256 entries to 0, then the 95 codes: Latin letters, digits in their
// standard form, six signs and the half-width katakana (kana code).
void ResetCodeTable(CodeTable& table);

// Writes the seven digits that have an abbreviated form (0 1 2 3 7 8 9):
// abbreviated when true, standard when false. No other entry changes.
void SetNumeralMode(CodeTable& table, bool abbreviated);

// The number of elements of a pattern value, or 0 when the value is no
// pattern (0, negative, or a base-3 digit 0 before the value is used up).
int PatternLength(std::int32_t pattern);

}  // namespace rivek
