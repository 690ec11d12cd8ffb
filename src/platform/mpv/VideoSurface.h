#pragma once
#include "platform/mpv/FrameLoop.h"
#include <QRectF>
#include <QSize>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QOffscreenSurface;
class QPainter;
class QWidget;
struct mpv_handle;
struct mpv_render_context;

namespace platform::mpv {

class VideoWindow;

// Where a player's frames go, and the render thread that draws them there: with OpenGL straight into
// a native child window (GlRenderLoop), in software from memory shared with the X server into one
// (ShmRenderLoop), or in software into images the player paints (RenderLoop), which works on every
// Qt platform. The child window, when there is one, takes no input and is hidden until the first
// frame: until then the form behind shows through. Owns the loop, the window and libmpv's render
// context; the three ways differ only inside their loops.
class VideoSurface {
public:
    enum class Kind { None, Images, SharedMemory, OpenGL };

    // `host` is the player the window sits in; `framed` runs on the render thread after each new
    // frame (post it to the GUI thread); `redraw` on the GUI thread when the window needs its
    // current frame again.
    VideoSurface(QWidget* host, std::function<void()> framed, std::function<void()> redraw);
    ~VideoSurface();
    VideoSurface(const VideoSurface&) = delete;
    VideoSurface& operator=(const VideoSurface&) = delete;

    // Starts drawing the frames of `mpv`: with OpenGL when asked and it starts, else in software,
    // from shared memory when asked and the X server shares it. Kind::None when libmpv has no render
    // context to give.
    Kind start(mpv_handle* mpv, bool openGL, bool sharedMemory);
    Kind kind() const { return m_kind; }
    mpv_render_context* render() const { return m_render; }

    // See FrameLoop; nothing happens before start() or after finish().
    void setTarget(QSize size, qreal ratio, bool visible, bool redraw);
    void setGeneration(uint64_t generation);
    uint64_t frontGeneration() const;
    int renderedFrames() const { return m_loop ? m_loop->renderedFrames() : 0; }
    void setMirrors(std::vector<MirrorTarget> mirrors);

    // The frames are put on a child window of the host rather than painted by it.
    bool inWindow() const { return m_container != nullptr; }
    // Shows or hides that window, and fits it to the host.
    void showWindow(bool shown);
    void fitToHost();
    // Paints the newest image into `target`; false with none (and always when frames go to a window).
    bool paintFront(QPainter& painter, const QRectF& target);

    // What finish() left of libmpv's render context: one to free with the core (`left`), or one that
    // could not be freed at all (`lost`).
    struct Leftover {
        mpv_render_context* left = nullptr;
        bool lost = false;
    };
    // Ends the render thread and lets go of the window. `answering`: the core is idle, its video
    // output gone, so the render context is freed where it may be used (on the render thread, with
    // its OpenGL context current). Otherwise the core is stuck, and what is left of the render
    // context is handed back for the core's retirement.
    Leftover finish(bool answering);

private:
    static void renderUpdateCallback(void* surface);
    bool startOpenGL(mpv_handle* mpv);
    bool startSoftware(mpv_handle* mpv, bool sharedMemory);
    bool startSharedMemory();
    // `m_window` in a child widget of the host's size, hidden until the first frame.
    void holdWindow();
    void dropWindow();

    QWidget* m_host;
    std::function<void()> m_framed;
    std::function<void()> m_redraw;
    Kind m_kind = Kind::None;
    mpv_render_context* m_render = nullptr;
    std::unique_ptr<QOffscreenSurface> m_glSurface;
    std::unique_ptr<FrameLoop> m_loop;
    // libmpv's update callback comes on a thread of libmpv's, which hands it over under locks of its
    // own: the loop it wakes is reached under this lock, and let go of under it before it ends.
    std::mutex m_wakeLock;
    FrameLoop* m_wakeTarget = nullptr;
    VideoWindow* m_window = nullptr; // owned by m_container
    QWidget* m_container = nullptr;
};

} // namespace platform::mpv
