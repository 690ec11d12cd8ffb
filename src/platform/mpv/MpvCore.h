#pragma once
#include <QByteArray>
#include "base/ThreadNotice.h"
#include <QObject>
#include <cstdint>
#include <functional>
#include <mutex>
#include <mpv/client.h>
#include <string>
#include <unordered_map>

struct mpv_render_context;

namespace platform::mpv {

struct MpvOptions;

// A hook that fires while nobody handles it lets its file go on at once, so the core never waits
// for an answer that will not come.
void letHookPass(mpv_handle* mpv, const mpv_event& event);

// One libmpv core: its handle, the options every player sets on it, and its event pump. libmpv's
// wake-up only posts a queued call to this object's thread, which drains the events there and hands
// each to the handler registered for it: by event, or for a property change by the property's name.
// The handle is let go of in one way only: handed to the retirement of cores (CoreRetirement.h),
// which ends it off the user-interface thread, whether it answers or is stuck.
class MpvCore : public QObject {
    Q_OBJECT
public:
    // `openGL`: frames will be drawn with OpenGL, so hardware decoders are worth probing; `audio`,
    // libmpv's first list of audio outputs. handle() is null when libmpv cannot start.
    MpvCore(const MpvOptions& options, bool openGL, const QByteArray& audio);
    ~MpvCore() override;
    MpvCore(const MpvCore&) = delete;
    MpvCore& operator=(const MpvCore&) = delete;

    mpv_handle* handle() const { return m_mpv; }
    explicit operator bool() const { return m_mpv != nullptr; }

    using EventHandler = std::function<void(const mpv_event&)>;
    using PropertyHandler = std::function<void(const mpv_event_property&)>;
    // The handler of `id`; registered before events start.
    void on(mpv_event_id id, EventHandler handler);
    // Observes `name` and hands its changes to `handler`.
    void observe(const char* name, mpv_format format, PropertyHandler handler);
    // From now on libmpv's events reach the handlers, until stopEvents().
    void startEvents();
    void stopEvents();

    // Asynchronous requests whose replies are not waited for (a reply id of 0 has none looked at).
    bool command(const char* const* args, uint64_t replyId = 0);
    void setFlag(const char* name, bool value);
    void setText(const char* name, const char* value);
    // Asks libmpv and waits for it: for tests and tools.
    QByteArray text(const char* name) const;
    double number(const char* name, double otherwise) const;

    // As the core last said: between files, with nothing to play.
    bool idle() const { return m_idle; }
    // Stops playback and lets the core go idle while the render thread still takes its frames;
    // false when the core does not answer within a short while (stuck on a device or server).
    bool stopUntilIdle();
    // For the benchmarks: what was drawn and what was dropped, on stderr.
    void tellStatistics(int framesDrawn);

    // Hands the core to the retirement: `answering` as stopUntilIdle said; `leftRender`, a software
    // render context still to be freed with it (null when none); `renderLost`, an OpenGL one that
    // could not be. handle() is null afterwards; the destructor does this when nobody did.
    void retire(bool answering, mpv_render_context* leftRender, bool renderLost);

private:
    static void wakeupCallback(void* core);
    void drainEvents();
    void dispatch(const mpv_event& event);

    mpv_handle* m_mpv = nullptr;
    ThreadNotice* m_wakeup;
    // libmpv's wake-up comes on a thread of libmpv's: it finds this object under this lock, and from
    // stopEvents() on finds nothing.
    std::mutex m_wakeLock;
    bool m_wakeOn = false;
    bool m_idle = true;
    bool m_answering = true;
    std::unordered_map<int, EventHandler> m_events;
    std::unordered_map<std::string, PropertyHandler> m_properties;
};

} // namespace platform::mpv
