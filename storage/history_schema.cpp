#include "storage/history_schema.h"

#include <map>
#include <string>
#include <tuple>

#include "storage/outcome_codec.h"

namespace rivek {
namespace {

// Version 1. Texts are code page 932 bytes and folder names as the file
// system gives them, so all are BLOBs: SQLite then never converts them.
// `numerals` is 0 standard, 1 abbreviated; `outcomes` is EncodeOutcomes.
constexpr const char* kVersion1 = R"sql(
CREATE TABLE pools (
  id INTEGER PRIMARY KEY,
  text BLOB NOT NULL UNIQUE
);
CREATE TABLE folders (
  id INTEGER PRIMARY KEY,
  path BLOB NOT NULL UNIQUE
);
CREATE TABLE trials (
  id INTEGER PRIMARY KEY,
  when_ms INTEGER NOT NULL,
  day INTEGER NOT NULL,
  drill_id INTEGER NOT NULL,
  folder_id INTEGER NOT NULL REFERENCES folders(id),
  pool_id INTEGER NOT NULL REFERENCES pools(id),
  pitch_hz INTEGER NOT NULL,
  speed_cpm INTEGER NOT NULL,
  group_length INTEGER NOT NULL,
  numerals INTEGER NOT NULL,
  sent BLOB NOT NULL,
  answer BLOB NOT NULL,
  outcomes BLOB NOT NULL,
  wrong INTEGER NOT NULL,
  missing INTEGER NOT NULL,
  replays INTEGER NOT NULL
);
CREATE INDEX trials_by_drill ON trials(drill_id);
CREATE INDEX trials_by_pool ON trials(pool_id);
)sql";

// Version 2: the statistics read these small tables instead of every
// trial. A row of day_counts holds one day at one pool and speed; a row of
// character_counts how often a sent character had one result (and, when
// wrong, was taken for one typed character) at one pool and speed; its
// index holds every column, so the character table of all pools and speeds
// is summed in one ordered pass instead of a sort.
constexpr const char* kVersion2 = R"sql(
CREATE TABLE day_counts (
  day INTEGER NOT NULL,
  pool_id INTEGER NOT NULL,
  speed_cpm INTEGER NOT NULL,
  trial_count INTEGER NOT NULL,
  sent_count INTEGER NOT NULL,
  right_count INTEGER NOT NULL,
  wrong_chars INTEGER NOT NULL,
  missing_chars INTEGER NOT NULL,
  extra_chars INTEGER NOT NULL,
  wrong_count INTEGER NOT NULL,
  missing_count INTEGER NOT NULL,
  PRIMARY KEY (day, pool_id, speed_cpm)
) WITHOUT ROWID;
CREATE TABLE character_counts (
  pool_id INTEGER NOT NULL,
  speed_cpm INTEGER NOT NULL,
  sent BLOB NOT NULL,
  result INTEGER NOT NULL,
  typed BLOB NOT NULL,
  times INTEGER NOT NULL,
  PRIMARY KEY (pool_id, speed_cpm, sent, result, typed)
) WITHOUT ROWID;
CREATE INDEX character_counts_by_character
  ON character_counts (sent, result, typed, pool_id, speed_cpm, times);
)sql";

int Execute(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

int FillRunningCounts(sqlite3* db) {
    RunningCounts counts(db);
    if (counts.PrepareCode() != SQLITE_OK) return counts.PrepareCode();
    SqliteStatement trials(db, "SELECT day, pool_id, speed_cpm, outcomes, wrong, missing FROM trials ORDER BY id");
    if (trials.PrepareCode() != SQLITE_OK) return trials.PrepareCode();
    int code = SQLITE_OK;
    while ((code = trials.Step()) == SQLITE_ROW) {
        // A damaged outcomes field counts the trial without its characters.
        const std::vector<CharOutcome> outcomes = DecodeOutcomes(trials.Bytes(3)).value_or(std::vector<CharOutcome>{});
        code = counts.Add(trials.Int(0), trials.Int(1), trials.Int(2), outcomes, trials.Int(4), trials.Int(5));
        if (code != SQLITE_OK) return code;
    }
    return code == SQLITE_DONE ? SQLITE_OK : code;
}

}  // namespace

int HistorySchemaVersion(sqlite3* db, int& code) {
    SqliteStatement version(db, "PRAGMA user_version");
    code = version.PrepareCode();
    if (code != SQLITE_OK) return -1;
    code = version.Step();
    if (code != SQLITE_ROW) return -1;
    code = SQLITE_OK;
    return static_cast<int>(version.Int(0));
}

int MigrateHistory(sqlite3* db, int toVersion) {
    int code = Execute(db, "BEGIN IMMEDIATE");
    if (code != SQLITE_OK) return code;
    // Read inside the transaction: another Rivek may have migrated meanwhile.
    int version = HistorySchemaVersion(db, code);
    if (code == SQLITE_OK) {
        if (version < 1 && toVersion >= 1) code = Execute(db, kVersion1);
        if (code == SQLITE_OK && version < 2 && toVersion >= 2) {
            code = Execute(db, kVersion2);
            if (code == SQLITE_OK) code = FillRunningCounts(db);
        }
        if (code == SQLITE_OK && version < toVersion) {
            code = Execute(db, ("PRAGMA user_version = " + std::to_string(toVersion)).c_str());
        }
    }
    if (code == SQLITE_OK) code = Execute(db, "COMMIT");
    if (code != SQLITE_OK) Execute(db, "ROLLBACK");
    return code;
}

RunningCounts::RunningCounts(sqlite3* db)
    : day_(db,
           "INSERT INTO day_counts VALUES (?1, ?2, ?3, 1, ?4, ?5, ?6, ?7, ?8, ?9, ?10) "
           "ON CONFLICT DO UPDATE SET trial_count = trial_count + 1, sent_count = sent_count + ?4, "
           "right_count = right_count + ?5, wrong_chars = wrong_chars + ?6, missing_chars = missing_chars + ?7, "
           "extra_chars = extra_chars + ?8, wrong_count = wrong_count + ?9, missing_count = missing_count + ?10"),
      character_(db,
                 "INSERT INTO character_counts VALUES (?1, ?2, ?3, ?4, ?5, ?6) "
                 "ON CONFLICT DO UPDATE SET times = times + ?6") {}

int RunningCounts::PrepareCode() const {
    return day_.PrepareCode() != SQLITE_OK ? day_.PrepareCode() : character_.PrepareCode();
}

int RunningCounts::Add(std::int64_t day, std::int64_t poolId, std::int64_t speedCpm,
                       const std::vector<CharOutcome>& outcomes, std::int64_t wrongCount, std::int64_t missingCount) {
    std::int64_t perResult[4] = {0, 0, 0, 0};
    // The trial's characters, each (sent, result, typed) once; typed only
    // tells for a wrong character.
    std::map<std::tuple<std::string, int, std::string>, std::int64_t> characters;
    for (const CharOutcome& outcome : outcomes) {
        const int result = static_cast<int>(outcome.Result);
        perResult[result] += 1;
        if (outcome.Result == CharResult::Extra) continue;
        characters[{outcome.Sent, result, outcome.Result == CharResult::Wrong ? outcome.Typed : std::string()}] += 1;
    }
    day_.Bind(1, day);
    day_.Bind(2, poolId);
    day_.Bind(3, speedCpm);
    day_.Bind(4, perResult[0] + perResult[1] + perResult[2]);
    day_.Bind(5, perResult[0]);
    day_.Bind(6, perResult[1]);
    day_.Bind(7, perResult[2]);
    day_.Bind(8, perResult[3]);
    day_.Bind(9, wrongCount);
    day_.Bind(10, missingCount);
    int code = day_.Step();
    day_.Reset();
    if (code != SQLITE_DONE) return code;
    for (const auto& [key, times] : characters) {
        character_.Bind(1, poolId);
        character_.Bind(2, speedCpm);
        character_.BindBytes(3, std::get<0>(key));
        character_.Bind(4, std::get<1>(key));
        character_.BindBytes(5, std::get<2>(key));
        character_.Bind(6, times);
        code = character_.Step();
        character_.Reset();
        if (code != SQLITE_DONE) return code;
    }
    return SQLITE_OK;
}

}  // namespace rivek
