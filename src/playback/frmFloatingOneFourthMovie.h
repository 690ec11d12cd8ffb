#pragma once
#include <QElapsedTimer>
#include <QTimer>
#include "base/Floating.h"
#include "base/Movement.h"
#include "playback/PlayerForm.h"

// The player of the partial-screen modes: the form covers the screen as a background, and the
// player window inside it, sized by the display mode, floats and bounces off the edges or stands
// still and jumps to a random place for each new play-list item.
class frmFloatingOneFourthMovie : public playback::PlayerForm {
    Q_OBJECT
public:
    explicit frmFloatingOneFourthMovie(const playback::Companion* companion = nullptr);
    PlayerForm* makeCompanion(const playback::Companion& companion) override;
    ~frmFloatingOneFourthMovie() override;

    runtime::Timer* Timer1 = nullptr; // floating motion
    runtime::Timer* Timer3 = nullptr; // one-shot random reposition

    playback::DisplayModes displayModes;
    double recordedScreenWidth = 640;
    double recordedScreenHeight = 480;
    int16_t pictureTrails = 1;
    int16_t movieWillFloat = 1;
    int16_t movingMovieSpeed = 50;
    playback::FloatSteps steps;
    // The player's place in single precision; the window sits at the nearest pixels.
    playback::PlayerPlace place;

    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer4_Timer();
    void playOn() override;
    void gradientTick() override { Timer2_Timer(); }
    // Standing still, the lead's next item shows at a new place here too.
    void leadMovedOn() override {
        if (movieWillFloat == 0) Timer3->setEnabled(true);
    }
    void Form_Click() override;
    void Form_KeyPress(int keyAscii) override;
    void Form_MouseMove(int button, int shift, double x, double y) override;
    void WindowsMediaPlayer1_Click();
    void WindowsMediaPlayer1_KeyPress(int keyAscii);
    void WindowsMediaPlayer1_MouseMove(int button, int shift, int x, int y);
    void screenResized() override;

protected:
    void restTimers(bool resting) override;
    void Form_Load() override;
    void Form_Unload() override;
    void Form_Terminate() override;

private:
    // Puts the player window at the nearest pixels of its place, at most once a display frame: at
    // short intervals the motion goes on at every tick, but the window follows it only as often as a
    // screen can show it, so a fast setting costs no repaint per tick.
    void placePlayer();
    void applyPlace();
    // Timer1's ticks: as many motion steps as its interval fits in the time since the last tick, so
    // the player keeps its speed when the event loop is busy or the interval is shorter than a tick
    // can be served.
    void motionTick();
    QTimer* m_placeLater = nullptr;
    QElapsedTimer m_sincePlaced;
    QElapsedTimer m_sinceMotion;
    double m_stepsDue = 0;
    bool m_floatingBeforeRest = false;
    void endScreenSaver();
};
