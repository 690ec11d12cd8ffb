#include "platform/mpv/MpvCore.h"

#include "platform/mpv/CoreRetirement.h"
#include "platform/mpv/FrameLoop.h"
#include "platform/mpv/HeapRelease.h"
#include "platform/mpv/MpvEngine.h"
#include <QElapsedTimer>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <thread>

namespace platform::mpv {

namespace {

constexpr qint64 kShutdownLimitMs = 1000;
// A core that has not answered a request by then is stuck on something and is not waited for.
constexpr qint64 kAnswerLimitMs = 250;
constexpr uint64_t kFarewellReply = 3;

void setOption(mpv_handle* mpv, const char* name, const char* value) {
    // An option this libmpv does not know is not worth failing over.
    mpv_set_option_string(mpv, name, value);
}

void setOptions(mpv_handle* mpv, const MpvOptions& options, bool openGL, const QByteArray& audio) {
    setOption(mpv, "config", "no");
    setOption(mpv, "terminal", "no");
    setOption(mpv, "msg-level", "all=no");
    setOption(mpv, "vo", "libmpv");
    // Hardware decoders are probed only where their frames are drawn: in software each frame would
    // come back to the processor, and each probe has a driver's library complain on stderr.
    setOption(mpv, "hwdec", openGL ? "auto-safe" : "no");
    setOption(mpv, "idle", "yes");
    setOption(mpv, "keep-open", "no");
    setOption(mpv, "force-window", "no");
    setOption(mpv, "keepaspect", "no");
    setOption(mpv, "audio-display", "no");
    setOption(mpv, "osc", "no");
    setOption(mpv, "osd-level", "0");
    setOption(mpv, "input-default-bindings", "no");
    setOption(mpv, "input-vo-keyboard", "no");
    setOption(mpv, "input-cursor", "no");
    setOption(mpv, "stop-screensaver", "no");
    // Each built-in script is a thread of its own, and none of them has anything to do here.
    setOption(mpv, "load-scripts", "no");
    setOption(mpv, "ytdl", "no");
    setOption(mpv, "load-stats-overlay", "no");
    setOption(mpv, "load-osd-console", "no");
    setOption(mpv, "load-auto-profiles", "no");
    setOption(mpv, "audio-client-name", "lumora");
    // Only the files the program resolved itself are opened: no play list, edit list, cue sheet,
    // chapter file or stream that a file refers to, no subtitle, sound or cover picture found beside
    // it (a pipe of that name would hold the core), and no protocol but local files.
    setOption(mpv, "access-references", "no");
    setOption(mpv, "load-unsafe-playlists", "no");
    setOption(mpv, "sub-auto", "no");
    setOption(mpv, "audio-file-auto", "no");
    setOption(mpv, "cover-art-auto", "no");
    setOption(mpv, "demuxer-lavf-o", "protocol_whitelist=file");
    // The media control's design-time volume.
    setOption(mpv, "volume", "50");
    setOption(mpv, "ao", audio.constData());
    if (options.untimed) {
        setOption(mpv, "untimed", "yes");
        setOption(mpv, "ao-null-untimed", "yes");
    }
}

} // namespace

void letHookPass(mpv_handle* mpv, const mpv_event& event) {
    if (event.event_id == MPV_EVENT_HOOK)
        mpv_hook_continue(mpv, static_cast<const mpv_event_hook*>(event.data)->id);
}

MpvCore::MpvCore(const MpvOptions& options, bool openGL, const QByteArray& audio)
    : m_wakeup(new ThreadNotice(this, [this] { drainEvents(); })) {
    // libmpv refuses to start unless numbers are formatted the C way; Qt sets the user's locale.
    const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
    if (!numeric || std::strcmp(numeric, "C") != 0) std::setlocale(LC_NUMERIC, "C");
    // Before the core and its decoder threads allocate anything.
    returnFreedMemoryToSystem();
    // The core's thread, and every thread it starts to read, decode and show, at playback priority.
    std::thread([this] {
        lowerThisThreadsPriority();
        m_mpv = mpv_create();
    }).join();
    if (!m_mpv) return;
    setOptions(m_mpv, options, openGL, audio);
    if (mpv_initialize(m_mpv) < 0) {
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
    }
}

MpvCore::~MpvCore() {
    stopEvents();
    if (m_mpv) retire(m_answering, nullptr, false);
}

void MpvCore::on(mpv_event_id id, EventHandler handler) {
    m_events[int(id)] = std::move(handler);
}

void MpvCore::observe(const char* name, mpv_format format, PropertyHandler handler) {
    if (!m_mpv) return;
    m_properties[name] = std::move(handler);
    mpv_observe_property(m_mpv, 0, name, format);
}

void MpvCore::startEvents() {
    if (!m_mpv) return;
    {
        std::lock_guard<std::mutex> hold(m_wakeLock);
        m_wakeOn = true;
    }
    mpv_set_wakeup_callback(m_mpv, &MpvCore::wakeupCallback, this);
}

void MpvCore::stopEvents() {
    {
        std::lock_guard<std::mutex> hold(m_wakeLock);
        m_wakeOn = false;
    }
    // Calls already posted find no handler to run once the core is going.
    if (m_mpv) mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
    m_events.clear();
    m_properties.clear();
}

void MpvCore::wakeupCallback(void* core) {
    auto* self = static_cast<MpvCore*>(core);
    std::lock_guard<std::mutex> hold(self->m_wakeLock);
    if (self->m_wakeOn) self->m_wakeup->poke();
}

void MpvCore::drainEvents() {
    while (m_mpv && !m_events.empty()) {
        const mpv_event* event = mpv_wait_event(m_mpv, 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        dispatch(*event);
    }
}

void MpvCore::dispatch(const mpv_event& event) {
    if (event.event_id == MPV_EVENT_IDLE) m_idle = true;
    else if (event.event_id == MPV_EVENT_START_FILE) m_idle = false;
    if (event.event_id == MPV_EVENT_PROPERTY_CHANGE) {
        const auto* property = static_cast<const mpv_event_property*>(event.data);
        const auto handler = m_properties.find(property->name);
        if (handler != m_properties.end()) handler->second(*property);
        return;
    }
    const auto handler = m_events.find(int(event.event_id));
    if (handler != m_events.end()) handler->second(event);
    // A hook nobody takes lets its file go on at once: the core never waits for an answer.
    else if (event.event_id == MPV_EVENT_HOOK) letHookPass(m_mpv, event);
}

bool MpvCore::command(const char* const* args, uint64_t replyId) {
    return m_mpv && mpv_command_async(m_mpv, replyId, const_cast<const char**>(args)) >= 0;
}

void MpvCore::setFlag(const char* name, bool value) {
    int flag = value ? 1 : 0;
    if (m_mpv) mpv_set_property_async(m_mpv, 0, name, MPV_FORMAT_FLAG, &flag);
}

void MpvCore::setText(const char* name, const char* value) {
    if (m_mpv) mpv_set_property_async(m_mpv, 0, name, MPV_FORMAT_STRING, &value);
}

QByteArray MpvCore::text(const char* name) const {
    char* value = m_mpv ? mpv_get_property_string(m_mpv, name) : nullptr;
    const QByteArray text(value);
    mpv_free(value);
    return text;
}

double MpvCore::number(const char* name, double otherwise) const {
    double value = otherwise;
    if (m_mpv && mpv_get_property(m_mpv, name, MPV_FORMAT_DOUBLE, &value) < 0) value = otherwise;
    return value;
}

bool MpvCore::stopUntilIdle() {
    // Every request before this one is done when its reply comes: a core busy for longer than this
    // is waiting on something outside (a device or server that never answers).
    const char* command[] = {"stop", nullptr};
    m_answering = false;
    if (!m_mpv || mpv_command_async(m_mpv, kFarewellReply, command) < 0) return m_answering = !m_mpv;
    QElapsedTimer elapsed;
    elapsed.start();
    bool answered = false;
    // After the reply the file ends on the core's own thread, and the core says when it is idle:
    // its video output is gone then, and freeing the render context waits for nothing. Only the
    // events are waited on, each wait bounded, never the core itself.
    for (qint64 left = kAnswerLimitMs; left > 0 && !(answered && m_idle);
         left = (answered ? kShutdownLimitMs : kAnswerLimitMs) - elapsed.elapsed()) {
        const mpv_event* event = mpv_wait_event(m_mpv, double(left) / 1000.0);
        letHookPass(m_mpv, *event);
        switch (event->event_id) {
        case MPV_EVENT_SHUTDOWN:
            return m_answering = true;
        case MPV_EVENT_START_FILE:
            m_idle = false;
            break;
        case MPV_EVENT_IDLE:
            m_idle = true;
            break;
        case MPV_EVENT_COMMAND_REPLY:
            answered = answered || event->reply_userdata == kFarewellReply;
            break;
        default:
            break;
        }
    }
    return m_answering = answered;
}

void MpvCore::tellStatistics(int framesDrawn) {
    if (!m_mpv) return;
    int64_t decoderDrops = 0;
    int64_t outputDrops = 0;
    mpv_get_property(m_mpv, "decoder-frame-drop-count", MPV_FORMAT_INT64, &decoderDrops);
    mpv_get_property(m_mpv, "frame-drop-count", MPV_FORMAT_INT64, &outputDrops);
    std::fprintf(stderr, "lumora-stats: frames-drawn %d decoder-drops %lld output-drops %lld\n", framesDrawn,
                 static_cast<long long>(decoderDrops), static_cast<long long>(outputDrops));
}

void MpvCore::retire(bool answering, mpv_render_context* leftRender, bool renderLost) {
    mpv_handle* mpv = m_mpv;
    m_mpv = nullptr;
    if (mpv) retireCore(mpv, answering, leftRender, renderLost);
}

} // namespace platform::mpv
