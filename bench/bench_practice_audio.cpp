// Practice audio as rivek-tool drill writes it: 100 groups of 5 characters
// at speed 100 (about 8 minutes with the default pauses), drawn, sounded,
// encoded and written whole to a file in a temporary folder, synced and
// renamed into place. Targets: the WAV in under 1 s, the FLAC in under 2 s.
// Ogg Vorbis and MP3 are measured beside them.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "audio_file/sound_file_writer.h"
#include "drill/practice_audio.h"
#include "platform/files.h"
#include "platform/random_source.h"

namespace {

rivek::CharPool LettersAToZ() {
    rivek::CharPool pool;
    for (unsigned char letter = 'A'; letter <= 'Z'; ++letter) {
        pool.CharPool[static_cast<std::size_t>(pool.PoolLength++)] = letter;
    }
    return pool;
}

std::filesystem::path TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "rivek-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
}

void BM_DrillFile(benchmark::State& state, rivek::SoundFileFormat format, const char* extension) {
    const std::filesystem::path folder = TempFolder();
    const std::string path = (folder / (std::string("drill.") + extension)).string();
    const rivek::CharPool pool = LettersAToZ();
    rivek::PracticeAudioSettings settings;  // 100 groups of 5 at 800 Hz, speed 100, pauses of 2 s
    std::int64_t samples = 0;
    for (auto _ : state) {
        rivek::RandomSource random(1);
        const rivek::PracticePlan plan = rivek::PlanPracticeAudio(pool, random, settings);
        std::string error;
        std::optional<rivek::OutputFile> file = rivek::OutputFile::Open(path, error);
        auto writer = file ? rivek::SoundFileWriter::Open(file->Descriptor(), format, plan.totalSamples, error) : nullptr;
        if (!writer || rivek::StreamPracticeAudio(plan, *writer) != rivek::PracticeAudioOutcome::Done ||
            !writer->Finish(error) || !file->Commit(error)) {
            state.SkipWithError(("cannot write: " + error).c_str());
            break;
        }
        samples = plan.totalSamples;
    }
    state.counters["audio_s"] = static_cast<double>(samples) / rivek::kSampleRateHz;
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove_all(folder);
}
BENCHMARK_CAPTURE(BM_DrillFile, Wav, rivek::SoundFileFormat::Wav, "wav")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DrillFile, Flac, rivek::SoundFileFormat::Flac, "flac")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DrillFile, OggVorbis, rivek::SoundFileFormat::OggVorbis, "ogg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DrillFile, Mp3, rivek::SoundFileFormat::Mp3, "mp3")->Unit(benchmark::kMillisecond);

// The audio alone, into a sink that keeps nothing: what the core costs
// before any encoder.
class NullSink : public rivek::SampleSink {
public:
    bool Write(std::span<const std::int16_t> samples) override {
        benchmark::DoNotOptimize(samples.data());
        return true;
    }
};

void BM_DrillAudioOnly(benchmark::State& state) {
    const rivek::CharPool pool = LettersAToZ();
    const rivek::PracticeAudioSettings settings;
    NullSink sink;
    for (auto _ : state) {
        rivek::RandomSource random(1);
        const rivek::PracticePlan plan = rivek::PlanPracticeAudio(pool, random, settings);
        benchmark::DoNotOptimize(rivek::StreamPracticeAudio(plan, sink));
    }
}
BENCHMARK(BM_DrillAudioOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
