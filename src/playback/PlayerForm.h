#pragma once
#include <cstdint>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <optional>
#include <utility>
#include "base/MonitorUse.h"
#include "base/Movement.h"
#include "playback/Gradient.h"
#include "platform/MediaPlayer.h"
#include "runtime/Form.h"
#include "base/Guard.h"
#include "runtime/Timer.h"

namespace playback {

class PlayerForm;

// A player form on a monitor beyond the primary one, beside the form on the primary monitor (its
// lead): it shows the lead's picture (Same) or an item of its own from the same rotation (Each).
// The lead ends the run; a companion's input ends it through the lead.
struct Companion {
    PlayerForm* lead = nullptr;
    QScreen* monitor = nullptr;
    MonitorUse use = MonitorUse::Same;
};

// What the two player forms share: the media control, the poll and gradient timers, the play-list
// position, the settings read at load, the background they draw on, the pointer, the ways the user
// ends them, and the password check that guards every unload.
class PlayerForm : public runtime::Form {
    Q_OBJECT
public:
    PlayerForm(const QString& name, const Companion* companion);
    ~PlayerForm() override;

    platform::MediaPlayer* WindowsMediaPlayer1 = nullptr;
    runtime::Timer* Timer4 = nullptr;
    runtime::Timer* Timer2 = nullptr;

    bool singleFileMode = true;
    QString startUpFileName;
    QString currentMediaPath;
    QString lastDirectory;
    QString backDropColor = QStringLiteral("0");
    int16_t mouseSensitivity = 4;
    int16_t mutePreference = 0;
    int16_t playListPosition = 0;
    int16_t passwordFlag = 0;

    // The ways the user ends the screen saver, whatever the form does with them.
    virtual void Form_Click() = 0;
    virtual void Form_KeyPress(int keyAscii) = 0;
    virtual void Form_MouseMove(int button, int shift, double x, double y) = 0;

    // The first step of Timer4: when the item has stopped, the single file again or the next pick.
    // Also run the moment an item plays to its end, so the next follows with no break.
    virtual void playOn() = 0;

    // The screen it covers changed size (the window of a screen-saver daemon it draws in was
    // resized): the form already has the new size; the player follows.
    virtual void screenResized() {}

    // A companion like this form, for another monitor; the caller loads and shows it.
    virtual PlayerForm* makeCompanion(const Companion& companion) = 0;
    bool isCompanion() const { return m_isCompanion; }
    PlayerForm* lead() const { return m_lead; }
    QScreen* monitor() const { return m_monitor; }
    // How the run uses the other monitors, once it has companions (Primary before).
    MonitorUse monitorUse() const { return m_use; }
    void setMonitorUse(MonitorUse use) { m_use = use; }
    // The forms of this run that draw from the one rotation: the lead and its companions.
    QList<PlayerForm*> runForms();
    // This form's place among the run's monitors (the lead's 0, its companions' in the order they
    // came) and how many monitors the run covers.
    std::pair<int, int> placeInRun();
    // In order with every monitor its own item: the form has taken its own start in the list.
    bool spreadTaken = false;
    // What this form covers on the desktop: its monitor, or the screen as the lead sees it.
    QRect monitorGeometry() const;
    // A companion: its monitor moved or changed size.
    void followMonitor();
    // A companion: the lead ends, or the monitor went; the unload goes ahead this time.
    void release() { m_released = true; }

    // Every monitor went to sleep (true) or one woke (false): the player rests with its picture up,
    // and the timers that only draw (gradient, floating motion) idle until it goes on. The item's
    // state, the play-list position and the poll are left as they are, and input still ends the run.
    void restWhileMonitorsSleep(bool resting);
    bool resting() const { return m_resting; }

    // ScreensaverSoundMutePreference read anew and applied: 0 sound on, 1 off, else unchanged.
    void applyMutePreference();
    // The pick that PlayInRandomOrder selects now.
    void pickNext();
    // Hides the pointer (count below -50) and shows it again (51 or more).
    void hidePointer();
    void restorePointer();
    bool passwordInForce() const;
    // The run's one movement rule, whichever of its windows saw the pointer: `global` is where it is
    // on the desktop, measured against the one baseline the lead keeps for the run. True when the
    // pointer went further than the mouse sensitivity from there.
    bool pointerMovedFar(const QPointF& global);
    // One step on the media control, skipped on error and when there is no control.
    template <class Step> void withPlayer(Step&& step) {
        runtime::skipOnError([&] {
            if (WindowsMediaPlayer1) step(*WindowsMediaPlayer1);
        });
    }

    // The background: the back colour (a colour number &H00BBGGRR), with what is drawn on it. A new
    // back colour clears the drawing.
    void setBackColour(int32_t colour);
    QColor backColour() const;
    void fillBackground(const QRect& rect, const QColor& colour);
    // Persistent drawing on: what is drawn stays behind the moving player. Off: wherever the player
    // uncovers the form, the back colour shows until the next drawing (picture trails).
    void setPersistentDrawing(bool on) { m_persistentDrawing = on; }
    bool persistentDrawing() const { return m_persistentDrawing; }
    // The background as it stands, back colour and drawing; null while nothing is drawn.
    const QImage& drawing() const { return m_drawing; }
    // The player moved: with persistent drawing off the area it left shows the back colour.
    void playerMoved(const QRect& from, const QRect& to);
    // The start colour of the gradient on show; none after a new back colour.
    const std::optional<StartColour>& gradientShown() const { return m_gradient; }

signals:
    // A new back colour or a new gradient.
    void backgroundChanged();

protected:
    // The password check; false refuses the unload.
    bool Form_QueryUnload() override;
    // After a refused password.
    virtual void passwordRefused() {}
    // Whether the pointer, wherever it is, counts while the form checks it on its own; false where
    // movement over the player is to be ignored.
    virtual bool pointerCheckCounts() const { return true; }
    // The form's own timers at a rest and after it; the gradient's are taken care of.
    virtual void restTimers(bool resting) { Q_UNUSED(resting); }
    // A gradient step of the form's own (its Timer2).
    virtual void gradientTick() {}
    // A companion showing the lead's picture: the lead's item played to its end, the next follows.
    virtual void leadMovedOn() {}
    void createPlayer();
    // A companion's first steps at unload, instead of the lead's: its timers stop and its item goes;
    // nothing is stored and the program goes on. False for the lead.
    bool leaveAsCompanion();
    // A companion's last load step: its gradients follow the lead's.
    void companionLoaded();

    // Load steps both players share: the password flag and platform, the running flag, the pointer.
    void enterScreenSaver();
    // With no media path: unloads, tells the user, and ends the program once the message is closed.
    void endForMissingMedia();
    // An empty single file stands for the default clip, never for a folder; false when there is
    // nothing to play at all (the missing-media message has then been shown).
    bool settleMediaPath();
    bool endedForMissingMedia() const { return m_missingMedia; }
    // Plays the current media path; in play-list mode a stored file gives way to the play list, and
    // with none stored a list with entries plays them from the start.
    void startPlaying();
    // The first steps of every unload: the pointer back and the running flag off.
    void leaveScreenSaver();
    // A gradient tick: the levels read anew, a new start colour, the bands drawn.
    void drawNextGradient();
    void stopByName();
    void unloadEditor();
    void stopAndClose();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QImage& drawingSurface();
    QColor m_backColour = Qt::black;
    QImage m_drawing;
    std::optional<StartColour> m_gradient;
    bool m_persistentDrawing = true;
    bool m_missingMedia = false;
    bool m_isCompanion = false;
    QPointer<PlayerForm> m_lead;
    QPointer<QScreen> m_monitor;
    MonitorUse m_use = MonitorUse::Primary;
    QList<QPointer<PlayerForm>> m_companions; // the lead's
    bool m_released = false;
    bool m_gradientOn = false;
    bool m_resting = false;
    bool m_gradientBeforeRest = false;
    bool m_watchBeforeRest = false;
    PointerBaseline m_pointer; // the lead's, for every window of the run
    QSize m_desktopSize;       // as the baseline knew it
    QTimer* m_pointerCheck = nullptr;
    // Ends acted on at once within the current second: an item that ends as soon as it starts is
    // left to Timer4's poll rather than restarted in a busy loop.
    qint64 m_quickStepsSince = 0;
    int m_quickSteps = 0;
};

// The screen in pixels: its size in twips over twips per pixel, each rounded, the quotient truncated.
QSize screenSizeInPixels();

} // namespace playback
