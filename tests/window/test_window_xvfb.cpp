// The whole program as a user meets it: the real window on an X server of
// its own (Xvfb), keys that come through that server (xdotool, by the XTEST
// extension, to the window that has the input focus), the groups sounding
// through the program's sound service into a PulseAudio null sink of our
// own. The groups are copied by ear (morse2ascii reads a recording of the
// sink's monitor) and typed back; the window must score every one as
// copied without fault. Kana groups are answered in hiragana, as an input
// method types them.
//
// Qt connects to its display once per process, so the display and the
// sound server are both started in main() before the application object,
// and ended by their pid after it has gone.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "drill/drill_files.h"
#include "drill/trial_controller.h"
#include "platform/shift_jis.h"
#include "support/temp_dir.h"
#include "sound/pulse_sound_service.h"
#include "support/sound_server.h"
#include "window/form1.h"

namespace rivek {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What main() found: the programs that are missing (the test is skipped),
// or why the display or the sound server did not start (it fails).
std::string gMissing;
std::string gStartFailure;
// The private runtime folder, set up in main().
const testing::PrivateRuntime* gRuntime = nullptr;

// A process of ours that is ended, by its pid, when it goes out of scope.
struct OwnedProcess {
    pid_t pid = -1;
    int signal = SIGTERM;
    OwnedProcess() = default;
    OwnedProcess(pid_t p, int s) : pid(p), signal(s) {}
    OwnedProcess(const OwnedProcess&) = delete;
    OwnedProcess& operator=(const OwnedProcess&) = delete;
    ~OwnedProcess() { testing::End(pid, signal); }
};

// Runs the event loop for a while: the window answers its X events and the
// sound goes on meanwhile.
void Pump(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds or `timeout` passes; tells which.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        Pump(10ms);
    }
    return true;
}

// Runs a tool to its end (at most 30 seconds) with the event loop running,
// so that the window can answer what the tool waits for. Returns its exit
// status, or -1 when it did not end normally.
int RunTool(const std::vector<std::string>& args) {
    static int runs = 0;
    pid_t pid = testing::Spawn(args, gRuntime->Path() / ("tool" + std::to_string(++runs) + ".out"));
    int status = 0;
    const bool ended = PumpUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 30s);
    if (!ended) {
        testing::End(pid, SIGKILL);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::chrono::milliseconds Duration(const WaveStream& image) {
    return std::chrono::milliseconds((image.size() - 44) / 2 * 1000 / testing::kRecordingRate);
}

class WindowOnXTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gMissing.empty()) {
            GTEST_SKIP() << "not installed: " << gMissing
                         << "; the drill through the window on X is not tested (scripts/deps test "
                            "installs them)";
        }
        ASSERT_TRUE(gStartFailure.empty()) << gStartFailure;
    }

    template <typename Widget>
    Widget* Find(const TForm1& form, const char* name) const {
        auto* widget = form.findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr) ADD_FAILURE() << "no control " << name;
        return widget;
    }
    std::string LabelText(const TForm1& form, const char* name) const {
        const QLabel* label = Find<QLabel>(form, name);
        return label ? label->text().toStdString() : std::string();
    }
    // The score labels after a trial whose answer was the group as sent.
    void ExpectFaultless(const TForm1& form, int trialNo) const {
        EXPECT_EQ(LabelText(form, "StaticText4"), "誤字：0");
        EXPECT_EQ(LabelText(form, "StaticText5"), "脱字：0");
        EXPECT_EQ(LabelText(form, "StaticText6"), "減点：0");
        EXPECT_EQ(LabelText(form, "StaticText7"), "No." + std::to_string(trialNo));
    }
};

TEST_F(WindowOnXTest, GroupsCopiedByEarAndTypedBackScoreWithoutFault) {
    testing::TempWorkingDir dir;
    // morse2ascii reads characters of four or five elements well; groups of
    // five at the usual pitch and speed.
    testing::TempWorkingDir::WriteFile(kCharSetFileName, "BCFHJLPQVXYZ0123456789\r\n");
    testing::TempWorkingDir::WriteFile(kSettingsFileName, "800\r\n100\r\n5\r\n");

    // Wired as the program's entry wires them.
    PulseSoundService sound;
    TForm1 form1;
    TrialController controller(form1, sound);
    form1.Attach(controller);
    form1.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form1));

    // No window manager runs on this display: give the window the input
    // focus directly, as a click into it would.
    const std::string window = std::to_string(form1.winId());
    ASSERT_EQ(RunTool({"xdotool", "windowfocus", "--sync", window}), 0);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form1));
    auto* edit = Find<QLineEdit>(form1, "Edit1");
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return QApplication::focusWidget() == edit; }, 5s))
        << "the answer field does not have the focus";

    constexpr int kGroups = 3;
    for (int trial = 1; trial <= kGroups + 1; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const fs::path recording = gRuntime->Path() / ("group" + std::to_string(trial) + ".raw");
        OwnedProcess recorder;
        if (trial <= kGroups) {
            recorder.pid = testing::SpawnRecorder(recording);
            recorder.signal = SIGINT;
            ASSERT_GT(recorder.pid, 0);
            ASSERT_TRUE(testing::WaitForSamples(recording)) << "parec recorded nothing";
        }

        // Enter scores the answer typed for the group before and sends the
        // next one.
        ASSERT_EQ(RunTool({"xdotool", "key", "Return"}), 0);
        ASSERT_TRUE(PumpUntil([&] { return controller.Counters().TrialNo == trial; }, 5s))
            << "Enter did not reach the answer field";
        EXPECT_EQ(edit->text().toStdString(), "");
        if (trial > 1) ExpectFaultless(form1, trial);
        if (trial > kGroups) break;

        // Listen to the group to its end, then write down what was heard.
        Pump(Duration(controller.Wave()) + 300ms);
        testing::End(recorder.pid, SIGINT);
        const std::string heard = testing::DecodeMorseFromFirstTone(recording, 100ms);
        EXPECT_EQ(heard, controller.SentText()) << "what the sink sounded";
        ASSERT_FALSE(heard.empty()) << "nothing was heard";

        ASSERT_EQ(RunTool({"xdotool", "type", "--delay", "40", heard}), 0);
        EXPECT_TRUE(PumpUntil([&] { return edit->text().toStdString() == heard; }, 5s))
            << "typed " << heard << ", the field shows " << edit->text().toStdString();
    }
    EXPECT_EQ(controller.Counters().TrialNo, kGroups + 1);
}

// Plays nothing: the test below is about the keyboard.
class SilentSound : public SoundService {
public:
    void Play(std::span<const std::uint8_t>) override {}
    void Stop() override {}
};

// An input method in its usual mode types hiragana; xdotool types them as
// the keyboard would, through key codes it maps to their keysyms. The window
// must score them exactly as the half-width katakana that were sent. The
// character set is UTF-8, as a text editor saves it.
TEST_F(WindowOnXTest, HiraganaTypedOnTheKeyboardScoreAsTheKanaSent) {
    testing::TempWorkingDir dir;
    testing::TempWorkingDir::WriteFile(kCharSetFileName, "ｱｶｻﾀﾅﾊﾏﾔﾗ\r\n");
    testing::TempWorkingDir::WriteFile(kSettingsFileName, "800\r\n100\r\n5\r\n");
    const std::pair<std::string, std::string> hiragana[] = {
        {"\xB1", "あ"}, {"\xB6", "か"}, {"\xBB", "さ"}, {"\xC0", "た"}, {"\xC5", "な"},
        {"\xCA", "は"}, {"\xCF", "ま"}, {"\xD4", "や"}, {"\xD7", "ら"},
    };
    auto asHiragana = [&](const std::string& sent) {
        std::string typed;
        for (const char byte : sent) {
            for (const auto& [kana, twin] : hiragana) {
                if (kana.front() == byte) typed += twin;
            }
        }
        return typed;
    };

    SilentSound sound;
    TForm1 form1;
    TrialController controller(form1, sound);
    form1.Attach(controller);
    form1.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form1));
    ASSERT_EQ(RunTool({"xdotool", "windowfocus", "--sync", std::to_string(form1.winId())}), 0);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form1));
    auto* edit = Find<QLineEdit>(form1, "Edit1");
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return QApplication::focusWidget() == edit; }, 5s));

    ASSERT_EQ(RunTool({"xdotool", "key", "Return"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return controller.Counters().TrialNo == 1; }, 5s));
    for (int trial = 2; trial <= 3; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const std::string sent = controller.SentText();
        ASSERT_EQ(sent.size(), 5u);
        const std::string typed = asHiragana(sent);
        // One key at a time, each held mapped for a while: xdotool maps a
        // kana to a spare key code, sends the key and takes the mapping back
        // after the delay; the window reads the keyboard map anew when it
        // sees the mapping change, and must still find the kana there.
        const QString keys = QString::fromStdString(typed);
        for (qsizetype k = 0; k < keys.size(); ++k) {
            ASSERT_EQ(RunTool({"xdotool", "type", "--delay", "300", keys.mid(k, 1).toStdString()}), 0);
            ASSERT_TRUE(PumpUntil([&] { return edit->text() == keys.left(k + 1); }, 5s))
                << "typed " << keys.left(k + 1).toStdString() << ", the field shows " << edit->text().toStdString();
        }
        ASSERT_EQ(RunTool({"xdotool", "key", "Return"}), 0);
        ASSERT_TRUE(PumpUntil([&] { return controller.Counters().TrialNo == trial; }, 5s));
        ExpectFaultless(form1, trial);
        // The correction shows the kana as sent, all of them right.
        const auto* box = Find<QTextEdit>(form1, "RichEdit1");
        const QString shown = QString::fromUtf8(Cp932ToUtf8(" " + sent));
        EXPECT_EQ(box->toPlainText(), shown + "\n" + shown);
    }
}

}  // namespace
}  // namespace rivek

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    using namespace std::chrono_literals;
    ::testing::InitGoogleTest(&argc, argv);
    // The runtime folder (and the sound server's socket in it) is chosen
    // before Qt and the sound service start, so that both and parec find our
    // server.
    const rivek::testing::PrivateRuntime runtime;
    rivek::gRuntime = &runtime;

    rivek::OwnedProcess display;
    rivek::OwnedProcess server;
    for (const char* program : {"Xvfb", "xdotool", "pulseaudio", "parec", "morse2ascii"}) {
        if (!rivek::testing::OnPath(program)) {
            rivek::gMissing += rivek::gMissing.empty() ? "" : ", ";
            rivek::gMissing += program;
        }
    }
    if (rivek::gMissing.empty()) {
        // A display of our own: Xvfb takes a free number and writes it to
        // the descriptor named, here its output file.
        const fs::path displayFile = runtime.Path() / "display";
        display.pid = rivek::testing::Spawn({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24",
                                             "-dpi", "96", "-nolisten", "tcp"},
                                            displayFile);
        std::string number;
        for (int i = 0; i < 1000 && number.find('\n') == std::string::npos; ++i) {
            std::this_thread::sleep_for(10ms);
            std::ifstream in(displayFile);
            number.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        if (number.find('\n') == std::string::npos) {
            rivek::gStartFailure = "Xvfb did not start";
        } else {
            number.resize(number.find('\n'));
            ::setenv("DISPLAY", (":" + number).c_str(), 1);
            server.pid = rivek::testing::SpawnSoundServer(runtime);
            if (!rivek::testing::WaitForSocket(runtime.Socket())) rivek::gStartFailure = "the sound server did not start";
        }
    }
    // Without a display the test does not run; Qt still needs a platform.
    const bool onX = rivek::gMissing.empty() && rivek::gStartFailure.empty();
    ::setenv("QT_QPA_PLATFORM", onX ? "xcb" : "offscreen", 1);

    int result;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
