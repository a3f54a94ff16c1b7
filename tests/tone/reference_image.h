// The slow, plainly right tone image, for the builder's tests: every field
// and every sample computed on its own from the rules in wave_builder.h.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string_view>
#include <vector>

#include "morse/code_table.h"
#include "morse/timing.h"
#include "tone/wave_builder.h"

namespace rivek::testing {

using List = std::vector<std::int16_t>;

// v(k) evaluated as the rule states it, in long double, k not reduced.
inline std::int16_t ToneSample(std::int32_t frequencyHz, std::int64_t k) {
    const long double value = 30000.0L * std::sin(static_cast<long double>(frequencyHz) * 2.0L *
                                                  std::numbers::pi_v<long double> * static_cast<long double>(k) /
                                                  11025.0L);
    return static_cast<std::int16_t>(std::nearbyint(value));
}

inline std::int16_t SampleAt(const WaveStream& image, std::size_t index) {
    const std::size_t at = kWaveHeaderBytes + 2 * index;
    return static_cast<std::int16_t>(image.at(at) | image.at(at + 1) << 8);
}

inline std::uint32_t Le32(const WaveStream& image, std::size_t at) {
    return static_cast<std::uint32_t>(image.at(at)) | static_cast<std::uint32_t>(image.at(at + 1)) << 8 |
           static_cast<std::uint32_t>(image.at(at + 2)) << 16 | static_cast<std::uint32_t>(image.at(at + 3)) << 24;
}

// The samples of an image as numbers.
inline std::vector<double> Samples(const WaveStream& image) {
    std::vector<double> samples;
    for (std::size_t i = 0; kWaveHeaderBytes + 2 * i < image.size(); ++i) samples.push_back(SampleAt(image, i));
    return samples;
}

inline List Timing(std::string_view text) {
    CodeTable table;
    ResetCodeTable(table);
    TimingList list;
    BuildTiming(list, table, text);
    const auto durations = list.Durations();
    return List(durations.begin(), durations.end());
}

// What a build needs, in samples: U, and A and R of the options.
struct ReferenceTiming {
    std::int32_t samplesPerUnit = 0;
    std::int32_t spacingExtraSamples = 0;
    std::int32_t edgeSamples = 0;
};

// The image sample by sample: entry i lasts its units times U, or times
// U + A for a gap of more than one unit; tone sample k is v(k), times the
// raised-cosine gain when it lies within e = min(R, L div 2) of either end.
inline WaveStream ReferenceImage(const List& durations, std::int32_t frequencyHz, const ReferenceTiming& timing) {
    std::vector<std::int16_t> samples;
    for (std::size_t i = 0; i < durations.size(); ++i) {
        const bool tone = i % 2 == 1;
        const bool spacing = !tone && durations[i] > 1;
        const std::int64_t length =
            std::int64_t{durations[i]} * (timing.samplesPerUnit + (spacing ? timing.spacingExtraSamples : 0));
        const std::int64_t edge = std::min<std::int64_t>(timing.edgeSamples, length / 2);
        for (std::int64_t k = 1; k <= length; ++k) {
            if (!tone) {
                samples.push_back(0);
                continue;
            }
            const std::int64_t fromEnd = std::min(k - 1, length - k);
            double sample = ToneSample(frequencyHz, k);
            if (fromEnd < edge) {
                sample *= (1.0 - std::cos(std::numbers::pi * (static_cast<double>(fromEnd) + 0.5) /
                                          static_cast<double>(edge))) / 2.0;
            }
            samples.push_back(static_cast<std::int16_t>(std::lround(sample)));
        }
    }

    WaveStream image;
    auto put = [&image](std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) image.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    auto tag = [&image](const char* text) {
        for (int i = 0; i < 4; ++i) image.push_back(static_cast<std::uint8_t>(text[i]));
    };
    const std::uint64_t sampleBytes = 2 * samples.size();
    tag("RIFF"), put(36 + sampleBytes, 4), tag("WAVE"), tag("fmt "), put(16, 4), put(1, 2), put(1, 2);
    put(11025, 4), put(22050, 4), put(2, 2), put(16, 2), tag("data"), put(sampleBytes, 4);
    for (const std::int16_t sample : samples) put(static_cast<std::uint16_t>(sample), 2);
    return image;
}

}  // namespace rivek::testing
