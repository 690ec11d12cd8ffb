#include "platform/Settings.h"
#include "playback/MonitorRest.h"
#include "playback/frmAbsoluteFullScreenVideo.h"
#include "playback/frmFloatingOneFourthMovie.h"
#include "playlist/frmFileLister.h"
#include "runtime/FormRegistry.h"
#include "support/PlayerFixture.h"
#include "support/SettingKeys.h"
#include "support/TestFiles.h"
#include "support/Waits.h"
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using settings::Key;
using testsupport::keyName;

using testsupport::FakeMediaPlayer;

namespace {

const QStringList kEntries{QStringLiteral("/media/a.mpg"), QStringLiteral("/media/b.avi"), QStringLiteral("/media/c.mp3")};

class FloatingPlayer : public testsupport::PlayerFixture {
protected:
    frmFloatingOneFourthMovie* start() {
        runtime::forms().show(QStringLiteral("frmFloatingOneFourthMovie"));
        return form();
    }
    frmFloatingOneFourthMovie* form() {
        return qobject_cast<frmFloatingOneFourthMovie*>(runtime::forms().find(QStringLiteral("frmFloatingOneFourthMovie")));
    }
    bool editorLoaded() { return runtime::forms().find(QStringLiteral("frmFileLister")) != nullptr; }
    void recordScreen(int w, int h) {
        setting(Key::WidthOfScreenResolution, QString::number(w));
        setting(Key::HeightOfScreenResolution, QString::number(h));
    }
    QSize screen() const { return QGuiApplication::primaryScreen()->geometry().size(); }
};

TEST_F(FloatingPlayer, DefaultsFloatAQuarterPlayerOverTheBackDropWithoutPickingInSingleFileMode) {
    writePlayList(kEntries);
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    setting(Key::BackDropColor, QStringLiteral("16711680")); // &H00FF0000: blue
    platform.cursor.reset(2);
    auto* f = start();
    ASSERT_TRUE(f);
    // No recorded screen size: 0.55 of 640 x 480, at 8, 8.
    EXPECT_EQ(player()->geometry(), QRect(8, 8, 352, 264));
    EXPECT_EQ(f->geometry(), QRect(QPoint(0, 0), screen()));
    EXPECT_EQ(f->windowTitle(), testsupport::kMainForm);
    EXPECT_TRUE(f->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(platform.cursor.count(), -51);
    // Single file: the play list is not even read.
    EXPECT_EQ(player()->urls, QStringList{QStringLiteral("/media/loop.mpg")});
    EXPECT_FALSE(editorLoaded());
    EXPECT_TRUE(f->Timer1->isActive());
    EXPECT_EQ(f->Timer1->interval(), 50);
    EXPECT_FALSE(f->Timer2->isActive());
    EXPECT_FALSE(f->Timer3->isActive());
    EXPECT_TRUE(f->Timer4->isActive());
    EXPECT_EQ(f->backColour(), QColor(0, 0, 255));
    EXPECT_FALSE(f->persistentDrawing()); // trails on
    EXPECT_FALSE(player()->mute());

    f->Timer1_Timer();
    f->Timer1_Timer();
    // The motion moves at every tick; the window follows within a display frame.
    EXPECT_EQ(f->place.left, 12);
    EXPECT_EQ(f->place.top, 10);
    testsupport::waitFor([&] { return player()->geometry() == QRect(12, 10, 352, 264); }, 1000);
    EXPECT_EQ(player()->geometry(), QRect(12, 10, 352, 264));
    // Only the end of the item plays it again; it is never resized.
    player()->finish();
    f->Timer4_Timer();
    EXPECT_EQ(player()->calls.count(QStringLiteral("play")), 1);
    EXPECT_EQ(player()->size(), QSize(352, 264));
    EXPECT_FALSE(f->Timer3->isActive());
}

TEST_F(FloatingPlayer, ModesSizeThePlayerFromTheRecordedScreen) {
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    recordScreen(1280, 1024);
    for (const testsupport::FloatingMode& m : testsupport::kFloatingModes) {
        SCOPED_TRACE(keyName(m.key).toStdString());
        for (const testsupport::FloatingMode& other : testsupport::kFloatingModes)
            setting(other.key, QStringLiteral("False"));
        setting(m.key, QStringLiteral("True"));
        auto* f = start();
        ASSERT_TRUE(f);
        EXPECT_EQ(player()->geometry(), QRect(QPoint(8, 8), m.size));
        runtime::forms().reset();
    }
    // Fractions are kept: a quarter of 1024 x 768.
    recordScreen(1024, 768);
    setting(Key::OneFourthScreenDisplayMode, QStringLiteral("True"));
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_FLOAT_EQ(f->place.width, 563.2f);
    EXPECT_FLOAT_EQ(f->place.height, 422.4f);
}

TEST_F(FloatingPlayer, StandingStillEachNewItemPlaysAtANewPlaceHalfASecondLater) {
    writePlayList(kEntries);
    setting(Key::PlaySingleFile, QStringLiteral("False"));
    setting(Key::MovieWillFloat, QStringLiteral("0"));
    setting(Key::VideoFile, QStringLiteral("/media/single.mpg"));
    recordScreen(1280, 1024);
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->Timer1->isActive());
    EXPECT_FALSE(f->Timer3->isActive());
    // The play-list mode picks at load: entry 0, the stored file, then entry 1.
    EXPECT_EQ(player()->urls, (QStringList{kEntries[0], QStringLiteral("/media/single.mpg"), kEntries[1]}));
    EXPECT_EQ(player()->pos(), QPoint(8, 8));

    f->Timer4_Timer(); // still playing
    EXPECT_FALSE(f->Timer3->isActive());
    QSet<QPoint> places;
    for (int i = 0; i < 6; ++i) {
        player()->finish();
        f->Timer4_Timer();
        EXPECT_TRUE(f->Timer3->isActive());
        EXPECT_EQ(f->Timer3->interval(), 500);
        EXPECT_EQ(player()->URL(), kEntries[(i + 2) % 3]);
        player()->calls.clear();
        f->Timer3_Timer();
        EXPECT_FALSE(f->Timer3->isActive()); // once per item
        EXPECT_EQ(player()->calls, QStringList{QStringLiteral("play")});
        const QRect r = player()->geometry();
        EXPECT_TRUE(f->rect().contains(r)) << r.x() << "," << r.y();
        EXPECT_EQ(r.size(), QSize(704, 563));
        places.insert(r.topLeft());
    }
    EXPECT_GT(places.size(), 3);
}

TEST_F(FloatingPlayer, EveryEndingActionStopsUnloadsAndStoresTheLastPlaceButLeavesTheEndToTheRegistry) {
    struct Action {
        const char* name;
        std::function<void(frmFloatingOneFourthMovie*, FakeMediaPlayer*)> run;
    };
    const QList<Action> actions{
        {"form click", [](auto* f, auto*) { QTest::mouseClick(f, Qt::LeftButton, {}, QPoint(f->width() - 20, f->height() - 20)); }},
        {"form middle click", [](auto* f, auto*) { QTest::mouseClick(f, Qt::MiddleButton, {}, QPoint(f->width() - 20, f->height() - 20)); }},
        {"form key", [](auto* f, auto*) { QTest::keyClick(f, Qt::Key_Shift); }},
        {"form mouse move", [](auto* f, auto*) {
             const QPoint corner(f->width() - 40, f->height() - 20);
             testsupport::sendMouseMove(f, corner);
             testsupport::sendMouseMove(f, corner + QPoint(20, 0));
         }},
        {"player mouse move", [](auto*, auto* p) {
             testsupport::sendMouseMove(p, QPoint(10, 10));
             testsupport::sendMouseMove(p, QPoint(10, 30));
         }},
        {"player click", [](auto*, auto* p) { QTest::mouseClick(p, Qt::LeftButton, {}, QPoint(3, 3)); }},
        {"player right click", [](auto*, auto* p) { QTest::mouseClick(p, Qt::RightButton, {}, QPoint(3, 3)); }},
        {"player middle click", [](auto*, auto* p) { QTest::mouseClick(p, Qt::MiddleButton, {}, QPoint(3, 3)); }},
        {"player key", [](auto*, auto* p) { QTest::keyClick(p, Qt::Key_Q); }},
        {"wheel on the player", [](auto*, auto* p) {
             QWheelEvent e(QPointF(3, 3), p->mapToGlobal(QPointF(3, 3)), {}, QPoint(0, 120), Qt::NoButton, {},
                           Qt::NoScrollPhase, false);
             QCoreApplication::sendEvent(p, &e);
         }},
        {"wheel on the form", [](auto* f, auto*) {
             QWheelEvent e(QPointF(1000, 900), f->mapToGlobal(QPointF(1000, 900)), {}, QPoint(0, -120),
                           Qt::NoButton, {}, Qt::NoScrollPhase, false);
             QCoreApplication::sendEvent(f, &e);
         }},
    };
    writePlayList(kEntries);
    setting(Key::PlaySingleFile, QStringLiteral("False"));
    recordScreen(1024, 768);
    for (const Action& a : actions) {
        SCOPED_TRACE(a.name);
        auto* f = start();
        ASSERT_TRUE(f);
        EXPECT_FALSE(editorLoaded()); // the player reads the play list without the editor
        for (int i = 0; i < 3; ++i) f->Timer1_Timer();
        FakeMediaPlayer* p = player();
        p->calls.clear();
        a.run(f, p);
        EXPECT_FALSE(form());
        EXPECT_FALSE(editorLoaded());
        EXPECT_TRUE(p->calls.contains(QStringLiteral("stop")));
        EXPECT_TRUE(p->calls.contains(QStringLiteral("close")));
        EXPECT_GE(platform.cursor.count(), 51);
        EXPECT_FALSE(platform.endedWith); // the floating player's unload does not end the program itself
        EXPECT_EQ(stored(QStringLiteral("AMoviePositionLeftWhenClosedFourth")), QStringLiteral("14"));
        EXPECT_EQ(stored(QStringLiteral("AMoviePositionTopWhenClosedFourth")), QStringLiteral("11"));
        runtime::forms().reset();
        platform.cursor.reset();
    }
    // Fractions are stored as they are. The player floating under a pointer that stays where it is
    // ends nothing: a move is measured on the desktop, from the form and the player alike.
    auto* f = start();
    ASSERT_TRUE(f);
    f->place.left = 100.25f;
    const QPoint still = player()->mapToGlobal(QPoint(5, 5));
    f->Form_MouseMove(0, 0, f->mapFromGlobal(still).x(), f->mapFromGlobal(still).y());
    for (int i = 0; i < 30; ++i) {
        f->Timer1_Timer();
        testsupport::sendMouseMove(player(), player()->mapFromGlobal(still));
    }
    EXPECT_TRUE(form());
    f->place.left = 100.25f;
    testsupport::sendMouseMove(player(), player()->mapFromGlobal(still + QPoint(0, 5)));
    EXPECT_FALSE(form());
    EXPECT_EQ(stored(QStringLiteral("AMoviePositionLeftWhenClosedFourth")), QStringLiteral("100.25"));
}

TEST_F(FloatingPlayer, RefusedPasswordKeepsItRunningWithoutRestartingThePlayer) {
    platform.platformIdValue = 1;
    platform.setRegistryText(QStringLiteral("Control Panel\\Desktop"), QStringLiteral("ScreenSaveUsePassword"), QStringLiteral("1"));
    platform.verifyAnswers << 0 << 1;
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    auto* f = start();
    ASSERT_TRUE(f);
    player()->calls.clear();
    QTest::keyClick(f, Qt::Key_Space);
    ASSERT_TRUE(form());
    EXPECT_EQ(platform.cursorCountAtVerify, 51);
    EXPECT_EQ(platform.cursor.count(), -51);
    EXPECT_EQ(player()->calls, (QStringList{QStringLiteral("stop"), QStringLiteral("close")}));
    EXPECT_EQ(stored(QStringLiteral("AMoviePositionLeftWhenClosedFourth")), QStringLiteral("<missing>"));
    QTest::keyClick(f, Qt::Key_Space);
    EXPECT_FALSE(form());
    EXPECT_EQ(platform.screenSaverRunningCalls, (QList<bool>{true, false}));
}

TEST_F(FloatingPlayer, MissingMediaShowsTheMessageThenEnds) {
    setting(Key::VideoFile, QString());
    bool loadedAtMessage = true;
    platform.onMessageBox = [&] { loadedAtMessage = runtime::forms().loadedCount() > 0; };
    runtime::forms().show(QStringLiteral("frmFloatingOneFourthMovie"));
    ASSERT_EQ(platform.messageBoxes.size(), 1);
    EXPECT_EQ(platform.messageBoxes[0].title, QStringLiteral("Larkspur Software Video Screensaver"));
    EXPECT_EQ(platform.messageBoxes[0].style, 64);
    EXPECT_TRUE(platform.messageBoxes[0].text.startsWith(QStringLiteral("There are no multimedia files selected.")));
    EXPECT_FALSE(loadedAtMessage);
    EXPECT_EQ(platform.endedWith, 0);
    EXPECT_EQ(platform.cursor.count(), 51);
}

TEST_F(FloatingPlayer, GradientTicksPaintBandsAndTrailsShowTheBackColourWhereThePlayerWas) {
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    setting(Key::GradOn, QStringLiteral("1"));
    setting(Key::BackDropColor, QStringLiteral("65280")); // green
    setting(Key::Red_Level, QStringLiteral("255"));
    setting(Key::Green_Level, QStringLiteral("0"));
    setting(Key::Blue_Level, QStringLiteral("0"));
    recordScreen(640, 480);
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_TRUE(f->Timer2->isActive());
    EXPECT_EQ(f->Timer2->interval(), 30000);
    EXPECT_TRUE(f->drawing().isNull()); // nothing drawn before the first tick
    const int band = qRound(f->height() * 15 / 900.0);
    int red = 0;
    for (int attempt = 0; attempt < 20 && red < 8; ++attempt) {
        f->Timer2_Timer();
        red = qRed(f->drawing().pixel(f->width() - 1, 0));
    }
    ASSERT_GE(red, 8);
    const QImage& d = f->drawing();
    EXPECT_EQ(QColor(d.pixel(f->width() - 1, band)), QColor(red - 4, 0, 0));
    EXPECT_EQ(qGreen(d.pixel(5, 5 * band)), 0);
    EXPECT_EQ(qBlue(d.pixel(5, 5 * band)), 0);

    // Trails on: where the player was, the back colour shows; the gradient everywhere else.
    const QRect before = player()->geometry();
    for (int i = 0; i < 40; ++i) f->Timer1_Timer();
    testsupport::waitFor([&] { return QColor(f->drawing().pixel(before.left() + 5, before.top() + 5)) == QColor(0, 255, 0); },
                    1000);
    EXPECT_EQ(QColor(f->drawing().pixel(before.left() + 5, before.top() + 5)), QColor(0, 255, 0));
    EXPECT_EQ(QColor(f->drawing().pixel(before.right() + 60, before.top() + 5)).green(), 0);
    // The next tick paints the bands over the trail again.
    f->Timer2_Timer();
    EXPECT_EQ(QColor(f->drawing().pixel(before.left() + 5, before.top() + 5)).green(), 0);
    runtime::forms().reset();

    // Trails off: the back colour is black and the gradient is restored behind the player.
    setting(Key::PictureTrails, QStringLiteral("0"));
    f = start();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->backColour(), QColor(Qt::black));
    EXPECT_TRUE(f->persistentDrawing());
    f->Timer2_Timer();
    const QRgb under = f->drawing().pixel(10, 10);
    for (int i = 0; i < 40; ++i) f->Timer1_Timer();
    testsupport::waitFor([&] { return player()->x() == 88; }, 1000);
    ASSERT_EQ(player()->x(), 88);
    EXPECT_EQ(f->drawing().pixel(10, 10), under);
}

TEST_F(FloatingPlayer, RefusedIntervalsLeaveTheTimersStopped) {
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    setting(Key::GradOn, QStringLiteral("1"));
    setting(Key::FireGradInterval, QStringLiteral("-5"));
    setting(Key::MovingMovieSpeed, QStringLiteral("-1"));
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->Timer2->isActive());
    EXPECT_FALSE(f->Timer1->isActive());
    runtime::forms().reset();

    setting(Key::FireGradInterval, QStringLiteral("0"));
    setting(Key::MovingMovieSpeed, QStringLiteral("1"));
    f = start();
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->Timer2->isActive());
    EXPECT_TRUE(f->Timer1->isActive());
    EXPECT_EQ(f->Timer1->interval(), 1);
    runtime::forms().reset();

    // The full-screen player too: a negative interval must not leave its gradient timer spinning at 0 ms.
    setting(Key::FireGradInterval, QStringLiteral("-1"));
    runtime::forms().show(QStringLiteral("frmAbsoluteFullScreenVideo"));
    auto* full = qobject_cast<frmAbsoluteFullScreenVideo*>(runtime::forms().find(QStringLiteral("frmAbsoluteFullScreenVideo")));
    ASSERT_TRUE(full);
    EXPECT_FALSE(full->Timer2->isActive());
}

// While every monitor is off the player rests and its motion, gradient and once-a-second watch idle. A
// power state that cannot be read (no DPMS, no output power protocol) never rests it.
TEST_F(FloatingPlayer, RestsOnlyWhileEveryMonitorIsSaidToBeOff) {
    setting(Key::GradOn, QStringLiteral("1"));
    auto* f = start();
    ASSERT_TRUE(f);
    FakeMediaPlayer* p = player();
    playback::restWhileMonitorsSleep(f);
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform.monitorPowerReads >= 2; }, 3000));
    EXPECT_FALSE(p->resting);

    platform.monitorPowerValue = platform::MonitorPower::Off;
    ASSERT_TRUE(QTest::qWaitFor([&] { return p->resting; }, 1500));
    EXPECT_FALSE(f->Timer1->isActive());
    EXPECT_FALSE(f->Timer2->isActive());
    EXPECT_FALSE(f->Timer4->isActive());

    platform.monitorPowerValue = platform::MonitorPower::On;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p->resting; }, 1500));
    EXPECT_TRUE(f->Timer1->isActive());
    EXPECT_TRUE(f->Timer2->isActive());
    EXPECT_TRUE(f->Timer4->isActive());
    EXPECT_EQ(p->calls.filter(QRegularExpression(QStringLiteral("^(rest|wake)$"))),
              (QStringList{QStringLiteral("rest"), QStringLiteral("wake")}));
}

} // namespace
