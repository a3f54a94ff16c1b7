#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "tone/wave_builder.h"

namespace rivek {
namespace {

TEST(UnitLengthTest, KnownPitchesAndSpeeds) {
    struct Case {
        std::int32_t frequencyHz;
        std::int32_t speedParis;
        std::int32_t periods;
        std::int32_t samples;
    };
    const Case cases[] = {
        {800, 100, 48, 662},    // 11025 * 48 / 800 = 661.5: up to the even 662
        {1000, 100, 60, 662},   // 661.5
        {100, 240, 2, 220},     // 6F/S = 2.5: down to the even 2; then 220.5 down to 220
        {200, 60, 20, 1102},    // 1102.5
        {800, 128, 38, 524},    // 37.5 up to 38
        {103, 30, 21, 2248},    // the longest unit in the ranges
        {125, 300, 2, 176},     // the shortest
        {5000, 30, 1000, 2205},
        {5000, 300, 100, 220},  // 220.5
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "F " << c.frequencyHz << ", S " << c.speedParis);
        const UnitLength unit = ComputeUnitLength(c.frequencyHz, c.speedParis);
        EXPECT_EQ(unit.periodsPerUnit, c.periods);
        EXPECT_EQ(unit.samplesPerUnit, c.samples);
    }
}

// a / b to nearest, ties to even, in another form than the builder's:
// round half up as floor((2a + b) / 2b), then step back from an odd result
// when the quotient was exactly a half.
std::int64_t RoundHalfEven(std::int64_t a, std::int64_t b) {
    std::int64_t result = (2 * a + b) / (2 * b);
    if ((2 * a + b) % (2 * b) == 0 && result % 2 != 0) --result;
    return result;
}

// The whole of both ranges, against the exact rule and against the quotients
// taken in long double and rounded to even by the FPU, which must agree.
TEST(UnitLengthTest, WholeRangeFollowsExactTiesToEven) {
    std::int32_t shortest = INT32_MAX;
    std::int32_t longest = 0;
    for (std::int32_t f = kMinFrequencyHz; f <= kMaxFrequencyHz; ++f) {
        for (std::int32_t s = kMinSpeedParis; s <= kMaxSpeedParis; ++s) {
            const UnitLength unit = ComputeUnitLength(f, s);
            const std::int64_t periods = RoundHalfEven(6LL * f, s);
            const std::int64_t samples = RoundHalfEven(11025 * periods, f);
            const long double periodsLd = std::nearbyint(6.0L * f / s);
            const long double samplesLd = std::nearbyint(11025.0L * periodsLd / f);
            if (unit.periodsPerUnit != periods || unit.samplesPerUnit != samples ||
                periodsLd != static_cast<long double>(periods) || samplesLd != static_cast<long double>(samples)) {
                ADD_FAILURE() << "F " << f << ", S " << s << ": got P " << unit.periodsPerUnit << " U "
                              << unit.samplesPerUnit << ", exact P " << periods << " U " << samples;
                return;
            }
            shortest = std::min(shortest, unit.samplesPerUnit);
            longest = std::max(longest, unit.samplesPerUnit);
        }
    }
    EXPECT_EQ(shortest, 176);
    EXPECT_EQ(longest, 2248);
}

TEST(UnitLengthTest, ValuesOutsideTheRangesAreLimitedToTheNearerBound) {
    struct Case {
        std::int32_t frequencyHz;
        std::int32_t speedParis;
        std::int32_t limitedFrequencyHz;
        std::int32_t limitedSpeedParis;
    };
    const Case cases[] = {
        {0, 0, 100, 30},
        {-800, -100, 100, 30},
        {99, 301, 100, 300},
        {5001, 29, 5000, 30},
        {INT32_MAX, INT32_MIN, 5000, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "F " << c.frequencyHz << ", S " << c.speedParis);
        const UnitLength unit = ComputeUnitLength(c.frequencyHz, c.speedParis);
        const UnitLength limited = ComputeUnitLength(c.limitedFrequencyHz, c.limitedSpeedParis);
        EXPECT_EQ(unit.periodsPerUnit, limited.periodsPerUnit);
        EXPECT_EQ(unit.samplesPerUnit, limited.samplesPerUnit);
    }
}

}  // namespace
}  // namespace rivek
