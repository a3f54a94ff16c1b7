// A sound server that stays away longer than Qt Multimedia waits for it.
// Qt 6.4 tries to reconnect once, about three seconds after the loss; when
// no server answers then, its PulseAudio engine stays without a connection
// for the rest of the process, and every sink fails to open (the last
// device list stays as it was, so nothing tells this from a working
// server before a sink is tried). The drill must go on: every trial
// returns at once and is scored, silently; Rivek sounds again after a
// restart of the program.
#include "sound/qt_sound_service.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <string>

#include "drill/trial_controller.h"
#include "fakes/call_log.h"
#include "fakes/fake_window.h"
#include "support/temp_dir.h"
#include "support/sound_server.h"

namespace rivek {
namespace {

using namespace std::chrono_literals;
using testing::End;

const testing::PrivateRuntime* gRuntime = nullptr;

void Pump(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(SoundOutageTest, ServerAwayLongerThanQtWaitsLeavesTheDrillRunning) {
    if (!testing::OnPath("pulseaudio")) GTEST_SKIP() << "pulseaudio is not installed";
    testing::TempWorkingDir dir;
    testing::CallLog log;
    testing::FakeWindow window(log);
    window.SpinText(Setting::GroupLength) = "15";
    QtSoundService sound;
    TrialController controller(window, sound);
    controller.FormCreate();

    pid_t server = testing::SpawnSoundServer(*gRuntime);
    ASSERT_GT(server, 0);
    ASSERT_TRUE(testing::WaitForSocket(gRuntime->Socket()));
    char key = kEnterKey;
    controller.Edit1Keypress(key);  // the first group sounds
    Pump(500ms);
    End(server, SIGKILL);  // lost in the middle of the group
    Pump(5s);              // past Qt's one attempt to reconnect
    server = testing::SpawnSoundServer(*gRuntime);
    ASSERT_GT(server, 0);
    ASSERT_TRUE(testing::WaitForSocket(gRuntime->Socket()));
    Pump(4s);

    for (int trial = 1; trial <= 3; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        window.TypeAnswer(controller.SentText());
        key = kEnterKey;
        const auto started = std::chrono::steady_clock::now();
        controller.Edit1Keypress(key);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 1s) << "the trial waited for the sound";
        EXPECT_EQ(controller.Counters().TrialNo, trial + 1);
        Pump(300ms);
    }
    EXPECT_EQ(controller.Counters().MissingTotal + controller.Counters().WrongTotal, 0);
    controller.Button1Click();
    EXPECT_EQ(controller.Counters().TrialNo, 0);
    controller.FormClose();
    End(server, SIGTERM);
}

}  // namespace
}  // namespace rivek

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Our own server's runtime folder, chosen before Qt starts.
    const rivek::testing::PrivateRuntime runtime;
    rivek::gRuntime = &runtime;
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
