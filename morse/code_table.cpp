#include "morse/code_table.h"

#include <cstddef>
#include <string_view>

namespace rivek {
namespace {

// The chart below is written in dots and dashes, as it is printed, and turned
// into the base-3 values at compile time, so that a reviewer checks the
// patterns by eye and never has to decode a number.
constexpr std::int32_t Pattern(std::string_view dotsAndDashes) {
    std::int32_t value = 0;
    std::int32_t weight = 1;  // 3^position: the first element is the least significant digit
    for (const char element : dotsAndDashes) {
        value += (element == '.' ? 1 : 2) * weight;
        weight *= 3;
    }
    return value;
}

struct ChartEntry {
    unsigned char byte;
    std::int32_t pattern;
};

// International code: letters, digits (standard form) and six signs.
// The brackets carry the kana code's forms, not the international -.--. and -.--.-.
constexpr ChartEntry kLatinChart[] = {
    {'A', Pattern(".-")},     {'B', Pattern("-...")},   {'C', Pattern("-.-.")},   {'D', Pattern("-..")},
    {'E', Pattern(".")},      {'F', Pattern("..-.")},   {'G', Pattern("--.")},    {'H', Pattern("....")},
    {'I', Pattern("..")},     {'J', Pattern(".---")},   {'K', Pattern("-.-")},    {'L', Pattern(".-..")},
    {'M', Pattern("--")},     {'N', Pattern("-.")},     {'O', Pattern("---")},    {'P', Pattern(".--.")},
    {'Q', Pattern("--.-")},   {'R', Pattern(".-.")},    {'S', Pattern("...")},    {'T', Pattern("-")},
    {'U', Pattern("..-")},    {'V', Pattern("...-")},   {'W', Pattern(".--")},    {'X', Pattern("-..-")},
    {'Y', Pattern("-.--")},   {'Z', Pattern("--..")},

    {'1', Pattern(".----")},  {'2', Pattern("..---")},  {'3', Pattern("...--")},  {'4', Pattern("....-")},
    {'5', Pattern(".....")},  {'6', Pattern("-....")},  {'7', Pattern("--...")},  {'8', Pattern("---..")},
    {'9', Pattern("----.")},  {'0', Pattern("-----")},

    {'\'', Pattern(".----.")}, {'(', Pattern("-.--.-")}, {')', Pattern(".-..-.")},
    {',', Pattern("--..--")},  {'.', Pattern(".-.-.-")}, {'?', Pattern("..--..")},
};

// Kana code (Wabun) on the half-width katakana of code page 932, laid out as
// the kana table: one row per consonant, columns a i u e o.
constexpr ChartEntry kKanaChart[] = {
    //        a                                 i                                 u                                 e                                 o
    /* ｱ行 */ {0xB1 /* ｱ */, Pattern("--.--")}, {0xB2 /* ｲ */, Pattern(".-")},    {0xB3 /* ｳ */, Pattern("..-")},   {0xB4 /* ｴ */, Pattern("-.---")}, {0xB5 /* ｵ */, Pattern(".-...")},
    /* ｶ行 */ {0xB6 /* ｶ */, Pattern(".-..")},  {0xB7 /* ｷ */, Pattern("-.-..")}, {0xB8 /* ｸ */, Pattern("...-")},  {0xB9 /* ｹ */, Pattern("-.--")},  {0xBA /* ｺ */, Pattern("----")},
    /* ｻ行 */ {0xBB /* ｻ */, Pattern("-.-.-")}, {0xBC /* ｼ */, Pattern("--.-.")}, {0xBD /* ｽ */, Pattern("---.-")}, {0xBE /* ｾ */, Pattern(".---.")}, {0xBF /* ｿ */, Pattern("---.")},
    /* ﾀ行 */ {0xC0 /* ﾀ */, Pattern("-.")},    {0xC1 /* ﾁ */, Pattern("..-.")},  {0xC2 /* ﾂ */, Pattern(".--.")},  {0xC3 /* ﾃ */, Pattern(".-.--")}, {0xC4 /* ﾄ */, Pattern("..-..")},
    /* ﾅ行 */ {0xC5 /* ﾅ */, Pattern(".-.")},   {0xC6 /* ﾆ */, Pattern("-.-.")},  {0xC7 /* ﾇ */, Pattern("....")},  {0xC8 /* ﾈ */, Pattern("--.-")},  {0xC9 /* ﾉ */, Pattern("..--")},
    /* ﾊ行 */ {0xCA /* ﾊ */, Pattern("-...")},  {0xCB /* ﾋ */, Pattern("--..-")}, {0xCC /* ﾌ */, Pattern("--..")},  {0xCD /* ﾍ */, Pattern(".")},     {0xCE /* ﾎ */, Pattern("-..")},
    /* ﾏ行 */ {0xCF /* ﾏ */, Pattern("-..-")},  {0xD0 /* ﾐ */, Pattern("..-.-")}, {0xD1 /* ﾑ */, Pattern("-")},     {0xD2 /* ﾒ */, Pattern("-...-")}, {0xD3 /* ﾓ */, Pattern("-..-.")},
    /* ﾔ行 */ {0xD4 /* ﾔ */, Pattern(".--")},                                     {0xD5 /* ﾕ */, Pattern("-..--")},                                   {0xD6 /* ﾖ */, Pattern("--")},
    /* ﾗ行 */ {0xD7 /* ﾗ */, Pattern("...")},   {0xD8 /* ﾘ */, Pattern("--.")},   {0xD9 /* ﾙ */, Pattern("-.--.")}, {0xDA /* ﾚ */, Pattern("---")},   {0xDB /* ﾛ */, Pattern(".-.-")},
    /* ﾜ行 */ {0xDC /* ﾜ */, Pattern("-.-")},   {0xA8 /* ｨ */, Pattern(".-..-")},                                   {0xAA /* ｪ */, Pattern(".--..")}, {0xA6 /* ｦ */, Pattern(".---")},
    /* ﾝ   */ {0xDD /* ﾝ */, Pattern(".-.-.")},

    // Marks and signs: voiced, semi-voiced, long vowel, closing bracket, comma.
    {0xDE /* ﾞ */, Pattern("..")},     {0xDF /* ﾟ */, Pattern("..--.")},  {0xB0 /* ｰ */, Pattern(".--.-")},
    {0xA3 /* ｣ */, Pattern(".-.-..")}, {0xA4 /* ､ */, Pattern(".-.-.-")},
};

// ｨ and ｪ are the code page's small i and e; they carry the kana code's wi
// and we, which the half-width set has no letters for.

struct NumeralEntry {
    unsigned char byte;
    std::int32_t standard;
    std::int32_t abbreviated;
};

// The seven digits with a short form; 4, 5 and 6 have none.
constexpr NumeralEntry kNumeralChart[] = {
    {'1', Pattern(".----"), Pattern(".-")},   {'2', Pattern("..---"), Pattern("..-")},
    {'3', Pattern("...--"), Pattern("...-")}, {'7', Pattern("--..."), Pattern("-...")},
    {'8', Pattern("---.."), Pattern("-..")},  {'9', Pattern("----."), Pattern("-.")},
    {'0', Pattern("-----"), Pattern("-")},
};

static_assert(std::size(kLatinChart) + std::size(kKanaChart) == 95);
static_assert(Pattern(".-") == 7 && Pattern("-----") == 242 && Pattern("..--..") == 400);

}  // namespace

void ResetCodeTable(CodeTable& table) {
    table = CodeTable{};
    for (const ChartEntry& entry : kLatinChart) table[entry.byte] = entry.pattern;
    for (const ChartEntry& entry : kKanaChart) table[entry.byte] = entry.pattern;
}

void SetNumeralMode(CodeTable& table, bool abbreviated) {
    for (const NumeralEntry& entry : kNumeralChart) {
        table[entry.byte] = abbreviated ? entry.abbreviated : entry.standard;
    }
}

int PatternLength(std::int32_t pattern) {
    if (pattern <= 0) return 0;
    int elements = 0;
    for (; pattern != 0; pattern /= 3) {
        if (pattern % 3 == 0) return 0;
        ++elements;
    }
    return elements;
}

}  // namespace rivek
