#include "platform/shift_jis.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace rivek {
namespace {

struct Pair {
    const char* name;
    std::string utf8;
    std::string cp932;
};

// Texts the program shows or reads, in both encodings.
const Pair kPairs[] = {
    {"empty", "", ""},
    {"ASCII", "ABE 123 /?=.,()-", "ABE 123 /?=.,()-"},
    {"half-width katakana", "\xEF\xBD\xB1\xEF\xBE\x87\xEF\xBD\xA5", "\xB1\xC7\xA5"},  // ｱﾇ･
    {"wrong label", "\xE8\xAA\xA4\xE5\xAD\x97\xEF\xBC\x9A" "1", "\x8C\xEB\x8E\x9A\x81\x46" "1"},  // 誤字：1
    {"missing label", "\xE8\x84\xB1\xE5\xAD\x97\xEF\xBC\x9A", "\x92\x45\x8E\x9A\x81\x46"},        // 脱字：
    {"penalty label", "\xE6\xB8\x9B\xE7\x82\xB9\xEF\xBC\x9A", "\x8C\xB8\x93\x5F\x81\x46"},        // 減点：
    {"geta mark", "\xE3\x80\x93", "\x81\xAC"},                                                    // 〓
    {"full-width katakana", "\xE3\x82\xA2", "\x83\x41"},                                          // ア
    {"text longer than one buffer", std::string(1000, 'a') + "\xE3\x82\xA2",
     std::string(1000, 'a') + "\x83\x41"},
};

TEST(ShiftJisTest, ConvertsBothWays) {
    for (const Pair& p : kPairs) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(Utf8ToCp932(p.utf8), std::optional<std::string>(p.cp932));
        EXPECT_EQ(Cp932ToUtf8(p.cp932), p.utf8);
    }
}

TEST(ShiftJisTest, RefusesWhatCodePage932CanNotHold) {
    EXPECT_EQ(Utf8ToCp932("\xF0\x9F\x98\x80"), std::nullopt);  // an emoji
    EXPECT_EQ(Utf8ToCp932("a\xFF" "b"), std::nullopt);         // not UTF-8
    EXPECT_EQ(Utf8ToCp932("a\xE3\x82"), std::nullopt);         // cut UTF-8 sequence
}

TEST(ShiftJisTest, ReplacingPutsAQuestionMarkForEachCharacterItLacks) {
    struct Case {
        const char* name;
        std::string utf8;
        std::string cp932;
    };
    const Case cases[] = {
        {"all convertible", "A\xEF\xBD\xB1\xE8\xAA\xA4", "A\xB1\x8C\xEB"},  // A ｱ 誤
        {"emoji between", "a\xF0\x9F\x98\x80" "b", "a?b"},
        {"euro sign at the end", "x\xE2\x82\xAC", "x?"},
        {"two in a row", "\xF0\x9F\x98\x80\xF0\x9F\x98\x80" "1", "??1"},
        {"a byte that is no UTF-8", "a\xFF" "b", "a?b"},
        {"a cut sequence before ASCII", "\xE3\x82" "z", "?z"},
        {"a cut sequence at the end", "a\xE3\x82", "a?"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf8ToCp932Replacing(c.utf8), c.cp932);
    }
}

TEST(ShiftJisTest, ShowsBytesThatFormNoCharacterAsReplacement) {
    const std::string kReplacement = "\xEF\xBF\xBD";
    struct Case {
        const char* name;
        std::string cp932;
        std::string utf8;
    };
    const Case cases[] = {
        {"lone lead byte at the end", "A\x83", "A" + kReplacement},
        {"lead byte before a space", "\x83 B", kReplacement + " B"},
        {"bytes that open nothing", "\xFD" "a\xFF", kReplacement + "a" + kReplacement},
        {"lone lead byte alone", "\x81", kReplacement},
        {"lead byte before a byte that can't follow it", "\x81\x7F" "A", kReplacement + "\x7F" "A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8);
    }
}

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsWellFormedUtf8(const std::string& text) {
    std::size_t p = 0;
    while (p < text.size()) {
        const auto lead = static_cast<unsigned char>(text[p]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07u;
        } else {
            return false;
        }
        if (p + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[p + k]);
            if ((next & 0xC0u) != 0x80u) return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF))) return false;
        if (code >= 0xD800 && code <= 0xDFFF) return false;
        p += length;
    }
    return true;
}

TEST(ShiftJisTest, EveryPairOfBytesBecomesWellFormedText) {
    // Whatever bytes an answer holds, the window gets text it can show.
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const std::string cp932{static_cast<char>(first), static_cast<char>(second)};
            const std::string utf8 = Cp932ToUtf8(cp932);
            ASSERT_FALSE(utf8.empty()) << first << " " << second;
            ASSERT_TRUE(IsWellFormedUtf8(utf8)) << first << " " << second;
        }
    }
}

}  // namespace
}  // namespace rivek
