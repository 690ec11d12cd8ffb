#include "platform/mpv/MpvPlayer.h"

#include "platform/mpv/CoreRetirement.h"
#include "platform/mpv/LocalMedia.h"
#include "platform/mpv/MpvCore.h"
#include "platform/mpv/MpvMirror.h"
#include "platform/mpv/SoundCheck.h"
#include "platform/mpv/SoundOutput.h"
#include "platform/mpv/TrackList.h"
#include <QPaintEvent>
#include <QPainter>
#include <QProcessEnvironment>
#include <atomic>
#include <cstring>
#include <mpv/client.h>
#include <mutex>
#include <utility>
#include <vector>

namespace platform::mpv {

namespace {

// How long a new item's picture may take to come before the last one's gives way to the form.
constexpr int kNoVideoAfterMs = 250;

// Looks at paths that never answer are not started without end: past this many, a path counts as
// unplayable until one of them returns.
constexpr int kMostPendingLooks = 4;
std::atomic<int> g_pendingLooks{0};

// Told apart by their reply ids (each loadfile's comes from ItemSequence).
constexpr uint64_t kPreloadedHook = 1;
constexpr uint64_t kTrackListReply = 2;

bool flagOf(const mpv_event_property& property) {
    return property.format == MPV_FORMAT_FLAG && *static_cast<int*>(property.data) != 0;
}

} // namespace

struct MpvPlayer::Mailbox {
    std::mutex lock;
    ThreadNotice* notice = nullptr; // null once the player is going
    // What each look found, by the serial of the load that asked.
    std::vector<std::pair<uint64_t, QStringList>> answers;
};

MpvPlayer::MpvPlayer(QWidget* parent, MpvOptions options)
    : MediaPlayer(parent), m_options(options), m_framed(new ThreadNotice(this, [this] { onFramed(); })),
      m_surface(
          this, [this] { m_framed->poke(); }, [this] { updateTarget(isVisible(), true); }),
      m_mailbox(std::make_shared<Mailbox>()) {
    m_mailbox->notice = new ThreadNotice(this, [this] { takeResolved(); });
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

    // Only the outputs this machine has are tried: each one tried where there is nothing to play on
    // has its library complain on stderr.
    if (m_options.nullAudio || m_options.untimed) m_soundOutputs = "null";
    else m_soundOutputs = audioOutputs(findSoundDevices(QProcessEnvironment::systemEnvironment()));
    m_outputTold = soundOutputsNow();
    Surface surface = m_options.surface;
    if (surface == Surface::Automatic) surface = chosenSurface();
    const bool openGL = surface == Surface::OpenGL;
    m_core = std::make_unique<MpvCore>(m_options, openGL, m_outputTold);
    if (!*m_core) return;

    m_core->on(MPV_EVENT_COMMAND_REPLY, [this](const mpv_event& event) { onReply(event); });
    m_core->on(MPV_EVENT_START_FILE, [this](const mpv_event& event) { onStart(event); });
    m_core->on(MPV_EVENT_PLAYBACK_RESTART, [this](const mpv_event&) { onRestart(); });
    m_core->on(MPV_EVENT_END_FILE, [this](const mpv_event& event) { onEnd(event); });
    m_core->on(MPV_EVENT_HOOK, [this](const mpv_event& event) { onHook(event); });
    m_core->on(MPV_EVENT_GET_PROPERTY_REPLY, [this](const mpv_event& event) { onTrackList(event); });
    m_core->observe("pause", MPV_FORMAT_FLAG, [this](const mpv_event_property& p) { onPause(flagOf(p)); });
    m_core->observe("vo-configured", MPV_FORMAT_FLAG,
                    [this](const mpv_event_property& p) { onVideoConfigured(flagOf(p)); });
    m_core->observe("volume", MPV_FORMAT_DOUBLE, [this](const mpv_event_property& p) {
        if (p.format == MPV_FORMAT_DOUBLE) m_volume = *static_cast<double*>(p.data);
    });

    const VideoSurface::Kind kind = m_surface.start(m_core->handle(), openGL, m_options.sharedMemory);
    // OpenGL could not start: software after all.
    if (openGL && kind != VideoSurface::Kind::OpenGL) m_core->setText("hwdec", "no");
    // libmpv's software renderer cannot turn pictures: handed a frame marked as turned a quarter, it
    // crops outside the picture and aborts the program. So no frame reaches it marked as turned, and
    // each file whose video is stored turned gets a filter that turns it upright before the renderer
    // sees it.
    if (kind != VideoSurface::Kind::None && kind != VideoSurface::Kind::OpenGL) m_core->setText("video-rotate", "no");
    // Each file waits, once open and before it is decoded, for its tracks to be looked at: for that
    // filter, and for the sound of a video to be left unread while nobody hears it.
    mpv_hook_add(m_core->handle(), kPreloadedHook, "on_preloaded", 0);
    m_core->startEvents();
}

MpvPlayer::~MpvPlayer() {
    forgetSoundWaiter(this);
    {
        // A look at a path that answers from now on finds no one to tell.
        std::lock_guard<std::mutex> hold(m_mailbox->lock);
        m_mailbox->notice = nullptr;
    }
    // No event reaches this object once it starts going away; calls already posted die with it.
    // The render thread keeps taking frames meanwhile (libmpv's video output waits for that) and
    // clears its own callback at its end.
    m_core->stopEvents();
    // A file waiting for its filter would hold the core until the end.
    if (*m_core && m_preloadedHook) mpv_hook_continue(m_core->handle(), m_preloadedHook);
    m_preloadedHook = 0;
    const bool answering = m_core->stopUntilIdle();
    if (answering && qEnvironmentVariableIsSet("LUMORA_STATS")) m_core->tellStatistics(renderedFrames());
    showPictureInMirrors(false);
    const VideoSurface::Leftover leftover = m_surface.finish(answering);
    m_core->retire(answering, leftover.left, leftover.lost);
}

void MpvPlayer::setState(int state) {
    if (m_state == state) return;
    m_state = state;
    emit playStateChanged(state);
}

void MpvPlayer::load() {
    m_item.begin();
    if (!*m_core) {
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
    const uint64_t serial = m_item.serial();
    // A hung mount may hold the look for good: it is not waited for. It answers through the
    // mailbox, which the player empties before it goes, and posts only to the player, never to the
    // application that may be ending.
    const bool started = runUnwaited([box = m_mailbox, serial, url = m_url] {
        const QStringList files = resolveItem(url);
        --g_pendingLooks;
        std::lock_guard<std::mutex> hold(box->lock);
        if (!box->notice) return;
        box->answers.emplace_back(serial, files);
        box->notice->poke();
    });
    if (!started) {
        // No thread to be had: the item counts as unplayable, and the count stays true.
        --g_pendingLooks;
        stop();
    }
}

void MpvPlayer::takeResolved() {
    std::vector<std::pair<uint64_t, QStringList>> answers;
    {
        std::lock_guard<std::mutex> hold(m_mailbox->lock);
        answers.swap(m_mailbox->answers);
    }
    for (const auto& [serial, files] : answers)
        if (m_state == Transitioning && m_item.resolved(serial, files)) openNext();
}

void MpvPlayer::openNext() {
    const ItemSequence::Step step = m_item.next();
    if (!step.open) {
        // Nothing (left) to play. Stopping also drops anything libmpv might have queued itself.
        stop();
        // Nothing played since the picture was taken away: what a late frame put up meanwhile goes.
        if (m_cleared) clearFrame();
        if (step.playedThrough) QMetaObject::invokeMethod(this, &MpvPlayer::endOfMedia, Qt::QueuedConnection);
        return;
    }
    const QByteArray name = openName(step.file);
    // A single file loops inside libmpv, which goes from its last frame to its first with no break.
    const char* loop = step.loopInside ? "loop-file=inf" : "";
    // Replacing clears mpv's play list, so nothing of the previous item plays on.
    const char* command[] = {"loadfile", name.constData(), "replace", loop, nullptr};
    if (!m_core->command(command, step.replyId)) {
        stop();
        return;
    }
    // While resting the file waits at its start, its first picture up.
    m_core->setFlag("pause", m_resting);
}

void MpvPlayer::setURL(const QString& url) {
    m_url = url;
    if (url.isEmpty()) return closeMedia();
    load();
}

void MpvPlayer::play() {
    if (m_state == Paused && *m_core && !m_resting) return m_core->setFlag("pause", false);
    if (m_state == Stopped && !m_url.isEmpty()) load();
}

void MpvPlayer::setResting(bool resting) {
    if (resting == m_resting) return;
    m_resting = resting;
    // libmpv's pause: nothing is read, decoded or drawn, and the render thread waits with the last
    // frame up.
    m_core->setFlag("pause", resting);
}

void MpvPlayer::stop() {
    // Stopping clears mpv's play list too: the rest of a play-list file does not play.
    const char* command[] = {"stop", nullptr};
    m_core->command(command);
    endItem();
}

void MpvPlayer::endItem() {
    // What the stopped item still reports comes late and is no longer ours.
    m_item.end();
    m_startLimit->stop();
    setState(Stopped);
}

void MpvPlayer::closeMedia() {
    stop();
    clearFrame();
}

void MpvPlayer::setMute(bool mute) {
    if (!*m_core || (m_muteTold && mute == m_muted)) return;
    m_muted = mute;
    m_muteTold = true;
    m_core->setFlag("mute", mute);
    if (m_soundOutputs == "null") return;
    // Muted, the sound goes nowhere rather than to a sound server: none is contacted, and one that
    // hangs cannot hold the core. Unmuted, libmpv tries this machine's outputs again, once they are
    // known to answer.
    if (!mute) watchSoundOutputs();
    tellSoundOutput(mute ? QByteArray("null") : soundOutputsNow());
    if (!mute) letSoundIn();
}

void MpvPlayer::letSoundIn() {
    if (!m_soundLeftOut || soundOutputsNow() == "null") return;
    // The next file picks its own tracks again.
    m_core->setText("aid", "auto");
    m_soundLeftOut = false;
}

QString MpvPlayer::soundOutput() const {
    return QString::fromUtf8(m_core->text("current-ao"));
}

bool MpvPlayer::decodesSound() const {
    return !m_core->text("audio-codec-name").isEmpty();
}

void MpvPlayer::setLooping(bool looping) {
    if (looping == m_item.looping()) return;
    m_item.setLooping(looping);
    // The file playing now follows at once; later ones take it with their loadfile.
    if (m_item.singleFileOpen()) m_core->setText("file-local-options/loop-file", looping ? "inf" : "no");
}

double MpvPlayer::position() const {
    return m_core->number("time-pos", 0);
}

void MpvPlayer::onReply(const mpv_event& event) {
    std::optional<int64_t> entry;
    if (event.error >= 0 && event.data) {
        const mpv_node& result = static_cast<const mpv_event_command*>(event.data)->result;
        if (result.format == MPV_FORMAT_NODE_MAP) {
            for (int i = 0; i < result.u.list->num; ++i) {
                const mpv_node& value = result.u.list->values[i];
                if (std::strcmp(result.u.list->keys[i], "playlist_entry_id") == 0 && value.format == MPV_FORMAT_INT64)
                    entry = value.u.int64;
            }
        }
    }
    // Refused outright: on to the item's next file, as with one that cannot be played.
    if (m_item.replied(event.reply_userdata, event.error < 0, entry) == ItemSequence::Reply::Refused) openNext();
}

void MpvPlayer::onStart(const mpv_event& event) {
    const auto* start = static_cast<const mpv_event_start_file*>(event.data);
    if (!m_item.started(start->playlist_entry_id)) return;
    setState(Transitioning);
    // Each file of a play list gets its own time to start.
    m_startLimit->start();
}

void MpvPlayer::onRestart() {
    if (!m_item.current() || m_state == Stopped) return;
    m_startLimit->stop();
    m_item.playedOnce();
    m_cleared = false;
    setState(m_paused && !m_resting ? Paused : Playing);
    // The last item's picture stays until this one's first; if it brings none, it goes.
    if (!m_videoConfigured && m_hasFrame) m_noVideoCheck->start();
}

void MpvPlayer::onEnd(const mpv_event& event) {
    const auto* end = static_cast<const mpv_event_end_file*>(event.data);
    // Played, or unplayable: either way on to the item's next file.
    if (m_item.ended(end->playlist_entry_id, end->reason == MPV_END_FILE_REASON_EOF)) openNext();
}

void MpvPlayer::onHook(const mpv_event& event) {
    const auto* hook = static_cast<const mpv_event_hook*>(event.data);
    mpv_handle* mpv = m_core->handle();
    if (event.reply_userdata != kPreloadedHook) {
        mpv_hook_continue(mpv, hook->id);
        return;
    }
    // A file still held at its hook (waiting on the sound outputs) was replaced: it goes on, to its end.
    if (m_preloadedHook) mpv_hook_continue(mpv, m_preloadedHook);
    m_heldForSound = false;
    // Answered with the track list; the file waits for it.
    m_preloadedHook = hook->id;
    if (mpv_get_property_async(mpv, kTrackListReply, "track-list", MPV_FORMAT_NODE) < 0) {
        m_preloadedHook = 0;
        mpv_hook_continue(mpv, hook->id);
    }
}

void MpvPlayer::onTrackList(const mpv_event& event) {
    if (event.reply_userdata != kTrackListReply || m_preloadedHook == 0) return;
    const auto* property = static_cast<const mpv_event_property*>(event.data);
    Tracks tracks;
    if (event.error >= 0 && property->format == MPV_FORMAT_NODE)
        tracks = readTracks(*static_cast<const mpv_node*>(property->data));
    m_heldVideo = tracks.video;
    m_heldSound = tracks.sound;
    m_heldRotation = tracks.rotation;
    // Sound to be heard waits, at most a couple of seconds, for the sound outputs to be known to
    // answer: libmpv opening one that never answers would hold the picture too.
    if (tracks.sound && !m_muted && m_soundOutputs != "null" && soundAnswer() == SoundAnswer::Pending) {
        m_heldForSound = true;
        // The wait is the check's, which ends by itself; the file's own time starts after it.
        m_startLimit->stop();
        watchSoundOutputs();
        return;
    }
    letPreloadedGoOn();
}

void MpvPlayer::onPause(bool paused) {
    m_paused = paused;
    // The rest's own pause is no change of the item's state.
    if (m_item.current() && m_state == Playing && paused && !m_resting) setState(Paused);
    else if (m_item.current() && m_state == Paused && !paused) setState(Playing);
}

void MpvPlayer::onVideoConfigured(bool configured) {
    m_videoConfigured = configured;
    // Between two items the video output goes and comes back: the last picture stays up until the
    // next one's first replaces it. A sound file after a video, or a video that loses its picture,
    // must not leave it behind.
    if (configured) m_noVideoCheck->stop();
    else if (m_state == Playing || m_state == Paused) m_noVideoCheck->start();
}

void MpvPlayer::letPreloadedGoOn() {
    m_heldForSound = false;
    if (!m_preloadedHook) return;
    // Both for this file only; queued ahead of the go-on, so they hold before decoding starts.
    const QByteArray filter = rotationFilter(m_heldRotation);
    const VideoSurface::Kind kind = m_surface.kind();
    if (!filter.isEmpty() && kind != VideoSurface::Kind::None && kind != VideoSurface::Kind::OpenGL)
        m_core->setText("file-local-options/vf", filter.constData());
    // Nobody hears a video's sound while muted or with nothing to play it on: it is neither read
    // nor decoded. A sound file plays on to nowhere, for its length.
    m_soundLeftOut = m_heldVideo && m_heldSound && (m_muted || soundOutputsNow() == "null");
    if (m_soundLeftOut) m_core->setText("file-local-options/aid", "no");
    mpv_hook_continue(m_core->handle(), m_preloadedHook);
    m_preloadedHook = 0;
}

QByteArray MpvPlayer::soundOutputsNow() const {
    if (m_soundOutputs == "null" || soundAnswer() != SoundAnswer::Answered) return "null";
    return m_soundOutputs;
}

void MpvPlayer::tellSoundOutput(const QByteArray& output) {
    // Each change of libmpv's output list opens the sound anew.
    if (!*m_core || output == m_outputTold) return;
    m_outputTold = output;
    m_core->setText("ao", m_outputTold.constData());
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
        } else if (!m_muted) {
            // As after unmuting.
            letSoundIn();
        }
    });
}

void MpvPlayer::clearIfNoVideo() {
    if (!m_videoConfigured && (m_state == Playing || m_state == Paused)) clearFrame();
}

void MpvPlayer::onFramed() {
    if (m_surface.frontGeneration() != m_generation) return;
    // libmpv may still draw the closed item once before its stop is done: no picture comes back
    // while nothing plays.
    if (m_cleared && m_state == Stopped) return;
    if (m_surface.inWindow()) {
        // The render thread presents its frames itself; showing the window makes it draw the
        // current one again.
        m_surface.showWindow(true);
    } else {
        if (!m_hasFrame) setAttribute(Qt::WA_OpaquePaintEvent, true);
        update();
    }
    m_hasFrame = true;
    showPictureInMirrors(true);
}

void MpvPlayer::showPictureInMirrors(bool shown) {
    for (MpvMirror* mirror : std::as_const(m_mirrors))
        if (mirror) mirror->showPicture(shown);
}

MediaPlayer* MpvPlayer::createMirror(QWidget* parent) {
    if (m_surface.kind() == VideoSurface::Kind::None) return nullptr;
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
    // Mirrors of a player that paints images paint the newest one themselves.
    if (!m_surface.inWindow()) return;
    std::vector<MirrorTarget> targets;
    for (MpvMirror* mirror : std::as_const(m_mirrors))
        if (mirror && mirror->targetWindow()) targets.push_back({mirror->targetWindow(), mirror->targetSize()});
    m_surface.setMirrors(std::move(targets));
    // A mirror that came or grew shows the current frame at once, not at the next one.
    updateTarget(isVisible(), m_hasFrame);
}

bool MpvPlayer::paintFrontInto(QPainter& painter, const QRectF& target) {
    return m_hasFrame && m_surface.paintFront(painter, target);
}

void MpvPlayer::updateTarget(bool visible, bool redraw) {
    const qreal ratio = devicePixelRatioF();
    m_surface.setTarget((QSizeF(size()) * ratio).toSize(), ratio, visible, redraw && m_videoConfigured);
}

void MpvPlayer::clearFrame() {
    // Whatever the render thread finishes from now on belongs to what was cleared, until new frames.
    ++m_generation;
    m_surface.setGeneration(m_generation);
    m_cleared = true;
    if (!m_hasFrame) return;
    m_hasFrame = false;
    showPictureInMirrors(false);
    if (m_surface.inWindow()) {
        m_surface.showWindow(false);
        return;
    }
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    update();
}

void MpvPlayer::paintEvent(QPaintEvent*) {
    // With no picture (nothing playing yet, a sound file, an entry that cannot be played) the form
    // behind shows through: its back colour or gradient, not a black hole.
    if (!m_hasFrame || m_surface.inWindow()) return;
    QPainter painter(this);
    m_surface.paintFront(painter, QRectF(rect()));
}

void MpvPlayer::resizeEvent(QResizeEvent* event) {
    MediaPlayer::resizeEvent(event);
    m_surface.fitToHost();
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
