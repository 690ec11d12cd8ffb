#include "platform/mpv/CoreRetirement.h"

#include "platform/mpv/FrameLoop.h"
#include "platform/mpv/MpvCore.h"
#include <QElapsedTimer>
#include <condition_variable>
#include <list>
#include <mpv/render.h>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform::mpv {

namespace {

constexpr qint64 kShutdownLimitMs = 1000;

struct Work {
    std::thread thread;
    bool waited = false; // playersFinished waits for it
    bool done = false;
};

// A thread here may end after main() has returned, when static objects are being destroyed: the
// registry is never destroyed, so neither is a thread that never ends.
struct Registry {
    std::mutex lock;
    std::condition_variable ended;
    std::list<Work> work;
    int abandoned = 0;

    // Under `lock`: nothing playersFinished waits for still runs.
    bool coresEnded() const {
        for (const Work& each : work)
            if (each.waited && !each.done) return false;
        return true;
    }

    // Under `lock`: the threads that are done are joined (they only have to return).
    void reap() {
        for (auto it = work.begin(); it != work.end();) {
            if (!it->done) {
                ++it;
                continue;
            }
            it->thread.join();
            it = work.erase(it);
        }
    }
};

Registry& registry() {
    static auto* const state = new Registry;
    return *state;
}

// At a normal end of the process (the program has waited for its cores by then, and ends without
// exit handlers when some are stuck), the threads that are done are joined, the cores' given a
// moment to be; what still runs is left to the end of the process.
struct JoinAtExit {
    ~JoinAtExit() {
        Registry& state = registry();
        std::unique_lock<std::mutex> hold(state.lock);
        state.ended.wait_for(hold, std::chrono::seconds(1), [&] { return state.coresEnded(); });
        state.reap();
    }
} g_joinAtExit;

bool start(std::function<void()> job, bool waited) {
    Registry& state = registry();
    std::lock_guard<std::mutex> hold(state.lock);
    state.reap();
    Work& work = state.work.emplace_back();
    work.waited = waited;
    try {
        work.thread = std::thread([&state, &work, job = std::move(job)] {
            job();
            std::lock_guard<std::mutex> done(state.lock);
            work.done = true;
            state.ended.notify_all();
        });
    } catch (const std::system_error&) {
        state.work.pop_back();
        return false;
    }
    return true;
}

void abandon() {
    Registry& state = registry();
    std::lock_guard<std::mutex> hold(state.lock);
    ++state.abandoned;
}

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
        started = start([mpv] { mpv_terminate_destroy(mpv); }, true);
    } else if (!renderLost) {
        started = start(
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
    if (start(std::move(ending), true)) return true;
    abandon();
    return false;
}

bool runUnwaited(std::function<void()> work) {
    return start(std::move(work), false);
}

bool playersFinished(int limitMs) {
    Registry& state = registry();
    std::unique_lock<std::mutex> hold(state.lock);
    if (state.abandoned > 0) return false;
    const bool finished = state.ended.wait_for(hold, std::chrono::milliseconds(limitMs), [&] { return state.coresEnded(); });
    state.reap();
    return finished;
}

} // namespace platform::mpv
