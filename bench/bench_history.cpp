// The history: recording one trial as the window will (the caller's time
// only; the store's thread writes meanwhile), and the statistics window's
// queries together over a history of 1,000,000 trials, which is generated
// first through the same store into a temporary folder. The file's size is
// printed and reported as a counter.
//
// --history_trials=N generates N trials instead (the test run uses a small
// number, so that it stays quick); scripts/bench uses the full size.
// --history_file=PATH keeps the generated history there, and uses the file
// as it is when it exists already (for repeated runs while developing).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "checking/scoring.h"
#include "storage/sqlite_history_store.h"

namespace rivek {
namespace {

namespace fs = std::filesystem;

std::int64_t historyTrials = 1'000'000;
std::string historyFile;

// The Koch order; lesson n draws from its first n + 1 characters.
constexpr std::string_view kKochOrder = "KMURESNAPTLWI.JZFOY,VG5Q9H38B?47C1D60X";

class QuietResult final : public ResultView, public ScoreLabels {
public:
    void Clear() override {}
    void AppendBold(std::string_view, Rgb) override {}
    void SetLabelText(ScoreLabel, std::string_view) override {}
};

// A learner's years: drills of 50 groups of 5 to 8 characters, a few
// hundred groups a day, climbing the Koch lessons at a few speeds, about
// one character in ten missed, mistaken or typed in excess.
class Learner {
public:
    TrialRecord Next() {
        if (count_ % 50 == 0) ++drill_;
        if (count_ % 400 == 0) ++day_;
        if (count_ % 25'000 == 0 && lesson_ < kKochOrder.size() - 1) ++lesson_;
        ++count_;
        const std::string pool(kKochOrder.substr(0, lesson_ + 1));
        std::string sent;
        const std::size_t length = 5 + Pick(4);
        for (std::size_t k = 0; k < length; ++k) sent.push_back(pool[Pick(pool.size())]);
        std::string answer;
        for (const char c : sent) {
            switch (Pick(30)) {
                case 0: answer.push_back(pool[Pick(pool.size())]); break;
                case 1: break;
                case 2: answer.push_back(c); answer.push_back(pool[Pick(pool.size())]); break;
                default: answer.push_back(c); break;
            }
        }
        TrialRecord trial;
        trial.WhenMs = 1'700'000'000'000 + count_ * 6'000;
        trial.Day = day_;
        trial.DrillId = drill_;
        trial.WorkingFolder = "/home/learner/morse";
        trial.Pool = pool;
        trial.PitchHz = 700;
        trial.SpeedCpm = static_cast<std::int32_t>(60 + 20 * Pick(4));
        trial.GroupLength = static_cast<std::int32_t>(length);
        DrillCounters counters{1, 0, 0};
        SetScoring(trial, prn(counters, quiet_, quiet_, sent, answer));
        trial.Sent = std::move(sent);
        trial.Answer = std::move(answer);
        trial.Replays = Pick(10) == 0 ? 1 : 0;
        return trial;
    }
    std::int64_t Drill() const { return drill_; }
    std::string Lesson() const { return std::string(kKochOrder.substr(0, lesson_ + 1)); }

private:
    std::size_t Pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_); }
    std::mt19937 random_{2026};
    QuietResult quiet_;
    std::int64_t count_ = 0;
    std::int64_t drill_ = 0;
    std::int32_t day_ = 19'000;
    std::size_t lesson_ = 1;
};

// A temporary folder for the run's history, removed at exit.
class Scratch {
public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "rivek-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

Scratch& Folder() {
    static Scratch scratch;
    return scratch;
}

std::uintmax_t HistoryBytes(const fs::path& file) {
    std::error_code none;
    std::uintmax_t bytes = fs::file_size(file, none);
    for (const char* beside : {"-wal", "-shm"}) {
        const auto more = fs::file_size(file.string() + beside, none);
        if (!none) bytes += more;
    }
    return bytes;
}

// The generated history, made once per run.
struct BigHistory {
    fs::path file;
    std::int64_t drill = 0;
    std::string lesson;
};

const BigHistory& Generated() {
    static const BigHistory history = [] {
        BigHistory made;
        made.file = historyFile.empty() ? Folder().Path() / "big" / "history.sqlite3" : fs::path(historyFile);
        const bool exists = fs::exists(made.file);
        Learner learner;
        {
            SqliteHistoryStore store(made.file);
            for (std::int64_t k = 0; k < historyTrials; ++k) {
                TrialRecord trial = learner.Next();
                if (exists) continue;
                store.Record(std::move(trial));
                if (k % 50'000 == 49'999) store.Flush();  // keep the queue short
            }
        }
        made.drill = learner.Drill();
        made.lesson = learner.Lesson();
        std::fprintf(stderr, "history of %lld trials: %.1f MB in %s\n", static_cast<long long>(historyTrials),
                     static_cast<double>(HistoryBytes(made.file)) / 1e6, made.file.c_str());
        return made;
    }();
    return history;
}

void BM_RecordOneTrial(benchmark::State& state) {
    Learner learner;
    std::vector<TrialRecord> trials;
    for (int k = 0; k < 1000; ++k) trials.push_back(learner.Next());
    SqliteHistoryStore store(Folder().Path() / "record" / "history.sqlite3");
    store.Flush();  // opened and ready, as in a running window
    const std::int64_t before = store.CountTrials({});
    std::size_t next = 0;
    for (auto _ : state) {
        // The window builds a record per trial and hands it over.
        TrialRecord trial = trials[next];
        store.Record(std::move(trial));
        next = (next + 1) % trials.size();
        if (next == 0) {
            // A learner sends far fewer trials than the store can write:
            // let it catch up, unmeasured, so that no queue builds up.
            state.PauseTiming();
            store.Flush();
            state.ResumeTiming();
        }
    }
    // After the timed loop: every trial handed over was written.
    if (store.CountTrials({}) - before != static_cast<std::int64_t>(state.iterations()) || !store.Status().On) {
        state.SkipWithError("not every trial was written");
    }
}
BENCHMARK(BM_RecordOneTrial)->Unit(benchmark::kMicrosecond);

// What the statistics window asks after each trial: the summary under its
// filter with this drill, the Koch standing of the lesson, the filter's
// lists.
void BM_StatisticsWindowQueries(benchmark::State& state) {
    const BigHistory& history = Generated();
    SqliteHistoryStore store(history.file);
    StatisticsFilter filter;
    if (state.range(0) == 1) filter.Pool = history.lesson;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.Summary(filter, history.drill));
        benchmark::DoNotOptimize(store.Koch(history.lesson));
        benchmark::DoNotOptimize(store.Choices());
    }
    const HistorySummary summary = store.Summary({}, history.drill);
    if (summary.AllTime.Groups != historyTrials) state.SkipWithError("the history lacks trials");
    state.counters["trials"] = static_cast<double>(summary.AllTime.Groups);
    state.counters["file_MB"] = static_cast<double>(HistoryBytes(history.file)) / 1e6;
}
BENCHMARK(BM_StatisticsWindowQueries)->Arg(0)->Arg(1)->ArgName("pool_filter")->Unit(benchmark::kMillisecond);

// Opening the file as the window starts, then the same queries.
void BM_OpenAndQuery(benchmark::State& state) {
    const BigHistory& history = Generated();
    for (auto _ : state) {
        SqliteHistoryStore store(history.file);
        benchmark::DoNotOptimize(store.Summary({}, history.drill));
        benchmark::DoNotOptimize(store.Koch(history.lesson));
        benchmark::DoNotOptimize(store.Choices());
    }
}
BENCHMARK(BM_OpenAndQuery)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rivek

int main(int argc, char** argv) {
    // Our own flag first, then Google Benchmark's.
    constexpr std::string_view kTrialsFlag = "--history_trials=";
    constexpr std::string_view kFileFlag = "--history_file=";
    int kept = 1;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg.starts_with(kTrialsFlag)) {
            rivek::historyTrials = std::max(1LL, std::atoll(argv[k] + kTrialsFlag.size()));
        } else if (arg.starts_with(kFileFlag)) {
            rivek::historyFile = std::string(arg.substr(kFileFlag.size()));
        } else {
            argv[kept++] = argv[k];
        }
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
