#include "storage/sqlite_history_store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "storage/history_schema.h"
#include "storage/outcome_codec.h"
#include "storage/sqlite_statement.h"

namespace rivek {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kBatch = 2000;   // trials per write transaction
constexpr std::int64_t kPage = 2000;   // trials per read of the CSV export

constexpr const char* kTrialColumns =
    "SELECT t.id, t.when_ms, t.day, t.drill_id, f.path, p.text, t.pitch_hz, t.speed_cpm, t.group_length, "
    "t.numerals, t.sent, t.answer, t.outcomes, t.wrong, t.missing, t.replays "
    "FROM trials t JOIN folders f ON f.id = t.folder_id JOIN pools p ON p.id = t.pool_id";

TrialRecord ReadTrial(const SqliteStatement& row) {
    TrialRecord trial;
    trial.WhenMs = row.Int(1);
    trial.Day = static_cast<std::int32_t>(row.Int(2));
    trial.DrillId = row.Int(3);
    trial.WorkingFolder = row.Bytes(4);
    trial.Pool = row.Bytes(5);
    trial.PitchHz = static_cast<std::int32_t>(row.Int(6));
    trial.SpeedCpm = static_cast<std::int32_t>(row.Int(7));
    trial.GroupLength = static_cast<std::int32_t>(row.Int(8));
    trial.Numerals = row.Int(9) == 1 ? NumeralForm::Abbreviated : NumeralForm::Standard;
    trial.Sent = row.Bytes(10);
    trial.Answer = row.Bytes(11);
    trial.Outcomes = DecodeOutcomes(row.Bytes(12)).value_or(std::vector<CharOutcome>{});
    trial.WrongCount = static_cast<std::int32_t>(row.Int(13));
    trial.MissingCount = static_cast<std::int32_t>(row.Int(14));
    trial.Replays = static_cast<std::int32_t>(row.Int(15));
    return trial;
}

bool IsDamage(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// "20261211-154751", local time, for the name of a file set aside.
std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// The filter as SQL conditions on a table with pool_id and speed_cpm
// columns (qualified by `table`, or "+" to keep their indexes out of the
// plan), with the values to bind from 1 on.
struct FilterSql {
    std::string where;
    std::vector<std::int64_t> values;

    FilterSql(const StatisticsFilter& filter, std::optional<std::int64_t> poolId, const std::string& table) {
        const auto add = [&](const char* condition, std::int64_t value) {
            where += " AND " + table + condition + std::to_string(values.size() + 1);
            values.push_back(value);
        };
        if (filter.Pool && poolId) add("pool_id = ?", *poolId);
        if (filter.MinSpeedCpm) add("speed_cpm >= ?", *filter.MinSpeedCpm);
        if (filter.MaxSpeedCpm) add("speed_cpm <= ?", *filter.MaxSpeedCpm);
    }
    void Bind(SqliteStatement& statement) const {
        for (std::size_t k = 0; k < values.size(); ++k) statement.Bind(static_cast<int>(k + 1), values[k]);
    }
};

}  // namespace

struct SqliteHistoryStore::Connection {
    sqlite3* db = nullptr;
    bool writable = false;
    struct stat identity {};  // the file opened, to tell it from a new one
    SqliteStatement insertTrial;
    SqliteStatement insertPool, findPool, insertFolder, findFolder;
    SqliteStatement dataVersion;
    std::unique_ptr<RunningCounts> counts;
    std::map<std::string, std::int64_t> poolIds, folderIds;
    std::int64_t seenDataVersion = -1;

    ~Connection() {
        // Statements go before the connection they belong to.
        insertTrial = {};
        insertPool = {};
        findPool = {};
        insertFolder = {};
        findFolder = {};
        dataVersion = {};
        counts.reset();
        sqlite3_close_v2(db);
    }

    int Execute(const char* sql) const { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

    // The id of a pool or folder text, added when new.
    int IdOf(const std::string& text, std::map<std::string, std::int64_t>& cache, SqliteStatement& insert,
             SqliteStatement& find, std::int64_t& id) {
        if (const auto known = cache.find(text); known != cache.end()) {
            id = known->second;
            return SQLITE_OK;
        }
        insert.BindBytes(1, text);
        int code = insert.Step();
        insert.Reset();
        if (code != SQLITE_DONE) return code;
        find.BindBytes(1, text);
        code = find.Step();
        if (code == SQLITE_ROW) id = find.Int(0);
        find.Reset();
        if (code != SQLITE_ROW) return code == SQLITE_DONE ? SQLITE_INTERNAL : code;
        cache.emplace(text, id);
        return SQLITE_OK;
    }

    // The pool's id, nullopt when the history has never drawn from it.
    std::optional<std::int64_t> FindPool(const std::string& text) {
        SqliteStatement find(db, "SELECT id FROM pools WHERE text = ?1");
        find.BindBytes(1, text);
        if (find.Step() != SQLITE_ROW) return std::nullopt;
        return find.Int(0);
    }

    int Insert(const TrialRecord& trial) {
        std::int64_t poolId = 0;
        std::int64_t folderId = 0;
        int code = IdOf(trial.Pool, poolIds, insertPool, findPool, poolId);
        if (code == SQLITE_OK) code = IdOf(trial.WorkingFolder, folderIds, insertFolder, findFolder, folderId);
        if (code != SQLITE_OK) return code;
        SqliteStatement& s = insertTrial;
        s.Bind(1, trial.WhenMs);
        s.Bind(2, trial.Day);
        s.Bind(3, trial.DrillId);
        s.Bind(4, folderId);
        s.Bind(5, poolId);
        s.Bind(6, trial.PitchHz);
        s.Bind(7, trial.SpeedCpm);
        s.Bind(8, trial.GroupLength);
        s.Bind(9, trial.Numerals == NumeralForm::Abbreviated ? 1 : 0);
        s.BindBytes(10, trial.Sent);
        s.BindBytes(11, trial.Answer);
        s.BindBytes(12, EncodeOutcomes(trial.Outcomes));
        s.Bind(13, trial.WrongCount);
        s.Bind(14, trial.MissingCount);
        s.Bind(15, trial.Replays);
        code = s.Step();
        s.Reset();
        if (code != SQLITE_DONE) return code;
        return counts->Add(trial.Day, poolId, trial.SpeedCpm, trial.Outcomes, trial.WrongCount, trial.MissingCount);
    }

    // Writes the trials in one transaction; all or nothing.
    int InsertAll(const std::vector<TrialRecord>& trials) {
        int code = Execute("BEGIN IMMEDIATE");
        if (code != SQLITE_OK) return code;
        // Another Rivek may have cleared the history since our last write,
        // and with it the pools and folders whose ids we remember.
        code = dataVersion.Step();
        if (code == SQLITE_ROW) {
            if (dataVersion.Int(0) != seenDataVersion) {
                poolIds.clear();
                folderIds.clear();
            }
            code = SQLITE_OK;
        }
        dataVersion.Reset();
        for (const TrialRecord& trial : trials) {
            if (code != SQLITE_OK) break;
            code = Insert(trial);
        }
        if (code == SQLITE_OK) code = Execute("COMMIT");
        if (code != SQLITE_OK) {
            Execute("ROLLBACK");
            // Ids handed out inside the transaction are gone with it.
            poolIds.clear();
            folderIds.clear();
            return code;
        }
        if (dataVersion.Step() == SQLITE_ROW) seenDataVersion = dataVersion.Int(0);
        dataVersion.Reset();
        return SQLITE_OK;
    }
};

SqliteHistoryStore::SqliteHistoryStore(std::filesystem::path file, SqliteHistoryOptions options)
    : file_(std::move(file)), options_(options), drillNumbers_(std::random_device{}()) {
    worker_ = std::thread([this] { Work(); });
}

SqliteHistoryStore::~SqliteHistoryStore() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

std::int64_t SqliteHistoryStore::BeginDrill() {
    // The start time in ms and ten random bits: unique among Riveks that
    // share the file, and in the order the drills began.
    const std::lock_guard lock(mutex_);
    const auto random = static_cast<std::int64_t>(drillNumbers_() & 0x3FF);
    return (UnixMillisecondsNow() << 10) | random;
}

void SqliteHistoryStore::Record(TrialRecord trial) {
    {
        const std::lock_guard lock(mutex_);
        if (!recording_ || options_.ReadOnly) return;
        if (static_cast<std::int64_t>(waiting_.size()) >= kMaxWaitingTrials) {
            ++dropped_;
            return;
        }
        waiting_.push_back(std::move(trial));
    }
    wake_.notify_one();
}

void SqliteHistoryStore::SetRecording(bool on) {
    const std::lock_guard lock(mutex_);
    recording_ = on;
}

RecordingStatus SqliteHistoryStore::Status() const {
    const std::lock_guard lock(mutex_);
    RecordingStatus status;
    status.Waiting = static_cast<std::int64_t>(waiting_.size());
    if (!recording_) {
        status.On = false;
        status.Message = kRecordingSwitchedOff;
    } else if (!problem_.empty()) {
        status.On = false;
        status.Message = problem_;
        if (dropped_ > 0) {
            status.Message += " " + std::to_string(dropped_) + " trials could not be kept.";
        }
    } else {
        status.Message = notice_;
    }
    return status;
}

void SqliteHistoryStore::Work() {
    Open();
    std::unique_lock lock(mutex_);
    for (;;) {
        const bool writeDue = !waiting_.empty() && Clock::now() >= nextTry_;
        if (!tasks_.empty()) {
            auto [number, task] = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            // A query sees the trials recorded before it.
            WriteWaiting(false);
            if (!connection_) Open();
            task(connection_.get());
            lock.lock();
            tasksDone_ = number;
            done_.notify_all();
        } else if (writeDue) {
            lock.unlock();
            WriteWaiting(false);
            lock.lock();
        } else if (stopping_) {
            lock.unlock();
            WriteWaiting(true);
            Close();
            return;
        } else if (waiting_.empty()) {
            wake_.wait(lock);
        } else {
            wake_.wait_until(lock, nextTry_);
        }
    }
}

void SqliteHistoryStore::RunOnWorker(const Task& task) {
    std::unique_lock lock(mutex_);
    const std::uint64_t number = ++tasksQueued_;
    tasks_.emplace_back(number, task);
    wake_.notify_all();
    done_.wait(lock, [&] { return tasksDone_ >= number; });
}

void SqliteHistoryStore::Flush() {
    RunOnWorker([](Connection*) {});
}

bool SqliteHistoryStore::Open() {
    if (connection_) return true;
    const auto setProblem = [this](std::string problem) {
        const std::lock_guard lock(mutex_);
        problem_ = std::move(problem);
    };
    const std::string name = file_.string();
    if (file_.empty()) {
        setProblem("History is not being recorded: there is no home folder to keep it in.");
        return false;
    }
    if (options_.ReadOnly) {
        std::error_code error;
        if (!fs::exists(file_, error)) {
            setProblem("There is no history in " + name + " yet.");
            return false;
        }
    } else {
        std::error_code error;
        fs::create_directories(file_.parent_path(), error);
        if (error) {
            setProblem("History is not being recorded: the folder " + file_.parent_path().string() +
                       " cannot be made (" + error.message() + ").");
            return false;
        }
    }

    for (int attempt = 0; attempt < 2; ++attempt) {
        auto connection = std::make_unique<Connection>();
        const int flags = options_.ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        int code = sqlite3_open_v2(name.c_str(), &connection->db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
        if (connection->db != nullptr) {
            sqlite3_extended_result_codes(connection->db, 1);
            sqlite3_busy_timeout(connection->db, static_cast<int>(options_.BusyTimeout.count()));
        }
        int version = -1;
        if (code == SQLITE_OK) version = HistorySchemaVersion(connection->db, code);
        if (code == SQLITE_OK && !options_.ReadOnly && version > kHistorySchemaVersion) {
            setProblem("History is not being recorded: " + name +
                       " was written by a newer Rivek, which this one leaves alone.");
            return false;
        }
        if (code == SQLITE_OK && !options_.ReadOnly) {
            // WAL lets a second Rivek read and write beside this one; FULL
            // makes each commit survive a power cut.
            {
                SqliteStatement journal(connection->db, "PRAGMA journal_mode = WAL");
                code = journal.Step();
                if (code == SQLITE_ROW) code = journal.Bytes(0) == "wal" ? SQLITE_OK : SQLITE_READONLY;
            }
            if (code == SQLITE_OK) code = connection->Execute("PRAGMA synchronous = FULL");
            if (code == SQLITE_OK && version < kHistorySchemaVersion) code = MigrateHistory(connection->db);
        }
        if (code == SQLITE_OK && !options_.ReadOnly) {
            Connection& c = *connection;
            c.insertTrial = SqliteStatement(
                c.db, "INSERT INTO trials (when_ms, day, drill_id, folder_id, pool_id, pitch_hz, speed_cpm, "
                      "group_length, numerals, sent, answer, outcomes, wrong, missing, replays) "
                      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)");
            c.insertPool = SqliteStatement(c.db, "INSERT INTO pools (text) VALUES (?1) ON CONFLICT DO NOTHING");
            c.findPool = SqliteStatement(c.db, "SELECT id FROM pools WHERE text = ?1");
            c.insertFolder = SqliteStatement(c.db, "INSERT INTO folders (path) VALUES (?1) ON CONFLICT DO NOTHING");
            c.findFolder = SqliteStatement(c.db, "SELECT id FROM folders WHERE path = ?1");
            c.dataVersion = SqliteStatement(c.db, "PRAGMA data_version");
            c.counts = std::make_unique<RunningCounts>(c.db);
            for (const int prepared : {c.insertTrial.PrepareCode(), c.insertPool.PrepareCode(), c.findPool.PrepareCode(),
                                       c.insertFolder.PrepareCode(), c.findFolder.PrepareCode(),
                                       c.dataVersion.PrepareCode(), c.counts->PrepareCode()}) {
                if (code == SQLITE_OK) code = prepared;
            }
            c.writable = true;
        }
        if (code == SQLITE_OK) {
            ::stat(name.c_str(), &connection->identity);
            // A file without write permission opens for reading only.
            const bool readOnlyFile = connection->writable && sqlite3_db_readonly(connection->db, "main") == 1;
            connection->writable = connection->writable && !readOnlyFile;
            connection_ = std::move(connection);
            // Recording counts as working again only once a write succeeds.
            if (readOnlyFile) Failed(SQLITE_READONLY, "write");
            return true;
        }
        const int system = connection->db != nullptr ? sqlite3_system_errno(connection->db) : 0;
        connection.reset();
        if (IsDamage(code) && !options_.ReadOnly && SetAside()) continue;  // then start a new file
        errno = system;
        Failed(code, "open");
        // The statistics can still be read from a file that cannot be
        // written (a read-only file or folder).
        if (!options_.ReadOnly && !IsDamage(code)) {
            auto reader = std::make_unique<Connection>();
            if (sqlite3_open_v2(name.c_str(), &reader->db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) ==
                SQLITE_OK) {
                int readCode = SQLITE_OK;
                sqlite3_busy_timeout(reader->db, static_cast<int>(options_.BusyTimeout.count()));
                if (HistorySchemaVersion(reader->db, readCode) == kHistorySchemaVersion) {
                    connection_ = std::move(reader);
                    return true;
                }
            }
        }
        return false;
    }
    return false;
}

void SqliteHistoryStore::Close() { connection_.reset(); }

bool SqliteHistoryStore::SetAside() {
    const std::string name = file_.string();
    // Only the file this store opened: a second Rivek that found the same
    // damage may have set it aside and started a new one already.
    struct stat now {};
    if (connection_ && ::stat(name.c_str(), &now) == 0 &&
        (now.st_ino != connection_->identity.st_ino || now.st_dev != connection_->identity.st_dev)) {
        Close();
        return true;
    }
    Close();
    std::string aside = name + ".corrupt-" + TimeStamp();
    for (int k = 2; fs::exists(aside) || fs::exists(aside + "-wal"); ++k) {
        aside = name + ".corrupt-" + TimeStamp() + "-" + std::to_string(k);
    }
    if (::rename(name.c_str(), aside.c_str()) != 0 && errno != ENOENT) return false;
    // The log belongs with the file it logs; the shared-memory index is
    // rebuilt from them.
    ::rename((name + "-wal").c_str(), (aside + "-wal").c_str());
    ::unlink((name + "-shm").c_str());
    const std::lock_guard lock(mutex_);
    notice_ = "The history file was damaged; it was kept as " + fs::path(aside).filename().string() +
              " and a new history was started.";
    return true;
}

void SqliteHistoryStore::Failed(int code, const char* doing) {
    const int primary = code & 0xFF;
    const int system = errno;
    const std::string name = file_.string();
    const std::string why = system != 0 ? std::string(" (") + std::strerror(system) + ")" : std::string();
    std::string problem;
    switch (primary) {
        case SQLITE_FULL: problem = "History is not being recorded: the disk that holds " + name + " is full."; break;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            problem = "History is not being recorded: another program, perhaps a second Rivek, has kept " + name +
                      " locked for too long.";
            break;
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH: {
            // SQLite's own errno is that of its last attempt, often a
            // fallback; asking the file system names the real obstacle.
            const std::string folder = file_.parent_path().string();
            std::error_code error;
            const bool exists = fs::exists(file_, error);
            if (exists && ::access(name.c_str(), W_OK) != 0) {
                problem = "History is not being recorded: " + name + " is read-only (" + std::strerror(errno) + ").";
            } else if (::access(folder.c_str(), W_OK | X_OK) != 0) {
                problem = "History is not being recorded: the folder " + folder + " cannot be written to (" +
                          std::strerror(errno) + ").";
            } else {
                problem = "History is not being recorded: " + name + " cannot be " +
                          (std::strcmp(doing, "open") == 0 ? "opened for writing" : "written") + why + ".";
            }
            break;
        }
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            problem = "History is not being recorded: " + name + " is damaged and could not be set aside" + why + ".";
            break;
        case SQLITE_IOERR:
            problem = "History is not being recorded: " + name + " could not be written" + why + ".";
            break;
        default: problem = "History is not being recorded: " + name + " could not be used."; break;
    }
    const std::lock_guard lock(mutex_);
    problem_ = std::move(problem);
}

void SqliteHistoryStore::WriteWaiting(bool retryNow) {
    {
        const std::lock_guard lock(mutex_);
        if (waiting_.empty()) return;
    }
    if (!retryNow && Clock::now() < nextTry_) return;
    if (connection_ && !connection_->writable) Close();  // perhaps writable by now
    if (!Open() || !connection_->writable) {
        nextTry_ = Clock::now() + options_.RetryInterval;
        return;
    }
    bool setAsideOnce = false;
    for (;;) {
        std::vector<TrialRecord> batch;
        {
            const std::lock_guard lock(mutex_);
            const std::size_t take = std::min(kBatch, waiting_.size());
            if (take == 0) return;
            batch.reserve(take);
            for (std::size_t k = 0; k < take; ++k) {
                batch.push_back(std::move(waiting_.front()));
                waiting_.pop_front();
            }
        }
        errno = 0;
        const int code = connection_->InsertAll(batch);
        if (code == SQLITE_OK) {
            const std::lock_guard lock(mutex_);
            problem_.clear();
            continue;
        }
        const int system = sqlite3_system_errno(connection_->db);
        {
            // Back in front, in their order, to be tried again.
            const std::lock_guard lock(mutex_);
            for (auto trial = batch.rbegin(); trial != batch.rend(); ++trial) waiting_.push_front(std::move(*trial));
        }
        if (IsDamage(code) && !setAsideOnce && SetAside() && Open() && connection_->writable) {
            setAsideOnce = true;
            continue;
        }
        errno = system;
        Failed(code, "write");
        const int primary = code & 0xFF;
        if (primary != SQLITE_BUSY && primary != SQLITE_LOCKED && primary != SQLITE_FULL) Close();
        nextTry_ = Clock::now() + options_.RetryInterval;
        return;
    }
}

HistorySummary SqliteHistoryStore::Summary(const StatisticsFilter& filter, std::int64_t drillId) {
    HistorySummary summary;
    RunOnWorker([&](Connection* c) {
        SummaryBuilder builder(filter, drillId);
        if (c == nullptr) return;
        std::optional<std::int64_t> poolId;
        if (filter.Pool) {
            poolId = c->FindPool(*filter.Pool);
            if (!poolId) return;  // never drawn from: nothing to count
        }
        const FilterSql days(filter, poolId, "");
        int code = SQLITE_OK;
        {
            SqliteStatement s(c->db,
                              "SELECT day, SUM(trial_count), SUM(sent_count), SUM(right_count), SUM(wrong_chars), "
                              "SUM(missing_chars), SUM(extra_chars), SUM(wrong_count), SUM(missing_count), "
                              "SUM(speed_cpm * sent_count), MAX(speed_cpm) FROM day_counts WHERE 1" +
                                  days.where + " GROUP BY day ORDER BY day");
            days.Bind(s);
            Totals& all = builder.AllTime();
            while ((code = s.Step()) == SQLITE_ROW) {
                all.Groups += s.Int(1);
                all.Sent += s.Int(2);
                all.Right += s.Int(3);
                all.Wrong += s.Int(4);
                all.Missing += s.Int(5);
                all.Extra += s.Int(6);
                all.WrongCount += s.Int(7);
                all.MissingCount += s.Int(8);
                builder.AddDay({static_cast<std::int32_t>(s.Int(0)), s.Int(1), s.Int(2), s.Int(3), s.Int(9),
                                static_cast<std::int32_t>(s.Int(10))});
            }
        }
        if (code == SQLITE_DONE) {
            SqliteStatement s(c->db, "SELECT sent, result, typed, SUM(times) FROM character_counts WHERE 1" +
                                         days.where + " GROUP BY sent, result, typed");
            days.Bind(s);
            while ((code = s.Step()) == SQLITE_ROW) {
                builder.AddCharacterCount(s.Bytes(0), static_cast<CharResult>(s.Int(1) & 3), s.Bytes(2), s.Int(3));
            }
        }
        if (code == SQLITE_DONE) {
            // The unary plus keeps SQLite from reading the whole pool
            // through its index: the drill's index finds a few dozen rows.
            const FilterSql trials(filter, poolId, "+");
            SqliteStatement s(c->db, "SELECT outcomes, wrong, missing FROM trials WHERE drill_id = ?" +
                                         std::to_string(trials.values.size() + 1) + trials.where);
            trials.Bind(s);
            s.Bind(static_cast<int>(trials.values.size() + 1), drillId);
            TrialRecord trial;
            while ((code = s.Step()) == SQLITE_ROW) {
                trial.Outcomes = DecodeOutcomes(s.Bytes(0)).value_or(std::vector<CharOutcome>{});
                trial.WrongCount = static_cast<std::int32_t>(s.Int(1));
                trial.MissingCount = static_cast<std::int32_t>(s.Int(2));
                builder.ThisDrill().Add(trial);
            }
        }
        // Only a file this store may write is set aside: a reader never
        // moves another's history.
        if (IsDamage(code) && c->writable) {
            if (SetAside()) Open();
            return;
        }
        summary = std::move(builder).Finish();
    });
    return summary;
}

KochStanding SqliteHistoryStore::Koch(std::string_view pool) {
    KochStanding standing;
    RunOnWorker([&](Connection* c) {
        if (c == nullptr) return;
        const std::optional<std::int64_t> poolId = c->FindPool(std::string(pool));
        if (!poolId) return;
        SqliteStatement sent(c->db, "SELECT SUM(sent_count) FROM day_counts WHERE pool_id = ?1");
        sent.Bind(1, *poolId);
        if (sent.Step() == SQLITE_ROW) standing.SentInLesson = sent.Int(0);
        SqliteStatement newest(c->db, "SELECT outcomes FROM trials WHERE pool_id = ?1 ORDER BY id DESC");
        newest.Bind(1, *poolId);
        KochWindow window;
        TrialRecord trial;
        while (newest.Step() == SQLITE_ROW) {
            trial.Outcomes = DecodeOutcomes(newest.Bytes(0)).value_or(std::vector<CharOutcome>{});
            if (!window.AddNewerFirst(trial)) break;
        }
        window.Fill(standing);
    });
    return standing;
}

FilterChoices SqliteHistoryStore::Choices() {
    FilterChoices choices;
    RunOnWorker([&](Connection* c) {
        if (c == nullptr) return;
        SqliteStatement pools(c->db,
                              "SELECT p.text, SUM(d.trial_count), MAX(d.day) FROM day_counts d "
                              "JOIN pools p ON p.id = d.pool_id GROUP BY d.pool_id");
        while (pools.Step() == SQLITE_ROW) {
            choices.Pools.push_back({pools.Bytes(0), pools.Int(1), static_cast<std::int32_t>(pools.Int(2))});
        }
        SortPoolChoices(choices.Pools);
        SqliteStatement speeds(c->db, "SELECT DISTINCT speed_cpm FROM day_counts ORDER BY speed_cpm");
        while (speeds.Step() == SQLITE_ROW) choices.Speeds.push_back(static_cast<std::int32_t>(speeds.Int(0)));
    });
    return choices;
}

std::optional<std::int64_t> SqliteHistoryStore::LatestDrill() {
    std::optional<std::int64_t> drill;
    RunOnWorker([&](Connection* c) {
        if (c == nullptr) return;
        SqliteStatement s(c->db, "SELECT drill_id FROM trials ORDER BY id DESC LIMIT 1");
        if (s.Step() == SQLITE_ROW) drill = s.Int(0);
    });
    return drill;
}

std::vector<TrialRecord> SqliteHistoryStore::LatestTrials(std::int32_t count) {
    std::vector<TrialRecord> trials;
    RunOnWorker([&](Connection* c) {
        if (c == nullptr || count <= 0) return;
        SqliteStatement s(c->db, std::string(kTrialColumns) + " ORDER BY t.id DESC LIMIT ?1");
        s.Bind(1, count);
        while (s.Step() == SQLITE_ROW) trials.push_back(ReadTrial(s));
        std::reverse(trials.begin(), trials.end());
    });
    return trials;
}

std::int64_t SqliteHistoryStore::CountTrials(const StatisticsFilter& filter) {
    std::int64_t count = 0;
    RunOnWorker([&](Connection* c) {
        if (c == nullptr) return;
        std::optional<std::int64_t> poolId;
        if (filter.Pool && !(poolId = c->FindPool(*filter.Pool))) return;
        const FilterSql where(filter, poolId, "");
        SqliteStatement s(c->db, "SELECT SUM(trial_count) FROM day_counts WHERE 1" + where.where);
        where.Bind(s);
        if (s.Step() == SQLITE_ROW) count = s.Int(0);
    });
    return count;
}

bool SqliteHistoryStore::ForEachTrial(const StatisticsFilter& filter,
                                      const std::function<bool(const TrialRecord&)>& visit) {
    // Page by page on the store's thread; the visitor runs on the caller's.
    std::int64_t after = 0;
    for (;;) {
        std::vector<TrialRecord> page;
        bool readable = true;
        bool end = false;
        RunOnWorker([&](Connection* c) {
            if (c == nullptr) {
                readable = false;
                return;
            }
            std::optional<std::int64_t> poolId;
            if (filter.Pool && !(poolId = c->FindPool(*filter.Pool))) {
                end = true;
                return;
            }
            const FilterSql where(filter, poolId, "t.");
            const int next = static_cast<int>(where.values.size() + 1);
            SqliteStatement s(c->db, std::string(kTrialColumns) + " WHERE t.id > ?" + std::to_string(next) +
                                         where.where + " ORDER BY t.id LIMIT ?" + std::to_string(next + 1));
            where.Bind(s);
            s.Bind(next, after);
            s.Bind(next + 1, kPage);
            int code = SQLITE_OK;
            while ((code = s.Step()) == SQLITE_ROW) {
                page.push_back(ReadTrial(s));
                after = s.Int(0);
            }
            readable = code == SQLITE_DONE;
            end = page.size() < static_cast<std::size_t>(kPage);
        });
        for (const TrialRecord& trial : page) {
            if (!visit(trial)) return true;
        }
        if (!readable) return false;
        if (end) return true;
    }
}

bool SqliteHistoryStore::Clear() {
    bool cleared = false;
    RunOnWorker([&](Connection* c) {
        if (c == nullptr || !c->writable) return;
        int code = c->Execute(
            "BEGIN IMMEDIATE; DELETE FROM trials; DELETE FROM day_counts; DELETE FROM character_counts; "
            "DELETE FROM pools; DELETE FROM folders; COMMIT");
        if (code != SQLITE_OK) {
            c->Execute("ROLLBACK");
            errno = sqlite3_system_errno(c->db);
            Failed(code, "write");
            return;
        }
        c->poolIds.clear();
        c->folderIds.clear();
        // Deleted rows would otherwise stay readable in free pages: the file
        // is rebuilt without them, and the log emptied.
        c->Execute("VACUUM");
        c->Execute("PRAGMA wal_checkpoint(TRUNCATE)");
        cleared = true;
        const std::lock_guard lock(mutex_);
        dropped_ = 0;
    });
    return cleared;
}

}  // namespace rivek
