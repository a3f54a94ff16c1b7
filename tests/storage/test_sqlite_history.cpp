// The SQLite history against real files in temporary folders: every query
// against the in-memory store fed the same trials, a file of the first
// schema version brought up to date, and each way the file can fail: a
// folder that cannot be made, a read-only folder, a full disk, a file
// locked by another writer, a damaged file; two writers at once.
#include <fcntl.h>
#include <sched.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fakes/history_samples.h"
#include "support/temp_dir.h"
#include "history/memory_history_store.h"
#include "storage/history_path.h"
#include "storage/history_schema.h"
#include "storage/outcome_codec.h"
#include "storage/sqlite_history_store.h"
#include "support/child_process.h"

namespace rivek {

void PrintTo(const RecordingStatus& status, std::ostream* out) {
    *out << (status.On ? "on" : "off") << ", \"" << status.Message << "\", " << status.Waiting << " waiting";
}

namespace {

namespace fs = std::filesystem;
using testing::HistoryMaker;
using testing::ScoredRecord;
using testing::TempDir;
using namespace std::chrono_literals;

// Quick retries, so that recovery shows within a test.
SqliteHistoryOptions QuickOptions() {
    SqliteHistoryOptions options;
    options.BusyTimeout = 200ms;
    options.RetryInterval = 20ms;
    return options;
}

// The filters the statistics window offers, over the pools and speeds of
// HistoryMaker, and one pool never drawn from.
std::vector<StatisticsFilter> Filters() {
    std::vector<StatisticsFilter> filters(7);
    filters[1].Pool = "KMURES";
    filters[2].MinSpeedCpm = 100;
    filters[3].MaxSpeedCpm = 80;
    filters[4].Pool = "0123456789";
    filters[4].MinSpeedCpm = 80;
    filters[4].MaxSpeedCpm = 100;
    filters[5].Pool = "\xB1\xB2\xB3\xB4";
    filters[6].Pool = "NEVER";
    return filters;
}

// Every query of the port, compared between the two stores.
void ExpectSameAnswers(HistoryStore& store, HistoryStore& reference, std::int64_t drill) {
    for (const StatisticsFilter& filter : Filters()) {
        SCOPED_TRACE(::testing::Message() << "pool " << filter.Pool.value_or("-") << " speeds "
                                        << filter.MinSpeedCpm.value_or(0) << ".." << filter.MaxSpeedCpm.value_or(0));
        EXPECT_EQ(store.Summary(filter, drill), reference.Summary(filter, drill));
        EXPECT_EQ(store.CountTrials(filter), reference.CountTrials(filter));
        std::vector<TrialRecord> got;
        std::vector<TrialRecord> expected;
        EXPECT_TRUE(store.ForEachTrial(filter, [&](const TrialRecord& t) { got.push_back(t); return true; }));
        reference.ForEachTrial(filter, [&](const TrialRecord& t) { expected.push_back(t); return true; });
        EXPECT_TRUE(got == expected);
    }
    for (const char* pool : {"KM", "KMURES", "KMR5?", "NEVER"}) {
        EXPECT_EQ(store.Koch(pool), reference.Koch(pool)) << pool;
    }
    EXPECT_EQ(store.Choices(), reference.Choices());
    EXPECT_EQ(store.LatestDrill(), reference.LatestDrill());
    EXPECT_TRUE(store.LatestTrials(37) == reference.LatestTrials(37));
}

class SqliteHistoryTest : public ::testing::Test {
protected:
    fs::path File() const { return dir_.Path() / "data" / "rivek" / "history.sqlite3"; }

    static std::vector<std::string> Listing(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir_;
};

TEST_F(SqliteHistoryTest, AnswersEveryQueryAsTheTrialByTrialReferenceAndKeepsThemAcrossRestarts) {
    MemoryHistoryStore reference;
    HistoryMaker maker(1511);
    {
        SqliteHistoryStore store(File());
        for (int k = 0; k < 3000; ++k) {
            TrialRecord trial = maker.Next();
            reference.Record(trial);
            store.Record(std::move(trial));
        }
        ExpectSameAnswers(store, reference, maker.Drill());
        EXPECT_EQ(store.Status(), RecordingStatus{});
    }
    // A new store on the same file: the same history, and more added to it.
    SqliteHistoryStore again(File());
    ExpectSameAnswers(again, reference, maker.Drill());
    for (int k = 0; k < 200; ++k) {
        TrialRecord trial = maker.Next();
        reference.Record(trial);
        again.Record(std::move(trial));
    }
    ExpectSameAnswers(again, reference, maker.Drill());
}

TEST_F(SqliteHistoryTest, WritesWhatIsStillWaitingWhenItCloses) {
    std::vector<TrialRecord> recorded;
    {
        SqliteHistoryStore store(File());
        HistoryMaker maker(3);
        for (int k = 0; k < 500; ++k) {
            recorded.push_back(maker.Next());
            store.Record(recorded.back());
        }
    }
    SqliteHistoryStore store(File());
    EXPECT_TRUE(store.LatestTrials(1000) == recorded);
}

TEST_F(SqliteHistoryTest, BringsAFileOfTheFirstVersionUpToDate) {
    // A history written by the first version: its tables, filled as it
    // filled them.
    MemoryHistoryStore reference;
    HistoryMaker maker(42);
    fs::create_directories(File().parent_path());
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(File().c_str(), &db), SQLITE_OK);
        ASSERT_EQ(MigrateHistory(db, 1), SQLITE_OK);
        int code = 0;
        ASSERT_EQ(HistorySchemaVersion(db, code), 1);
        SqliteStatement pool(db, "INSERT INTO pools (text) VALUES (?1) ON CONFLICT DO NOTHING");
        SqliteStatement folder(db, "INSERT INTO folders (path) VALUES (?1) ON CONFLICT DO NOTHING");
        SqliteStatement trial(db,
                              "INSERT INTO trials (when_ms, day, drill_id, folder_id, pool_id, pitch_hz, speed_cpm, "
                              "group_length, numerals, sent, answer, outcomes, wrong, missing, replays) VALUES (?1, "
                              "?2, ?3, (SELECT id FROM folders WHERE path = ?4), (SELECT id FROM pools WHERE text = "
                              "?5), ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)");
        ASSERT_EQ(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
        for (int k = 0; k < 1500; ++k) {
            const TrialRecord t = maker.Next();
            reference.Record(t);
            pool.BindBytes(1, t.Pool);
            ASSERT_EQ(pool.Step(), SQLITE_DONE);
            pool.Reset();
            folder.BindBytes(1, t.WorkingFolder);
            ASSERT_EQ(folder.Step(), SQLITE_DONE);
            folder.Reset();
            trial.Bind(1, t.WhenMs);
            trial.Bind(2, t.Day);
            trial.Bind(3, t.DrillId);
            trial.BindBytes(4, t.WorkingFolder);
            trial.BindBytes(5, t.Pool);
            trial.Bind(6, t.PitchHz);
            trial.Bind(7, t.SpeedCpm);
            trial.Bind(8, t.GroupLength);
            trial.Bind(9, t.Numerals == NumeralForm::Abbreviated ? 1 : 0);
            trial.BindBytes(10, t.Sent);
            trial.BindBytes(11, t.Answer);
            trial.BindBytes(12, EncodeOutcomes(t.Outcomes));
            trial.Bind(13, t.WrongCount);
            trial.Bind(14, t.MissingCount);
            trial.Bind(15, t.Replays);
            ASSERT_EQ(trial.Step(), SQLITE_DONE);
            trial.Reset();
        }
        ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        pool = {};
        folder = {};
        trial = {};
        sqlite3_close(db);
    }

    SqliteHistoryStore store(File());
    ExpectSameAnswers(store, reference, maker.Drill());
    EXPECT_EQ(store.Status(), RecordingStatus{});
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(File().c_str(), &db), SQLITE_OK);
    int code = 0;
    EXPECT_EQ(HistorySchemaVersion(db, code), kHistorySchemaVersion);
    sqlite3_close(db);
}

TEST_F(SqliteHistoryTest, LeavesAFileOfANewerVersionAlone) {
    fs::create_directories(File().parent_path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(File().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE later (x); PRAGMA user_version = 99", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const std::string before = TempDir::ReadFile(File());

    SqliteHistoryStore store(File(), QuickOptions());
    store.Record(ScoredRecord("KM", "KM"));
    store.Flush();
    const RecordingStatus status = store.Status();
    EXPECT_FALSE(status.On);
    EXPECT_EQ(status.Message, "History is not being recorded: " + File().string() +
                                  " was written by a newer Rivek, which this one leaves alone.");
    EXPECT_EQ(status.Waiting, 1);
    EXPECT_EQ(TempDir::ReadFile(File()), before);
}

TEST_F(SqliteHistoryTest, SetsADamagedFileAsideAndStartsANewHistory) {
    struct Damage {
        const char* name;
        bool keepHeader;  // a database whose inside is damaged, or no database at all
    };
    for (const Damage damage : {Damage{"garbage bytes", false}, Damage{"damaged pages", true}}) {
        SCOPED_TRACE(damage.name);
        fs::remove_all(File().parent_path());
        fs::create_directories(File().parent_path());
        std::string bytes;
        if (damage.keepHeader) {
            {
                SqliteHistoryStore store(File());
                HistoryMaker maker(9);
                for (int k = 0; k < 2000; ++k) store.Record(maker.Next());
            }
            bytes = TempDir::ReadFile(File());
            // Every page after the first two overwritten with a pattern.
            for (std::size_t at = 8192; at < bytes.size(); ++at) bytes[at] = static_cast<char>(at * 7);
        } else {
            for (int k = 0; k < 5000; ++k) bytes.push_back(static_cast<char>((k * 131) ^ (k >> 3)));
        }
        TempDir::WriteFile(File(), bytes);

        SqliteHistoryStore store(File(), QuickOptions());
        store.Summary({}, 0);  // a query reaches the damage if opening did not
        store.Record(ScoredRecord("KM", "KR"));
        store.Record(ScoredRecord("KM", "KM"));
        store.Flush();
        if (damage.keepHeader) {
            // The damage inside shows when the trials are read.
            store.Summary({}, 0);
            store.Record(ScoredRecord("KM", "KM"));
            store.Flush();
        }

        std::vector<std::string> names = Listing(File().parent_path());
        ASSERT_GE(names.size(), 2u);
        const auto aside = std::find_if(names.begin(), names.end(),
                                        [](const std::string& n) { return n.starts_with("history.sqlite3.corrupt-"); });
        ASSERT_NE(aside, names.end());
        // history.sqlite3.corrupt-YYYYMMDD-HHMMSS, holding the damaged bytes.
        EXPECT_EQ(aside->size(), std::string("history.sqlite3.corrupt-20261211-154751").size());
        EXPECT_EQ(TempDir::ReadFile(File().parent_path() / *aside).substr(0, 100), bytes.substr(0, 100));

        const RecordingStatus status = store.Status();
        EXPECT_TRUE(status.On);
        EXPECT_EQ(status.Message, "The history file was damaged; it was kept as " + *aside +
                                      " and a new history was started.");
        EXPECT_EQ(status.Waiting, 0);
        const HistorySummary summary = store.Summary({}, 1);
        EXPECT_GE(summary.AllTime.Groups, 2);
        EXPECT_LE(summary.AllTime.Groups, 3);
    }
}

TEST_F(SqliteHistoryTest, RecordsNothingAndSaysWhyWhenTheFolderCannotBeMade) {
    // A file stands where the folder should be.
    TempDir::WriteFile(dir_.Path() / "data", "not a folder");
    SqliteHistoryStore store(File(), QuickOptions());
    for (int k = 0; k < 3; ++k) store.Record(ScoredRecord("KM", "KM"));
    store.Flush();
    const RecordingStatus status = store.Status();
    EXPECT_FALSE(status.On);
    EXPECT_EQ(status.Message, "History is not being recorded: the folder " + File().parent_path().string() +
                                  " cannot be made (Not a directory).");
    EXPECT_EQ(status.Waiting, 3);
    EXPECT_EQ(store.Summary({}, 1), HistorySummary{});
    EXPECT_EQ(store.CountTrials({}), 0);
    EXPECT_FALSE(store.Clear());
    // Once the folder can be made, the trials that waited are written.
    fs::remove(dir_.Path() / "data");
    store.Record(ScoredRecord("KM", "KM"));
    std::this_thread::sleep_for(50ms);
    store.Flush();
    EXPECT_EQ(store.Status(), RecordingStatus{});
    EXPECT_EQ(store.CountTrials({}), 4);
}

TEST_F(SqliteHistoryTest, ReadOnlyFolderTurnsRecordingOffThenKeepsTheWaitingTrials) {
    // As another user, who owns the folder but has taken its write right away.
    fs::create_directories(File().parent_path());
    if (testing::IsRoot()) {
        ASSERT_EQ(::chown(File().parent_path().c_str(), testing::kNobody, testing::kNobody), 0);
    }
    fs::permissions(dir_.Path(), fs::perms(0755));
    fs::permissions(dir_.Path() / "data", fs::perms(0755));
    const int status = testing::RunInChild(
        [this] {
            int failures = 0;
            const auto check = [&failures](bool ok, const char* what) {
                if (!ok) {
                    std::fprintf(stderr, "failed: %s\n", what);
                    ++failures;
                }
            };
            fs::permissions(File().parent_path(), fs::perms(0555));
            {
                SqliteHistoryStore store(File(), QuickOptions());
                for (int k = 0; k < 3; ++k) store.Record(ScoredRecord("KM", "KM"));
                store.Flush();
                const RecordingStatus off = store.Status();
                check(!off.On && off.Waiting == 3, "recording is off with three trials waiting");
                check(off.Message == "History is not being recorded: the folder " + File().parent_path().string() +
                                         " cannot be written to (Permission denied).",
                      "the message names the folder and the reason");
                std::fprintf(stderr, "message: %s\n", off.Message.c_str());
                fs::permissions(File().parent_path(), fs::perms(0755));
                std::this_thread::sleep_for(50ms);
                store.Record(ScoredRecord("KM", "KR"));
                store.Flush();
                check(store.Status() == RecordingStatus{}, "recording is on again");
                check(store.CountTrials({}) == 4, "the waiting trials were written");
            }
            // A history whose file became read-only: recording is off, the
            // drill goes on.
            fs::permissions(File(), fs::perms(0444));
            {
                SqliteHistoryStore store(File(), QuickOptions());
                store.Record(ScoredRecord("KM", "KM"));
                store.Flush();
                const RecordingStatus off = store.Status();
                check(!off.On && off.Waiting == 1, "recording is off for the read-only file");
                check(off.Message == "History is not being recorded: " + File().string() +
                                         " is read-only (Permission denied).",
                      "the message says the file is read-only");
                std::fprintf(stderr, "message: %s\n", off.Message.c_str());
            }
            fs::permissions(File(), fs::perms(0644));
            return failures == 0 ? 0 : 1;
        },
        true);
    ASSERT_NE(status, testing::kChildSkipped) << "cannot drop root's privileges";
    EXPECT_EQ(status, 0) << "see the child's output above";
}

TEST_F(SqliteHistoryTest, FullDiskKeepsTheCommittedTrialsAndWritesTheRestOnceThereIsRoom) {
    if (!testing::IsRoot()) GTEST_SKIP() << "mounting a small tmpfs needs root";
    const int status = testing::RunInChild(
        [this] {
            const std::string here = dir_.Path().string();
            if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("rivek-test", here.c_str(), "tmpfs", 0, "size=1m") != 0) {
                return testing::kChildSkipped;
            }
            int failures = 0;
            const auto check = [&failures](bool ok, const char* what) {
                if (!ok) {
                    std::fprintf(stderr, "failed: %s\n", what);
                    ++failures;
                }
            };
            HistoryMaker maker(5);
            std::vector<TrialRecord> recorded;
            SqliteHistoryStore store(File(), QuickOptions());
            for (int k = 0; k < 100; ++k) {
                recorded.push_back(maker.Next());
                store.Record(recorded.back());
            }
            store.Flush();
            check(store.CountTrials({}) == 100, "the first trials are written");
            // Fill the disk to the last byte.
            const int filler = ::open((here + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (filler < 0) return testing::kChildSkipped;
            const std::string block(4096, 'x');
            while (::write(filler, block.data(), block.size()) > 0) {
            }
            while (::write(filler, "x", 1) > 0) {
            }
            ::close(filler);
            // Trials until the log runs into the full disk.
            for (int k = 0; k < 3000 && store.Status().On; ++k) {
                recorded.push_back(maker.Next());
                store.Record(recorded.back());
                if (k % 100 == 99) store.Flush();
            }
            store.Flush();
            const RecordingStatus full = store.Status();
            std::fprintf(stderr, "message: %s (%lld waiting)\n", full.Message.c_str(),
                         static_cast<long long>(full.Waiting));
            check(!full.On && full.Waiting > 0, "recording is off with trials waiting");
            check(full.Message == "History is not being recorded: the disk that holds " + File().string() + " is full.",
                  "the message says the disk is full");
            {
                // What was committed stands, as another reader sees it.
                SqliteHistoryOptions readOnly;
                readOnly.ReadOnly = true;
                SqliteHistoryStore reader(File(), readOnly);
                check(reader.CountTrials({}) == static_cast<std::int64_t>(recorded.size()) - full.Waiting,
                      "every trial not waiting is in the file");
            }
            ::unlink((here + "/filler").c_str());
            std::this_thread::sleep_for(50ms);
            store.Flush();
            check(store.Status() == RecordingStatus{}, "recording is on again");
            check(store.LatestTrials(10'000) == recorded, "every trial was written, in order");
            return failures == 0 ? 0 : 1;
        },
        false);
    if (status == testing::kChildSkipped) GTEST_SKIP() << "no mount namespace for a small tmpfs";
    EXPECT_EQ(status, 0) << "see the child's output above";
}

TEST_F(SqliteHistoryTest, FileLockedByAnotherWriterNeitherBlocksRecordingNorLosesTrials) {
    {
        SqliteHistoryStore store(File());
        store.Record(ScoredRecord("KM", "KM"));
    }
    // Another connection takes the write lock and keeps it.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(File().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    SqliteHistoryStore store(File(), QuickOptions());
    for (int k = 0; k < 50; ++k) {
        const auto start = std::chrono::steady_clock::now();
        store.Record(ScoredRecord("KMKMK", "KMKMK"));
        // A liveness check: Record never waits for the lock.
        EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);
    }
    store.Flush();
    const RecordingStatus locked = store.Status();
    EXPECT_FALSE(locked.On);
    EXPECT_EQ(locked.Message, "History is not being recorded: another program, perhaps a second Rivek, has kept " +
                                  File().string() + " locked for too long.");
    EXPECT_EQ(locked.Waiting, 50);

    ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    std::this_thread::sleep_for(50ms);
    store.Flush();
    EXPECT_EQ(store.Status(), RecordingStatus{});
    EXPECT_EQ(store.CountTrials({}), 51);
}

TEST_F(SqliteHistoryTest, TwoRiveksRecordIntoOneHistoryAtOnce) {
    // Two processes, each with a store, each recording its own trials as
    // fast as it can; then the history holds them all.
    constexpr int kEach = 1500;
    fs::create_directories(File().parent_path());
    const auto writer = [this](std::uint32_t seed) {
        return [this, seed] {
            SqliteHistoryStore store(File());
            HistoryMaker maker(seed);
            for (int k = 0; k < kEach; ++k) {
                store.Record(maker.Next());
                if (k % 10 == 0) store.Flush();  // many small transactions that cross
            }
            store.Flush();
            return store.Status() == RecordingStatus{} ? 0 : 1;
        };
    };
    std::fflush(nullptr);
    const pid_t first = ::fork();
    if (first == 0) ::_exit(writer(101)());
    const int second = writer(202)();
    int status = 0;
    ASSERT_EQ(::waitpid(first, &status, 0), first);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(second, 0);

    MemoryHistoryStore reference;
    for (const std::uint32_t seed : {101u, 202u}) {
        HistoryMaker maker(seed);
        for (int k = 0; k < kEach; ++k) reference.Record(maker.Next());
    }
    SqliteHistoryStore store(File());
    EXPECT_EQ(store.CountTrials({}), 2 * kEach);
    EXPECT_EQ(store.Summary({}, 0), reference.Summary({}, 0));
    EXPECT_EQ(store.Choices(), reference.Choices());
}

TEST_F(SqliteHistoryTest, TwoStoresInOneProcessShareTheFile) {
    SqliteHistoryStore first(File());
    SqliteHistoryStore second(File());
    std::thread a([&] {
        for (int k = 0; k < 300; ++k) first.Record(ScoredRecord("KM", "KM"));
        first.Flush();
    });
    std::thread b([&] {
        for (int k = 0; k < 300; ++k) second.Record(ScoredRecord("UR", "UX"));
        second.Flush();
    });
    a.join();
    b.join();
    EXPECT_EQ(first.CountTrials({}), 600);
    EXPECT_EQ(second.Summary({}, 0).AllTime.Wrong, 300);
    // One store clears; the other goes on recording into the cleared file.
    EXPECT_TRUE(first.Clear());
    second.Record(ScoredRecord("KM", "KM", 1, 20'000, 100, "NEW"));
    second.Flush();
    EXPECT_EQ(first.CountTrials({}), 1);
    EXPECT_EQ(first.Choices().Pools, (std::vector<PoolChoice>{{"NEW", 1, 20'000}}));
}

TEST_F(SqliteHistoryTest, ClearRemovesEveryTrialAndShrinksTheFile) {
    SqliteHistoryStore store(File());
    HistoryMaker maker(77);
    for (int k = 0; k < 5000; ++k) store.Record(maker.Next());
    store.Flush();
    // The trials may still be in the log beside the file.
    const auto size = [this] {
        std::error_code none;
        const auto log = fs::file_size(File().string() + "-wal", none);
        return fs::file_size(File()) + (none ? 0 : log);
    };
    const auto full = size();
    ASSERT_TRUE(store.Clear());
    EXPECT_EQ(store.Summary({}, maker.Drill()), HistorySummary{});
    EXPECT_EQ(store.CountTrials({}), 0);
    EXPECT_EQ(store.LatestDrill(), std::nullopt);
    EXPECT_LT(size(), full / 4);
    // The pools are gone from the file itself, not only from view.
    EXPECT_EQ(TempDir::ReadFile(File()).find("ABCDEFGHIJ"), std::string::npos);
    EXPECT_EQ(TempDir::ReadFile(File().string() + "-wal").find("ABCDEFGHIJ"), std::string::npos);
    store.Record(ScoredRecord("KM", "KM"));
    EXPECT_EQ(store.CountTrials({}), 1);
}

TEST_F(SqliteHistoryTest, DropsTrialsWhileRecordingIsSwitchedOff) {
    SqliteHistoryStore store(File());
    store.SetRecording(false);
    store.Record(ScoredRecord("KM", "KM"));
    EXPECT_EQ(store.Status(), (RecordingStatus{false, std::string(kRecordingSwitchedOff), 0}));
    store.SetRecording(true);
    store.Record(ScoredRecord("KM", "KR"));
    EXPECT_EQ(store.CountTrials({}), 1);
    EXPECT_EQ(store.Status(), RecordingStatus{});
}

TEST_F(SqliteHistoryTest, ReadOnlyStoreNeverCreatesAFile) {
    SqliteHistoryOptions readOnly;
    readOnly.ReadOnly = true;
    SqliteHistoryStore store(File(), readOnly);
    EXPECT_EQ(store.Summary({}, 0), HistorySummary{});
    EXPECT_EQ(store.Status().Message, "There is no history in " + File().string() + " yet.");
    EXPECT_FALSE(fs::exists(File().parent_path()));
}

TEST_F(SqliteHistoryTest, DrillNumbersAreNewEachTimeAndInOrder) {
    SqliteHistoryStore store(File());
    std::int64_t previous = store.BeginDrill();
    for (int k = 0; k < 5; ++k) {
        std::this_thread::sleep_for(2ms);
        const std::int64_t next = store.BeginDrill();
        EXPECT_GT(next, previous);
        previous = next;
    }
}

TEST(OutcomeCodecTest, ReadsBackEveryOutcomeAndRefusesDamagedBytes) {
    HistoryMaker maker(8);
    for (int k = 0; k < 3000; ++k) {
        const TrialRecord trial = maker.Next();
        const std::string bytes = EncodeOutcomes(trial.Outcomes);
        ASSERT_EQ(DecodeOutcomes(bytes), trial.Outcomes);
        // Cut short anywhere inside an outcome: refused, never misread.
        for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
            const auto partial = DecodeOutcomes(std::string_view(bytes).substr(0, cut));
            if (partial) {
                EXPECT_LT(partial->size(), trial.Outcomes.size());
            }
        }
    }
    const std::vector<CharOutcome> unusual = {
        {CharResult::Wrong, "A", "\x8A\xBF", 2, 0}, {CharResult::Missing, "\x82\x60", "", 0, 2},
        {CharResult::Extra, "", "\x8A\xBF", 2, 0},  {CharResult::Right, "1", "\xC7", 0, 0},
        {CharResult::Wrong, " ", " ", 0, 1}};
    EXPECT_EQ(DecodeOutcomes(EncodeOutcomes(unusual)), unusual);
    // Two bytes for a character answered right.
    EXPECT_EQ(EncodeOutcomes({{CharResult::Right, "K", "K", 0, 0}}).size(), 2u);
    EXPECT_EQ(DecodeOutcomes("\xFF"), std::nullopt);
}

struct PathCase {
    const char* name;
    const char* dataHome;
    const char* home;
    const char* expected;
};

TEST(HistoryPathTest, FollowsTheDataHomeOfTheDesktop) {
    const PathCase cases[] = {
        {"data home set", "/x/data", "/home/a", "/x/data/rivek/history.sqlite3"},
        {"data home unset", nullptr, "/home/a", "/home/a/.local/share/rivek/history.sqlite3"},
        {"data home empty", "", "/home/a", "/home/a/.local/share/rivek/history.sqlite3"},
        {"data home relative", "data", "/home/a", "/home/a/.local/share/rivek/history.sqlite3"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto environment = [&c](const char* name) -> const char* {
            if (std::string_view(name) == "XDG_DATA_HOME") return c.dataHome;
            if (std::string_view(name) == "HOME") return c.home;
            return nullptr;
        };
        EXPECT_EQ(DefaultHistoryPath(environment), fs::path(c.expected));
    }
    // Without HOME, the account's home folder.
    const fs::path fallback = DefaultHistoryPath([](const char*) -> const char* { return nullptr; });
    EXPECT_TRUE(fallback.empty() || fallback.filename() == "history.sqlite3");
}

}  // namespace
}  // namespace rivek
