// Any text through the timing encoder, in both numeral forms, and the image
// builder at any pitch and speed in the fields' ranges, plain and with any
// effective speed and rise time (in and just out of their ranges). Checks
// the list's shape, the image's length and header fields, the samples'
// range, and that options which ask for nothing change nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "morse/code_table.h"
#include "morse/timing.h"
#include "tone/wave_builder.h"

namespace {

#define REQUIRE(condition) \
    do {                   \
        if (!(condition)) std::abort(); \
    } while (false)

std::uint32_t Le32(const rivek::WaveStream& image, std::size_t at) {
    return static_cast<std::uint32_t>(image[at]) | static_cast<std::uint32_t>(image[at + 1]) << 8 |
           static_cast<std::uint32_t>(image[at + 2]) << 16 |
           static_cast<std::uint32_t>(image[at + 3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const bool abbreviated = provider.ConsumeBool();
    const auto frequencyHz = provider.ConsumeIntegralInRange<std::int32_t>(rivek::kMinFrequencyHz, rivek::kMaxFrequencyHz);
    const auto speedParis = provider.ConsumeIntegralInRange<std::int32_t>(rivek::kMinSpeedParis, rivek::kMaxSpeedParis);
    rivek::WaveOptions options;
    options.effectiveSpeedParis = provider.ConsumeIntegralInRange<std::int32_t>(0, rivek::kMaxSpeedParis + 1);
    options.riseTimeMs = provider.ConsumeIntegralInRange<std::int32_t>(-1, rivek::kMaxRiseTimeMs + 1);
    const std::string text = provider.ConsumeRemainingBytesAsString();

    rivek::CodeTable table;
    rivek::ResetCodeTable(table);
    rivek::SetNumeralMode(table, abbreviated);
    rivek::TimingList list;
    rivek::StartTiming(list);
    rivek::BuildTiming(list, table, text);

    const auto durations = list.Durations();
    REQUIRE(durations.size() == static_cast<std::size_t>(list.DurationCount() - 1));
    REQUIRE(durations.size() % 2 == 1);
    REQUIRE(durations[0] == 3 && durations.back() == 3);
    std::int64_t units = 0;
    for (std::size_t i = 0; i < durations.size(); ++i) {
        const std::int16_t length = durations[i];
        REQUIRE(length == 1 || length == 3);
        units += length;
    }
    REQUIRE(units == list.TotalUnits());

    // Images of groups far beyond the window's 15 characters grow large;
    // the builder's arithmetic is exercised well enough by short texts.
    if (text.size() > 48) return 0;
    rivek::WaveStream image;
    rivek::BuildWave(image, durations, frequencyHz, speedParis);
    const rivek::UnitLength unit = rivek::ComputeUnitLength(frequencyHz, speedParis);
    REQUIRE(unit.samplesPerUnit >= 176 && unit.samplesPerUnit <= 2248);
    const std::uint64_t samples = static_cast<std::uint64_t>(unit.samplesPerUnit) * static_cast<std::uint64_t>(units);
    REQUIRE(image.size() == rivek::kWaveHeaderBytes + 2 * samples);
    REQUIRE(std::memcmp(image.data(), "RIFF", 4) == 0);
    REQUIRE(std::memcmp(image.data() + 8, "WAVEfmt ", 8) == 0);
    REQUIRE(std::memcmp(image.data() + 36, "data", 4) == 0);
    REQUIRE(Le32(image, 4) == 36 + 2 * samples);
    REQUIRE(Le32(image, 40) == 2 * samples);
    REQUIRE(Le32(image, 24) == 11025 && Le32(image, 28) == 22050);

    // With options: every unit of a gap of 3 gains A samples; tones keep
    // their length and stay within the amplitude.
    rivek::WaveStream shaped;
    rivek::BuildWave(shaped, durations, frequencyHz, speedParis, options);
    const std::int64_t extra = rivek::ComputeSpacingExtra(speedParis, options.effectiveSpeedParis);
    std::int64_t spacingUnits = 0;
    for (std::size_t i = 0; i < durations.size(); i += 2) spacingUnits += durations[i] > 1 ? durations[i] : 0;
    const std::uint64_t shapedSamples = samples + static_cast<std::uint64_t>(spacingUnits * extra);
    REQUIRE(shaped.size() == rivek::kWaveHeaderBytes + 2 * shapedSamples);
    REQUIRE(Le32(shaped, 40) == 2 * shapedSamples);
    for (std::size_t at = rivek::kWaveHeaderBytes; at < shaped.size(); at += 2) {
        const auto sample = static_cast<std::int16_t>(shaped[at] | shaped[at + 1] << 8);
        REQUIRE(sample >= -30000 && sample <= 30000);
    }
    const bool asksNothing = (options.effectiveSpeedParis == 0 || options.effectiveSpeedParis >= speedParis) &&
                             options.riseTimeMs <= 0;
    if (asksNothing) REQUIRE(shaped == image);
    return 0;
}
