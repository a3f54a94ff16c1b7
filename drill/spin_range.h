// The three settings and the ranges of their spin fields.
#pragma once

#include <algorithm>
#include <cstdint>

#include "tone/wave_builder.h"

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

// The pitch and speed ranges are the image builder's own, so the fields and
// the builder always limit a value alike.
constexpr SpinRange RangeOf(Setting setting) {
    switch (setting) {
    case Setting::Frequency: return {kMinFrequencyHz, kMaxFrequencyHz, 800};
    case Setting::Speed: return {kMinSpeedParis, kMaxSpeedParis, 100};
    case Setting::GroupLength: return {1, 15, 8};
    }
    return {0, 0, 0};
}

}  // namespace rivek
