// map_probe: starts a program and prints how long it takes until its first
// top-level window is mapped on the X display, in milliseconds.
// Usage: map_probe PROGRAM [ARGS...]
// The program keeps running; its pid is printed after the time, so the
// caller can measure it further and end it.
#include <X11/Xlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: map_probe PROGRAM [ARGS...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "map_probe: cannot open the display\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && event.xmap.event == root && !event.xmap.override_redirect) {
            const auto elapsed = std::chrono::steady_clock::now() - start;
            std::printf("%.2f %d\n", std::chrono::duration<double, std::milli>(elapsed).count(), child);
            std::fflush(stdout);
            break;
        }
    }
    XCloseDisplay(display);
    return 0;
}
