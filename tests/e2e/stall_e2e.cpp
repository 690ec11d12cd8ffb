#include "ScreenTest.h"
#include "support/Clips.h"
#include "support/TestFiles.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/stat.h>

using e2e::colourName;
using e2e::ProgramRun;
using e2e::waitUntil;
using e2e::X11Session;

namespace {

class NoStall : public e2e::PointerInCornerTest {
protected:
    QString fifo(ProgramRun& run) {
        const QString path = run.mediaFolder() + QStringLiteral("/pipe.mpg");
        EXPECT_EQ(::mkfifo(path.toUtf8().constData(), 0600), 0);
        return path;
    }
    QString centre() { return colourName(x().pixel(640, 512)); }
};

TEST_F(NoStall, APlayListWithAPipeAndOtherDudsKeepsRotatingItsPlayableEntries) {
    ProgramRun run;
    const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mpg"), {QStringLiteral("red")}, 2);
    const QString blue = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/blue.mpg"), {QStringLiteral("blue")}, 2);
    ASSERT_FALSE(red.isEmpty());
    ASSERT_FALSE(blue.isEmpty());
    const QString empty = run.mediaFolder() + QStringLiteral("/empty.avi");
    QFile(empty).open(QIODevice::WriteOnly);
    const QString folder = run.mediaFolder() + QStringLiteral("/empty folder");
    QDir().mkpath(folder);
    run.writePlayList({red, fifo(run), run.mediaFolder() + QStringLiteral("/missing.mpg"), empty, folder, blue});
    // The stored single file gives way to the play list; green shows wherever no picture is.
    run.writeSettings({keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                       keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                       keyLine(Key::PlaySingleFile, QStringLiteral("False")),
                       keyLine(Key::VideoFile, QStringLiteral("/somewhere/stored.mpg")),
                       keyLine(Key::BackDropColor, QStringLiteral("65280"))});
    run.start(QStringLiteral("/s"));
    QStringList seen;
    QElapsedTimer t, sinceMedia;
    t.start();
    sinceMedia.start();
    qint64 longestGap = 0;
    while (t.elapsed() < 40000 && run.process().state() == QProcess::Running) {
        const QString c = centre();
        if (c == QLatin1String("red") || c == QLatin1String("blue")) {
            longestGap = std::max(longestGap, sinceMedia.elapsed());
            sinceMedia.restart();
            if (seen.isEmpty() || seen.last() != c) seen << c;
        }
        // The step of the sampling.
        QThread::msleep(50);
    }
    ASSERT_EQ(run.process().state(), QProcess::Running);
    // Blue first (entry 1 is the pipe, then the duds), then red and blue in turn.
    ASSERT_GE(seen.size(), 6) << seen.join(QLatin1Char(' ')).toStdString();
    for (int i = 1; i < seen.size(); ++i) EXPECT_NE(seen[i], seen[i - 1]);
    // Four duds cost a poll each at most, never the whole run.
    EXPECT_LT(longestGap, 7000);
    x().xdotool({QStringLiteral("key"), QStringLiteral("x")});
    ASSERT_GE(run.waitForEnd(3000), 0);
    EXPECT_EQ(run.process().exitCode(), 0);
}

// A play-list file grown to gigabytes of nothing (a sparse file, a first line that never ends) costs
// the start no time: its one entry plays as soon as that of a plain list.
TEST_F(NoStall, AHugeSparsePlayListDoesNotDelayTheStart) {
    qint64 took[2] = {-1, -1};
    for (const bool sparse : {false, true}) {
        SCOPED_TRACE(sparse ? "sparse" : "plain");
        ProgramRun run;
        const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mpg"), {QStringLiteral("red")}, 10);
        ASSERT_FALSE(red.isEmpty());
        const QByteArray list = " 1 \r\n" + red.toUtf8() + "\r\n";
        QFile file(run.programFolder() + QStringLiteral("/lumoraplus.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        // Two gigabytes of hole as the header, read as an over-long one: the entry below still counts.
        if (sparse) {
            ASSERT_TRUE(file.seek(qint64(2) << 30));
        }
        ASSERT_EQ(file.write("\r\n" + list), list.size() + 2);
        file.close();
        run.writeSettings({keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                           keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                           keyLine(Key::PlaySingleFile, QStringLiteral("False")),
                           keyLine(Key::BackDropColor, QStringLiteral("65280"))});
        QElapsedTimer t;
        t.start();
        run.start(QStringLiteral("/s"));
        ASSERT_GE(waitUntil([&] { return centre() == QLatin1String("red"); }, 20000), 0);
        took[sparse] = t.elapsed();
        x().xdotool({QStringLiteral("key"), QStringLiteral("x")});
        ASSERT_GE(run.waitForEnd(3000), 0);
    }
    // Reading through the hole took seconds of a core.
    EXPECT_LT(took[1], took[0] + 1500) << "plain " << took[0] << " ms, sparse " << took[1] << " ms";
}

TEST_F(NoStall, APipeAsTheSingleFileShowsTheBackColourAndStillEndsOnAKey) {
    for (bool fullScreen : {true, false}) {
        SCOPED_TRACE(fullScreen ? "full screen" : "floating");
        ProgramRun run;
        run.writeSettings({fullScreen ? keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True"))
                                      : keyLine(Key::OneHalfScreenDisplayMode, QStringLiteral("True")),
                           keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                           keyLine(Key::MovieWillFloat, QStringLiteral("0")),
                           keyLine(Key::VideoFile) + fifo(run),
                           keyLine(Key::BackDropColor, QStringLiteral("16711680"))});
        run.start(QStringLiteral("/s"));
        ASSERT_GE(waitUntil([&] { return !x().mappedWindowsNamed(kMainForm).isEmpty() && centre() == QLatin1String("blue"); },
                            5000),
                  0);
        // Polled again and again, the pipe never holds the program: it stays on the back colour.
        for (int i = 0; i < 6; ++i) {
            // Half a second between looks: the back colour is to stay all along.
            QThread::msleep(500);
            EXPECT_EQ(centre(), QStringLiteral("blue"));
        }
        x().xdotool({QStringLiteral("key"), QStringLiteral("x")});
        const int ended = run.waitForEnd(3000);
        ASSERT_GE(ended, 0);
        EXPECT_LE(ended, 1000);
        EXPECT_EQ(run.process().exitCode(), 0);
    }
}

} // namespace

namespace {

// Red segments seen at the centre of the screen within timeoutMs, stopping at `wanted`; the longest
// time without red in between goes to longestGap.
int redSegments(X11Session& x, ProgramRun& run, int wanted, int timeoutMs, qint64* longestGap) {
    int segments = 0;
    bool red = false;
    QElapsedTimer t, sinceRed;
    t.start();
    sinceRed.start();
    *longestGap = 0;
    while (t.elapsed() < timeoutMs && segments < wanted && run.process().state() == QProcess::Running) {
        const bool now = colourName(x.pixel(640, 512)) == QLatin1String("red");
        if (now && !red) {
            ++segments;
            if (segments > 1) *longestGap = std::max(*longestGap, sinceRed.elapsed());
        }
        if (now) sinceRed.restart();
        red = now;
        // The step of the sampling.
        QThread::msleep(30);
    }
    return segments;
}

} // namespace

TEST_F(NoStall, EntriesThatAreNotLocalFilesArePassedOverWithoutBeingOpened) {
    ProgramRun run;
    // Red, then blue: the last picture stays up over an entry passed over, so each clip shows as
    // red after blue.
    const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mpg"),
                                            {QStringLiteral("red"), QStringLiteral("blue")}, 0.5);
    ASSERT_FALSE(red.isEmpty());
    e2e::WatchedFifo pipe(run.mediaFolder() + QStringLiteral("/pipe.mpg"));
    ASSERT_TRUE(pipe.ok());
    e2e::SilentServer web;
    ASSERT_TRUE(web.ok());
    const QString address = QStringLiteral("http://127.0.0.1:%1/x.mp4").arg(web.port());
    const QString list = run.mediaFolder() + QStringLiteral("/remote.m3u");
    QFile m3u(list);
    ASSERT_TRUE(m3u.open(QIODevice::WriteOnly));
    m3u.write(("#EXTM3U\n" + pipe.path() + "\n" + address + "\n").toUtf8());
    m3u.close();
    const QStringList hostile{QStringLiteral("fd://3"),
                              QStringLiteral("av://lavfi:testsrc"),
                              QStringLiteral("file://") + pipe.path(),
                              QStringLiteral("edl://") + pipe.path(),
                              address,
                              list};
    // Each between two red clips; the stored single file starts the list at its second entry.
    QStringList entries{red, red};
    for (const QString& entry : hostile)
        entries << entry << red;
    run.writePlayList(entries);
    run.writeSettings({keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                       keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                       keyLine(Key::PlaySingleFile, QStringLiteral("False")), keyLine(Key::VideoFile, red),
                       keyLine(Key::BackDropColor, QStringLiteral("65280"))});
    run.start(QStringLiteral("/s"));
    qint64 longestGap = 0;
    const int segments = redSegments(x(), run, int(hostile.size()) + 1, 60000, &longestGap);
    ASSERT_EQ(run.process().state(), QProcess::Running);
    // Every red clip came, each within 3 s of the one before: nothing played, hung or stalled.
    EXPECT_EQ(segments, hostile.size() + 1);
    EXPECT_LT(longestGap, 3000);
    EXPECT_EQ(web.connections(), 0);
    EXPECT_FALSE(pipe.opened());
    x().xdotool({QStringLiteral("key"), QStringLiteral("x")});
    const int ended = run.waitForEnd(3000);
    ASSERT_GE(ended, 0);
    EXPECT_LE(ended, 1000);
    EXPECT_EQ(run.process().exitCode(), 0);
}

// A sound server that takes the connection and never answers would hold libmpv's core, picture and
// all: the picture still comes, without sound, and stderr says so once; the screen saver ends at once
// on a key; with the sound off the server is never contacted, until the sound is turned on during the
// run.
TEST_F(NoStall, AHungSoundServerNeitherHoldsThePictureAndTheEndNorIsContactedWithTheSoundOff) {
    const QString givenUp =
        QStringLiteral("lumora: the sound output did not answer within 2 s; playing without sound");
    for (const bool soundOn : {true, false}) {
        SCOPED_TRACE(soundOn ? "sound on" : "sound off");
        ProgramRun run;
        run.captureErrors();
        const QString clip = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/with sound.mpg"),
                                                 {QStringLiteral("red")}, 20.0, true);
        ASSERT_FALSE(clip.isEmpty());
        e2e::SilentServer sound(run.mediaFolder() + QStringLiteral("/sound.socket"));
        ASSERT_TRUE(sound.ok());
        run.setEnvironment(QStringLiteral("PULSE_SERVER"),
                           QStringLiteral("unix:") + run.mediaFolder() + QStringLiteral("/sound.socket"));
        auto settings = [&](bool on) {
            return QStringList{keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                               keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                               keyLine(Key::VideoFile, clip),
                               keyLine(Key::ScreensaverSoundMutePreference) + (on ? "0" : "1")};
        };
        run.writeSettings(settings(soundOn));
        run.start(QStringLiteral("/s"));
        ASSERT_GE(waitUntil([&] { return !x().mappedWindowsNamed(kMainForm).isEmpty(); }, 5000), 0);
        // The sound output is given up after 2 s; the picture comes then at the latest.
        const int pictureAfter = waitUntil([&] { return centre() == QLatin1String("red"); }, 6000);
        EXPECT_GE(pictureAfter, 0) << "no picture";
        if (soundOn) {
            EXPECT_GE(sound.connections(), 1);
            EXPECT_GE(waitUntil([&] { return run.errors().contains(givenUp); }, 3000), 0) << run.errors().toStdString();
        } else {
            // Long enough for the player to reach for the sound output and for the poll to run a few times.
            QThread::msleep(2000);
            EXPECT_EQ(sound.connections(), 0);
            EXPECT_FALSE(run.errors().contains(givenUp));
            // The sound dialog turns the sound on during the run: the playing video is to be heard
            // from the next poll on, though its sound was left unread while muted.
            run.writeSettings(settings(true));
            EXPECT_GE(waitUntil([&] { return sound.connections() >= 1; }, 4000), 0);
            EXPECT_GE(waitUntil([&] { return run.errors().contains(givenUp); }, 4000), 0) << run.errors().toStdString();
        }
        // The picture plays on, and the sound is given up once for the whole run.
        // A stretch of time over which the sound is not to be given up again.
        QThread::msleep(1000);
        EXPECT_EQ(centre(), QStringLiteral("red"));
        EXPECT_EQ(run.errors().count(givenUp), 1) << run.errors().toStdString();
        x().xdotool({QStringLiteral("key"), QStringLiteral("x")});
        const int ended = run.waitForEnd(5000);
        ASSERT_GE(ended, 0);
        EXPECT_LE(ended, 1000);
        EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process().exitCode(), 0);
        EXPECT_TRUE(x().mappedWindowsNamed(kMainForm).isEmpty());
    }
}
