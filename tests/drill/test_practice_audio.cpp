// Practice audio: the groups a drill with the same seed sends, each
// sounding as its trial's image, pauses between them, in blocks with
// progress, and a stop or a failing sink ending it early.
#include "drill/practice_audio.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

#include "drill/trial_controller.h"
#include "fakes/call_log.h"
#include "fakes/fake_sound.h"
#include "fakes/fake_window.h"
#include "support/temp_dir.h"
#include "morse/timing.h"

namespace rivek {
namespace {

using testing::CallLog;
using testing::FakeSound;
using testing::FakeWindow;
using testing::TempWorkingDir;
using Samples = std::vector<std::int16_t>;

// Keeps every block; refuses the block numbered `failAt` (from 0).
class RecordingSink : public SampleSink {
public:
    bool Write(std::span<const std::int16_t> block) override {
        if (blocks == failAt) return false;
        ++blocks;
        blockSizes.push_back(block.size());
        samples.insert(samples.end(), block.begin(), block.end());
        return true;
    }
    Samples samples;
    std::vector<std::size_t> blockSizes;
    int blocks = 0;
    int failAt = -1;
};

Samples ImageSamples(const WaveStream& image) {
    Samples samples;
    for (std::size_t at = kWaveHeaderBytes; at + 1 < image.size(); at += 2) {
        samples.push_back(static_cast<std::int16_t>(image[at] | image[at + 1] << 8));
    }
    return samples;
}

CharPool PoolOf(std::string_view characters) {
    CharPool pool;
    for (const char c : characters) pool.CharPool[static_cast<std::size_t>(pool.PoolLength++)] = static_cast<unsigned char>(c);
    return pool;
}

// Default settings but for the number and length of the groups.
PracticeAudioSettings GroupsOf(std::int32_t count, std::int32_t length) {
    PracticeAudioSettings settings;
    settings.groupCount = count;
    settings.groupLength = length;
    return settings;
}

// The audio of a plan built slowly: each group's image from the trial
// image builder, silence of P samples between them.
Samples ExpectedAudio(const PracticePlan& plan) {
    CodeTable table;
    ResetCodeTable(table);
    SetNumeralMode(table, plan.settings.abbreviatedNumerals);
    Samples audio;
    for (std::size_t i = 0; i < plan.groups.size(); ++i) {
        if (i > 0) audio.insert(audio.end(), static_cast<std::size_t>(plan.pauseSamples), std::int16_t{0});
        TimingList timing;
        BuildTiming(timing, table, plan.groups[i]);
        WaveStream image;
        BuildWave(image, timing.Durations(), plan.settings.frequencyHz, plan.settings.speedParis, plan.settings.tone);
        const Samples group = ImageSamples(image);
        audio.insert(audio.end(), group.begin(), group.end());
    }
    return audio;
}

// A drill started with seed 4242 in a folder whose "Rivek.dat" holds the
// pool: its trials' groups and images are what the audio must hold.
TEST(PracticeAudioTest, SendsTheDrillsGroupsAndImagesForTheSameSeed) {
    TempWorkingDir dir;
    TempWorkingDir::WriteFile(kCharSetFileName, "kmuresnap0\xb1\xb2\r\n");
    CallLog log;
    FakeWindow window(log);
    FakeSound sound(log);
    TrialController controller(window, sound, [] { return 4242u; });
    controller.FormCreate();
    window.SpinText(Setting::GroupLength) = "6";
    window.SpinText(Setting::Frequency) = "650";
    window.SpinText(Setting::Speed) = "120";
    std::vector<std::string> trialGroups;
    Samples trialAudio;
    const PracticeAudioSettings settings{.groupCount = 12, .groupLength = 6, .frequencyHz = 650, .speedParis = 120,
                                         .tone = {}, .pauseMs = 1500, .abbreviatedNumerals = false};
    const std::int64_t pause = 16538;  // 11025 * 1.5 = 16537.5, a tie: to even
    for (int trial = 0; trial < settings.groupCount; ++trial) {
        char key = kEnterKey;
        controller.Edit1Keypress(key);
        trialGroups.push_back(controller.SentText());
        if (trial > 0) trialAudio.insert(trialAudio.end(), pause, std::int16_t{0});
        const Samples image = ImageSamples(sound.LastImage());
        trialAudio.insert(trialAudio.end(), image.begin(), image.end());
    }

    RandomSource random(4242);
    const PracticePlan plan = PlanPracticeAudio(controller.Pool(), random, settings);
    EXPECT_EQ(plan.groups, trialGroups);
    EXPECT_EQ(plan.pauseSamples, pause);
    EXPECT_EQ(plan.totalSamples, static_cast<std::int64_t>(trialAudio.size()));
    RecordingSink sink;
    EXPECT_EQ(StreamPracticeAudio(plan, sink), PracticeAudioOutcome::Done);
    EXPECT_TRUE(sink.samples == trialAudio);
}

// With the options, numeral forms and pauses at their edges, against the
// slow assembly.
TEST(PracticeAudioTest, SettingsReachEveryGroup) {
    struct Case {
        const char* name;
        PracticeAudioSettings settings;
        std::int64_t pauseSamples;
    };
    const Case cases[] = {
        {"Farnsworth and shaped", {.groupCount = 7, .groupLength = 4, .frequencyHz = 700, .speedParis = 150,
                                   .tone = {60, 5}, .pauseMs = 20, .abbreviatedNumerals = false}, 220},  // 220.5
        {"abbreviated numerals", {.groupCount = 5, .groupLength = 15, .frequencyHz = 800, .speedParis = 100,
                                  .tone = {}, .pauseMs = 0, .abbreviatedNumerals = true}, 0},
        {"the longest pause", {.groupCount = 3, .groupLength = 1, .frequencyHz = 5000, .speedParis = 300,
                               .tone = {0, 10}, .pauseMs = 60000, .abbreviatedNumerals = false}, 661500},
        {"a pause beyond the range", {.groupCount = 2, .groupLength = 1, .frequencyHz = 800, .speedParis = 100,
                                      .tone = {}, .pauseMs = 90000, .abbreviatedNumerals = false}, 661500},
        {"one group: no pause", {.groupCount = 1, .groupLength = 3, .frequencyHz = 800, .speedParis = 100,
                                 .tone = {}, .pauseMs = 5000, .abbreviatedNumerals = false}, 55125},
    };
    const CharPool pool = PoolOf("0123789AEIOU?");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RandomSource random(7);
        const PracticePlan plan = PlanPracticeAudio(pool, random, c.settings);
        ASSERT_EQ(plan.groups.size(), static_cast<std::size_t>(c.settings.groupCount));
        EXPECT_EQ(plan.pauseSamples, c.pauseSamples);
        const Samples expected = ExpectedAudio(plan);
        EXPECT_EQ(plan.totalSamples, static_cast<std::int64_t>(expected.size()));
        RecordingSink sink;
        EXPECT_EQ(StreamPracticeAudio(plan, sink), PracticeAudioOutcome::Done);
        EXPECT_TRUE(sink.samples == expected);
    }
}

// Blocks are full but for the last, and progress follows every one of them
// up to the total.
TEST(PracticeAudioTest, BlocksAndProgress) {
    RandomSource random(1);
    const PracticePlan plan = PlanPracticeAudio(PoolOf("ABC"), random, GroupsOf(40, 5));
    ASSERT_GT(plan.totalSamples, static_cast<std::int64_t>(3 * kPracticeBlockSamples));
    RecordingSink sink;
    std::vector<std::int64_t> reported;
    const auto outcome = StreamPracticeAudio(plan, sink, [&](std::int64_t done, std::int64_t total) {
        EXPECT_EQ(total, plan.totalSamples);
        reported.push_back(done);
    });
    EXPECT_EQ(outcome, PracticeAudioOutcome::Done);
    ASSERT_EQ(reported.size(), sink.blockSizes.size());
    std::int64_t done = 0;
    for (std::size_t i = 0; i < sink.blockSizes.size(); ++i) {
        if (i + 1 < sink.blockSizes.size()) {
            EXPECT_EQ(sink.blockSizes[i], kPracticeBlockSamples);
        }
        EXPECT_GT(sink.blockSizes[i], 0u);
        done += static_cast<std::int64_t>(sink.blockSizes[i]);
        EXPECT_EQ(reported[i], done);
    }
    EXPECT_EQ(done, plan.totalSamples);
}

TEST(PracticeAudioTest, StopAndSinkFailureEndItWithinABlock) {
    RandomSource random(1);
    const PracticePlan plan = PlanPracticeAudio(PoolOf("ABC"), random, GroupsOf(40, 5));

    // A stop requested while the second block is written: nothing after it.
    std::stop_source stop;
    RecordingSink stopped;
    const auto outcome = StreamPracticeAudio(
        plan, stopped, [&](std::int64_t done, std::int64_t) {
            if (done >= static_cast<std::int64_t>(2 * kPracticeBlockSamples)) stop.request_stop();
        },
        stop.get_token());
    EXPECT_EQ(outcome, PracticeAudioOutcome::Cancelled);
    EXPECT_EQ(stopped.blocks, 2);

    // Stopped before it starts: the sink sees nothing.
    std::stop_source early;
    early.request_stop();
    RecordingSink untouched;
    EXPECT_EQ(StreamPracticeAudio(plan, untouched, {}, early.get_token()), PracticeAudioOutcome::Cancelled);
    EXPECT_EQ(untouched.blocks, 0);

    RecordingSink failing;
    failing.failAt = 1;
    int progressCalls = 0;
    EXPECT_EQ(StreamPracticeAudio(plan, failing, [&](std::int64_t, std::int64_t) { ++progressCalls; }),
              PracticeAudioOutcome::SinkFailed);
    EXPECT_EQ(failing.blocks, 1);
    EXPECT_EQ(progressCalls, 1);
}

TEST(PracticeAudioTest, AnswerKeyNumbersTheGroups) {
    EXPECT_EQ(PracticeAnswerKey({"KMURE", "\xb1\xb2", "0?"}), "1 KMURE\n2 \xb1\xb2\n3 0?\n");
    EXPECT_EQ(PracticeAnswerKey({}), "");
}

TEST(PracticeAudioTest, EmptyPoolAndNoGroups) {
    RandomSource random(1);
    const PracticePlan empty = PlanPracticeAudio(CharPool{}, random, GroupsOf(2, 5));
    EXPECT_EQ(empty.groups, (std::vector<std::string>{"", ""}));
    const PracticePlan none = PlanPracticeAudio(PoolOf("A"), random, GroupsOf(0, 5));
    EXPECT_TRUE(none.groups.empty());
    EXPECT_EQ(none.totalSamples, 0);
    RecordingSink sink;
    EXPECT_EQ(StreamPracticeAudio(none, sink), PracticeAudioOutcome::Done);
    EXPECT_EQ(sink.blocks, 0);
}

}  // namespace
}  // namespace rivek
