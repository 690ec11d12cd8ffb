#include "playback/frmAbsoluteFullScreenVideo.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include "platform/Platform.h"
#include "playback/Gradient.h"
#include "playback/Rotation.h"
#include "playlist/frmFileLister.h"
#include "runtime/Convert.h"
#include "runtime/Guard.h"
#include "runtime/RuntimeError.h"
#include "runtime/Twips.h"
#include "shell/Settings.h"
#include "shell/SystemServices.h"

using runtime::skipOnError;
using runtime::textToBool;
using runtime::textToInt16;

namespace {

QSize screenSizeInPixels() {
    const int32_t w = runtime::toInt32(runtime::screenWidthTwips()) / runtime::toInt32(runtime::twipsPerPixelX());
    const int32_t h = runtime::toInt32(runtime::screenHeightTwips()) / runtime::toInt32(runtime::twipsPerPixelY());
    return QSize(w, h);
}

// A timer interval of 0 disables the timer, as a negative one is refused.
void setTimerInterval(QTimer* timer, int ms) {
    if (ms < 0) throw runtime::RuntimeError(runtime::ErrorKind::InvalidValue, QStringLiteral("Invalid property value"));
    if (ms == 0) timer->stop();
    timer->setInterval(ms);
}

} // namespace

frmAbsoluteFullScreenVideo::frmAbsoluteFullScreenVideo() : PlayerForm(QStringLiteral("frmAbsoluteFullScreenVideo")) {
    lblTripOff = new QLabel(this);
    lblTripOff->setObjectName(QStringLiteral("lblTripOff"));
    lblTripOff->setMouseTracking(true);
    lblTripOff->installEventFilter(this);
    // The media control is created after the label so that it lies above it, as a windowed control
    // lies above a label.
    createPlayer();
    if (WindowsMediaPlayer1) {
        WindowsMediaPlayer1->setGeometry(0, 0, 32, 32);
        WindowsMediaPlayer1->installEventFilter(this);
        connect(WindowsMediaPlayer1, &playback::MediaPlayer::Click, this,
                &frmAbsoluteFullScreenVideo::WindowsMediaPlayer1_Click);
        connect(WindowsMediaPlayer1, &playback::MediaPlayer::KeyPress, this,
                &frmAbsoluteFullScreenVideo::WindowsMediaPlayer1_KeyPress);
        connect(WindowsMediaPlayer1, &playback::MediaPlayer::MouseDown, this,
                &frmAbsoluteFullScreenVideo::WindowsMediaPlayer1_MouseDown);
        connect(WindowsMediaPlayer1, &playback::MediaPlayer::MouseMove, this,
                &frmAbsoluteFullScreenVideo::WindowsMediaPlayer1_MouseMove);
    }
    connect(Timer4, &QTimer::timeout, this, &frmAbsoluteFullScreenVideo::Timer4_Timer);
    connect(Timer2, &QTimer::timeout, this, &frmAbsoluteFullScreenVideo::Timer2_Timer);
}

frmAbsoluteFullScreenVideo::~frmAbsoluteFullScreenVideo() = default;

void frmAbsoluteFullScreenVideo::Form_Load() {
    Timer4->start();
    setWindowState(Qt::WindowFullScreen);
    setGeometry(QRect(QPoint(0, 0), screenSizeInPixels()));

    skipOnError([&] { singleFileMode = textToBool(GetSetting(QStringLiteral("PlaySingleFile"), QStringLiteral("True"))); });
    startUpFileName = GetSetting(QStringLiteral("VideoFile"), QStringLiteral("/lumora.mpg"));
    skipOnError([&] { playInRandomOrder = textToBool(GetSetting(QStringLiteral("PlayInRandomOrder"), QStringLiteral("False"))); });
    skipOnError([&] { reactToPlayerMouse = textToBool(GetSetting(QStringLiteral("DoNotIgnoreMouseMovent"), QStringLiteral("True"))); });

    skipOnError([&] {
        if (playInRandomOrder) playback::PlayRandomPick(*this);
        else playback::PlayNextInOrder(*this);
    });

    platform::windows().makeTopmost(this);

    passwordFlag = readPasswordFlag();
    ReadPlatformId();
    if (passwordInForce()) platform::windows().setScreenSaverRunning(true);

    hidePointer();

    int16_t gradOn = 0;
    int16_t fireGradInterval = 6000;
    skipOnError([&] { gradOn = textToInt16(GetSetting(QStringLiteral("GradOn"), QStringLiteral("0"))); });
    skipOnError([&] { fireGradInterval = textToInt16(GetSetting(QStringLiteral("FireGradInterval"), QStringLiteral("6000"))); });

    currentMediaPath = GetSetting(QStringLiteral("VideoFile"), defaultMediaPath());

    lastDirectory = GetSetting(QStringLiteral("PathToLastDirectory"), QString());
    backDropColor = GetSetting(QStringLiteral("BackDropColor"), QStringLiteral("0"));
    skipOnError([&] { mouseSensitivity = textToInt16(GetSetting(QStringLiteral("MouseSensitivity"), QStringLiteral("4"))); });

    if (currentMediaPath.isEmpty()) currentMediaPath = lastDirectory;
    if (currentMediaPath.isEmpty()) {
        m_missingMedia = true;
        Unload();
        platform::dialogs().messageBox(
            QStringLiteral("There are no multimedia files selected. It will be necessary to click the Display "
                           "Properties 'Settings...' button again and select a video or sound file."),
            64, QStringLiteral("Larkspur Software") + QStringLiteral(" Video Screensaver"));
        platform::process().endProgram(0);
        return;
    }

    skipOnError([&] { setBackColour(runtime::textToInt32(backDropColor)); });
    if (gradOn != 0) {
        Timer2->start();
        setBackColour(0);
    } else {
        Timer2->stop();
    }

    lblTripOff->setGeometry(QRect(QPoint(0, 0), screenSizeInPixels()));
    skipOnError([&] { setTimerInterval(Timer2, fireGradInterval); });

    withPlayer([&](playback::MediaPlayer& p) { p.setURL(currentMediaPath); });
    skipOnError([&] {
        if (!singleFileMode && WindowsMediaPlayer1 && WindowsMediaPlayer1->URL() == startUpFileName)
            playback::PlayNextInOrder(*this);
    });
    skipOnError([&] { applyMutePreference(); });
}

void frmAbsoluteFullScreenVideo::Timer4_Timer() {
    skipOnError([&] {
        if (!WindowsMediaPlayer1 || WindowsMediaPlayer1->playState() != playback::MediaPlayer::Stopped) return;
        if (singleFileMode) WindowsMediaPlayer1->play();
        else pickNext();
    });
    withPlayer([&](playback::MediaPlayer& p) { p.setGeometry(QRect(QPoint(0, 0), screenSizeInPixels())); });
    skipOnError([&] { applyMutePreference(); });
    skipOnError([&] { platform::windows().makeTopmost(this); });
}

void frmAbsoluteFullScreenVideo::Timer2_Timer() {
    // The colours of the next gradient come with the gradient background.
    skipOnError([&] { playback::DrawGradient(this, 255, 255, 255, true); });
}

void frmAbsoluteFullScreenVideo::stopByName() {
    withPlayer([&](playback::MediaPlayer& p) { p.invoke(QStringLiteral("stop")); });
}

void frmAbsoluteFullScreenVideo::unloadEditor() { skipOnError([] { unloadFileLister(); }); }

void frmAbsoluteFullScreenVideo::stopAndClose() {
    withPlayer([&](playback::MediaPlayer& p) { p.stop(); });
    withPlayer([&](playback::MediaPlayer& p) { p.closeMedia(); });
}

void frmAbsoluteFullScreenVideo::Form_Click() {
    unloadEditor();
    stopAndClose();
    Unload();
}

void frmAbsoluteFullScreenVideo::Form_KeyPress(int) { Form_Click(); }

void frmAbsoluteFullScreenVideo::endFromMouseMove() {
    stopByName();
    unloadEditor();
    stopAndClose();
    Unload();
}

void frmAbsoluteFullScreenVideo::Form_MouseMove(int, int, double x, double y) {
    bool ends = false;
    skipOnError([&] { ends = playback::movementEnds(formMouse, x, y, mouseSensitivity); });
    if (ends) endFromMouseMove();
}

void frmAbsoluteFullScreenVideo::lblTripOff_MouseMove(int, int, double x, double y) {
    bool ends = false;
    skipOnError([&] { ends = playback::movementEnds(labelMouse, x, y, mouseSensitivity); });
    if (ends) endFromMouseMove();
}

void frmAbsoluteFullScreenVideo::lblTripOff_Click() {
    withPlayer([&](playback::MediaPlayer& p) { p.stop(); });
    unloadEditor();
    Unload();
}

void frmAbsoluteFullScreenVideo::WindowsMediaPlayer1_Click() {
    unloadEditor();
    Unload();
}

void frmAbsoluteFullScreenVideo::WindowsMediaPlayer1_KeyPress(int) {
    stopByName();
    unloadEditor();
    Unload();
}

void frmAbsoluteFullScreenVideo::WindowsMediaPlayer1_MouseDown(int button, int shift, int, int) {
    if (button == 2) WindowsMediaPlayer1_KeyPress(shift);
}

void frmAbsoluteFullScreenVideo::WindowsMediaPlayer1_MouseMove(int, int, int x, int y) {
    if (!reactToPlayerMouse) return;
    bool ends = false;
    skipOnError([&] { ends = playback::movementEnds(playerMouse, x, y, mouseSensitivity); });
    if (ends) {
        stopByName();
        Unload();
    }
}

void frmAbsoluteFullScreenVideo::passwordRefused() {
    withPlayer([&](playback::MediaPlayer& p) { p.play(); });
    withPlayer([&](playback::MediaPlayer& p) { p.ZOrder(); });
}

void frmAbsoluteFullScreenVideo::Form_Unload() {
    Timer4->stop();
    Timer2->stop();
    releaseKeyboard();
    skipOnError([&] { restorePointer(); });
    skipOnError([&] {
        if (passwordInForce()) platform::windows().setScreenSaverRunning(false);
    });
    unloadEditor();
    stopAndClose();
    if (!m_missingMedia) platform::process().endProgram(0);
}

void frmAbsoluteFullScreenVideo::Form_Terminate() {
    unloadEditor();
    if (!m_missingMedia) platform::process().endProgram(0);
}

void frmAbsoluteFullScreenVideo::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    Form_MouseMove(playback::buttonCodeOf(event->buttons()), playback::shiftCodeOf(event->modifiers()), p.x(), p.y());
}

void frmAbsoluteFullScreenVideo::mouseReleaseEvent(QMouseEvent*) { Form_Click(); }

void frmAbsoluteFullScreenVideo::keyPressEvent(QKeyEvent* event) {
    event->accept();
    Form_KeyPress(playback::keyAsciiOf(event));
}

void frmAbsoluteFullScreenVideo::showEvent(QShowEvent* event) {
    PlayerForm::showEvent(event);
    // Every key is the form's first, wherever the focus is.
    activateWindow();
    if (QGuiApplication::platformName() == QLatin1String("xcb")) grabKeyboard();
}

bool frmAbsoluteFullScreenVideo::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && isLoaded()) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    if (watched == lblTripOff) {
        if (event->type() == QEvent::MouseMove) {
            auto* me = static_cast<QMouseEvent*>(event);
            lblTripOff_MouseMove(playback::buttonCodeOf(me->buttons()), playback::shiftCodeOf(me->modifiers()),
                                 me->position().x(), me->position().y());
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            lblTripOff_Click();
            return true;
        }
    }
    return PlayerForm::eventFilter(watched, event);
}
