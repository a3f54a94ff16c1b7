#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "morse/code_table.h"
#include "morse/timing.h"
#include "tone/wave_builder.h"
#include "reference_image.h"

namespace rivek {
namespace {

using rivek::testing::Le32;
using rivek::testing::List;
using rivek::testing::ReferenceImage;
using rivek::testing::SampleAt;
using rivek::testing::Timing;
using rivek::testing::ToneSample;

WaveStream Build(const List& durations, std::int32_t frequencyHz, std::int32_t speedParis) {
    WaveStream image;
    BuildWave(image, durations, frequencyHz, speedParis);
    return image;
}

TEST(WaveBuilderTest, HeaderOfGroupE) {
    const WaveStream image = Build(Timing("E"), 800, 100);
    const std::uint8_t expected[] = {
        0x52, 0x49, 0x46, 0x46, 0x58, 0x24, 0x00, 0x00, 0x57, 0x41, 0x56, 0x45, 0x66, 0x6d, 0x74,
        0x20, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x11, 0x2b, 0x00, 0x00, 0x22, 0x56,
        0x00, 0x00, 0x02, 0x00, 0x10, 0x00, 0x64, 0x61, 0x74, 0x61, 0x34, 0x24, 0x00, 0x00,
    };
    ASSERT_GE(image.size(), sizeof expected);
    EXPECT_EQ(WaveStream(image.begin(), image.begin() + sizeof expected), WaveStream(std::begin(expected), std::end(expected)));
}

TEST(WaveBuilderTest, GroupEIsSilenceOneDotSilence) {
    const WaveStream image = Build(Timing("E"), 800, 100);
    ASSERT_EQ(image.size(), 9312u);
    for (std::size_t i = 0; i < 4634; ++i) {
        const bool tone = i >= 1986 && i < 1986 + 662;
        if (!tone) {
            ASSERT_EQ(SampleAt(image, i), 0) << "sample " << i;
        } else {
            ASSERT_EQ(SampleAt(image, i), ToneSample(800, static_cast<std::int64_t>(i - 1986 + 1))) << "sample " << i;
        }
    }
}

TEST(WaveBuilderTest, ImageSizes) {
    struct Case {
        const char* text;
        std::int32_t frequencyHz;
        std::int32_t speedParis;
        std::size_t bytes;
    };
    const Case cases[] = {
        {"", 800, 100, 4016},
        {"E", 800, 100, 9312},
        {"A", 800, 100, 14608},
        {"PARIS", 800, 100, 64920},
        {"E", 100, 240, 3124},
        {"000000000000000", 103, 30, 1497212},  // the largest image of a group
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << '"' << c.text << "\" at F " << c.frequencyHz << ", S " << c.speedParis);
        const List durations = Timing(c.text);
        const WaveStream image = Build(durations, c.frequencyHz, c.speedParis);
        EXPECT_EQ(image.size(), c.bytes);
        EXPECT_EQ(WaveImageSize(durations, c.frequencyHz, c.speedParis), c.bytes);
        EXPECT_EQ(Le32(image, 4), c.bytes - 8);
        EXPECT_EQ(Le32(image, 40), c.bytes - 44);
        // The header alone, as streaming writers put it before the samples.
        const auto header = WaveHeader(static_cast<std::int64_t>(c.bytes - 44) / 2);
        EXPECT_TRUE(std::equal(header.begin(), header.end(), image.begin()));
    }
}

TEST(WaveBuilderTest, FirstAndLastSamplesOfATone) {
    struct Case {
        std::int32_t frequencyHz;
        std::size_t firstIndex;  // k of the first listed sample
        std::vector<std::int16_t> samples;
    };
    const Case cases[] = {
        {800, 1, {13209, 23719, 29384, 29046, 22774, 11850, -1495, -14535}},
        {800, 660, {-18954, -6780, 6780}},  // the end of a dot at S 100
        {100, 1, {1709, 3412, 5104, 6780}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "F " << c.frequencyHz);
        const WaveStream image = Build({0, 1, 0}, c.frequencyHz, 100);
        for (std::size_t i = 0; i < c.samples.size(); ++i) {
            EXPECT_EQ(SampleAt(image, c.firstIndex - 1 + i), c.samples[i]) << "k " << c.firstIndex + i;
        }
    }
    EXPECT_EQ(ComputeUnitLength(800, 100).samplesPerUnit, 662);
}

// Every pitch's dash against std::sin; then at a pitch prime to 11025 a tone
// long enough to pass through all 11025 residues.
TEST(WaveBuilderTest, ToneSamplesMatchTheSine) {
    for (std::int32_t f = kMinFrequencyHz; f <= kMaxFrequencyHz; ++f) {
        const WaveStream image = Build({0, 3, 0}, f, 300);
        const std::size_t samples = (image.size() - kWaveHeaderBytes) / 2;
        for (std::size_t i = 0; i < samples; ++i) {
            const std::int16_t expected = ToneSample(f, static_cast<std::int64_t>(i + 1));
            if (SampleAt(image, i) != expected) {
                FAIL() << "F " << f << ", k " << i + 1 << ": " << SampleAt(image, i) << " instead of " << expected;
            }
        }
    }
    const WaveStream image = Build({0, 60, 0}, 101, 300);  // 60 units of ~200 samples
    const std::size_t samples = (image.size() - kWaveHeaderBytes) / 2;
    ASSERT_GE(samples, 11025u);
    for (std::size_t i = 0; i < samples; ++i) {
        ASSERT_EQ(SampleAt(image, i), ToneSample(101, static_cast<std::int64_t>(i + 1))) << "k " << i + 1;
    }
}

// Whole images, byte for byte, against the slow reference: groups of the
// encoder at random pitches and speeds, and lists it never makes (long
// tones, empty entries, a list ending on a tone).
TEST(WaveBuilderTest, ImagesMatchTheSlowReference) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::int32_t> pitch(kMinFrequencyHz, kMaxFrequencyHz);
    std::uniform_int_distribution<std::int32_t> speed(kMinSpeedParis, kMaxSpeedParis);
    const List lists[] = {
        Timing("PARIS"), Timing("0"), Timing("\xB1\xDE?"), Timing(""),
        {2, 7, 0, 1, 5}, {0, 0, 0}, {1, 4}, {},
    };
    for (const List& durations : lists) {
        for (int round = 0; round < 4; ++round) {
            const std::int32_t f = pitch(random);
            const std::int32_t s = speed(random);
            SCOPED_TRACE(::testing::Message() << "F " << f << ", S " << s << ", " << durations.size() << " entries");
            EXPECT_EQ(Build(durations, f, s), ReferenceImage(durations, f, {ComputeUnitLength(f, s).samplesPerUnit}));
        }
    }
}

// The stream keeps its memory between builds: a short image after a long
// one must not carry any of the long one's samples.
TEST(WaveBuilderTest, RebuildingIntoTheSameStreamLeavesNothingBehind) {
    struct Step {
        const char* text;
        std::int32_t frequencyHz;
        std::int32_t speedParis;
    };
    const Step steps[] = {
        {"000000000000000", 103, 30},  // the largest image
        {"E", 800, 100},               // much shorter: all of it over old samples
        {"TTTTTTTTTT", 5000, 300},     // longer again: partly over the old E, partly new
        {"EEEEE", 5000, 300},          // silence where the last image had tones
    };
    WaveStream stream;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.text);
        BuildWave(stream, Timing(step.text), step.frequencyHz, step.speedParis);
        EXPECT_EQ(stream, Build(Timing(step.text), step.frequencyHz, step.speedParis));
    }
}

TEST(WaveBuilderTest, ListsThatCannotMakeAnImageLeaveTheStreamAsItWas) {
    const WaveStream before = Build(Timing("A"), 800, 100);
    WaveStream stream = before;
    EXPECT_THROW(BuildWave(stream, List{3, -1, 3}, 800, 100), std::invalid_argument);
    EXPECT_EQ(stream, before);

    // Fifteen entries of 32767 units at U 2248: over a billion samples.
    const List huge(15, INT16_MAX);
    EXPECT_THROW(BuildWave(stream, huge, 103, 30), std::length_error);
    EXPECT_EQ(stream, before);
}

TEST(WaveBuilderTest, SizeLimitKeepsTheHeaderFieldsWithinSigned32Bits) {
    // 477,643 units of 2248 samples is the most that fits.
    List durations(477643 / 32767, INT16_MAX);
    durations.push_back(static_cast<std::int16_t>(477643 % 32767));
    const std::size_t largest = WaveImageSize(durations, 103, 30);
    EXPECT_EQ(largest, 44u + 2u * 477643u * 2248u);
    EXPECT_LE(largest - 8, static_cast<std::size_t>(INT32_MAX));
    durations.back() = static_cast<std::int16_t>(durations.back() + 1);
    EXPECT_THROW(WaveImageSize(durations, 103, 30), std::length_error);
}

}  // namespace
}  // namespace rivek
