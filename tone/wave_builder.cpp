#include "tone/wave_builder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>

namespace rivek {
namespace {

constexpr std::int32_t kAmplitude = 30000;
constexpr std::size_t kLongestCommonTone = 3;  // [units] a dash
constexpr std::int64_t kMillisecondsPerSecond = 1000;
// The longest edge, R at 10 ms: Round(11025 * 10 / 1000) = 110 [samples].
constexpr std::size_t kMaxEdgeSamples = 110;
// Seconds in a PARIS word [s * chars/min]: 50 units of 6/S seconds.
constexpr std::int64_t kParisWordSecondsTimesSpeed = 300;
constexpr std::int64_t kParisSpacingUnits = 19;

// a / b rounded to the nearest integer, ties to even, exactly: with
// q = a div b and r = a mod b the result is q + 1 if 2r > b, or if 2r = b
// and q is odd; otherwise q. (Floating point would need care at the ties
// 2.5 and 220.5 that the fields' ranges do reach.)
constexpr std::int64_t RoundQuotient(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    const std::int64_t r = a % b;
    return (2 * r > b || (2 * r == b && q % 2 == 1)) ? q + 1 : q;
}

constexpr UnitLength UnitLengthOf(std::int64_t frequencyHz, std::int64_t speedParis) {
    // A unit lasts 6/S seconds, i.e. 6F/S periods, rounded to whole periods;
    // P periods last 11025 P / F samples, rounded to whole samples.
    const std::int64_t periods = RoundQuotient(6 * frequencyHz, speedParis);
    const std::int64_t samples = RoundQuotient(kSampleRateHz * periods, frequencyHz);
    return {static_cast<std::int32_t>(periods), static_cast<std::int32_t>(samples)};
}

// The longest unit over the fields' ranges, which sizes the dash kept on the
// stack. Since P <= 6F/S + 1/2, U <= 11025 P / F + 1/2 <= 66150/S + 5512.5/F
// + 1/2: below 2190 for every S >= 31, so only S = 30 can exceed that, and
// the compiler scans it (2248 samples, at F 103).
constexpr std::int64_t LongestUnit() {
    static_assert(66150 / 31 + 5512 / kMinFrequencyHz + 2 < 2248);
    std::int64_t longest = 0;
    for (std::int64_t f = kMinFrequencyHz; f <= kMaxFrequencyHz; ++f) {
        longest = std::max<std::int64_t>(longest, UnitLengthOf(f, kMinSpeedParis).samplesPerUnit);
    }
    return longest;
}
constexpr std::size_t kLongestUnit = LongestUnit();
static_assert(kLongestUnit == 2248);

// v(k) depends only on (F * k) mod 11025, so the 11025 values of
//   Round(30000 * sin(2 pi r / 11025)),  r = 0 .. 11024,
// serve every pitch. No residue brings the exact value within 0.00004 of a
// half, so long double gives the correctly rounded sample every time.
using SineTable = std::array<std::int16_t, kSampleRateHz>;

const SineTable& Sines() {
    static const SineTable table = [] {
        SineTable values{};
        for (std::size_t r = 0; r < values.size(); ++r) {
            const long double angle = 2.0L * std::numbers::pi_v<long double> *
                                      static_cast<long double>(r) / static_cast<long double>(kSampleRateHz);
            values[r] = static_cast<std::int16_t>(std::lround(kAmplitude * std::sin(angle)));
        }
        return values;
    }();
    return table;
}

std::uint8_t* PutLe16(std::uint8_t* out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value & 0xFF);
    out[1] = static_cast<std::uint8_t>(value >> 8);
    return out + 2;
}

std::uint8_t* PutLe32(std::uint8_t* out, std::uint32_t value) {
    out = PutLe16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    return PutLe16(out, static_cast<std::uint16_t>(value >> 16));
}

std::uint8_t* PutTag(std::uint8_t* out, const char (&tag)[5]) {
    std::memcpy(out, tag, 4);
    return out + 4;
}

void WriteHeader(std::uint8_t* out, std::uint32_t sampleBytes) {
    out = PutTag(out, "RIFF");
    out = PutLe32(out, 36 + sampleBytes);
    out = PutTag(out, "WAVE");
    out = PutTag(out, "fmt ");
    out = PutLe32(out, 16);                       // format chunk length [bytes]
    out = PutLe16(out, 1);                        // PCM
    out = PutLe16(out, 1);                        // channels
    out = PutLe32(out, kSampleRateHz);            // [samples/s]
    out = PutLe32(out, 2 * kSampleRateHz);        // [bytes/s]
    out = PutLe16(out, 2);                        // [bytes/frame]
    out = PutLe16(out, 16);                       // [bits/sample]
    out = PutTag(out, "data");
    PutLe32(out, sampleBytes);
}

// Writes tone samples v(first) .. v(first + count - 1), little-endian.
void WriteTone(std::uint8_t* out, std::int64_t first, std::int64_t count, std::int32_t frequencyHz) {
    const SineTable& sines = Sines();
    // residue = (F * k) mod 11025, advanced by F per sample; F < 11025.
    auto residue = static_cast<std::int32_t>((frequencyHz * first) % kSampleRateHz);
    for (std::int64_t i = 0; i < count; ++i) {
        out = PutLe16(out, static_cast<std::uint16_t>(sines[static_cast<std::size_t>(residue)]));
        residue += frequencyHz;
        if (residue >= kSampleRateHz) residue -= kSampleRateHz;
    }
}

std::int32_t LimitFrequency(std::int32_t frequencyHz) {
    return std::clamp(frequencyHz, kMinFrequencyHz, kMaxFrequencyHz);
}

std::int32_t LimitSpeed(std::int32_t speedParis) { return std::clamp(speedParis, kMinSpeedParis, kMaxSpeedParis); }

// Whether entry i of a list, `length` units long, is spacing: a gap of
// more than one unit (the lead-in, the gap after a character).
constexpr bool IsSpacing(std::size_t i, std::int64_t length) { return i % 2 == 0 && length > 1; }

// The samples of entry i of a list.
std::int64_t EntrySamples(std::size_t i, std::int64_t length, const WaveTiming& timing) {
    const std::int64_t perUnit =
        timing.unit.samplesPerUnit + (IsSpacing(i, length) ? timing.spacingExtraSamples : 0);
    return length * perUnit;
}

// N = U * (units outside spacing) + (U + A) * (units of spacing), checked
// against the header's limit.
std::int64_t SampleCount(std::span<const std::int16_t> durations, const WaveTiming& timing) {
    std::int64_t plainUnits = 0;
    std::int64_t spacingUnits = 0;
    for (std::size_t i = 0; i < durations.size(); ++i) {
        const std::int16_t length = durations[i];
        if (length < 0) throw std::invalid_argument("BuildWave: a negative length in the timing list");
        (IsSpacing(i, length) ? spacingUnits : plainUnits) += length;
    }
    // A span in memory has fewer than 2^47 entries of at most 2^15 units, so
    // the sums cannot overflow; the products are checked before they are
    // formed, and each is at most kMaxWaveSamples, so their sum fits too.
    const std::int64_t plainPerUnit = timing.unit.samplesPerUnit;
    const std::int64_t spacingPerUnit = plainPerUnit + timing.spacingExtraSamples;
    if (plainUnits > kMaxWaveSamples / plainPerUnit || spacingUnits > kMaxWaveSamples / spacingPerUnit ||
        plainUnits * plainPerUnit > kMaxWaveSamples - spacingUnits * spacingPerUnit) {
        throw std::length_error("BuildWave: the timing list is too long for one WAV image");
    }
    return plainUnits * plainPerUnit + spacingUnits * spacingPerUnit;
}

// The gains of one edge of e samples, g(j) = (1 - cos(pi (j + 1/2) / e)) / 2.
using EdgeGains = std::array<double, kMaxEdgeSamples>;

void ComputeEdgeGains(std::int64_t edge, EdgeGains& gains) {
    for (std::int64_t j = 0; j < edge; ++j) {
        const double angle =
            std::numbers::pi * (static_cast<double>(j) + 0.5) / static_cast<double>(edge);
        gains[static_cast<std::size_t>(j)] = (1.0 - std::cos(angle)) / 2.0;
    }
}

std::int16_t GetLe16(const std::uint8_t* in) { return static_cast<std::int16_t>(in[0] | in[1] << 8); }

// Rise and fall, in place, of a tone of `count` samples written
// little-endian at `tone`.
void ShapeTone(std::uint8_t* tone, std::int64_t count, std::int32_t edgeSamples) {
    const std::int64_t edge = std::min<std::int64_t>(edgeSamples, count / 2);
    if (edge == 0) return;
    EdgeGains gains;
    ComputeEdgeGains(edge, gains);
    auto scale = [&gains](std::uint8_t* sample, std::int64_t j) {
        const double shaped = GetLe16(sample) * gains[static_cast<std::size_t>(j)];
        PutLe16(sample, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(shaped))));
    };
    for (std::int64_t j = 0; j < edge; ++j) {
        scale(tone + 2 * j, j);
        scale(tone + 2 * (count - 1 - j), j);
    }
}

}  // namespace

UnitLength ComputeUnitLength(std::int32_t frequencyHz, std::int32_t speedParis) {
    return UnitLengthOf(LimitFrequency(frequencyHz), LimitSpeed(speedParis));
}

std::int32_t ComputeSpacingExtra(std::int32_t speedParis, std::int32_t effectiveSpeedParis) {
    const std::int64_t s = LimitSpeed(speedParis);
    if (effectiveSpeedParis == 0 || effectiveSpeedParis >= s) return 0;
    const std::int64_t e = LimitSpeed(effectiveSpeedParis);
    // A = 11025 (300/E - 300/S) / 19 = 11025 * 300 (S - E) / (19 E S)
    return static_cast<std::int32_t>(
        RoundQuotient(kSampleRateHz * kParisWordSecondsTimesSpeed * (s - e), kParisSpacingUnits * e * s));
}

std::int64_t SamplesOfMilliseconds(std::int64_t ms) {
    return RoundQuotient(kSampleRateHz * ms, kMillisecondsPerSecond);
}

std::int32_t ComputeEdgeSamples(std::int32_t riseTimeMs) {
    return static_cast<std::int32_t>(SamplesOfMilliseconds(std::clamp(riseTimeMs, 0, kMaxRiseTimeMs)));
}
static_assert(RoundQuotient(kSampleRateHz * kMaxRiseTimeMs, kMillisecondsPerSecond) == kMaxEdgeSamples);

WaveTiming ComputeWaveTiming(std::int32_t frequencyHz, std::int32_t speedParis, const WaveOptions& options) {
    return {ComputeUnitLength(frequencyHz, speedParis), ComputeSpacingExtra(speedParis, options.effectiveSpeedParis),
            ComputeEdgeSamples(options.riseTimeMs)};
}

std::size_t WaveImageSize(std::span<const std::int16_t> durations, std::int32_t frequencyHz,
                          std::int32_t speedParis) {
    return WaveImageSize(durations, frequencyHz, speedParis, WaveOptions{});
}

std::size_t WaveImageSize(std::span<const std::int16_t> durations, std::int32_t frequencyHz,
                          std::int32_t speedParis, const WaveOptions& options) {
    const WaveTiming timing = ComputeWaveTiming(frequencyHz, speedParis, options);
    return kWaveHeaderBytes + 2 * static_cast<std::size_t>(SampleCount(durations, timing));
}

std::array<std::uint8_t, kWaveHeaderBytes> WaveHeader(std::int64_t sampleCount) {
    std::array<std::uint8_t, kWaveHeaderBytes> header{};
    WriteHeader(header.data(), static_cast<std::uint32_t>(2 * std::clamp<std::int64_t>(sampleCount, 0, kMaxWaveSamples)));
    return header;
}

void BuildWave(WaveStream& stream, std::span<const std::int16_t> durations, std::int32_t frequencyHz,
               std::int32_t speedParis) {
    BuildWave(stream, durations, frequencyHz, speedParis, WaveOptions{});
}

void BuildWave(WaveStream& stream, std::span<const std::int16_t> durations, std::int32_t frequencyHz,
               std::int32_t speedParis, const WaveOptions& options) {
    const std::int32_t f = LimitFrequency(frequencyHz);
    const WaveTiming timing = ComputeWaveTiming(f, speedParis, options);
    const std::int64_t samplesPerUnit = timing.unit.samplesPerUnit;
    const std::int64_t sampleCount = SampleCount(durations, timing);

    // Sized once, keeping the stream's memory from the last build, so that
    // trial after trial allocates nothing. resize() zero-fills only what it
    // adds beyond the old size; below that the old image still stands and
    // its gaps are cleared explicitly. Each byte is thus written once.
    const std::size_t imageBytes = kWaveHeaderBytes + 2 * static_cast<std::size_t>(sampleCount);
    const std::size_t zeroFrom = std::min(stream.size(), imageBytes);
    stream.resize(imageBytes);
    std::uint8_t* const image = stream.data();
    WriteHeader(image, static_cast<std::uint32_t>(2 * sampleCount));

    // Every tone restarts at v(1), so all tones of one length are the same
    // samples: a dash is computed once per build, and an unshaped dot is
    // its first unit. Shaped, a dot ends in its own fall and is computed
    // once too. Other tones (never made by the encoder) go on from the
    // unshaped dash and are shaped where they stand.
    std::array<std::uint8_t, 2 * kLongestCommonTone * kLongestUnit> dash;
    const std::int64_t dashSamples = static_cast<std::int64_t>(kLongestCommonTone) * samplesPerUnit;
    WriteTone(dash.data(), 1, dashSamples, f);
    const bool shaped = timing.edgeSamples > 0;
    std::array<std::uint8_t, 2 * kLongestUnit> dot;
    std::array<std::uint8_t, 2 * kLongestCommonTone * kLongestUnit> shapedDash;
    if (shaped) {
        std::memcpy(dot.data(), dash.data(), static_cast<std::size_t>(2 * samplesPerUnit));
        ShapeTone(dot.data(), samplesPerUnit, timing.edgeSamples);
        std::memcpy(shapedDash.data(), dash.data(), static_cast<std::size_t>(2 * dashSamples));
        ShapeTone(shapedDash.data(), dashSamples, timing.edgeSamples);
    }

    std::size_t at = kWaveHeaderBytes;
    for (std::size_t i = 0; i < durations.size(); ++i) {
        const std::int64_t samples = EntrySamples(i, durations[i], timing);
        const auto bytes = static_cast<std::size_t>(2 * samples);
        if (i % 2 == 1) {
            if (shaped && samples == samplesPerUnit) {
                std::memcpy(image + at, dot.data(), bytes);
            } else if (shaped && samples == dashSamples) {
                std::memcpy(image + at, shapedDash.data(), bytes);
            } else {
                const std::int64_t copied = std::min(samples, dashSamples);
                std::memcpy(image + at, dash.data(), static_cast<std::size_t>(2 * copied));
                if (samples > copied) WriteTone(image + at + 2 * copied, copied + 1, samples - copied, f);
                if (shaped) ShapeTone(image + at, samples, timing.edgeSamples);
            }
        } else if (at < zeroFrom) {
            std::memset(image + at, 0, std::min(bytes, zeroFrom - at));
        }
        at += bytes;
    }
}

}  // namespace rivek
