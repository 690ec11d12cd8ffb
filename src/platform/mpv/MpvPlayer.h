#pragma once
#include "base/ThreadNotice.h"
#include "platform/MediaPlayer.h"
#include "platform/mpv/ItemSequence.h"
#include "platform/mpv/MpvEngine.h"
#include "platform/mpv/VideoSurface.h"
#include <QList>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>

class QPainter;
class QRectF;

struct mpv_event;

namespace platform::mpv {

class MpvCore;
class MpvMirror;

// A libmpv core (MpvCore) whose frames a render thread of their own draws (VideoSurface), so the
// user-interface thread only shows finished ones. The player keeps the item (ItemSequence): it
// resolves it off this thread, hands libmpv its files in turn, and tells its state; and the sound
// and rotation of each file, looked at while the file waits at its hook before decoding.
// mpv owns no window: all mouse and key input stays with this widget.
//
// closeMedia() stops and releases the item but keeps its URL, so that a later play() opens it again:
// after a refused password the full-screen player plays on.
//
// A play-list file (.m3u, .pls) is one item: its entries play in turn, play lists within it
// included, and the item ends after the last of them. Only local regular files are played (see
// LocalMedia.h); any other entry is passed over like a missing file.
class MpvPlayer : public MediaPlayer {
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
    bool mute() const override { return m_muted; }
    void setLooping(bool looping) override;
    void setResting(bool resting) override;
    // Shares the picture, however this player draws: the render thread draws each frame into the
    // mirror's window too (OpenGL, shared memory), or the mirror paints the newest image.
    MediaPlayer* createMirror(QWidget* parent) override;

    // Seconds into the current item; 0 when nothing is loaded. Asks libmpv and waits for it: for
    // tests and tools, not the user-interface thread.
    double position() const;
    // The engine's volume in percent, as it last said; 100 plays a file at its own loudness.
    double volume() const { return m_volume; }
    // Frames drawn into the widget's images since creation (frames skipped while hidden excluded).
    int renderedFrames() const { return m_surface.renderedFrames(); }
    // Frames drawn with OpenGL rather than in software.
    bool usesOpenGL() const { return m_surface.kind() == VideoSurface::Kind::OpenGL; }
    // Frames put from memory shared with the X server rather than painted by the widget.
    bool usesSharedMemory() const { return m_surface.kind() == VideoSurface::Kind::SharedMemory; }
    // Frames go to a native window (either of the two above), which a mirror needs one of too.
    bool picturesInWindows() const { return m_surface.inWindow(); }
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
    void handleEvents();
    void onReply(const mpv_event& event);
    void onStart(const mpv_event& event);
    void onRestart();
    void onEnd(const mpv_event& event);
    void onHook(const mpv_event& event);
    void onTrackList(const mpv_event& event);
    void onPause(bool paused);
    void onVideoConfigured(bool configured);
    // A new frame is up on the render thread.
    void onFramed();
    // Tells the render thread the size and visibility to draw at; `redraw` draws the current frame.
    void updateTarget(bool visible, bool redraw);
    void clearFrame();
    void showPictureInMirrors(bool shown);
    void load();
    // Resolves the URL to the local regular files it plays (resolveItem) off this thread, as a hung
    // mount may never answer, then plays them in turn; an item with none ends stopped.
    void resolveThenOpen();
    // Takes what the looks at paths handed over since, and opens the current item's files.
    void takeResolved();
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
    // The video playing now is heard from here on, once there is somewhere to hear it.
    void letSoundIn();
    // Has the check of the sound outputs run, and this player told when it answers.
    void watchSoundOutputs();
    void setState(int state);

    MpvOptions m_options;
    std::unique_ptr<MpvCore> m_core;
    // Poked by the render thread after each new frame.
    ThreadNotice* m_framed;
    VideoSurface m_surface;

    QString m_url;
    int m_state = Undefined;
    ItemSequence m_item;
    QTimer* m_startLimit = nullptr;
    QTimer* m_noVideoCheck = nullptr;
    // Where the thread resolving an item hands its answer: dropped once the player is gone.
    struct Mailbox;
    std::shared_ptr<Mailbox> m_mailbox;
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
