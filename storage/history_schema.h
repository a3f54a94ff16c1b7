// The tables of the history file and the steps from one version to the
// next. The version is the file's PRAGMA user_version; 0 is a new file.
//   1  trials, with their pools and working folders; indexes by drill and
//      by pool.
//   2  running counts for the statistics: per day, pool and speed, and per
//      pool, speed, sent character, result and typed character, with an
//      index that reads the latter in character order; filled from the
//      trials already there.
#pragma once

#include <sqlite3.h>

namespace rivek {

inline constexpr int kHistorySchemaVersion = 2;

// The file's user_version, or -1 with the error code in `code`.
int HistorySchemaVersion(sqlite3* db, int& code);

// Takes the file from its version to `toVersion` (at most
// kHistorySchemaVersion) inside one write transaction; a file already there
// or newer is left alone. Returns SQLITE_OK or the error that stopped it,
// with nothing changed.
int MigrateHistory(sqlite3* db, int toVersion = kHistorySchemaVersion);

}  // namespace rivek

#include <cstdint>
#include <vector>

#include "checking/char_outcome.h"
#include "storage/sqlite_statement.h"

namespace rivek {

// Adds one trial to the running counts of version 2; the caller holds the
// write transaction.
class RunningCounts {
public:
    explicit RunningCounts(sqlite3* db);
    int PrepareCode() const;
    int Add(std::int64_t day, std::int64_t poolId, std::int64_t speedCpm, const std::vector<CharOutcome>& outcomes,
            std::int64_t wrongCount, std::int64_t missingCount);

private:
    SqliteStatement day_;
    SqliteStatement character_;
};

}  // namespace rivek
