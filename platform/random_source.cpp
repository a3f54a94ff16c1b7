#include "platform/random_source.h"

#include <chrono>

namespace rivek {

std::uint32_t MillisecondsSinceMidnightUtc() {
    // The system clock counts from midnight UTC of 1 January 1970, and a
    // day of it is always 86,400,000 ms, so the remainder is the time of
    // day in UTC.
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<milliseconds>(system_clock::now().time_since_epoch());
    constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
    std::int64_t ms = sinceEpoch.count() % kMillisecondsPerDay;
    if (ms < 0) ms += kMillisecondsPerDay;  // a clock set before 1970
    return static_cast<std::uint32_t>(ms);
}

std::int32_t RandomSource::Draw(std::int32_t n) {
    if (n <= 1) return 0;
    std::uniform_int_distribution<std::int32_t> distribution(0, n - 1);
    return distribution(engine_);
}

}  // namespace rivek
