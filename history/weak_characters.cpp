#include "history/weak_characters.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace rivek {

void RecentErrors::Add(const std::vector<CharOutcome>& outcomes) {
    constexpr std::uint64_t kKept = (std::uint64_t{1} << kWeakWindow) - 1;
    for (const CharOutcome& outcome : outcomes) {
        if (outcome.Result == CharResult::Extra || outcome.Sent.size() != 1) continue;
        Ring& ring = history_[static_cast<unsigned char>(outcome.Sent[0])];
        const bool error = outcome.Result != CharResult::Right;
        ring.errorBits = ((ring.errorBits << 1) | (error ? 1u : 0u)) & kKept;
        ring.count = std::min(ring.count + 1, kWeakWindow);
    }
}

std::int32_t RecentErrors::Errors(unsigned char character) const {
    return std::popcount(history_[character].errorBits);
}

std::vector<std::int32_t> WeakCharacterWeights(std::span<const unsigned char> pool, const RecentErrors& recent) {
    std::vector<std::int32_t> weights;
    weights.reserve(pool.size());
    for (const unsigned char character : pool) {
        // w = 1000 + 9000 (errors + 1) / (sent + 2), rounded down.
        const std::int32_t errors = recent.Errors(character);
        const std::int32_t sent = recent.Sent(character);
        weights.push_back(1000 + 9000 * (errors + 1) / (sent + 2));
    }
    return weights;
}

WeightedDraw::WeightedDraw(const std::vector<std::int32_t>& weights) {
    upTo_.reserve(weights.size());
    std::int64_t sum = 0;
    for (const std::int32_t weight : weights) {
        sum += std::max(weight, 1);
        upTo_.push_back(sum);
    }
}

std::int32_t WeightedDraw::Draw(RandomSource& random) const {
    if (upTo_.empty()) return 0;
    // A pool holds at most 2048 entries of at most 10,000 each, far below
    // the range of one draw.
    const auto total = static_cast<std::int32_t>(std::min<std::int64_t>(upTo_.back(), std::numeric_limits<std::int32_t>::max()));
    const std::int64_t r = random.Draw(total);
    const auto at = std::upper_bound(upTo_.begin(), upTo_.end(), r);
    return static_cast<std::int32_t>(at - upTo_.begin());
}

}  // namespace rivek
