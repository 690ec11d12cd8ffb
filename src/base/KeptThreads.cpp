#include "base/KeptThreads.h"

#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <system_error>

namespace {

struct Kept {
    std::thread thread;
    bool waited = false;
    bool done = false;           // set by a thread started here, at its end
    std::function<bool()> ended; // asked for a thread taken over
};

// A kept thread may end after main() has returned, when static objects are being destroyed: the
// registry is never destroyed, so neither is a thread that never ends.
struct Registry {
    std::mutex lock;
    std::condition_variable ended;
    std::list<Kept> kept;

    // Under `lock`.
    bool waitedEnded() const {
        for (const Kept& each : kept)
            if (each.waited && !each.done) return false;
        return true;
    }
    // Under `lock`: the threads that are done are joined (they only have to return).
    void reap() {
        for (auto it = kept.begin(); it != kept.end();) {
            if (it->done || (it->ended && it->ended())) {
                it->thread.join();
                it = kept.erase(it);
            } else {
                ++it;
            }
        }
    }
};

Registry& registry() {
    static auto* const state = new Registry;
    return *state;
}

// At a normal end of the process the threads that are done are joined, the waited ones given a
// moment to be; what still runs is left to the end of the process.
struct JoinAtExit {
    ~JoinAtExit() {
        Registry& state = registry();
        std::unique_lock<std::mutex> hold(state.lock);
        state.ended.wait_for(hold, std::chrono::seconds(1), [&] { return state.waitedEnded(); });
        state.reap();
    }
} g_joinAtExit;

} // namespace

bool startKept(std::function<void()> work, bool waited) {
    Registry& state = registry();
    std::lock_guard<std::mutex> hold(state.lock);
    state.reap();
    Kept& kept = state.kept.emplace_back();
    kept.waited = waited;
    try {
        kept.thread = std::thread([&state, &kept, work = std::move(work)] {
            work();
            std::lock_guard<std::mutex> done(state.lock);
            kept.done = true;
            state.ended.notify_all();
        });
    } catch (const std::system_error&) {
        state.kept.pop_back();
        return false;
    }
    return true;
}

void keep(std::thread thread, std::function<bool()> ended) {
    if (!thread.joinable()) return;
    Registry& state = registry();
    std::lock_guard<std::mutex> hold(state.lock);
    state.reap();
    Kept& kept = state.kept.emplace_back();
    kept.thread = std::move(thread);
    kept.ended = std::move(ended);
}

bool keptThreadsEnded(int limitMs) {
    Registry& state = registry();
    std::unique_lock<std::mutex> hold(state.lock);
    const bool ended =
        state.ended.wait_for(hold, std::chrono::milliseconds(limitMs), [&] { return state.waitedEnded(); });
    state.reap();
    return ended;
}
