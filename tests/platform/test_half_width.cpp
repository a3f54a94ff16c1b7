#include "platform/half_width.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/shift_jis.h"

namespace rivek {
namespace {

// One character as UTF-8.
std::string Utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return out;
}

TEST(HalfWidthTest, FoldsFullWidthKanaAndLettersToTheirTwins) {
    struct Case {
        const char* name;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"katakana", "アカサタナ", "ｱｶｻﾀﾅ"},
        {"hiragana", "あかさたな", "ｱｶｻﾀﾅ"},
        {"voiced", "ガザダバ", "ｶﾞｻﾞﾀﾞﾊﾞ"},
        {"voiced hiragana", "がぱ", "ｶﾞﾊﾟ"},
        {"semi-voiced", "パピプペポ", "ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ"},
        {"vu in both scripts", "ヴゔ", "ｳﾞｳﾞ"},
        {"small kana", "ァィゥェォャュョッ", "ｧｨｩｪｫｬｭｮｯ"},
        {"wa row: wi and we on the small i and e", "ワヰヱヲンゐゑを", "ﾜｨｪｦﾝｨｪｦ"},
        {"marks and signs", "ー゛゜。「」、・", "ｰﾞﾟ｡｢｣､･"},
        {"combining voiced marks", "カ\u3099ハ\u309A", "ｶﾞﾊﾟ"},
        {"full-width letters and digits", "ＣＱ ｃｑ ０１２３４５６７８９", "CQ cq 0123456789"},
        {"full-width signs", "（？），．＇", "(?),.'"},
        {"ideographic space", "Ａ\u3000Ｂ", "A B"},
        {"already half-width", "ｱｶﾞ ABC 123", "ｱｶﾞ ABC 123"},
        // Nothing else changes.
        {"kanji", "誤字", "誤字"},
        {"kana without a half-width twin", "ヵヶヮゝゞ", "ヵヶヮゝゞ"},
        {"emoji and euro", "😀€", "😀€"},
        {"bytes that are no UTF-8", "a\xFF\xE3\x82" "b\xC3", "a\xFF\xE3\x82" "b\xC3"},
        {"overlong form stays", "\xE0\x81\x81", "\xE0\x81\x81"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FoldToHalfWidth(c.in), c.out);
    }
}

TEST(HalfWidthTest, EveryHiraganaFoldsAsItsKatakana) {
    for (char32_t hiragana = U'ぁ'; hiragana <= U'ゖ'; ++hiragana) {
        const char32_t katakana = hiragana + (U'ァ' - U'ぁ');
        SCOPED_TRACE(Utf8(hiragana));
        const std::string folded = FoldToHalfWidth(Utf8(hiragana));
        if (folded == Utf8(hiragana)) {
            EXPECT_EQ(FoldToHalfWidth(Utf8(katakana)), Utf8(katakana)) << "only one script folds";
        } else {
            EXPECT_EQ(folded, FoldToHalfWidth(Utf8(katakana)));
        }
    }
}

TEST(HalfWidthTest, KanaFoldIntoTheHalfWidthBlockAndCoverIt) {
    // Every katakana that folds becomes characters of the half-width block
    // U+FF61 to U+FF9F, which code page 932 holds as single bytes A1 to DF;
    // and every character of that block is the fold of some full-width one.
    std::set<std::string> reached;
    for (char32_t c = 0x3000; c <= 0x30FF; ++c) {
        const std::string folded = FoldToHalfWidth(Utf8(c));
        if (folded == Utf8(c) || c == 0x3000) continue;
        SCOPED_TRACE(Utf8(c));
        const std::optional<std::string> bytes = Utf8ToCp932(folded);
        ASSERT_TRUE(bytes.has_value());
        ASSERT_GE(bytes->size(), 1u);
        ASSERT_LE(bytes->size(), 2u);
        for (const char byte : *bytes) {
            EXPECT_GE(static_cast<unsigned char>(byte), 0xA1);
            EXPECT_LE(static_cast<unsigned char>(byte), 0xDF);
        }
        reached.insert(folded.substr(0, 3));
        if (folded.size() > 3) reached.insert(folded.substr(3));
    }
    for (char32_t half = 0xFF61; half <= 0xFF9F; ++half) {
        EXPECT_TRUE(reached.contains(Utf8(half))) << Utf8(half) << " has no full-width form that folds to it";
    }
}

TEST(HalfWidthTest, EveryFullWidthAsciiFormFoldsToItsAsciiCharacter) {
    for (char32_t ascii = 0x21; ascii <= 0x7E; ++ascii) {
        SCOPED_TRACE(static_cast<char>(ascii));
        EXPECT_EQ(FoldToHalfWidth(Utf8(ascii + 0xFEE0)), std::string(1, static_cast<char>(ascii)));
    }
}

TEST(HalfWidthTest, UserTextIsFoldedBeforeItIsConverted) {
    // ア is 83 41 in code page 932 itself; typed, it must arrive as ｱ (B1).
    EXPECT_EQ(Utf8ToCp932("ア"), std::optional<std::string>("\x83\x41"));
    EXPECT_EQ(UserTextToCp932("アあＡ１ガ誤😀"), "\xB1\xB1" "A1\xB6\xDE\x8C\xEB?");
    EXPECT_EQ(UserTextToCp932("ア😀", ""), "\xB1");
}

}  // namespace
}  // namespace rivek
