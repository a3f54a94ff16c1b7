// The integer text conversion shared by the settings file and the spin
// fields: an optional sign and decimal digits (-2147483648..2147483647,
// leading zeros allowed), or one of the prefixes "$", "x", "X", "0x", "0X"
// followed by at most eight significant hexadecimal digits, taken as a
// 32-bit two's-complement value ("$FFFFFFFF" is -1). No sign before a prefix,
// no blanks, nothing after the digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace rivek {

std::optional<std::int32_t> ConvertIntegerText(std::string_view text);

// The value of one hexadecimal digit (0-9, a-f, A-F), or -1.
int HexDigitValue(char c);

// A spin field's reading of its text: leading blanks are skipped, then the
// rest must convert; otherwise nullopt (the field then gives its minimum).
std::optional<std::int32_t> ConvertSpinText(std::string_view text);

}  // namespace rivek
