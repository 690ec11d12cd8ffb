#pragma once
#include "platform/MediaPlayer.h"
#include <QPointer>
#include <QWindow>
#include <cstdint>

namespace platform::mpv {

class MpvPlayer;
class VideoWindow;

// Shows the picture of a player on another monitor: the player's render thread puts each frame it
// draws on this control's native window too (or, drawing in software, this control paints the
// player's newest image), so the item is decoded once however many monitors show it. Told to play
// or stop, it does nothing: the player it mirrors plays.
class MpvMirror : public platform::MediaPlayer {
    Q_OBJECT
public:
    MpvMirror(MpvPlayer* source, QWidget* parent);
    ~MpvMirror() override;

    void setURL(const QString&) override {}
    QString URL() const override;
    int playState() const override;
    void play() override {}
    void stop() override {}
    void closeMedia() override {}
    void setMute(bool) override {}
    bool mute() const override { return true; }
    void setLooping(bool) override {}
    bool isMirror() const override { return true; }

    // For the source: the native window to put frames on (null while there is none, it is hidden or
    // may not be drawn on), its size in device pixels, and whether the source has a picture up.
    QWindow* targetWindow() const;
    QSize targetSize() const;
    void showPicture(bool shown);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Resized, shown or hidden: the source draws here at the new size, or no longer.
    bool event(QEvent* event) override;

private:
    void changed();
    QPointer<MpvPlayer> m_source;
    VideoWindow* m_window = nullptr;
    QWidget* m_container = nullptr;
    bool m_windowValid = false;
    bool m_shown = false;
};

} // namespace platform::mpv
