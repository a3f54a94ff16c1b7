// Farnsworth spacing and tone shaping: the defaults keep today's image byte
// for byte, the options' sample counts follow their formulas exactly, whole
// images match the slow reference, and a shaped dot keeps its energy near
// the pitch.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "morse/code_table.h"
#include "morse/timing.h"
#include "reference_image.h"
#include "tone/wave_builder.h"

namespace rivek {
namespace {

using rivek::testing::List;
using rivek::testing::ReferenceImage;
using rivek::testing::Samples;
using rivek::testing::Timing;

WaveStream Build(const List& durations, std::int32_t frequencyHz, std::int32_t speedParis,
                 const WaveOptions& options) {
    WaveStream image;
    BuildWave(image, durations, frequencyHz, speedParis, options);
    return image;
}

// Draws from mt19937 itself, whose sequence the standard fixes (the
// distributions are the library's own), so the inputs are the same
// everywhere.
class Draws {
public:
    explicit Draws(std::uint32_t seed) : engine_(seed) {}
    std::int32_t Between(std::int32_t low, std::int32_t high) {
        return low + static_cast<std::int32_t>(engine_() % static_cast<std::uint32_t>(high - low + 1));
    }

private:
    std::mt19937 engine_;
};

// 2000 random groups of 0 to 15 random bytes at random pitches and speeds,
// all through one stream as in the drill. The fingerprint (64-bit FNV-1a
// over every image's bytes) was taken from the builder before it had any
// options, so any change to the default image shows here.
TEST(WaveOptionsTest, DefaultsGiveTodaysImagesByteForByte) {
    constexpr std::uint64_t kTodaysFingerprint = 0x41abbfdd88f89c25;
    CodeTable table;
    ResetCodeTable(table);
    struct Variant {
        const char* name;
        bool withOptions;
        WaveOptions options;
    };
    const Variant variants[] = {
        {"without options", false, {}},
        {"default options", true, WaveOptions{}},
    };
    for (const Variant& variant : variants) {
        SCOPED_TRACE(variant.name);
        Draws draw(14);
        std::uint64_t hash = 14695981039346656037u;
        WaveStream stream;
        for (int round = 0; round < 2000; ++round) {
            std::string text;
            const std::int32_t length = draw.Between(0, 15);
            for (std::int32_t i = 0; i < length; ++i) text.push_back(static_cast<char>(draw.Between(0, 255)));
            TimingList list;
            BuildTiming(list, table, text);
            const std::int32_t f = draw.Between(kMinFrequencyHz, kMaxFrequencyHz);
            const std::int32_t s = draw.Between(kMinSpeedParis, kMaxSpeedParis);
            if (variant.withOptions) {
                BuildWave(stream, list.Durations(), f, s, variant.options);
            } else {
                BuildWave(stream, list.Durations(), f, s);
            }
            for (const std::uint8_t byte : stream) {
                hash ^= byte;
                hash *= 1099511628211u;
            }
        }
        EXPECT_EQ(hash, kTodaysFingerprint);
    }
}

// Options that ask for nothing: no effective speed, one at or above the
// speed, no rise time (or one below the range).
TEST(WaveOptionsTest, OptionsThatAreOffChangeNothing) {
    Draws draw(1402);
    const List lists[] = {Timing("PARIS"), Timing("0?"), Timing(""), {2, 7, 0, 1, 5}};
    for (const List& durations : lists) {
        for (int round = 0; round < 8; ++round) {
            const std::int32_t f = draw.Between(kMinFrequencyHz, kMaxFrequencyHz);
            const std::int32_t s = draw.Between(kMinSpeedParis, kMaxSpeedParis);
            SCOPED_TRACE(::testing::Message() << "F " << f << ", S " << s);
            WaveStream plain;
            BuildWave(plain, durations, f, s);
            for (const WaveOptions options : {WaveOptions{0, 0}, WaveOptions{s, 0}, WaveOptions{s + 1, 0},
                                              WaveOptions{kMaxSpeedParis, 0}, WaveOptions{0, -3}}) {
                EXPECT_EQ(Build(durations, f, s, options), plain)
                    << "E " << options.effectiveSpeedParis << ", rise " << options.riseTimeMs;
            }
        }
    }
}

// A against a slow search: the whole number n nearest to
// 11025 (300/E - 300/S) / 19 = 3307500 (S - E) / (19 E S), found by
// comparing |19 E S n - 3307500 (S - E)| in integers, the even n on a tie.
// Ties do occur (S 120, E 63 gives 1312.5), and there floating point
// rounds either way.
std::int32_t NearestSpacingExtra(std::int64_t s, std::int64_t e) {
    const std::int64_t numerator = 3307500 * (s - e);
    const std::int64_t denominator = 19 * e * s;
    std::int64_t best = 0;
    for (std::int64_t n = 1; n * denominator <= numerator + denominator; ++n) {
        const std::int64_t distance = std::abs(n * denominator - numerator);
        const std::int64_t bestDistance = std::abs(best * denominator - numerator);
        if (distance < bestDistance || (distance == bestDistance && n % 2 == 0)) best = n;
    }
    return static_cast<std::int32_t>(best);
}

TEST(WaveOptionsTest, SpacingExtraFollowsTheFormulaForEveryPair) {
    for (std::int32_t s = kMinSpeedParis; s <= kMaxSpeedParis; ++s) {
        for (std::int32_t e = kMinSpeedParis; e <= s; ++e) {
            ASSERT_EQ(ComputeSpacingExtra(s, e), NearestSpacingExtra(s, e)) << "S " << s << ", E " << e;
        }
    }
    struct Case {
        std::int32_t speed;
        std::int32_t effective;
        std::int32_t extra;
    };
    const Case cases[] = {
        {100, 50, 1741},   // 11025 * 3 / 19 = 1740.79
        {300, 30, 5222},   // the largest
        {120, 63, 1312},   // a tie: 1312.5
        {100, 0, 0},       // off
        {100, 120, 0},     // above the speed: off
        {100, 10, 4062},    // limited to 30: 11025 * 7 / 19 = 4061.8
        {400, 30, 5222},   // the speed limited to 300
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "S " << c.speed << ", E " << c.effective);
        EXPECT_EQ(ComputeSpacingExtra(c.speed, c.effective), c.extra);
    }
}

TEST(WaveOptionsTest, EdgeSamplesForEachRiseTime) {
    // Round(441 * ms / 40): 11.025 per millisecond.
    const std::int32_t expected[] = {0, 11, 22, 33, 44, 55, 66, 77, 88, 99, 110};
    for (std::int32_t ms = 0; ms <= kMaxRiseTimeMs; ++ms) {
        EXPECT_EQ(ComputeEdgeSamples(ms), expected[ms]) << ms << " ms";
    }
    EXPECT_EQ(ComputeEdgeSamples(-1), 0);
    EXPECT_EQ(ComputeEdgeSamples(11), 110);
}

// A PARIS word with its word gap: 31 units inside the characters, 19 of
// spacing (four character gaps of 3 and a word gap of 7, no lead-in).
List ParisWord() {
    List word = Timing("PARIS");
    word.front() = 0;
    word.back() = 7;
    return word;
}

// The time a PARIS word gains is 60/wpm(E) - 60/wpm(S) seconds, within half
// a sample for each of its 19 units of spacing, while its characters keep
// their samples; a group's characters sound as at the speed.
TEST(WaveOptionsTest, FarnsworthWordLastsAsAtTheEffectiveSpeed) {
    struct Case {
        std::int32_t frequencyHz;
        std::int32_t speed;
        std::int32_t effective;
    };
    const Case cases[] = {{800, 100, 50}, {600, 150, 75}, {700, 300, 30}, {100, 240, 239}, {5000, 90, 60}};
    const List word = ParisWord();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "F " << c.frequencyHz << ", S " << c.speed << ", E " << c.effective);
        const WaveOptions options{c.effective, 0};
        const std::int64_t u = ComputeUnitLength(c.frequencyHz, c.speed).samplesPerUnit;
        const auto samples = static_cast<std::int64_t>((WaveImageSize(word, c.frequencyHz, c.speed, options) - 44) / 2);
        const auto plain = static_cast<std::int64_t>((WaveImageSize(word, c.frequencyHz, c.speed) - 44) / 2);
        EXPECT_EQ(plain, 50 * u);
        const double wpmE = c.effective / 5.0;
        const double wpmS = c.speed / 5.0;
        EXPECT_NEAR(static_cast<double>(samples - plain), 11025.0 * (60.0 / wpmE - 60.0 / wpmS), 19 * 0.5);

        // Only the gaps between the characters grow: the tones lie where
        // the plain tones do, each shifted by the spacing before it.
        const std::vector<double> stretched = Samples(Build(word, c.frequencyHz, c.speed, options));
        const std::vector<double> original = Samples(Build(word, c.frequencyHz, c.speed, WaveOptions{}));
        const std::int64_t extra = ComputeSpacingExtra(c.speed, c.effective);
        std::int64_t shift = 0;
        std::size_t at = 0;
        for (std::size_t i = 0; i < word.size(); ++i) {
            const std::int64_t length = word[i] * u;
            if (i % 2 == 1) {
                for (std::int64_t k = 0; k < length; ++k) {
                    const auto plainAt = at + static_cast<std::size_t>(k);
                    ASSERT_EQ(stretched[plainAt + static_cast<std::size_t>(shift)], original[plainAt]);
                }
            } else if (word[i] > 1) {
                shift += word[i] * extra;
            }
            at += static_cast<std::size_t>(length);
        }
    }
}

// Whole images against the slow reference, at random pitches, speeds,
// effective speeds and rise times: encoder groups, and lists it never makes
// (long tones, empty entries, a list ending on a tone).
TEST(WaveOptionsTest, ImagesMatchTheSlowReference) {
    Draws draw(20261214);
    const List lists[] = {
        Timing("PARIS"), Timing("0"), Timing("\xB1\xDE?"), Timing(""), ParisWord(),
        {2, 7, 0, 1, 5}, {0, 0, 0}, {1, 4}, {},
    };
    WaveStream stream;  // one stream throughout, as in the drill
    for (const List& durations : lists) {
        for (int round = 0; round < 12; ++round) {
            const std::int32_t f = draw.Between(kMinFrequencyHz, kMaxFrequencyHz);
            const std::int32_t s = draw.Between(kMinSpeedParis, kMaxSpeedParis);
            const WaveOptions options{round % 3 == 0 ? 0 : draw.Between(kMinSpeedParis, s),
                                      round % 4 == 0 ? 0 : draw.Between(1, kMaxRiseTimeMs)};
            SCOPED_TRACE(::testing::Message() << "F " << f << ", S " << s << ", E " << options.effectiveSpeedParis
                                              << ", rise " << options.riseTimeMs << ", " << durations.size()
                                              << " entries");
            BuildWave(stream, durations, f, s, options);
            const rivek::testing::ReferenceTiming timing{ComputeUnitLength(f, s).samplesPerUnit,
                                                         ComputeSpacingExtra(s, options.effectiveSpeedParis),
                                                         ComputeEdgeSamples(options.riseTimeMs)};
            EXPECT_EQ(stream, ReferenceImage(durations, f, timing));
            EXPECT_EQ(stream.size(), WaveImageSize(durations, f, s, options));
        }
    }
}

// The shortest dots meet the longest edges: at S 300 a dot of 176 samples
// cannot hold two edges of 110, so each takes half of it.
TEST(WaveOptionsTest, EdgesOfAShortDotMeetInItsMiddle) {
    const WaveStream image = Build({0, 1, 0}, 125, 300, WaveOptions{0, kMaxRiseTimeMs});
    const std::vector<double> dot = Samples(image);
    ASSERT_EQ(dot.size(), 176u);
    EXPECT_EQ(image, ReferenceImage({0, 1, 0}, 125, {176, 0, 110}));
    // The gain rises through all 88 samples of the first half and falls back
    // symmetrically: the raised cosine's first and last gains are tiny.
    EXPECT_LT(std::abs(dot.front()), 5.0);
    EXPECT_LT(std::abs(dot.back()), 5.0);
}

// The DTFT magnitude of the samples at `hz`, summed plainly.
double Magnitude(const std::vector<double>& samples, double hz) {
    double re = 0;
    double im = 0;
    for (std::size_t n = 0; n < samples.size(); ++n) {
        const double angle = 2 * std::numbers::pi * hz * static_cast<double>(n) / 11025.0;
        re += samples[n] * std::cos(angle);
        im -= samples[n] * std::sin(angle);
    }
    return std::hypot(re, im);
}

// The strongest component 500 Hz or more from the pitch, in dB against the
// peak at the pitch. (Exactly at +-500 Hz a dot of whole periods has a
// null, hard-keyed or not, so the whole far band is searched, in 1 Hz steps
// up to half the sample rate.)
double FarBandLevelDb(const std::vector<double>& samples, std::int32_t frequencyHz) {
    double peak = 0;
    for (double hz = frequencyHz - 20.0; hz <= frequencyHz + 20.0; hz += 0.5) {
        peak = std::max(peak, Magnitude(samples, hz));
    }
    double far = 0;
    for (double hz = 0; hz <= 11025.0 / 2; hz += 1.0) {
        if (std::abs(hz - frequencyHz) >= 500) far = std::max(far, Magnitude(samples, hz));
    }
    return 20 * std::log10(far / peak);
}

// Key clicks: a hard-keyed dot spreads energy far from the pitch, a dot
// with 5 ms edges keeps everything 500 Hz away more than 40 dB down.
TEST(WaveOptionsTest, ShapedDotHasNoEnergyFarFromThePitch) {
    struct Case {
        std::int32_t frequencyHz;
        std::int32_t speed;
    };
    const Case cases[] = {{800, 100}, {600, 200}, {800, 300}, {1000, 150}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "F " << c.frequencyHz << ", S " << c.speed);
        const double hard = FarBandLevelDb(Samples(Build({0, 1, 0}, c.frequencyHz, c.speed, WaveOptions{})),
                                           c.frequencyHz);
        const double shaped = FarBandLevelDb(Samples(Build({0, 1, 0}, c.frequencyHz, c.speed, WaveOptions{0, 5})),
                                             c.frequencyHz);
        EXPECT_GT(hard, -40.0);
        EXPECT_LT(shaped, -40.0);
    }
}

TEST(WaveOptionsTest, SpacingCountsTowardsTheSizeLimit) {
    // 100,000 character gaps at S 300, E 30: 300,000 units of 220 + 5222
    // samples, above the limit, though the plain image would fit.
    List durations;
    for (int i = 0; i < 100000; ++i) durations.insert(durations.end(), {3, 1});
    durations.push_back(3);
    EXPECT_NO_THROW(WaveImageSize(durations, 5000, 300));
    EXPECT_THROW(WaveImageSize(durations, 5000, 300, WaveOptions{30, 0}), std::length_error);
    WaveStream stream = {1, 2, 3};
    EXPECT_THROW(BuildWave(stream, durations, 5000, 300, WaveOptions{30, 0}), std::length_error);
    EXPECT_EQ(stream, (WaveStream{1, 2, 3}));
}

}  // namespace
}  // namespace rivek
