#pragma once
#include <QSize>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include "platform/mpv/FrameLoop.h"

struct mpv_handle;
struct mpv_render_context;
class QOffscreenSurface;
class QOpenGLContext;
typedef struct __GLsync* GLsync;

namespace platform::mpv {

// libmpv's OpenGL renderer on a thread of its own with an OpenGL context of its own, shared with the
// program's widgets: the thread draws each frame into the back one of two textures, and a finished
// frame only swaps the two. The widget that shows them blits the front texture, so the user-interface
// thread never waits for libmpv's decoder or renderer. Fences keep either side off a texture while
// the other still uses it.
class GlRenderLoop : public FrameLoop {
public:
    // `framed` runs on the render thread after each new front texture (post it to the GUI thread).
    // `surface` is created on the GUI thread and must outlive the loop.
    GlRenderLoop(QOffscreenSurface* surface, std::function<void()> framed);
    ~GlRenderLoop() override;
    GlRenderLoop(const GlRenderLoop&) = delete;
    GlRenderLoop& operator=(const GlRenderLoop&) = delete;

    // Starts the thread, which creates its OpenGL context and libmpv's render context for `mpv`;
    // null (with the reason in `error`) when either fails, and the thread has ended then.
    mpv_render_context* start(mpv_handle* mpv, QString* error);

    void wake() override;
    void setTarget(QSize size, qreal ratio, bool visible, bool redraw) override;
    void setGeneration(uint64_t generation) override { m_generation = generation; }
    uint64_t frontGeneration() override;
    int renderedFrames() const override { return m_rendered; }
    // `last` runs on the render thread with its OpenGL context current, then the thread ends.
    void finish(const std::function<void(mpv_render_context*)>& last) override;

    // On the GUI thread with a context of the same share group current: `paint` gets the newest
    // finished texture (its first line is the picture's top) and its size. False with no frame (or one of an earlier generation) to paint.
    bool withFront(const std::function<void(unsigned texture, QSize size)>& paint);

private:
    struct Buffer {
        unsigned texture = 0;
        unsigned fbo = 0;
        QSize size;
        uint64_t generation = 0;
        // Set by the painting side after its last use of the texture.
        GLsync readDone = nullptr;
        // Set by the render thread once its drawing is queued.
        GLsync drawn = nullptr;
    };
    void run();
    bool ensure(Buffer& buffer, QSize size);
    void release(Buffer& buffer);
    void waitForReaders(Buffer& buffer);
    void render(bool skip, QSize size);

    QOffscreenSurface* m_surface;
    std::function<void()> m_framed;
    QOpenGLContext* m_gl = nullptr; // the render thread's alone
    mpv_render_context* m_context = nullptr;
    bool m_hasSync = false;

    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_started = false;
    bool m_pending = false;
    bool m_redraw = false;
    bool m_quit = false;
    std::function<void(mpv_render_context*)> m_last;
    QSize m_size;
    bool m_visible = false;
    std::atomic<uint64_t> m_generation{1};
    std::atomic<int> m_rendered{0};
    Buffer m_back; // the render thread's alone
    std::mutex m_frontLock;
    Buffer m_front; // swapped under m_frontLock
    bool m_hasFront = false;
    std::thread m_thread;
};

} // namespace platform::mpv
