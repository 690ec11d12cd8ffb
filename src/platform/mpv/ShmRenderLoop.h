#pragma once
#include <QByteArray>
#include <QSize>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>
#include "platform/mpv/FrameLoop.h"

struct xcb_connection_t;

namespace platform::mpv {

// How the X server keeps the pixels of its screen: what decides whether libmpv's software renderer
// can draw straight into memory the server reads as an image.
struct ServerPixels {
    uint8_t depth = 0;
    uint8_t bitsPerPixel = 0; // from the server's pixmap formats, for that depth
    bool trueColour = false;
    bool mostSignificantByteFirst = false; // the server's image byte order
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
};

// The libmpv software format ("bgr0", "rgb0", "0rgb" or "0bgr") whose bytes are pixels the server
// reads as they are; empty when there is none, with the reason in `why`.
QByteArray sharedMemoryFormat(const ServerPixels& pixels, QString* why);

// libmpv's software renderer on a thread of its own, drawing each frame into memory shared with the
// X server (MIT-SHM) and putting it straight into a native child window from there: no image for
// the widget to paint, no copy into Qt's backing store, and the user-interface thread takes no part
// in a frame. The thread talks to the X server over a connection of its own.
class ShmRenderLoop : public FrameLoop {
public:
    // `framed` runs on the render thread after each frame put on the window (post it to the GUI thread).
    ShmRenderLoop(mpv_render_context* context, std::function<void()> framed);
    ~ShmRenderLoop() override;
    ShmRenderLoop(const ShmRenderLoop&) = delete;
    ShmRenderLoop& operator=(const ShmRenderLoop&) = delete;

    // Connects to `display` and checks that the server shares memory with this process and keeps its
    // screen's pixels in a layout libmpv draws; starts the thread. False, with the reason in `error`,
    // when it cannot: the caller draws another way.
    bool start(const QByteArray& display, QString* error);

    uint64_t frontGeneration() override { return m_presented; }
    void finish(const std::function<void(mpv_render_context*)>& last) override;

    // From the GUI thread, as the window's native surface comes (its id) and goes (0). Returns once
    // the render thread no longer draws on the old window.
    void setWindowId(uint32_t window);
    void setWindow(QWindow* window) override;

    // A mirror's window by its id.
    struct Mirror {
        uint32_t window = 0;
        QSize size;
    };
    // From the GUI thread: the windows each frame is also put on. A frame is drawn once for every
    // size among them and the main window's, and put from there on every window of that size.
    // Returns once the render thread no longer puts on windows left out.
    void setMirrorIds(std::vector<Mirror> mirrors);
    void setMirrors(std::vector<MirrorTarget> mirrors) override;

private:
    struct Segment {
        int id = -1;
        uint32_t xid = 0;
        unsigned char* data = nullptr;
        QSize size;
        size_t stride = 0;
    };
    bool ensureSegment(Segment& segment, QSize size);
    void releaseSegment(Segment& segment);
    bool draw(Segment& segment, QSize size);
    void run();
    void render(bool skip, QSize size);
    // Under m_windowLock.
    void put(uint32_t window, const Segment& segment, QSize size);

    mpv_render_context* m_context;
    std::function<void()> m_framed;
    xcb_connection_t* m_conn = nullptr;
    Segment m_segment; // the render thread's alone once started
    // The mirrors' sizes other than the main window's, drawn again from the same frame.
    std::vector<Segment> m_mirrorSegments;

    // Held while putting on the window, so it is never destroyed under the render thread.
    std::mutex m_windowLock;
    uint32_t m_window = 0;
    std::vector<Mirror> m_mirrors;
    uint32_t m_gcWindow = 0; // the window m_gc and m_depth were made for
    uint32_t m_gc = 0;
    uint8_t m_depth = 24;
    char m_format[8] = "bgr0"; // libmpv's name for the server's pixel layout

    std::atomic<uint64_t> m_presented{0};
    std::thread m_thread;
};

} // namespace platform::mpv
