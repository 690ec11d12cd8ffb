// Key-to-exit latency: presses and releases the space bar through XTest, as xdotool would, and
// prints the milliseconds until the given process has ended (a pidfd becomes readable then). Given a
// window of the process, it also prints how long the process outlived that window (unmapped or
// destroyed, whichever X reports first).
//
// Usage: key_exit PID [TIMEOUT_S [WINDOW]]  (exit 0 and "ms" or "ms close-to-exit-ms" on stdout; 1 if it
//                                            did not end in time)
//
// Built by bench/playback_cpu.sh: c++ -O2 key_exit.cpp -lXtst -lX11
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: key_exit PID [TIMEOUT_S]\n");
        return 2;
    }
    const pid_t pid = pid_t(std::atol(argv[1]));
    const int timeoutMs = (argc > 2 ? std::atoi(argv[2]) : 10) * 1000;
    const int pidfd = int(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) {
        std::perror("key_exit: pidfd_open");
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "key_exit: cannot open the display\n");
        return 2;
    }
    const KeyCode space = XKeysymToKeycode(display, XK_space);
    const Window window = argc > 3 ? Window(std::strtoul(argv[3], nullptr, 0)) : 0;
    if (window) {
        XSelectInput(display, window, StructureNotifyMask);
        XSync(display, False);
    }

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    XTestFakeKeyEvent(display, space, True, CurrentTime);
    XTestFakeKeyEvent(display, space, False, CurrentTime);
    XFlush(display);
    // The process's end, and the X connection for the window's.
    pollfd fds[2] = {{pidfd, POLLIN, 0}, {ConnectionNumber(display), POLLIN, 0}};
    Clock::time_point closed{};
    bool ended = false;
    while (!ended) {
        const int left = timeoutMs - int(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (left <= 0 || poll(fds, window ? 2 : 1, left) <= 0) break;
        if (fds[0].revents) ended = true;
        while (window && XPending(display)) {
            XEvent ev;
            XNextEvent(display, &ev);
            if ((ev.type == UnmapNotify || ev.type == DestroyNotify) && closed == Clock::time_point{})
                closed = Clock::now();
        }
    }
    const auto end = Clock::now();
    XCloseDisplay(display);
    if (!ended) {
        std::fprintf(stderr, "key_exit: %d still running %d ms after the key\n", int(pid), timeoutMs);
        return 1;
    }
    const std::chrono::duration<double, std::milli> took = end - start;
    if (!window) {
        std::printf("%.1f\n", took.count());
        return 0;
    }
    // A window X never reported closing went with the process.
    if (closed == Clock::time_point{}) closed = end;
    std::printf("%.1f %.1f\n", took.count(), std::chrono::duration<double, std::milli>(end - closed).count());
    return 0;
}
