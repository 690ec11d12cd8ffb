#pragma once
#include "platform/mpv/FrameLoop.h"
#include "platform/mpv/MpvEngine.h"
#include "playback/MediaPlayer.h"
#include <QImage>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>

class QOffscreenSurface;
class QPainter;
class QRectF;

struct mpv_handle;
struct mpv_render_context;
struct mpv_event;

namespace platform::mpv {

class GlRenderLoop;

// Waits up to limitMs for the cores of destroyed players that were stuck when their players went to
// finish ending; false when some are still going or were left to themselves, and the process
// should end without running its exit handlers (settings are all written by then).
bool playersFinished(int limitMs);

// The video filter that turns a picture stored turned by `degrees` clockwise upright ("" for none).
QByteArray rotationFilter(int degrees);

class MpvMirror;
class RenderLoop;
class ShmRenderLoop;
class VideoWindow;

// A libmpv core drawing its frames on a thread of its own, so the user-interface thread only shows
// finished ones: with OpenGL straight into a native child window (GlRenderLoop, VideoWindow), or
// through libmpv's software renderer into images this widget paints (RenderLoop), which works on
// every Qt platform.
// mpv owns no window: all mouse and key input stays with this widget.
//
// closeMedia() stops and releases the item but keeps its URL, so that a later play() opens it again:
// after a refused password the full-screen player plays on.
//
// A play-list file (.m3u, .pls) is one item: its entries play in turn, play lists within it
// included, and the item ends after the last of them. Only local regular files are played (see
// LocalMedia.h); any other entry is passed over like a missing file.
class MpvPlayer : public playback::MediaPlayer {
    Q_OBJECT
public:
    explicit MpvPlayer(QWidget* parent = nullptr, MpvOptions options = {});
    ~MpvPlayer() override;

    void setURL(const QString& url) override;
    QString URL() const override { return m_url; }
    int playState() const override { return m_state; }
    void play() override;
    void stop() override;
    void closeMedia() override;
    void setMute(bool mute) override;
    bool mute() const override;
    void setLooping(bool looping) override;
    void setResting(bool resting) override;
    // Shares the picture, however this player draws: the render thread draws each frame into the
    // mirror's window too (OpenGL, shared memory), or the mirror paints the newest image.
    playback::MediaPlayer* createMirror(QWidget* parent) override;

    // Seconds into the current item; 0 when nothing is loaded. Asks libmpv and waits for it: for
    // tests and tools, not the user-interface thread.
    double position() const;
    // The engine's volume in percent, as it last said; 100 plays a file at its own loudness.
    double volume() const;
    // Frames drawn into the widget's images since creation (frames skipped while hidden excluded).
    int renderedFrames() const { return m_loop ? m_loop->renderedFrames() : 0; }
    // Frames drawn with OpenGL rather than in software.
    bool usesOpenGL() const { return m_glLoop != nullptr; }
    // Frames put from memory shared with the X server rather than painted by the widget.
    bool usesSharedMemory() const { return m_shmLoop != nullptr; }
    // A picture is up; without one the widget paints nothing and its parent shows through.
    bool hasPicture() const { return m_hasFrame; }
    // The audio output libmpv has open ("null" plays to nothing; "" when none is open), and whether
    // the current file's sound is decoded. Ask libmpv and wait for it: for tests.
    QString soundOutput() const;
    bool decodesSound() const;

    // For the mirrors.
    void addMirror(MpvMirror* mirror);
    void removeMirror(MpvMirror* mirror);
    void mirrorsChanged();
    // Paints the newest software image into `target` of `painter`; false with none.
    bool paintFrontInto(QPainter& painter, const QRectF& target);

signals:
    void playStateChanged(int state);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static void wakeupCallback(void* player);
    static void renderUpdateCallback(void* player);

    void drainEvents();
    void handleEvent(const mpv_event& event);
    // A new frame is up on the render thread.
    void onFramed();
    // Tells the render thread the size and visibility to draw at; `redraw` draws the current frame.
    void updateTarget(bool visible, bool redraw);
    void clearFrame();
    // Stops playback and lets the core go idle while the render thread still takes its frames;
    // false when the core does not answer within a short while (stuck on a device or server).
    bool stopUntilIdle();
    // For a core that was stuck: the same, from a thread that also takes the frames itself.
    static void shutDownVideo(mpv_handle* mpv, mpv_render_context* render);
    bool startOpenGL();
    void startSoftware();
    bool startSharedMemory();
    // m_videoWindow in a child widget of the player's size, hidden until the first frame.
    void holdVideoWindow();
    void load();
    // Resolves the URL to the local regular files it plays (resolveItem) off this thread, as a hung
    // mount may never answer, then plays them in turn; an item with none ends stopped.
    void resolveThenOpen();
    // Hands libmpv the item's next file, or ends the item after its last.
    void openNext();
    void endItem();
    // No video came with the item that now plays: its picture goes, and the form behind shows.
    void clearIfNoVideo();
    // The open file, its tracks looked at, goes on to be decoded.
    void letPreloadedGoOn();
    // The outputs libmpv may open now: none until they are known to answer (SoundCheck.h).
    QByteArray soundOutputsNow() const;
    void tellSoundOutput(const QByteArray& output);
    // Has the check of the sound outputs run, and this player told when it answers.
    void watchSoundOutputs();
    void setState(int state);

    MpvOptions m_options;
    mpv_handle* m_mpv = nullptr;
    mpv_render_context* m_render = nullptr;
    std::atomic<bool> m_wakeupPending{false};
    std::atomic<bool> m_framedPending{false};
    std::unique_ptr<QOffscreenSurface> m_glSurface;
    std::unique_ptr<FrameLoop> m_loop;
    RenderLoop* m_softwareLoop = nullptr; // m_loop, when drawing in software
    GlRenderLoop* m_glLoop = nullptr;   // m_loop, when drawing with OpenGL
    ShmRenderLoop* m_shmLoop = nullptr; // m_loop, when putting frames from shared memory
    VideoWindow* m_videoWindow = nullptr; // owned by m_videoContainer, with OpenGL or shared memory
    QWidget* m_videoContainer = nullptr;

    QString m_url;
    int m_state = Undefined;
    // The files the current item plays, and the next of them to open.
    QStringList m_files;
    qsizetype m_nextFile = 0;
    // libmpv's play-list entry of the file playing: 0 for none, -1 until the loadfile's reply names
    // it. Events of entries of earlier loads arrive late and are ignored.
    int64_t m_entry = 0;
    int64_t m_activeEntry = 0;
    // Tells the reply to the latest loadfile apart from those of earlier ones.
    uint64_t m_openSerial = 0;
    // Tells a look at the path apart from those of earlier loads.
    quint64 m_loadSerial = 0;
    QTimer* m_startLimit = nullptr;
    QTimer* m_noVideoCheck = nullptr;
    // Where the thread resolving an item hands its answer: dropped once the player is gone.
    struct Mailbox;
    std::shared_ptr<Mailbox> m_mailbox;
    bool m_looping = false;
    // A file of the current item (or of its current round, when looping) played; how the last ended.
    bool m_itemPlayed = false;
    bool m_endedAtEof = false;
    // The open file waiting for its tracks to be looked at (0: none).
    uint64_t m_preloadedHook = 0;
    bool m_paused = false;
    // While every monitor sleeps: libmpv is paused, and the item's state stays as it was.
    bool m_resting = false;
    // What the player was last told; no sound output is opened while muted.
    bool m_muted = false;
    bool m_muteTold = false;
    // libmpv's audio outputs to try while not muted: those this machine has ("null" when none).
    QByteArray m_soundOutputs;
    // What libmpv was last told to open.
    QByteArray m_outputTold;
    bool m_watchingSound = false;
    // The open file waits at its hook for the sound outputs' answer; what its tracks hold.
    bool m_heldForSound = false;
    bool m_heldVideo = false;
    bool m_heldSound = false;
    int m_heldRotation = 0;
    // As the core last said: between files, with nothing to play.
    bool m_coreIdle = true;
    // The current file's sound is left out, as it was opened while nobody would hear it.
    bool m_soundLeftOut = false;
    double m_volume = 50;
    bool m_videoConfigured = false;

    QList<QPointer<MpvMirror>> m_mirrors;

    bool m_hasFrame = false;
    bool m_cleared = false;  // the picture was taken away and no item has played since
    // Raised by each clear: frames drawn before it are not shown after it.
    uint64_t m_generation = 1;
};

} // namespace platform::mpv
