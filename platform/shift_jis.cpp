#include "platform/shift_jis.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

#include "platform/half_width.h"

namespace rivek {
namespace {

// One iconv conversion descriptor for the life of a call; iconv keeps
// shift state, so descriptors are not shared between calls.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (Ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible. Returns false at an input sequence that
    // can't be converted, with `in` and `inLeft` pointing at it.
    bool Convert(char*& in, std::size_t& inLeft, std::string& out) {
        char buffer[256];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, sizeof buffer - outLeft);
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
        }
        return true;
    }

private:
    iconv_t cd_;
};

}  // namespace

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    Converter converter("CP932", "UTF-8");
    if (!converter.Ok()) return std::nullopt;
    std::string input(utf8);
    char* in = input.data();
    std::size_t inLeft = input.size();
    std::string out;
    out.reserve(utf8.size());
    if (!converter.Convert(in, inLeft, out)) return std::nullopt;
    return out;
}

std::string Utf8ToCp932Replacing(std::string_view utf8, std::string_view replacement) {
    Converter converter("CP932", "UTF-8");
    std::string out;
    if (!converter.Ok()) return out;
    std::string input(utf8);
    char* in = input.data();
    std::size_t inLeft = input.size();
    out.reserve(utf8.size());
    // At a character that can't be converted, put "?" and go on after its
    // whole UTF-8 sequence (one byte when the byte opens no sequence).
    while (!converter.Convert(in, inLeft, out)) {
        out += replacement;
        const auto lead = static_cast<unsigned char>(*in);
        std::size_t length = lead >= 0xF0 && lead < 0xF8 ? 4 : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xC0 && lead < 0xE0 ? 2 : 1;
        for (std::size_t k = 1; k < length && k < inLeft; ++k) {
            if ((static_cast<unsigned char>(in[k]) & 0xC0) != 0x80) length = k;
        }
        length = std::min(length, inLeft);
        in += length;
        inLeft -= length;
    }
    return out;
}

std::string UserTextToCp932(std::string_view utf8, std::string_view replacement) {
    return Utf8ToCp932Replacing(FoldToHalfWidth(utf8), replacement);
}

std::string Cp932ToUtf8(std::string_view cp932) {
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
    Converter converter("UTF-8", "CP932");
    std::string out;
    if (!converter.Ok()) return out;
    std::string input(cp932);
    char* in = input.data();
    std::size_t inLeft = input.size();
    out.reserve(cp932.size() * 2);
    // A byte that can't start a character (or a lead byte at the end of the
    // text) is shown as U+FFFD and the conversion goes on after it.
    while (!converter.Convert(in, inLeft, out)) {
        out += kReplacement;
        ++in;
        --inLeft;
    }
    return out;
}

}  // namespace rivek
