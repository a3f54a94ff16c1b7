// The drill's pseudo-random generator: uniform draws, seeded once.
#pragma once

#include <cstdint>
#include <random>

namespace rivek {

// Milliseconds since midnight UTC, the seed the program uses at start-up.
std::uint32_t MillisecondsSinceMidnightUtc();

class RandomSource {
public:
    explicit RandomSource(std::uint32_t seed = 0) : engine_(seed) {}

    void Seed(std::uint32_t seed) { engine_.seed(seed); }

    // A whole number drawn uniformly from 0 to n - 1; n must be at least 1.
    std::int32_t Draw(std::int32_t n);

private:
    std::mt19937 engine_;
};

}  // namespace rivek
