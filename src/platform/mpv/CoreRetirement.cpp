#include "platform/mpv/CoreRetirement.h"

#include "base/KeptThreads.h"
#include "platform/mpv/FrameLoop.h"
#include "platform/mpv/MpvCore.h"
#include <QElapsedTimer>
#include <atomic>
#include <mpv/render.h>

namespace platform::mpv {

namespace {

constexpr qint64 kShutdownLimitMs = 1000;

// Cores left to themselves: the process ends without waiting for them.
std::atomic<int> g_abandoned{0};

void abandon() { ++g_abandoned; }

// libmpv's video thread waits up to a fifth of a second for each frame to be taken, and freeing the
// render context waits for that thread: stop, and take frames until the core is idle. This thread is
// both client and renderer here, as the render thread has ended.
void shutDownVideo(mpv_handle* mpv, mpv_render_context* render) {
    const char* command[] = {"stop", nullptr};
    if (mpv_command(mpv, command) < 0) return;
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < kShutdownLimitMs) {
        mpv_render_context_update(render);
        FrameLoop::skipFrame(render);
        int idle = 0;
        if (mpv_get_property(mpv, "idle-active", MPV_FORMAT_FLAG, &idle) >= 0 && idle) return;
        letHookPass(mpv, *mpv_wait_event(mpv, 0.005));
    }
}

} // namespace

void retireCore(mpv_handle* mpv, bool answering, mpv_render_context* leftRender, bool renderLost) {
    bool started = false;
    if (answering) {
        started = startKept([mpv] { mpv_terminate_destroy(mpv); }, true);
    } else if (!renderLost) {
        started = startKept(
            [mpv, leftRender] {
                if (leftRender) {
                    shutDownVideo(mpv, leftRender);
                    mpv_render_context_free(leftRender);
                }
                mpv_terminate_destroy(mpv);
            },
            true);
    }
    // No thread to be had, or nothing that can end it: the core is left to itself rather than
    // holding this thread, and the process ends without waiting for it.
    if (!started) abandon();
}

bool endOffThisThread(std::function<void()> ending) {
    if (startKept(std::move(ending), true)) return true;
    abandon();
    return false;
}

bool runUnwaited(std::function<void()> work) {
    return startKept(std::move(work), false);
}

bool playersFinished(int limitMs) {
    return g_abandoned.load() == 0 && keptThreadsEnded(limitMs);
}

} // namespace platform::mpv
