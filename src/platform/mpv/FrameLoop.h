#pragma once
#include <QSize>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

struct mpv_render_context;

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

// What the player asks of a surface's render thread, whichever way it draws (software images or
// OpenGL textures): libmpv's frames are drawn off the user-interface thread, which only shows them.
class FrameLoop {
public:
    virtual ~FrameLoop() = default;

    // From any thread, libmpv's own included: there may be a new frame.
    virtual void wake() = 0;
    // The size to render at in device pixels and whether anyone can see it; a hidden player's frames
    // are taken and dropped so libmpv's video thread does not wait. With `redraw` the current frame
    // is drawn again at once (only while a video is up: otherwise there is none, and black would show).
    virtual void setTarget(QSize size, qreal ratio, bool visible, bool redraw) = 0;
    // Frames of an earlier generation are no longer shown (the picture was cleared since).
    virtual void setGeneration(uint64_t generation) = 0;
    // Generation of the front frame; 0 before the first.
    virtual uint64_t frontGeneration() = 0;
    virtual int renderedFrames() const = 0;
    // Ends the thread. `last` then runs once where libmpv's render context may be used (with its
    // OpenGL context current where there is one) and must free it.
    virtual void finish(const std::function<void(mpv_render_context*)>& last) = 0;
};

} // namespace platform::mpv
