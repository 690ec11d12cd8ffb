#pragma once
#include "base/Movement.h"
#include "playback/PlayerForm.h"

class QLabel;

// The player of the absolute full-screen mode: covers the screen, stays on top, hides the pointer,
// plays one file in a loop or steps through the play list, and ends on the first mouse movement,
// click or key.
class frmAbsoluteFullScreenVideo : public playback::PlayerForm {
    Q_OBJECT
public:
    explicit frmAbsoluteFullScreenVideo(const playback::Companion* companion = nullptr);
    PlayerForm* makeCompanion(const playback::Companion& companion) override;
    ~frmAbsoluteFullScreenVideo() override;

    QLabel* lblTripOff = nullptr;

    bool playInRandomOrder = false;
    bool reactToPlayerMouse = true; // DoNotIgnoreMouseMovent

    void Timer4_Timer();
    void playOn() override;
    void gradientTick() override { Timer2_Timer(); }
    void Timer2_Timer();
    void Form_Click() override;
    void Form_KeyPress(int keyAscii) override;
    void Form_MouseMove(int button, int shift, double x, double y) override;
    void lblTripOff_Click();
    void screenResized() override;
    void lblTripOff_MouseMove(int button, int shift, double x, double y);
    void WindowsMediaPlayer1_Click();
    void WindowsMediaPlayer1_KeyPress(int keyAscii);
    void WindowsMediaPlayer1_MouseDown(int button, int shift, int x, int y);
    void WindowsMediaPlayer1_MouseMove(int button, int shift, int x, int y);

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void Form_Terminate() override;
    void passwordRefused() override;
    bool pointerCheckCounts() const override { return reactToPlayerMouse; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void endFromMouseMove();
};
