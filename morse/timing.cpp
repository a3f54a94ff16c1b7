#include "morse/timing.h"

#include <array>
#include <numeric>
#include <stdexcept>

namespace rivek {
namespace {

constexpr std::int16_t kDot = 1;              // [units]
constexpr std::int16_t kDash = 3;             // [units]
constexpr std::int16_t kElementGap = 1;       // [units] between the elements of a character
constexpr std::int16_t kCharacterGap = 3;     // [units] lead-in, and after every character

}  // namespace

TimingList::TimingList() : durations_{kCharacterGap} {}

std::int32_t TimingList::DurationCount() const {
    // durations_ never holds more than kMaxEntries, so this fits.
    return static_cast<std::int32_t>(durations_.size() + 1);
}

std::span<const std::int16_t> TimingList::Durations() const { return durations_; }

std::int64_t TimingList::TotalUnits() const {
    return std::accumulate(durations_.begin(), durations_.end(), std::int64_t{0});
}

void StartTiming(TimingList& list) {
    list.durations_.assign(1, kCharacterGap);
}

void BuildTiming(TimingList& list, const CodeTable& table, std::string_view text) {
    // Count first: the list grows once, and a text too long for it is
    // refused before anything changes.
    std::array<int, 256> elements{};
    for (std::size_t byte = 0; byte < elements.size(); ++byte) {
        elements[byte] = PatternLength(table[static_cast<unsigned char>(byte)]);
    }
    std::int64_t added = 0;
    for (const char c : text) added += 2 * elements[static_cast<unsigned char>(c)];
    if (added > TimingList::kMaxEntries - static_cast<std::int64_t>(list.durations_.size())) {
        throw std::length_error("BuildTiming: the text is too long for one timing list");
    }
    std::vector<std::int16_t>& durations = list.durations_;
    durations.reserve(durations.size() + static_cast<std::size_t>(added));

    // The pattern's base-3 digits, least significant first, are the
    // elements: each becomes its tone and the element gap after it; the gap
    // after the last element then widens to the character gap. A byte with
    // no pattern adds nothing, and the list still ends with a character gap.
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (elements[byte] == 0) continue;
        std::int32_t code = table[byte];
        for (; code != 0; code /= 3) {
            durations.push_back(code % 3 == 1 ? kDot : kDash);
            durations.push_back(kElementGap);
        }
        durations.back() = kCharacterGap;
    }
}

}  // namespace rivek
