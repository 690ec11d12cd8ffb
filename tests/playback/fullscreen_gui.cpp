#include "platform/Settings.h"
#include "playback/Rotation.h"
#include "playback/frmAbsoluteFullScreenVideo.h"
#include "playlist/frmFileLister.h"
#include "runtime/FormRegistry.h"
#include "support/PlayerFixture.h"
#include "support/SettingKeys.h"
#include "support/TestFiles.h"
#include <QFile>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

using settings::Key;

using testsupport::FakeMediaPlayer;

namespace {

const QStringList kEntries{QStringLiteral("/media/a.mpg"), QStringLiteral("/media/b b.avi"),
                           QStringLiteral("/media/c,d;e.mp3")};

class FullScreenPlayer : public testsupport::PlayerFixture {
protected:
    frmAbsoluteFullScreenVideo* start() {
        runtime::forms().show(QStringLiteral("frmAbsoluteFullScreenVideo"));
        return form();
    }
    frmAbsoluteFullScreenVideo* form() {
        return qobject_cast<frmAbsoluteFullScreenVideo*>(runtime::forms().find(QStringLiteral("frmAbsoluteFullScreenVideo")));
    }
    // The item ends and the poll notices it.
    void endItem(frmAbsoluteFullScreenVideo* f) {
        player()->finish();
        f->Timer4_Timer();
    }
    bool editorLoaded() { return runtime::forms().find(QStringLiteral("frmFileLister")) != nullptr; }
    void playListMode(bool random) {
        setting(Key::PlaySingleFile, QStringLiteral("False"));
        setting(Key::PlayInRandomOrder, random ? QStringLiteral("True") : QStringLiteral("False"));
    }
};

TEST_F(FullScreenPlayer, InOrderWithStoredFileStartsAtSecondEntryAndWraps) {
    writePlayList(kEntries);
    playListMode(false);
    setting(Key::VideoFile, QStringLiteral("/media/single.mpg"));
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_EQ(player()->URL(), kEntries[1]);
    for (int i = 0; i < 4; ++i) endItem(f);
    // Load: the first pick, the stored file, then the stored file gives way to the play list.
    EXPECT_EQ(player()->urls, (QStringList{kEntries[0], QStringLiteral("/media/single.mpg"), kEntries[1],
                                           kEntries[2], kEntries[0], kEntries[1], kEntries[2]}));
}

TEST_F(FullScreenPlayer, AnItemPlayedThroughIsFollowedAtOnceButNeverInABusyLoop) {
    writePlayList(kEntries);
    playListMode(false);
    setting(Key::VideoFile, QStringLiteral("/media/single.mpg"));
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_FALSE(player()->looping);
    player()->urls.clear();
    for (int i = 0; i < 6; ++i) player()->playThrough();
    // Four ends within a second are followed at once; items that end faster wait for the poll.
    EXPECT_EQ(player()->urls, (QStringList{kEntries[2], kEntries[0], kEntries[1], kEntries[2]}));
    f->Timer4_Timer();
    EXPECT_EQ(player()->urls.size(), 5);
    EXPECT_EQ(player()->URL(), kEntries[0]);
}

TEST_F(FullScreenPlayer, InOrderWithoutStoredFileStartsAtTheSecondEntryNeverTheDefaultClip) {
    writePlayList(kEntries);
    playListMode(false);
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_EQ(player()->URL(), kEntries[1]);
    EXPECT_FALSE(player()->urls.contains(defaultMediaPath()));
    EXPECT_FALSE(player()->looping);
    endItem(f);
    EXPECT_EQ(player()->URL(), kEntries[2]);
    endItem(f);
    EXPECT_EQ(player()->URL(), kEntries[0]);
}

TEST_F(FullScreenPlayer, RandomWithoutStoredFileKeepsTheRandomPickNeverTheDefaultClip) {
    writePlayList(kEntries);
    playListMode(true);
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_TRUE(kEntries.contains(player()->URL()));
    EXPECT_EQ(player()->urls, QStringList{player()->URL()});
    EXPECT_EQ(stored(QStringLiteral("FileNotToRepeat")), player()->URL());
}

TEST_F(FullScreenPlayer, EmptyPlayListWithoutStoredFileStillPlaysTheDefaultClip) {
    playListMode(false);
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_EQ(player()->URL(), defaultMediaPath());
}

TEST_F(FullScreenPlayer, SingleFileRestartsTheSameFile) {
    writePlayList(kEntries);
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_EQ(player()->URL(), QStringLiteral("/media/loop.mpg"));
    // It loops in the player without a break; the poll restarts it should it ever stop.
    EXPECT_TRUE(player()->looping);
    player()->calls.clear();
    f->Timer4_Timer(); // still playing: nothing happens
    EXPECT_FALSE(player()->calls.contains(QStringLiteral("play")));
    endItem(f);
    EXPECT_TRUE(player()->calls.contains(QStringLiteral("play")));
    EXPECT_EQ(player()->URL(), QStringLiteral("/media/loop.mpg"));
    EXPECT_EQ(player()->urls.count(QStringLiteral("/media/loop.mpg")), 1);
}

TEST_F(FullScreenPlayer, RandomOrderAlternatesBetweenTwoEntriesAndRemembersTheLast) {
    const QStringList two{kEntries[0], kEntries[1]};
    writePlayList(two);
    playListMode(true);
    setting(Key::VideoFile, QStringLiteral("/media/single.mpg"));
    auto* f = start();
    ASSERT_TRUE(f);
    // The stored file gives way to the in-order pick: entry 0.
    EXPECT_EQ(player()->URL(), two[0]);
    QString previous = stored(QStringLiteral("FileNotToRepeat"));
    ASSERT_TRUE(two.contains(previous));
    for (int i = 0; i < 12; ++i) {
        endItem(f);
        const QString now = player()->URL();
        EXPECT_TRUE(two.contains(now));
        EXPECT_NE(now, previous) << "tick " << i;
        EXPECT_EQ(stored(QStringLiteral("FileNotToRepeat")), now);
        previous = now;
    }
}

TEST_F(FullScreenPlayer, RandomPickEndsWhenNothingElseCanBeChosen) {
    playListMode(true);
    setting(Key::VideoFile, QStringLiteral("/media/single.mpg"));
    // One entry that was the last one played, then an empty list: neither may draw for ever.
    writePlayList({kEntries[0]});
    setting(Key::FileNotToRepeat, kEntries[0]);
    auto* f = start();
    ASSERT_TRUE(f);
    endItem(f);
    EXPECT_EQ(player()->URL(), kEntries[0]);
    EXPECT_TRUE(f->Timer4->isActive());
}

TEST_F(FullScreenPlayer, EmptyPlayListPlaysNothingAndKeepsPolling) {
    playListMode(false);
    setting(Key::VideoFile, QStringLiteral("/media/single.mpg"));
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_EQ(player()->URL(), QString());
    endItem(f);
    EXPECT_EQ(player()->URL(), QString());
    EXPECT_TRUE(f->isLoaded());
}

TEST_F(FullScreenPlayer, LoadCoversScreenHidesPointerAndPollsKeepThePlayerInShape) {
    platform.cursor.reset(3);
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    setting(Key::ScreensaverSoundMutePreference, QStringLiteral("1"));
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_EQ(platform.cursor.count(), -51);
    EXPECT_EQ(f->windowTitle(), testsupport::kMainForm);
    EXPECT_TRUE(f->windowFlags() & Qt::WindowStaysOnTopHint);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(f->lblTripOff->geometry(), QRect(QPoint(0, 0), screen));
    EXPECT_TRUE(player()->mute());
    // The player covers the screen from the load on, not only from the first poll.
    EXPECT_EQ(player()->geometry(), QRect(QPoint(0, 0), screen));
    player()->setGeometry(0, 0, 32, 32);
    EXPECT_EQ(f->Timer4->interval(), 1000);
    EXPECT_TRUE(f->Timer4->isActive());

    setting(Key::ScreensaverSoundMutePreference, QStringLiteral("0"));
    const int topmost = platform.topmostCalls;
    f->Timer4_Timer();
    EXPECT_EQ(player()->geometry(), QRect(QPoint(0, 0), screen));
    EXPECT_FALSE(player()->mute());
    EXPECT_GT(platform.topmostCalls, topmost);

    // Another value leaves the mute state alone; a garbage one too, and the poll goes on.
    setting(Key::ScreensaverSoundMutePreference, QStringLiteral("2"));
    player()->setMute(true);
    f->Timer4_Timer();
    EXPECT_TRUE(player()->mute());
    setting(Key::ScreensaverSoundMutePreference, QStringLiteral("loud"));
    player()->finish();
    f->Timer4_Timer();
    EXPECT_TRUE(player()->calls.contains(QStringLiteral("play")));
}

TEST_F(FullScreenPlayer, BackgroundFollowsGradientAndBackDropSettings) {
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    setting(Key::BackDropColor, QStringLiteral("255")); // red, low byte
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->Timer2->isActive());
    EXPECT_EQ(f->palette().color(QPalette::Window), QColor(255, 0, 0));
    runtime::forms().reset();

    setting(Key::GradOn, QStringLiteral("1"));
    setting(Key::FireGradInterval, QStringLiteral("2500"));
    f = start();
    ASSERT_TRUE(f);
    EXPECT_TRUE(f->Timer2->isActive());
    EXPECT_EQ(f->Timer2->interval(), 2500);
    EXPECT_EQ(f->palette().color(QPalette::Window), QColor(0, 0, 0));
}

// One baseline for every window of the run: the first position only sets it, and a move further than
// the sensitivity from it, across or up and down, ends the run wherever the pointer is.
TEST_F(FullScreenPlayer, AMoveBeyondTheSensitivityFromTheFirstPositionEndsItEitherWay) {
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    setting(Key::MouseSensitivity, QStringLiteral("10"));
    struct Case {
        const char* name;
        std::function<void(frmAbsoluteFullScreenVideo*)> within, beyond;
    };
    const QList<Case> cases{
        {"up and down",
         [](auto* f) {
             f->Form_MouseMove(0, 0, 300, 300);
             f->Form_MouseMove(0, 0, 310, 290);
             f->Form_MouseMove(0, 0, 300, 310);
         },
         [](auto* f) { f->Form_MouseMove(0, 0, 300, 311); }},
        {"across windows, from the top row",
         [](auto* f) {
             f->lblTripOff_MouseMove(0, 0, 500, 0);
             f->WindowsMediaPlayer1_MouseMove(0, 0, 509, 10);
             f->Form_MouseMove(0, 0, 491, 0);
         },
         [](auto* f) { f->WindowsMediaPlayer1_MouseMove(0, 0, 489, 0); }},
        // Small steps add up: each is within the sensitivity, but the pointer is far from the start.
        {"slowly",
         [](auto* f) {
             for (int x = 100; x <= 110; x += 2) f->Form_MouseMove(0, 0, x, 50);
         },
         [](auto* f) { f->Form_MouseMove(0, 0, 112, 50); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform.endedWith.reset();
        auto* f = start();
        ASSERT_TRUE(f);
        c.within(f);
        EXPECT_TRUE(f->isLoaded());
        EXPECT_FALSE(platform.endedWith);
        c.beyond(f);
        EXPECT_FALSE(form());
        EXPECT_EQ(platform.endedWith, 0);
        runtime::forms().reset();
        platform.cursor.reset();
    }
}

// Each way out ends the program, restores the pointer, unloads the play list and stops the media.
TEST_F(FullScreenPlayer, EveryEndingActionUnloadsEverything) {
    struct Action {
        const char* name;
        std::function<void(frmAbsoluteFullScreenVideo*, FakeMediaPlayer*)> run;
    };
    const QList<Action> actions{
        {"form click", [](auto* f, auto*) { QTest::mouseClick(f, Qt::LeftButton, {}, QPoint(5, 5)); }},
        {"form key", [](auto* f, auto*) { QTest::keyClick(f, Qt::Key_A); }},
        {"form mouse move", [](auto* f, auto*) { f->Form_MouseMove(0, 0, 50, 50); f->Form_MouseMove(0, 0, 70, 50); }},
        {"label mouse move", [](auto* f, auto*) {
             testsupport::sendMouseMove(f->lblTripOff, QPoint(50, 50));
             testsupport::sendMouseMove(f->lblTripOff, QPoint(90, 50));
         }},
        {"label click", [](auto* f, auto*) { QTest::mouseClick(f->lblTripOff, Qt::LeftButton, {}, QPoint(300, 300)); }},
        {"player click", [](auto*, auto* p) { QTest::mouseClick(p, Qt::LeftButton, {}, QPoint(3, 3)); }},
        {"player key", [](auto* f, auto*) { f->WindowsMediaPlayer1_KeyPress(13); }},
        {"player key through the form", [](auto*, auto* p) { QTest::keyClick(p, Qt::Key_Left); }},
        {"player right button", [](auto*, auto* p) { QTest::mousePress(p, Qt::RightButton, {}, QPoint(3, 3)); }},
        {"player mouse move", [](auto* f, auto*) {
             f->WindowsMediaPlayer1_MouseMove(0, 0, 10, 10);
             f->WindowsMediaPlayer1_MouseMove(0, 0, 30, 10);
         }},
    };
    writePlayList(kEntries);
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    for (const Action& a : actions) {
        SCOPED_TRACE(a.name);
        platform.endedWith.reset();
        auto* f = start();
        ASSERT_TRUE(f);
        EXPECT_FALSE(editorLoaded()); // the player reads the play list without the editor
        FakeMediaPlayer* p = player();
        p->calls.clear();
        a.run(f, p);
        EXPECT_FALSE(form());
        EXPECT_EQ(platform.endedWith, 0);
        EXPECT_GE(platform.cursor.count(), 51);
        EXPECT_FALSE(editorLoaded());
        EXPECT_TRUE(p->calls.contains(QStringLiteral("stop")));
        EXPECT_TRUE(p->calls.contains(QStringLiteral("close")));
        runtime::forms().reset();
        platform.cursor.reset();
    }
}

TEST_F(FullScreenPlayer, LeftButtonDownAloneAndIgnoredPlayerMovementDoNotEnd) {
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    setting(Key::DoNotIgnoreMouseMovent, QStringLiteral("False"));
    auto* f = start();
    ASSERT_TRUE(f);
    f->WindowsMediaPlayer1_MouseDown(1, 0, 3, 3);
    for (int x = 10; x < 400; x += 50) f->WindowsMediaPlayer1_MouseMove(0, 0, x, 10);
    EXPECT_TRUE(f->isLoaded());
    f->WindowsMediaPlayer1_KeyPress(27);
    EXPECT_FALSE(form());
}

TEST_F(FullScreenPlayer, RefusedPasswordKeepsRunningHiddenAndPlaysAgain) {
    platform.platformIdValue = 1;
    platform.setRegistryText(QStringLiteral("Control Panel\\Desktop"), QStringLiteral("ScreenSaveUsePassword"), QStringLiteral("1"));
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    platform.verifyAnswers << 0 << 1;
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_EQ(platform.screenSaverRunningCalls, QList<bool>{true});
    player()->calls.clear();
    QTest::keyClick(f, Qt::Key_Space);
    ASSERT_TRUE(form());
    EXPECT_EQ(platform.verifyCalls, 1);
    EXPECT_EQ(platform.cursorCountAtVerify, 51); // the password dialog needs the pointer
    EXPECT_EQ(platform.cursor.count(), -51);
    EXPECT_EQ(player()->calls.last(), QStringLiteral("play"));
    EXPECT_FALSE(platform.endedWith);

    QTest::keyClick(f, Qt::Key_Space);
    EXPECT_FALSE(form());
    EXPECT_EQ(platform.verifyCalls, 2);
    EXPECT_EQ(platform.endedWith, 0);
    EXPECT_GE(platform.cursor.count(), 51);
    EXPECT_EQ(platform.screenSaverRunningCalls, (QList<bool>{true, false}));
}

TEST_F(FullScreenPlayer, NoPasswordAskedWhereTheDesktopGuardsTheSession) {
    platform.platformIdValue = 2;
    platform.setRegistryText(QStringLiteral("Control Panel\\Desktop"), QStringLiteral("ScreenSaveUsePassword"), QStringLiteral("1"));
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    auto* f = start();
    ASSERT_TRUE(f);
    QTest::keyClick(f, Qt::Key_Space);
    EXPECT_FALSE(form());
    EXPECT_EQ(platform.verifyCalls, 0);
    EXPECT_TRUE(platform.screenSaverRunningCalls.isEmpty());
    EXPECT_EQ(platform.cursor.count(), 51);
}

TEST_F(FullScreenPlayer, MissingMediaShowsTheMessageThenEnds) {
    platform.platformIdValue = 1;
    platform.setRegistryText(QStringLiteral("Control Panel\\Desktop"), QStringLiteral("ScreenSaveUsePassword"), QStringLiteral("1"));
    platform.verifyAnswers << 0;
    setting(Key::VideoFile, QString());
    int verifiesBeforeMessage = -1;
    platform.onMessageBox = [&] {
        verifiesBeforeMessage = platform.verifyCalls;
        EXPECT_FALSE(platform.endedWith); // the program ends after the message, not before
    };
    runtime::forms().show(QStringLiteral("frmAbsoluteFullScreenVideo"));
    ASSERT_EQ(platform.messageBoxes.size(), 1);
    EXPECT_EQ(platform.messageBoxes[0].text,
              QStringLiteral("There are no multimedia files selected. It will be necessary to click the Display "
                             "Properties 'Settings...' button again and select a video or sound file."));
    EXPECT_EQ(platform.messageBoxes[0].style, 64);
    EXPECT_EQ(platform.messageBoxes[0].title, QStringLiteral("Larkspur Software Video Screensaver"));
    EXPECT_EQ(verifiesBeforeMessage, 1);
    EXPECT_EQ(platform.endedWith, 0);
    EXPECT_TRUE(player()->urls.isEmpty() || player()->URL().isEmpty());
}

TEST_F(FullScreenPlayer, AnEmptyMediaPathPlaysTheDefaultClipNeverTheLastFolder) {
    setting(Key::VideoFile, QString());
    setting(Key::PathToLastDirectory, QStringLiteral("/media/folder"));
    QFile clip(defaultMediaPath());
    ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
    clip.close();
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_EQ(player()->URL(), defaultMediaPath());
    EXPECT_TRUE(platform.messageBoxes.isEmpty());
}

TEST_F(FullScreenPlayer, GarbageSettingsFallBackToDefaults) {
    const settings::KeyRef garbled[] = {Key::PlaySingleFile,         Key::PlayInRandomOrder,
                                        Key::DoNotIgnoreMouseMovent, Key::GradOn,
                                        Key::FireGradInterval,       Key::MouseSensitivity,
                                        Key::BackDropColor,          Key::ScreensaverSoundMutePreference};
    for (settings::KeyRef key : garbled)
        setting(key, QStringLiteral("\x01garbage 99999999999"));
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    auto* f = start();
    ASSERT_TRUE(f);
    EXPECT_EQ(player()->URL(), QStringLiteral("/media/loop.mpg"));
    EXPECT_EQ(f->mouseSensitivity, 4);
    EXPECT_FALSE(f->Timer2->isActive());
    f->Form_MouseMove(0, 0, 100, 100);
    f->Form_MouseMove(0, 0, 110, 100);
    EXPECT_FALSE(form());
}

} // namespace
