#include "playback/PlayerForm.h"

#include "platform/Platform.h"
#include "playback/Rotation.h"
#include "runtime/Convert.h"
#include "runtime/Guard.h"
#include "shell/Settings.h"
#include "shell/SystemServices.h"

namespace playback {

PlayerForm::PlayerForm(const QString& name) : Form(name) {
    setWindowTitle(QStringLiteral("Screen Saver Main Form"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAutoFillBackground(true);
    setBackColour(0);
    setupMouseTracking(this);

    Timer4 = new QTimer(this);
    Timer4->setObjectName(QStringLiteral("Timer4"));
    Timer4->setInterval(1000);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
}

void PlayerForm::createPlayer() {
    WindowsMediaPlayer1 = platform::media().createPlayer(this);
    if (!WindowsMediaPlayer1) return;
    WindowsMediaPlayer1->setObjectName(QStringLiteral("WindowsMediaPlayer1"));
    setupMouseTracking(WindowsMediaPlayer1);
}

void PlayerForm::setupMouseTracking(QWidget* w) { w->setMouseTracking(true); }

void PlayerForm::setBackColour(int32_t colour) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
    setPalette(pal);
}

void PlayerForm::applyMutePreference() {
    mutePreference = runtime::textToInt16(GetSetting(QStringLiteral("ScreensaverSoundMutePreference"), QStringLiteral("0")));
    if (!WindowsMediaPlayer1) return;
    if (mutePreference == 0) WindowsMediaPlayer1->setMute(false);
    else if (mutePreference == 1) WindowsMediaPlayer1->setMute(true);
}

void PlayerForm::pickNext() {
    if (runtime::textToBool(GetSetting(QStringLiteral("PlayInRandomOrder"), QStringLiteral("False"))))
        PlayRandomPick(*this);
    else
        PlayNextInOrder(*this);
}

void PlayerForm::hidePointer() {
    while (platform::windows().showCursor(false) >= -50) {
    }
}

void PlayerForm::restorePointer() {
    while (platform::windows().showCursor(true) < 51) {
    }
}

bool PlayerForm::passwordInForce() const { return PlatformId != 2 && passwordFlag != 0; }

bool PlayerForm::Form_QueryUnload() {
    if (!passwordInForce()) return true;
    while (platform::windows().showCursor(true) <= 50) {
    }
    const int16_t verified = platform::passwords().verifyScreenSavePassword(this);
    if (verified != 0) return true;
    hidePointer();
    passwordRefused();
    return false;
}

} // namespace playback
