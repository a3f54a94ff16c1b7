// Practising weak characters: each entry of the pool is drawn with a weight
// that grows with its character's recent error rate.
//
// For a character c, over the last kWeakWindow times it was sent:
//     e(c) = (errors + 1) / (sent + 2)        errors: wrong or missing
// (a character never sent counts as half wrong), and each pool entry of c
// weighs
//     w(c) = 1000 + 9000 × e(c)               in thousandths, whole numbers
// so a character always right weighs about 1, one always wrong about 10;
// none weighs 0, every character stays possible, and a character that
// stands m times in the pool weighs m times as much.
//
// The weighted draw is a path of its own: the drill's uniform draw
// (TrialController) stays as it is and draws exactly as before when weak
// characters are off.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "checking/char_outcome.h"
#include "platform/random_source.h"

namespace rivek {

inline constexpr std::int32_t kWeakWindow = 50;

// The last kWeakWindow outcomes of each single-byte character.
class RecentErrors {
public:
    // Adds one trial's outcomes; feed trials oldest first.
    void Add(const std::vector<CharOutcome>& outcomes);
    std::int32_t Sent(unsigned char character) const { return history_[character].count; }
    std::int32_t Errors(unsigned char character) const;

private:
    struct Ring {
        std::uint64_t errorBits = 0;  // bit k: the k-th newest sending was an error
        std::int32_t count = 0;       // sendings kept, at most kWeakWindow
    };
    std::array<Ring, 256> history_{};
};

// w(c) of each pool entry, in order.
std::vector<std::int32_t> WeakCharacterWeights(std::span<const unsigned char> pool, const RecentErrors& recent);

// Draws pool indices with the given whole-number weights, each at least 1.
class WeightedDraw {
public:
    explicit WeightedDraw(const std::vector<std::int32_t>& weights);
    // An index from 0 to the number of weights - 1, entry k with probability
    // weights[k] / sum; one RandomSource::Draw over the sum. With no weights,
    // 0.
    std::int32_t Draw(RandomSource& random) const;

private:
    std::vector<std::int64_t> upTo_;  // running sums
};

}  // namespace rivek
