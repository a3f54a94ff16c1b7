// A sound server that dies and comes back again and again during a drill,
// at random moments: in the middle of a group, between groups, while the
// sound service is still connecting or making its streams. Every trial
// must return at once and be scored, and the sound must come back within a
// second of every restart, without a restart of Rivek.
#include "sound/pulse_sound_service.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "drill/trial_controller.h"
#include "fakes/call_log.h"
#include "fakes/fake_window.h"
#include "support/sound_server.h"
#include "support/temp_dir.h"

namespace rivek {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::End;

const testing::PrivateRuntime* gRuntime = nullptr;

TEST(SoundOutageTest, TwentyRestartsAtRandomMomentsLoseNoTrialAndNoSound) {
    if (!testing::OnPath("pulseaudio") || !testing::OnPath("parec")) {
        GTEST_SKIP() << "pulseaudio is not installed (scripts/deps test installs it)";
    }
    testing::TempWorkingDir dir;
    // Groups of fifteen zeros at speed 100: some 20 seconds of sound each,
    // with no gap longer than 180 ms, so a group is always sounding.
    testing::TempWorkingDir::WriteFile(kCharSetFileName, "0");
    testing::CallLog log;
    testing::FakeWindow window(log);
    window.SpinText(Setting::GroupLength) = "15";
    PulseSoundService sound;
    TrialController controller(window, sound);
    controller.FormCreate();

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> beforeKill(0, 1500);  // [ms] into a group
    std::uniform_int_distribution<int> away(0, 1000);        // [ms] without a server
    SCOPED_TRACE("seed " + std::to_string(seed));

    int trials = 0;
    auto enter = [&] {
        window.TypeAnswer(controller.SentText());
        char key = kEnterKey;
        const auto before = Clock::now();
        controller.Edit1Keypress(key);
        EXPECT_LT(Clock::now() - before, 50ms) << "trial " << trials + 1 << " waited";
        EXPECT_EQ(controller.Counters().TrialNo, ++trials);
    };

    pid_t server = testing::SpawnSoundServer(*gRuntime);
    ASSERT_TRUE(testing::WaitForSocket(gRuntime->Socket()));
    for (int round = 1; round <= 20; ++round) {
        SCOPED_TRACE("restart " + std::to_string(round));
        enter();
        std::this_thread::sleep_for(std::chrono::milliseconds(beforeKill(random)));
        End(server, SIGKILL);
        enter();
        std::this_thread::sleep_for(std::chrono::milliseconds(away(random)));

        server = testing::SpawnSoundServer(*gRuntime);
        ASSERT_TRUE(testing::WaitForSocket(gRuntime->Socket())) << "the sound server did not start";
        const auto serverUp = Clock::now();
        // The group sent during the outage is still sounding by its time:
        // it must be heard again within a second.
        const auto recording = gRuntime->Path() / ("round" + std::to_string(round) + ".raw");
        pid_t recorder = testing::SpawnRecorder(recording);
        const auto heard = testing::WaitForTone(recording, serverUp + 1s);
        End(recorder, SIGINT);
        EXPECT_TRUE(heard.has_value()) << "no sound within 1 s of the restart";
        if (heard) {
            RecordProperty("resumed_ms_" + std::to_string(round),
                           static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                *heard - serverUp)
                                                .count()));
        }
    }
    enter();
    EXPECT_EQ(controller.Counters().WrongTotal + controller.Counters().MissingTotal, 0);
    controller.FormClose();
    End(server, SIGTERM);
}

}  // namespace
}  // namespace rivek

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Our own server's runtime folder, chosen before the sound service
    // starts.
    const rivek::testing::PrivateRuntime runtime;
    rivek::gRuntime = &runtime;
    return RUN_ALL_TESTS();
}
