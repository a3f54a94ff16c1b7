// play_probe: the part of Enter-to-sound that lies past Rivek's sound
// service: from Play() to the first tone sample at a PulseAudio sink's
// monitor, with no window and no drill. What is left of row 7 once this and
// Rivek's own work are taken away is the X server's and Qt's input path.
// Usage: play_probe WAV_FILE MONITOR_SOURCE TRIALS LEAD_IN_MS
// Prints one time in milliseconds per trial (the lead-in subtracted).
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "sound/pulse_sound_service.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

void Drain(int fd, std::chrono::milliseconds duration) {
    char buffer[4096];
    const auto until = Clock::now() + duration;
    while (Clock::now() < until) {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 5) > 0 && read(fd, buffer, sizeof buffer) <= 0) return;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: play_probe WAV_FILE MONITOR_SOURCE TRIALS LEAD_IN_MS\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int trials = std::atoi(argv[3]);
    const double leadInMs = std::atof(argv[4]);

    rivek::PulseSoundService sound;
    for (int i = 0; i < 200 && !sound.Ready(); ++i) std::this_thread::sleep_for(10ms);

    int pipeFds[2];
    if (pipe(pipeFds) != 0) return 1;
    const pid_t recorder = fork();
    if (recorder == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execlp("parec", "parec", "-d", argv[2], "--raw", "--format=s16le", "--rate=11025", "--channels=1",
               "--latency-msec=2", "--process-time-msec=1", nullptr);
        _exit(127);
    }
    close(pipeFds[1]);
    Drain(pipeFds[0], 500ms);
    for (int trial = 0; trial < trials; ++trial) {
        sound.Stop();
        Drain(pipeFds[0], 400ms);
        const auto sent = Clock::now();
        sound.Play(image);
        bool heard = false;
        std::int16_t samples[512];
        while (!heard && Clock::now() - sent < 5s) {
            pollfd pfd{pipeFds[0], POLLIN, 0};
            if (poll(&pfd, 1, 100) <= 0) continue;
            const ssize_t got = read(pipeFds[0], samples, sizeof samples);
            if (got <= 0) break;
            const auto now = Clock::now();
            for (ssize_t i = 0; i < got / 2 && !heard; ++i) {
                if (samples[i] > 8000 || samples[i] < -8000) {
                    std::printf("%.2f\n", std::chrono::duration<double, std::milli>(now - sent).count() - leadInMs);
                    heard = true;
                }
            }
        }
        if (!heard) std::printf("timeout\n");
        std::fflush(stdout);
    }
    kill(recorder, SIGTERM);
    close(pipeFds[0]);
    waitpid(recorder, nullptr, 0);
    return 0;
}
