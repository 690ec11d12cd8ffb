#include "playback/frmFloatingOneFourthMovie.h"

#include "platform/Platform.h"
#include "playback/Rotation.h"
#include "base/Convert.h"
#include "base/Guard.h"
#include "base/Random.h"
#include "runtime/Twips.h"
#include "platform/Settings.h"

using platform::MediaPlayer;
using runtime::skipOnError;
using settings::Key;
using settings::Reader;

frmFloatingOneFourthMovie::frmFloatingOneFourthMovie(const playback::Companion* companion)
    : PlayerForm(QStringLiteral("frmFloatingOneFourthMovie"), companion) {
    Timer1 = new runtime::Timer(this, QStringLiteral("Timer1"), 1, false);
    Timer3 = new runtime::Timer(this, QStringLiteral("Timer3"), 500, false);
    m_placeLater = new QTimer(this);
    m_placeLater->setSingleShot(true);
    connect(m_placeLater, &QTimer::timeout, this, &frmFloatingOneFourthMovie::applyPlace);
    createPlayer();
    if (WindowsMediaPlayer1) {
        // 120 twips from the left and top edges, small until the display mode sizes it.
        WindowsMediaPlayer1->setGeometry(place.pixels());
        connect(WindowsMediaPlayer1, &platform::MediaPlayer::Click, this, &frmFloatingOneFourthMovie::WindowsMediaPlayer1_Click);
        connect(WindowsMediaPlayer1, &platform::MediaPlayer::KeyPress, this,
                &frmFloatingOneFourthMovie::WindowsMediaPlayer1_KeyPress);
        connect(WindowsMediaPlayer1, &platform::MediaPlayer::MouseMove, this,
                &frmFloatingOneFourthMovie::WindowsMediaPlayer1_MouseMove);
    }
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &frmFloatingOneFourthMovie::motionTick);
    connect(Timer2, &QTimer::timeout, this, &frmFloatingOneFourthMovie::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &frmFloatingOneFourthMovie::Timer3_Timer);
    connect(Timer4, &QTimer::timeout, this, &frmFloatingOneFourthMovie::Timer4_Timer);
}

frmFloatingOneFourthMovie::~frmFloatingOneFourthMovie() = default;

playback::PlayerForm* frmFloatingOneFourthMovie::makeCompanion(const playback::Companion& companion) {
    return new frmFloatingOneFourthMovie(&companion);
}

void frmFloatingOneFourthMovie::Form_Load() {
    Timer4->setEnabled(true);
    setWindowState(Qt::WindowFullScreen);

    // A stored text that does not convert leaves the value as it was.
    auto flag = [](settings::FlagKey key, bool& value) {
        skipOnError([&] { value = settings::read(key, Reader::FloatingPlayer); });
    };
    auto number = [](settings::NumberKey key, int16_t& value) {
        skipOnError([&] { value = settings::read(key, Reader::FloatingPlayer); });
    };
    // The recorded size is taken as it stands, fractions and all.
    skipOnError([&] { recordedScreenWidth = runtime::textToNumber(settings::text(Key::WidthOfScreenResolution)); });
    skipOnError([&] { recordedScreenHeight = runtime::textToNumber(settings::text(Key::HeightOfScreenResolution)); });
    // On another monitor the player takes its share of that monitor.
    if (isCompanion()) {
        recordedScreenWidth = monitorGeometry().width();
        recordedScreenHeight = monitorGeometry().height();
    }
    flag(Key::ThreeQuartersScreenMode, displayModes.threeQuarters);
    flag(Key::OneHalfScreenDisplayMode, displayModes.oneHalf);
    flag(Key::OneFourthScreenDisplayMode, displayModes.oneFourth);
    flag(Key::OneEighthScreenDisplayMode, displayModes.oneEighth);
    flag(Key::OneSixteenthScreenDisplayMode, displayModes.oneSixteenth);
    playback::sizePlayer(place, displayModes, recordedScreenWidth, recordedScreenHeight);
    applyPlace();

    flag(Key::PlaySingleFile, singleFileMode);
    startUpFileName = settings::read(Key::VideoFile, Reader::StartUpName);
    bool playInRandomOrder = false;
    flag(Key::PlayInRandomOrder, playInRandomOrder);
    if (!singleFileMode) {
        skipOnError([&] {
            if (playInRandomOrder) playback::PlayRandomPick(*this);
            else playback::PlayNextInOrder(*this);
        });
    }

    skipOnError([&] { platform::windows().makeTopmost(this); });
    setGeometry(monitorGeometry());

    enterScreenSaver();

    steps = playback::FloatSteps{2, 1};

    int16_t gradOn = settings::defaultNumber(Key::GradOn, Reader::FloatingPlayer);
    int16_t fireGradInterval = settings::defaultNumber(Key::FireGradInterval, Reader::FloatingPlayer);
    number(Key::GradOn, gradOn);
    number(Key::FireGradInterval, fireGradInterval);
    number(Key::PictureTrails, pictureTrails);
    number(Key::MovieWillFloat, movieWillFloat);
    number(Key::MovingMovieSpeed, movingMovieSpeed);
    backDropColor = settings::read(Key::BackDropColor);
    skipOnError([&] { mouseSensitivity = runtime::textToInt16(settings::read(Key::MouseSensitivity)); });

    skipOnError([&] { setBackColour(pictureTrails != 0 ? runtime::textToInt32(backDropColor) : 0); });

    currentMediaPath = settings::read(Key::VideoFile);

    // Trails: what the moving player uncovers shows the back colour, not the gradient.
    if (pictureTrails == 1) setPersistentDrawing(false);

    lastDirectory = settings::read(Key::PathToLastDirectory);

    if (movieWillFloat == 0) {
        Timer1->setEnabled(false);
    } else if (movieWillFloat == 1) {
        Timer3->setEnabled(false);
        Timer1->setEnabled(true);
        skipOnError([&] { Timer1->setIntervalMs(movingMovieSpeed); });
        m_sinceMotion.start();
    }

    if (!settleMediaPath()) return;

    Timer2->setEnabled(gradOn != 0);
    skipOnError([&] { Timer2->setIntervalMs(fireGradInterval); });

    startPlaying();
    skipOnError([&] { applyMutePreference(); });
    companionLoaded();
}

namespace {
constexpr qint64 kFrameMs = 16;
} // namespace

void frmFloatingOneFourthMovie::placePlayer() {
    if (m_sincePlaced.isValid() && m_sincePlaced.elapsed() < kFrameMs) {
        if (!m_placeLater->isActive()) m_placeLater->start(int(kFrameMs - m_sincePlaced.elapsed()));
        return;
    }
    applyPlace();
}

void frmFloatingOneFourthMovie::applyPlace() {
    m_placeLater->stop();
    m_sincePlaced.start();
    if (!WindowsMediaPlayer1) return;
    const QRect from = WindowsMediaPlayer1->geometry();
    const QRect to = place.pixels();
    if (from == to) return;
    WindowsMediaPlayer1->setGeometry(to);
    playerMoved(from, to);
}

void frmFloatingOneFourthMovie::Timer1_Timer() {
    skipOnError([&] {
        playback::floatStep(place, steps, static_cast<float>(width()), static_cast<float>(height()));
        placePlayer();
    });
}

void frmFloatingOneFourthMovie::motionTick() {
    // A stall longer than this is not made up for: the player would jump.
    constexpr int kMostStepsATick = 64;
    const int interval = Timer1->interval();
    int steps = 1;
    if (m_sinceMotion.isValid() && interval > 0) {
        m_stepsDue += double(m_sinceMotion.elapsed()) / interval;
        steps = qBound(1, int(m_stepsDue), kMostStepsATick);
        m_stepsDue = qMax(0.0, qMin(m_stepsDue - steps, 1.0));
    }
    m_sinceMotion.restart();
    for (int i = 0; i < steps && Timer1->isActive(); ++i) Timer1_Timer();
}

void frmFloatingOneFourthMovie::restTimers(bool resting) {
    if (resting) {
        m_floatingBeforeRest = Timer1->isEnabled();
        Timer1->setEnabled(false);
        m_placeLater->stop();
        return;
    }
    if (!m_floatingBeforeRest) return;
    // The player moves on from where it stood: the time of the rest is no motion to make up for.
    m_stepsDue = 0;
    m_sinceMotion.restart();
    Timer1->setEnabled(true);
}

void frmFloatingOneFourthMovie::screenResized() {
    // The player keeps its share of the new size and stays inside it.
    recordedScreenWidth = width();
    recordedScreenHeight = height();
    playback::sizePlayer(place, displayModes, recordedScreenWidth, recordedScreenHeight);
    place.left = qBound(0.0f, place.left, qMax(0.0f, float(width()) - place.width));
    place.top = qBound(0.0f, place.top, qMax(0.0f, float(height()) - place.height));
    applyPlace();
    // What was drawn for the old size would show its edges: start the background anew.
    skipOnError([&] { setBackColour(pictureTrails != 0 ? runtime::textToInt32(backDropColor) : 0); });
    if (Timer2->isActive()) skipOnError([&] { drawNextGradient(); });
}

void frmFloatingOneFourthMovie::Timer3_Timer() {
    skipOnError([&] {
        const float first = runtime::Random::next();
        const float second = runtime::Random::next();
        playback::randomPlace(place, static_cast<float>(width()), static_cast<float>(height()), first, second);
        applyPlace();
    });
    withPlayer([&](platform::MediaPlayer& p) { p.play(); });
    Timer3->setEnabled(false);
}

void frmFloatingOneFourthMovie::playOn() {
    skipOnError([&] {
        if (!WindowsMediaPlayer1 || WindowsMediaPlayer1->playState() != platform::MediaPlayer::Stopped) return;
        if (singleFileMode) {
            WindowsMediaPlayer1->play();
            return;
        }
        // Standing still, each new item plays at a new place, half a second after it starts.
        if (movieWillFloat == 0) Timer3->setEnabled(true);
        pickNext();
    });
}

void frmFloatingOneFourthMovie::Timer4_Timer() {
    playOn();
    skipOnError([&] { applyMutePreference(); });
    skipOnError([&] { platform::windows().makeTopmost(this); });
}

void frmFloatingOneFourthMovie::Timer2_Timer() {
    skipOnError([&] { drawNextGradient(); });
    skipOnError([&] { platform::windows().makeTopmost(this); });
}

void frmFloatingOneFourthMovie::endScreenSaver() {
    unloadEditor();
    stopAndClose();
    Unload();
}

void frmFloatingOneFourthMovie::Form_Click() { endScreenSaver(); }
void frmFloatingOneFourthMovie::Form_KeyPress(int) { endScreenSaver(); }
void frmFloatingOneFourthMovie::WindowsMediaPlayer1_Click() { endScreenSaver(); }
void frmFloatingOneFourthMovie::WindowsMediaPlayer1_KeyPress(int) { endScreenSaver(); }

void frmFloatingOneFourthMovie::Form_MouseMove(int, int, double x, double y) {
    bool ends = false;
    skipOnError([&] { ends = pointerMovedFar(mapToGlobal(QPointF(x, y))); });
    if (ends) endScreenSaver();
}

// The player floats under the pointer: only the pointer's own moves count, measured on the desktop.
void frmFloatingOneFourthMovie::WindowsMediaPlayer1_MouseMove(int, int, int x, int y) {
    bool ends = false;
    skipOnError([&] { ends = WindowsMediaPlayer1 && pointerMovedFar(WindowsMediaPlayer1->mapToGlobal(QPointF(x, y))); });
    if (ends) endScreenSaver();
}

void frmFloatingOneFourthMovie::Form_Unload() {
    Timer1->setEnabled(false);
    m_placeLater->stop();
    Timer3->setEnabled(false);
    if (leaveAsCompanion()) return;
    leaveScreenSaver();
    // Kept for whoever wants to know where the player was; the program itself never reads them.
    skipOnError([&] {
        settings::save(Key::AMoviePositionTopWhenClosedFourth, QString::number(double(place.top), 'g', 7));
    });
    skipOnError([&] {
        settings::save(Key::AMoviePositionLeftWhenClosedFourth, QString::number(double(place.left), 'g', 7));
    });
    unloadEditor();
    stopAndClose();
    // The program ends when no form is left, or after the missing-media message.
}

void frmFloatingOneFourthMovie::Form_Terminate() {
    if (!isCompanion()) unloadEditor();
}
