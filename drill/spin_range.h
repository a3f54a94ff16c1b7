// The three settings and the ranges of their spin fields.
#pragma once

#include <algorithm>
#include <cstdint>

namespace rivek {

enum class Setting {
    Frequency,    // SpinEdit1, tone pitch [Hz]
    Speed,        // SpinEdit2, [PARIS characters per minute]
    GroupLength,  // SpinEdit3, [characters]
};

struct SpinRange {
    std::int32_t minimum;
    std::int32_t maximum;
    std::int32_t initial;  // the layout's value, before any file is read

    std::int32_t Clamp(std::int32_t value) const { return std::clamp(value, minimum, maximum); }
};

constexpr SpinRange RangeOf(Setting setting) {
    switch (setting) {
    case Setting::Frequency: return {100, 5000, 800};
    case Setting::Speed: return {30, 300, 100};
    case Setting::GroupLength: return {1, 15, 8};
    }
    return {0, 0, 0};
}

}  // namespace rivek
