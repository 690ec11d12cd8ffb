// Frames shown, counted where the user sees them: each frame of the benchmark's clips carries its
// number in a strip along the top, 18 blocks across, the first 9 the number's bits (lowest first,
// white for 1) and the next 9 the same bits inverted, so nothing but the clip reads as a number. This
// reads the row through the middle of that strip every 4 ms and counts each change of number as a
// frame shown. Counting starts with the first number seen, so both players are counted over the
// same stretch of playback whatever their start-up took, and stops WINDOW_S seconds later.
//
// Usage: frames_shown FRAMES WINDOW_S GIVE_UP_S [PARTS]
//   FRAMES: frames in one pass of the clip (it loops); GIVE_UP_S: seconds from the start after
//   which it stops, counted window or not; PARTS (default 1): the screen is that many monitors of
//   one width side by side, each showing a clip full screen, and each is counted on its own, its
//   window from its own first number, from the same row read in one request.
// Prints "screen: frames-shown N skipped N first-ms MS longest-gap-ms MS" (for PARTS above 1, one
// such line per monitor from the left, "screen 1/2: ...", "screen 2/2: ...") and exits 0, or exits
// 1 with a reason on stderr when a window was not counted whole (the others still printed).
// "skipped": frames of the clip's order that never showed (at a loop, those before its end and
// after its start); "longest-gap-ms": the longest time between two reads, which the count cannot
// see inside (a frame lasts 33 ms).
//
// Built by the benchmarks: c++ -O2 frames_shown.cpp $(pkg-config --cflags --libs xcb)
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

// The number on the screen in the row's `width` pixels from `from`, or -1 when they do not hold one.
int numberIn(const std::vector<Rgb>& row, int from, int width) {
    int bits[kBlocks];
    for (int i = 0; i < kBlocks; ++i) {
        const Rgb& p = row[size_t(from + (2 * i + 1) * width / (2 * kBlocks))];
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

// One monitor's count.
struct Count {
    using Clock = std::chrono::steady_clock;
    Clock::time_point first{}, until{}, lastRead{};
    int last = -1;
    long shown = 0, skipped = 0;
    double longestGapMs = 0;
    bool done = false; // its window is over
    bool started() const { return last >= 0; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: frames_shown FRAMES WINDOW_S GIVE_UP_S [PARTS]\n");
        return 2;
    }
    const int frames = std::atoi(argv[1]);
    const double windowS = std::atof(argv[2]);
    const double giveUpS = std::atof(argv[3]);
    const int parts = argc == 5 ? std::atoi(argv[4]) : 1;
    if (frames < 1 || frames > (1 << kBits) || windowS <= 0 || giveUpS <= windowS || parts < 1 || parts > 16) {
        std::fprintf(stderr,
                     "frames_shown: FRAMES 1 to %d, WINDOW_S above 0, GIVE_UP_S above WINDOW_S and PARTS 1 to 16\n",
                     1 << kBits);
        return 2;
    }
    Screen screen;
    if (const std::string why = screen.open(); !why.empty()) {
        std::fprintf(stderr, "frames_shown: %s\n", why.c_str());
        return 2;
    }
    const int width = screen.width();
    const int partWidth = width / parts;
    const int y = screen.height() / 32; // the strip is the clip's top sixteenth

    using Clock = Count::Clock;
    using Ms = std::chrono::duration<double, std::milli>;
    const auto start = Clock::now();
    const auto later = [](Clock::time_point from, double seconds) {
        return from + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    };
    const auto giveUp = later(start, giveUpS);
    std::vector<Count> counts(static_cast<size_t>(parts));
    const auto counted = [](const Count& c) { return c.done; };
    const auto name = [&](int part) {
        return parts == 1 ? std::string("screen") : "screen " + std::to_string(part + 1) + "/" + std::to_string(parts);
    };
    bool whole = true;
    std::vector<Rgb> row;
    for (;;) {
        const auto now = Clock::now();
        for (Count& c : counts)
            if (c.started() && now >= c.until) c.done = true;
        if (std::all_of(counts.begin(), counts.end(), counted)) break;
        if (now >= giveUp) {
            for (int p = 0; p < parts; ++p) {
                const Count& c = counts[size_t(p)];
                if (counted(c)) continue;
                whole = false;
                if (!c.started())
                    std::fprintf(stderr, "frames_shown: %s: no numbered frame in %.1f s\n", name(p).c_str(), giveUpS);
                else
                    std::fprintf(stderr, "frames_shown: %s: %.1f s after the start, only %.1f s of the %.1f s counted\n",
                                 name(p).c_str(), giveUpS, Ms(now - c.first).count() / 1000, windowS);
            }
            break;
        }
        if (!screen.row(0, y, width, row)) {
            std::fprintf(stderr, "frames_shown: the X server went away\n");
            return 1;
        }
        const auto read = Clock::now();
        for (int p = 0; p < parts; ++p) {
            Count& c = counts[size_t(p)];
            if (counted(c)) continue;
            const int number = numberIn(row, p * partWidth, partWidth);
            if (number >= 0 && number < frames) {
                if (c.last < 0) {
                    c.first = read;
                    c.until = later(c.first, windowS);
                    c.shown = 1;
                } else if (number != c.last) {
                    ++c.shown;
                    // Forwards, the numbers between; past the clip's end, those left before it and after
                    // its start.
                    c.skipped += number > c.last ? number - c.last - 1 : (frames - 1 - c.last) + number;
                }
                c.last = number;
            }
            if (c.started() && c.lastRead != Clock::time_point{})
                c.longestGapMs = std::max(c.longestGapMs, Ms(read - c.lastRead).count());
            c.lastRead = read;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    for (int p = 0; p < parts; ++p) {
        const Count& c = counts[size_t(p)];
        if (counted(c))
            std::printf("%s: frames-shown %ld skipped %ld first-ms %.1f longest-gap-ms %.1f\n", name(p).c_str(),
                        c.shown, c.skipped, Ms(c.first - start).count(), c.longestGapMs);
    }
    return whole ? 0 : 1;
}
