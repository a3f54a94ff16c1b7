// Practice audio to take along: groups drawn from the pool as the drill
// draws them, each sounded as its trial's image would sound, one after the
// other with a pause between, and streamed in blocks of samples to
// whatever writes them (a sound file, in rivek-tool and the window).
//
// The audio is 16-bit mono at 11025 samples per second, the format of the
// images. Group i (from 0) contributes its image's N_i samples (the image
// without its 44-byte header: lead-in, characters, the gap after the last
// one); between two groups lies a pause of
//   P = Round(11025 * pause / 1000)   [samples], pause [ms], ties to even
// of silence. With G groups the audio holds sum(N_i) + (G - 1) * P samples.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "drill/drill_files.h"
#include "drill/spin_range.h"
#include "platform/random_source.h"
#include "tone/wave_builder.h"

namespace rivek {

inline constexpr std::int32_t kMaxPracticePauseMs = 60'000;

struct PracticeAudioSettings {
    std::int32_t groupCount = 100;       // [groups]
    std::int32_t groupLength = 5;        // [characters]
    std::int32_t frequencyHz = RangeOf(Setting::Frequency).initial;  // [Hz], 800
    std::int32_t speedParis = RangeOf(Setting::Speed).initial;       // [PARIS chars/min], 100
    WaveOptions tone;                    // effective speed, rise time
    std::int32_t pauseMs = 2000;         // [ms] silence between groups, 0..60000
    bool abbreviatedNumerals = false;    // the seven digits in their short form
};

// The groups of one piece of audio and its length, known before any sample
// is made, so that a writer can refuse a size its format cannot hold and
// show progress.
struct PracticePlan {
    PracticeAudioSettings settings;      // as planned, the pause limited to its range
    std::vector<std::string> groups;     // code page 932, upper case
    std::vector<std::int64_t> groupSamples;  // N_i of each group
    std::int64_t pauseSamples = 0;       // P
    std::int64_t totalSamples = 0;       // sum(N_i) + (G - 1) * P
};

// Draws settings.groupCount groups (none for a count below 1) of
// settings.groupLength characters with DrawGroup, one after the other from
// `random`: seeded alike, the drill's trials send the same groups in the
// same order. An empty pool gives empty groups (silence between lead-ins);
// callers refuse it first. Throws std::length_error when a group cannot
// make an image (see WaveImageSize); the pause is limited to 0..60000 ms.
PracticePlan PlanPracticeAudio(const CharPool& pool, RandomSource& random, const PracticeAudioSettings& settings);

// Takes the samples in order, block by block, native 16-bit. Returns false
// to stop the audio (a write failed).
class SampleSink {
public:
    virtual ~SampleSink() = default;
    virtual bool Write(std::span<const std::int16_t> samples) = 0;
};

enum class PracticeAudioOutcome {
    Done,       // every sample went to the sink
    Cancelled,  // the stop token asked to stop; the sink has part of the audio
    SinkFailed, // the sink refused a block
};

// The most samples handed to the sink in one block.
inline constexpr std::size_t kPracticeBlockSamples = 64 * 1024;

// Sounds the plan's groups with its settings' pitch, speed, options and
// numeral form, and hands the audio to the sink in blocks of at most
// kPracticeBlockSamples. After each block `progress` (when set) gets the
// samples written so far and the plan's total; it runs on the caller's
// thread. `stop` is checked before each block, so a request from another
// thread ends the audio within one block. Memory stays one image and one
// block, whatever the audio's length.
PracticeAudioOutcome StreamPracticeAudio(
    const PracticePlan& plan, SampleSink& sink,
    const std::function<void(std::int64_t samplesDone, std::int64_t samplesTotal)>& progress = {},
    std::stop_token stop = {});

// The answer key: one line per group, "<number> <group>\n", numbered from
// 1, in code page 932 as the groups are.
std::string PracticeAnswerKey(const std::vector<std::string>& groups);

}  // namespace rivek
