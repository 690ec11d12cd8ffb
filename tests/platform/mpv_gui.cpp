// The libmpv player on real clips that ffmpeg makes for the run.
#include "platform/mpv/MpvEngine.h"
#include "platform/mpv/CoreRetirement.h"
#include "platform/mpv/MpvPlayer.h"
#include "platform/mpv/SoundOutput.h"
#include "support/Clips.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using platform::mpv::MpvEngine;
using platform::mpv::MpvOptions;
using platform::mpv::MpvPlayer;
using platform::mpv::SoundDevices;
using platform::MediaPlayer;
using testsupport::ClipKind;
using testsupport::makeClip;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

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

QString colourName(QRgb pixel) {
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    if (r > 160 && g < 90 && b < 90) return "red";
    if (g > 100 && r < 90 && b < 90) return "green";
    if (b > 160 && r < 90 && g < 90) return "blue";
    return r < 30 && g < 30 && b < 30 ? "black" : "other";
}

QString centreColour(MpvPlayer& player) {
    const QImage image = player.grab().toImage();
    return colourName(image.pixel(image.width() / 2, image.height() / 2));
}

// The colours a shown player's new pictures take one after another, black left out, until it stops.
QStringList coloursUntilStopped(MpvPlayer& player, int timeout = kTimeout) {
    QStringList seen;
    // The last picture of what played before stays up until the first new one.
    const int oldFrames = player.renderedFrames();
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < timeout) {
        // Read first, so the picture of the moment the player stopped still counts.
        const bool stopped = player.playState() == MediaPlayer::Stopped;
        const QString colour =
            player.renderedFrames() > oldFrames && player.hasPicture() ? centreColour(player) : "black";
        if (colour != "black" && (seen.isEmpty() || seen.last() != colour)) seen << colour;
        if (stopped) break;
        // The step of the sampling.
        QTest::qWait(10);
    }
    return seen;
}

QString writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

// Processor time of the whole process, libmpv's threads included.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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
    // A stretch of time in which the closed item's late events would have come.
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
    // A stretch of time in which the emptied item's late events would have come.
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

TEST(MpvPlayer, StartsAtHalfVolumeAndMuteAppliesAndReadsBack) {
    // The user's own mpv configuration and scripts are not the screen saver's.
    QTemporaryDir home;
    QDir().mkpath(home.path() + QStringLiteral("/mpv/scripts"));
    const QString marker = home.path() + QStringLiteral("/script-ran");
    {
        QFile conf(home.path() + QStringLiteral("/mpv/mpv.conf"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("volume=7\nmute=yes\n");
        QFile script(home.path() + QStringLiteral("/mpv/scripts/mark.lua"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("io.open('" + marker.toUtf8() + "', 'w'):close()\n");
    }
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    qputenv("MPV_HOME", (home.path() + QStringLiteral("/mpv")).toUtf8());
    MpvPlayer player(nullptr, kFast);
    qputenv("XDG_CONFIG_HOME", oldConfig);
    qunsetenv("MPV_HOME");
    EXPECT_EQ(player.volume(), 50.0);
    EXPECT_FALSE(player.mute());
    player.setMute(true);
    EXPECT_TRUE(player.mute());
    player.setURL(clip("sound.wav", ClipKind::WavSound));
    ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));
    EXPECT_TRUE(player.mute());
    EXPECT_EQ(player.volume(), 50.0);
    player.setMute(false);
    EXPECT_FALSE(player.mute());
    EXPECT_FALSE(QFileInfo::exists(marker)) << "a script of the user's ran";
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

TEST(MpvPlayer, FramesAreDrawnWhileTheUserInterfaceThreadIsBusy) {
    MpvPlayer player(nullptr, kRealTime);
    player.resize(320, 240);
    player.show();
    player.setURL(clip("long.mpg", ClipKind::MpegVideo, 4.0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.renderedFrames() >= 2; }, kTimeout));
    // This thread does nothing for a third of a second: the clip's 25 frames a second are drawn all
    // the same, and the newest is painted once this thread is back.
    const int before = player.renderedFrames();
    QThread::msleep(320);
    const int during = player.renderedFrames() - before;
    EXPECT_GE(during, 4);
    (void)QTest::qWaitFor(
        [&] { return player.hasPicture() && distinctColours(player.grab().toImage()) > 10; }, 1000);
    EXPECT_TRUE(player.hasPicture());
    EXPECT_GT(distinctColours(player.grab().toImage()), 10);
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
    for (int i = 0; i < 100; ++i) {
        auto* player = new MpvPlayer(nullptr, i % 2 ? kFast : kRealTime);
        player->resize(160, 120);
        if (i % 3) player->show();
        player->setURL(file);
        if (i % 4 == 0)
            ASSERT_TRUE(waitForState(*player, MediaPlayer::Playing));
        else
            // Deleted a moment after the start, while the player is still opening the file.
            QTest::qWait(5);
        delete player;
    }
    QTest::qWait(50); // calls posted by the players' last callbacks must find nobody
    EXPECT_LE(threadCount(), before);
}

TEST(MpvPlayer, APlayListFilePlaysAllItsEntriesInTurnAndEndsAfterTheLast) {
    const QString dir = testsupport::clipFolder() + "/lists";
    const QStringList colours{"red", "green", "blue"};
    QByteArray m3u = "#EXTM3U\n";
    for (const QString& colour : colours)
        m3u += makeClip(dir, colour + ".mpg", ClipKind::SolidColour, 0.6, colour).toUtf8() + "\n";
    const QString list = writeFile(dir + "/three.m3u", m3u);
    // Entries relative to the list's own folder, and a list of lists.
    const QString pls = writeFile(dir + "/three, titled.pls", "[playlist]\nFile1=red.mpg\nTitle1=Red\n"
                                                              "File2=green.mpg\nFile3=blue.mpg\n"
                                                              "NumberOfEntries=3\nVersion=2\n");
    const QString nested = writeFile(dir + "/nested.m3u", "three, titled.pls\nred.mpg\n");

    MpvPlayer player(nullptr, kRealTime);
    player.resize(64, 48);
    player.show();
    StateLog log(player);
    const std::pair<QString, QStringList> cases[] = {
        {list, colours}, {pls, colours}, {nested, colours + QStringList{"red"}}};
    for (const auto& [url, expected] : cases) {
        SCOPED_TRACE(url.toStdString());
        log.states.clear();
        player.setURL(url);
        EXPECT_EQ(coloursUntilStopped(player), expected);
        ASSERT_EQ(player.playState(), MediaPlayer::Stopped);
        EXPECT_EQ(log.count(MediaPlayer::Stopped), 1);
        EXPECT_EQ(player.URL(), url);
    }

    // As the poll does at the end: the list plays again from its first entry.
    player.play();
    EXPECT_EQ(coloursUntilStopped(player), colours + QStringList{"red"});
    EXPECT_EQ(player.URL(), nested);

    // Stopping, closing or a new URL ends the rest of the list at once.
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        player.setURL(list);
        ASSERT_TRUE(QTest::qWaitFor([&] { return centreColour(player) == "red"; }, kTimeout));
        log.states.clear();
        if (way == 0)
            player.stop();
        else if (way == 1)
            player.closeMedia();
        else
            player.setURL(clip("short.wav", ClipKind::WavSound, 0.3));
        ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));
        QStringList seen; // until long after the first entry's end
        for (int i = 0; i < 40; ++i) {
            // The step of the sampling, until long after the end.
            QTest::qWait(30);
            seen << centreColour(player);
            EXPECT_EQ(player.playState(), MediaPlayer::Stopped);
        }
        EXPECT_FALSE(seen.contains("green") || seen.contains("blue")) << seen.join(' ').toStdString();
        EXPECT_EQ(log.count(MediaPlayer::Stopped), 1);
    }
}

TEST(MpvPlayer, PlayListsThatListThemselvesEndStoppedWithoutSpinning) {
    const QString dir = testsupport::clipFolder() + "/circles";
    makeClip(dir, "red.mpg", ClipKind::SolidColour, 0.2, "red");
    const QString lists[] = {
        writeFile(dir + "/self.m3u", "#EXTM3U\nself.m3u\n"),
        writeFile(dir + "/twice.m3u", "#EXTM3U\ntwice.m3u\ntwice.m3u\n"),
        writeFile(dir + "/a.pls", "[playlist]\nFile1=b.m3u\nNumberOfEntries=1\n"),
        writeFile(dir + "/b.m3u", "#EXTM3U\na.pls\n"),
        // Plays a while before each turn of the circle.
        writeFile(dir + "/red and self.m3u", "#EXTM3U\nred.mpg\nred and self.m3u\n"),
    };
    std::vector<std::unique_ptr<MpvPlayer>> players;
    for (const QString& list : lists) {
        SCOPED_TRACE(list.toStdString());
        players.push_back(std::make_unique<MpvPlayer>(nullptr, kFast));
        players.back()->setURL(list);
        ASSERT_TRUE(waitForState(*players.back(), MediaPlayer::Stopped, 5000));
    }
    players.pop_back(); // it decodes its clip at every turn; only its ending counts here
    // The poll plays each again every second: that must cost next to nothing. The sanitizers make
    // every step several times slower, so their builds get the time and processor to match.
#if defined(__SANITIZE_ADDRESS__)
    constexpr int kSlowdown = 4;
    constexpr double kCpuFactor = 8; // still half of one core spinning through the 12 s
#else
    constexpr int kSlowdown = 1;
    constexpr double kCpuFactor = 1;
#endif
    const double before = cpuSeconds();
    for (int poll = 0; poll < 3; ++poll) {
        for (auto& player : players) {
            EXPECT_EQ(player->playState(), MediaPlayer::Stopped) << player->URL().toStdString();
            player->play();
        }
        // The stretch the processor time is measured over.
        QTest::qWait(1000 * kSlowdown);
    }
    const double used = cpuSeconds() - before;
    EXPECT_LT(used, 0.75 * kCpuFactor);
    for (size_t i = 0; i < players.size(); ++i) {
        EXPECT_EQ(players[i]->playState(), MediaPlayer::Stopped) << lists[i].toStdString();
        EXPECT_EQ(players[i]->URL(), lists[i]);
    }
}

TEST(MpvPlayer, EmptyPlayListsAndListsOfMissingOrBrokenFilesEndStopped) {
    const QString dir = testsupport::clipFolder() + "/bad lists";
    makeClip(dir, "broken.avi", ClipKind::Unplayable);
    const QString lists[] = {
        writeFile(dir + "/empty.m3u", ""),
        writeFile(dir + "/header only.m3u", "#EXTM3U\n"),
        writeFile(dir + "/none.pls", "[playlist]\nNumberOfEntries=0\nVersion=2\n"),
        writeFile(dir + "/missing.m3u", "/no/such/file.mpg\nnot here either.avi\n"),
        writeFile(dir + "/broken.pls", "[playlist]\nFile1=broken.avi\nFile2=gone.mpg\nNumberOfEntries=2\n"),
    };
    MpvPlayer player(nullptr, kFast);
    StateLog log(player);
    for (const QString& list : lists) {
        SCOPED_TRACE(list.toStdString());
        log.states.clear();
        player.setURL(list);
        ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));
        player.play();
        ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));
        EXPECT_FALSE(log.contains(MediaPlayer::Playing));
    }
    log.states.clear();
    player.setURL(clip("video.mpg", ClipKind::MpegVideo));
    ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped));
    EXPECT_TRUE(log.contains(MediaPlayer::Playing));
}

namespace {

// A socket file bound in the folder; closed (the file stays) when the test ends.
struct SocketFile {
    int fd = -1;
    explicit SocketFile(const QString& path) {
        fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray p = path.toUtf8();
        std::memcpy(address.sun_path, p.constData(), std::min<size_t>(p.size(), sizeof address.sun_path - 1));
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            ADD_FAILURE() << "cannot bind " << p.constData();
    }
    ~SocketFile() {
        if (fd >= 0) ::close(fd);
    }
};

// A local server that takes connections and never says a word, as a hung share or stream does.
struct SilentServer {
    int fd = -1;
    int port = 0;
    SilentServer() {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd, 8) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            ADD_FAILURE() << "no local server";
        port = ntohs(address.sin_port);
    }
    ~SilentServer() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

TEST(MpvPlayer, PipesSocketsAndDevicesEndStoppedAtOnceWithoutHoldingTheThread) {
    const QString dir = testsupport::clipFolder() + "/special";
    QDir().mkpath(dir);
    const QString fifo = dir + "/pipe.mpg";
    ASSERT_EQ(::mkfifo(fifo.toUtf8().constData(), 0600), 0);
    SocketFile socket(dir + "/socket.avi");
    const QString good = clip("after.mpg", ClipKind::MpegVideo, 1.0);

    MpvPlayer player(nullptr, kRealTime);
    for (const QString& url : {fifo, dir + "/socket.avi", QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(url.toStdString());
        QElapsedTimer t;
        t.start();
        player.setURL(url);
        EXPECT_LT(t.elapsed(), 200) << "setting the URL must not wait on the file";
        ASSERT_TRUE(waitForState(player, MediaPlayer::Stopped, 2000));
        EXPECT_EQ(player.URL(), url);
        // The single-file loop plays it again: the same quick end, every time.
        player.play();
        EXPECT_TRUE(waitForState(player, MediaPlayer::Stopped, 2000));
        // And the next item plays as ever.
        player.setURL(good);
        EXPECT_TRUE(waitForState(player, MediaPlayer::Playing));
    }
    QFile::remove(fifo);
}

TEST(MpvPlayer, AddressesAndPlayListEntriesThatAreNotLocalFilesEndStoppedWithoutBeingOpened) {
    SilentServer server;
    const QString dir = testsupport::clipFolder() + "/addresses";
    QDir().mkpath(dir);
    const QString fifo = dir + "/pipe.mpg";
    ASSERT_EQ(::mkfifo(fifo.toUtf8().constData(), 0600), 0);
    const QString web = QStringLiteral("http://127.0.0.1:%1/clip.mpg").arg(server.port);
    const QString remote =
        writeFile(dir + "/remote.m3u", ("#EXTM3U\n" + web + "\n" + fifo + "\nfd://0\n").toUtf8());
    // Regular files whose text makes libmpv or FFmpeg open what they name.
    const QString editList = writeFile(dir + "/edit list.mpg", ("# mpv EDL v0\n" + fifo + "\n").toUtf8());
    const QString stream =
        writeFile(dir + "/stream.mpg",
                  ("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\n" + web + "\n#EXT-X-ENDLIST\n").toUtf8());
    const QString concat =
        writeFile(dir + "/concat.mpg", ("ffconcat version 1.0\nfile '" + web + "'\n").toUtf8());
    MpvPlayer player(nullptr, kRealTime);
    StateLog log(player);
    for (const QString& url : {web, QStringLiteral("fd://0"), QStringLiteral("av://lavfi:testsrc"),
                               QStringLiteral("edl://") + fifo, QStringLiteral("file://") + fifo,
                               QStringLiteral("memory://abc"), remote, editList, stream, concat}) {
        SCOPED_TRACE(url.toStdString());
        log.states.clear();
        player.setURL(url);
        EXPECT_TRUE(waitForState(player, MediaPlayer::Stopped, 1000));
        EXPECT_EQ(log.count(MediaPlayer::Playing), 0);
        EXPECT_EQ(player.URL(), url);
    }
    // Nothing connected, and the pipe has no reader: opening it to write without waiting fails.
    ::fcntl(server.fd, F_SETFL, ::fcntl(server.fd, F_GETFL) | O_NONBLOCK);
    const int client = ::accept(server.fd, nullptr, nullptr);
    EXPECT_LT(client, 0) << "something connected to the server";
    if (client >= 0) ::close(client);
    const int writer = ::open(fifo.toUtf8().constData(), O_WRONLY | O_NONBLOCK);
    EXPECT_LT(writer, 0);
    if (writer >= 0) ::close(writer);
    QFile::remove(fifo);

    // A file:// address of a real file plays it.
    player.setURL(QUrl::fromLocalFile(clip("addressed.mpg", ClipKind::MpegVideo, 1.0)).toString());
    EXPECT_TRUE(waitForState(player, MediaPlayer::Playing));
}

namespace {

// A Unix socket server that takes connections and never answers, as a hung sound server does;
// counts them. PULSE_SERVER points at it while it lives.
struct HungSoundServer {
    int fd = -1;
    QString path;
    std::vector<int> clients;
    explicit HungSoundServer(const QString& at) : path(at) {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray p = at.toUtf8();
        std::memcpy(address.sun_path, p.constData(), std::min<size_t>(p.size(), sizeof address.sun_path - 1));
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 8) != 0)
            ADD_FAILURE() << "cannot listen at " << p.constData();
        qputenv("PULSE_SERVER", "unix:" + p);
    }
    // Connections taken so far; each is held open and never read.
    int connections() {
        for (int c; (c = ::accept(fd, nullptr, nullptr)) >= 0;)
            clients.push_back(c);
        return int(clients.size());
    }
    ~HungSoundServer() {
        qunsetenv("PULSE_SERVER");
        for (int c : clients)
            ::close(c);
        if (fd >= 0) ::close(fd);
        QFile::remove(path);
    }
};

} // namespace

TEST(MpvPlayer, MutedNoSoundServerIsContactedAndASilentOneIsGivenUpWithoutHoldingThePicture) {
    const QString dir = testsupport::clipFolder() + "/sound";
    QDir().mkpath(dir);
    auto hung = std::make_unique<HungSoundServer>(dir + "/pulse.socket");
    HungSoundServer& server = *hung;
    const QString sound = clip("long sound.wav", ClipKind::WavSound, 20.0);
    const QString video = clip("long video.mpg", ClipKind::MpegVideo, 20.0);
    MpvOptions withSound = kRealTime;
    withSound.nullAudio = false;
    withSound.startLimitMs = 800;

    // Muted from the start: the sound plays to nothing, and the server hears nothing of it.
    auto player = std::make_unique<MpvPlayer>(nullptr, withSound);
    player->resize(64, 48);
    player->show();
    StateLog log(*player);
    player->setMute(true);
    player->setURL(sound);
    ASSERT_TRUE(waitForState(*player, MediaPlayer::Playing));
    EXPECT_EQ(player->soundOutput(), "null");
    EXPECT_TRUE(player->decodesSound());
    // A video's sound is neither decoded nor played anywhere.
    player->setURL(video);
    ASSERT_TRUE(waitForState(*player, MediaPlayer::Playing));
    EXPECT_FALSE(player->decodesSound());
    EXPECT_EQ(player->soundOutput(), "");
    // A stretch of time in which a sound output would have been tried.
    QTest::qWait(500);
    EXPECT_EQ(server.connections(), 0);

    // Unmuted, the sound outputs are tried; this server takes the connection and never answers,
    // which would hold libmpv's core, picture and all, for half a minute.
    testing::internal::CaptureStderr();
    QElapsedTimer t;
    t.start();
    player->setMute(false);
    EXPECT_FALSE(player->mute());
    EXPECT_LT(t.elapsed(), 50);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.connections() > 0; }, 5000));
    // Given up after two seconds: the next video plays, its pictures coming, without its sound.
    player->setURL(video);
    ASSERT_TRUE(waitForState(*player, MediaPlayer::Playing, 5000));
    const int frames = player->renderedFrames();
    EXPECT_TRUE(QTest::qWaitFor([&] { return player->renderedFrames() > frames + 10; }, 3000));
    EXPECT_FALSE(player->decodesSound());
    // Muting, stopping and starting items send and never wait for an answer; a sound file plays to
    // nowhere, for the rest of the run.
    t.restart();
    for (int i = 0; i < 5; ++i) {
        player->setMute(i % 2 == 0);
        player->stop();
        player->setURL(sound);
        player->play();
    }
    EXPECT_LT(t.elapsed(), 100);
    // Five looks at paths at once are more than are started together: the last item may count as
    // unplayable until they are done, and plays when asked again.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            if (player->playState() == MediaPlayer::Stopped) player->play();
            return player->playState() == MediaPlayer::Playing;
        },
        3000));
    EXPECT_EQ(player->soundOutput(), "null");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(QString::fromStdString(said).count("the sound output did not answer within 2 s; playing without sound"), 1)
        << said;
    // The player goes without waiting for any core.
    t.restart();
    player.reset();
    EXPECT_LT(t.elapsed(), 500);
    EXPECT_FALSE(platform::mpv::playersFinished(0)) << "the core the server holds counts as still ending";
    // Once the server goes, that core comes back and is freed after all.
    hung.reset();
    EXPECT_TRUE(platform::mpv::playersFinished(10000)) << "the core did not end once the sound server went";
}

// Where there is nothing to play sound on, libmpv tries no output, so no library complains on
// stderr: a sound file plays out its length to nowhere, and a video's sound is left out.
TEST(MpvPlayer, WithNoSoundDeviceSoundFilesPlayOutSilentlyAndVideosLeaveTheirSoundOut) {
    // The user's sound servers' sockets are not seen from an empty runtime folder.
    QTemporaryDir runtime;
    struct Runtime {
        const bool was = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        const QByteArray kept = qgetenv("XDG_RUNTIME_DIR");
        explicit Runtime(const QString& path) { qputenv("XDG_RUNTIME_DIR", path.toUtf8()); }
        ~Runtime() { was ? void(qputenv("XDG_RUNTIME_DIR", kept)) : void(qunsetenv("XDG_RUNTIME_DIR")); }
    } emptyRuntime(runtime.path());
    const SoundDevices devices = platform::mpv::findSoundDevices(QProcessEnvironment::systemEnvironment());
    if (devices.pipewire || devices.pulse || devices.alsa || devices.jack)
        GTEST_SKIP() << "this machine has something to play sound on";
    MpvOptions withSound = kRealTime;
    withSound.nullAudio = false;
    MpvPlayer player(nullptr, withSound);
    player.setMute(false);
    player.setURL(clip("two seconds.wav", ClipKind::WavSound, 2.0));
    ASSERT_TRUE(waitForState(player, MediaPlayer::Playing));
    EXPECT_EQ(player.soundOutput(), "null");
    double furthest = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            furthest = std::max(furthest, player.position());
            return player.playState() == MediaPlayer::Stopped;
        },
        kTimeout));
    EXPECT_GT(furthest, 1.0) << "the sound file ended before its end";

    player.setURL(clip("video.mpg", ClipKind::MpegVideo, 5.0));
    ASSERT_TRUE(waitForState(player, MediaPlayer::Playing));
    EXPECT_FALSE(player.decodesSound());
    EXPECT_EQ(player.soundOutput(), "");
}

TEST(SoundOutput, OnlyWhatTheMachineHasIsTriedAndTheNullOutputLast) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString r = root.path();
    auto touch = [&](const QString& path, const QByteArray& text = {}) {
        QDir().mkpath(QFileInfo(path).path());
        writeFile(path, text);
    };
    auto find = [&](const QProcessEnvironment& env) { return platform::mpv::findSoundDevices(env, r); };
    auto outputs = [&](const QProcessEnvironment& env) { return platform::mpv::audioOutputs(find(env)); };
    QProcessEnvironment env;
    env.insert("HOME", r + "/home");
    env.insert("XDG_RUNTIME_DIR", r + "/run/user/1000");
    QDir().mkpath(r + "/run/user/1000");
    EXPECT_EQ(outputs(env), "null");

    // Sound servers by their sockets, wherever their variables put them.
    touch(r + "/run/user/1000/pipewire-0");
    EXPECT_EQ(outputs(env), "pipewire,null");
    QFile::remove(r + "/run/user/1000/pipewire-0");
    touch(r + "/run/user/1000/pulse/native");
    EXPECT_EQ(outputs(env), "pulse,null");
    QFile::remove(r + "/run/user/1000/pulse/native");
    QProcessEnvironment elsewhere = env;
    touch(r + "/elsewhere/studio");
    elsewhere.insert("PIPEWIRE_REMOTE", r + "/elsewhere/studio");
    EXPECT_TRUE(find(elsewhere).pipewire);
    elsewhere.insert("PULSE_SERVER", "tcp:192.0.2.1");
    EXPECT_TRUE(find(elsewhere).pulse);
    EXPECT_EQ(outputs(env), "null");

    // A PulseAudio server named in a client configuration; the comments of the shipped one name none.
    touch(r + "/etc/pulse/client.conf", "; default-server =\n# default-server = unix:/x\nautospawn = no\n");
    EXPECT_FALSE(find(env).pulse);
    touch(r + "/home/.config/pulse/client.conf", "default-server = unix:/run/pulse/native\n");
    EXPECT_TRUE(find(env).pulse);
    QFile::remove(r + "/home/.config/pulse/client.conf");
    // A pipe in its place is not waited on.
    ASSERT_EQ(::mkfifo(QFile::encodeName(r + "/home/.config/pulse/client.conf").constData(), 0600), 0);
    EXPECT_FALSE(find(env).pulse);

    // A sound card that plays, not one that only records; an ALSA configuration may route anywhere.
    touch(r + "/dev/snd/pcmC0D0c");
    touch(r + "/dev/snd/controlC0");
    EXPECT_FALSE(find(env).alsa);
    touch(r + "/dev/snd/pcmC0D3p");
    EXPECT_EQ(outputs(env), "alsa,null");
    QFile::remove(r + "/dev/snd/pcmC0D3p");
    touch(r + "/home/.asoundrc");
    EXPECT_TRUE(find(env).alsa);
    QFile::remove(r + "/home/.asoundrc");

    // Another user's JACK server, and what a JACK server leaves behind, are not this user's.
    const QString uid = QString::number(::getuid());
    touch(r + "/dev/shm/jack_default_" + QString::number(::getuid() + 1) + "_0");
    touch(r + "/dev/shm/jack_db-" + uid + "/defaults");
    touch(r + "/dev/shm/sem.jack_sem." + uid + "_default_system");
    EXPECT_FALSE(find(env).jack);
    touch(r + "/dev/shm/jack_default_" + uid + "_0");
    EXPECT_EQ(outputs(env), "jack,null");

    // Everything at once, in libmpv's own order.
    touch(r + "/run/user/1000/pipewire-0");
    touch(r + "/run/pulse/native");
    touch(r + "/etc/asound.conf");
    EXPECT_EQ(outputs(env), "pipewire,pulse,alsa,jack,null");
}
