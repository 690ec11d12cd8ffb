#include "platform/mpv/CoreRetirement.h"

#include "platform/mpv/MpvPlayer.h"
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform::mpv {

namespace {

std::atomic<int> g_retiringCores{0};
std::atomic<int> g_abandonedCores{0};
// A retiring core's thread may end after main() has returned, when static objects are being
// destroyed: the lock and the signal it ends with are never destroyed.
struct Retiring {
    std::mutex lock;
    std::condition_variable ended;
};
Retiring& retiring() {
    static auto* const state = new Retiring;
    return *state;
}

} // namespace

void endOffThisThread(std::function<void()> ending) {
    ++g_retiringCores;
    try {
        std::thread([ending = std::move(ending)] {
            ending();
            Retiring& state = retiring();
            std::lock_guard<std::mutex> hold(state.lock);
            --g_retiringCores;
            state.ended.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the core is left to itself rather than holding this thread.
        --g_retiringCores;
        ++g_abandonedCores;
    }
}

void abandonCore() { ++g_abandonedCores; }

bool playersFinished(int limitMs) {
    if (g_abandonedCores.load() > 0) return false;
    Retiring& state = retiring();
    std::unique_lock<std::mutex> hold(state.lock);
    return state.ended.wait_for(hold, std::chrono::milliseconds(limitMs),
                                [] { return g_retiringCores.load() == 0; });
}

} // namespace platform::mpv
