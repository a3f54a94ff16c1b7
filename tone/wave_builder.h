// The tone image builder: a timing list becomes a complete RIFF WAVE image
// of 16-bit mono PCM at 11025 samples per second.
//
// One unit is P whole periods of the tone, rounded to whole samples:
//   P = Round(6 * F / S)            [periods]   F [Hz], S [PARIS chars/min]
//   U = Round(11025 * P / F)        [samples]
// Round is to nearest, ties to even. Tone sample k (from 1) of every tone is
//   v(k) = Round(30000 * sin(2 pi F k / 11025)).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace rivek {

inline constexpr std::int32_t kSampleRateHz = 11025;
inline constexpr std::size_t kWaveHeaderBytes = 44;

// The image in memory: 44 header bytes, then 2N bytes of samples.
using WaveStream = std::vector<std::uint8_t>;

struct UnitLength {
    std::int32_t periodsPerUnit;  // P
    std::int32_t samplesPerUnit;  // U
};

// P and U for a frequency in 100..5000 Hz and a speed in 30..300.
UnitLength ComputeUnitLength(std::int32_t frequencyHz, std::int32_t speedParis);

// Replaces the content of `stream` with the image of `durations` (a timing
// list, gaps at even indices) at the given frequency and speed. The caller
// must have stopped any playback of the previous image first.
void BuildWave(WaveStream& stream, std::span<const std::int16_t> durations,
               std::int32_t frequencyHz, std::int32_t speedParis);

}  // namespace rivek
