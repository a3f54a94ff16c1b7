#include "drill/group_draw.h"

#include <cstddef>

#include "platform/upper_case.h"

namespace rivek {

std::string DrawGroup(const CharPool& pool, RandomSource& random, std::int32_t length) {
    std::string group;
    if (pool.PoolLength > 0) {
        for (std::int32_t i = 0; i < length; ++i) {
            const std::int32_t k = random.Draw(pool.PoolLength);
            group.push_back(static_cast<char>(pool.CharPool[static_cast<std::size_t>(k)]));
        }
    }
    // The pool holds upper case already; the group is upper-cased all the
    // same, as a trial's group always was.
    UpperCaseInPlace(group);
    return group;
}

}  // namespace rivek
