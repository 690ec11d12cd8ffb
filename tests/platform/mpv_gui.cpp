// The libmpv player on real clips that ffmpeg makes for the run.
#include "platform/mpv/MpvEngine.h"
#include "platform/mpv/MpvPlayer.h"
#include "support/Clips.h"
#include <QDir>
#include <QImage>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using platform::mpv::MpvEngine;
using platform::mpv::MpvOptions;
using platform::mpv::MpvPlayer;
using playback::MediaPlayer;
using testsupport::ClipKind;
using testsupport::makeClip;

namespace {

constexpr int kTimeout = 20000;
const MpvOptions kFast{true, true};
const MpvOptions kRealTime{true, false};

QString clip(const QString& name, ClipKind kind, double seconds = 1.0, const QString& colour = "red") {
    return makeClip(testsupport::clipFolder(), name, kind, seconds, colour);
}

// Every state the player passes through, in order.
struct StateLog {
    explicit StateLog(MpvPlayer& player) {
        QObject::connect(&player, &MpvPlayer::playStateChanged, &player,
                         [this](int s) { states.push_back(s); });
    }
    bool contains(int state) const { return std::find(states.begin(), states.end(), state) != states.end(); }
    int count(int state) const { return int(std::count(states.begin(), states.end(), state)); }
    std::vector<int> states;
};

bool waitForState(const MediaPlayer& player, int state, int timeout = kTimeout) {
    return QTest::qWaitFor([&] { return player.playState() == state; }, timeout);
}

int distinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            colours.insert(image.pixel(x, y) & 0xffffff);
    return int(colours.size());
}

bool isRed(QRgb pixel) {
    return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
}

int threadCount() {
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

TEST(MpvPlayer, EveryKindOfFilePlaysToItsEndAndStops) {
    MpvEngine engine(kFast);
    std::unique_ptr<MediaPlayer> created(engine.createPlayer(nullptr));
    auto* player = dynamic_cast<MpvPlayer*>(created.get());
    ASSERT_NE(player, nullptr);
    StateLog log(*player);

    const QString files[] = {clip("video.mpg", ClipKind::MpegVideo), clip("video.avi", ClipKind::AviVideo),
                             clip("sound.wav", ClipKind::WavSound), clip("sound.mp3", ClipKind::Mp3Sound)};
    for (const QString& file : files) {
        ASSERT_FALSE(file.isEmpty());
        SCOPED_TRACE(file.toStdString());
        log.states.clear();
        player->setURL(file);
        EXPECT_EQ(player->playState(), MediaPlayer::Transitioning);
        ASSERT_TRUE(waitForState(*player, MediaPlayer::Stopped));
        EXPECT_TRUE(log.contains(MediaPlayer::Playing));
        EXPECT_EQ(log.states.back(), MediaPlayer::Stopped);
        EXPECT_EQ(player->URL(), file);
    }
}

TEST(MpvPlayer, PlayStartsTheSameItemAgainAfterItsEndOrAStop) {
    MpvPlayer player(nullptr, kFast);
    StateLog log(player);
    player.setURL(clip("video.mpg", ClipKind::MpegVideo));
    ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));

    log.states.clear();
    player.play();
    EXPECT_NE(player.playState(), MediaPlayer::Stopped);
    ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));
    EXPECT_TRUE(log.contains(MediaPlayer::Playing));

    // Stopped halfway in real time, it starts over from the beginning.
    MpvPlayer timed(nullptr, kRealTime);
    timed.setURL(clip("long.mpg", ClipKind::MpegVideo, 4.0));
    ASSERT_TRUE(waitForState(timed, MediaPlayer::Playing));
    ASSERT_TRUE(QTest::qWaitFor([&] { return timed.position() > 0.8; }, kTimeout));
    timed.stop();
    EXPECT_EQ(timed.playState(), MediaPlayer::Stopped);
    QTest::qWait(200); // the stopped item's late events must not change the state
    EXPECT_EQ(timed.playState(), MediaPlayer::Stopped);
    timed.play();
    EXPECT_EQ(timed.playState(), MediaPlayer::Transitioning);
    ASSERT_TRUE(waitForState(timed, MediaPlayer::Playing));
    EXPECT_LT(timed.position(), 0.5);
}

TEST(MpvPlayer, AFileThatCannotBePlayedEndsStopped) {
    MpvPlayer player(nullptr, kFast);
    StateLog log(player);
    const QString broken = clip("broken.avi", ClipKind::Unplayable);
    const QString missing = testsupport::clipFolder() + "/no such file.avi";
    for (const QString& file : {broken, missing}) {
        SCOPED_TRACE(file.toStdString());
        log.states.clear();
        player.setURL(file);
        ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));
        EXPECT_FALSE(log.contains(MediaPlayer::Playing));
        // Trying again fails the same way instead of hanging in between.
        player.play();
        ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));
    }
    // The player is still good for the next file.
    log.states.clear();
    player.setURL(clip("video.mpg", ClipKind::MpegVideo));
    ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));
    EXPECT_TRUE(log.contains(MediaPlayer::Playing));
}

TEST(MpvPlayer, ANewURLReplacesThePlayingItemWithoutPassingThroughStopped) {
    MpvPlayer player(nullptr, kRealTime);
    StateLog log(player);
    player.setURL(clip("long.mpg", ClipKind::MpegVideo, 4.0));
    ASSERT_TRUE(waitForState(player, MediaPlayer::Playing));

    log.states.clear();
    player.setURL(clip("sound.wav", ClipKind::WavSound, 0.5));
    ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));
    ASSERT_FALSE(log.states.empty());
    const auto firstStop = std::find(log.states.begin(), log.states.end(), int(MediaPlayer::Stopped));
    EXPECT_NE(std::find(log.states.begin(), firstStop, int(MediaPlayer::Playing)), firstStop)
        << "reported stopped before the new item played";
    EXPECT_EQ(log.count(MediaPlayer::Stopped), 1);
}

TEST(MpvPlayer, EmptyURLAndCloseReleaseTheItem) {
    MpvPlayer player(nullptr, kRealTime);
    player.resize(160, 120);
    player.show();
    player.setURL(clip("long.mpg", ClipKind::MpegVideo, 4.0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.renderedFrames() > 0; }, kTimeout));
    player.closeMedia();
    EXPECT_EQ(player.playState(), MediaPlayer::Stopped);
    const QString closed = player.URL();
    EXPECT_TRUE(closed.endsWith("long.mpg"));
    QTest::qWait(200);
    EXPECT_EQ(player.playState(), MediaPlayer::Stopped);
    EXPECT_EQ(distinctColours(player.grab().toImage()), 1) << "the closed item's picture stayed";
    // Playing after a close opens the same item again.
    player.play();
    ASSERT_TRUE(waitForState(player, MediaPlayer::Playing));
    EXPECT_EQ(player.URL(), closed);
    player.stop();

    player.setURL(clip("long.mpg", ClipKind::MpegVideo, 4.0));
    ASSERT_TRUE(waitForState(player, MediaPlayer::Playing));
    player.setURL("");
    EXPECT_EQ(player.playState(), MediaPlayer::Stopped);
    EXPECT_EQ(player.URL(), "");
    QTest::qWait(200);
    EXPECT_EQ(player.playState(), MediaPlayer::Stopped);
}

TEST(MpvPlayer, URLReadsBackAsSetAndSuchPathsPlay) {
    const QString dir = testsupport::clipFolder() + "/clips, with spaces";
    const QString file = makeClip(dir, "a, b  c (1).mpg", ClipKind::MpegVideo);
    ASSERT_FALSE(file.isEmpty());
    MpvPlayer player(nullptr, kFast);
    StateLog log(player);
    player.setURL(file);
    EXPECT_EQ(player.URL(), file);
    ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));
    EXPECT_TRUE(log.contains(MediaPlayer::Playing));
    EXPECT_EQ(player.URL(), file);
}

TEST(MpvPlayer, MuteAppliesAndReadsBack) {
    MpvPlayer player(nullptr, kFast);
    EXPECT_FALSE(player.mute());
    player.setMute(true);
    EXPECT_TRUE(player.mute());
    player.setURL(clip("sound.wav", ClipKind::WavSound));
    ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));
    EXPECT_TRUE(player.mute());
    player.setMute(false);
    EXPECT_FALSE(player.mute());
}

TEST(MpvPlayer, FramesReachTheWidgetStretchedToFitAndOnlyWhenShown) {
    // Real time, so the picture is looked at while the item plays, not after it ended.
    MpvPlayer player(nullptr, kRealTime);
    player.resize(320, 240);
    player.show();
    player.setURL(clip("long.mpg", ClipKind::MpegVideo, 4.0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.renderedFrames() >= 3; }, kTimeout));
    EXPECT_GT(distinctColours(player.grab().toImage()), 10) << "no picture of the test pattern";

    // A 4:3 clip in a wide player fills it: no bars left and right.
    player.resize(480, 120);
    player.setURL(clip("red.mpg", ClipKind::SolidColour, 4.0, "red"));
    ASSERT_TRUE(waitForState(player, MediaPlayer::Playing));
    const int framesBefore = player.renderedFrames();
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.renderedFrames() >= framesBefore + 3; }, kTimeout));
    const QImage image = player.grab().toImage();
    ASSERT_EQ(image.size(), QSize(480, 120));
    for (const QPoint p : {QPoint(2, 60), QPoint(240, 60), QPoint(477, 60), QPoint(2, 2), QPoint(477, 117)})
        EXPECT_TRUE(isRed(image.pixel(p))) << p.x() << "," << p.y() << " " << std::hex << image.pixel(p);

    // Hidden, it draws nothing, and the item still plays through at its own pace.
    MpvPlayer hidden(nullptr, kFast);
    hidden.resize(320, 240);
    hidden.setURL(clip("video.mpg", ClipKind::MpegVideo, 2.0));
    ASSERT_TRUE(waitForState(hidden, MediaPlayer::Stopped));
    EXPECT_EQ(hidden.renderedFrames(), 0);
}

TEST(MpvPlayer, InputStaysWithTheWidgetWhilePlaying) {
    MpvPlayer player(nullptr, kRealTime);
    player.resize(320, 240);
    player.show();
    QSignalSpy clicks(&player, &MediaPlayer::Click);
    QSignalSpy keys(&player, &MediaPlayer::KeyPress);
    player.setURL(clip("long.mpg", ClipKind::MpegVideo, 4.0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.renderedFrames() > 0; }, kTimeout));
    QTest::mouseClick(&player, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::keyClick(&player, Qt::Key_A);
    EXPECT_EQ(clicks.count(), 1);
    ASSERT_EQ(keys.count(), 1);
    EXPECT_EQ(keys.at(0).at(0).toInt(), int('a'));
}

TEST(MpvPlayer, PlayersComeAndGoWithoutLeavingThreads) {
    const QString file = clip("long.mpg", ClipKind::MpegVideo, 4.0);
    delete new MpvPlayer(nullptr, kRealTime); // whatever libmpv sets up once per process
    const int before = threadCount();
    for (int i = 0; i < 20; ++i) {
        auto* player = new MpvPlayer(nullptr, i % 2 ? kFast : kRealTime);
        player->resize(160, 120);
        if (i % 3) player->show();
        player->setURL(file);
        if (i % 4 == 0)
            ASSERT_TRUE(waitForState(*player, MediaPlayer::Playing));
        else
            QTest::qWait(5);
        delete player;
    }
    QTest::qWait(50); // calls posted by the players' last callbacks must find nobody
    EXPECT_LE(threadCount(), before);
}
