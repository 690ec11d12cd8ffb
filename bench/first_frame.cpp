// Start-up time to the first picture: starts a command, then reads the pixel at the centre of the
// screen every millisecond until it has the given colour, and prints the milliseconds in between.
// The command is then ended with SIGTERM and waited for, so the next run starts on an empty screen.
//
// Usage: first_frame RRGGBB command [args...]      (exit 0 and "ms" on stdout, else a reason on stderr)
//
// Built by bench/playback_cpu.sh: c++ -O2 first_frame.cpp $(pkg-config --cflags --libs xcb)
#include "x_screen.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Decoded video is YUV turned back into RGB, so the colour comes back a few steps off.
constexpr int tolerance = 40;

void endChild(pid_t child) {
    kill(child, SIGTERM);
    for (int i = 0; i < 10000; ++i) {
        if (waitpid(child, nullptr, WNOHANG) == child) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

} // namespace

int main(int argc, char** argv) {
    unsigned colour = 0;
    if (argc < 3 || std::sscanf(argv[1], "%6x", &colour) != 1) {
        std::fprintf(stderr, "usage: first_frame RRGGBB command [args...]\n");
        return 2;
    }
    const Rgb wanted{int(colour >> 16 & 0xff), int(colour >> 8 & 0xff), int(colour & 0xff)};
    Screen screen;
    if (const std::string why = screen.open(); !why.empty()) {
        std::fprintf(stderr, "first_frame: %s\n", why.c_str());
        return 2;
    }

    // The previous program's last picture must be gone, or it would be taken for the first frame.
    Rgb seen{};
    const auto blackBy = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (screen.centre(seen) && !near(seen, {0, 0, 0}, 16) && std::chrono::steady_clock::now() < blackBy)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!near(seen, {0, 0, 0}, 16)) {
        std::fprintf(stderr, "first_frame: the screen's centre is %02x%02x%02x, not black\n", seen.r, seen.g,
                     seen.b);
        return 3;
    }

    pid_t child = 0;
    const auto start = std::chrono::steady_clock::now();
    if (posix_spawnp(&child, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
        std::perror("first_frame: posix_spawnp");
        return 2;
    }
    const auto giveUp = start + std::chrono::seconds(30);
    for (;;) {
        if (screen.centre(seen) && near(seen, wanted, tolerance)) break;
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            std::fprintf(stderr, "first_frame: %s ended before its first frame\n", argv[2]);
            return 1;
        }
        if (std::chrono::steady_clock::now() > giveUp) {
            std::fprintf(stderr, "first_frame: no %06x at the centre after 30 s (last %02x%02x%02x)\n",
                         colour, seen.r, seen.g, seen.b);
            endChild(child);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("%.1f\n", took.count());
    std::fflush(stdout);
    endChild(child);
    return 0;
}
