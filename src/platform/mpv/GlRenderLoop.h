#pragma once
#include "platform/mpv/FrameLoop.h"
#include <QSize>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct mpv_handle;
struct mpv_render_context;
class QOffscreenSurface;
class QOpenGLContext;
class QWindow;

namespace platform::mpv {

// Call once an OpenGL context exists. In the AddressSanitizer build only, the OpenGL driver libraries
// then loaded stay loaded until the process ends: Mesa unloads its driver when the X display closes,
// before the leak check at exit, and what the driver keeps for good (reachable from its own globals
// while it is loaded) would then be reported as leaked, with no module name to suppress it by.
// Elsewhere it does nothing.
void keepOpenGlDriverLoaded();

// libmpv's OpenGL renderer on a thread of its own with an OpenGL context of its own, drawing each
// frame straight into a native child window and presenting it there. The user-interface thread
// takes no part in a frame: it neither draws nor composes nor waits for the swap.
class GlRenderLoop : public FrameLoop {
public:
    // `framed` runs on the render thread after each frame presented (post it to the GUI thread).
    // `surface` (for the start, before the window may be drawn on) and `window` are created on the
    // GUI thread and must outlive the loop.
    GlRenderLoop(QOffscreenSurface* surface, QWindow* window, std::function<void()> framed);
    ~GlRenderLoop() override;
    GlRenderLoop(const GlRenderLoop&) = delete;
    GlRenderLoop& operator=(const GlRenderLoop&) = delete;

    // Starts the thread, which creates its OpenGL context and libmpv's render context for `mpv`;
    // null (with the reason in `error`) when either fails, and the thread has ended then.
    mpv_render_context* start(mpv_handle* mpv, QString* error);

    uint64_t frontGeneration() override { return m_presented; }
    // `last` runs on the render thread with its OpenGL context current, then the thread ends.
    void finish(const std::function<void(mpv_render_context*)>& last) override;

    // From the GUI thread, as the window's native surface comes and goes: without one, frames are
    // taken and dropped. Returns once the render thread no longer draws on the old surface.
    void setWindowValid(bool valid);
    // The same, from the window (always the one given at construction) or null.
    void setWindow(QWindow* window) override { setWindowValid(window != nullptr); }

    using Mirror = MirrorTarget;
    void setMirrors(std::vector<Mirror> mirrors) override;

private:
    void run();
    void render(bool skip, QSize size);

    QOffscreenSurface* m_surface;
    QWindow* m_window;
    std::function<void()> m_framed;
    QOpenGLContext* m_gl = nullptr; // the render thread's alone
    mpv_render_context* m_context = nullptr;

    // The start's handshake: the thread says when its contexts are made, or could not be.
    std::mutex m_startLock;
    std::condition_variable m_startWake;
    bool m_started = false;
    std::function<void(mpv_render_context*)> m_last; // set before quit(), read after the loop
    // Held while drawing on the window, so its surface is never destroyed under the render thread.
    std::mutex m_windowLock;
    bool m_windowValid = false;
    std::vector<Mirror> m_mirrors;
    std::atomic<uint64_t> m_presented{0};
    std::thread m_thread;
};

} // namespace platform::mpv
