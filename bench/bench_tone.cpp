// The tone image builder against plain memory copying. The largest image a
// group can make (fifteen 0s of 22 units at F 103, S 30: 748,584 samples,
// 1,497,212 bytes) should take at most twice as long to build as a memcpy
// of the same number of bytes. Run by hand: the ratio is printed last.
// Shaped and Farnsworth images are measured beside the plain ones.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "morse/code_table.h"
#include "morse/timing.h"
#include "tone/wave_builder.h"

namespace {

constexpr std::size_t kLargestImageBytes = 1497212;

rivek::TimingList LargestGroup() {
    rivek::CodeTable table;
    rivek::ResetCodeTable(table);
    rivek::TimingList list;
    rivek::StartTiming(list);
    rivek::BuildTiming(list, table, "000000000000000");
    return list;
}

// As in the drill: one stream, rebuilt trial after trial.
void BM_BuildWaveLargestImage(benchmark::State& state) {
    const rivek::TimingList list = LargestGroup();
    rivek::WaveStream stream;
    rivek::BuildWave(stream, list.Durations(), 103, 30);
    if (stream.size() != kLargestImageBytes) state.SkipWithError("unexpected image size");
    for (auto _ : state) {
        rivek::BuildWave(stream, list.Durations(), 103, 30);
        benchmark::DoNotOptimize(stream.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kLargestImageBytes));
}
BENCHMARK(BM_BuildWaveLargestImage);

void BM_MemcpyLargestImage(benchmark::State& state) {
    std::vector<std::uint8_t> source(kLargestImageBytes, 0x5A);
    std::vector<std::uint8_t> target(kLargestImageBytes, 0);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), kLargestImageBytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kLargestImageBytes));
}
BENCHMARK(BM_MemcpyLargestImage);

// Short groups, as most trials are: the fixed costs of a build.
void BM_BuildWaveParis(benchmark::State& state) {
    rivek::CodeTable table;
    rivek::ResetCodeTable(table);
    rivek::TimingList list;
    rivek::BuildTiming(list, table, "PARIS");
    rivek::WaveStream stream;
    for (auto _ : state) {
        rivek::BuildWave(stream, list.Durations(), 800, 100);
        benchmark::DoNotOptimize(stream.data());
    }
}
BENCHMARK(BM_BuildWaveParis);

// The largest image again with the longest edges on every tone: shaping
// costs two short loops per distinct tone length, not a pass over the image.
void BM_BuildWaveLargestImageShaped(benchmark::State& state) {
    const rivek::TimingList list = LargestGroup();
    rivek::WaveStream stream;
    const rivek::WaveOptions options{0, rivek::kMaxRiseTimeMs};
    for (auto _ : state) {
        rivek::BuildWave(stream, list.Durations(), 103, 30, options);
        benchmark::DoNotOptimize(stream.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_BuildWaveLargestImageShaped);

// A trial's group with both options, as a learner sets them: characters at
// 100, spacing as at 50, 5 ms edges.
void BM_BuildWaveParisFarnsworthShaped(benchmark::State& state) {
    rivek::CodeTable table;
    rivek::ResetCodeTable(table);
    rivek::TimingList list;
    rivek::BuildTiming(list, table, "PARIS");
    rivek::WaveStream stream;
    const rivek::WaveOptions options{50, 5};
    for (auto _ : state) {
        rivek::BuildWave(stream, list.Durations(), 800, 100, options);
        benchmark::DoNotOptimize(stream.data());
    }
}
BENCHMARK(BM_BuildWaveParisFarnsworthShaped);

// Keeps each benchmark's real time per iteration for the closing ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // With --benchmark_repetitions the median, reported after the
        // repetitions, takes the place of the single runs.
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians_.insert(name);
                nanoseconds_[name] = run.GetAdjustedRealTime();
            } else if (run.run_type == Run::RT_Iteration && !medians_.contains(name)) {
                nanoseconds_[name] = run.GetAdjustedRealTime();
            }
        }
    }
    double Time(const std::string& name) const {
        const auto found = nanoseconds_.find(name);
        return found == nanoseconds_.end() ? 0.0 : found->second;
    }

private:
    std::map<std::string, double> nanoseconds_;
    std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double build = reporter.Time("BM_BuildWaveLargestImage");
    const double copy = reporter.Time("BM_MemcpyLargestImage");
    if (build > 0 && copy > 0) {
        std::cout << "BuildWave / memcpy of " << kLargestImageBytes << " bytes: " << build / copy
                  << " (target: at most 2)\n";
    }
    benchmark::Shutdown();
    return 0;
}
