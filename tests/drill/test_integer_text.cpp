#include "drill/integer_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace rivek {
namespace {

struct Case {
    std::string text;
    std::optional<std::int32_t> value;
};

TEST(ConvertIntegerTextTest, AcceptsDecimalAndHexAndRejectsTheRest) {
    const Case cases[] = {
        {"800", 800},
        {"+5", 5},
        {"-17", -17},
        {"000123", 123},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"00000000000000000000000000000009", 9},
        {"$3E8", 1000},
        {"0x3E8", 1000},
        {"0X3e8", 1000},
        {"x3e8", 1000},
        {"X10", 16},
        {"$FFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"$7FFFFFFF", 2147483647},
        {"$0000000012345678", 0x12345678},  // leading zeros are not significant
        {"$100000000", std::nullopt},       // nine significant digits
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"x", std::nullopt},
        {"-$10", std::nullopt},
        {"$-10", std::nullopt},
        {"+0x10", std::nullopt},
        {"$1G", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"800Hz", std::nullopt},
        {"8.5", std::nullopt},
        {" 800", std::nullopt},
        {"800 ", std::nullopt},
        {"\xb1", std::nullopt},
        {"0", 0},
        {"-0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text: \"" + c.text + "\"");
        EXPECT_EQ(ConvertIntegerText(c.text), c.value);
    }
}

TEST(ConvertSpinTextTest, SkipsLeadingBlanksOnly) {
    const Case cases[] = {
        {"  120", 120},
        {" $10", 16},
        {"120", 120},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"120 ", std::nullopt},
        {"\t120", std::nullopt},
        {"- 5", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text: \"" + c.text + "\"");
        EXPECT_EQ(ConvertSpinText(c.text), c.value);
    }
}

}  // namespace
}  // namespace rivek
