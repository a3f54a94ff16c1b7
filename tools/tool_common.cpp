#include "tools/tool_common.h"

#include <charconv>
#include <iostream>

#include "drill/integer_text.h"
#include "platform/half_width.h"
#include "platform/shift_jis.h"

namespace rivek::tool {

std::optional<std::string> TextArgument(std::string_view argument, bool hex, std::string_view what) {
    if (!hex) {
        // As typed into the window: full-width kana and letters count as
        // their half-width twins.
        auto text = Utf8ToCp932(FoldToHalfWidth(argument));
        if (!text) {
            std::cerr << "rivek-tool: " << what
                      << " is not UTF-8 text that code page 932 can hold\n";
        }
        return text;
    }
    std::string bytes;
    if (argument.size() % 2 != 0) {
        std::cerr << "rivek-tool: " << what << " must be an even number of hex digits\n";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < argument.size(); i += 2) {
        const int high = HexDigitValue(argument[i]);
        const int low = HexDigitValue(argument[i + 1]);
        if (high < 0 || low < 0) {
            std::cerr << "rivek-tool: " << what << " has a character that is not a hex digit\n";
            return std::nullopt;
        }
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

std::optional<std::int64_t> NumberInRange(std::string_view text, std::int64_t low, std::int64_t high) {
    std::int64_t value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || value < low || value > high) return std::nullopt;
    return value;
}

std::string ToHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out.push_back(kDigits[byte >> 4]);
        out.push_back(kDigits[byte & 0x0F]);
    }
    return out;
}

void PrintError(std::string_view command, std::string_view message) {
    std::cerr << "rivek-tool " << command << ": " << message << '\n';
}

}  // namespace rivek::tool
