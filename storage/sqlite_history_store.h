// The history in an SQLite file (Debian's libsqlite3), by default
// $XDG_DATA_HOME/rivek/history.sqlite3 (DefaultHistoryPath).
//
// One thread of the store's own does all the work on the file: it opens it
// (creating the folder and the file, bringing an older file up to date),
// writes the trials that Record hands over, in batches of one transaction
// each, and runs the queries, which wait for it. The file is in WAL mode
// with a busy timeout, so two Riveks can record into one history at once.
//
// What goes wrong never stops the drill:
//   - a file or folder that cannot be opened or written (missing rights, a
//     read-only folder or file system), a full disk, or a file another
//     program keeps locked past the busy timeout: recording is off, Status
//     says why in one sentence, and the trials taken meanwhile are kept in
//     memory (up to kMaxWaitingTrials) and written as soon as a later try
//     succeeds; tries are made every few seconds while trials wait;
//   - a damaged file (not a database, or damaged inside): it is renamed to
//     "history.sqlite3.corrupt-<YYYYMMDD-HHMMSS>" beside itself, a new
//     history is started, and Status tells so while recording goes on.
// A trial the file has committed is never lost: writes are synchronous
// (PRAGMA synchronous=FULL) and a failed batch is rolled back whole and
// tried again.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "history/history_store.h"

struct sqlite3;

namespace rivek {

inline constexpr std::int64_t kMaxWaitingTrials = 100'000;

struct SqliteHistoryOptions {
    // How long a write or a query waits for another program's lock.
    std::chrono::milliseconds BusyTimeout{5000};
    // How long to wait before trying again after a failure.
    std::chrono::milliseconds RetryInterval{3000};
    // Only read (rivek-tool): never create, change or set aside the file.
    bool ReadOnly = false;
};

class SqliteHistoryStore final : public HistoryStore {
public:
    explicit SqliteHistoryStore(std::filesystem::path file, SqliteHistoryOptions options = {});
    // Writes what is still waiting (one try, waiting at most the busy
    // timeout), then closes the file.
    ~SqliteHistoryStore() override;
    SqliteHistoryStore(const SqliteHistoryStore&) = delete;
    SqliteHistoryStore& operator=(const SqliteHistoryStore&) = delete;

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

    // Waits until every trial recorded so far has been tried once (written,
    // or kept waiting after a failure). For tests and benchmarks.
    void Flush();

    const std::filesystem::path& File() const { return file_; }

private:
    struct Connection;
    using Task = std::function<void(Connection*)>;

    void Work();
    void RunOnWorker(const Task& task);
    // On the worker thread.
    bool Open();
    void Close();
    void WriteWaiting(bool retryNow);
    void Failed(int code, const char* doing);
    bool SetAside();

    const std::filesystem::path file_;
    const SqliteHistoryOptions options_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<TrialRecord> waiting_;
    std::deque<std::pair<std::uint64_t, Task>> tasks_;
    std::uint64_t tasksQueued_ = 0;
    std::uint64_t tasksDone_ = 0;
    bool stopping_ = false;
    bool recording_ = true;
    std::string problem_;  // why recording is off; empty while it works
    std::string notice_;   // a file set aside
    std::int64_t dropped_ = 0;
    std::mt19937_64 drillNumbers_;

    // Worker thread only.
    std::unique_ptr<Connection> connection_;
    std::chrono::steady_clock::time_point nextTry_{};

    std::thread worker_;
};

}  // namespace rivek
