#include "playback/PlayerForm.h"

#include <QCursor>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include "platform/Platform.h"
#include "playback/Gradient.h"
#include "playback/Rotation.h"
#include "playlist/PlayList.h"
#include "base/Convert.h"
#include "base/Guard.h"
#include "runtime/Twips.h"
#include "platform/Settings.h"
#include "platform/SystemServices.h"

using runtime::skipOnError;

namespace playback {

QSize screenSizeInPixels() {
    const int32_t w = runtime::toInt32(runtime::screenWidthTwips()) / runtime::toInt32(runtime::twipsPerPixelX());
    const int32_t h = runtime::toInt32(runtime::screenHeightTwips()) / runtime::toInt32(runtime::twipsPerPixelY());
    return QSize(w, h);
}

PlayerForm::PlayerForm(const QString& name, const Companion* companion) : Form(name) {
    if (companion && companion->lead) {
        m_isCompanion = true;
        m_lead = companion->lead;
        m_monitor = companion->monitor;
        m_use = companion->use;
        companion->lead->m_companions << this;
    }
    setWindowTitle(QStringLiteral("Screen Saver Main Form"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    // The background is painted here, from the back colour and the drawing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);

    Timer4 = new runtime::Timer(this, QStringLiteral("Timer4"), 1000, false);
    Timer2 = new runtime::Timer(this, QStringLiteral("Timer2"), 0, false);
    // Made before its window exists, so the window is made to stay above everything from the start.
    skipOnError([&] {
        if (platform::current().windows && platform::windows().screenHeld())
            platform::windows().holdWindow(this, !m_isCompanion);
    });
    // Also for a window manager that places a full-screen window on the monitor it belongs to.
    if (m_monitor) setScreen(m_monitor);
}

PlayerForm::~PlayerForm() = default;

QList<PlayerForm*> PlayerForm::runForms() {
    PlayerForm* lead = m_isCompanion ? m_lead.data() : this;
    QList<PlayerForm*> forms;
    if (!lead) return forms;
    forms << lead;
    for (const QPointer<PlayerForm>& c : std::as_const(lead->m_companions))
        if (c && c->isLoaded()) forms << c.data();
    return forms;
}

std::pair<int, int> PlayerForm::placeInRun() {
    PlayerForm* lead = m_isCompanion ? m_lead.data() : this;
    if (!lead) return {0, 1};
    int place = 0, monitors = 1;
    for (const QPointer<PlayerForm>& c : std::as_const(lead->m_companions)) {
        if (!c || c->isUnloading()) continue;
        if (c.data() == this) place = monitors;
        ++monitors;
    }
    return {place, monitors};
}

QRect PlayerForm::monitorGeometry() const {
    if (!m_isCompanion) return QRect(runtime::screenOrigin(), screenSizeInPixels());
    return m_monitor ? m_monitor->geometry() : geometry();
}

void PlayerForm::followMonitor() {
    if (!m_monitor) return;
    setScreen(m_monitor);
    setGeometry(m_monitor->geometry());
    skipOnError([&] { screenResized(); });
}

bool PlayerForm::leaveAsCompanion() {
    if (!m_isCompanion) return false;
    Timer4->setEnabled(false);
    Timer2->setEnabled(false);
    stopAndClose();
    return true;
}

void PlayerForm::companionLoaded() {
    if (!m_isCompanion || !m_lead) return;
    // One gradient on every monitor: each new one the lead draws is drawn here too, at this size.
    m_gradientOn = Timer2->isEnabled();
    Timer2->setEnabled(false);
    connect(m_lead, &PlayerForm::backgroundChanged, this, [this] {
        if (m_gradientOn && isLoaded() && m_lead && m_lead->gradientShown()) skipOnError([&] { gradientTick(); });
    });
    if (m_gradientOn && m_lead->gradientShown()) skipOnError([&] { gradientTick(); });
    // A mirror is never stopped by itself: it learns of the lead's next item from the lead.
    if (WindowsMediaPlayer1 && WindowsMediaPlayer1->isMirror() && m_lead->WindowsMediaPlayer1)
        connect(m_lead->WindowsMediaPlayer1, &platform::MediaPlayer::endOfMedia, this, [this] {
            if (isLoaded() && !singleFileMode) skipOnError([&] { leadMovedOn(); });
        });
}

void PlayerForm::createPlayer() {
    // The same picture on another monitor comes from the lead's decoding where it can be shared.
    if (m_isCompanion && m_use == MonitorUse::Same && m_lead && m_lead->WindowsMediaPlayer1)
        WindowsMediaPlayer1 = m_lead->WindowsMediaPlayer1->createMirror(this);
    if (!WindowsMediaPlayer1) WindowsMediaPlayer1 = platform::media().createPlayer(this);
    if (!WindowsMediaPlayer1) return;
    WindowsMediaPlayer1->setObjectName(QStringLiteral("WindowsMediaPlayer1"));
    WindowsMediaPlayer1->setMouseTracking(true);
    connect(WindowsMediaPlayer1, &platform::MediaPlayer::endOfMedia, this, [this] {
        constexpr int kMostQuickStepsPerSecond = 4;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (now - m_quickStepsSince >= 1000 || now < m_quickStepsSince) {
            m_quickStepsSince = now;
            m_quickSteps = 0;
        }
        if (++m_quickSteps > kMostQuickStepsPerSecond || !isLoaded() || !Timer4->isEnabled()) return;
        playOn();
    });
}

void PlayerForm::setBackColour(int32_t colour) {
    m_backColour = QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, m_backColour);
    setPalette(pal);
    m_drawing = QImage();
    m_gradient.reset();
    update();
    emit backgroundChanged();
}

QColor PlayerForm::backColour() const { return m_backColour; }

QImage& PlayerForm::drawingSurface() {
    if (m_drawing.size() != size()) {
        QImage fresh(size(), QImage::Format_RGB32);
        fresh.fill(m_backColour);
        if (!m_drawing.isNull()) {
            QPainter p(&fresh);
            p.drawImage(0, 0, m_drawing);
        }
        m_drawing = fresh;
    }
    return m_drawing;
}

void PlayerForm::fillBackground(const QRect& rect, const QColor& colour) {
    const QRect r = rect.intersected(this->rect());
    if (r.isEmpty()) return;
    QPainter p(&drawingSurface());
    p.fillRect(r, colour);
    update(r);
}

void PlayerForm::playerMoved(const QRect& from, const QRect& to) {
    if (m_persistentDrawing || m_drawing.isNull()) return;
    const QRegion uncovered = QRegion(from) - QRegion(to);
    QPainter p(&m_drawing);
    for (const QRect& r : uncovered) p.fillRect(r, m_backColour);
}

void PlayerForm::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    for (const QRect& r : event->region()) {
        if (m_drawing.isNull()) p.fillRect(r, m_backColour);
        else p.drawImage(r, m_drawing, r);
    }
}

void PlayerForm::resizeEvent(QResizeEvent* event) {
    Form::resizeEvent(event);
    if (!m_drawing.isNull()) drawingSurface();
}

void PlayerForm::restWhileMonitorsSleep(bool resting) {
    if (resting == m_resting || !isLoaded() || isUnloading()) return;
    m_resting = resting;
    withPlayer([&](platform::MediaPlayer& p) { p.setResting(resting); });
    // The gradient, and the once-a-second watch (the item played on, the mute preference read from the
    // settings file, the window raised): nothing of it shows or sounds while every monitor is off.
    if (resting) {
        m_gradientBeforeRest = Timer2->isEnabled();
        m_watchBeforeRest = Timer4->isEnabled();
        Timer2->setEnabled(false);
        Timer4->setEnabled(false);
    } else {
        if (m_gradientBeforeRest) Timer2->setEnabled(true);
        if (m_watchBeforeRest) Timer4->setEnabled(true);
    }
    // The look at the pointer stands in for events that fail to come. At rest it waits: a move turns
    // a monitor on, the rest ends within half a second, and the look then sees the move.
    if (m_pointerCheck && resting)
        m_pointerCheck->stop();
    else if (m_pointerCheck)
        m_pointerCheck->start();
    skipOnError([&] { restTimers(resting); });
}

void PlayerForm::applyMutePreference() {
    mutePreference = settings::read(settings::Key::ScreensaverSoundMutePreference);
    if (!WindowsMediaPlayer1) return;
    // One sound for the run: the primary monitor's.
    if (m_isCompanion) return WindowsMediaPlayer1->setMute(true);
    if (mutePreference == 0) WindowsMediaPlayer1->setMute(false);
    else if (mutePreference == 1) WindowsMediaPlayer1->setMute(true);
}

void PlayerForm::pickNext() {
    if (settings::read(settings::Key::PlayInRandomOrder))
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

bool PlayerForm::pointerMovedFar(const QPointF& global) {
    PlayerForm* owner = m_isCompanion && m_lead ? m_lead.data() : this;
    if (!owner->m_pointer.movedFar(global.x(), global.y(), owner->mouseSensitivity)) return false;
    // A monitor that goes away takes the desktop's edge with it, and the server moves the pointer
    // inside what is left before the program hears of the change: that move is nobody's.
    const QSize now = platform::windows().desktopSizeNow();
    if (now == owner->m_desktopSize) return true;
    owner->m_desktopSize = now;
    owner->m_pointer.set(global.x(), global.y());
    return false;
}

bool PlayerForm::Form_QueryUnload() {
    if (m_isCompanion) {
        if (m_released || !m_lead || !m_lead->isLoaded()) return true;
        // Input here ends the run as input on the primary monitor does, password and all; this form
        // goes when the lead does.
        QPointer<PlayerForm> lead = m_lead;
        QTimer::singleShot(0, lead, [lead] {
            if (lead && lead->isLoaded() && !lead->isUnloading()) lead->Form_Click();
        });
        return false;
    }
    if (!passwordInForce()) return true;
    while (platform::windows().showCursor(true) <= 50) {
    }
    const int16_t verified = platform::passwords().verifyScreenSavePassword(this);
    if (verified != 0) return true;
    hidePointer();
    passwordRefused();
    for (const QPointer<PlayerForm>& c : std::as_const(m_companions))
        if (c && c->isLoaded()) skipOnError([&] { c->passwordRefused(); });
    return false;
}

void PlayerForm::enterScreenSaver() {
    if (m_isCompanion) {
        // The lead asks for the password and tells the system the screen saver runs.
        hidePointer();
        return;
    }
    passwordFlag = readPasswordFlag();
    ReadPlatformId();
    skipOnError([&] {
        if (passwordInForce()) platform::windows().setScreenSaverRunning(true);
    });
    hidePointer();
    skipOnError([&] {
        if (!platform::windows().screenHeld()) return;
        // Where the pointer rested as the run began: a move from there ends it, even one that reaches
        // the program merged with others or before a window was shown.
        if (const auto at = platform::windows().pointerAtHold()) m_pointer.set(at->x(), at->y());
        m_desktopSize = platform::windows().desktopSizeNow();
        // After a change of monitors the next move is measured on the new desktop, from where the
        // server has put the pointer in it.
        auto follow = [this] {
            m_desktopSize = platform::windows().desktopSizeNow();
            if (!m_pointer.isSet()) return;
            const QPoint at = QCursor::pos();
            m_pointer.set(at.x(), at.y());
        };
        connect(qApp, &QGuiApplication::screenAdded, this, follow);
        connect(qApp, &QGuiApplication::screenRemoved, this, follow);
        if (QScreen* primary = QGuiApplication::primaryScreen())
            connect(primary, &QScreen::virtualGeometryChanged, this, follow);
        // Pointer events can fail to come (a window the server reports them to went with a monitor,
        // say), so the pointer is also looked at now and then.
        m_pointerCheck = new QTimer(this);
        m_pointerCheck->setInterval(250);
        m_pointerCheck->setTimerType(Qt::CoarseTimer);
        connect(m_pointerCheck, &QTimer::timeout, this, [this] {
            if (!isLoaded() || isUnloading() || !isVisible() || !pointerCheckCounts()) return;
            const QPointF at = mapFromGlobal(QPointF(QCursor::pos()));
            skipOnError([&] { Form_MouseMove(0, 0, at.x(), at.y()); });
        });
        m_pointerCheck->start();
    });
}

void PlayerForm::endForMissingMedia() {
    m_missingMedia = true;
    Unload();
    platform::dialogs().messageBox(
        QStringLiteral("There are no multimedia files selected. It will be necessary to click the Display "
                       "Properties 'Settings...' button again and select a video or sound file."),
        64, QStringLiteral("Larkspur Software") + QStringLiteral(" Video Screensaver"));
    platform::process().endProgram(0);
}

bool PlayerForm::settleMediaPath() {
    if (!currentMediaPath.isEmpty()) return true;
    // Restore Defaults stores it empty. The play list still takes over in play-list mode, as it does
    // from any stored file.
    currentMediaPath = defaultMediaPath();
    startUpFileName = currentMediaPath;
    if (!singleFileMode || QFileInfo(currentMediaPath).isFile()) return true;
    endForMissingMedia();
    return false;
}

void PlayerForm::startPlaying() {
    // With no file stored, a play list with entries plays its own from the first item on: the user
    // never chose the default clip. In order it starts where it does after a stored file; at random
    // the pick made at load stands.
    bool listFirst = false;
    skipOnError([&] { listFirst = !singleFileMode && currentMediaPath != startUpFileName && playList().count() > 0; });
    if (listFirst) {
        withPlayer([&](platform::MediaPlayer& p) { p.setLooping(false); });
        skipOnError([&] {
            if (!settings::read(settings::Key::PlayInRandomOrder)) PlayNextInOrder(*this);
        });
        return;
    }
    withPlayer([&](platform::MediaPlayer& p) {
        p.setLooping(singleFileMode);
        p.setURL(currentMediaPath);
    });
    skipOnError([&] {
        if (!singleFileMode && WindowsMediaPlayer1 && WindowsMediaPlayer1->URL() == startUpFileName)
            PlayNextInOrder(*this);
    });
}

void PlayerForm::leaveScreenSaver() {
    if (m_pointerCheck) m_pointerCheck->stop();
    Timer4->setEnabled(false);
    Timer2->setEnabled(false);
    skipOnError([] { platform::windows().endScreenHold(); });
    skipOnError([&] { restorePointer(); });
    skipOnError([&] {
        if (passwordInForce()) platform::windows().setScreenSaverRunning(false);
    });
}

void PlayerForm::drawNextGradient() {
    auto level = [](settings::TextKey key) { return runtime::textToInt16(settings::read(key)); };
    const int16_t red = level(settings::Key::Red_Level);
    const int16_t green = level(settings::Key::Green_Level);
    const int16_t blue = level(settings::Key::Blue_Level);
    // Companions draw the lead's gradient, for the same colours on every monitor.
    const StartColour start = m_isCompanion && m_lead && m_lead->gradientShown() ? *m_lead->gradientShown()
                                                                                  : nextGradientColour(red, green, blue);
    DrawGradient(this, start.red, start.green, start.blue, true);
    m_gradient = start;
    emit backgroundChanged();
}

void PlayerForm::stopByName() {
    withPlayer([&](platform::MediaPlayer& p) { p.invoke(QStringLiteral("stop")); });
}

void PlayerForm::unloadEditor() {
    skipOnError([] { forgetPlayList(); });
}

void PlayerForm::stopAndClose() {
    withPlayer([&](platform::MediaPlayer& p) { p.stop(); });
    withPlayer([&](platform::MediaPlayer& p) { p.closeMedia(); });
}

void PlayerForm::mouseMoveEvent(QMouseEvent* event) {
    // From where X saw the pointer, not where a window that has moved since would put it.
    const QPointF p = mapFromGlobal(event->globalPosition());
    Form_MouseMove(platform::buttonCodeOf(event->buttons()), platform::shiftCodeOf(event->modifiers()), p.x(), p.y());
}

// Any button ends the screen saver, and so does a turn of the wheel.
void PlayerForm::mouseReleaseEvent(QMouseEvent*) { Form_Click(); }
void PlayerForm::wheelEvent(QWheelEvent* event) {
    event->accept();
    Form_Click();
}

void PlayerForm::keyPressEvent(QKeyEvent* event) {
    event->accept();
    Form_KeyPress(platform::keyAsciiOf(event));
}

void PlayerForm::showEvent(QShowEvent* event) {
    Form::showEvent(event);
    // Inside a screen-saver daemon's window the keyboard stays the daemon's.
    if (testAttribute(Qt::WA_ShowWithoutActivating)) return;
    activateWindow();
}

} // namespace playback
