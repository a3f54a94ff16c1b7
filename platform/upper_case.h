// Upper-casing of code page 932 text, as the answer check and the
// character-set loader need it.
//
// a to z become A to Z; digits, signs, spaces, half-width katakana and every
// other byte stay. The length in bytes never changes, and the second byte of
// a double-byte character (lead bytes 0x81-0x9F and 0xE0-0xFC) is never
// touched, even when it happens to lie in a to z.
//
// The whole string is converted, NUL bytes included: a NUL stays a NUL and
// the conversion goes on behind it. The classic ANSI conversion stops at the
// first NUL because it only sees a C string; a std::string carries its
// length, and stopping there would leave the rest of an answer in lower case,
// to be counted wrong for no visible reason. A reader that wants a text cut
// at its first NUL (the character-set file) cuts it itself.
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
