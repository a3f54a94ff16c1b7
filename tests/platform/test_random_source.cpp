#include "platform/random_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <chrono>

namespace rivek {
namespace {

TEST(RandomSourceTest, DrawsEveryValueUniformly) {
    // Chi-square over 10 cells with 100,000 draws: 9 degrees of freedom,
    // 27.9 is the 0.1 % point.
    RandomSource random(12345);
    constexpr int kCells = 10;
    constexpr int kDraws = 100'000;
    std::array<int, kCells> counts{};
    for (int i = 0; i < kDraws; ++i) {
        const std::int32_t k = random.Draw(kCells);
        ASSERT_GE(k, 0);
        ASSERT_LT(k, kCells);
        ++counts[static_cast<std::size_t>(k)];
    }
    const double expected = static_cast<double>(kDraws) / kCells;
    double chiSquare = 0;
    for (const int count : counts) chiSquare += (count - expected) * (count - expected) / expected;
    EXPECT_LT(chiSquare, 27.9);
}

TEST(RandomSourceTest, SameSeedSameDrawsAndSizeOneGivesZero) {
    RandomSource a(7);
    RandomSource b(1);
    b.Seed(7);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(a.Draw(2048), b.Draw(2048));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(a.Draw(1), 0);
}

TEST(RandomSourceTest, SeedIsTheTimeOfDayInMilliseconds) {
    const std::uint32_t ms = MillisecondsSinceMidnightUtc();
    EXPECT_LT(ms, 86'400'000u);
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto expected = std::chrono::duration_cast<std::chrono::milliseconds>(now).count() %
                          86'400'000;
    // Apart by less than a second, also across midnight.
    std::int64_t apart = std::abs(static_cast<std::int64_t>(ms) - expected);
    apart = std::min<std::int64_t>(apart, 86'400'000 - apart);
    EXPECT_LT(apart, 1000);
}

}  // namespace
}  // namespace rivek
