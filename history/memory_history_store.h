// A history kept in memory: every query goes through all trials one by one.
// It is the plain reference the SQLite store is checked against, and a
// stand-in store for tests of the window. Thread-safe; Record keeps the
// trial at once.
#pragma once

#include <mutex>

#include "history/history_store.h"

namespace rivek {

class MemoryHistoryStore final : public HistoryStore {
public:
    std::int64_t BeginDrill() override;
    void Record(TrialRecord trial) override;
    void SetRecording(bool on) override;
    RecordingStatus Status() const override;

    HistorySummary Summary(const StatisticsFilter& filter, std::int64_t drillId) override;
    KochStanding Koch(std::string_view pool) override;
    FilterChoices Choices() override;
    std::optional<std::int64_t> LatestDrill() override;
    std::vector<TrialRecord> LatestTrials(std::int32_t count) override;
    std::int64_t CountTrials(const StatisticsFilter& filter) override;
    bool ForEachTrial(const StatisticsFilter& filter,
                      const std::function<bool(const TrialRecord&)>& visit) override;
    bool Clear() override;

    // For tests: makes the store behave as a failing one. While `message`
    // is set, Record drops trials and Status reports it with On false.
    void SimulateFailure(std::optional<std::string> message);
    // A copy of every trial kept, in recording order.
    std::vector<TrialRecord> Trials() const;

private:
    mutable std::mutex mutex_;
    std::vector<TrialRecord> trials_;
    std::int64_t lastDrill_ = 0;
    bool recording_ = true;
    std::optional<std::string> failure_;
};

}  // namespace rivek
