// enter_probe: measures the time from an Enter key event sent to a window
// to the first tone sample arriving at a PulseAudio sink's monitor.
// Usage: enter_probe WINDOW_ID MONITOR_SOURCE TRIALS LEAD_IN_MS
// For each trial: focuses the window, starts recording the monitor with
// parec, sends Enter through XTest, and waits for the first sample whose
// magnitude exceeds a threshold. LEAD_IN_MS (the group's silent lead-in) is
// subtracted. Prints one latency in milliseconds per line.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

struct Recorder {
    pid_t pid = -1;
    int fd = -1;
};

Recorder StartRecorder(const char* source) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) std::exit(1);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execlp("parec", "parec", "-d", source, "--raw", "--format=s16le", "--rate=11025",
               "--channels=1", "--latency-msec=2", "--process-time-msec=1", nullptr);
        _exit(127);
    }
    close(pipeFds[1]);
    return {pid, pipeFds[0]};
}

void StopRecorder(const Recorder& recorder) {
    kill(recorder.pid, SIGTERM);
    close(recorder.fd);
    waitpid(recorder.pid, nullptr, 0);
}

// Reads the recorder until a loud sample arrives; returns its arrival time.
bool WaitForTone(const Recorder& recorder, Clock::time_point deadline, Clock::time_point& when) {
    std::int16_t samples[512];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd pfd{recorder.fd, POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(left)) <= 0) return false;
        const ssize_t got = read(recorder.fd, samples, sizeof samples);
        if (got <= 0) return false;
        const auto now = Clock::now();
        for (ssize_t i = 0; i < got / 2; ++i) {
            if (samples[i] > 8000 || samples[i] < -8000) {
                when = now;
                return true;
            }
        }
    }
}

void Drain(const Recorder& recorder, int milliseconds) {
    char buffer[4096];
    const auto until = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < until) {
        pollfd pfd{recorder.fd, POLLIN, 0};
        if (poll(&pfd, 1, 5) > 0 && read(recorder.fd, buffer, sizeof buffer) <= 0) return;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: enter_probe WINDOW_ID MONITOR_SOURCE TRIALS LEAD_IN_MS\n");
        return 2;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    const char* source = argv[2];
    const int trials = std::atoi(argv[3]);
    const double leadInMs = std::atof(argv[4]);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 1;
    const KeyCode enter = XKeysymToKeycode(display, XK_Return);

    for (int trial = 0; trial < trials; ++trial) {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
        const Recorder recorder = StartRecorder(source);
        Drain(recorder, 400);  // the recorder is running and the sink is quiet
        const auto sent = Clock::now();
        XTestFakeKeyEvent(display, enter, True, 0);
        XTestFakeKeyEvent(display, enter, False, 0);
        XFlush(display);
        Clock::time_point heard;
        if (WaitForTone(recorder, sent + std::chrono::seconds(5), heard)) {
            const double ms = std::chrono::duration<double, std::milli>(heard - sent).count() - leadInMs;
            std::printf("%.2f\n", ms);
        } else {
            std::printf("timeout\n");
        }
        std::fflush(stdout);
        StopRecorder(recorder);
    }
    XCloseDisplay(display);
    return 0;
}
