// Start-up time to the first picture: starts a command, then reads the pixel at the centre of the
// screen every millisecond until it has the given colour, and prints the milliseconds in between.
// The command is then ended with SIGTERM and waited for, so the next run starts on an empty screen.
//
// Usage: first_frame RRGGBB command [args...]      (exit 0 and "ms" on stdout, else a reason on stderr)
//
// Built by bench/playback_cpu.sh: c++ -O2 first_frame.cpp $(pkg-config --cflags --libs xcb)
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

struct Rgb {
    int r, g, b;
};

// Decoded video is YUV turned back into RGB, so the colour comes back a few steps off.
constexpr int tolerance = 40;

bool near(Rgb a, Rgb b, int within) {
    return std::abs(a.r - b.r) <= within && std::abs(a.g - b.g) <= within && std::abs(a.b - b.b) <= within;
}

int shiftOf(uint32_t mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

class Screen {
public:
    bool open() {
        m_conn = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_conn)) return false;
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data;
        for (auto depths = xcb_screen_allowed_depths_iterator(m_screen); depths.rem; xcb_depth_next(&depths))
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals))
                if (visuals.data->visual_id == m_screen->root_visual) m_visual = visuals.data;
        return m_visual && m_visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR;
    }

    // The pixel at the centre as the screen shows it, whichever window is there.
    bool centre(Rgb &out) {
        auto cookie = xcb_get_image(m_conn, XCB_IMAGE_FORMAT_Z_PIXMAP, m_screen->root,
                                    int16_t(m_screen->width_in_pixels / 2), int16_t(m_screen->height_in_pixels / 2),
                                    1, 1, ~0u);
        xcb_get_image_reply_t *reply = xcb_get_image_reply(m_conn, cookie, nullptr);
        if (!reply) return false;
        uint32_t pixel = 0;
        const int length = xcb_get_image_data_length(reply);
        std::memcpy(&pixel, xcb_get_image_data(reply), length < 4 ? length : 4);
        std::free(reply);
        auto channel = [pixel](uint32_t mask) {
            const uint32_t value = (pixel & mask) >> shiftOf(mask);
            const uint32_t top = mask >> shiftOf(mask);
            return top ? int(value * 255 / top) : 0;
        };
        out = {channel(m_visual->red_mask), channel(m_visual->green_mask), channel(m_visual->blue_mask)};
        return true;
    }

    ~Screen() {
        if (m_conn) xcb_disconnect(m_conn);
    }

private:
    xcb_connection_t *m_conn = nullptr;
    xcb_screen_t *m_screen = nullptr;
    xcb_visualtype_t *m_visual = nullptr;
};

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

int main(int argc, char **argv) {
    unsigned colour = 0;
    if (argc < 3 || std::sscanf(argv[1], "%6x", &colour) != 1) {
        std::fprintf(stderr, "usage: first_frame RRGGBB command [args...]\n");
        return 2;
    }
    const Rgb wanted{int(colour >> 16 & 0xff), int(colour >> 8 & 0xff), int(colour & 0xff)};
    Screen screen;
    if (!screen.open()) {
        std::fprintf(stderr, "first_frame: no true-colour X display\n");
        return 2;
    }

    // The previous program's last picture must be gone, or it would be taken for the first frame.
    Rgb seen{};
    const auto blackBy = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (screen.centre(seen) && !near(seen, {0, 0, 0}, 16) && std::chrono::steady_clock::now() < blackBy)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!near(seen, {0, 0, 0}, 16)) {
        std::fprintf(stderr, "first_frame: the screen's centre is %02x%02x%02x, not black\n", seen.r, seen.g, seen.b);
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
            std::fprintf(stderr, "first_frame: no %06x at the centre after 30 s (last %02x%02x%02x)\n", colour, seen.r,
                         seen.g, seen.b);
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
