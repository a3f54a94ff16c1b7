#include "tone/wave_header.h"

#include <cstddef>
#include <cstring>

namespace rivek {
namespace {

std::uint32_t U32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t U16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

bool Tag(std::span<const std::uint8_t> bytes, std::size_t at, const char (&tag)[5]) {
    return std::memcmp(bytes.data() + at, tag, 4) == 0;
}

}  // namespace

std::optional<WaveSamples> ReadWaveImage(std::span<const std::uint8_t> image) {
    constexpr std::size_t kChunkHeader = 8;
    if (image.size() < 12 || !Tag(image, 0, "RIFF") || !Tag(image, 8, "WAVE")) return std::nullopt;

    WaveSamples wave;
    bool haveFormat = false;
    std::size_t at = 12;
    while (image.size() - at >= kChunkHeader) {
        const std::size_t size = U32(image, at + 4);
        const std::size_t body = at + kChunkHeader;
        if (size > image.size() - body) return std::nullopt;  // reaches beyond the image

        if (Tag(image, at, "fmt ")) {
            if (size < 16) return std::nullopt;
            const std::uint16_t formatTag = U16(image, body);
            const std::uint16_t channels = U16(image, body + 2);
            const std::uint32_t rate = U32(image, body + 4);
            const std::uint16_t blockAlign = U16(image, body + 12);
            const std::uint16_t bits = U16(image, body + 14);
            if (formatTag != 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16) ||
                rate < 1000 || rate > 384000 || blockAlign != channels * bits / 8) {
                return std::nullopt;
            }
            wave.sampleRateHz = static_cast<std::int32_t>(rate);
            wave.channelCount = channels;
            wave.bitsPerSample = bits;
            haveFormat = true;
        } else if (Tag(image, at, "data")) {
            if (!haveFormat) return std::nullopt;
            const std::size_t frameBytes =
                static_cast<std::size_t>(wave.channelCount * wave.bitsPerSample / 8);
            wave.samples = image.subspan(body, size - size % frameBytes);
            return wave;
        }
        // Chunks are padded to an even length.
        const std::size_t next = body + size + (size & 1);
        if (next > image.size()) return std::nullopt;
        at = next;
    }
    return std::nullopt;
}

}  // namespace rivek
