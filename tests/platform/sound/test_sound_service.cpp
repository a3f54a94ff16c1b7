// The drill through the real sound service: each test process runs its own
// PulseAudio server with a null sink in a private runtime folder, records
// the sink's monitor with parec and decodes the recording with morse2ascii.
// The processes a test starts are ended by their pid when it ends.
#include "platform/sound/qt_sound_service.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "drill/trial_controller.h"
#include "fakes/call_log.h"
#include "fakes/fake_window.h"
#include "fakes/temp_working_dir.h"

namespace rivek {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The private runtime folder of this test process, set up in main().
fs::path gRuntimeDir;
// Servers started in this process so far. Qt Multimedia connects once per
// process and, after losing its server, reconnects only once, about three
// seconds later; ctest runs every test in a process of its own.
int gServersStarted = 0;
// Recordings made in this process so far; each gets a file of its own.
int gRecordings = 0;

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/bin:/bin";
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        const fs::path candidate = fs::path(dirs.substr(0, colon)) / program;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    }
    return false;
}

// Starts a program with its output going to `out` (and its errors to
// `out`.log); returns its pid. The program gets SIGTERM should this test
// process die first, so that no server outlives a crashed test.
pid_t Spawn(const std::vector<std::string>& args, const fs::path& out) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::string log = out.string() + ".log";
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (outFd < 0 || errFd < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0) ::_exit(127);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

// Ends a process we started, by its pid: the signal, then SIGKILL if it has
// not ended within two seconds.
void End(pid_t& pid, int signal) {
    if (pid <= 0) return;
    ::kill(pid, signal);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

// Runs the event loop for a while: the sink is fed from it.
void Pump(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

std::chrono::milliseconds Duration(const WaveStream& image) {
    return std::chrono::milliseconds((image.size() - 44) / 2 * 1000 / 11025);
}

bool SocketAnswers(const fs::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

class SoundServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OnPath("pulseaudio")) {
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

    // A PulseAudio server of our own: no configuration file, a null sink
    // whose monitor keeps a stream's start (norewinds), a socket in our
    // runtime folder.
    void StartServer() {
        const fs::path socket = gRuntimeDir / "native";
        server_ = Spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                         "--use-pid-file=no", "--disable-shm=yes", "--log-target=stderr",
                         "--load=module-null-sink sink_name=rivek_null norewinds=1",
                         "--load=module-native-protocol-unix auth-anonymous=1 socket=" +
                             socket.string()},
                        gRuntimeDir / "server.out");
        ASSERT_GT(server_, 0);
        for (int i = 0; i < 500 && !SocketAnswers(socket); ++i) std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(SocketAnswers(socket)) << "the sound server did not start";
        // A server of an earlier test in this process: give the audio layer
        // time to reconnect to the new one.
        if (gServersStarted++ > 0) Pump(3500ms);
    }
    // Records the sink's monitor as raw 16-bit mono at 11025 Hz; returns
    // once samples arrive.
    void StartRecording() {
        recording_ = gRuntimeDir / ("recording" + std::to_string(++gRecordings) + ".raw");
        recorder_ = Spawn({"parec", "-d", "rivek_null.monitor", "--raw", "--format=s16le",
                           "--rate=11025", "--channels=1", "--latency-msec=20"},
                          recording_);
        ASSERT_GT(recorder_, 0);
        for (int i = 0; i < 500; ++i) {
            std::error_code ec;
            const auto size = fs::file_size(recording_, ec);
            if (!ec && size > 0) return;
            std::this_thread::sleep_for(10ms);
        }
        FAIL() << "parec recorded nothing";
    }
    void StopRecording() { End(recorder_, SIGINT); }

    // The letters and digits morse2ascii hears in the last recording.
    std::string Decode() const {
        const fs::path text = recording_.string() + ".txt";
        pid_t decoder = Spawn({"morse2ascii", "-r", "11025", "1", "16", recording_.string()}, text);
        int status = 0;
        ::waitpid(decoder, &status, 0);
        std::ifstream in(text);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Its output is a banner, then the decoded text after "- decoded text:".
        const std::size_t at = all.find("decoded");
        std::string decoded;
        for (std::size_t i = at == std::string::npos ? 0 : all.find('\n', at); i < all.size(); ++i) {
            const auto c = static_cast<unsigned char>(all[i]);
            if (std::isalnum(c)) decoded.push_back(static_cast<char>(std::toupper(c)));
        }
        return decoded;
    }

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
    std::string pattern = (std::filesystem::temp_directory_path() / "rivek-sound-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    rivek::gRuntimeDir = pattern;
    std::filesystem::create_directory(rivek::gRuntimeDir / "home");
    ::setenv("XDG_RUNTIME_DIR", pattern.c_str(), 1);
    ::setenv("HOME", (rivek::gRuntimeDir / "home").c_str(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + (rivek::gRuntimeDir / "native").string()).c_str(), 1);
    int result;
    {
        QCoreApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    std::filesystem::remove_all(rivek::gRuntimeDir, ignored);
    return result;
}
