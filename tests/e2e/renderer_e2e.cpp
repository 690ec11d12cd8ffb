// The built program on each surface LUMORA_RENDER asks for: what the screen shows, what it says on
// stderr about its choice, and its end on a mouse move.
#include "ScreenTest.h"
#include "platform/mpv/SoundOutput.h"
#include "support/Clips.h"
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

using e2e::ProgramRun;
using e2e::X11Session;
using platform::mpv::SoundDevices;

namespace {

struct Case {
    const char* value;   // LUMORA_RENDER
    const char* choice;  // the line the program writes
    const char* warning; // and the one before it, or ""
};

void PrintTo(const Case& c, std::ostream* os) { *os << "LUMORA_RENDER=" << c.value; }

class Rendering : public e2e::ScreenTest, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        if (HasFatalFailure()) return;
        pointAt(5, 5);
    }
};

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.value;
}

// Full screen on the quadrants clip.
bool quadrantsFullScreen(ProgramRun& run) {
    const QString clip = testsupport::makeClip(run.mediaFolder(), QStringLiteral("quadrants.mpg"),
                                               testsupport::ClipKind::Quadrants, 10.0);
    run.writeSettings({keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                       keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                       keyLine(Key::VideoFile, clip)});
    return !clip.isEmpty();
}

// The colours of the screen's four corners, and what they are with the quadrants stretched over it.
QStringList cornerColours(X11Session& x) {
    const QImage s = x.grabScreen();
    return QStringList{e2e::colourName(s.pixel(3, 3)), e2e::colourName(s.pixel(1276, 3)),
                       e2e::colourName(s.pixel(3, 1020)), e2e::colourName(s.pixel(1276, 1020))};
}
const QStringList kQuadrants{QStringLiteral("red"), QStringLiteral("blue"), QStringLiteral("green"),
                             QStringLiteral("white")};

} // namespace

TEST_P(Rendering, FullScreenShowsTheWholePictureSaysHowOnceAndEndsOnAMouseMove) {
    ProgramRun run;
    ASSERT_TRUE(quadrantsFullScreen(run));
    run.setEnvironment(QStringLiteral("LUMORA_RENDER"), QString::fromLatin1(GetParam().value));
    run.captureErrors();
    x().xdotool({QStringLiteral("mousemove"), QStringLiteral("600"), QStringLiteral("500")});
    run.start(QStringLiteral("/s"));

    // The four quadrants reach the four corners of the screen: stretched from 4:3 to 5:4, upright.
    auto corners = [&] { return cornerColours(x()); };
    const int shown = e2e::waitUntil([&] { return corners() == kQuadrants; }, 8000);
    x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-render-%1.png").arg(QLatin1String(GetParam().value)));
    EXPECT_GE(shown, 0) << corners().join(' ').toStdString();
    // The quadrants meet at the centre.
    const QImage screen = x().grabScreen();
    EXPECT_EQ(e2e::colourName(screen.pixel(630, 502)), "red");
    EXPECT_EQ(e2e::colourName(screen.pixel(650, 522)), "white");

    // Jitter within the sensitivity is no move; 20 pixels from where the pointer rested is.
    x().xdotool({QStringLiteral("mousemove"), QStringLiteral("602"), QStringLiteral("498")});
    // A stretch of time in which a move would have ended the run.
    QThread::msleep(300);
    ASSERT_EQ(run.process().state(), QProcess::Running);
    x().xdotool({QStringLiteral("mousemove"), QStringLiteral("620"), QStringLiteral("500")});
    const int ended = run.waitForEnd(3000);
    ASSERT_GE(ended, 0);
    EXPECT_LE(ended, 1000);
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process().exitCode(), 0);

    const QString errors = run.errors();
    EXPECT_EQ(errors.count(QStringLiteral("lumora: rendering ")), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QString::fromLatin1(GetParam().choice))) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QString::fromLatin1(GetParam().warning))) << errors.toStdString();
    EXPECT_FALSE(errors.contains(QStringLiteral("failed"))) << errors.toStdString();
    // At depth 24 software frames go from shared memory, not through images.
    EXPECT_FALSE(errors.contains(QStringLiteral("painted from images"))) << errors.toStdString();
}

// On a machine with no sound device and no graphics card, a run's only line on stderr says how it
// renders: no sound library, hardware decoder or Qt has anything to say, whether the run is muted,
// plays its sound, or runs inside a daemon's window.
class QuietRun : public e2e::ScreenTest {};

TEST_F(QuietRun, WithoutSoundDeviceOrGraphicsCardTheOnlyLineOnStderrIsHowItRenders) {
    struct Run {
        const char* what;
        const char* mute; // the sound dialog's setting
        QStringList arguments;
        bool runtimeFolder = true; // the session names one (XDG_RUNTIME_DIR)
    };
    const Run runs[] = {
        {"muted", "1", {QStringLiteral("/s")}},
        {"with sound", "0", {QStringLiteral("/s")}},
        // A daemon's window: without --sound, whatever the settings say.
        {"hack mode", "0", {QStringLiteral("--root"), QStringLiteral("--playlist")}},
        // Started from a session without logind, as from a bare X session's start-up file.
        {"no runtime folder", "1", {QStringLiteral("/s")}, false},
    };
    for (const Run& r : runs) {
        SCOPED_TRACE(r.what);
        x().xdotool({QStringLiteral("mousemove"), QStringLiteral("5"), QStringLiteral("5")});
        ProgramRun run;
        if (!r.runtimeFolder) run.removeEnvironment(QStringLiteral("XDG_RUNTIME_DIR"));
        const SoundDevices devices = platform::mpv::findSoundDevices(run.environment());
        if (devices.pipewire || devices.pulse || devices.alsa || devices.jack)
            GTEST_SKIP() << "this machine has something to play sound on";
        // Two clips with sound, one as a camera makes them.
        const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mp4"),
                                                {QStringLiteral("red")}, 1.5, true);
        const QString blue = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/blue.mpg"),
                                                 {QStringLiteral("blue")}, 1.5, true);
        ASSERT_FALSE(red.isEmpty() || blue.isEmpty());
        run.writePlayList({red, blue});
        run.writeSettings({keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                           keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                           keyLine(Key::PlaySingleFile, QStringLiteral("False")),
                           keyLine(Key::VideoFile, red),
                           keyLine(Key::ScreensaverSoundMutePreference) + QLatin1String(r.mute)});
        run.captureErrors();
        QProcess& p = run.startWith(r.arguments);

        // Each clip plays, and the first again after the second.
        QStringList seen;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000 && p.state() == QProcess::Running && seen.size() < 3) {
            const QString colour = e2e::colourName(x().pixel(640, 512));
            if ((colour == QStringLiteral("red") || colour == QStringLiteral("blue")) &&
                (seen.isEmpty() || seen.last() != colour))
                seen << colour;
            // The step of the sampling: the colours are watched as they come.
            QThread::msleep(40);
        }
        ASSERT_EQ(p.state(), QProcess::Running) << "exit code " << p.exitCode();
        EXPECT_EQ(seen.size(), 3) << seen.join(' ').toStdString();

        if (r.arguments.first() == QStringLiteral("/s")) x().xdotool({QStringLiteral("key"), QStringLiteral("x")});
        else p.terminate();
        ASSERT_GE(run.waitForEnd(3000), 0);
        EXPECT_EQ(p.exitCode(), 0);
        const QStringList lines = run.errors().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 1) << run.errors().toStdString();
        EXPECT_TRUE(lines.first().startsWith(QStringLiteral("lumora: rendering in software ("))) << lines.first().toStdString();
    }
}

// A screen of 16-bit pixels cannot show the 32-bit frames drawn into memory shared with the server:
// they are painted from images instead, in their own colours, and the program says so once.
TEST(ScreenDepth, SixteenBitPixelsShowTheRightColoursFromImages) {
    std::unique_ptr<X11Session> x = X11Session::ownServer(16);
    ASSERT_TRUE(x->ok());
    ProgramRun run;
    ASSERT_TRUE(quadrantsFullScreen(run));
    run.setEnvironment(QStringLiteral("DISPLAY"), x->display());
    run.captureErrors();
    run.start(QStringLiteral("/s"));

    auto corners = [&] { return cornerColours(*x); };
    const int shown = e2e::waitUntil([&] { return corners() == kQuadrants; }, 8000);
    x->savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-render-depth16.png"));
    EXPECT_GE(shown, 0) << corners().join(' ').toStdString();

    x->xdotool({QStringLiteral("key"), QStringLiteral("x")});
    ASSERT_GE(run.waitForEnd(3000), 0);
    EXPECT_EQ(run.process().exitCode(), 0);
    const QString errors = run.errors();
    EXPECT_EQ(errors.count(QStringLiteral("lumora: software frames are painted from images (the X server's screen "
                                          "has depth 16, not 24 or 32)\n")),
              1)
        << errors.toStdString();
}

// Phones store portrait videos turned and mark them so: each plays upright, filling the screen, and
// the play list goes on after them.
TEST_P(Rendering, VideosMarkedAsTurnedPlayUprightAndThePlayListGoesOn) {
    ProgramRun run;
    using testsupport::ClipKind;
    const QString turned90 = testsupport::makeClip(run.mediaFolder(), QStringLiteral("portrait 90.mp4"),
                                                   ClipKind::QuadrantsTurned90, 2.5);
    const QString turned270 = testsupport::makeClip(run.mediaFolder(), QStringLiteral("portrait 270.mp4"),
                                                    ClipKind::QuadrantsTurned270, 2.5);
    const QString red =
        e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mpg"), {QStringLiteral("red")}, 30);
    ASSERT_FALSE(turned90.isEmpty() || turned270.isEmpty() || red.isEmpty());
    // The stored single file starts the list at its second entry.
    run.writePlayList({red, turned90, turned270, red});
    run.writeSettings({keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                       keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                       keyLine(Key::PlaySingleFile, QStringLiteral("False")), keyLine(Key::VideoFile, red)});
    run.setEnvironment(QStringLiteral("LUMORA_RENDER"), QString::fromLatin1(GetParam().value));
    run.start(QStringLiteral("/s"));

    auto corners = [&] {
        const QImage s = x().grabScreen();
        return QStringList{e2e::colourName(s.pixel(3, 3)), e2e::colourName(s.pixel(1276, 3)),
                           e2e::colourName(s.pixel(3, 1020)), e2e::colourName(s.pixel(1276, 1020))}
            .join(QLatin1Char(' '));
    };
    // Top left, top right, bottom left, bottom right.
    const QString upright90 = QStringLiteral("blue white red green");
    const QString upright270 = QStringLiteral("green red white blue");
    const QString allRed = QStringLiteral("red red red red");
    QStringList seen;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000 && run.process().state() == QProcess::Running && !seen.contains(allRed)) {
        const QString c = corners();
        if ((c == upright90 || c == upright270 || c == allRed) && (seen.isEmpty() || seen.last() != c))
            seen << c;
        // The step of the sampling: the corners are watched as they come.
        QThread::msleep(40);
    }
    ASSERT_EQ(run.process().state(), QProcess::Running) << "exit code " << run.process().exitCode();
    EXPECT_EQ(seen, (QStringList{upright90, upright270, allRed}));

    x().xdotool({QStringLiteral("key"), QStringLiteral("x")});
    ASSERT_GE(run.waitForEnd(3000), 0);
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process().exitCode(), 0);
}

// Xvfb's OpenGL is Mesa's llvmpipe: chosen only when forced. Xvfb offers no direct rendering, so
// the program does not even ask which renderer it has.
INSTANTIATE_TEST_SUITE_P(
    LumoraRender, Rendering,
    ::testing::Values(Case{"opengl", "lumora: rendering with OpenGL (renderer: llvmpipe", ""},
                      Case{"software", "lumora: rendering in software (forced by LUMORA_RENDER)", ""},
                      Case{"bogus", "lumora: rendering in software (the X server offers no direct rendering",
                           "LUMORA_RENDER=bogus is neither software nor opengl"}),
    caseName);
