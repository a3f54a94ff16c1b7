#include "drill/trial_controller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fakes/call_log.h"
#include "fakes/fake_sound.h"
#include "fakes/fake_window.h"
#include "support/temp_dir.h"

namespace rivek {
namespace {

using testing::CallLog;
using testing::FakeSound;
using testing::FakeWindow;
using testing::TempWorkingDir;
using Strings = std::vector<std::string>;

// Code page 932 texts of the window.
const std::string kWrong = "\x8c\xeb\x8e\x9a\x81\x46";    // 誤字：
const std::string kMissing = "\x92\x45\x8e\x9a\x81\x46";  // 脱字：
const std::string kPenalty = "\x8c\xb8\x93\x5f\x81\x46";  // 減点：
const std::string kResetPrompt = " Enter \x82\xc5\x8a\x4a\x8e\x6e";

// The image of a group at 800 Hz and speed 100: 662 samples per unit,
// 44 header bytes, 2 bytes a sample.
std::size_t ImageBytesAt800Hz100(std::int64_t units) {
    return 44 + 2 * 662 * static_cast<std::size_t>(units);
}

// A controller over the fake window and sound, in a fresh working
// directory, with a fixed seed.
class TrialControllerTest : public ::testing::Test {
protected:
    void Start(std::string_view charSet = {}) {
        if (!charSet.empty()) TempWorkingDir::WriteFile(kCharSetFileName, charSet);
        controller_.FormCreate();
        log_.Clear();
    }
    // Presses Enter in the answer field; returns what the field receives.
    char PressEnter() {
        char key = kEnterKey;
        controller_.Edit1Keypress(key);
        return key;
    }
    void Answer(std::string text) {
        window_.TypeAnswer(std::move(text));
        EXPECT_EQ(PressEnter(), 0);
    }
    // The image that the group sent last must sound: built independently
    // from the sent text at the given settings and numeral mode.
    WaveStream ExpectedImage(std::int32_t frequencyHz, std::int32_t speed, bool abbreviated) const {
        CodeTable table;
        ResetCodeTable(table);
        SetNumeralMode(table, abbreviated);
        TimingList timing;
        StartTiming(timing);
        BuildTiming(timing, table, controller_.SentText());
        WaveStream image;
        BuildWave(image, timing.Durations(), frequencyHz, speed);
        return image;
    }

    TempWorkingDir dir_;
    CallLog log_;
    FakeWindow window_{log_};
    FakeSound sound_{log_};
    int seedCalls_ = 0;
    TrialController controller_{window_, sound_, [this] {
                                    ++seedCalls_;
                                    return 20240601u;
                                }};
};

TEST_F(TrialControllerTest, StartUpFillsTheTableBeforeThePoolAndTouchesNoOutput) {
    TempWorkingDir::WriteFile(kSettingsFileName, "1000\r\n150\r\n12\r\n");
    // Digits and signs only stay in the pool if the table is already filled.
    TempWorkingDir::WriteFile(kCharSetFileName, "e1?/ \xb1");
    controller_.FormCreate();

    const CharPool& pool = controller_.Pool();
    EXPECT_EQ(std::string(pool.CharPool.begin(), pool.CharPool.begin() + pool.PoolLength),
              "E1?\xb1");
    EXPECT_EQ(log_.Entries(), (Strings{"SetSpin 0 1000", "SetSpin 1 150", "SetSpin 2 12"}));
    EXPECT_EQ(controller_.Codes()['0'], 242);  // standard numerals
    EXPECT_EQ(seedCalls_, 1);
    EXPECT_EQ(controller_.Counters().TrialNo, 0);
    EXPECT_TRUE(controller_.SentText().empty());
    EXPECT_TRUE(controller_.Wave().empty());
    EXPECT_EQ(window_.Answer(), FakeWindow::kStartPrompt);
}

TEST_F(TrialControllerTest, FirstEnterScoresNothingAndSendsTheFirstGroup) {
    Start();
    window_.TypeAnswer("ABC");  // typed over the prompt: still not scored
    EXPECT_EQ(PressEnter(), 0);

    EXPECT_EQ(log_.Entries(), (Strings{"Stop", "AnswerText", "SetAnswer ", "Repaint",
                                       "Play " + std::to_string(controller_.Wave().size())}));
    EXPECT_EQ(controller_.Counters().TrialNo, 1);
    EXPECT_EQ(window_.Label(ScoreLabel::Wrong), kWrong + "0");
    EXPECT_EQ(window_.Label(ScoreLabel::TrialNo), "No.1");
    EXPECT_TRUE(window_.Answer().empty());
    ASSERT_EQ(controller_.SentText().size(), 8u);
    for (const char c : controller_.SentText()) EXPECT_TRUE(c >= 'A' && c <= 'Z') << c;
    EXPECT_EQ(controller_.Wave(), ExpectedImage(800, 100, false));
    EXPECT_EQ(sound_.LastImage(), controller_.Wave());
}

TEST_F(TrialControllerTest, ScoredTrialShowsTheCorrectionAndCounts) {
    Start();
    Answer("");
    const std::string firstGroup = controller_.SentText();

    // All right: only the correction and the labels change.
    Answer(firstGroup);
    const Strings shown = log_.Only({"Clear", "Label"});
    EXPECT_EQ(shown, (Strings{"Clear", "Label " + kWrong + "0", "Label " + kMissing + "0",
                              "Label " + kPenalty + "0", "Label No.2"}));
    std::string resultText;
    for (const auto& segment : window_.Result()) resultText += segment.text;
    EXPECT_EQ(resultText, " " + firstGroup + "\r\n " + firstGroup);
    EXPECT_EQ(controller_.Counters().TrialNo, 2);

    // An empty answer: every sent character is missing.
    Answer("");
    EXPECT_EQ(controller_.Counters().MissingTotal, 8);
    EXPECT_EQ(window_.Label(ScoreLabel::Missing), kMissing + "8");
    EXPECT_EQ(window_.Label(ScoreLabel::Penalty), kPenalty + "8");
    EXPECT_EQ(window_.Label(ScoreLabel::TrialNo), "No.3");
}

TEST_F(TrialControllerTest, EveryTrialStopsTheSoundBeforeAnythingElse) {
    Start();
    for (int trial = 0; trial < 4; ++trial) {
        log_.Clear();
        Answer("XYZ");  // Enter while the last group still sounds
        const Strings& calls = log_.Entries();
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ(calls.front(), "Stop");
        EXPECT_EQ(calls[1], "AnswerText");
        EXPECT_TRUE(calls.back().starts_with("Play ")) << calls.back();
        // Scoring comes before the field is emptied and the window repainted.
        const Strings order = log_.Only({"AnswerText", "Label", "SetAnswer", "Repaint"});
        EXPECT_EQ(order.end()[-2], "SetAnswer ");
        EXPECT_EQ(order.back(), "Repaint");
    }
    EXPECT_EQ(sound_.PlaysWithoutStop(), 0);
    EXPECT_EQ(sound_.Plays(), 4);
}

TEST_F(TrialControllerTest, KeysOtherThanEnterReachTheFieldUntouched) {
    Start();
    for (const char key : {'a', 'Z', ' ', '\b', '\n', '\x1b', '\0', '\xb1', '\x82'}) {
        SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(key)));
        char passed = key;
        controller_.Edit1Keypress(passed);
        EXPECT_EQ(passed, key);
    }
    EXPECT_TRUE(log_.Entries().empty());
    EXPECT_EQ(controller_.Counters().TrialNo, 0);
}

TEST_F(TrialControllerTest, ResetStopsAndRestoresTheWaitingState) {
    Start();
    Answer("");
    Answer("Q");
    const std::string sentBefore = controller_.SentText();
    const WaveStream imageBefore = controller_.Wave();
    log_.Clear();

    controller_.Button1Click();
    EXPECT_EQ(log_.Entries(),
              (Strings{"Stop", "Clear", "Label " + kWrong + "0", "Label " + kMissing + "0",
                       "Label " + kPenalty + "0", "Label No.1", "SetAnswer " + kResetPrompt,
                       "Focus"}));
    EXPECT_EQ(controller_.Counters().TrialNo, 0);
    EXPECT_EQ(controller_.Counters().WrongTotal, 0);
    EXPECT_EQ(controller_.Counters().MissingTotal, 0);
    EXPECT_EQ(controller_.SentText(), sentBefore);
    EXPECT_EQ(controller_.Wave(), imageBefore);

    // The group sent before Reset is never scored.
    log_.Clear();
    Answer("");
    EXPECT_TRUE(log_.Only({"Clear", "Append", "Label"}).empty());
    EXPECT_EQ(controller_.Counters().TrialNo, 1);
}

TEST_F(TrialControllerTest, NumeralSwitchTakesEffectWithTheNextGroup) {
    Start("0");
    window_.SpinText(Setting::GroupLength) = "1";
    Answer("");
    EXPECT_EQ(sound_.LastImage().size(), ImageBytesAt800Hz100(3 + 22));  // -----

    log_.Clear();
    window_.TickNumerals(true);
    controller_.CheckBox1Click();
    EXPECT_TRUE(log_.Entries().empty());  // the sounding group goes on as it is
    EXPECT_EQ(controller_.Wave().size(), ImageBytesAt800Hz100(3 + 22));

    Answer("0");
    EXPECT_EQ(sound_.LastImage().size(), ImageBytesAt800Hz100(3 + 6));  // abbreviated: -
    EXPECT_EQ(controller_.Counters().WrongTotal, 0);

    window_.TickNumerals(false);
    controller_.CheckBox1Click();
    Answer("0");
    EXPECT_EQ(sound_.LastImage().size(), ImageBytesAt800Hz100(3 + 22));
}

TEST_F(TrialControllerTest, SettingsAreReadAtEnterForThatGroupOnly) {
    Start("k");
    window_.SpinText(Setting::GroupLength) = "3";
    Answer("");
    EXPECT_EQ(controller_.SentText(), "KKK");

    // Changed while the group sounds: the sounding group is not touched.
    window_.SpinText(Setting::GroupLength) = "5";
    window_.SpinText(Setting::Frequency) = "1000";
    window_.SpinText(Setting::Speed) = "$3C";
    EXPECT_EQ(controller_.SentText(), "KKK");
    Answer("KKK");
    EXPECT_EQ(controller_.SentText(), "KKKKK");
    EXPECT_EQ(controller_.Wave(), ExpectedImage(1000, 60, false));

    // A group length that is not a number gives the minimum, 1.
    window_.SpinText(Setting::GroupLength) = "many";
    Answer("KKKKK");
    EXPECT_EQ(controller_.SentText(), "K");
}

TEST_F(TrialControllerTest, EmptyPoolGivesEmptyGroups) {
    Start("/=-+");
    Answer("");
    EXPECT_EQ(controller_.SentText(), "");
    EXPECT_EQ(sound_.LastImage().size(), ImageBytesAt800Hz100(3));  // the lead-in gap only

    Answer("AB");  // checked against the empty group
    EXPECT_EQ(controller_.Counters().WrongTotal, 2);
    EXPECT_EQ(controller_.Counters().MissingTotal, 0);
    EXPECT_EQ(controller_.SentText(), "");
}

TEST_F(TrialControllerTest, GroupsAreDrawnFromThePoolWithItsWeights) {
    // E stands three times, T once: E should come about three times as often.
    Start("EEET");
    window_.SpinText(Setting::GroupLength) = "15";
    int e = 0;
    int t = 0;
    for (int trial = 0; trial < 200; ++trial) {
        Answer("");
        for (const char c : controller_.SentText()) (c == 'E' ? e : t) += 1;
    }
    EXPECT_EQ(e + t, 3000);
    EXPECT_NEAR(static_cast<double>(e) / 3000.0, 0.75, 0.04);
}

TEST_F(TrialControllerTest, SameSeedSameGroups) {
    Start();
    Strings groups;
    for (int trial = 0; trial < 5; ++trial) {
        Answer("");
        groups.push_back(controller_.SentText());
    }
    CallLog otherLog;
    FakeWindow otherWindow(otherLog);
    FakeSound otherSound(otherLog);
    TrialController other(otherWindow, otherSound, [] { return 20240601u; });
    other.FormCreate();
    for (const std::string& group : groups) {
        char key = kEnterKey;
        other.Edit1Keypress(key);
        EXPECT_EQ(other.SentText(), group);
    }
}

TEST_F(TrialControllerTest, ShutdownSavesWhatTheFieldsShowThenStopsThenReleases) {
    Start();
    Answer("");
    window_.SpinText(Setting::Frequency) = "1000";
    window_.SpinText(Setting::Speed) = "150";
    window_.SpinText(Setting::GroupLength) = "oops";
    bool savedBeforeStop = false;
    bool imageHeldAtStop = false;
    sound_.onStop = [&] {
        savedBeforeStop = std::filesystem::exists(kSettingsFileName);
        imageHeldAtStop = !controller_.Wave().empty();
    };
    log_.Clear();

    controller_.FormClose();
    EXPECT_EQ(log_.Entries(), Strings{"Stop"});
    EXPECT_TRUE(savedBeforeStop);
    EXPECT_TRUE(imageHeldAtStop);
    EXPECT_TRUE(controller_.Wave().empty());
    EXPECT_EQ(controller_.Wave().capacity(), 0u);
    EXPECT_EQ(TempWorkingDir::ReadFile(kSettingsFileName), "1000\r\n150\r\n1\r\n");
}

}  // namespace
}  // namespace rivek
