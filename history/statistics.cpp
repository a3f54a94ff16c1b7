#include "history/statistics.h"

#include <algorithm>
#include <utility>

namespace rivek {
namespace {

double Percent(std::int64_t part, std::int64_t whole) {
    return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

}  // namespace

bool StatisticsFilter::Matches(const TrialRecord& trial) const {
    if (Pool && trial.Pool != *Pool) return false;
    if (MinSpeedCpm && trial.SpeedCpm < *MinSpeedCpm) return false;
    if (MaxSpeedCpm && trial.SpeedCpm > *MaxSpeedCpm) return false;
    return true;
}

double Totals::PercentRight() const { return Percent(Right, Sent); }

void Totals::Add(const TrialRecord& trial) {
    Groups += 1;
    for (const CharOutcome& outcome : trial.Outcomes) {
        switch (outcome.Result) {
            case CharResult::Right: Sent += 1; Right += 1; break;
            case CharResult::Wrong: Sent += 1; Wrong += 1; break;
            case CharResult::Missing: Sent += 1; Missing += 1; break;
            case CharResult::Extra: Extra += 1; break;
        }
    }
    WrongCount += trial.WrongCount;
    MissingCount += trial.MissingCount;
}

double CharacterStats::PercentRight() const { return Percent(Right, Times); }

double DayProgress::PercentRight() const { return Percent(Right, Sent); }

double DayProgress::MeanSpeedCpm() const {
    return Sent == 0 ? 0.0 : static_cast<double>(SpeedSum) / static_cast<double>(Sent);
}

bool WorstFirst(const CharacterStats& a, const CharacterStats& b) {
    // a.Right / a.Times < b.Right / b.Times, without division; a character
    // never sent (Times 0) counts as all right.
    const auto share = [](const CharacterStats& c) {
        return c.Times == 0 ? std::pair<std::int64_t, std::int64_t>{1, 1}
                            : std::pair<std::int64_t, std::int64_t>{c.Right, c.Times};
    };
    const auto [aRight, aTimes] = share(a);
    const auto [bRight, bTimes] = share(b);
    // The products fit while a character was sent fewer than 3 billion
    // times, some thousand years of daily practice.
    const std::int64_t left = aRight * bTimes;
    const std::int64_t right = bRight * aTimes;
    if (left != right) return left < right;
    if (a.Times != b.Times) return a.Times > b.Times;
    return a.Sent < b.Sent;
}

SummaryBuilder::SummaryBuilder(StatisticsFilter filter, std::int64_t drillId)
    : filter_(std::move(filter)), drillId_(drillId) {}

void SummaryBuilder::Add(const TrialRecord& trial) {
    if (!filter_.Matches(trial)) return;
    summary_.AllTime.Add(trial);
    if (trial.DrillId == drillId_) summary_.ThisDrill.Add(trial);

    DayProgress day;
    day.Day = trial.Day;
    day.Groups = 1;
    day.TopSpeedCpm = trial.SpeedCpm;
    for (const CharOutcome& outcome : trial.Outcomes) {
        if (outcome.Result == CharResult::Extra) continue;
        AddCharacterCount(outcome.Sent, outcome.Result, outcome.Typed, 1);
        day.Sent += 1;
        if (outcome.Result == CharResult::Right) day.Right += 1;
    }
    day.SpeedSum = std::int64_t{trial.SpeedCpm} * day.Sent;
    AddDay(day);
}

void SummaryBuilder::AddCharacterCount(const std::string& sent, CharResult result, const std::string& typed,
                                       std::int64_t times) {
    if (result == CharResult::Extra) return;
    CharacterStats& character = characters_[sent];
    character.Sent = sent;
    character.Times += times;
    switch (result) {
        case CharResult::Right: character.Right += times; break;
        case CharResult::Wrong:
            character.Wrong += times;
            takenFor_[sent][typed] += times;
            break;
        case CharResult::Missing: character.Missing += times; break;
        case CharResult::Extra: break;
    }
}

void SummaryBuilder::AddDay(const DayProgress& day) {
    DayProgress& into = days_[day.Day];
    into.Day = day.Day;
    into.Groups += day.Groups;
    into.Sent += day.Sent;
    into.Right += day.Right;
    into.SpeedSum += day.SpeedSum;
    into.TopSpeedCpm = std::max(into.TopSpeedCpm, day.TopSpeedCpm);
}

HistorySummary SummaryBuilder::Finish() && {
    const auto mostOftenFirst = [](const auto& a, const auto& b) {
        if (a.Times != b.Times) return a.Times > b.Times;
        return std::tie(a.Sent, a.Typed) < std::tie(b.Sent, b.Typed);
    };
    std::vector<Confusion> confusions;
    for (auto& [sent, typedTimes] : takenFor_) {
        CharacterStats& character = characters_[sent];
        std::vector<Confusion> own;
        for (const auto& [typed, times] : typedTimes) {
            own.push_back({sent, typed, times});
            confusions.push_back({sent, typed, times});
        }
        std::sort(own.begin(), own.end(), mostOftenFirst);
        if (own.size() > kTakenForShown) own.resize(kTakenForShown);
        for (Confusion& c : own) character.TakenFor.push_back({std::move(c.Typed), c.Times});
    }
    std::sort(confusions.begin(), confusions.end(), mostOftenFirst);
    if (confusions.size() > kConfusionsShown) confusions.resize(kConfusionsShown);
    summary_.Confusions = std::move(confusions);

    for (auto& [sent, character] : characters_) summary_.Characters.push_back(std::move(character));
    std::sort(summary_.Characters.begin(), summary_.Characters.end(), WorstFirst);
    for (auto& [day, progress] : days_) summary_.Days.push_back(progress);
    return std::move(summary_);
}

void SortPoolChoices(std::vector<PoolChoice>& pools) {
    std::sort(pools.begin(), pools.end(), [](const PoolChoice& a, const PoolChoice& b) {
        if (a.LastDay != b.LastDay) return a.LastDay > b.LastDay;
        return a.Pool < b.Pool;
    });
}

}  // namespace rivek
