#include "platform/upper_case.h"

#include <cstddef>

namespace rivek {

void UpperCaseInPlace(std::string& text) {
    const std::size_t size = text.size();
    for (std::size_t p = 0; p < size; ++p) {
        const auto byte = static_cast<unsigned char>(text[p]);
        if (IsShiftJisLeadByte(byte)) {
            // The next byte belongs to this character, whatever its value.
            // A lead byte at the very end stands alone and stays as it is.
            ++p;
            continue;
        }
        if (byte >= 'a' && byte <= 'z') text[p] = static_cast<char>(byte - ('a' - 'A'));
    }
}

}  // namespace rivek
