// What the X screen shows, read from the root window with xcb_get_image: the pixels there are those
// of whichever window is on top. Shared by the benchmark helpers that watch the screen.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct Rgb {
    int r, g, b;
};

inline bool near(Rgb a, Rgb b, int within) {
    return std::abs(a.r - b.r) <= within && std::abs(a.g - b.g) <= within && std::abs(a.b - b.b) <= within;
}

class Screen {
public:
    // Empty when the screen can be read, else why not.
    std::string open() {
        m_conn = xcb_connect(nullptr, nullptr);
        if (const int error = xcb_connection_has_error(m_conn))
            return "cannot connect to the X display (xcb error " + std::to_string(error) + ")";
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data;
        for (auto depths = xcb_screen_allowed_depths_iterator(m_screen); depths.rem; xcb_depth_next(&depths))
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
                 xcb_visualtype_next(&visuals))
                if (visuals.data->visual_id == m_screen->root_visual) m_visual = visuals.data;
        // Only 32 bits a pixel are read below: a 24-bit true-colour screen, as Xvfb gives.
        if (!m_visual || m_visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR || m_screen->root_depth != 24)
            return "the X screen is not 24-bit true colour";
        return {};
    }

    int width() const { return m_screen->width_in_pixels; }
    int height() const { return m_screen->height_in_pixels; }

    // `count` pixels of row `y` from column `x` on, in one request.
    bool row(int x, int y, int count, std::vector<Rgb>& out) {
        auto cookie = xcb_get_image(m_conn, XCB_IMAGE_FORMAT_Z_PIXMAP, m_screen->root, int16_t(x), int16_t(y),
                                    uint16_t(count), 1, ~0u);
        xcb_get_image_reply_t* reply = xcb_get_image_reply(m_conn, cookie, nullptr);
        if (!reply) return false;
        const int length = xcb_get_image_data_length(reply);
        const uint8_t* data = xcb_get_image_data(reply);
        out.resize(count);
        for (int i = 0; i < count; ++i) {
            uint32_t pixel = 0;
            if ((i + 1) * 4 <= length) std::memcpy(&pixel, data + i * 4, 4);
            out[i] = {channel(pixel, m_visual->red_mask), channel(pixel, m_visual->green_mask),
                      channel(pixel, m_visual->blue_mask)};
        }
        std::free(reply);
        return true;
    }

    // The pixel at the centre of the screen.
    bool centre(Rgb& out) {
        if (!row(width() / 2, height() / 2, 1, m_one)) return false;
        out = m_one[0];
        return true;
    }

    ~Screen() {
        if (m_conn) xcb_disconnect(m_conn);
    }

private:
    static int shiftOf(uint32_t mask) {
        int shift = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        return shift;
    }

    static int channel(uint32_t pixel, uint32_t mask) {
        const uint32_t value = (pixel & mask) >> shiftOf(mask);
        const uint32_t top = mask >> shiftOf(mask);
        return top ? int(value * 255 / top) : 0;
    }

    xcb_connection_t* m_conn = nullptr;
    xcb_screen_t* m_screen = nullptr;
    xcb_visualtype_t* m_visual = nullptr;
    std::vector<Rgb> m_one;
};
