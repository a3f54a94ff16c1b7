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
//
// Two options change the image; both are off by default, and then the image
// is exactly the one above (WaveOptions{}).
//
// Farnsworth spacing: the characters keep the timing of the speed S, and
// the spacing between them is stretched so that a PARIS word lasts as long
// as at the lower effective speed E [PARIS chars/min]. A PARIS word is 50
// units: 31 inside its characters (tones and the one-unit gaps between
// them) and 19 of spacing (four 3-unit gaps between characters and the
// 7-unit word gap). At E it lasts 300/E seconds instead of 300/S (60/wpm
// with wpm = chars/min / 5), and the 19 units of spacing share the
// difference:
//   A = Round(11025 * (300/E - 300/S) / 19)
//     = Round(3307500 * (S - E) / (19 * E * S))     [samples per unit]
// Every unit of a gap longer than one unit (the lead-in and the gap after
// each character) is a unit of spacing and lasts U + A samples; tones and
// the one-unit gaps inside a character keep U. E = 0 means off, and so
// does any E >= S (A = 0); an E from 1 to 29 counts as 30.
//
// Tone shaping: every tone rises and falls along a raised cosine, inside
// its own length, so element lengths and timing stay as they are.
//   R = Round(11025 * rise / 1000) = Round(441 * rise / 40)   [samples]
// with the rise time in 0..10 ms (5 ms gives R = 55). In a tone of L
// samples each edge lasts e = min(R, L div 2) samples; the j-th sample
// counted from either end of the tone (j = 0 .. e - 1) becomes
//   lround(v(k) * g(j)),   g(j) = (1 - cos(pi * (j + 1/2) / e)) / 2,
// in double, rounded half away from zero. g(j) + g(e - 1 - j) = 1, and a
// rise time of 0 leaves every sample as it is.
#pragma once

#include <array>
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
inline constexpr std::int32_t kMaxRiseTimeMs = 10;

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

// The options beyond pitch and speed; the defaults give the plain image.
struct WaveOptions {
    // [PARIS chars/min] Farnsworth spacing below the speed; 0 is off.
    std::int32_t effectiveSpeedParis = 0;
    // [ms] the raised-cosine rise and fall of every tone, 0..10 (values
    // outside are limited to the range); 0 is hard keying.
    std::int32_t riseTimeMs = 0;

    friend bool operator==(const WaveOptions&, const WaveOptions&) = default;
};

// Everything a build needs, in samples.
struct WaveTiming {
    UnitLength unit;                     // U: tones and the gaps inside a character
    std::int32_t spacingExtraSamples;    // A: added to each unit of spacing
    std::int32_t edgeSamples;            // R: the longest rise or fall of a tone
};

// A for a speed and an effective speed (both limited to 30..300; E = 0 or
// E >= S gives 0). At most 5222 (S 300, E 30).
std::int32_t ComputeSpacingExtra(std::int32_t speedParis, std::int32_t effectiveSpeedParis);

// R for a rise time (limited to 0..10 ms). At most 110.
std::int32_t ComputeEdgeSamples(std::int32_t riseTimeMs);

// A time in samples: Round(11025 * ms / 1000), ties to even, for ms >= 0.
std::int64_t SamplesOfMilliseconds(std::int64_t ms);

WaveTiming ComputeWaveTiming(std::int32_t frequencyHz, std::int32_t speedParis, const WaveOptions& options);

// The size in bytes, 44 + 2N, of the image that BuildWave would make.
// Throws std::invalid_argument for a negative length in the list, and
// std::length_error when N would exceed kMaxWaveSamples.
std::size_t WaveImageSize(std::span<const std::int16_t> durations, std::int32_t frequencyHz,
                          std::int32_t speedParis);
std::size_t WaveImageSize(std::span<const std::int16_t> durations, std::int32_t frequencyHz,
                          std::int32_t speedParis, const WaveOptions& options);

// The 44 header bytes of an image of `sampleCount` samples (0 to
// kMaxWaveSamples; values outside are limited to that range), for writers
// that stream the samples after it.
std::array<std::uint8_t, kWaveHeaderBytes> WaveHeader(std::int64_t sampleCount);

// Replaces the content of `stream` with the image of `durations` (a timing
// list, gaps at even indices, tones at odd ones; each entry contributes
// entry * U samples) at the given frequency and speed. The caller must have
// stopped any playback of the previous image first. The stream keeps its
// capacity from build to build; it is sized once per build.
// On the errors of WaveImageSize the stream is left as it was.
void BuildWave(WaveStream& stream, std::span<const std::int16_t> durations,
               std::int32_t frequencyHz, std::int32_t speedParis);

// The same with Farnsworth spacing and tone shaping as `options` asks; with
// WaveOptions{} the very same image.
void BuildWave(WaveStream& stream, std::span<const std::int16_t> durations,
               std::int32_t frequencyHz, std::int32_t speedParis, const WaveOptions& options);

}  // namespace rivek
