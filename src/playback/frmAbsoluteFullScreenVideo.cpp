#include "playback/frmAbsoluteFullScreenVideo.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include "platform/Platform.h"
#include "playback/Gradient.h"
#include "playback/Rotation.h"
#include "base/Convert.h"
#include "base/Guard.h"
#include "base/RuntimeError.h"
#include "runtime/Twips.h"
#include "platform/Settings.h"
#include "platform/SystemServices.h"

using runtime::skipOnError;
using settings::Key;

using playback::screenSizeInPixels;

frmAbsoluteFullScreenVideo::frmAbsoluteFullScreenVideo(const playback::Companion* companion)
    : PlayerForm(QStringLiteral("frmAbsoluteFullScreenVideo"), companion) {
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
        connect(WindowsMediaPlayer1, &platform::MediaPlayer::Click, this,
                &frmAbsoluteFullScreenVideo::WindowsMediaPlayer1_Click);
        connect(WindowsMediaPlayer1, &platform::MediaPlayer::KeyPress, this,
                &frmAbsoluteFullScreenVideo::WindowsMediaPlayer1_KeyPress);
        connect(WindowsMediaPlayer1, &platform::MediaPlayer::MouseDown, this,
                &frmAbsoluteFullScreenVideo::WindowsMediaPlayer1_MouseDown);
        connect(WindowsMediaPlayer1, &platform::MediaPlayer::MouseMove, this,
                &frmAbsoluteFullScreenVideo::WindowsMediaPlayer1_MouseMove);
    }
    connect(Timer4, &QTimer::timeout, this, &frmAbsoluteFullScreenVideo::Timer4_Timer);
    connect(Timer2, &QTimer::timeout, this, &frmAbsoluteFullScreenVideo::Timer2_Timer);
}

frmAbsoluteFullScreenVideo::~frmAbsoluteFullScreenVideo() = default;

playback::PlayerForm* frmAbsoluteFullScreenVideo::makeCompanion(const playback::Companion& companion) {
    return new frmAbsoluteFullScreenVideo(&companion);
}

void frmAbsoluteFullScreenVideo::Form_Load() {
    Timer4->setEnabled(true);
    setWindowState(Qt::WindowFullScreen);
    setGeometry(monitorGeometry());
    // The player covers the screen from the start, not only from the first poll a second later.
    withPlayer([&](platform::MediaPlayer& p) { p.setGeometry(QRect(QPoint(0, 0), monitorGeometry().size())); });

    skipOnError([&] { singleFileMode = settings::read(Key::PlaySingleFile); });
    startUpFileName = settings::read(Key::VideoFile, settings::Reader::StartUpName);
    skipOnError([&] { playInRandomOrder = settings::read(Key::PlayInRandomOrder); });
    skipOnError([&] { reactToPlayerMouse = settings::read(Key::DoNotIgnoreMouseMovent); });

    skipOnError([&] {
        if (playInRandomOrder) playback::PlayRandomPick(*this);
        else playback::PlayNextInOrder(*this);
    });

    platform::windows().makeTopmost(this);

    enterScreenSaver();

    // A stored text that does not convert leaves the default.
    int16_t gradOn = settings::defaultNumber(Key::GradOn);
    int16_t fireGradInterval = settings::defaultNumber(Key::FireGradInterval);
    skipOnError([&] { gradOn = settings::read(Key::GradOn); });
    skipOnError([&] { fireGradInterval = settings::read(Key::FireGradInterval); });

    currentMediaPath = settings::read(Key::VideoFile);

    lastDirectory = settings::read(Key::PathToLastDirectory);
    backDropColor = settings::read(Key::BackDropColor);
    skipOnError([&] { mouseSensitivity = runtime::textToInt16(settings::read(Key::MouseSensitivity)); });

    if (!settleMediaPath()) return;

    skipOnError([&] { setBackColour(runtime::textToInt32(backDropColor)); });
    if (gradOn != 0) {
        Timer2->setEnabled(true);
        setBackColour(0);
    } else {
        Timer2->setEnabled(false);
    }

    lblTripOff->setGeometry(QRect(QPoint(0, 0), monitorGeometry().size()));
    skipOnError([&] { Timer2->setIntervalMs(fireGradInterval); });

    startPlaying();
    skipOnError([&] { applyMutePreference(); });
    companionLoaded();
}

void frmAbsoluteFullScreenVideo::playOn() {
    skipOnError([&] {
        if (!WindowsMediaPlayer1 || WindowsMediaPlayer1->playState() != platform::MediaPlayer::Stopped) return;
        if (singleFileMode) WindowsMediaPlayer1->play();
        else pickNext();
    });
}

void frmAbsoluteFullScreenVideo::Timer4_Timer() {
    playOn();
    withPlayer([&](platform::MediaPlayer& p) { p.setGeometry(QRect(QPoint(0, 0), monitorGeometry().size())); });
    skipOnError([&] { applyMutePreference(); });
    skipOnError([&] { platform::windows().makeTopmost(this); });
}

void frmAbsoluteFullScreenVideo::screenResized() {
    withPlayer([&](platform::MediaPlayer& p) { p.setGeometry(rect()); });
    lblTripOff->setGeometry(rect());
    // The gradient drawn for the old size would show its edge.
    if (Timer2->isActive()) Timer2_Timer();
}

void frmAbsoluteFullScreenVideo::Timer2_Timer() {
    // A new back colour erases the last gradient.
    skipOnError([&] { setBackColour(0); });
    skipOnError([&] { drawNextGradient(); });
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
    skipOnError([&] { ends = pointerMovedFar(mapToGlobal(QPointF(x, y))); });
    if (ends) endFromMouseMove();
}

void frmAbsoluteFullScreenVideo::lblTripOff_MouseMove(int, int, double x, double y) {
    bool ends = false;
    skipOnError([&] { ends = pointerMovedFar(lblTripOff->mapToGlobal(QPointF(x, y))); });
    if (ends) endFromMouseMove();
}

void frmAbsoluteFullScreenVideo::lblTripOff_Click() {
    withPlayer([&](platform::MediaPlayer& p) { p.stop(); });
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
    skipOnError([&] { ends = pointerMovedFar(WindowsMediaPlayer1->mapToGlobal(QPointF(x, y))); });
    if (ends) {
        stopByName();
        Unload();
    }
}

void frmAbsoluteFullScreenVideo::passwordRefused() {
    withPlayer([&](platform::MediaPlayer& p) { p.play(); });
    withPlayer([&](platform::MediaPlayer& p) { p.ZOrder(); });
}

void frmAbsoluteFullScreenVideo::Form_Unload() {
    if (leaveAsCompanion()) return;
    leaveScreenSaver();
    unloadEditor();
    stopAndClose();
    if (!endedForMissingMedia()) platform::process().endProgram(0);
}

void frmAbsoluteFullScreenVideo::Form_Terminate() {
    if (isCompanion()) return;
    unloadEditor();
    if (!endedForMissingMedia()) platform::process().endProgram(0);
}

bool frmAbsoluteFullScreenVideo::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && isLoaded()) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    if (watched == lblTripOff) {
        if (event->type() == QEvent::MouseMove) {
            auto* me = static_cast<QMouseEvent*>(event);
            const QPointF at = lblTripOff->mapFromGlobal(me->globalPosition());
            lblTripOff_MouseMove(platform::buttonCodeOf(me->buttons()), platform::shiftCodeOf(me->modifiers()),
                                 at.x(), at.y());
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::Wheel) {
            lblTripOff_Click();
            return true;
        }
    }
    return PlayerForm::eventFilter(watched, event);
}
