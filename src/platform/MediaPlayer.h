#pragma once
#include <QString>
#include <QWidget>

namespace platform {

// What the players ask of the media control: a widget inside the player form that plays one item.
class MediaPlayer : public QWidget {
    Q_OBJECT
public:
    enum PlayState { Undefined = 0, Stopped = 1, Paused = 2, Playing = 3, Transitioning = 9, Ready = 10 };

    explicit MediaPlayer(QWidget* parent = nullptr);

    // Setting the URL opens the item and starts it at once, replacing the current one.
    virtual void setURL(const QString& url) = 0;
    // Spelled exactly as last set.
    virtual QString URL() const = 0;
    // Stopped (1) once the item has ended, was stopped, or could not be played.
    virtual int playState() const = 0;
    // controls.play: (re)starts; after the end the same item plays again from its start.
    virtual void play() = 0;
    virtual void stop() = 0;
    // Releases the current item.
    virtual void closeMedia() = 0;
    virtual void setMute(bool mute) = 0;
    virtual bool mute() const = 0;
    // On: at its end the item starts again from its beginning with no break between the two, and
    // never reaches Stopped by ending (one file playing in a loop). Off: it ends and stops.
    virtual void setLooping(bool looping) = 0;
    // While every monitor sleeps: on, decoding and drawing pause and the last picture stays up; off,
    // the item goes on from where it rested. Nobody sees it, so it is no pause of the item: the play
    // state stays as it was, and the item neither ends nor counts as stopped meanwhile. An item set
    // while resting waits at its start.
    virtual void setResting(bool resting) { Q_UNUSED(resting); }

    // A control in `parent` that shows this control's picture, at its own size, from the same
    // decoding: it plays nothing of its own, and what it is told to play it leaves to this one.
    // Null where the picture cannot be shared; the caller then plays the item a second time.
    virtual MediaPlayer* createMirror(QWidget* parent) {
        Q_UNUSED(parent);
        return nullptr;
    }
    virtual bool isMirror() const { return false; }

    // A method requested by name; an unknown name is an error.
    void invoke(const QString& method);
    // ZOrder: in front of the form's other contents.
    void ZOrder() { raise(); }

signals:
    // The item played to its end by itself (not stopped, not refused as unplayable): what comes
    // next may start at once, with the last picture still up.
    void endOfMedia();
    // On the release of any button inside the control, and on a turn of the wheel.
    void Click();
    void KeyPress(int keyAscii);
    void MouseDown(int button, int shift, int x, int y);
    void MouseMove(int button, int shift, int x, int y);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool m_pressed = false;
};

// The key code a key press reports: its character, or 0 for keys that type none.
int keyAsciiOf(const QKeyEvent* event);
// Button and shift codes of a mouse event: 1 left, 2 right, 4 middle; 1 shift, 2 control, 4 alt.
int buttonCodeOf(Qt::MouseButtons buttons);
int shiftCodeOf(Qt::KeyboardModifiers modifiers);

} // namespace platform
