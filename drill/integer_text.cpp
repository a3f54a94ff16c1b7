#include "drill/integer_text.h"

#include <cstddef>

namespace rivek {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

namespace {

// One or more hexadecimal digits; at most eight of them after the leading
// zeros. The 32 bits are read as two's complement ("FFFFFFFF" is -1).
std::optional<std::int32_t> ConvertHexDigits(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    std::uint32_t value = 0;
    int significant = 0;
    for (const char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return std::nullopt;
        if (value != 0 || digit != 0) ++significant;
        if (significant > 8) return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::int32_t>(value);
}

// An optional sign and one or more decimal digits, within the 32-bit range.
std::optional<std::int32_t> ConvertDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    // Magnitude limit: 2147483647, or 2147483648 for a negative number.
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit) return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

std::optional<std::int32_t> ConvertIntegerText(std::string_view text) {
    // The longer prefix first: "0x1F" is hexadecimal, never a decimal 0.
    for (const std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
        if (text.starts_with(prefix)) return ConvertHexDigits(text.substr(prefix.size()));
    }
    return ConvertDecimal(text);
}

std::optional<std::int32_t> ConvertSpinText(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    return ConvertIntegerText(text.substr(first));
}

}  // namespace rivek
