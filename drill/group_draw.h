// Drawing a group from the character pool: the one rule behind every
// trial's group and every group of practice audio, so that the same seed
// gives the same groups in both.
#pragma once

#include <cstdint>
#include <string>

#include "drill/drill_files.h"
#include "platform/random_source.h"

namespace rivek {

// `length` characters (none for a length below 1), each drawn uniformly
// from the pool's PoolLength entries with one Draw(PoolLength) of `random`,
// in order; then the group is upper-cased. An empty pool gives an empty
// group and draws nothing.
std::string DrawGroup(const CharPool& pool, RandomSource& random, std::int32_t length);

}  // namespace rivek
