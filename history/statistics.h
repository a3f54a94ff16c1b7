// What the statistics window shows, as plain numbers: the totals of this
// drill and of all time, each character's record, the most frequent
// confusions and the progress over days, under a filter by pool (a Koch
// lesson is a pool) and speed.
//
// A "character" is a sent character. Its outcome (checking/char_outcome.h)
// is right, wrong (taken for another character) or missing; extra typed
// characters are counted apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "history/trial_record.h"

namespace rivek {

struct StatisticsFilter {
    std::optional<std::string> Pool;          // only trials drawn from exactly this pool
    std::optional<std::int32_t> MinSpeedCpm;  // only trials at this speed or faster
    std::optional<std::int32_t> MaxSpeedCpm;  // only trials at this speed or slower

    bool Matches(const TrialRecord& trial) const;
    friend bool operator==(const StatisticsFilter&, const StatisticsFilter&) = default;
};

struct Totals {
    std::int64_t Groups = 0;   // scored trials
    std::int64_t Sent = 0;     // sent characters
    std::int64_t Right = 0;    // sent characters answered right
    std::int64_t Wrong = 0;    // sent characters taken for another
    std::int64_t Missing = 0;  // sent characters not typed
    std::int64_t Extra = 0;    // extra typed characters
    // The sums of the scoring's counts, as the window's labels add them up
    // (誤字 and 脱字): wrong and extra bytes, missing bytes.
    std::int64_t WrongCount = 0;
    std::int64_t MissingCount = 0;

    // 100 × Right / Sent; 0 when nothing was sent.
    double PercentRight() const;
    void Add(const TrialRecord& trial);
    friend bool operator==(const Totals&, const Totals&) = default;
};

struct TypedTimes {
    std::string Typed;  // what was typed for the character, whole characters
    std::int64_t Times = 0;
    friend bool operator==(const TypedTimes&, const TypedTimes&) = default;
};

struct CharacterStats {
    std::string Sent;
    std::int64_t Times = 0;  // times sent
    std::int64_t Right = 0;
    std::int64_t Wrong = 0;
    std::int64_t Missing = 0;
    std::vector<TypedTimes> TakenFor;  // most often first, at most kTakenForShown

    double PercentRight() const;  // 100 × Right / Times
    friend bool operator==(const CharacterStats&, const CharacterStats&) = default;
};

struct Confusion {
    std::string Sent;   // K ...
    std::string Typed;  // ... taken for R
    std::int64_t Times = 0;
    friend bool operator==(const Confusion&, const Confusion&) = default;
};

struct DayProgress {
    std::int32_t Day = 0;  // LocalDay numbering; DayText gives "YYYY-MM-DD"
    std::int64_t Groups = 0;
    std::int64_t Sent = 0;
    std::int64_t Right = 0;
    std::int64_t SpeedSum = 0;      // Σ speed × characters sent, for the mean
    std::int32_t TopSpeedCpm = 0;   // the fastest speed practised that day

    double PercentRight() const;    // 100 × Right / Sent
    double MeanSpeedCpm() const;    // speed averaged over the characters sent
    friend bool operator==(const DayProgress&, const DayProgress&) = default;
};

inline constexpr std::size_t kTakenForShown = 5;
inline constexpr std::size_t kConfusionsShown = 20;

struct HistorySummary {
    Totals ThisDrill;  // the trials of the drill asked for
    Totals AllTime;
    std::vector<CharacterStats> Characters;  // worst first (WorstFirst)
    std::vector<Confusion> Confusions;       // most frequent first, at most kConfusionsShown
    std::vector<DayProgress> Days;           // oldest first, only days with trials
    friend bool operator==(const HistorySummary&, const HistorySummary&) = default;
};

// The order of the character table: the lower share right first; among
// equal shares the more often sent first; then by the bytes of the
// character. Compared exactly, in integers.
bool WorstFirst(const CharacterStats& a, const CharacterStats& b);

// Builds a summary by going through trials one by one: the plain way, which
// the in-memory store uses and which a faster store must agree with.
class SummaryBuilder {
public:
    SummaryBuilder(StatisticsFilter filter, std::int64_t drillId);
    // Counts the trial if the filter lets it through.
    void Add(const TrialRecord& trial);
    HistorySummary Finish() &&;

    // For a store that has the counts already grouped (per sent character,
    // result and typed character; per day): adds them as if they came from
    // trials. `typed` matters for Wrong only.
    void AddCharacterCount(const std::string& sent, CharResult result, const std::string& typed,
                           std::int64_t times);
    void AddDay(const DayProgress& day);
    Totals& ThisDrill() { return summary_.ThisDrill; }
    Totals& AllTime() { return summary_.AllTime; }

private:
    StatisticsFilter filter_;
    std::int64_t drillId_;
    HistorySummary summary_;
    std::map<std::string, CharacterStats> characters_;
    std::map<std::string, std::map<std::string, std::int64_t>> takenFor_;
    std::map<std::int32_t, DayProgress> days_;
};

// The pools and speeds the history holds, for the filter's lists.
struct PoolChoice {
    std::string Pool;
    std::int64_t Groups = 0;
    std::int32_t LastDay = 0;  // the latest day it was practised
    friend bool operator==(const PoolChoice&, const PoolChoice&) = default;
};
struct FilterChoices {
    std::vector<PoolChoice> Pools;    // most recently practised first, then by pool bytes
    std::vector<std::int32_t> Speeds; // ascending
    friend bool operator==(const FilterChoices&, const FilterChoices&) = default;
};

// Sorts the pools of FilterChoices into their order.
void SortPoolChoices(std::vector<PoolChoice>& pools);

}  // namespace rivek
