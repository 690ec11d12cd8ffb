#include "ScreenTest.h"
#include "support/TestFiles.h"
#include <QDir>
#include <QElapsedTimer>
#include <QSet>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using e2e::ProgramRun;
using e2e::X11Session;

namespace {

class EndToEnd : public e2e::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        if (HasFatalFailure()) return;
        // Park the pointer away from where the tests move it.
        pointAt(5, 5);
    }

    // Waits until pred holds; the milliseconds it took, or -1.
    template <class Pred> int waitFor(Pred pred, int timeoutMs) { return e2e::waitUntil(pred, timeoutMs); }
    bool coversScreen() {
        for (const auto& w : x().mappedWindowsNamed(kMainForm))
            if (w.geometry == QRect(0, 0, 1280, 1024)) return true;
        return false;
    }
    QString centreColour() { return e2e::colourName(x().pixel(640, 512)); }
    // Full screen on a green clip.
    void greenFullScreen(ProgramRun& run) {
        const QString clip = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/green.mpg"),
                                                 {QStringLiteral("green")}, 3.0);
        ASSERT_FALSE(clip.isEmpty());
        fullScreenSettings(run, clip);
    }
    // One key ends the run within a second, cleanly.
    void expectAKeyEndsIt(ProgramRun& run) {
        x().xdotool({QStringLiteral("key"), QStringLiteral("x")});
        const int ended = run.waitForEnd(3000);
        ASSERT_GE(ended, 0) << "the key did not end the screen saver";
        EXPECT_LE(ended, 1000);
        EXPECT_EQ(run.process().exitCode(), 0);
    }

    // Full screen, one file in a loop.
    void fullScreenSettings(ProgramRun& run, const QString& media, const QStringList& more = {}) {
        run.writeSettings(QStringList{keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                                      keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                                      keyLine(Key::VideoFile, media)} +
                          more);
    }
};

TEST_F(EndToEnd, ConfigureShowsTheSplashThenTheConfigurationWindowAndRecordsTheScreen) {
    ProgramRun run;
    run.start(QStringLiteral("/c"));
    auto splashShown = [&] {
        for (const auto& w : x().topWindows())
            if (w.mapped && w.geometry.size() == QSize(506, 327)) return true;
        return false;
    };
    ASSERT_GE(waitFor(splashShown, 3000), 0);
    settle();
    x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-splash.png"));
    // The splash is centred and shows its picture, not a blank window.
    const QImage screen = x().grabScreen();
    const QRect splash((1280 - 506) / 2, (1024 - 327) / 2, 506, 327);
    QSet<QRgb> colours;
    for (int y = splash.top() + 10; y < splash.bottom() - 30; y += 17)
        for (int xx = splash.left() + 10; xx < splash.right() - 10; xx += 23) colours.insert(screen.pixel(xx, y));
    EXPECT_GT(colours.size(), 20);

    const QString config = QStringLiteral("Lumora Video & Multimedia Screensaver");
    const int shown = waitFor([&] { return !x().mappedWindowsNamed(config).isEmpty(); }, 10000);
    ASSERT_GE(shown, 0);
    EXPECT_FALSE(splashShown());
    const QString settings = run.readSettings();
    EXPECT_TRUE(settings.contains(QStringLiteral("WidthOfScreenResolution=1280"))) << settings.toStdString();
    EXPECT_TRUE(settings.contains(QStringLiteral("HeightOfScreenResolution=1024"))) << settings.toStdString();
}

TEST_F(EndToEnd, RunOpensNothingWhileAMainFormExists) {
    ProgramRun run;
    fullScreenSettings(run, QStringLiteral("/nonexistent.mpg"));
    const uint32_t other = x().createWindow(kMainForm);
    run.start(QStringLiteral("/s"));
    const int ended = run.waitForEnd(3000);
    x().destroyWindow(other);
    ASSERT_GE(ended, 0);
    EXPECT_EQ(run.process().exitCode(), 0);
    EXPECT_FALSE(coversScreen());
}

TEST_F(EndToEnd, FullScreenCoversTheScreenLoopsTheClipAndEndsOnAVerticalMove) {
    ProgramRun run;
    // Red for a second, then blue: the colour at the centre shows where the clip is.
    const QString clip = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red then blue.mpg"),
                                             {QStringLiteral("red"), QStringLiteral("blue")}, 1.0);
    ASSERT_FALSE(clip.isEmpty());
    fullScreenSettings(run, clip);
    run.start(QStringLiteral("/s"));
    const int covered = waitFor([&] { return coversScreen(); }, 3000);
    ASSERT_GE(covered, 0);
    EXPECT_LE(covered, 1000);

    // A second run meanwhile opens nothing and leaves quietly.
    auto second = run.startAnother(QStringLiteral("/s"));
    ASSERT_TRUE(second->waitForFinished(3000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(x().mappedWindowsNamed(kMainForm).size(), 1);

    // Blue, then red again within a second of the end as the clip restarts.
    ASSERT_GE(waitFor([&] { return centreColour() == QLatin1String("blue"); }, 5000), 0);
    x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-fullscreen.png"));
    const int restarted = waitFor([&] { return centreColour() == QLatin1String("red"); }, 4000);
    ASSERT_GE(restarted, 0);
    // The blue second, plus at most one second of polling.
    EXPECT_LE(restarted, 2300);
    EXPECT_TRUE(run.process().state() == QProcess::Running);

    // Jitter within the sensitivity from where the pointer rested is no move. Then, while the process
    // is stopped, the pointer goes down twice: the moves reach it merged, and up and down counts as
    // much as across.
    pointAt(8, 2);
    // A stretch of time in which a move would have ended the run.
    QThread::msleep(300);
    ASSERT_EQ(run.process().state(), QProcess::Running);
    ::kill(pid_t(run.process().processId()), SIGSTOP);
    pointAt(5, 15);
    pointAt(5, 25);
    ::kill(pid_t(run.process().processId()), SIGCONT);
    const int ended = run.waitForEnd(3000);
    ASSERT_GE(ended, 0);
    EXPECT_LE(ended, 1000);
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process().exitCode(), 0);
    EXPECT_FALSE(coversScreen());
}

TEST_F(EndToEnd, FullScreenEndsOnAKeyPress) {
    ProgramRun run;
    greenFullScreen(run);
    run.start(QStringLiteral("/s"));
    ASSERT_GE(waitFor([&] { return centreColour() == QLatin1String("green"); }, 4000), 0);
    expectAKeyEndsIt(run);
}

// A key or a middle click made while the screen saver starts, before its window shows, still ends
// it: keyboard and pointer are held from the first moment, and what comes early is kept.
TEST_F(EndToEnd, AKeyOrAMiddleClickBeforeTheWindowShowsEndsTheScreenSaver) {
    ProgramRun run;
    greenFullScreen(run);
    int caught = 0;
    for (int attempt = 0; attempt < 8 && caught < 2; ++attempt) {
        const bool key = attempt % 2 == 0;
        SCOPED_TRACE(key ? "key" : "middle click");
        run.start(QStringLiteral("/s"));
        // The moment the keyboard is held but no window shows yet.
        bool early = false;
        e2e::waitUntil(
            [&] {
                if (x().grabStatusesOfAnotherProgram().first != XCB_GRAB_STATUS_ALREADY_GRABBED) return false;
                early = x().mappedWindowsNamed(kMainForm).isEmpty();
                return true;
            },
            5000);
        caught += early;
        // Before the window showed or after, one key or click ends it.
        if (key) {
            expectAKeyEndsIt(run);
        } else {
            x().xdotool({QStringLiteral("click"), QStringLiteral("2")});
            EXPECT_GE(run.waitForEnd(3000), 0) << "the middle click did not end the screen saver";
        }
        if (run.process().state() != QProcess::NotRunning) run.process().kill(), run.process().waitForFinished();
    }
    EXPECT_GE(caught, 1) << "the keyboard was never held before the window showed";
}

// Another program holds the keyboard when the screen saver starts: it runs all the same, says so once,
// and takes the keyboard as soon as the other program lets go.
TEST_F(EndToEnd, AKeyboardHeldElsewhereIsTakenOnceLetGo) {
    xcb_connection_t* c = x().connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* held = xcb_grab_keyboard_reply(
        c, xcb_grab_keyboard(c, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr);
    ASSERT_TRUE(held && held->status == XCB_GRAB_STATUS_SUCCESS);
    free(held);
    ProgramRun run;
    run.captureErrors();
    greenFullScreen(run);
    run.start(QStringLiteral("/s"));
    ASSERT_GE(waitFor([&] { return centreColour() == QLatin1String("green"); }, 5000), 0);
    const QString told = QStringLiteral("another program holds the keyboard");
    EXPECT_GE(waitFor([&] { return run.errors().contains(told); }, 3000), 0) << run.errors().toStdString();
    // A stretch of time in which a second notice would have come.
    QThread::msleep(2500);
    EXPECT_EQ(run.errors().count(told), 1) << "said more than once";
    EXPECT_EQ(run.process().state(), QProcess::Running);

    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
    EXPECT_GE(waitFor([&] { return x().grabStatusesOfAnotherProgram().first == XCB_GRAB_STATUS_ALREADY_GRABBED; }, 3000),
              0)
        << "the keyboard was not taken once free";
    expectAKeyEndsIt(run);
}

// From the first frame on the picture never gives way to the back colour (green): not at a loop of
// a single file, full screen or floating, nor between the items of a play list. The centre of the
// screen, which a three-quarter player covers wherever it floats, is looked at every few ms.
TEST_F(EndToEnd, ThePictureStaysUpFromLoopToLoopAndItemToItem) {
    ProgramRun run;
    const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mpg"), {QStringLiteral("red")}, 2.0);
    const QString blue =
        e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/blue.mpg"), {QStringLiteral("blue")}, 2.0);
    ASSERT_FALSE(red.isEmpty());
    ASSERT_FALSE(blue.isEmpty());
    run.writePlayList({red, blue});
    const QStringList green{keyLine(Key::BackDropColor, QStringLiteral("65280"))};
    const QStringList full{keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True"))};
    const QStringList floating{keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("False")),
                               keyLine(Key::ThreeQuartersScreenMode, QStringLiteral("True")),
                               keyLine(Key::MovieWillFloat, QStringLiteral("1"))};
    const QStringList inOrder{keyLine(Key::PlaySingleFile, QStringLiteral("False")),
                              keyLine(Key::PlayMultipleFiles, QStringLiteral("True")),
                              keyLine(Key::PlayInRandomOrder, QStringLiteral("False"))};
    const struct {
        const char* name;
        QStringList settings;
        QStringList colours;
    } cases[] = {
        {"full screen, one file", green + full, {QStringLiteral("red")}},
        {"floating, one file", green + floating, {QStringLiteral("red")}},
        {"full screen, play list", green + full + inOrder, {QStringLiteral("red"), QStringLiteral("blue")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        run.writeSettings(QStringList{keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                                      keyLine(Key::VideoFile, red)} +
                          c.settings);
        run.start(QStringLiteral("/s"));
        ASSERT_GE(waitFor([&] { return c.colours.contains(centreColour()); }, 5000), 0);
        // Four loops of the clip, or four items.
        QElapsedTimer t;
        t.start();
        int samples = 0, gaps = 0, changes = 0;
        QString last = centreColour();
        while (t.elapsed() < 8500) {
            const QString now = centreColour();
            ++samples;
            if (!c.colours.contains(now)) {
                if (gaps++ == 0) x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-picture-gap.png"));
            } else if (now != last) {
                ++changes;
                last = now;
            }
            // The step of the sampling: every gap in the picture is to be caught.
            QThread::msleep(3);
        }
        EXPECT_EQ(gaps, 0) << "of " << samples << " looks at the centre";
        EXPECT_GT(samples, 800);
        // The play list went on from item to item (red, blue, red, blue ...).
        if (c.colours.size() > 1) {
            EXPECT_GE(changes, 3);
        }
        expectAKeyEndsIt(run);
    }
}

TEST_F(EndToEnd, PlayListInOrderShowsTheEntriesInRotationOrder) {
    ProgramRun run;
    const QStringList colours{QStringLiteral("red"), QStringLiteral("green"), QStringLiteral("blue")};
    QStringList entries;
    for (const QString& c : colours) {
        // Longer than the first poll, so the first entry is still on when the player grows to the screen.
        entries << e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/%1.mpg").arg(c), {c}, 2.0);
        ASSERT_FALSE(entries.last().isEmpty());
    }
    run.writePlayList(entries);
    fullScreenSettings(run, QStringLiteral("/somewhere/stored.mpg"),
                       {keyLine(Key::PlaySingleFile, QStringLiteral("False")),
                        keyLine(Key::PlayMultipleFiles, QStringLiteral("True")),
                        keyLine(Key::PlayInRandomOrder, QStringLiteral("False"))});
    run.start(QStringLiteral("/s"));
    ASSERT_GE(waitFor([&] { return coversScreen(); }, 3000), 0);
    // A stored single file gives way to the play list: entry 1, 2, 0, 1.
    const QStringList seen = coloursSeen(run, colours, 4, 15000);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("green"), QStringLiteral("blue"), QStringLiteral("red"),
                                 QStringLiteral("green")}));
    x().xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    EXPECT_GE(run.waitForEnd(3000), 0);
    EXPECT_EQ(run.process().exitCode(), 0);
}

// Play-list mode on fresh settings (no single file stored): the play list plays from the first
// item on, in order and at random; the default clip (green here) never shows.
TEST_F(EndToEnd, PlayListWithNoFileStoredStartsWithAnEntryNeverTheDefaultClip) {
    ProgramRun run;
    QDir().mkpath(run.programFolder() + QStringLiteral("/data"));
    ASSERT_FALSE(e2e::makeColourClip(run.programFolder() + QStringLiteral("/data/lumora.mpg"),
                                     {QStringLiteral("green")}, 8.0)
                     .isEmpty());
    const QStringList colours{QStringLiteral("red"), QStringLiteral("blue")};
    QStringList entries;
    for (const QString& c : colours) {
        entries << e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/%1.mpg").arg(c), {c}, 3.0);
        ASSERT_FALSE(entries.last().isEmpty());
    }
    run.writePlayList(entries);
    for (const char* random : {"False", "True"}) {
        SCOPED_TRACE(random);
        run.writeSettings({keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                           keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                           keyLine(Key::GradOn, QStringLiteral("0")),
                           keyLine(Key::PlaySingleFile, QStringLiteral("False")),
                           keyLine(Key::PlayMultipleFiles, QStringLiteral("True")),
                           keyLine(Key::PlayInRandomOrder) + QString::fromLatin1(random)});
        run.start(QStringLiteral("/s"));
        const QStringList seen = coloursSeen(run, colours + QStringList{QStringLiteral("green")}, 1, 8000);
        ASSERT_EQ(seen.size(), 1) << "nothing shown";
        EXPECT_TRUE(colours.contains(seen.first())) << "first shown: " << seen.first().toStdString();
        // In order it starts where it does after a stored file: the second entry.
        if (QLatin1String(random) == QLatin1String("False")) {
            EXPECT_EQ(seen.first(), QStringLiteral("blue"));
        }
        expectAKeyEndsIt(run);
    }
}

TEST_F(EndToEnd, BadInputNeverCrashes) {
    {
        // Garbage in the settings file.
        ProgramRun run;
        QStringList junk{QStringLiteral("AbsoluteFullScreenDisplayMode=maybe"), QStringLiteral("OneEighthScreenDisplayMode=\x01\x02"),
                         QStringLiteral("WidthOfScreenResolution=@Variant(garbage"), QStringLiteral("=novalue"),
                         QStringLiteral("no equals sign at all"), QStringLiteral("[another group")};
        run.writeSettings(junk);
        run.start(QStringLiteral("/s"));
        // The modes fall back to their defaults: the floating player of the one-eighth mode.
        ASSERT_GE(waitFor([&] { return !x().mappedWindowsNamed(kMainForm).isEmpty(); }, 5000), 0);
        x().xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        ASSERT_GE(run.waitForEnd(3000), 0);
        EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process().exitCode(), 0);
    }
    // "/P" alone is the preview with no window: it ends at once. Whatever is not a switch or an
    // option opens nothing, says so in one line and ends with status 2.
    const struct {
        QStringList arguments;
        int status;
    } lines[] = {{{QStringLiteral("/P")}, 0},
                 {{QStringLiteral("-s")}, 2},
                 {{QStringLiteral("S")}, 2},
                 {{QStringLiteral("--bogus")}, 2},
                 {{QStringLiteral("/p not-a-number")}, 2},
                 {{QStringLiteral("/p 99999999999999")}, 2},
                 {{QStringLiteral("/x")}, 2},
                 {{QStringLiteral("/s"), QStringLiteral("--speed"), QStringLiteral("0")}, 2},
                 {{QString(10000, QLatin1Char('/'))}, 2}};
    for (const auto& line : lines) {
        SCOPED_TRACE(line.arguments.join(u' ').left(20).toStdString());
        ProgramRun run;
        run.captureErrors();
        run.startWith(line.arguments);
        ASSERT_GE(run.waitForEnd(5000), 0);
        EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process().exitCode(), line.status);
        const QString said = run.errors().trimmed();
        if (line.status == 2) {
            EXPECT_FALSE(said.contains(u'\n')) << said.toStdString();
            EXPECT_TRUE(said.contains(line.arguments.last().left(20))) << said.toStdString();
            EXPECT_TRUE(said.contains(QStringLiteral("Usage: lumora"))) << said.toStdString();
        }
        EXPECT_TRUE(x().mappedWindowsNamed(QStringLiteral("Lumora Video & Multimedia Screensaver")).isEmpty());
        EXPECT_TRUE(x().mappedWindowsNamed(kMainForm).isEmpty());
    }
}

} // namespace
