// What tests need to hear Rivek: a private PulseAudio server with a null
// sink, parec recording that sink's monitor, morse2ascii reading the
// recording. Every process is started here by fork and exec and ended by
// the pid this returns, never by name.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace rivek::testing {

// The null sink's name; its monitor is "rivek_null.monitor".
inline constexpr const char* kNullSink = "rivek_null";
// Recordings are raw signed 16-bit little-endian mono at this rate, the
// rate of Rivek's own images.
inline constexpr int kRecordingRate = 11025;

inline bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/bin:/bin";
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        const std::filesystem::path candidate = std::filesystem::path(dirs.substr(0, colon)) / program;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    }
    return false;
}

// Starts a program with its output going to `out` (and its errors to
// `out`.log); returns its pid. The program gets SIGTERM should the test
// process die first, so that no server outlives a crashed test.
inline pid_t Spawn(const std::vector<std::string>& args, const std::filesystem::path& out) {
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
// not ended within two seconds. Sets `pid` to -1.
inline void End(pid_t& pid, int signal) {
    using namespace std::chrono_literals;
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

inline bool SocketAnswers(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// A private runtime folder for this test process, with a home folder of its
// own inside; XDG_RUNTIME_DIR, HOME and PULSE_SERVER point into it, so that
// the sound services and parec find our server and no other. Must be made
// before a sound service or Qt starts. Removed with everything in it when
// it goes.
class PrivateRuntime {
public:
    PrivateRuntime() {
        std::filesystem::create_directory(folder_ / "home");
        ::setenv("XDG_RUNTIME_DIR", folder_.Path().c_str(), 1);
        ::setenv("HOME", (folder_ / "home").c_str(), 1);
        ::setenv("PULSE_SERVER", ("unix:" + Socket().string()).c_str(), 1);
    }

    const std::filesystem::path& Path() const { return folder_.Path(); }
    // Where our sound server listens.
    std::filesystem::path Socket() const { return folder_ / "native"; }

private:
    TempDir folder_{"rivek-sound"};
};

// A PulseAudio server of our own: no configuration file, a null sink whose
// monitor keeps a stream's start (norewinds), a socket in the runtime
// folder. Returns its pid at once; WaitForSocket tells when it listens.
inline pid_t SpawnSoundServer(const PrivateRuntime& runtime) {
    return Spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                  "--disable-shm=yes", "--log-target=stderr",
                  std::string("--load=module-null-sink sink_name=") + kNullSink + " norewinds=1",
                  "--load=module-native-protocol-unix auth-anonymous=1 socket=" + runtime.Socket().string()},
                 runtime.Path() / "server.out");
}

// Waits up to ten seconds for the server's socket to take connections.
inline bool WaitForSocket(const std::filesystem::path& socket) {
    using namespace std::chrono_literals;
    for (int i = 0; i < 500 && !SocketAnswers(socket); ++i) std::this_thread::sleep_for(20ms);
    return SocketAnswers(socket);
}

// Records the null sink's monitor into `file`, at kRecordingRate. Returns
// parec's pid at once; WaitForSamples tells when the recording runs. End it
// with SIGINT.
inline pid_t SpawnRecorder(const std::filesystem::path& file) {
    return Spawn({"parec", "-d", std::string(kNullSink) + ".monitor", "--raw", "--format=s16le",
                  "--rate=" + std::to_string(kRecordingRate), "--channels=1", "--latency-msec=20"},
                 file);
}

// Waits up to five seconds for the first samples in `file`.
inline bool WaitForSamples(const std::filesystem::path& file) {
    using namespace std::chrono_literals;
    for (int i = 0; i < 500; ++i) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(file, ec);
        if (!ec && size > 0) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// Watches a recording that parec is writing and returns when it first
// holds a sample louder than `threshold`, or nullopt at `deadline`. Reads
// only what is new at each look, every 5 ms.
inline std::optional<std::chrono::steady_clock::time_point> WaitForTone(
    const std::filesystem::path& file, std::chrono::steady_clock::time_point deadline, int threshold = 8000) {
    using namespace std::chrono_literals;
    std::uintmax_t read = 0;
    std::string bytes;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(file, ec);
        if (!ec && size / 2 * 2 > read) {
            std::ifstream in(file, std::ios::binary);
            in.seekg(static_cast<std::streamoff>(read));
            bytes.resize(static_cast<std::size_t>(size / 2 * 2 - read));
            in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            bytes.resize(static_cast<std::size_t>(in.gcount() / 2 * 2));
            read += bytes.size();
            for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
                const auto lo = static_cast<unsigned char>(bytes[i]);
                const auto hi = static_cast<unsigned char>(bytes[i + 1]);
                const int sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | hi << 8));
                if (sample > threshold || sample < -threshold) return now;
            }
        }
        if (now > deadline) return std::nullopt;
        std::this_thread::sleep_for(5ms);
    }
}

// Peak level of a recording between two times (from its start).
inline int RecordedPeak(const std::filesystem::path& file, std::chrono::milliseconds from,
                        std::chrono::milliseconds to) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto first = static_cast<std::size_t>(from.count()) * kRecordingRate / 1000;
    const auto last = std::min(bytes.size() / 2, static_cast<std::size_t>(to.count()) * kRecordingRate / 1000);
    int peak = 0;
    for (std::size_t i = first; i < last; ++i) {
        const auto lo = static_cast<unsigned char>(bytes[2 * i]);
        const auto hi = static_cast<unsigned char>(bytes[2 * i + 1]);
        const int sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | hi << 8));
        peak = std::max(peak, sample < 0 ? -sample : sample);
    }
    return peak;
}

// The length of a recording so far.
inline std::chrono::milliseconds RecordingLength(const std::filesystem::path& file) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    return std::chrono::milliseconds(ec ? 0 : size / 2 * 1000 / kRecordingRate);
}

// The letters and digits morse2ascii hears in a recording, upper case.
// morse2ascii tells element gaps from character gaps by the median gap:
// it reads well groups of characters of four or five elements, and wants
// more than one short group or one longer group to set its timing.
inline std::string DecodeMorse(const std::filesystem::path& recording) {
    const std::filesystem::path text = recording.string() + ".txt";
    pid_t decoder = Spawn({"morse2ascii", "-r", std::to_string(kRecordingRate), "1", "16", recording.string()},
                          text);
    int status = 0;
    ::waitpid(decoder, &status, 0);
    std::ifstream in(text);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The decoded text follows a banner's "- decoded morse data:" line
    // where the banner shares the output; otherwise it is all there is.
    const std::size_t at = all.find("decoded");
    std::string decoded;
    for (std::size_t i = at == std::string::npos ? 0 : all.find('\n', at); i < all.size(); ++i) {
        const auto c = static_cast<unsigned char>(all[i]);
        if (std::isalnum(c)) decoded.push_back(static_cast<char>(std::toupper(c)));
    }
    return decoded;
}

// DecodeMorse for a recording of a single short group. morse2ascii reads
// nothing from one group of five that is preceded by some 60 ms more
// silence than the group's own lead-in, and a recording starts a while
// before the sound does: so only `lead` of that silence is given to it.
inline std::string DecodeMorseFromFirstTone(const std::filesystem::path& recording,
                                            std::chrono::milliseconds lead) {
    std::ifstream in(recording, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t first = 0;
    while (first + 1 < bytes.size()) {
        const auto lo = static_cast<unsigned char>(bytes[first]);
        const auto hi = static_cast<unsigned char>(bytes[first + 1]);
        const auto sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | hi << 8));
        if (sample > 1000 || sample < -1000) break;
        first += 2;
    }
    const auto leadBytes = static_cast<std::size_t>(lead.count()) * kRecordingRate / 1000 * 2;
    first = first > leadBytes ? first - leadBytes : 0;
    const std::filesystem::path cut = recording.string() + ".cut";
    std::ofstream(cut, std::ios::binary | std::ios::trunc)
        .write(bytes.data() + first, static_cast<std::streamsize>(bytes.size() - first));
    return DecodeMorse(cut);
}

}  // namespace rivek::testing
