#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "morse/code_table.h"

namespace rivek {
namespace {

// The chart again, typed independently in byte order, with each pattern's
// value written out as well: a slip in the source's chart, in its
// conversion to numbers, or in a byte value shows up here.
struct ChartRow {
    unsigned char byte;
    std::string_view pattern;
    std::int32_t value;
};

constexpr ChartRow kChart[] = {
    {0x27, ".----.", 484}, {0x28, "-.--.-", 644}, {0x29, ".-..-.", 448}, {0x2C, "--..--", 692},
    {0x2E, ".-.-.-", 637}, {0x30, "-----", 242},  {0x31, ".----", 241},  {0x32, "..---", 238},
    {0x33, "...--", 229},  {0x34, "....-", 202},  {0x35, ".....", 121},  {0x36, "-....", 122},
    {0x37, "--...", 125},  {0x38, "---..", 134},  {0x39, "----.", 161},  {0x3F, "..--..", 400},
    {0x41, ".-", 7},       {0x42, "-...", 41},    {0x43, "-.-.", 50},    {0x44, "-..", 14},
    {0x45, ".", 1},        {0x46, "..-.", 49},    {0x47, "--.", 17},     {0x48, "....", 40},
    {0x49, "..", 4},       {0x4A, ".---", 79},    {0x4B, "-.-", 23},     {0x4C, ".-..", 43},
    {0x4D, "--", 8},       {0x4E, "-.", 5},       {0x4F, "---", 26},     {0x50, ".--.", 52},
    {0x51, "--.-", 71},    {0x52, ".-.", 16},     {0x53, "...", 13},     {0x54, "-", 2},
    {0x55, "..-", 22},     {0x56, "...-", 67},    {0x57, ".--", 25},     {0x58, "-..-", 68},
    {0x59, "-.--", 77},    {0x5A, "--..", 44},

    {0xA3, ".-.-..", 394}, {0xA4, ".-.-.-", 637}, {0xA6, ".---", 79},    {0xA8, ".-..-", 205},
    {0xAA, ".--..", 133},  {0xB0, ".--.-", 214},  {0xB1, "--.--", 233},  {0xB2, ".-", 7},
    {0xB3, "..-", 22},     {0xB4, "-.---", 239},  {0xB5, ".-...", 124},  {0xB6, ".-..", 43},
    {0xB7, "-.-..", 131},  {0xB8, "...-", 67},    {0xB9, "-.--", 77},    {0xBA, "----", 80},
    {0xBB, "-.-.-", 212},  {0xBC, "--.-.", 152},  {0xBD, "---.-", 215},  {0xBE, ".---.", 160},
    {0xBF, "---.", 53},    {0xC0, "-.", 5},       {0xC1, "..-.", 49},    {0xC2, ".--.", 52},
    {0xC3, ".-.--", 232},  {0xC4, "..-..", 130},  {0xC5, ".-.", 16},     {0xC6, "-.-.", 50},
    {0xC7, "....", 40},    {0xC8, "--.-", 71},    {0xC9, "..--", 76},    {0xCA, "-...", 41},
    {0xCB, "--..-", 206},  {0xCC, "--..", 44},    {0xCD, ".", 1},        {0xCE, "-..", 14},
    {0xCF, "-..-", 68},    {0xD0, "..-.-", 211},  {0xD1, "-", 2},        {0xD2, "-...-", 203},
    {0xD3, "-..-.", 149},  {0xD4, ".--", 25},     {0xD5, "-..--", 230},  {0xD6, "--", 8},
    {0xD7, "...", 13},     {0xD8, "--.", 17},     {0xD9, "-.--.", 158},  {0xDA, "---", 26},
    {0xDB, ".-.-", 70},    {0xDC, "-.-", 23},     {0xDD, ".-.-.", 151},  {0xDE, "..", 4},
    {0xDF, "..--.", 157},
};

// Abbreviated digits: byte, standard pattern, abbreviated pattern.
struct NumeralRow {
    unsigned char byte;
    std::string_view standard;
    std::string_view abbreviated;
};

constexpr NumeralRow kNumerals[] = {
    {'0', "-----", "-"},  {'1', ".----", ".-"},  {'2', "..---", "..-"}, {'3', "...--", "...-"},
    {'7', "--...", "-..."}, {'8', "---..", "-.."}, {'9', "----.", "-."},
};

// Reads a stored value back as dots and dashes, most recent element last.
std::string Decode(std::int32_t value) {
    std::string pattern;
    for (; value > 0; value /= 3) {
        const std::int32_t digit = value % 3;
        if (digit == 0) return "<digit 0>";
        pattern += digit == 1 ? '.' : '-';
    }
    return pattern;
}

const ChartRow* FindRow(unsigned char byte) {
    for (const ChartRow& row : kChart) {
        if (row.byte == byte) return &row;
    }
    return nullptr;
}

CodeTable FreshTable() {
    CodeTable table;
    ResetCodeTable(table);
    return table;
}

TEST(CodeTableTest, EveryByteHoldsItsChartPatternOrNothing) {
    ASSERT_EQ(std::size(kChart), 95u);
    const CodeTable table = FreshTable();
    int withPattern = 0;
    for (int byte = 0; byte < 256; ++byte) {
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << byte);
        const std::int32_t entry = table[static_cast<unsigned char>(byte)];
        if (const ChartRow* row = FindRow(static_cast<unsigned char>(byte))) {
            EXPECT_EQ(entry, row->value);
            EXPECT_EQ(Decode(entry), row->pattern);
            ++withPattern;
        } else {
            EXPECT_EQ(entry, 0);
        }
    }
    EXPECT_EQ(withPattern, 95);
}

TEST(CodeTableTest, ResetClearsWhatWasThereBefore) {
    CodeTable table;
    for (int byte = 0; byte < 256; ++byte) table[static_cast<unsigned char>(byte)] = 5;
    ResetCodeTable(table);
    EXPECT_EQ(table.Entries(), FreshTable().Entries());
    for (const int byte : {0x20, 0x26, 0x61, 0xA1, 0xA2, 0xA5, 0xE0, 0xFF}) {
        EXPECT_EQ(table[static_cast<unsigned char>(byte)], 0) << "byte " << byte;
    }
}

TEST(CodeTableTest, SixElementPatternsBelongToTheSignsOnly) {
    const CodeTable table = FreshTable();
    std::set<unsigned char> longest;
    std::int32_t largest = 0;
    for (int byte = 0; byte < 256; ++byte) {
        const std::int32_t entry = table[static_cast<unsigned char>(byte)];
        if (PatternLength(entry) == 6) longest.insert(static_cast<unsigned char>(byte));
        largest = std::max(largest, entry);
    }
    EXPECT_EQ(longest, (std::set<unsigned char>{'\'', '(', ')', ',', '.', '?', 0xA3, 0xA4}));
    EXPECT_EQ(largest, 692);
}

TEST(CodeTableTest, NumeralSwitchWritesTheSevenDigitsOnly) {
    const CodeTable standard = FreshTable();
    CodeTable table = standard;
    SetNumeralMode(table, true);
    SetNumeralMode(table, true);  // setting the form in force changes nothing
    for (int byte = 0; byte < 256; ++byte) {
        const auto b = static_cast<unsigned char>(byte);
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << byte);
        const NumeralRow* numeral = nullptr;
        for (const NumeralRow& row : kNumerals) {
            if (row.byte == b) numeral = &row;
        }
        if (numeral) {
            EXPECT_EQ(Decode(standard[b]), numeral->standard);
            EXPECT_EQ(Decode(table[b]), numeral->abbreviated);
        } else {
            EXPECT_EQ(table[b], standard[b]);
        }
    }
    // The short forms sound like T, A, U, V, B, D and N.
    EXPECT_EQ(table['0'], table['T']);
    EXPECT_EQ(table['9'], table['N']);
    EXPECT_EQ(table['4'], 202);
    EXPECT_EQ(table['5'], 121);
    EXPECT_EQ(table['6'], 122);

    SetNumeralMode(table, false);
    EXPECT_EQ(table.Entries(), standard.Entries());
}

TEST(CodeTableTest, PatternLengthCountsElementsAndRefusesNonPatterns) {
    struct Case {
        std::int32_t value;
        int length;
    };
    const Case cases[] = {
        {1, 1},   {2, 1},  {7, 2},  {242, 5}, {692, 6}, {728, 6},  // 728 = ------
        {0, 0},   {-7, 0}, {3, 0},  {9, 0},   {10, 0},             // a digit 0 inside
        {581130733, 19},                                           // nineteen dots
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(PatternLength(c.value), c.length);
    }
}

}  // namespace
}  // namespace rivek
