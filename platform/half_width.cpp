#include "platform/half_width.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace rivek {
namespace {

struct Fold {
    char32_t fullWidth;
    const char* halfWidth;  // UTF-8
};

// The full-width kana and signs of U+3000 to U+30FF that have a half-width
// twin, laid out as the kana table: one row per consonant, columns a i u e o,
// then the small, voiced and semi-voiced forms. Hiragana are looked up as
// the katakana 0x60 above them.
constexpr Fold kKanaFolds[] = {
    //        a               i               u               e               o
    /* ア行 */ {U'ア', "ｱ"},   {U'イ', "ｲ"},   {U'ウ', "ｳ"},   {U'エ', "ｴ"},   {U'オ', "ｵ"},
    /* カ行 */ {U'カ', "ｶ"},   {U'キ', "ｷ"},   {U'ク', "ｸ"},   {U'ケ', "ｹ"},   {U'コ', "ｺ"},
    /* サ行 */ {U'サ', "ｻ"},   {U'シ', "ｼ"},   {U'ス', "ｽ"},   {U'セ', "ｾ"},   {U'ソ', "ｿ"},
    /* タ行 */ {U'タ', "ﾀ"},   {U'チ', "ﾁ"},   {U'ツ', "ﾂ"},   {U'テ', "ﾃ"},   {U'ト', "ﾄ"},
    /* ナ行 */ {U'ナ', "ﾅ"},   {U'ニ', "ﾆ"},   {U'ヌ', "ﾇ"},   {U'ネ', "ﾈ"},   {U'ノ', "ﾉ"},
    /* ハ行 */ {U'ハ', "ﾊ"},   {U'ヒ', "ﾋ"},   {U'フ', "ﾌ"},   {U'ヘ', "ﾍ"},   {U'ホ', "ﾎ"},
    /* マ行 */ {U'マ', "ﾏ"},   {U'ミ', "ﾐ"},   {U'ム', "ﾑ"},   {U'メ', "ﾒ"},   {U'モ', "ﾓ"},
    /* ヤ行 */ {U'ヤ', "ﾔ"},                   {U'ユ', "ﾕ"},                   {U'ヨ', "ﾖ"},
    /* ラ行 */ {U'ラ', "ﾗ"},   {U'リ', "ﾘ"},   {U'ル', "ﾙ"},   {U'レ', "ﾚ"},   {U'ロ', "ﾛ"},
    // ヰ and ヱ have no half-width letters; the kana code sends them on ｨ and ｪ.
    /* ワ行 */ {U'ワ', "ﾜ"},   {U'ヰ', "ｨ"},                   {U'ヱ', "ｪ"},   {U'ヲ', "ｦ"},
    /* ン   */ {U'ン', "ﾝ"},

    /* small */ {U'ァ', "ｧ"},  {U'ィ', "ｨ"},   {U'ゥ', "ｩ"},   {U'ェ', "ｪ"},   {U'ォ', "ｫ"},
                {U'ャ', "ｬ"},                  {U'ュ', "ｭ"},                   {U'ョ', "ｮ"},
                {U'ッ', "ｯ"},

    /* ガ行 */ {U'ガ', "ｶﾞ"},  {U'ギ', "ｷﾞ"},  {U'グ', "ｸﾞ"},  {U'ゲ', "ｹﾞ"},  {U'ゴ', "ｺﾞ"},
    /* ザ行 */ {U'ザ', "ｻﾞ"},  {U'ジ', "ｼﾞ"},  {U'ズ', "ｽﾞ"},  {U'ゼ', "ｾﾞ"},  {U'ゾ', "ｿﾞ"},
    /* ダ行 */ {U'ダ', "ﾀﾞ"},  {U'ヂ', "ﾁﾞ"},  {U'ヅ', "ﾂﾞ"},  {U'デ', "ﾃﾞ"},  {U'ド', "ﾄﾞ"},
    /* バ行 */ {U'バ', "ﾊﾞ"},  {U'ビ', "ﾋﾞ"},  {U'ブ', "ﾌﾞ"},  {U'ベ', "ﾍﾞ"},  {U'ボ', "ﾎﾞ"},
    /* パ行 */ {U'パ', "ﾊﾟ"},  {U'ピ', "ﾋﾟ"},  {U'プ', "ﾌﾟ"},  {U'ペ', "ﾍﾟ"},  {U'ポ', "ﾎﾟ"},
    /* others */ {U'ヴ', "ｳﾞ"}, {U'ヷ', "ﾜﾞ"}, {U'ヺ', "ｦﾞ"},

    // Marks and signs; the voiced marks also in their combining forms.
    {U'ー', "ｰ"}, {U'゛', "ﾞ"}, {U'゜', "ﾟ"}, {U'\u3099', "ﾞ"}, {U'\u309A', "ﾟ"},
    {U'。', "｡"}, {U'「', "｢"}, {U'」', "｣"}, {U'、', "､"}, {U'・', "･"},
    {U'\u3000', " "},  // the ideographic space
};

constexpr char32_t kKanaBlock = 0x3000;  // the table covers U+3000 to U+30FF
constexpr char32_t kHiraganaFirst = U'ぁ';
constexpr char32_t kHiraganaLast = U'ゖ';
constexpr char32_t kHiraganaToKatakana = U'ァ' - U'ぁ';
// U+FF01 to U+FF5E are the full-width forms of ASCII 0x21 to 0x7E.
constexpr char32_t kFullWidthAsciiFirst = 0xFF01;
constexpr char32_t kFullWidthAsciiLast = 0xFF5E;
constexpr char32_t kFullWidthToAscii = 0xFF01 - 0x21;

constexpr std::array<const char*, 256> kKanaByOffset = [] {
    std::array<const char*, 256> byOffset{};
    for (const Fold& fold : kKanaFolds) byOffset[fold.fullWidth - kKanaBlock] = fold.halfWidth;
    return byOffset;
}();

// The half-width twin of a character, or nullptr when it has none.
const char* HalfWidthOf(char32_t c) {
    if (c >= kHiraganaFirst && c <= kHiraganaLast) c += kHiraganaToKatakana;
    if (c >= kKanaBlock && c < kKanaBlock + kKanaByOffset.size()) return kKanaByOffset[c - kKanaBlock];
    return nullptr;
}

// Decodes the well-formed UTF-8 sequence at `at`; returns its length, or 0
// when the byte there opens none.
std::size_t DecodeUtf8(std::string_view text, std::size_t at, char32_t& c) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0u) != 0x80u) return 0;
        c = (c << 6) | (next & 0x3Fu);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string FoldToHalfWidth(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8(utf8, at, c);
        if (length == 0) {
            out.push_back(utf8[at++]);  // not UTF-8: left for the conversion to judge
            continue;
        }
        if (c >= kFullWidthAsciiFirst && c <= kFullWidthAsciiLast) {
            out.push_back(static_cast<char>(c - kFullWidthToAscii));
        } else if (const char* half = HalfWidthOf(c)) {
            out += half;
        } else {
            out.append(utf8.substr(at, length));
        }
        at += length;
    }
    return out;
}

}  // namespace rivek
