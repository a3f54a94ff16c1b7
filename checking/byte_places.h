// Where each byte of a code page 932 text stands in its character. The
// alignment works on bytes; what is shown or counted per character needs to
// know which bytes belong together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/upper_case.h"

namespace rivek {

enum class BytePlace : std::uint8_t { Single, Lead, Second };

// A lead byte followed by any byte is one double-byte character; a lead
// byte at the very end stands alone.
inline std::vector<BytePlace> BytePlaces(std::string_view text) {
    std::vector<BytePlace> places(text.size(), BytePlace::Single);
    for (std::size_t p = 0; p < text.size(); ++p) {
        if (IsShiftJisLeadByte(static_cast<unsigned char>(text[p])) && p + 1 < text.size()) {
            places[p] = BytePlace::Lead;
            places[p + 1] = BytePlace::Second;
            ++p;
        }
    }
    return places;
}

}  // namespace rivek
