// A sound server that takes the connection and then never answers: a
// socket that accepts and stays silent, or a real server stopped (SIGSTOP)
// in the middle of a drill. The real window (Qt's offscreen platform),
// wired as the program wires it, must go on answering: every Enter returns
// within 50 ms and is scored, typing reaches the answer field, and
// File > Exit saves the settings and ends within a second.
#include "sound/pulse_sound_service.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "drill/drill_files.h"
#include "drill/trial_controller.h"
#include "support/sound_server.h"
#include "support/temp_dir.h"
#include "window/form1.h"

namespace rivek {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const testing::PrivateRuntime* gRuntime = nullptr;

void Pump(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

// A listening socket that takes every connection (the kernel completes it)
// and never reads or writes a byte.
class SilentServer {
public:
    explicit SilentServer(const std::filesystem::path& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        listening_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::listen(fd_, 64) == 0;
    }
    ~SilentServer() {
        if (fd_ >= 0) ::close(fd_);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    bool Listening() const { return listening_; }

private:
    int fd_ = -1;
    bool listening_ = false;
};

enum class Stall { SilentSocket, StoppedServer };

const char* Name(Stall stall) { return stall == Stall::SilentSocket ? "SilentSocket" : "StoppedServer"; }
void PrintTo(Stall stall, std::ostream* out) { *out << Name(stall); }

class SoundStallTest : public ::testing::TestWithParam<Stall> {
protected:
    void SetUp() override {
        if (GetParam() == Stall::StoppedServer && !testing::OnPath("pulseaudio")) {
            GTEST_SKIP() << "pulseaudio is not installed (scripts/deps test installs it)";
        }
    }
    void TearDown() override {
        if (server_ > 0) ::kill(server_, SIGCONT);
        testing::End(recorder_, SIGINT);
        testing::End(server_, SIGTERM);
    }

    // Start-up as main() does it.
    void Open() {
        sound_ = std::make_unique<PulseSoundService>();
        form_ = std::make_unique<TForm1>();
        controller_ = std::make_unique<TrialController>(*form_, *sound_);
        form_->Attach(*controller_);
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        edit_ = form_->findChild<QLineEdit*>(QStringLiteral("Edit1"));
        ASSERT_NE(edit_, nullptr);
    }

    // Enter in the answer field, as the user presses it; returns how long
    // the window took to come back.
    Clock::duration PressEnter() {
        const auto before = Clock::now();
        QTest::keyClick(edit_, Qt::Key_Return);
        return Clock::now() - before;
    }

    // Trials with the server stalled: each returns at once and is scored.
    void DrillOn(int trials) {
        for (int i = 0; i < trials; ++i) {
            const int trialNo = controller_->Counters().TrialNo;
            SCOPED_TRACE("trial " + std::to_string(trialNo + 1));
            if (trialNo > 0) {
                QTest::keyClicks(edit_, QString::fromStdString(controller_->SentText()));
                EXPECT_EQ(edit_->text().toStdString(), controller_->SentText()) << "typing did not arrive";
            }
            EXPECT_LT(PressEnter(), 50ms) << "Enter waited for the sound server";
            EXPECT_EQ(controller_->Counters().TrialNo, trialNo + 1);
            Pump(100ms);
        }
        EXPECT_EQ(controller_->Counters().WrongTotal, 0);
        EXPECT_EQ(controller_->Counters().MissingTotal, 0);
    }

    // File > Exit with the server stalled: the settings are saved and
    // everything is gone within a second.
    void ExitSaves() {
        form_->SetSpinValue(Setting::Frequency, 700);
        auto* exit = form_->findChild<QAction*>(QStringLiteral("Exit1"));
        ASSERT_NE(exit, nullptr);
        const auto before = Clock::now();
        exit->trigger();
        controller_.reset();
        form_.reset();
        sound_.reset();
        EXPECT_LT(Clock::now() - before, 1s) << "Exit waited for the sound server";
        EXPECT_EQ(testing::TempDir::ReadFile(kSettingsFileName), "700\r\n100\r\n8\r\n");
    }

    testing::TempWorkingDir dir_;
    pid_t server_ = -1;
    pid_t recorder_ = -1;
    // Destroyed window first, then the controller, then the sound.
    std::unique_ptr<PulseSoundService> sound_;
    std::unique_ptr<TrialController> controller_;
    std::unique_ptr<TForm1> form_;
    QLineEdit* edit_ = nullptr;
};

TEST_P(SoundStallTest, WindowAnswersAndExitSaves) {
    std::unique_ptr<SilentServer> silent;
    if (GetParam() == Stall::SilentSocket) {
        silent = std::make_unique<SilentServer>(gRuntime->Socket());
        ASSERT_TRUE(silent->Listening());
        Open();
        Pump(500ms);  // the sound service has connected and waits for an answer
        EXPECT_FALSE(sound_->Ready());
    } else {
        server_ = testing::SpawnSoundServer(*gRuntime);
        ASSERT_TRUE(testing::WaitForSocket(gRuntime->Socket()));
        Open();
        for (int i = 0; i < 200 && !sound_->Ready(); ++i) Pump(10ms);
        ASSERT_TRUE(sound_->Ready());
        EXPECT_LT(PressEnter(), 50ms);  // a group sounds
        Pump(300ms);
        ASSERT_EQ(::kill(server_, SIGSTOP), 0);
    }
    DrillOn(10);

    if (GetParam() == Stall::StoppedServer) {
        // The server goes on: so does the sound, within a second.
        ASSERT_EQ(::kill(server_, SIGCONT), 0);
        const auto recording = gRuntime->Path() / "after.raw";
        recorder_ = testing::SpawnRecorder(recording);
        ASSERT_TRUE(testing::WaitForSamples(recording));
        QTest::keyClicks(edit_, QString::fromStdString(controller_->SentText()));
        EXPECT_LT(PressEnter(), 50ms);
        EXPECT_TRUE(testing::WaitForTone(recording, Clock::now() + 1s).has_value())
            << "no sound after the server went on";
        ASSERT_EQ(::kill(server_, SIGSTOP), 0);
        DrillOn(2);
    }
    ExitSaves();
}

INSTANTIATE_TEST_SUITE_P(Stalls, SoundStallTest, ::testing::Values(Stall::SilentSocket, Stall::StoppedServer),
                         [](const ::testing::TestParamInfo<Stall>& row) { return std::string(Name(row.param)); });

}  // namespace
}  // namespace rivek

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The sound server's socket (or the silent one) lies in a private
    // runtime folder, chosen before Qt and the sound service start.
    const rivek::testing::PrivateRuntime runtime;
    rivek::gRuntime = &runtime;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
