// The drill through the real sound service: each test process runs its own
// PulseAudio server with a null sink in a private runtime folder, records
// the sink's monitor with parec and decodes the recording with morse2ascii.
// The processes a test starts are ended by their pid when it ends.
#include "sound/qt_sound_service.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "drill/trial_controller.h"
#include "fakes/call_log.h"
#include "fakes/fake_window.h"
#include "support/temp_dir.h"
#include "support/sound_server.h"

namespace rivek {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::End;

// The private runtime folder of this test process, set up in main().
const testing::PrivateRuntime* gRuntime = nullptr;
// Servers started in this process so far. Qt Multimedia connects once per
// process and, after losing its server, reconnects only once, about three
// seconds later; ctest runs every test in a process of its own.
int gServersStarted = 0;
// Recordings made in this process so far; each gets a file of its own.
int gRecordings = 0;

// Runs the event loop for a while: the sink is fed from it.
void Pump(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

std::chrono::milliseconds Duration(const WaveStream& image) {
    return std::chrono::milliseconds((image.size() - 44) / 2 * 1000 / 11025);
}

class SoundServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::OnPath("pulseaudio")) {
            GTEST_SKIP() << "pulseaudio is not installed: the sound service is not tested "
                            "(scripts/deps test installs it)";
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

    // A PulseAudio server of our own with a null sink.
    void StartServer() {
        server_ = testing::SpawnSoundServer(*gRuntime);
        ASSERT_GT(server_, 0);
        ASSERT_TRUE(testing::WaitForSocket(gRuntime->Socket())) << "the sound server did not start";
        // A server of an earlier test in this process: give the audio layer
        // time to reconnect to the new one.
        if (gServersStarted++ > 0) Pump(3500ms);
    }
    // Records the sink's monitor; returns once samples arrive.
    void StartRecording() {
        recording_ = gRuntime->Path() / ("recording" + std::to_string(++gRecordings) + ".raw");
        recorder_ = testing::SpawnRecorder(recording_);
        ASSERT_GT(recorder_, 0);
        if (testing::WaitForSamples(recording_)) return;
        FAIL() << "parec recorded nothing";
    }
    void StopRecording() { End(recorder_, SIGINT); }

    // The letters and digits morse2ascii hears in the last recording.
    std::string Decode() const { return testing::DecodeMorse(recording_); }

    // Peak level of the recording between two times.
    int Peak(std::chrono::milliseconds from, std::chrono::milliseconds to) const {
        std::ifstream in(recording_, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::size_t first = static_cast<std::size_t>(from.count()) * 11025 / 1000;
        const std::size_t last = std::min(bytes.size() / 2, static_cast<std::size_t>(to.count()) * 11025 / 1000);
        int peak = 0;
        for (std::size_t i = first; i < last; ++i) {
            const auto lo = static_cast<unsigned char>(bytes[2 * i]);
            const auto hi = static_cast<unsigned char>(bytes[2 * i + 1]);
            const auto sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | hi << 8));
            peak = std::max(peak, std::abs(static_cast<int>(sample)));
        }
        return peak;
    }
    std::chrono::milliseconds RecordingLength() const {
        return std::chrono::milliseconds(fs::file_size(recording_) / 2 * 1000 / 11025);
    }

    // Presses Enter and lets the group sound to its end.
    std::string SendAndListen() {
        char key = kEnterKey;
        controller_.Edit1Keypress(key);
        Pump(Duration(controller_.Wave()) + 300ms);
        window_.TypeAnswer(controller_.SentText());
        return controller_.SentText();
    }

    testing::TempWorkingDir dir_;
    testing::CallLog log_;
    testing::FakeWindow window_{log_};
    QtSoundService sound_;
    TrialController controller_{window_, sound_};
    pid_t server_ = -1;
    pid_t recorder_ = -1;
    fs::path recording_;
};

TEST_F(SoundServiceTest, SilentWithoutServerThenPlaysOnceOneIsThere) {
    if (gServersStarted > 0) GTEST_SKIP() << "needs a process of its own, as ctest runs it";
    // No server yet: the trial runs and scores as usual, silently.
    char key = kEnterKey;
    controller_.Edit1Keypress(key);
    Pump(300ms);
    controller_.Button1Click();
    EXPECT_EQ(controller_.Counters().TrialNo, 0);

    StartServer();
    StartRecording();
    // morse2ascii wants more than one short group to set its timing.
    std::string sent = SendAndListen();
    sent += SendAndListen();
    StopRecording();
    EXPECT_EQ(Decode(), sent);
}

TEST_F(SoundServiceTest, DrillSoundsTheGroupsThatWereSent) {
    StartServer();
    StartRecording();
    std::string sent;
    for (int trial = 0; trial < 3; ++trial) sent += SendAndListen();
    StopRecording();
    EXPECT_EQ(Decode(), sent);
    EXPECT_EQ(controller_.Counters().TrialNo, 3);
}

TEST_F(SoundServiceTest, StopCutsALongGroupShort) {
    StartServer();
    window_.SpinText(Setting::GroupLength) = "15";
    window_.SpinText(Setting::Speed) = "30";  // some 30 seconds of sound
    StartRecording();
    const auto startedAt = RecordingLength();
    char key = kEnterKey;
    controller_.Edit1Keypress(key);
    ASSERT_GT(Duration(controller_.Wave()), 20s);
    Pump(1500ms);
    controller_.Button1Click();  // Reset stops the sound
    const auto stoppedAt = RecordingLength();
    Pump(1500ms);
    StopRecording();

    EXPECT_GT(Peak(startedAt, stoppedAt), 10000) << "the group did not sound";
    // Allow for the device's buffer: what was queued before the stop.
    EXPECT_LT(Peak(stoppedAt + 500ms, RecordingLength()), 100) << "the group sounded on";
}

TEST_F(SoundServiceTest, ServerLostDuringAGroupNeitherCrashesNorHangs) {
    StartServer();
    window_.SpinText(Setting::GroupLength) = "15";
    char key = kEnterKey;
    controller_.Edit1Keypress(key);
    Pump(500ms);
    End(server_, SIGKILL);
    Pump(300ms);
    // Trials and Reset go on without a server.
    for (int trial = 0; trial < 3; ++trial) {
        key = kEnterKey;
        controller_.Edit1Keypress(key);
        Pump(100ms);
    }
    controller_.Button1Click();
    EXPECT_EQ(controller_.Counters().TrialNo, 0);

    // A server that comes back soon is used again once the audio layer
    // has reconnected (a few seconds).
    StartServer();
    window_.SpinText(Setting::GroupLength) = "5";
    StartRecording();
    SendAndListen();
    const std::string sent = SendAndListen();
    StopRecording();
    EXPECT_NE(Decode().find(sent), std::string::npos) << Decode();
}

}  // namespace
}  // namespace rivek

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A private runtime folder for this process's server, chosen before Qt
    // starts so that Qt Multimedia and parec both find our server.
    const rivek::testing::PrivateRuntime runtime;
    rivek::gRuntime = &runtime;
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
