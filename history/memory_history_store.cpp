#include "history/memory_history_store.h"

#include <algorithm>
#include <map>
#include <utility>

namespace rivek {

std::int64_t MemoryHistoryStore::BeginDrill() {
    const std::lock_guard lock(mutex_);
    return ++lastDrill_;
}

void MemoryHistoryStore::Record(TrialRecord trial) {
    const std::lock_guard lock(mutex_);
    if (!recording_ || failure_) return;
    trials_.push_back(std::move(trial));
}

void MemoryHistoryStore::SetRecording(bool on) {
    const std::lock_guard lock(mutex_);
    recording_ = on;
}

RecordingStatus MemoryHistoryStore::Status() const {
    const std::lock_guard lock(mutex_);
    if (failure_) return {false, *failure_, 0};
    if (!recording_) return {false, std::string(kRecordingSwitchedOff), 0};
    return {};
}

HistorySummary MemoryHistoryStore::Summary(const StatisticsFilter& filter, std::int64_t drillId) {
    SummaryBuilder builder(filter, drillId);
    for (const TrialRecord& trial : Trials()) builder.Add(trial);
    return std::move(builder).Finish();
}

KochStanding MemoryHistoryStore::Koch(std::string_view pool) {
    const std::vector<TrialRecord> trials = Trials();
    KochStanding standing;
    KochWindow window;
    for (auto trial = trials.rbegin(); trial != trials.rend(); ++trial) {
        if (trial->Pool != pool) continue;
        window.AddNewerFirst(*trial);
        for (const CharOutcome& outcome : trial->Outcomes) {
            if (outcome.Result != CharResult::Extra) standing.SentInLesson += 1;
        }
    }
    window.Fill(standing);
    return standing;
}

FilterChoices MemoryHistoryStore::Choices() {
    std::map<std::string, PoolChoice> pools;
    std::vector<std::int32_t> speeds;
    for (const TrialRecord& trial : Trials()) {
        PoolChoice& pool = pools[trial.Pool];
        pool.Pool = trial.Pool;
        pool.Groups += 1;
        pool.LastDay = pool.Groups == 1 ? trial.Day : std::max(pool.LastDay, trial.Day);
        speeds.push_back(trial.SpeedCpm);
    }
    FilterChoices choices;
    for (auto& [text, pool] : pools) choices.Pools.push_back(std::move(pool));
    SortPoolChoices(choices.Pools);
    std::sort(speeds.begin(), speeds.end());
    speeds.erase(std::unique(speeds.begin(), speeds.end()), speeds.end());
    choices.Speeds = std::move(speeds);
    return choices;
}

std::optional<std::int64_t> MemoryHistoryStore::LatestDrill() {
    const std::lock_guard lock(mutex_);
    if (trials_.empty()) return std::nullopt;
    return trials_.back().DrillId;
}

std::vector<TrialRecord> MemoryHistoryStore::LatestTrials(std::int32_t count) {
    const std::lock_guard lock(mutex_);
    const std::size_t keep = std::min(trials_.size(), static_cast<std::size_t>(std::max(count, 0)));
    return std::vector<TrialRecord>(trials_.end() - static_cast<std::ptrdiff_t>(keep), trials_.end());
}

std::int64_t MemoryHistoryStore::CountTrials(const StatisticsFilter& filter) {
    const std::lock_guard lock(mutex_);
    return std::count_if(trials_.begin(), trials_.end(), [&](const TrialRecord& t) { return filter.Matches(t); });
}

bool MemoryHistoryStore::ForEachTrial(const StatisticsFilter& filter,
                                      const std::function<bool(const TrialRecord&)>& visit) {
    // A copy, so that the visitor may call the store.
    for (const TrialRecord& trial : Trials()) {
        if (filter.Matches(trial) && !visit(trial)) break;
    }
    return true;
}

bool MemoryHistoryStore::Clear() {
    const std::lock_guard lock(mutex_);
    trials_.clear();
    return true;
}

void MemoryHistoryStore::SimulateFailure(std::optional<std::string> message) {
    const std::lock_guard lock(mutex_);
    failure_ = std::move(message);
}

std::vector<TrialRecord> MemoryHistoryStore::Trials() const {
    const std::lock_guard lock(mutex_);
    return trials_;
}

}  // namespace rivek
