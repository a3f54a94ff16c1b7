// The spin field's text conversion on any bytes: it must never crash, and a
// text it accepts must read back the same value when written in decimal.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "drill/integer_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto value = rivek::ConvertSpinText(text);
    const auto strict = rivek::ConvertIntegerText(text);
    if (strict && (!value || *value != *strict)) std::abort();
    if (value) {
        const auto again = rivek::ConvertIntegerText(std::to_string(*value));
        if (!again || *again != *value) std::abort();
    }
    return 0;
}
