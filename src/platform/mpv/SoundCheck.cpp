#include "platform/mpv/SoundCheck.h"

#include "platform/mpv/CoreRetirement.h"
#include "base/ThreadNotice.h"
#include <QElapsedTimer>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mpv/client.h>
#include <mutex>

namespace platform::mpv {

namespace {

struct Check {
    std::mutex lock;
    bool started = false;
    // Made on the user-interface thread with the check: the answer is passed to the waiters there.
    ThreadNotice* notifier = nullptr;
    std::map<QObject*, std::function<void()>> waiters;
};

// Never destroyed: the check's thread may still end its core while the process ends.
Check& check() {
    static auto* const state = new Check;
    return *state;
}

std::atomic<SoundAnswer> g_answer{SoundAnswer::Pending};

// On the user-interface thread: the waiters are only ever touched there.
void tellWaiters() {
    Check& state = check();
    std::map<QObject*, std::function<void()>> waiters;
    {
        std::lock_guard<std::mutex> hold(state.lock);
        waiters.swap(state.waiters);
    }
    for (auto& [context, then] : waiters) QMetaObject::invokeMethod(context, std::move(then), Qt::QueuedConnection);
}

// On the check's thread: only the answer and one posted call cross over.
void answer(SoundAnswer result) {
    Check& state = check();
    ThreadNotice* notifier = nullptr;
    {
        std::lock_guard<std::mutex> hold(state.lock);
        g_answer = result;
        notifier = state.notifier;
    }
    if (notifier) notifier->poke();
}

// A moment of silence, opened on the outputs without libmpv's fallback to none.
SoundAnswer opensWithin(mpv_handle* mpv, const QByteArray& outputs) {
    QByteArray list = outputs;
    if (list.endsWith(",null")) list.chop(5);
    for (const auto& [name, value] :
         {std::pair<const char*, const char*>{"config", "no"}, {"terminal", "no"}, {"msg-level", "all=no"},
          {"vo", "null"}, {"video", "no"}, {"idle", "yes"}, {"load-scripts", "no"}, {"ytdl", "no"},
          {"stop-screensaver", "no"}, {"input-default-bindings", "no"}, {"audio-client-name", "lumora"},
          {"audio-fallback-to-null", "no"}, {"volume", "0"}})
        mpv_set_option_string(mpv, name, value);
    mpv_set_option_string(mpv, "ao", list.constData());
    // Whatever goes wrong before an output is tried is no reason to play without sound.
    if (mpv_initialize(mpv) < 0) return SoundAnswer::Answered;
    mpv_observe_property(mpv, 0, "current-ao", MPV_FORMAT_STRING);
    const char* command[] = {"loadfile", "av://lavfi:anullsrc=d=0.2", nullptr};
    if (mpv_command_async(mpv, 0, command) < 0) return SoundAnswer::Answered;
    QElapsedTimer elapsed;
    elapsed.start();
    for (qint64 left = kSoundAnswerLimitMs; left > 0; left = kSoundAnswerLimitMs - elapsed.elapsed()) {
        const mpv_event* event = mpv_wait_event(mpv, double(left) / 1000.0);
        if (event->event_id == MPV_EVENT_END_FILE || event->event_id == MPV_EVENT_SHUTDOWN)
            return SoundAnswer::Answered;
        if (event->event_id != MPV_EVENT_PROPERTY_CHANGE) continue;
        const auto* property = static_cast<const mpv_event_property*>(event->data);
        if (std::strcmp(property->name, "current-ao") == 0 && property->format == MPV_FORMAT_STRING &&
            **static_cast<char**>(property->data))
            return SoundAnswer::Answered;
    }
    return SoundAnswer::Silent;
}

} // namespace

SoundAnswer soundAnswer() { return g_answer.load(); }

void checkSoundOutputs(const QByteArray& outputs) {
    {
        Check& state = check();
        std::lock_guard<std::mutex> hold(state.lock);
        if (state.started) return;
        state.started = true;
        state.notifier = new ThreadNotice(new QObject, &tellWaiters);
    }
    if (outputs == "null") return answer(SoundAnswer::Answered);
    // The check's core may be held by the very server it asks, for as long as that takes to give up.
    endOffThisThread([outputs] {
        mpv_handle* mpv = mpv_create();
        if (!mpv) return answer(SoundAnswer::Answered);
        const SoundAnswer result = opensWithin(mpv, outputs);
        if (result == SoundAnswer::Silent)
            std::fprintf(stderr, "lumora: the sound output did not answer within %d s; playing without sound\n",
                         kSoundAnswerLimitMs / 1000);
        answer(result);
        mpv_terminate_destroy(mpv);
    });
}

void whenSoundAnswered(QObject* context, std::function<void()> then) {
    Check& state = check();
    std::lock_guard<std::mutex> hold(state.lock);
    if (g_answer.load() != SoundAnswer::Pending) {
        QMetaObject::invokeMethod(context, then, Qt::QueuedConnection);
        return;
    }
    state.waiters[context] = std::move(then);
}

void forgetSoundWaiter(QObject* context) {
    Check& state = check();
    std::lock_guard<std::mutex> hold(state.lock);
    state.waiters.erase(context);
}

} // namespace platform::mpv
