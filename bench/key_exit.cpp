// Key-to-exit latency: presses and releases the space bar through XTest, as xdotool would, and
// prints the milliseconds until the given process has ended (a pidfd becomes readable then).
//
// Usage: key_exit PID [TIMEOUT_S]          (exit 0 and "ms" on stdout; 1 if it did not end in time)
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

    const auto start = std::chrono::steady_clock::now();
    XTestFakeKeyEvent(display, space, True, CurrentTime);
    XTestFakeKeyEvent(display, space, False, CurrentTime);
    XFlush(display);
    pollfd ended{pidfd, POLLIN, 0};
    const int ready = poll(&ended, 1, timeoutMs);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    XCloseDisplay(display);
    if (ready <= 0) {
        std::fprintf(stderr, "key_exit: %d still running %d ms after the key\n", int(pid), timeoutMs);
        return 1;
    }
    std::printf("%.1f\n", took.count());
    return 0;
}
