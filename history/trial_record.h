// One scored trial as the history keeps it, and the calendar day it falls
// on. Texts are code page 932 bytes, as everywhere in the core.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "checking/char_outcome.h"
#include "checking/scoring.h"

namespace rivek {

enum class NumeralForm : std::uint8_t {
    Standard = 0,     // digits in their full codes
    Abbreviated = 1,  // the abbreviated-numerals box ticked
};

struct TrialRecord {
    std::int64_t WhenMs = 0;      // when the answer was scored [ms since 1970-01-01 00:00 UTC]
    std::int32_t Day = 0;         // the local calendar day then [days since 1970-01-01], LocalDay(WhenMs)
    std::int64_t DrillId = 0;     // HistoryStore::BeginDrill of the drill it belongs to
    std::string WorkingFolder;    // the folder Rivek runs in, as the file system names it
    std::string Pool;             // CharPool entries 0 .. PoolLength - 1, repeats included
    std::int32_t PitchHz = 0;     // SpinEdit1 when the group was built
    std::int32_t SpeedCpm = 0;    // SpinEdit2 [characters per minute, PARIS]
    std::int32_t GroupLength = 0; // SpinEdit3 when the group was drawn
    NumeralForm Numerals = NumeralForm::Standard;
    std::string Sent;             // the group sent
    std::string Answer;           // the answer field's text as it was scored
    std::vector<CharOutcome> Outcomes;  // CharOutcomes of the scoring's alignment
    std::int32_t WrongCount = 0;  // the scoring's counts (ScoredTrial)
    std::int32_t MissingCount = 0;
    std::int32_t Replays = 0;     // how often the group was heard again before Enter

    friend bool operator==(const TrialRecord&, const TrialRecord&) = default;
};

// Copies what the scoring found into the record: its outcomes and counts.
// A scoring with Scored false (the first Enter of a drill) is no trial and
// must not be recorded.
void SetScoring(TrialRecord& record, const ScoredTrial& scored);

// The local calendar day of an instant, in the time zone the process runs
// in [days since 1970-01-01]. Negative before 1970.
std::int32_t LocalDay(std::int64_t unixMs);

// A day as "YYYY-MM-DD".
std::string DayText(std::int32_t day);

// The current time [ms since 1970-01-01 00:00 UTC].
std::int64_t UnixMillisecondsNow();

}  // namespace rivek
