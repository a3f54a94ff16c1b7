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

// N = U * units, checked against the header's limit.
std::int64_t SampleCount(std::span<const std::int16_t> durations, std::int32_t samplesPerUnit) {
    std::int64_t units = 0;
    for (const std::int16_t length : durations) {
        if (length < 0) throw std::invalid_argument("BuildWave: a negative length in the timing list");
        units += length;
    }
    // A span in memory has fewer than 2^47 entries of at most 2^15 units, so
    // the sum cannot overflow; the product is checked before it is formed.
    if (units > kMaxWaveSamples / samplesPerUnit) {
        throw std::length_error("BuildWave: the timing list is too long for one WAV image");
    }
    return units * samplesPerUnit;
}

}  // namespace

UnitLength ComputeUnitLength(std::int32_t frequencyHz, std::int32_t speedParis) {
    return UnitLengthOf(LimitFrequency(frequencyHz), std::clamp(speedParis, kMinSpeedParis, kMaxSpeedParis));
}

std::size_t WaveImageSize(std::span<const std::int16_t> durations, std::int32_t frequencyHz,
                          std::int32_t speedParis) {
    const UnitLength unit = ComputeUnitLength(frequencyHz, speedParis);
    return kWaveHeaderBytes + 2 * static_cast<std::size_t>(SampleCount(durations, unit.samplesPerUnit));
}

void BuildWave(WaveStream& stream, std::span<const std::int16_t> durations, std::int32_t frequencyHz,
               std::int32_t speedParis) {
    const std::int32_t f = LimitFrequency(frequencyHz);
    const std::int64_t samplesPerUnit = ComputeUnitLength(f, speedParis).samplesPerUnit;
    const std::int64_t sampleCount = SampleCount(durations, static_cast<std::int32_t>(samplesPerUnit));

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
    // samples: a dash is computed once per build, and a dot is its first
    // unit. Longer tones (never made by the encoder) go on from the dash.
    std::array<std::uint8_t, 2 * kLongestCommonTone * kLongestUnit> dash;
    const std::int64_t dashSamples = static_cast<std::int64_t>(kLongestCommonTone) * samplesPerUnit;
    WriteTone(dash.data(), 1, dashSamples, f);

    std::size_t at = kWaveHeaderBytes;
    for (std::size_t i = 0; i < durations.size(); ++i) {
        const std::int64_t samples = durations[i] * samplesPerUnit;
        const auto bytes = static_cast<std::size_t>(2 * samples);
        if (i % 2 == 1) {
            const std::int64_t copied = std::min(samples, dashSamples);
            std::memcpy(image + at, dash.data(), static_cast<std::size_t>(2 * copied));
            if (samples > copied) WriteTone(image + at + 2 * copied, copied + 1, samples - copied, f);
        } else if (at < zeroFrom) {
            std::memset(image + at, 0, std::min(bytes, zeroFrom - at));
        }
        at += bytes;
    }
}

}  // namespace rivek
