// Upper-casing of code page 932 text, as the answer check and the
// character-set loader need it.
//
// a to z become A to Z; digits, signs, spaces and half-width katakana stay.
// The length in bytes never changes, and the second byte of a double-byte
// character (lead bytes 0x81-0x9F and 0xE0-0xFC) is never touched. Like the
// classic ANSI conversion, it stops at the first NUL byte.
#pragma once

#include <string>

namespace rivek {

// True for a byte that opens a double-byte character in code page 932.
constexpr bool IsShiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Converts the text in place.
void UpperCaseInPlace(std::string& text);

}  // namespace rivek
