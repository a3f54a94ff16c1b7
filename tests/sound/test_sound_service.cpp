// The drill through the program's sound service (libpulse): each test
// process runs its own PulseAudio server with a null sink in a private
// runtime folder, records the sink's monitor with parec and decodes the
// recording with morse2ascii. The processes a test starts are ended by
// their pid when it ends.
#include "sound/pulse_sound_service.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "drill/trial_controller.h"
#include "fakes/call_log.h"
#include "fakes/fake_window.h"
#include "support/sound_server.h"
#include "support/temp_dir.h"

namespace rivek {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::End;

// The private runtime folder of this test process, set up in main().
const testing::PrivateRuntime* gRuntime = nullptr;
// Recordings made in this process so far; each gets a file of its own.
int gRecordings = 0;

std::chrono::milliseconds Duration(const WaveStream& image) {
    return std::chrono::milliseconds((image.size() - 44) / 2 * 1000 / 11025);
}

// Waits for `done` up to `timeout`; tells whether it came.
template <typename Condition>
bool WaitFor(Condition done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class SoundServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::OnPath("pulseaudio") || !testing::OnPath("morse2ascii")) {
            GTEST_SKIP() << "pulseaudio or morse2ascii is not installed: the sound service is not "
                            "tested (scripts/deps test installs them)";
        }
        // morse2ascii tells element gaps from character gaps by the median
        // gap, so the groups are drawn from characters of four or five
        // elements, whose element gaps outnumber the character gaps.
        testing::TempWorkingDir::WriteFile(kCharSetFileName, "BCFHJLPQVXYZ0123456789");
        window_.SpinText(Setting::GroupLength) = "5";
        controller_.FormCreate();
    }
    void TearDown() override {
        End(recorder_, SIGINT);
        End(server_, SIGTERM);
    }

    // A PulseAudio server of our own with a null sink; returns once it
    // takes connections.
    void StartServer() {
        server_ = testing::SpawnSoundServer(*gRuntime);
        ASSERT_GT(server_, 0);
        ASSERT_TRUE(testing::WaitForSocket(gRuntime->Socket())) << "the sound server did not start";
    }
    // Records the sink's monitor; returns once samples arrive.
    void StartRecording() {
        recording_ = gRuntime->Path() / ("recording" + std::to_string(++gRecordings) + ".raw");
        recorder_ = testing::SpawnRecorder(recording_);
        ASSERT_GT(recorder_, 0);
        ASSERT_TRUE(testing::WaitForSamples(recording_)) << "parec recorded nothing";
    }
    void StopRecording() { End(recorder_, SIGINT); }

    // The letters and digits morse2ascii hears in the last recording.
    std::string Decode() const { return testing::DecodeMorse(recording_); }
    int Peak(std::chrono::milliseconds from, std::chrono::milliseconds to) const {
        return testing::RecordedPeak(recording_, from, to);
    }
    std::chrono::milliseconds RecordingLength() const { return testing::RecordingLength(recording_); }

    void PressEnter() {
        char key = kEnterKey;
        controller_.Edit1Keypress(key);
    }
    // Presses Enter and lets the group sound to its end.
    std::string SendAndListen() {
        PressEnter();
        std::this_thread::sleep_for(Duration(controller_.Wave()) + 300ms);
        window_.TypeAnswer(controller_.SentText());
        return controller_.SentText();
    }
    // Groups of fifteen zeros at the given speed: a long sound with no gap
    // longer than three units.
    void LongGroups(const char* speed) {
        testing::TempWorkingDir::WriteFile(kCharSetFileName, "0");
        controller_.FormCreate();
        window_.SpinText(Setting::GroupLength) = "15";
        window_.SpinText(Setting::Speed) = speed;
    }

    testing::TempWorkingDir dir_;
    testing::CallLog log_;
    testing::FakeWindow window_{log_};
    PulseSoundService sound_;
    TrialController controller_{window_, sound_};
    pid_t server_ = -1;
    pid_t recorder_ = -1;
    fs::path recording_;
};

TEST_F(SoundServiceTest, DrillSoundsTheGroupsThatWereSent) {
    StartServer();
    ASSERT_TRUE(WaitFor([&] { return sound_.Ready(); }, 2s)) << "no stream within 2 s of the server";
    StartRecording();
    std::string sent;
    for (int trial = 0; trial < 3; ++trial) sent += SendAndListen();
    StopRecording();
    EXPECT_EQ(Decode(), sent);
    EXPECT_EQ(controller_.Counters().TrialNo, 3);
}

TEST_F(SoundServiceTest, StopEndsTheSoundAtOnce) {
    StartServer();
    LongGroups("100");  // some 20 seconds of sound
    ASSERT_TRUE(WaitFor([&] { return sound_.Ready(); }, 2s));
    StartRecording();
    const auto startedAt = RecordingLength();
    PressEnter();
    std::this_thread::sleep_for(1500ms);
    controller_.Button1Click();  // Reset stops the sound
    const auto stoppedAt = RecordingLength();
    std::this_thread::sleep_for(1000ms);
    StopRecording();

    EXPECT_GT(Peak(startedAt, stoppedAt), 10000) << "the group did not sound";
    // What the server and the recorder held when the stop came: a few
    // target buffers and the recorder's 20 ms.
    EXPECT_LT(Peak(stoppedAt + 100ms, RecordingLength()), 100) << "the group sounded on";
}

TEST_F(SoundServiceTest, NoServerAtStartThenSoundWithinASecondOfOne) {
    // No server yet: trials run and score as usual, silently.
    LongGroups("100");
    for (int trial = 1; trial <= 3; ++trial) {
        window_.TypeAnswer(controller_.SentText());
        const auto before = Clock::now();
        PressEnter();
        EXPECT_LT(Clock::now() - before, 50ms);
        EXPECT_EQ(controller_.Counters().TrialNo, trial);
    }
    EXPECT_EQ(controller_.Counters().WrongTotal + controller_.Counters().MissingTotal, 0);
    EXPECT_FALSE(sound_.Ready());

    // A server appears while the last group would still be sounding: the
    // group goes on from where it has got to by then.
    StartServer();
    const auto serverUp = Clock::now();
    StartRecording();
    const auto heard = testing::WaitForTone(recording_, serverUp + 1s);
    EXPECT_TRUE(heard.has_value()) << "no sound within 1 s of the server";
    controller_.Button1Click();
    StopRecording();

    // And the drill after it sounds whole.
    testing::TempWorkingDir::WriteFile(kCharSetFileName, "BCFHJLPQVXYZ0123456789");
    controller_.FormCreate();
    window_.SpinText(Setting::GroupLength) = "5";
    StartRecording();
    std::string sent = SendAndListen();
    sent += SendAndListen();
    StopRecording();
    EXPECT_EQ(Decode(), sent);
}

TEST_F(SoundServiceTest, ServerLostAndBackSoundsWithinASecond) {
    StartServer();
    LongGroups("100");
    ASSERT_TRUE(WaitFor([&] { return sound_.Ready(); }, 2s));
    PressEnter();
    std::this_thread::sleep_for(500ms);
    End(server_, SIGKILL);  // in the middle of the group
    std::this_thread::sleep_for(300ms);
    // Trials and Reset go on without a server, at once.
    for (int trial = 0; trial < 3; ++trial) {
        const auto before = Clock::now();
        PressEnter();
        EXPECT_LT(Clock::now() - before, 50ms);
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(controller_.Counters().TrialNo, 4);

    // The server comes back during the last group, which sounds on.
    StartServer();
    const auto serverUp = Clock::now();
    StartRecording();
    EXPECT_TRUE(testing::WaitForTone(recording_, serverUp + 1s).has_value())
        << "no sound within 1 s of the server's return";
    controller_.Button1Click();
    StopRecording();

    testing::TempWorkingDir::WriteFile(kCharSetFileName, "BCFHJLPQVXYZ0123456789");
    controller_.FormCreate();
    window_.SpinText(Setting::GroupLength) = "5";
    window_.SpinText(Setting::Speed) = "100";
    StartRecording();
    std::string sent = SendAndListen();
    sent += SendAndListen();
    StopRecording();
    EXPECT_EQ(Decode(), sent);
}

// The volume scales the sound on the server's side: the image is the same,
// and what the sink plays is the image's level (peak 30000) times the
// volume, on the mixers' cubic scale (50 % is 0.5^3 of the amplitude).
TEST_F(SoundServiceTest, VolumeScalesWhatTheSinkPlays) {
    struct Case {
        int percent;
        int lowest;
        int highest;
    };
    const Case cases[] = {
        {100, 27000, 33000},  // the image's own level
        {50, 3300, 4200},     // 30000 * 0.125 = 3750
        {150, 27000, 33000},  // limited to 100
        {0, 0, 50},
    };
    StartServer();
    LongGroups("100");
    ASSERT_TRUE(WaitFor([&] { return sound_.Ready(); }, 2s));
    for (const Case& c : cases) {
        SCOPED_TRACE("volume " + std::to_string(c.percent) + " %");
        sound_.SetVolumePercent(c.percent);
        StartRecording();
        const auto from = RecordingLength();
        PressEnter();
        std::this_thread::sleep_for(1500ms);
        const auto to = RecordingLength();
        controller_.Button1Click();
        StopRecording();
        const int peak = Peak(from, to);
        EXPECT_GE(peak, c.lowest);
        EXPECT_LE(peak, c.highest);
    }

    // A change applies to the group that sounds.
    sound_.SetVolumePercent(100);
    StartRecording();
    const auto from = RecordingLength();
    PressEnter();
    std::this_thread::sleep_for(1000ms);
    const auto changedAt = RecordingLength();
    sound_.SetVolumePercent(0);
    std::this_thread::sleep_for(1000ms);
    const auto to = RecordingLength();
    controller_.Button1Click();
    StopRecording();
    EXPECT_GT(Peak(from, changedAt), 27000);
    EXPECT_LT(Peak(changedAt + 100ms, to), 50);
}

// Images in other formats than Rivek's own play too: the stream follows
// the image's format, and comes back to Rivek's for the next group.
TEST_F(SoundServiceTest, ImagesOfOtherFormatsPlay) {
    struct Case {
        const char* name;
        std::uint16_t channels;
        std::uint32_t rate;
        std::uint16_t bits;
    };
    const Case cases[] = {{"8-bit mono 8000 Hz", 1, 8000, 8}, {"16-bit stereo 44100 Hz", 2, 44100, 16}};
    StartServer();
    ASSERT_TRUE(WaitFor([&] { return sound_.Ready(); }, 2s));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Half a second of a full-scale square wave at 500 Hz.
        const std::uint32_t frames = c.rate / 2;
        const std::uint32_t frameBytes = c.channels * c.bits / 8u;
        std::vector<std::uint8_t> image(44 + frames * frameBytes);
        auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
            for (int i = 0; i < bytes; ++i) image[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
        };
        std::memcpy(image.data(), "RIFF", 4);
        put(4, static_cast<std::uint32_t>(image.size() - 8), 4);
        std::memcpy(image.data() + 8, "WAVEfmt ", 8);
        put(16, 16, 4);
        put(20, 1, 2);
        put(22, c.channels, 2);
        put(24, c.rate, 4);
        put(28, c.rate * frameBytes, 4);
        put(32, frameBytes, 2);
        put(34, c.bits, 2);
        std::memcpy(image.data() + 36, "data", 4);
        put(40, frames * frameBytes, 4);
        for (std::uint32_t f = 0; f < frames; ++f) {
            const bool high = (f * 1000 / c.rate) % 2 == 0;
            for (std::uint16_t ch = 0; ch < c.channels; ++ch) {
                const std::size_t at = 44 + f * frameBytes + ch * c.bits / 8u;
                if (c.bits == 8) put(at, high ? 228 : 28, 1);
                else put(at, static_cast<std::uint16_t>(high ? 25000 : -25000), 2);
            }
        }
        StartRecording();
        const auto from = RecordingLength();
        sound_.Play(image);
        std::this_thread::sleep_for(800ms);
        sound_.Stop();
        StopRecording();
        EXPECT_GT(Peak(from, RecordingLength()), 15000);
    }
    StartRecording();
    std::string sent = SendAndListen();
    sent += SendAndListen();
    StopRecording();
    EXPECT_EQ(Decode(), sent);
}

}  // namespace
}  // namespace rivek

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A private runtime folder for this process's server, chosen before
    // any sound service starts, so that it and parec find our server.
    const rivek::testing::PrivateRuntime runtime;
    rivek::gRuntime = &runtime;
    return RUN_ALL_TESTS();
}
