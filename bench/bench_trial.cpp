// One whole trial, as the Enter key runs it: stop, score an 18-byte answer
// against a 15-character group, draw the next 15-character group, encode it
// and build the largest image there is (F 103 Hz, speed 30, every character
// 22 units: 1,497,212 bytes), then the play request. The window and the
// sound device do nothing, so this is the controller's own time.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "drill/trial_controller.h"

namespace rivek {
namespace {

class QuietWindow final : public WindowPort {
public:
    std::int32_t SpinValue(Setting setting) const override {
        switch (setting) {
        case Setting::Frequency: return 103;
        case Setting::Speed: return 30;
        case Setting::GroupLength: return 15;
        }
        return 0;
    }
    void SetSpinValue(Setting, std::int32_t) override {}
    void Clear() override {}
    void AppendBold(std::string_view, Rgb) override {}
    void SetLabelText(ScoreLabel, std::string_view) override {}
    std::string AnswerText() const override { return "0000000O00000000AB"; }  // 18 bytes
    void SetAnswerText(std::string_view) override {}
    void FocusAnswer() override {}
    void RepaintNow() override {}
    bool NumeralsAbbreviated() const override { return false; }
};

class QuietSound final : public SoundService {
public:
    void Play(std::span<const std::uint8_t> waveImage) override {
        benchmark::DoNotOptimize(waveImage.data());
    }
    void Stop() override {}
};

void BM_WholeTrial(benchmark::State& state) {
    // A character set of the digit 0 alone (22 units in standard numerals),
    // read from a working directory of our own.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::string dir = (std::filesystem::temp_directory_path() / "rivek-bench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        state.SkipWithError("no temporary directory");
        return;
    }
    std::filesystem::current_path(dir);
    std::ofstream(kCharSetFileName) << "0";

    QuietWindow window;
    QuietSound sound;
    TrialController controller(window, sound, [] { return 1u; });
    controller.FormCreate();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);

    char key = kEnterKey;
    controller.Edit1Keypress(key);  // the first Enter scores nothing
    for (auto _ : state) {
        key = kEnterKey;
        controller.Edit1Keypress(key);
        benchmark::DoNotOptimize(controller.Wave().data());
    }
    if (controller.Wave().size() != 1'497'212) state.SkipWithError("not the largest image");
    state.counters["image_bytes"] = static_cast<double>(controller.Wave().size());
}
BENCHMARK(BM_WholeTrial)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace rivek

BENCHMARK_MAIN();
