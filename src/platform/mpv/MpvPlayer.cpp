#include "platform/mpv/MpvPlayer.h"

#include "platform/mpv/CoreRetirement.h"
#include "platform/mpv/GlRenderLoop.h"
#include "platform/mpv/HeapRelease.h"
#include "platform/mpv/LocalMedia.h"
#include "platform/mpv/MpvMirror.h"
#include "platform/mpv/RenderLoop.h"
#include "platform/mpv/ShmRenderLoop.h"
#include "platform/mpv/SoundCheck.h"
#include "platform/mpv/SoundOutput.h"
#include "platform/mpv/VideoWindow.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QPaintEvent>
#include <QPainter>
#include <QProcessEnvironment>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mpv/client.h>
#include <mpv/render.h>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace platform::mpv {

namespace {

constexpr qint64 kShutdownLimitMs = 1000;
// How long a new item's picture may take to come before the last one's gives way to the form.
constexpr int kNoVideoAfterMs = 250;
// A core that has not answered a request by then is stuck on something and is not waited for.
constexpr qint64 kAnswerLimitMs = 250;

// Looks at paths that never answer are not started without end: past this many, a path counts as
// unplayable until one of them returns.
constexpr int kMostPendingLooks = 4;
std::atomic<int> g_pendingLooks{0};

void setOption(mpv_handle* mpv, const char* name, const char* value) {
    // An option this libmpv does not know is not worth failing over.
    mpv_set_option_string(mpv, name, value);
}

// Told apart by their reply ids.
constexpr uint64_t kPreloadedHook = 1;
constexpr uint64_t kTrackListReply = 2;
// Each loadfile's reply comes back under this plus its own serial number.
constexpr uint64_t kLoadReply = 1000;
constexpr uint64_t kFarewellReply = 3;

// What an open file holds, from its track list.
struct Tracks {
    // A video that is not a cover picture: the track libmpv picks by itself.
    bool video = false;
    // Its rotation in degrees clockwise, as its container says (0 when none).
    int rotation = 0;
    bool sound = false;
};

Tracks readTracks(const mpv_node& trackList) {
    Tracks tracks;
    if (trackList.format != MPV_FORMAT_NODE_ARRAY) return tracks;
    for (int i = 0; i < trackList.u.list->num; ++i) {
        const mpv_node& track = trackList.u.list->values[i];
        if (track.format != MPV_FORMAT_NODE_MAP) continue;
        bool video = false, sound = false, picture = false;
        int64_t rotation = 0;
        for (int k = 0; k < track.u.list->num; ++k) {
            const char* key = track.u.list->keys[k];
            const mpv_node& value = track.u.list->values[k];
            if (std::strcmp(key, "type") == 0 && value.format == MPV_FORMAT_STRING) {
                video = std::strcmp(value.u.string, "video") == 0;
                sound = std::strcmp(value.u.string, "audio") == 0;
            } else if (std::strcmp(key, "albumart") == 0 && value.format == MPV_FORMAT_FLAG) {
                picture = value.u.flag != 0;
            } else if (std::strcmp(key, "demux-rotation") == 0 && value.format == MPV_FORMAT_INT64) {
                rotation = value.u.int64;
            }
        }
        tracks.sound = tracks.sound || sound;
        if (video && !picture && !tracks.video) {
            tracks.video = true;
            tracks.rotation = int(((rotation % 360) + 360) % 360);
        }
    }
    return tracks;
}

// Events are no longer handled: a hook that fires lets its file go on at once, so the core never
// waits for an answer that will not come.
void letHookPass(mpv_handle* mpv, const mpv_event& event) {
    if (event.event_id == MPV_EVENT_HOOK)
        mpv_hook_continue(mpv, static_cast<const mpv_event_hook*>(event.data)->id);
}

} // namespace

struct MpvPlayer::Mailbox {
    std::mutex lock;
    MpvPlayer* player = nullptr; // null once the player is going
};

QByteArray rotationFilter(int degrees) {
    degrees = ((degrees % 360) + 360) % 360;
    if (degrees == 0) return {};
    if (degrees == 90) return QByteArrayLiteral("lavfi=[transpose=clock]");
    if (degrees == 270) return QByteArrayLiteral("lavfi=[transpose=cclock]");
    if (degrees == 180) return QByteArrayLiteral("lavfi=[hflip,vflip]");
    // Any other angle turns the picture within a frame big enough to hold all of it.
    const QByteArray angle = QByteArray::number(degrees * 3.14159265358979 / 180.0, 'f', 6);
    return "lavfi=[rotate=a=" + angle + ":ow=rotw(" + angle + "):oh=roth(" + angle + ")]";
}

MpvPlayer::MpvPlayer(QWidget* parent, MpvOptions options)
    : MediaPlayer(parent), m_options(options), m_mailbox(std::make_shared<Mailbox>()) {
    m_mailbox->player = this;
    m_startLimit = new QTimer(this);
    m_startLimit->setSingleShot(true);
    m_startLimit->setInterval(m_options.startLimitMs);
    connect(m_startLimit, &QTimer::timeout, this, [this] {
        if (m_state == Transitioning) stop();
    });
    m_noVideoCheck = new QTimer(this);
    m_noVideoCheck->setSingleShot(true);
    m_noVideoCheck->setInterval(kNoVideoAfterMs);
    connect(m_noVideoCheck, &QTimer::timeout, this, &MpvPlayer::clearIfNoVideo);

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

    setOption(m_mpv, "config", "no");
    setOption(m_mpv, "terminal", "no");
    setOption(m_mpv, "msg-level", "all=no");
    setOption(m_mpv, "vo", "libmpv");
    Surface surface = m_options.surface;
    if (surface == Surface::Automatic) surface = chosenSurface();
    // Hardware decoders are probed only where their frames are drawn: in software each frame would
    // come back to the processor, and each probe has a driver's library complain on stderr.
    setOption(m_mpv, "hwdec", surface == Surface::OpenGL ? "auto-safe" : "no");
    setOption(m_mpv, "idle", "yes");
    setOption(m_mpv, "keep-open", "no");
    setOption(m_mpv, "force-window", "no");
    setOption(m_mpv, "keepaspect", "no");
    setOption(m_mpv, "audio-display", "no");
    setOption(m_mpv, "osc", "no");
    setOption(m_mpv, "osd-level", "0");
    setOption(m_mpv, "input-default-bindings", "no");
    setOption(m_mpv, "input-vo-keyboard", "no");
    setOption(m_mpv, "input-cursor", "no");
    setOption(m_mpv, "stop-screensaver", "no");
    // Each built-in script is a thread of its own, and none of them has anything to do here.
    setOption(m_mpv, "load-scripts", "no");
    setOption(m_mpv, "ytdl", "no");
    setOption(m_mpv, "load-stats-overlay", "no");
    setOption(m_mpv, "load-osd-console", "no");
    setOption(m_mpv, "load-auto-profiles", "no");
    setOption(m_mpv, "audio-client-name", "lumora");
    // Only the files the program resolved itself are opened: no play list, edit list, cue sheet,
    // chapter file or stream that a file refers to, no subtitle, sound or cover picture found beside
    // it (a pipe of that name would hold the core), and no protocol but local files.
    setOption(m_mpv, "access-references", "no");
    setOption(m_mpv, "load-unsafe-playlists", "no");
    setOption(m_mpv, "sub-auto", "no");
    setOption(m_mpv, "audio-file-auto", "no");
    setOption(m_mpv, "cover-art-auto", "no");
    setOption(m_mpv, "demuxer-lavf-o", "protocol_whitelist=file");
    // The media control's design-time volume.
    setOption(m_mpv, "volume", "50");
    // Only the outputs this machine has are tried: each one tried where there is nothing to play on
    // has its library complain on stderr.
    if (m_options.nullAudio || m_options.untimed) m_soundOutputs = "null";
    else m_soundOutputs = audioOutputs(findSoundDevices(QProcessEnvironment::systemEnvironment()));
    m_outputTold = soundOutputsNow();
    setOption(m_mpv, "ao", m_outputTold.constData());
    if (m_options.untimed) {
        setOption(m_mpv, "untimed", "yes");
        setOption(m_mpv, "ao-null-untimed", "yes");
    }

    if (mpv_initialize(m_mpv) < 0) {
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        return;
    }
    mpv_observe_property(m_mpv, 0, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, 0, "vo-configured", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, 0, "volume", MPV_FORMAT_DOUBLE);

    if (surface != Surface::OpenGL || !startOpenGL()) startSoftware();
    const char* no = "no";
    // OpenGL could not start: software after all.
    if (surface == Surface::OpenGL && !m_glLoop) mpv_set_property_async(m_mpv, 0, "hwdec", MPV_FORMAT_STRING, &no);
    // libmpv's software renderer cannot turn pictures: handed a frame marked as turned a quarter, it
    // crops outside the picture and aborts the program. So no frame reaches it marked as turned, and
    // each file whose video is stored turned gets a filter that turns it upright before the renderer
    // sees it.
    if (m_render && !m_glLoop) mpv_set_property_async(m_mpv, 0, "video-rotate", MPV_FORMAT_STRING, &no);
    // Each file waits, once open and before it is decoded, for its tracks to be looked at: for that
    // filter, and for the sound of a video to be left unread while nobody hears it.
    mpv_hook_add(m_mpv, kPreloadedHook, "on_preloaded", 0);
    if (m_render) mpv_render_context_set_update_callback(m_render, &MpvPlayer::renderUpdateCallback, this);
    mpv_set_wakeup_callback(m_mpv, &MpvPlayer::wakeupCallback, this);
}

void MpvPlayer::holdVideoWindow() {
    m_videoContainer = QWidget::createWindowContainer(m_videoWindow, this);
    // Mouse and wheel fall through to the player beneath, and the focus stays with it.
    m_videoContainer->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_videoContainer->setFocusPolicy(Qt::NoFocus);
    m_videoContainer->setGeometry(rect());
    // Shown with the first frame: until then the form behind shows through.
    m_videoContainer->hide();
}

bool MpvPlayer::startOpenGL() {
    // The window and the offscreen surface must be made on this thread; the render thread draws on them.
    m_videoWindow = new VideoWindow(
        [this](bool created) {
            if (!m_glLoop) return;
            m_glLoop->setWindowValid(created);
            if (created) updateTarget(isVisible(), true);
        },
        [this] { updateTarget(isVisible(), true); });
    holdVideoWindow();
    m_videoWindow->create();
    m_glSurface = std::make_unique<QOffscreenSurface>();
    m_glSurface->setFormat(m_videoWindow->requestedFormat());
    m_glSurface->create();
    auto loop = std::make_unique<GlRenderLoop>(m_glSurface.get(), m_videoWindow, [this] {
        if (!m_framedPending.exchange(true))
            QMetaObject::invokeMethod(this, &MpvPlayer::onFramed, Qt::QueuedConnection);
    });
    QString failure = QStringLiteral("no offscreen surface");
    if (!m_videoWindow->handle()) failure = QStringLiteral("no window to draw in");
    else if (m_glSurface->isValid()) m_render = loop->start(m_mpv, &failure);
    if (!m_render) {
        loop.reset();
        m_glSurface.reset();
        delete m_videoContainer;
        m_videoContainer = nullptr;
        m_videoWindow = nullptr;
        reportOpenGLFailure(failure);
        return false;
    }
    m_glLoop = loop.get();
    m_loop = std::move(loop);
    return true;
}

void MpvPlayer::startSoftware() {
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_create(&m_render, m_mpv, params) < 0) m_render = nullptr;
    if (!m_render) return;
    if (m_options.sharedMemory && QGuiApplication::platformName() == QLatin1String("xcb") && startSharedMemory())
        return;
    auto loop = std::make_unique<RenderLoop>(m_render, [this] {
        if (!m_framedPending.exchange(true))
            QMetaObject::invokeMethod(this, &MpvPlayer::onFramed, Qt::QueuedConnection);
    });
    m_softwareLoop = loop.get();
    m_loop = std::move(loop);
}

bool MpvPlayer::startSharedMemory() {
    auto loop = std::make_unique<ShmRenderLoop>(m_render, [this] {
        if (!m_framedPending.exchange(true))
            QMetaObject::invokeMethod(this, &MpvPlayer::onFramed, Qt::QueuedConnection);
    });
    QString failure;
    if (!loop->start(qgetenv("DISPLAY"), &failure)) {
        static std::once_flag told;
        std::call_once(told, [&] {
            std::fprintf(stderr, "lumora: software frames are painted from images (%s)\n", qPrintable(failure));
        });
        return false;
    }
    m_videoWindow = new VideoWindow(
        [this](bool created) {
            if (!m_shmLoop) return;
            m_shmLoop->setWindow(created ? uint32_t(m_videoWindow->winId()) : 0);
            if (created) updateTarget(isVisible(), true);
        },
        [this] { updateTarget(isVisible(), true); }, QSurface::RasterSurface);
    holdVideoWindow();
    m_videoWindow->create();
    m_shmLoop = loop.get();
    m_shmLoop->setWindow(uint32_t(m_videoWindow->winId()));
    m_loop = std::move(loop);
    return true;
}

MpvPlayer::~MpvPlayer() {
    forgetSoundWaiter(this);
    {
        // A look at a path that answers from now on finds no one to tell.
        std::lock_guard<std::mutex> hold(m_mailbox->lock);
        m_mailbox->player = nullptr;
    }
    // No event reaches this object once it starts going away; calls already posted die with it.
    // The render thread keeps taking frames meanwhile (libmpv's video output waits for that) and
    // clears its own callback at its end.
    if (m_mpv) mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
    // A file waiting for its filter would hold the core until the end.
    if (m_mpv && m_preloadedHook) mpv_hook_continue(m_mpv, m_preloadedHook);
    m_preloadedHook = 0;
    const bool answering = !m_mpv || stopUntilIdle();
    if (answering && m_mpv && qEnvironmentVariableIsSet("LUMORA_STATS")) {
        // For the benchmarks: what was drawn and what was dropped, so a cheaper run that shows fewer
        // frames is seen for what it is.
        int64_t decoderDrops = 0;
        int64_t outputDrops = 0;
        mpv_get_property(m_mpv, "decoder-frame-drop-count", MPV_FORMAT_INT64, &decoderDrops);
        mpv_get_property(m_mpv, "frame-drop-count", MPV_FORMAT_INT64, &outputDrops);
        std::fprintf(stderr, "lumora-stats: frames-drawn %d decoder-drops %lld output-drops %lld\n",
                     renderedFrames(), static_cast<long long>(decoderDrops), static_cast<long long>(outputDrops));
    }
    if (m_shmLoop) {
        m_shmLoop->setWindow(0);
        m_shmLoop->setMirrors({});
    }
    if (m_glLoop) m_glLoop->setMirrors({});
    for (MpvMirror* mirror : std::as_const(m_mirrors))
        if (mirror) mirror->showPicture(false);
    mpv_handle* mpv = m_mpv;
    mpv_render_context* render = m_render;
    if (answering) {
        // The core is idle, its video output gone: the render thread ends, and the render context
        // is freed where it may be used, on the render thread (with its OpenGL context current).
        if (m_loop) {
            m_loop->finish([](mpv_render_context* context) {
                mpv_render_context_set_update_callback(context, nullptr, nullptr);
                mpv_render_context_free(context);
            });
        }
    } else if (m_loop) {
        // The core is stuck (on a sound server that never answers, say) and would hold this thread
        // with it: the render thread ends, and the core is let go of without waiting for it.
        m_loop->finish([](mpv_render_context* context) {
            mpv_render_context_set_update_callback(context, nullptr, nullptr);
        });
    }
    const bool openGL = m_glLoop != nullptr;
    m_render = nullptr;
    m_loop.reset();
    m_glLoop = nullptr;
    m_shmLoop = nullptr;
    // The window goes only once nothing draws on it.
    delete m_videoContainer;
    m_videoContainer = nullptr;
    m_videoWindow = nullptr;
    m_glSurface.reset();
    if (!mpv) return;
    // Ending a core waits for its threads, even an idle one's: never on this thread.
    if (answering) {
        endOffThisThread([mpv] { mpv_terminate_destroy(mpv); });
    } else if (openGL) {
        // Its render context can only be freed with the OpenGL context current, which is gone: the
        // core is left to itself, and the program ends without waiting for it.
        abandonCore();
    } else {
        endOffThisThread([mpv, render] {
            if (render) {
                shutDownVideo(mpv, render);
                mpv_render_context_free(render);
            }
            mpv_terminate_destroy(mpv);
        });
    }
}

bool MpvPlayer::stopUntilIdle() {
    // Every request before this one is done when its reply comes: a core busy for longer than this
    // is waiting on something outside (a device or server that never answers).
    const char* command[] = {"stop", nullptr};
    if (mpv_command_async(m_mpv, kFarewellReply, command) < 0) return false;
    QElapsedTimer elapsed;
    elapsed.start();
    bool answered = false;
    // After the reply the file ends on the core's own thread, and the core says when it is idle:
    // its video output is gone then, and freeing the render context waits for nothing. Only the
    // events are waited on, each wait bounded, never the core itself.
    for (qint64 left = kAnswerLimitMs; left > 0 && !(answered && m_coreIdle);
         left = (answered ? kShutdownLimitMs : kAnswerLimitMs) - elapsed.elapsed()) {
        const mpv_event* event = mpv_wait_event(m_mpv, double(left) / 1000.0);
        letHookPass(m_mpv, *event);
        switch (event->event_id) {
        case MPV_EVENT_SHUTDOWN:
            return true;
        case MPV_EVENT_START_FILE:
            m_coreIdle = false;
            break;
        case MPV_EVENT_IDLE:
            m_coreIdle = true;
            break;
        case MPV_EVENT_COMMAND_REPLY:
            answered = answered || event->reply_userdata == kFarewellReply;
            break;
        default:
            break;
        }
    }
    return answered;
}

void MpvPlayer::shutDownVideo(mpv_handle* mpv, mpv_render_context* render) {
    // libmpv's video thread waits up to a fifth of a second for each frame to be taken, and freeing
    // the render context waits for that thread: stop, and take frames until the core is idle. This
    // thread is both client and renderer here, as the render thread has ended.
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

void MpvPlayer::wakeupCallback(void* player) {
    auto* self = static_cast<MpvPlayer*>(player);
    if (!self->m_wakeupPending.exchange(true))
        QMetaObject::invokeMethod(self, &MpvPlayer::drainEvents, Qt::QueuedConnection);
}

void MpvPlayer::renderUpdateCallback(void* player) {
    // Straight to the render thread: the user-interface thread has no part in drawing a frame.
    static_cast<MpvPlayer*>(player)->m_loop->wake();
}

void MpvPlayer::setState(int state) {
    if (m_state == state) return;
    m_state = state;
    emit playStateChanged(state);
}

void MpvPlayer::load() {
    m_files.clear();
    m_nextFile = 0;
    m_entry = 0;
    m_itemPlayed = false;
    m_endedAtEof = false;
    ++m_loadSerial;
    if (!m_mpv) {
        endItem();
        return;
    }
    setState(Transitioning);
    m_startLimit->start();
    resolveThenOpen();
}

void MpvPlayer::resolveThenOpen() {
    if (g_pendingLooks.load() >= kMostPendingLooks) return stop();
    ++g_pendingLooks;
    const quint64 serial = m_loadSerial;
    try {
        // Not joined: a hung mount may hold it for good. It answers through the mailbox, which
        // the player empties before it goes, and posts only to the player, never to the
        // application that may be ending.
        std::thread([box = m_mailbox, serial, url = m_url] {
            const QStringList files = resolveItem(url);
            --g_pendingLooks;
            std::lock_guard<std::mutex> hold(box->lock);
            MpvPlayer* self = box->player;
            if (!self) return;
            QMetaObject::invokeMethod(
                self,
                [self, serial, files] {
                    if (self->m_loadSerial != serial || self->m_state != Transitioning) return;
                    self->m_files = files;
                    self->m_nextFile = 0;
                    self->openNext();
                },
                Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the item counts as unplayable, and the count stays true.
        --g_pendingLooks;
        stop();
    }
}

void MpvPlayer::openNext() {
    m_entry = 0;
    if (m_nextFile >= m_files.size() && m_looping && m_itemPlayed) {
        // A looping play-list file starts its round again; one none of whose files played stops.
        m_nextFile = 0;
        m_itemPlayed = false;
    }
    if (m_nextFile >= m_files.size()) {
        // Nothing (left) to play. Stopping also drops anything libmpv might have queued itself.
        const bool playedThrough = m_itemPlayed && m_endedAtEof;
        stop();
        // Nothing played since the picture was taken away: what a late frame put up meanwhile goes.
        if (m_cleared) clearFrame();
        if (playedThrough) QMetaObject::invokeMethod(this, &MpvPlayer::endOfMedia, Qt::QueuedConnection);
        return;
    }
    const QByteArray name = openName(m_files.at(m_nextFile++));
    // A single file loops inside libmpv, which goes from its last frame to its first with no break.
    const char* loop = m_looping && m_files.size() == 1 ? "loop-file=inf" : "";
    // Replacing clears mpv's play list, so nothing of the previous item plays on.
    const char* command[] = {"loadfile", name.constData(), "replace", loop, nullptr};
    ++m_openSerial;
    if (mpv_command_async(m_mpv, kLoadReply + m_openSerial, command) < 0) {
        stop();
        return;
    }
    // Named by the reply; until then events of entries of earlier loads are not ours.
    m_entry = -1;
    // While resting the file waits at its start, its first picture up.
    int pause = m_resting ? 1 : 0;
    mpv_set_property_async(m_mpv, 0, "pause", MPV_FORMAT_FLAG, &pause);
}

void MpvPlayer::setURL(const QString& url) {
    m_url = url;
    if (url.isEmpty()) return closeMedia();
    load();
}

void MpvPlayer::play() {
    if (m_state == Paused && m_mpv && !m_resting) {
        int no = 0;
        mpv_set_property_async(m_mpv, 0, "pause", MPV_FORMAT_FLAG, &no);
        return;
    }
    if (m_state == Stopped && !m_url.isEmpty()) load();
}

void MpvPlayer::setResting(bool resting) {
    if (resting == m_resting) return;
    m_resting = resting;
    // libmpv's pause: nothing is read, decoded or drawn, and the render thread waits with the last
    // frame up.
    int pause = resting ? 1 : 0;
    if (m_mpv) mpv_set_property_async(m_mpv, 0, "pause", MPV_FORMAT_FLAG, &pause);
}

void MpvPlayer::stop() {
    // Stopping clears mpv's play list too: the rest of a play-list file does not play.
    if (m_mpv) {
        const char* command[] = {"stop", nullptr};
        mpv_command_async(m_mpv, 0, command);
    }
    endItem();
}

void MpvPlayer::endItem() {
    // What the stopped item still reports comes late and is no longer ours.
    m_files.clear();
    m_nextFile = 0;
    m_entry = 0;
    ++m_loadSerial;
    m_startLimit->stop();
    setState(Stopped);
}

void MpvPlayer::closeMedia() {
    stop();
    clearFrame();
}

void MpvPlayer::setMute(bool mute) {
    if (!m_mpv || (m_muteTold && mute == m_muted)) return;
    m_muted = mute;
    m_muteTold = true;
    int flag = mute ? 1 : 0;
    mpv_set_property_async(m_mpv, 0, "mute", MPV_FORMAT_FLAG, &flag);
    if (m_soundOutputs == "null") return;
    // Muted, the sound goes nowhere rather than to a sound server: none is contacted, and one that
    // hangs cannot hold the core. Unmuted, libmpv tries this machine's outputs again, once they are
    // known to answer.
    if (!mute) watchSoundOutputs();
    tellSoundOutput(mute ? QByteArray("null") : soundOutputsNow());
    if (!mute && m_soundLeftOut && soundOutputsNow() != "null") {
        // The video playing now is heard from here on; the next file picks its own tracks again.
        const char* track = "auto";
        mpv_set_property_async(m_mpv, 0, "aid", MPV_FORMAT_STRING, &track);
        m_soundLeftOut = false;
    }
}

QString MpvPlayer::soundOutput() const {
    char* name = m_mpv ? mpv_get_property_string(m_mpv, "current-ao") : nullptr;
    const QString output = QString::fromUtf8(name);
    mpv_free(name);
    return output;
}

bool MpvPlayer::decodesSound() const {
    char* codec = m_mpv ? mpv_get_property_string(m_mpv, "audio-codec-name") : nullptr;
    const bool decoding = codec && *codec;
    mpv_free(codec);
    return decoding;
}

bool MpvPlayer::mute() const {
    return m_muted;
}

void MpvPlayer::setLooping(bool looping) {
    if (looping == m_looping) return;
    m_looping = looping;
    // The file playing now follows at once; later ones take it with their loadfile.
    if (m_mpv && m_entry != 0 && m_files.size() == 1) {
        const char* value = looping ? "inf" : "no";
        mpv_set_property_async(m_mpv, 0, "file-local-options/loop-file", MPV_FORMAT_STRING, &value);
    }
}

double MpvPlayer::volume() const {
    return m_volume;
}

double MpvPlayer::position() const {
    double seconds = 0;
    if (m_mpv && mpv_get_property(m_mpv, "time-pos", MPV_FORMAT_DOUBLE, &seconds) < 0) seconds = 0;
    return seconds;
}

void MpvPlayer::drainEvents() {
    // Cleared before draining, so a wakeup that comes in meanwhile posts another round.
    m_wakeupPending = false;
    while (m_mpv) {
        const mpv_event* event = mpv_wait_event(m_mpv, 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        handleEvent(*event);
    }
}

void MpvPlayer::handleEvent(const mpv_event& event) {
    const bool ours = m_entry > 0 && m_activeEntry == m_entry;
    switch (event.event_id) {
    case MPV_EVENT_COMMAND_REPLY: {
        if (event.reply_userdata != kLoadReply + m_openSerial || m_entry != -1) break;
        if (event.error < 0) {
            // Refused outright: on to the item's next file, as with one that cannot be played.
            openNext();
            break;
        }
        const auto* reply = static_cast<const mpv_event_command*>(event.data);
        const mpv_node& result = reply->result;
        // The new entry's id tells its events apart from those the replaced item still sends.
        m_entry = -2;
        if (result.format == MPV_FORMAT_NODE_MAP) {
            for (int i = 0; i < result.u.list->num; ++i) {
                const mpv_node& value = result.u.list->values[i];
                if (std::strcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
                    value.format == MPV_FORMAT_INT64)
                    m_entry = value.u.int64;
            }
        }
        break;
    }
    case MPV_EVENT_IDLE:
        m_coreIdle = true;
        break;
    case MPV_EVENT_START_FILE: {
        m_coreIdle = false;
        const auto* start = static_cast<const mpv_event_start_file*>(event.data);
        // A reply without an id: the next entry to start is ours.
        if (m_entry == -2) m_entry = start->playlist_entry_id;
        m_activeEntry = start->playlist_entry_id;
        if (m_entry > 0 && m_activeEntry == m_entry) {
            setState(Transitioning);
            // Each file of a play list gets its own time to start.
            m_startLimit->start();
        }
        break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
        if (ours && m_state != Stopped) {
            m_startLimit->stop();
            m_itemPlayed = true;
            m_cleared = false;
            setState(m_paused && !m_resting ? Paused : Playing);
            // The last item's picture stays until this one's first; if it brings none, it goes.
            if (!m_videoConfigured && m_hasFrame) m_noVideoCheck->start();
        }
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        if (m_entry <= 0 || end->playlist_entry_id != m_entry) break;
        m_endedAtEof = end->reason == MPV_END_FILE_REASON_EOF;
        // Played, or unplayable: either way on to the item's next file.
        openNext();
        break;
    }
    case MPV_EVENT_HOOK: {
        const auto* hook = static_cast<const mpv_event_hook*>(event.data);
        if (event.reply_userdata != kPreloadedHook) {
            mpv_hook_continue(m_mpv, hook->id);
            break;
        }
        // A file still held at its hook (waiting on the sound outputs) was replaced: it goes on, to
        // its end.
        if (m_preloadedHook) mpv_hook_continue(m_mpv, m_preloadedHook);
        m_heldForSound = false;
        // Answered with the track list; the file waits for it.
        m_preloadedHook = hook->id;
        if (mpv_get_property_async(m_mpv, kTrackListReply, "track-list", MPV_FORMAT_NODE) < 0) {
            m_preloadedHook = 0;
            mpv_hook_continue(m_mpv, hook->id);
        }
        break;
    }
    case MPV_EVENT_GET_PROPERTY_REPLY: {
        if (event.reply_userdata != kTrackListReply || m_preloadedHook == 0) break;
        const auto* property = static_cast<const mpv_event_property*>(event.data);
        Tracks tracks;
        if (event.error >= 0 && property->format == MPV_FORMAT_NODE)
            tracks = readTracks(*static_cast<const mpv_node*>(property->data));
        m_heldVideo = tracks.video;
        m_heldSound = tracks.sound;
        m_heldRotation = tracks.rotation;
        // Sound to be heard waits, at most a couple of seconds, for the sound outputs to be known
        // to answer: libmpv opening one that never answers would hold the picture too.
        if (tracks.sound && !m_muted && m_soundOutputs != "null" && soundAnswer() == SoundAnswer::Pending) {
            m_heldForSound = true;
            // The wait is the check's, which ends by itself; the file's own time starts after it.
            m_startLimit->stop();
            watchSoundOutputs();
            break;
        }
        letPreloadedGoOn();
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* property = static_cast<const mpv_event_property*>(event.data);
        const bool flag = property->format == MPV_FORMAT_FLAG && *static_cast<int*>(property->data) != 0;
        if (std::strcmp(property->name, "pause") == 0) {
            m_paused = flag;
            // The rest's own pause is no change of the item's state.
            if (ours && m_state == Playing && flag && !m_resting)
                setState(Paused);
            else if (ours && m_state == Paused && !flag)
                setState(Playing);
        } else if (std::strcmp(property->name, "volume") == 0) {
            if (property->format == MPV_FORMAT_DOUBLE) m_volume = *static_cast<double*>(property->data);
        } else if (std::strcmp(property->name, "vo-configured") == 0) {
            m_videoConfigured = flag;
            // Between two items the video output goes and comes back: the last picture stays up
            // until the next one's first replaces it. A sound file after a video, or a video that
            // loses its picture, must not leave it behind.
            if (flag) m_noVideoCheck->stop();
            else if (m_state == Playing || m_state == Paused) m_noVideoCheck->start();
        }
        break;
    }
    default:
        break;
    }
}

void MpvPlayer::letPreloadedGoOn() {
    m_heldForSound = false;
    if (!m_preloadedHook) return;
    // Both for this file only; queued ahead of the go-on, so they hold before decoding starts.
    const QByteArray filter = rotationFilter(m_heldRotation);
    if (!filter.isEmpty() && m_render && !m_glLoop) {
        const char* value = filter.constData();
        mpv_set_property_async(m_mpv, 0, "file-local-options/vf", MPV_FORMAT_STRING, &value);
    }
    // Nobody hears a video's sound while muted or with nothing to play it on: it is neither read
    // nor decoded. A sound file plays on to nowhere, for its length.
    m_soundLeftOut = m_heldVideo && m_heldSound && (m_muted || soundOutputsNow() == "null");
    if (m_soundLeftOut) {
        const char* none = "no";
        mpv_set_property_async(m_mpv, 0, "file-local-options/aid", MPV_FORMAT_STRING, &none);
    }
    mpv_hook_continue(m_mpv, m_preloadedHook);
    m_preloadedHook = 0;
}

QByteArray MpvPlayer::soundOutputsNow() const {
    if (m_soundOutputs == "null" || soundAnswer() != SoundAnswer::Answered) return "null";
    return m_soundOutputs;
}

void MpvPlayer::tellSoundOutput(const QByteArray& output) {
    // Each change of libmpv's output list opens the sound anew.
    if (!m_mpv || output == m_outputTold) return;
    m_outputTold = output;
    const char* value = m_outputTold.constData();
    mpv_set_property_async(m_mpv, 0, "ao", MPV_FORMAT_STRING, &value);
}

void MpvPlayer::watchSoundOutputs() {
    if (m_soundOutputs == "null" || soundAnswer() != SoundAnswer::Pending || m_watchingSound) return;
    m_watchingSound = true;
    checkSoundOutputs(m_soundOutputs);
    whenSoundAnswered(this, [this] {
        m_watchingSound = false;
        if (!m_muted) tellSoundOutput(soundOutputsNow());
        if (m_heldForSound) {
            if (m_state == Transitioning) m_startLimit->start();
            letPreloadedGoOn();
        } else if (!m_muted && m_soundLeftOut && soundOutputsNow() != "null") {
            // The video playing now is heard from here on, as after unmuting.
            const char* track = "auto";
            mpv_set_property_async(m_mpv, 0, "aid", MPV_FORMAT_STRING, &track);
            m_soundLeftOut = false;
        }
    });
}

void MpvPlayer::clearIfNoVideo() {
    if (!m_videoConfigured && (m_state == Playing || m_state == Paused)) clearFrame();
}

void MpvPlayer::onFramed() {
    m_framedPending = false;
    if (!m_loop || m_loop->frontGeneration() != m_generation) return;
    // libmpv may still draw the closed item once before its stop is done: no picture comes back
    // while nothing plays.
    if (m_cleared && m_state == Stopped) return;
    if (m_videoContainer) {
        // The render thread presents its frames itself; showing the window makes it draw the
        // current one again.
        m_hasFrame = true;
        if (m_videoContainer->isHidden()) m_videoContainer->show();
        for (MpvMirror* mirror : std::as_const(m_mirrors))
            if (mirror) mirror->showPicture(true);
        return;
    }
    if (!m_hasFrame) setAttribute(Qt::WA_OpaquePaintEvent, true);
    m_hasFrame = true;
    update();
    for (MpvMirror* mirror : std::as_const(m_mirrors))
        if (mirror) mirror->showPicture(true);
}

playback::MediaPlayer* MpvPlayer::createMirror(QWidget* parent) {
    if (!m_loop) return nullptr;
    return new MpvMirror(this, parent);
}

void MpvPlayer::addMirror(MpvMirror* mirror) {
    m_mirrors.removeAll(nullptr);
    if (!m_mirrors.contains(mirror)) m_mirrors << mirror;
    mirror->showPicture(m_hasFrame);
    mirrorsChanged();
}

void MpvPlayer::removeMirror(MpvMirror* mirror) {
    m_mirrors.removeAll(mirror);
    m_mirrors.removeAll(nullptr);
    mirrorsChanged();
}

void MpvPlayer::mirrorsChanged() {
    if (m_shmLoop) {
        std::vector<ShmRenderLoop::Mirror> targets;
        for (MpvMirror* mirror : std::as_const(m_mirrors))
            if (mirror && mirror->targetWindow()) targets.push_back({mirror->targetWindow(), mirror->targetSize()});
        m_shmLoop->setMirrors(std::move(targets));
    } else if (m_glLoop) {
        std::vector<GlRenderLoop::Mirror> targets;
        for (MpvMirror* mirror : std::as_const(m_mirrors))
            if (mirror && mirror->targetGlWindow())
                targets.push_back({mirror->targetGlWindow(), mirror->targetSize()});
        m_glLoop->setMirrors(std::move(targets));
    } else {
        return;
    }
    // A mirror that came or grew shows the current frame at once, not at the next one.
    updateTarget(isVisible(), m_hasFrame);
}

bool MpvPlayer::paintFrontInto(QPainter& painter, const QRectF& target) {
    if (!m_hasFrame || !m_softwareLoop) return false;
    return m_softwareLoop->withFront([&](const QImage& frame) { painter.drawImage(target, frame); });
}

void MpvPlayer::updateTarget(bool visible, bool redraw) {
    if (!m_loop) return;
    const qreal ratio = devicePixelRatioF();
    m_loop->setTarget((QSizeF(size()) * ratio).toSize(), ratio, visible, redraw && m_videoConfigured);
}

void MpvPlayer::clearFrame() {
    // Whatever the render thread finishes from now on belongs to what was cleared, until new frames.
    ++m_generation;
    if (m_loop) m_loop->setGeneration(m_generation);
    m_cleared = true;
    if (!m_hasFrame) return;
    m_hasFrame = false;
    for (MpvMirror* mirror : std::as_const(m_mirrors))
        if (mirror) mirror->showPicture(false);
    if (m_videoContainer) {
        m_videoContainer->hide();
        return;
    }
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    update();
}

void MpvPlayer::paintEvent(QPaintEvent*) {
    // With no picture (nothing playing yet, a sound file, an entry that cannot be played) the form
    // behind shows through: its back colour or gradient, not a black hole.
    if (!m_hasFrame || !m_softwareLoop) return;
    QPainter painter(this);
    m_softwareLoop->withFront([&](const QImage& frame) { painter.drawImage(QRectF(rect()), frame); });
}

void MpvPlayer::resizeEvent(QResizeEvent* event) {
    MediaPlayer::resizeEvent(event);
    if (m_videoContainer) m_videoContainer->setGeometry(rect());
    updateTarget(isVisible(), m_hasFrame);
}

void MpvPlayer::showEvent(QShowEvent* event) {
    MediaPlayer::showEvent(event);
    // Frames were skipped while hidden; draw the current one at once rather than at the next frame.
    updateTarget(true, true);
}

void MpvPlayer::hideEvent(QHideEvent* event) {
    MediaPlayer::hideEvent(event);
    updateTarget(false, false);
}

} // namespace platform::mpv
