#include "ScreenTest.h"
#include "support/TestFiles.h"
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QThread>
#include <gtest/gtest.h>

using e2e::colourBox;
using e2e::colourName;
using e2e::ProgramRun;
using e2e::waitUntil;
using e2e::X11Session;

namespace {

const QString kMessageTitle = QStringLiteral("Larkspur Software Video Screensaver");

class Floating : public e2e::PointerInCornerTest {
protected:
    bool running(ProgramRun& run) { return run.process().state() == QProcess::Running; }
    bool mainFormShown() {
        for (const auto& w : x().mappedWindowsNamed(kMainForm))
            if (w.geometry == QRect(0, 0, 1280, 1024)) return true;
        return false;
    }
    // The program with its data folder (default clip) beside it.
    void withData(ProgramRun& run) {
        QFile::link(QStringLiteral(LUMORA_BINARY_DIR "/data"), run.programFolder() + QStringLiteral("/data"));
    }
    QString clip(ProgramRun& run, const QString& colour, double seconds = 20) {
        return e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/%1.mpg").arg(colour), {colour}, seconds);
    }
    // The partial mode of that setting name alone, with the given media and more settings.
    void partialSettings(ProgramRun& run, settings::FlagKey mode, const QString& media,
                         const QStringList& more = {}) {
        QStringList lines;
        for (settings::FlagKey m : testsupport::kDisplayModes)
            lines << keyLine(m, m.id == mode.id ? QStringLiteral("True") : QStringLiteral("False"));
        lines << keyLine(Key::VideoFile) + media;
        run.writeSettings(lines + more);
    }
    QRect boxOf(const QString& colour) { return colourBox(x().grabScreen(), colour); }
    void endWithKey(ProgramRun& run) {
        x().xdotool({QStringLiteral("key"), QStringLiteral("space")});
        EXPECT_GE(run.waitForEnd(3000), 0);
        EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process().exitCode(), 0);
    }
};

TEST_F(Floating, AFreshInstallFloatsTheDefaultClipOverBlackAndAKeyEndsIt) {
    ProgramRun run;
    withData(run);
    run.start(QStringLiteral("/s"));
    ASSERT_GE(waitUntil([&] { return mainFormShown(); }, 5000), 0);
    // The default clip's soft colours fill a quarter-size player; the rest of the screen is black.
    ASSERT_GE(waitUntil([&] {
                  const QImage s = x().grabScreen();
                  QSet<QRgb> colours;
                  for (int y = 100; y < 500; y += 40)
                      for (int xx = 100; xx < 650; xx += 50) colours.insert(s.pixel(xx, y));
                  return colours.size() > 10 && colourName(s.pixel(1270, 1015)) == QLatin1String("black");
              }, 5000),
              0);
    x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-floating-default.png"));
    EXPECT_FALSE(x().pointerVisible());
    endWithKey(run);
    EXPECT_TRUE(x().pointerVisible());
    EXPECT_TRUE(run.readSettings().contains(QStringLiteral("AMoviePositionLeftWhenClosedFourth=")));
}

TEST_F(Floating, AQuarterPlayerMovesRightAndDownOverTheBackColourAndAMoveOntoItEndsIt) {
    ProgramRun run;
    partialSettings(run, Key::OneFourthScreenDisplayMode, clip(run, QStringLiteral("red")),
                    {keyLine(Key::BackDropColor, QStringLiteral("16711680"))}); // blue
    run.start(QStringLiteral("/s"));
    ASSERT_GE(waitUntil([&] { return boxOf(QStringLiteral("red")).width() > 600; }, 5000), 0);
    QElapsedTimer t;
    t.start();
    const QRect first = boxOf(QStringLiteral("red"));
    const qint64 firstAt = t.elapsed();
    // A screenshot taken while the player moves may hold a pixel or two of the place it just left.
    const auto aboutAQuarter = [](const QRect& box) {
        EXPECT_NEAR(box.width(), 704, 3);
        EXPECT_NEAR(box.height(), 563, 3);
    };
    aboutAQuarter(first);
    // Two seconds of floating: the distance moved over them is measured.
    QThread::msleep(2000);
    const qint64 secondAt = t.elapsed();
    const QImage shot = x().grabScreen();
    const QRect second = colourBox(shot, QStringLiteral("red"));
    x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-floating-quarter.png"));
    aboutAQuarter(second);
    const double seconds = (secondAt - firstAt) / 1000.0;
    const double right = (second.left() - first.left()) / seconds;
    const double down = (second.top() - first.top()) / seconds;
    EXPECT_NEAR(right, 40, 10);
    EXPECT_NEAR(down, 20, 6);
    // The back colour all around the player.
    EXPECT_EQ(colourName(shot.pixel(second.left() - 3, second.center().y())), QStringLiteral("blue"));
    EXPECT_EQ(colourName(shot.pixel(second.center().x(), second.bottom() + 3)), QStringLiteral("blue"));
    EXPECT_EQ(colourName(shot.pixel(1275, 1020)), QStringLiteral("blue"));

    // The player has floated away from the pointer, which rests on the background: one move onto the
    // player ends the run, the move seen by the player's own window.
    const QRect now = boxOf(QStringLiteral("red"));
    pointAt(now.center().x(), now.center().y());
    const int ended = run.waitForEnd(3000);
    ASSERT_GE(ended, 0);
    EXPECT_LE(ended, 1000);
    EXPECT_EQ(run.process().exitCode(), 0);
    EXPECT_FALSE(mainFormShown());
}

TEST_F(Floating, EachModeStandsStillAtItsSize) {
    for (const testsupport::FloatingMode& m : testsupport::kFloatingModes) {
        SCOPED_TRACE(keyName(m.key).toStdString());
        ProgramRun run;
        partialSettings(run, m.key, clip(run, QStringLiteral("green")),
                        {keyLine(Key::MovieWillFloat, QStringLiteral("0"))});
        run.start(QStringLiteral("/s"));
        const QRect expected(QPoint(8, 8), m.size);
        EXPECT_GE(waitUntil([&] { return boxOf(QStringLiteral("green")) == expected; }, 5000), 0)
            << "last seen " << boxOf(QStringLiteral("green")).x() << "," << boxOf(QStringLiteral("green")).y() << " "
            << boxOf(QStringLiteral("green")).width() << "x" << boxOf(QStringLiteral("green")).height();
        // A stretch of time in which a player that moves would have moved.
        QThread::msleep(600);
        EXPECT_EQ(boxOf(QStringLiteral("green")), expected); // standing still
        endWithKey(run);
    }
}

TEST_F(Floating, AStandingPlayListPlaysEachNewItemAtANewPlace) {
    ProgramRun run;
    QStringList entries;
    const QStringList colours{QStringLiteral("red"), QStringLiteral("green"), QStringLiteral("blue")};
    for (const QString& c : colours) entries << clip(run, c, 1.5);
    run.writePlayList(entries);
    partialSettings(run, Key::OneEighthScreenDisplayMode, QStringLiteral("/somewhere/stored.mpg"),
                    {keyLine(Key::MovieWillFloat, QStringLiteral("0")),
                     keyLine(Key::PlaySingleFile, QStringLiteral("False"))});
    run.start(QStringLiteral("/s"));
    QSet<QPoint> places;
    QStringList seen;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000 && places.size() < 4) {
        const QImage s = x().grabScreen();
        for (const QString& c : colours) {
            const QRect box = colourBox(s, c);
            if (box.size() != QSize(448, 358)) continue;
            places.insert(box.topLeft());
            if (seen.isEmpty() || seen.last() != c) seen << c;
        }
        // The step of the sampling.
        QThread::msleep(100);
    }
    EXPECT_GE(places.size(), 3) << seen.join(QLatin1Char(' ')).toStdString();
    EXPECT_GE(seen.size(), 3);
    endWithKey(run);
}

TEST_F(Floating, GradientBandsChangeEveryTickAndTrailsShowTheBackColour) {
    ProgramRun run;
    // Red gradients only, so the green back colour of the trails cannot be mistaken for a band.
    partialSettings(
        run, Key::OneEighthScreenDisplayMode, clip(run, QStringLiteral("blue")),
        {keyLine(Key::GradOn, QStringLiteral("1")), keyLine(Key::FireGradInterval, QStringLiteral("1000")),
         keyLine(Key::BackDropColor, QStringLiteral("65280")), keyLine(Key::Red_Level, QStringLiteral("255")),
         keyLine(Key::Green_Level, QStringLiteral("0")), keyLine(Key::Blue_Level, QStringLiteral("0"))});
    run.start(QStringLiteral("/s"));
    // The back colour until the first tick paints the bands.
    ASSERT_GE(waitUntil([&] { return mainFormShown() && colourName(x().pixel(1270, 1000)) == QLatin1String("green"); }, 4000), 0);
    ASSERT_GE(waitUntil([&] { return colourName(x().pixel(1270, 1000)) != QLatin1String("green"); }, 3000), 0);
    // 1024 pixels high: bands of 15360 / 900 = 17 pixels, each 4 darker than the one above.
    QSet<QRgb> tops;
    bool trailSeen = false;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 4500) {
        const QImage s = x().grabScreen();
        const QRgb top = s.pixel(1270, 8);
        tops.insert(top);
        for (int band = 1; band < 5; ++band) {
            const QRgb c = s.pixel(1270, 8 + 17 * band);
            EXPECT_EQ(qRed(c), std::max(0, qRed(top) - 4 * band)) << "band " << band;
            EXPECT_EQ(qGreen(c), 0);
        }
        // Behind the moving player, where it was since the last tick, the back colour shows.
        const QRect player = colourBox(s, QStringLiteral("blue"));
        if (player.width() == 448 && player.left() > 20)
            trailSeen |= colourName(s.pixel(player.left() - 3, player.center().y())) == QLatin1String("green");
        EXPECT_NE(colourName(s.pixel(1270, 1000)), QStringLiteral("green"));
        if (trailSeen && tops.size() >= 3) break;
        // The step of the sampling.
        QThread::msleep(150);
    }
    x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-floating-trails.png"));
    EXPECT_GE(tops.size(), 3);
    EXPECT_TRUE(trailSeen);
    endWithKey(run);
}

TEST_F(Floating, WithoutTrailsTheGradientStaysBehindThePlayer) {
    ProgramRun run;
    partialSettings(
        run, Key::OneEighthScreenDisplayMode, clip(run, QStringLiteral("blue")),
        {keyLine(Key::GradOn, QStringLiteral("1")), keyLine(Key::FireGradInterval, QStringLiteral("1500")),
         keyLine(Key::PictureTrails, QStringLiteral("0")),
         keyLine(Key::BackDropColor, QStringLiteral("65280")), keyLine(Key::Red_Level, QStringLiteral("255")),
         keyLine(Key::Green_Level, QStringLiteral("0")), keyLine(Key::Blue_Level, QStringLiteral("0"))});
    run.start(QStringLiteral("/s"));
    // Black until the first tick, whatever the back-drop colour.
    ASSERT_GE(waitUntil([&] { return boxOf(QStringLiteral("blue")).width() == 448; }, 4000), 0);
    EXPECT_EQ(colourName(x().pixel(1270, 1000)), QStringLiteral("black"));
    ASSERT_GE(waitUntil([&] { return qRed(x().pixel(1270, 8)) > 40; }, 6000), 0);
    // Half a second for the player to move on from where it started, over the bands.
    QThread::msleep(500);
    const QImage s = x().grabScreen();
    const QRect player = colourBox(s, QStringLiteral("blue"));
    ASSERT_GT(player.left(), 10);
    // Where the player was, the band of that height, as at the far right edge.
    const int y = player.center().y();
    EXPECT_EQ(s.pixel(player.left() - 5, y), s.pixel(1270, y));
    EXPECT_EQ(s.pixel(player.center().x(), player.top() - 3), s.pixel(1270, player.top() - 3));
    endWithKey(run);
}

TEST_F(Floating, NoMediaShowsTheMessageForBothPlayersAndEndsAfterEnter) {
    for (bool fullScreen : {false, true}) {
        SCOPED_TRACE(fullScreen ? "full screen" : "floating");
        ProgramRun run;
        partialSettings(run,
                        fullScreen ? Key::AbsoluteFullScreenDisplayMode : Key::OneFourthScreenDisplayMode,
                        QString());
        run.start(QStringLiteral("/s"));
        ASSERT_GE(waitUntil([&] { return !x().mappedWindowsNamed(kMessageTitle).isEmpty(); }, 5000), 0);
        // A stretch of time in which a program not waiting for the answer would have ended.
        QThread::msleep(500);
        EXPECT_TRUE(running(run)) << "the message must wait for its answer";
        EXPECT_FALSE(mainFormShown());
        EXPECT_TRUE(x().pointerVisible());
        if (!fullScreen) x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-missing-media.png"));
        x().xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        ASSERT_GE(run.waitForEnd(3000), 0);
        EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process().exitCode(), 0);
    }
}

TEST_F(Floating, ThePointerIsBlankWhileEitherPlayerRunsAndEveryButtonAndTheWheelEndIt) {
    const QStringList buttons{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                              QStringLiteral("5")};
    for (bool fullScreen : {true, false}) {
        for (const QString& button : buttons) {
            SCOPED_TRACE((fullScreen ? "full screen, button " : "floating, button ") + button.toStdString());
            ProgramRun run;
            partialSettings(
                run, fullScreen ? Key::AbsoluteFullScreenDisplayMode : Key::OneHalfScreenDisplayMode,
                clip(run, QStringLiteral("red")), {keyLine(Key::MovieWillFloat, QStringLiteral("0"))});
            // Over the picture: the middle of the screen is inside both players.
            pointAt(400, 400);
            ASSERT_TRUE(x().pointerVisible());
            run.start(QStringLiteral("/s"));
            QElapsedTimer t;
            t.start();
            const int shown = waitUntil([&] { return colourName(x().pixel(400, 400)) == QLatin1String("red"); }, 5000);
            ASSERT_GE(shown, 0);
            // The full-screen picture covers the screen at once, not after the first second's poll.
            if (fullScreen) {
                EXPECT_EQ(colourName(x().pixel(1270, 1015)), QStringLiteral("red"));
            }
            EXPECT_FALSE(x().pointerVisible());
            x().xdotool({QStringLiteral("click"), button});
            const int ended = run.waitForEnd(3000);
            ASSERT_GE(ended, 0);
            EXPECT_LE(ended, 1000);
            EXPECT_EQ(run.process().exitCode(), 0);
            EXPECT_TRUE(x().pointerVisible());
        }
    }
}

} // namespace
