// The libmpv player on both surfaces, shown on a real X server: what reaches the screen is read back
// from the server (xwd), and the pointer and keys come from xdotool. OpenGL runs on whatever renderer
// the server offers (Mesa's llvmpipe under Xvfb).
#include "platform/mpv/GlRenderLoop.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/MonitorPower.h"
#include "platform/mpv/MpvPlayer.h"
#include "support/Clips.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QOffscreenSurface>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include "support/Processes.h"
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <gtest/gtest.h>
#include <cstdio>
#include <memory>
#include <mpv/client.h>
#include <mpv/render.h>
#include <xcb/dpms.h>
#include <xcb/xcb.h>
#include <ostream>
#include <vector>

using platform::mpv::MpvOptions;
using platform::mpv::MpvPlayer;
using platform::mpv::Surface;
using platform::MediaPlayer;
using testsupport::ClipKind;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// The three ways a player shows its frames on X.
enum class Kind { OpenGL, SharedMemory, Images };
void PrintTo(Kind k, std::ostream* os) {
    *os << (k == Kind::OpenGL ? "OpenGL" : k == Kind::SharedMemory ? "SharedMemory" : "Images");
}
MpvOptions optionsFor(Kind kind) {
    MpvOptions options;
    options.nullAudio = true;
    options.surface = kind == Kind::OpenGL ? Surface::OpenGL : Surface::Software;
    options.sharedMemory = kind == Kind::SharedMemory;
    return options;
}

constexpr int kTimeout = 20000;
// Where the host window stands, and the player within it: a shape unlike the clip's 4:3, so a
// picture kept at its own aspect would leave bars.
const QRect kHost(100, 100, 660, 260);
const QRect kPlayer(30, 30, 600, 200);

QString clip(const QString& name, ClipKind kind, double seconds) {
    return testsupport::makeClip(testsupport::clipFolder(), name, kind, seconds);
}

QString colourName(QRgb rgb) {
    const int r = qRed(rgb), g = qGreen(rgb), b = qBlue(rgb);
    if (r > 160 && g < 90 && b < 90) return QStringLiteral("red");
    if (g > 100 && r < 90 && b < 90) return QStringLiteral("green");
    if (b > 160 && r < 90 && g < 90) return QStringLiteral("blue");
    if (r > 200 && g > 200 && b > 200) return QStringLiteral("white");
    if (r < 30 && g < 30 && b < 30) return QStringLiteral("black");
    if (qAbs(r - 128) < 12 && qAbs(g - 128) < 12 && qAbs(b - 128) < 12) return QStringLiteral("grey");
    return QStringLiteral("other");
}

// What the X server shows on its root window.
QImage screenshot() {
    const testsupport::ProcessResult shell = testsupport::runProcess(
        QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("xwd -root -silent | convert xwd:- png:-")}, 20000);
    if (shell.exitCode != 0) {
        ADD_FAILURE() << "xwd | convert failed: " << shell.err.toStdString();
        return {};
    }
    return QImage::fromData(shell.out, "PNG");
}

bool xdotool(const QStringList& arguments) {
    return testsupport::runProcess(QStringLiteral("xdotool"), arguments, 5000).exitCode == 0;
}

// Shared memory segments on the machine (this process's among them).
int sharedSegments() {
    QFile f(QStringLiteral("/proc/sysvipc/shm"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    return int(f.readAll().count('\n')) - 1;
}

// This process's resident memory, in MiB.
double residentMiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

int threadCount() {
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// A grey top-level window without frame holding the player.
struct Host {
    explicit Host(Kind kind, bool untimed = false) {
        // Away from the window, so that moving over it later enters it as a user's pointer would.
        xdotool({"mousemove", "5", "5"});
        window.setWindowFlags(Qt::FramelessWindowHint);
        window.setGeometry(kHost);
        window.setAutoFillBackground(true);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, QColor(128, 128, 128));
        window.setPalette(palette);
        MpvOptions options = optionsFor(kind);
        options.untimed = untimed;
        player = new MpvPlayer(&window, options);
        player->setGeometry(kPlayer);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QPoint onScreen(int x, int y) const { return kHost.topLeft() + kPlayer.topLeft() + QPoint(x, y); }
    QString colourAt(const QImage& screen, int x, int y) const {
        const QPoint p = onScreen(x, y);
        return colourName(screen.pixel(p));
    }
    QWidget window;
    MpvPlayer* player = nullptr;
};

class EverySurface : public ::testing::TestWithParam<Kind> {};

std::string surfaceName(const ::testing::TestParamInfo<Kind>& info) {
    return info.param == Kind::OpenGL ? "OpenGL" : info.param == Kind::SharedMemory ? "SharedMemory" : "Images";
}

} // namespace

TEST_P(EverySurface, FramesReachTheScreenStretchedToFitThePlayer) {
    const QString file = clip(QStringLiteral("quadrants.mpg"), ClipKind::Quadrants, 10.0);
    ASSERT_FALSE(file.isEmpty());
    Host host(GetParam());
    ASSERT_EQ(host.player->usesOpenGL(), GetParam() == Kind::OpenGL);
    ASSERT_EQ(host.player->usesSharedMemory(), GetParam() == Kind::SharedMemory);
    host.player->setURL(file);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.player->hasPicture() && host.player->renderedFrames() > 5; },
                                kTimeout));
    // Until the picture is on the screen, each quadrant in its corner.
    (void)QTest::qWaitFor(
        [&] {
            const QImage now = screenshot();
            return host.colourAt(now, 2, 2) == "red" &&
                   host.colourAt(now, kPlayer.width() - 3, kPlayer.height() - 3) == "white";
        },
        2000);
    const QImage screen = screenshot();
    ASSERT_FALSE(screen.isNull());
    screen.save(QStringLiteral(LUMORA_BINARY_DIR "/x11-player-%1.png").arg(QString::fromStdString(
        surfaceName(::testing::TestParamInfo<Kind>(GetParam(), 0)))));
    // Each corner of the player shows its quadrant up to the edge: the picture fills the whole widget.
    const int right = kPlayer.width() - 1, bottom = kPlayer.height() - 1;
    EXPECT_EQ(host.colourAt(screen, 2, 2), "red");
    EXPECT_EQ(host.colourAt(screen, right - 2, 2), "blue");
    EXPECT_EQ(host.colourAt(screen, 2, bottom - 2), "green");
    EXPECT_EQ(host.colourAt(screen, right - 2, bottom - 2), "white");
    // The quadrants meet in the middle, stretched with the widget rather than kept at 4:3.
    EXPECT_EQ(host.colourAt(screen, kPlayer.width() / 2 - 8, kPlayer.height() / 2 - 8), "red");
    EXPECT_EQ(host.colourAt(screen, kPlayer.width() / 2 + 8, kPlayer.height() / 2 + 8), "white");
    // Nothing spills over the player's edges.
    EXPECT_EQ(host.colourAt(screen, -3, -3), "grey");
    EXPECT_EQ(host.colourAt(screen, right + 3, bottom + 3), "grey");

    // A bigger player draws at its new size.
    host.player->setGeometry(QRect(10, 10, 640, 240));
    // Until the far corner of the new size shows the picture.
    (void)QTest::qWaitFor(
        [&] {
            return colourName(screenshot().pixel(kHost.topLeft() + QPoint(10 + 637, 10 + 237))) == "white";
        },
        2000);
    const QImage grown = screenshot();
    EXPECT_EQ(colourName(grown.pixel(kHost.topLeft() + QPoint(12, 12))), "red");
    EXPECT_EQ(colourName(grown.pixel(kHost.topLeft() + QPoint(10 + 637, 10 + 237))), "white");

    // A mirror in another window, at another size (as on another monitor), shows the same picture
    // stretched to it, and goes again while the player plays on.
    QWidget other;
    other.setWindowFlags(Qt::FramelessWindowHint);
    const QRect otherHost(100, 420, 420, 220);
    other.setGeometry(otherHost);
    MediaPlayer* mirror = host.player->createMirror(&other);
    ASSERT_NE(mirror, nullptr);
    EXPECT_TRUE(mirror->isMirror());
    EXPECT_EQ(mirror->URL(), file);
    mirror->setGeometry(10, 10, 400, 200);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    const QPoint at = otherHost.topLeft() + QPoint(10, 10);
    QStringList corners;
    const bool mirrored = QTest::qWaitFor(
        [&] {
            const QImage screen = screenshot();
            corners = QStringList{colourName(screen.pixel(at + QPoint(3, 3))), colourName(screen.pixel(at + QPoint(396, 3))),
                                  colourName(screen.pixel(at + QPoint(3, 196))), colourName(screen.pixel(at + QPoint(396, 196)))};
            return corners == QStringList{"red", "blue", "green", "white"};
        },
        kTimeout);
    EXPECT_TRUE(mirrored) << corners.join(u' ').toStdString();
    const int frames = host.player->renderedFrames();
    delete mirror;
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.player->renderedFrames() > frames + 5; }, kTimeout))
        << "the player stopped with its mirror";
}

// libmpv's software renderer aborts the program on a frame marked as turned a quarter; each surface
// shows such videos upright instead, stretched to the player like any other.
TEST_P(EverySurface, VideosMarkedAsTurnedShowUpright) {
    const QString turned90 = clip(QStringLiteral("turned 90.mp4"), ClipKind::QuadrantsTurned90, 10.0);
    const QString turned270 = clip(QStringLiteral("turned 270.mp4"), ClipKind::QuadrantsTurned270, 10.0);
    ASSERT_FALSE(turned90.isEmpty() || turned270.isEmpty());
    Host host(GetParam());
    const int right = kPlayer.width() - 3, bottom = kPlayer.height() - 3;
    // Top left, top right, bottom left, bottom right.
    const std::pair<QString, QStringList> cases[] = {
        {turned90, {"blue", "white", "red", "green"}},
        {turned270, {"green", "red", "white", "blue"}},
    };
    for (const auto& [file, expected] : cases) {
        SCOPED_TRACE(file.toStdString());
        host.player->setURL(file);
        QStringList corners;
        const bool upright = QTest::qWaitFor(
            [&] {
                if (!host.player->hasPicture()) return false;
                const QImage screen = screenshot();
                corners = QStringList{host.colourAt(screen, 2, 2), host.colourAt(screen, right, 2),
                                      host.colourAt(screen, 2, bottom), host.colourAt(screen, right, bottom)};
                return corners == expected;
            },
            kTimeout);
        EXPECT_TRUE(upright) << corners.join(' ').toStdString();
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return host.player->playState() == MediaPlayer::Playing; }, kTimeout));
    }
}

TEST_P(EverySurface, StatesPictureAndInputFollowThePlayerContract) {
    const QString video = clip(QStringLiteral("quadrants.mpg"), ClipKind::Quadrants, 10.0);
    const QString sound = clip(QStringLiteral("sound.wav"), ClipKind::WavSound, 10.0);
    const QString garbage = clip(QStringLiteral("garbage.avi"), ClipKind::Unplayable, 1.0);
    ASSERT_FALSE(video.isEmpty() || sound.isEmpty() || garbage.isEmpty());
    Host host(GetParam());
    MpvPlayer& player = *host.player;
    std::vector<int> states;
    QObject::connect(&player, &MpvPlayer::playStateChanged, &player, [&](int s) { states.push_back(s); });

    player.setURL(video);
    EXPECT_EQ(player.playState(), MediaPlayer::Transitioning);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.playState() == MediaPlayer::Playing; }, kTimeout));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.hasPicture(); }, kTimeout));
    EXPECT_EQ(states, (std::vector<int>{MediaPlayer::Transitioning, MediaPlayer::Playing}));

    // The pointer and the buttons over the picture reach the player itself.
    QSignalSpy moves(&player, &MediaPlayer::MouseMove);
    QSignalSpy downs(&player, &MediaPlayer::MouseDown);
    QSignalSpy clicks(&player, &MediaPlayer::Click);
    QSignalSpy keys(&player, &MediaPlayer::KeyPress);
    const QPoint inside = host.onScreen(300, 100);
    // A window just mapped may miss the first movements over it; a user's pointer moves on.
    for (int step = 0; step < 20 && moves.isEmpty(); ++step) {
        ASSERT_TRUE(xdotool({"mousemove", QString::number(inside.x() + step % 2 * 10), QString::number(inside.y())}));
        (void)QTest::qWaitFor([&] { return moves.size() > 0; }, 150);
    }
    EXPECT_FALSE(moves.isEmpty());
    const qsizetype movesBefore = moves.size();
    ASSERT_TRUE(xdotool({"mousemove", QString::number(inside.x() + 10), QString::number(inside.y())}));
    (void)QTest::qWaitFor([&] { return moves.size() > movesBefore; }, 1000);
    ASSERT_TRUE(xdotool({"click", "1"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicks.size() == 1; }, 3000));
    ASSERT_EQ(downs.size(), 1);
    EXPECT_EQ(downs.at(0).at(0).toInt(), 1);
    EXPECT_EQ(downs.at(0).at(2).toInt(), 310);
    EXPECT_EQ(downs.at(0).at(3).toInt(), 100);
    // A turn of the wheel counts as a click.
    ASSERT_TRUE(xdotool({"click", "5"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicks.size() == 2; }, 3000));
    host.window.activateWindow();
    player.setFocus();
    (void)QTest::qWaitFor(
        [&] { return host.window.isActiveWindow() && QApplication::focusWidget() == &player; }, 2000);
    ASSERT_TRUE(xdotool({"key", "q"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return keys.size() == 1; }, 3000));
    if (!keys.isEmpty()) {
        EXPECT_EQ(keys.at(0).at(0).toInt(), int('q'));
    }
    EXPECT_EQ(QApplication::focusWidget(), &player);

    // Stop ends the item but leaves its last picture up; play starts it again.
    states.clear();
    player.stop();
    EXPECT_EQ(player.playState(), MediaPlayer::Stopped);
    player.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.playState() == MediaPlayer::Playing; }, kTimeout));
    EXPECT_EQ(states, (std::vector<int>{MediaPlayer::Stopped, MediaPlayer::Transitioning, MediaPlayer::Playing}));

    // A sound file takes the picture away: the grey of the window behind shows through.
    player.setURL(sound);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.playState() == MediaPlayer::Playing && !player.hasPicture(); },
                                kTimeout));
    (void)QTest::qWaitFor([&] { return host.colourAt(screenshot(), 2, 2) == "grey"; }, 2000);
    QImage screen = screenshot();
    EXPECT_EQ(host.colourAt(screen, 2, 2), "grey");
    EXPECT_EQ(host.colourAt(screen, 300, 100), "grey");

    // The video again, then closed: its picture goes too.
    player.setURL(video);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.hasPicture(); }, kTimeout));
    (void)QTest::qWaitFor([&] { return host.colourAt(screenshot(), 2, 2) == "red"; }, 2000);
    EXPECT_EQ(host.colourAt(screenshot(), 2, 2), "red");
    player.closeMedia();
    EXPECT_EQ(player.playState(), MediaPlayer::Stopped);
    EXPECT_FALSE(player.hasPicture());
    (void)QTest::qWaitFor([&] { return host.colourAt(screenshot(), 2, 2) == "grey"; }, 2000);
    EXPECT_EQ(host.colourAt(screenshot(), 2, 2), "grey");

    // What cannot be played stops.
    player.setURL(garbage);
    EXPECT_TRUE(QTest::qWaitFor([&] { return player.playState() == MediaPlayer::Stopped; }, kTimeout));
    EXPECT_FALSE(player.hasPicture());
}

TEST_P(EverySurface, PlaysToTheEndAndAgainWhileHidden) {
    const QString video = clip(QStringLiteral("quadrants.mpg"), ClipKind::Quadrants, 1.0);
    ASSERT_FALSE(video.isEmpty());
    Host host(GetParam(), true);
    host.window.hide();
    std::vector<int> states;
    QObject::connect(host.player, &MpvPlayer::playStateChanged, host.player, [&](int s) { states.push_back(s); });
    for (int round = 0; round < 2; ++round) {
        states.clear();
        if (round == 0) host.player->setURL(video);
        else host.player->play();
        ASSERT_TRUE(QTest::qWaitFor([&] { return host.player->playState() == MediaPlayer::Stopped; }, kTimeout));
        EXPECT_EQ(states, (std::vector<int>{MediaPlayer::Transitioning, MediaPlayer::Playing, MediaPlayer::Stopped}));
    }
    // A hidden player's frames are taken and dropped, never drawn.
    EXPECT_EQ(host.player->renderedFrames(), 0);
}

// While every monitor sleeps the player rests: nothing is decoded or drawn, and as nobody sees it,
// its state and picture stay as they were; it goes on from where it rested.
TEST_P(EverySurface, RestingHoldsTheItemWithItsStateAndPictureAndGoesOnWhereItRested) {
    const QString video = clip(QStringLiteral("quadrants.mpg"), ClipKind::Quadrants, 10.0);
    ASSERT_FALSE(video.isEmpty());
    Host host(GetParam());
    MpvPlayer& player = *host.player;
    player.setURL(video);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.playState() == MediaPlayer::Playing && player.hasPicture(); },
                                kTimeout));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.position() > 0.3; }, kTimeout));
    std::vector<int> states;
    QObject::connect(&player, &MpvPlayer::playStateChanged, &player, [&](int s) { states.push_back(s); });

    player.setResting(true);
    double rested = -1;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const double before = player.position();
            // Two looks apart: a position unchanged over them is a rest.
            QTest::qWait(200);
            rested = player.position();
            return rested == before;
        },
        3000));
    const int drawn = player.renderedFrames();
    // The poll's play() is no reason to go on, and nothing the rotation acts on changes.
    player.play();
    // A stretch of time in which playing on would have moved the position.
    QTest::qWait(400);
    EXPECT_EQ(player.position(), rested);
    EXPECT_EQ(player.renderedFrames(), drawn);
    EXPECT_EQ(player.playState(), MediaPlayer::Playing);
    EXPECT_TRUE(player.hasPicture());
    EXPECT_EQ(host.colourAt(screenshot(), 2, 2), "red");

    player.setResting(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.position() > rested; }, 1000));
    EXPECT_LT(player.position(), rested + 1.0);
    EXPECT_TRUE(states.empty()) << "the rest changed the play state " << states.size() << " times";

    // An item set while resting comes up with its first picture and waits there, playing as far as
    // the rotation can tell, however long the rest lasts.
    player.setResting(true);
    player.setURL(video);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.playState() == MediaPlayer::Playing && player.hasPicture(); },
                                kTimeout));
    // However long the rest lasts: a stretch of time in which playing would have moved on.
    QTest::qWait(600);
    EXPECT_EQ(player.playState(), MediaPlayer::Playing);
    EXPECT_LT(player.position(), 0.1);
    player.setResting(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return player.position() > 0.2; }, 2000));
}

// Xvfb has no DPMS: the reading must then say it does not know, so the players never rest on it.
// On a server with DPMS it says what xset says.
TEST(MonitorPower, TheX11ReadingIsTheDpmsLevelAndUnknownWithoutDpms) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_TRUE(x11 && x11->connection());
    xcb_connection_t* c = x11->connection();
    platform::DpmsPowerReader reader(c);
    const xcb_query_extension_reply_t* dpms = xcb_get_extension_data(c, &xcb_dpms_id);
    const testsupport::ProcessResult xset = testsupport::runProcess(QStringLiteral("xset"), {QStringLiteral("q")}, 5000);
    ASSERT_EQ(xset.exitCode, 0);
    const QString said = QString::fromLocal8Bit(xset.out);
    if (!dpms || !dpms->present) {
        EXPECT_TRUE(said.contains(QStringLiteral("Server does not have the DPMS Extension"))) << said.toStdString();
        EXPECT_EQ(reader.read(), platform::MonitorPower::Unknown);
    } else {
        EXPECT_EQ(reader.read(), said.contains(QStringLiteral("Monitor is On")) ? platform::MonitorPower::On
                                                                                : platform::MonitorPower::Off);
    }
    // What the program asks: the same, through the session's reader.
    qunsetenv("LUMORA_TEST_MONITOR_POWER_FILE");
    platform::X11WindowSystem windows;
    EXPECT_EQ(windows.monitorPower(), reader.read());
    // No connection at all, or one that broke: unknown, never off.
    EXPECT_EQ(platform::DpmsPowerReader(nullptr).read(), platform::MonitorPower::Unknown);
}

TEST_P(EverySurface, PlayersCreatedAndDestroyedAHundredTimesLeaveNoThread) {
    const QString video = clip(QStringLiteral("quadrants.mpg"), ClipKind::Quadrants, 10.0);
    ASSERT_FALSE(video.isEmpty());
    QWidget window;
    window.setWindowFlags(Qt::FramelessWindowHint);
    window.setGeometry(kHost);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const MpvOptions options = optionsFor(GetParam());
    auto cycle = [&](int i) {
        auto* player = new MpvPlayer(&window, options);
        player->setGeometry(kPlayer);
        player->show();
        EXPECT_EQ(player->usesOpenGL(), GetParam() == Kind::OpenGL);
        EXPECT_EQ(player->usesSharedMemory(), GetParam() == Kind::SharedMemory);
        // Every third one is destroyed in the middle of playing, every third one while starting.
        if (i % 3 != 2) player->setURL(video);
        if (i % 3 == 0) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return player->hasPicture(); }, kTimeout)) << "player " << i;
        }
        delete player;
        QCoreApplication::processEvents();
    };
    // Qt's, Mesa's and libmpv's threads for the whole process are there after the first.
    cycle(0);
    // Half a second for the first cycle's threads to settle before they are counted.
    QTest::qWait(500);
    const int before = threadCount();
    const int segmentsBefore = sharedSegments();
    for (int i = 1; i <= 100; ++i) cycle(i);
    // Nor memory shared with the X server: each player's goes with it.
    EXPECT_LE(sharedSegments(), segmentsBefore + 2) << "shared memory segments left behind";
    // The look at each file's path runs on a short thread of its own.
    EXPECT_TRUE(QTest::qWaitFor([&] { return threadCount() <= before; }, 5000))
        << threadCount() << " threads, " << before << " before";
}

// A screen saver runs for hours: one clip of 7680x4320 frames in a play list must not leave its
// memory with the process for the rest of the run once ordinary clips play again.
TEST(MpvPlayerMemory, AVeryLargeClipGivesItsMemoryBack) {
#if defined(__SANITIZE_ADDRESS__)
    // Its allocator holds freed memory aside on purpose, and the C library's is not in use.
    GTEST_SKIP() << "AddressSanitizer keeps freed memory";
#endif
    const QString ordinary = clip(QStringLiteral("ordinary.avi"), ClipKind::AviVideo, 2.0);
    const QString large = clip(QStringLiteral("large.mp4"), ClipKind::VeryLarge, 0.6);
    ASSERT_FALSE(ordinary.isEmpty());
    ASSERT_FALSE(large.isEmpty());
    Host host(Kind::SharedMemory, true);
    bool played = false;
    QObject::connect(host.player, &MpvPlayer::playStateChanged, host.player,
                     [&](int state) { played = played || state == MediaPlayer::Playing; });
    double peak = 0;
    auto playToTheEnd = [&](const QString& file) {
        played = false;
        host.player->setURL(file);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                peak = std::max(peak, residentMiB());
                return played && host.player->playState() == MediaPlayer::Stopped;
            },
            60000))
            << file.toStdString();
    };
    playToTheEnd(ordinary);
    playToTheEnd(ordinary);
    const double before = residentMiB();
    peak = before;
    playToTheEnd(large);
    playToTheEnd(ordinary);
    playToTheEnd(ordinary);
    const double after = residentMiB();
    // The large frames were really decoded here: else the test would show nothing.
    EXPECT_GT(peak - before, 150) << "peak " << peak << " MiB, before " << before << " MiB";
    EXPECT_LT(after - before, 50) << "before " << before << " MiB, peak " << peak << " MiB, after " << after << " MiB";
}

// libmpv allows one render context per core: a second one fails, as a driver's refusal would, and the
// OpenGL loop gives up with the reason and no thread left behind.
TEST(GlRenderLoop, AFailedStartSaysWhyAndLeavesNoThread) {
    mpv_handle* mpv = mpv_create();
    ASSERT_NE(mpv, nullptr);
    mpv_set_option_string(mpv, "vo", "libmpv");
    ASSERT_GE(mpv_initialize(mpv), 0);
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context* first = nullptr;
    ASSERT_GE(mpv_render_context_create(&first, mpv, params), 0);
    auto failedStart = [&] {
        QWindow window;
        window.setSurfaceType(QSurface::OpenGLSurface);
        window.create();
        QOffscreenSurface surface;
        surface.create();
        platform::mpv::GlRenderLoop loop(&surface, &window, [] {});
        QString error;
        EXPECT_EQ(loop.start(mpv, &error), nullptr);
        EXPECT_TRUE(error.startsWith("libmpv: ")) << error.toStdString();
    };
    // The driver's own threads stay from the first OpenGL context of the process on.
    failedStart();
    const int before = threadCount();
    failedStart();
    EXPECT_EQ(threadCount(), before);
    mpv_render_context_free(first);
    mpv_terminate_destroy(mpv);
}

INSTANTIATE_TEST_SUITE_P(MpvPlayerOnX, EverySurface,
                         ::testing::Values(Kind::OpenGL, Kind::SharedMemory, Kind::Images),
                         surfaceName);

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no X server.
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    QByteArray display = qgetenv("LUMORA_E2E_DISPLAY");
    if (display.isEmpty()) display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        std::fprintf(stderr, "these tests need an X server: set LUMORA_E2E_DISPLAY or DISPLAY (test.sh does)\n");
        return 1;
    }
    qputenv("DISPLAY", display);
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
