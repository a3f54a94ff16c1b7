// The timing encoder: a text becomes the list of gap and tone lengths, in
// Morse units, that the tone image builder sounds.
//
// Entries alternate: even indices are gaps (silence), odd indices tones.
// Index 0 is the lead-in gap of 3 units. A tone is 1 (dot) or 3 (dash); a
// gap is 1 between the elements of a character and 3 after each character.
// There is no word gap: a group is one run of characters.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "morse/code_table.h"

namespace rivek {

// Growable: a text of any length fits, and nothing is ever written beyond
// the list's room. A new list already holds the lead-in gap, as after
// StartTiming, so the list always ends with a gap and has an odd length.
class TimingList {
public:
    // The most entries a list may hold, so that DurationCount() stays a
    // signed 32-bit count.
    static constexpr std::int64_t kMaxEntries = INT32_MAX - 1;

    TimingList();

    // One more than the index at which the next tone would be written; the
    // list proper is entries 0 to DurationCount() - 2.
    std::int32_t DurationCount() const;

    // Entries 0 to DurationCount() - 2, in units.
    std::span<const std::int16_t> Durations() const;

    // The sum of the list's entries, in units.
    std::int64_t TotalUnits() const;

private:
    friend void StartTiming(TimingList& list);
    friend void BuildTiming(TimingList& list, const CodeTable& table, std::string_view text);
    std::vector<std::int16_t> durations_;  // exactly the list proper
};

// Starts a new list: a single lead-in gap of 3 units, DurationCount 2.
void StartTiming(TimingList& list);

// Appends the patterns of the text's bytes, in order, as looked up in the
// table. A byte without a pattern adds nothing. Never starts a new list.
// Throws std::length_error, leaving the list as it was, if the text would
// take the list beyond kMaxEntries (a text of some 178 million characters).
void BuildTiming(TimingList& list, const CodeTable& table, std::string_view text);

}  // namespace rivek
