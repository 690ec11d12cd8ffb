#pragma once
#include <QSize>
#include <cerrno>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <functional>
#include <sys/resource.h>
#include <vector>
#include <sys/syscall.h>
#include <unistd.h>

struct mpv_render_context;
class QImage;
class QWindow;

namespace platform::mpv {

// Playback runs below the user-interface thread's priority, as screen-saver daemons run their hacks:
// the input that ends the screen saver, and the user's own programs, come first. Threads inherit it
// from the thread that starts them, so libmpv's are lowered by starting its core on a lowered thread.
constexpr int kPlaybackNiceness = 5;
inline void lowerThisThreadsPriority() {
    const auto self = id_t(syscall(SYS_gettid));
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (errno == 0) setpriority(PRIO_PROCESS, self, now + kPlaybackNiceness < 19 ? now + kPlaybackNiceness : 19);
}

// Another window that shows the same picture (on another monitor), at its own size in device pixels.
struct MirrorTarget {
    QWindow* window = nullptr;
    QSize size;
};

// What the player asks of a surface's render thread, whichever way it draws (software images,
// shared memory or OpenGL): libmpv's frames are drawn off the user-interface thread, which only
// shows them. The waiting and the bookkeeping are shared; each surface draws a frame its own way.
class FrameLoop {
public:
    virtual ~FrameLoop() = default;

    // From any thread, libmpv's own included: there may be a new frame.
    void wake();
    // The size to render at in device pixels and whether anyone can see it; a hidden player's frames
    // are taken and dropped so libmpv's video thread does not wait. With `redraw` the current frame
    // is drawn again at once (only while a video is up: otherwise there is none, and black would show).
    void setTarget(QSize size, qreal ratio, bool visible, bool redraw);
    // Frames of an earlier generation are no longer shown (the picture was cleared since).
    void setGeneration(uint64_t generation) { m_generation = generation; }
    // Generation of the front frame; 0 before the first.
    virtual uint64_t frontGeneration() = 0;
    int renderedFrames() const { return m_rendered; }
    // Ends the thread. `last` then runs once where libmpv's render context may be used (with its
    // OpenGL context current where there is one) and must free it.
    virtual void finish(const std::function<void(mpv_render_context*)>& last) = 0;
    // From the GUI thread, as the native window the frames go to gets its surface (`window`) or loses
    // it (null); returns once the render thread no longer draws on the old one. Only for loops that
    // draw into a window.
    virtual void setWindow(QWindow* window) { (void)window; }
    // From the GUI thread: the windows each frame is also drawn into, from the same decoded frame.
    // Returns once the render thread no longer draws on windows left out (their surfaces may go).
    // Loops that draw into images have none: their mirrors paint the front image.
    virtual void setMirrors(std::vector<MirrorTarget> mirrors) { (void)mirrors; }
    // The newest finished image, held while `paint` runs; false with none (or one of an earlier
    // generation), and always for loops that put their frames on a window themselves.
    virtual bool withFront(const std::function<void(const QImage&)>& paint) {
        (void)paint;
        return false;
    }
    // Takes the current frame from libmpv without drawing it.
    static void skipFrame(mpv_render_context* context);

protected:
    // The render thread's loop, until quit(): waits for a new frame or a redraw, then calls
    // `draw(skip, size, ratio)`, with `skip` when no one can see it. Nothing is drawn again while
    // hidden; a new frame is still taken off libmpv's hands.
    void runFrames(mpv_render_context* context, const std::function<void(bool, QSize, qreal)>& draw);
    // Makes runFrames return (from any thread).
    void quit();

    std::atomic<uint64_t> m_generation{1};
    std::atomic<int> m_rendered{0};

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_pending = false; // libmpv asked for an update
    bool m_redraw = false;  // the target changed: draw the current frame again
    bool m_quit = false;
    QSize m_size;
    qreal m_ratio = 1;
    bool m_visible = false;
};

} // namespace platform::mpv
