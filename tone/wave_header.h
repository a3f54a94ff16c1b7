// Reading the header of a RIFF WAVE image in memory, as the sound service
// needs it before it hands the samples to the audio device. Plain C++.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace rivek {

struct WaveSamples {
    std::int32_t sampleRateHz = 0;
    std::int32_t channelCount = 0;    // 1 or 2
    std::int32_t bitsPerSample = 0;   // 8 (unsigned) or 16 (signed)
    std::span<const std::uint8_t> samples;  // whole frames, inside the image
};

// The PCM format and the samples of the image's "data" chunk. nullopt for
// anything malformed or unsupported: no "RIFF"/"WAVE" tags, no PCM "fmt "
// chunk before the "data" chunk, a chunk reaching beyond the image, a
// format other than 8- or 16-bit PCM with one or two channels. Samples that
// end in a partial frame are cut to whole frames. Reads nothing outside the
// image.
std::optional<WaveSamples> ReadWaveImage(std::span<const std::uint8_t> image);

}  // namespace rivek
