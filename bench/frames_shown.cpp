// Frames shown, counted where the user sees them: each frame of the benchmark's clips carries its
// number in a strip along the top, 18 blocks across, the first 9 the number's bits (lowest first,
// white for 1) and the next 9 the same bits inverted, so nothing but the clip reads as a number. This
// reads the row through the middle of that strip every 4 ms and counts each change of number as a
// frame shown. Counting starts with the first number seen, so both players are counted over the
// same stretch of playback whatever their start-up took, and stops WINDOW_S seconds later.
//
// Usage: frames_shown FRAMES WINDOW_S GIVE_UP_S
//   FRAMES: frames in one pass of the clip (it loops); GIVE_UP_S: seconds from the start after
//   which it stops, counted window or not.
// Prints "screen: frames-shown N skipped N first-ms MS longest-gap-ms MS" and exits 0, or exits 1
// with a reason on stderr when the window was not counted whole. "skipped": frames of the clip's
// order that never showed (at a loop, those before its end and after its start); "longest-gap-ms":
// the longest time between two reads, which the count cannot see inside (a frame lasts 33 ms).
//
// Built by bench/playback_cpu.sh: c++ -O2 frames_shown.cpp $(pkg-config --cflags --libs xcb)
#include "x_screen.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

constexpr int kBits = 9;
constexpr int kBlocks = 2 * kBits;

// The number on the screen, or -1 when the row does not hold one.
int numberIn(const std::vector<Rgb>& row, int width) {
    int bits[kBlocks];
    for (int i = 0; i < kBlocks; ++i) {
        const Rgb& p = row[size_t((2 * i + 1) * width / (2 * kBlocks))];
        // Black or white and nothing between: a scaled or blurred edge, or colour, is no number.
        const int lo = std::min({p.r, p.g, p.b});
        const int hi = std::max({p.r, p.g, p.b});
        if (hi - lo > 64) return -1;
        if (hi < 64)
            bits[i] = 0;
        else if (lo > 191)
            bits[i] = 1;
        else
            return -1;
    }
    int number = 0;
    for (int i = 0; i < kBits; ++i) {
        if (bits[i] == bits[kBits + i]) return -1;
        number |= bits[i] << i;
    }
    return number;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: frames_shown FRAMES WINDOW_S GIVE_UP_S\n");
        return 2;
    }
    const int frames = std::atoi(argv[1]);
    const double windowS = std::atof(argv[2]);
    const double giveUpS = std::atof(argv[3]);
    if (frames < 1 || frames > (1 << kBits) || windowS <= 0 || giveUpS <= windowS) {
        std::fprintf(stderr, "frames_shown: FRAMES 1 to %d, WINDOW_S above 0 and GIVE_UP_S above WINDOW_S\n",
                     1 << kBits);
        return 2;
    }
    Screen screen;
    if (const std::string why = screen.open(); !why.empty()) {
        std::fprintf(stderr, "frames_shown: %s\n", why.c_str());
        return 2;
    }
    const int width = screen.width();
    const int y = screen.height() / 32; // the strip is the clip's top sixteenth

    using Clock = std::chrono::steady_clock;
    using Ms = std::chrono::duration<double, std::milli>;
    const auto start = Clock::now();
    const auto later = [](Clock::time_point from, double seconds) {
        return from + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    };
    const auto giveUp = later(start, giveUpS);
    Clock::time_point first{}, until{}, lastRead{};
    int last = -1;
    long shown = 0, skipped = 0;
    double longestGap = 0;
    std::vector<Rgb> row;
    for (;;) {
        const auto now = Clock::now();
        if (first != Clock::time_point{} && now >= until) break;
        if (now >= giveUp) {
            if (first == Clock::time_point{})
                std::fprintf(stderr, "frames_shown: no numbered frame on the screen in %.1f s\n", giveUpS);
            else
                std::fprintf(stderr,
                             "frames_shown: %.1f s after the start, only %.1f s of the %.1f s counted\n",
                             giveUpS, Ms(now - first).count() / 1000, windowS);
            return 1;
        }
        if (!screen.row(0, y, width, row)) {
            std::fprintf(stderr, "frames_shown: the X server went away\n");
            return 1;
        }
        const auto read = Clock::now();
        const int number = numberIn(row, width);
        if (number >= 0 && number < frames) {
            if (last < 0) {
                first = read;
                until = later(first, windowS);
                shown = 1;
            } else if (number != last) {
                ++shown;
                // Forwards, the numbers between; past the clip's end, those left before it and after
                // its start.
                skipped += number > last ? number - last - 1 : (frames - 1 - last) + number;
            }
            last = number;
        }
        if (last >= 0 && lastRead != Clock::time_point{})
            longestGap = std::max(longestGap, Ms(read - lastRead).count());
        lastRead = read;
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    std::printf("screen: frames-shown %ld skipped %ld first-ms %.1f longest-gap-ms %.1f\n", shown, skipped,
                Ms(first - start).count(), longestGap);
    return 0;
}
