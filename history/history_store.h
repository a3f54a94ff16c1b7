// The history of scored trials, as the drill and the statistics window need
// it. The SQLite file at the edge (storage/) implements it; so does the
// in-memory store beside this header, for tests.
//
// Threads: every member may be called from any thread, the window's
// included, and calls may overlap. Record never waits for the disk: it
// hands the trial over and returns. The queries and Clear see every trial
// recorded before they were called, as far as it could be written; they run
// on the calling thread's time and may wait for a write in progress, and
// for another program holding the file, up to the store's busy timeout.
// None of them throws or stops the drill when the history fails: the store
// goes on without writing and Status says why.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/koch.h"
#include "history/statistics.h"
#include "history/trial_record.h"

namespace rivek {

struct RecordingStatus {
    // True while trials are being written (or will be at once).
    bool On = true;
    // A plain sentence for the user, UTF-8: why recording is off, or a
    // notice while it is on (a damaged file set aside). Empty when all is
    // well. Names files, never the program's insides.
    std::string Message;
    // Trials taken by Record that are not written yet (kept in memory and
    // written once the disk or the file allows it again).
    std::int64_t Waiting = 0;
    friend bool operator==(const RecordingStatus&, const RecordingStatus&) = default;
};

// The Message while the user has switched recording off.
inline constexpr std::string_view kRecordingSwitchedOff =
    "History is not being recorded: Record History is switched off in the Practice menu.";

class HistoryStore {
public:
    virtual ~HistoryStore() = default;

    // A new drill: from start-up or Reset to the next Reset or the close.
    // Returns its number, which the drill's trials carry in DrillId;
    // numbers are unique among the Riveks sharing one history. Never waits.
    virtual std::int64_t BeginDrill() = 0;

    // Takes one scored trial and returns at once; the writing happens on a
    // thread of the store's own. While recording is switched off
    // (SetRecording(false)) the trial is dropped.
    virtual void Record(TrialRecord trial) = 0;

    // Practice > Record History. On by default.
    virtual void SetRecording(bool on) = 0;
    virtual RecordingStatus Status() const = 0;

    // The statistics window's numbers under the filter; ThisDrill counts the
    // trials of `drillId`.
    virtual HistorySummary Summary(const StatisticsFilter& filter, std::int64_t drillId) = 0;
    // The Koch standing in the lesson drawn from `pool`.
    virtual KochStanding Koch(std::string_view pool) = 0;
    // The pools and speeds there are to filter by.
    virtual FilterChoices Choices() = 0;
    // The drill of the newest trial; nullopt for an empty history.
    virtual std::optional<std::int64_t> LatestDrill() = 0;
    // The newest `count` trials, oldest first (to seed RecentErrors).
    virtual std::vector<TrialRecord> LatestTrials(std::int32_t count) = 0;

    // For the CSV export: how many trials pass the filter, then each of them
    // in the order they were recorded, until `visit` returns false. Returns
    // false when the history could not be read to the end.
    virtual std::int64_t CountTrials(const StatisticsFilter& filter) = 0;
    virtual bool ForEachTrial(const StatisticsFilter& filter,
                              const std::function<bool(const TrialRecord&)>& visit) = 0;

    // Practice > Clear History: removes every trial, those of other drills
    // and other Riveks too. Returns false when it could not (Status says
    // why).
    virtual bool Clear() = 0;
};

}  // namespace rivek
