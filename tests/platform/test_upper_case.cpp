#include "platform/upper_case.h"

#include <gtest/gtest.h>

#include <string>

namespace rivek {
namespace {

TEST(UpperCaseInPlaceTest, ChangesOnlyTheLettersAToZ) {
    struct Case {
        const char* name;
        std::string text;
        std::string upper;
    };
    const Case cases[] = {
        {"empty", "", ""},
        {"letters", "abcxyz ABC", "ABCXYZ ABC"},
        {"digits and signs", "0189/?=.,()-'`{}[]@^_~", "0189/?=.,()-'`{}[]@^_~"},
        {"half-width katakana", "\xA1\xB1\xC7\xDF" "a", "\xA1\xB1\xC7\xDF" "A"},
        {"controls and DEL", "\t\r\n\x7F" "b", "\t\r\n\x7F" "B"},
        {"bytes that open no character", "\x80\xA0\xFD\xFE\xFF" "z", "\x80\xA0\xFD\xFE\xFF" "Z"},
        // 83 61 and E0 7A are double-byte characters whose second byte is a
        // lower-case letter in ASCII; it must not change.
        {"second byte in a to z", "\x83\x61" "a\xE0\x7A" "z", "\x83\x61" "A\xE0\x7A" "Z"},
        {"highest lead byte", "\xFC\x62" "c", "\xFC\x62" "C"},
        {"second byte is itself a lead byte", "\x81\x81" "a", "\x81\x81" "A"},
        {"lone lead byte at the end", "a\x81", "A\x81"},
        // A NUL is a byte like any other: the conversion goes on behind it.
        {"embedded NUL", std::string("a\0b", 3), std::string("A\0B", 3)},
        {"NUL as a second byte", std::string("\x81\0" "a", 3), std::string("\x81\0" "A", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.text;
        UpperCaseInPlace(text);
        EXPECT_EQ(text, c.upper);
        EXPECT_EQ(text.size(), c.text.size());
    }
}

TEST(UpperCaseInPlaceTest, LeadBytesAreExactlyTheTwoRanges) {
    for (int byte = 0; byte < 256; ++byte) {
        const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        EXPECT_EQ(IsShiftJisLeadByte(static_cast<unsigned char>(byte)), lead) << "byte " << byte;
    }
}

}  // namespace
}  // namespace rivek
