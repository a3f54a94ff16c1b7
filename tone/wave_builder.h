// The tone image builder: a timing list becomes a complete RIFF WAVE image
// of 16-bit mono PCM at 11025 samples per second.
//
// One unit is P whole periods of the tone, rounded to whole samples:
//   P = Round(6 * F / S)            [periods]   F [Hz], S [PARIS chars/min]
//   U = Round(11025 * P / F)        [samples]
// Round is to nearest, ties to even, computed exactly in integers. Tone
// sample k (from 1) of every tone is
//   v(k) = Round(30000 * sin(2 pi F k / 11025)).
// Every tone starts again at v(1); gaps are digital silence.
//
// Image layout (little-endian): "RIFF", 36 + 2N, "WAVE", "fmt ", 16, 1 (PCM),
// 1 channel, 11025 [samples/s], 22050 [bytes/s], 2 [bytes/frame], 16 [bits],
// "data", 2N, then the N samples: 44 + 2N bytes in all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace rivek {

inline constexpr std::int32_t kSampleRateHz = 11025;
inline constexpr std::size_t kWaveHeaderBytes = 44;

// The ranges of the pitch and speed fields. Values outside are limited to
// the nearer bound before use, as the fields themselves do.
inline constexpr std::int32_t kMinFrequencyHz = 100;
inline constexpr std::int32_t kMaxFrequencyHz = 5000;
inline constexpr std::int32_t kMinSpeedParis = 30;
inline constexpr std::int32_t kMaxSpeedParis = 300;

// The most samples one image may hold: every size field of the header,
// 36 + 2N included, then stays within a signed 32-bit number, so readers
// that take the fields as signed read them right. That is about 27 hours of
// sound; a group of 15 characters needs at most 748,584 samples.
inline constexpr std::int64_t kMaxWaveSamples = (INT32_MAX - 36) / 2;

// The image in memory: 44 header bytes, then 2N bytes of samples.
using WaveStream = std::vector<std::uint8_t>;

struct UnitLength {
    std::int32_t periodsPerUnit;  // P
    std::int32_t samplesPerUnit;  // U
};

// P and U for a frequency in 100..5000 Hz and a speed in 30..300 (values
// outside are limited to the ranges first). U lies between 176 and 2248.
UnitLength ComputeUnitLength(std::int32_t frequencyHz, std::int32_t speedParis);

// The size in bytes, 44 + 2N, of the image that BuildWave would make.
// Throws std::invalid_argument for a negative length in the list, and
// std::length_error when N would exceed kMaxWaveSamples.
std::size_t WaveImageSize(std::span<const std::int16_t> durations, std::int32_t frequencyHz,
                          std::int32_t speedParis);

// Replaces the content of `stream` with the image of `durations` (a timing
// list, gaps at even indices, tones at odd ones; each entry contributes
// entry * U samples) at the given frequency and speed. The caller must have
// stopped any playback of the previous image first. The stream keeps its
// capacity from build to build; it is sized once per build.
// On the errors of WaveImageSize the stream is left as it was.
void BuildWave(WaveStream& stream, std::span<const std::int16_t> durations,
               std::int32_t frequencyHz, std::int32_t speedParis);

}  // namespace rivek
