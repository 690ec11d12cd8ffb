#include "ScreenTest.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

using e2e::ProgramRun;
using e2e::X11Session;

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
// Colour numbers as the settings store them: &H00BBGGRR.
const QString kBlueBack = QString::number(0xFF0000);

// Xorg with the dummy video driver and two monitors side by side, DUMMY0 the primary on the left:
// a desktop as Qt sees one with two screens, which Xvfb cannot give.
class TwoMonitorServer {
public:
    TwoMonitorServer() {
        if (geteuid() != 0) {
            m_skip = QStringLiteral("Xorg with the dummy driver needs root here");
            return;
        }
        const QString xorg = QStandardPaths::findExecutable(QStringLiteral("Xorg"));
        if (xorg.isEmpty() || !QFileInfo::exists(QStringLiteral("/usr/lib/xorg/modules/drivers/dummy_drv.so"))) {
            m_skip = QStringLiteral("Xorg or its dummy video driver is not installed");
            return;
        }
        // Runs side by side each give the display numbers to look at (LUMORA_E2E_XORG_DISPLAYS=160-169).
        int first = 171, last = 179;
        const QStringList range = qEnvironmentVariable("LUMORA_E2E_XORG_DISPLAYS").split(u'-');
        if (range.size() == 2 && range[0].toInt() > 0 && range[1].toInt() >= range[0].toInt())
            first = range[0].toInt(), last = range[1].toInt();
        for (int n = first; n <= last && m_display.isEmpty(); ++n)
            if (!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
                !QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                m_display = QStringLiteral(":%1").arg(n);
        if (m_display.isEmpty()) {
            m_skip = QStringLiteral("no free display between :%1 and :%2").arg(first).arg(last);
            return;
        }
        const QString conf = m_dir.path() + QStringLiteral("/xorg.conf");
        if (!QFile::copy(QStringLiteral(LUMORA_SOURCE_DIR "/tests/e2e/two-monitors.xorg.conf"), conf)) {
            m_failure = QStringLiteral("tests/e2e/two-monitors.xorg.conf could not be copied");
            return;
        }
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.setStandardOutputFile(m_dir.path() + QStringLiteral("/xorg.out"));
        m_server.start(xorg, {m_display, QStringLiteral("-config"), conf, QStringLiteral("-configdir"),
                              m_dir.path() + QStringLiteral("/none"), QStringLiteral("-noreset"),
                              QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-logfile"),
                              m_dir.path() + QStringLiteral("/xorg.log"), QStringLiteral("-novtswitch"),
                              QStringLiteral("-sharevts")});
        if (!m_server.waitForStarted(5000)) {
            m_skip = QStringLiteral("Xorg did not start");
            return;
        }
        m_session = std::make_unique<X11Session>(m_display);
        if (!m_session->ok()) {
            m_skip = QStringLiteral("Xorg started but took no connection");
            return;
        }
        xrandr({QStringLiteral("--addmode"), QStringLiteral("DUMMY1"), QStringLiteral("1280x1024")});
        xrandr({QStringLiteral("--addmode"), QStringLiteral("DUMMY1"), QStringLiteral("1024x768")});
        xrandr({QStringLiteral("--output"), QStringLiteral("DUMMY0"), QStringLiteral("--mode"), QStringLiteral("1280x1024"),
                QStringLiteral("--pos"), QStringLiteral("0x0"), QStringLiteral("--primary"), QStringLiteral("--output"),
                QStringLiteral("DUMMY1"), QStringLiteral("--mode"), QStringLiteral("1280x1024"), QStringLiteral("--pos"),
                QStringLiteral("1280x0")});
        m_monitors = xrandr({QStringLiteral("--listmonitors")});
    }
    ~TwoMonitorServer() {
        m_session.reset();
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000)) m_server.kill();
            m_server.waitForFinished(2000);
        }
    }
    QString skipReason() const { return m_skip; }
    QString failure() const { return m_failure; }
    QString display() const { return m_display; }
    QString monitors() const { return m_monitors; }
    X11Session& x() { return *m_session; }
    QString xrandr(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xrandr"), args);
        p.waitForFinished(10000);
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_display;
    QString m_skip;
    QString m_failure;
    QString m_monitors;
    std::unique_ptr<X11Session> m_session;
};

// Puts the second monitor back at its full size and place when a test that changed it ends.
struct MonitorSizeBack {
    TwoMonitorServer* server;
    ~MonitorSizeBack() {
        server->xrandr({QStringLiteral("--output"), QStringLiteral("DUMMY1"), QStringLiteral("--mode"),
                        QStringLiteral("1280x1024"), QStringLiteral("--pos"), QStringLiteral("1280x0")});
    }
};

// What the program reads as the monitors' power state in place of DPMS, through its test seam: no X
// server here can power a monitor off.
class MonitorPowerFile {
public:
    explicit MonitorPowerFile(ProgramRun& run) : m_path(run.mediaFolder() + QStringLiteral("/monitor-power")) {
        QDir().mkpath(run.mediaFolder());
        say("on");
        run.setEnvironment(QStringLiteral("LUMORA_TEST_MONITOR_POWER_FILE"), m_path);
    }
    void say(const char* state) {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(state);
    }

private:
    QString m_path;
};

class TwoMonitors : public e2e::ScreenTest {
protected:
    static void SetUpTestSuite() { server = new TwoMonitorServer; }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server->failure().isEmpty()) << server->failure().toStdString();
        if (!server->skipReason().isEmpty()) GTEST_SKIP() << server->skipReason().toStdString();
        ASSERT_TRUE(server->monitors().contains(QStringLiteral("Monitors: 2")))
            << "xrandr did not make two monitors: " << server->monitors().toStdString();
    }
    X11Session& x() override { return server->x(); }
    // The program on the two-monitor server, with the given settings and a red clip.
    QProcess& startSaver(ProgramRun& run, const QStringList& settings) {
        const QString red =
            e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mp4"), {QStringLiteral("red")}, 3);
        QStringList all{keyLine(Key::VideoFile, red), keyLine(Key::MouseSensitivity, QStringLiteral("4"))};
        // Defaults that the given settings may replace.
        for (const QString& line :
             {keyLine(Key::PlaySingleFile, QStringLiteral("True")), keyLine(Key::BackDropColor, kBlueBack)})
            if (!settings.filter(QRegularExpression(QLatin1Char('^') + line.section(u'=', 0, 0) + u'=')).size()) all << line;
        run.writeSettings(all + settings);
        run.setEnvironment(QStringLiteral("DISPLAY"), server->display());
        return run.start(QStringLiteral("/s"));
    }
    // Every pixel of the right monitor is of the colour, sampled on a grid.
    bool rightMonitorAll(const QImage& shot, const QString& colour) {
        for (int y = 4; y < kHeight; y += 50)
            for (int x = kWidth + 4; x < 2 * kWidth; x += 50)
                if (e2e::colourName(shot.pixel(x, y)) != colour) return false;
        return true;
    }
    static inline TwoMonitorServer* server = nullptr;
};

TEST_F(TwoMonitors, FullScreenCoversTheSecondMonitorHidesThePointerAndEndsOnAMoveThere) {
    // Another program's window on the second monitor, and the pointer on the first.
    const uint32_t other = x().createWindow(QStringLiteral("Another Program"), QRect(1500, 300, 400, 300), 0xFFFFFF);
    // The pointer rests over the second monitor, away from the other window.
    ASSERT_TRUE(x().xdotool({"mousemove", "1920", "900"}));
    ASSERT_EQ(e2e::colourName(x().pixel(1700, 450)), QStringLiteral("white"));

    ProgramRun run;
    QProcess& p = startSaver(run, {keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                                   keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False"))});
    // The clip fills the first monitor; the second shows the back colour over the other window.
    const int ms = e2e::waitUntil(
        [&] {
            const QImage shot = x().grabScreen();
            return e2e::colourBox(shot, QStringLiteral("red")) == QRect(0, 0, kWidth, kHeight) &&
                   rightMonitorAll(shot, QStringLiteral("blue"));
        },
        10000);
    x().savePng(QDir::tempPath() + QStringLiteral("/lumora-two-monitors-full.png"));
    ASSERT_GE(ms, 0) << "red on the left: " << e2e::colourName(x().pixel(640, 512)).toStdString()
                     << ", on the right: " << e2e::colourName(x().pixel(1920, 512)).toStdString();
    EXPECT_FALSE(x().pointerVisible()) << "the pointer shows over the second monitor";
    // No window but the program's lies above the covered one.
    const auto windows = x().topWindows();
    int otherIndex = -1, coverIndex = -1;
    for (int i = 0; i < windows.size(); ++i) {
        if (windows[i].id == other) otherIndex = i;
        if (windows[i].mapped && windows[i].geometry == QRect(kWidth, 0, kWidth, kHeight)) coverIndex = i;
    }
    EXPECT_GT(coverIndex, otherIndex) << "no window of the program above the other program's";

    // A move there, over the back colour, ends it.
    x().xdotool({"mousemove", "1960", "860"});
    EXPECT_GE(run.waitForEnd(3000), 0) << "a move over the second monitor did not end the screen saver";
    EXPECT_EQ(p.exitCode(), 0);
    x().destroyWindow(other);
}

TEST_F(TwoMonitors, FloatingPlayerWithGradientCoversTheSecondMonitorAndEndsOnAMoveThere) {
    const uint32_t other = x().createWindow(QStringLiteral("Another Program"), QRect(1300, 700, 500, 300), 0xFFFFFF);
    // The pointer starts over the second monitor.
    ASSERT_TRUE(x().xdotool({"mousemove", "2000", "400"}));

    ProgramRun run;
    QProcess& p = startSaver(run, {keyLine(Key::OneFourthScreenDisplayMode, QStringLiteral("True")),
                                   keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                                   keyLine(Key::GradOn, QStringLiteral("1")),
                                   keyLine(Key::FireGradInterval, QStringLiteral("1500"))});
    // The player floats on the first monitor only; the second shows the gradient the form shows,
    // bright at the top and black at the bottom, over the other program's window.
    QImage shot;
    const int ms = e2e::waitUntil(
        [&] {
            shot = x().grabScreen();
            const QRect red = e2e::colourBox(shot, QStringLiteral("red"));
            const QRgb top = shot.pixel(kWidth + 640, 2);
            return !red.isNull() && red.right() < kWidth && top != shot.pixel(kWidth + 640, kHeight - 2) &&
                   e2e::colourName(shot.pixel(kWidth + 640, kHeight - 2)) == QStringLiteral("black") &&
                   e2e::colourName(shot.pixel(1550, 850)) != QStringLiteral("white");
        },
        10000);
    x().savePng(QDir::tempPath() + QStringLiteral("/lumora-two-monitors-floating.png"));
    ASSERT_GE(ms, 0) << "player at " << e2e::colourBox(shot, QStringLiteral("red")).x() << ", right monitor top "
                     << std::hex << shot.pixel(kWidth + 640, 2);
    // The same start colour on both monitors: the first monitor's top band, where the player is not.
    const QRgb coverTop = shot.pixel(kWidth + 10, 2);
    bool sameOnTheLeft = false;
    for (int xx = 0; xx < kWidth && !sameOnTheLeft; xx += 8) sameOnTheLeft = shot.pixel(xx, 2) == coverTop;
    EXPECT_TRUE(sameOnTheLeft) << "the second monitor's gradient starts from another colour";
    EXPECT_FALSE(x().pointerVisible()) << "the pointer shows over the second monitor";

    // The second monitor is unplugged and plugged in again: its cover goes and comes back.
    auto coverMapped = [&] {
        for (const auto& w : x().topWindows())
            if (w.mapped && w.id != other && w.geometry.x() == kWidth) return true;
        return false;
    };
    server->xrandr({QStringLiteral("--output"), QStringLiteral("DUMMY1"), QStringLiteral("--off")});
    EXPECT_GE(e2e::waitUntil([&] { return !coverMapped(); }, 5000), 0) << "the cover outlived its monitor";
    server->xrandr({QStringLiteral("--output"), QStringLiteral("DUMMY1"), QStringLiteral("--mode"),
                    QStringLiteral("1280x1024"), QStringLiteral("--pos"), QStringLiteral("1280x0")});
    EXPECT_GE(e2e::waitUntil(
                  [&] {
                      return coverMapped() && e2e::colourName(x().pixel(1550, 850)) != QStringLiteral("white");
                  },
                  5000),
              0)
        << "the monitor plugged in again was not covered";
    ASSERT_EQ(p.state(), QProcess::Running);

    pointAt(2040, 440);
    // The program takes the first place as where the pointer rests; the move is the next.
    QThread::msleep(200);
    if (p.state() == QProcess::Running) pointAt(2100, 480);
    EXPECT_GE(run.waitForEnd(3000), 0) << "a move over the second monitor did not end the screen saver";
    EXPECT_EQ(p.exitCode(), 0);
    x().destroyWindow(other);
}

// Under a window manager, on both monitors: the floating player on the first, the back colour on the
// second, nobody else's window or pop-up over either, and the input the screen saver's alone.
TEST_F(TwoMonitors, UnderAWindowManagerBothMonitorsAreHeldAgainstWindowsAndPopUps) {
    QProcess* openbox = x().startProgram(QStringLiteral("openbox"));
    if (!openbox) GTEST_SKIP() << "openbox is not installed";
    struct EndIt {
        QProcess* p;
        ~EndIt() { p->terminate(), p->waitForFinished(3000); }
    } endIt{openbox};
    ASSERT_GE(e2e::waitUntil([&] { return x().windowManagerRunning(); }, 15000), 0);
    ASSERT_TRUE(x().xdotool({"mousemove", "640", "512"}));

    ProgramRun run;
    startSaver(run, {keyLine(Key::OneFourthScreenDisplayMode, QStringLiteral("True")),
                     keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False"))});
    const QStringList ours{QStringLiteral("red"), QStringLiteral("blue")};
    const QRect both(0, 0, 2 * kWidth, kHeight);
    ASSERT_GE(e2e::waitUntil([&] { return e2e::allOf(x().grabScreen(), both, ours); }, 10000), 0)
        << "the two monitors were not covered";
    // The pop-up comes up on the second monitor.
    e2e::expectTheScreenHeld(x(), run, both, ours, QPoint(kWidth + 300, 300),
                             QDir::tempPath() + QStringLiteral("/lumora-two-monitors-openbox.png"));
}

// Each monitor's part of a screenshot.
QImage monitorPart(const QImage& shot, int monitor) { return shot.copy(QRect(monitor * kWidth, 0, kWidth, kHeight)); }

// Video on both monitors: full screen or a quarter-size floating player on each, the primary
// monitor's picture on the other (Same) or an item of each one's own (Each). Returns the program.
struct BothMonitors {
    QString use;
    bool fullScreen;
    bool playList;
};

QStringList bothMonitorsSettings(const BothMonitors& how) {
    QStringList settings{keyLine(Key::EveryMonitor) + how.use,
                         keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False"))};
    settings << (how.fullScreen ? keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True"))
                                : keyLine(Key::OneFourthScreenDisplayMode, QStringLiteral("True")));
    if (how.playList)
        settings << keyLine(Key::PlaySingleFile, QStringLiteral("False"))
                 << keyLine(Key::PlayMultipleFiles, QStringLiteral("True"));
    return settings;
}

// With shared memory and with OpenGL, as the program chooses for the machine it runs on.
TEST_F(TwoMonitors, TheSamePictureFillsBothMonitorsAndAMoveOnTheSecondEndsTheRun) {
    for (const char* render : {"", "opengl"}) {
        SCOPED_TRACE(render);
        ASSERT_TRUE(x().xdotool({"mousemove", "1920", "512"}));
        ProgramRun run;
        if (*render) run.setEnvironment(QStringLiteral("LUMORA_RENDER"), QString::fromLatin1(render));
        // Each player tells its frames at its end: one player for both monitors.
        run.setEnvironment(QStringLiteral("LUMORA_STATS"), QStringLiteral("1"));
        run.captureErrors();
        QProcess& p = startSaver(run, bothMonitorsSettings({QStringLiteral("Same"), true, false}));
        const int ms = e2e::waitUntil(
            [&] {
                const QImage shot = x().grabScreen();
                const QRect whole(0, 0, kWidth, kHeight);
                return e2e::colourBox(monitorPart(shot, 0), QStringLiteral("red")) == whole &&
                       e2e::colourBox(monitorPart(shot, 1), QStringLiteral("red")) == whole;
            },
            10000);
        x().savePng(QDir::tempPath() + QStringLiteral("/lumora-two-monitors-same.png"));
        ASSERT_GE(ms, 0) << "left " << e2e::colourName(x().pixel(640, 512)).toStdString() << ", right "
                         << e2e::colourName(x().pixel(1920, 512)).toStdString();
        EXPECT_FALSE(x().pointerVisible()) << "the pointer shows over the second monitor";
        pointAt(1990, 560);
        EXPECT_GE(run.waitForEnd(3000), 0) << "a move on the second monitor did not end the run";
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_EQ(run.errors().count(QStringLiteral("lumora-stats: frames-drawn")), 1)
            << "the picture was not decoded once: " << run.errors().toStdString();
        EXPECT_EQ(run.errors().contains(QStringLiteral("with OpenGL")), *render != 0) << run.errors().toStdString();
    }
}

TEST_F(TwoMonitors, TheSamePictureFloatsOnEachMonitorAndComesBackWithAMonitorTurnedOnAgain) {
    ASSERT_TRUE(x().xdotool({"mousemove", "640", "512"}));
    ProgramRun run;
    QProcess& p = startSaver(run, bothMonitorsSettings({QStringLiteral("Same"), false, false}) +
                                      QStringList{keyLine(Key::GradOn, QStringLiteral("1")),
                                                  keyLine(Key::FireGradInterval, QStringLiteral("1000"))});
    // A player on each monitor sized from that monitor (a share of its width), inside it, over a
    // gradient of the primary monitor's colours: the right monitor's top band is found on the left.
    int rightWidth = kWidth;
    auto playersUp = [&] {
        const QImage shot = x().grabScreen();
        int firstWidth = 0;
        for (int m = 0; m < 2; ++m) {
            const QImage part = monitorPart(shot, m).copy(0, 0, m == 0 ? kWidth : rightWidth, kHeight);
            const QRect red = e2e::colourBox(part, QStringLiteral("red"));
            if (red.isNull() || red.width() >= part.width() * 3 / 4 || red.width() < part.width() / 4) return false;
            if (m == 0) firstWidth = red.width();
            else if (qAbs(red.width() * kWidth - firstWidth * rightWidth) > 3 * kWidth) return false;
        }
        const QRgb rightTop = shot.pixel(kWidth + 1, 1);
        if (e2e::colourName(rightTop) == QStringLiteral("red") || e2e::colourName(rightTop) == QStringLiteral("blue"))
            return false;
        for (int xx = 0; xx < kWidth; xx += 4)
            if (shot.pixel(xx, 1) == rightTop) return true;
        return false;
    };
    const int ms = e2e::waitUntil(playersUp, 10000);
    const QImage shot = x().grabScreen();
    shot.save(QDir::tempPath() + QStringLiteral("/lumora-two-monitors-same-floating.png"));
    auto box = [&](int m) {
        const QRect r = e2e::colourBox(monitorPart(shot, m), QStringLiteral("red"));
        return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()).toStdString();
    };
    ASSERT_GE(ms, 0) << "no player of the primary one's size on each monitor: red at " << box(0) << " and " << box(1);

    // The second monitor is turned off, then on again at a smaller size: the picture is drawn for
    // its player there, sized from it.
    MonitorSizeBack sizeBack{server};
    server->xrandr({QStringLiteral("--output"), QStringLiteral("DUMMY1"), QStringLiteral("--off")});
    // Off for a while, as a monitor turned off is; nothing to see of it but the picture going.
    QThread::msleep(1000);
    server->xrandr({QStringLiteral("--output"), QStringLiteral("DUMMY1"), QStringLiteral("--mode"),
                    QStringLiteral("1024x768"), QStringLiteral("--pos"), QStringLiteral("1280x0")});
    rightWidth = 1024;
    EXPECT_GE(e2e::waitUntil(playersUp, 8000), 0) << "the monitor turned on again shows no player of its size";
    x().savePng(QDir::tempPath() + QStringLiteral("/lumora-two-monitors-same-other-size.png"));
    ASSERT_EQ(p.state(), QProcess::Running);

    // A click on the primary monitor ends both.
    pointAt(640, 512);
    // The program takes the first place as where the pointer rests; the click is the next.
    QThread::msleep(200);
    if (p.state() == QProcess::Running) x().xdotool({"click", "1"});
    EXPECT_GE(run.waitForEnd(3000), 0) << "a click on the primary monitor did not end the run";
    EXPECT_GE(e2e::waitUntil([&] { return e2e::colourBox(x().grabScreen(), QStringLiteral("red")).isNull(); }, 3000), 0)
        << "a player outlived the run";
}

// Each monitor its own item: with a red and a blue clip in the play list, one monitor shows each.
TEST_F(TwoMonitors, EachMonitorPlaysItsOwnItemFullScreenAndFloating) {
    for (const bool fullScreen : {true, false}) {
        SCOPED_TRACE(fullScreen ? "full screen" : "floating");
        // The pointer rests near the border between the monitors.
        ASSERT_TRUE(x().xdotool({"mousemove", "1240", "512"}));
        ProgramRun run;
        const QString blue = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/blue.mp4"), {QStringLiteral("blue")}, 3);
        run.writePlayList({run.mediaFolder() + QStringLiteral("/red.mp4"), blue});
        QProcess& p = startSaver(run, bothMonitorsSettings({QStringLiteral("Each"), fullScreen, true}) +
                                          QStringList{keyLine(Key::BackDropColor, QStringLiteral("0"))});
        // Which colour a monitor's player shows; "" while it shows neither clip.
        auto shows = [&](const QImage& part) {
            const bool red = !e2e::colourBox(part, QStringLiteral("red")).isNull();
            const bool isBlue = !e2e::colourBox(part, QStringLiteral("blue")).isNull();
            return red == isBlue ? QString() : red ? QStringLiteral("red") : QStringLiteral("blue");
        };
        QString left, right;
        const int ms = e2e::waitUntil(
            [&] {
                const QImage shot = x().grabScreen();
                left = shows(monitorPart(shot, 0));
                right = shows(monitorPart(shot, 1));
                return !left.isEmpty() && !right.isEmpty() && left != right;
            },
            10000);
        x().savePng(QDir::tempPath() + QStringLiteral("/lumora-two-monitors-each.png"));
        ASSERT_GE(ms, 0) << "left shows '" << left.toStdString() << "', right '" << right.toStdString() << "'";
        // The clips end and the next come: still one of each.
        // Long enough for the clips to end and the next to come.
        QThread::msleep(3500);
        const QImage later = x().grabScreen();
        EXPECT_NE(shows(monitorPart(later, 0)), shows(monitorPart(later, 1))) << "both monitors show the same clip";
        // One move across the border ends both, measured as one move whichever monitor's window
        // saw it; and so does a key.
        ASSERT_EQ(p.state(), QProcess::Running);
        if (fullScreen) pointAt(1320, 512);
        else x().xdotool({"key", "space"});
        EXPECT_GE(run.waitForEnd(3000), 0) << (fullScreen ? "a move across the border" : "a key")
                                           << " did not end the run";
    }
}

// Each, in order, with four colours in the play list: every monitor walks the whole list in list
// order from a start of its own half a list apart, so over two rounds each monitor shows all four
// and the two seldom show the same colour at once.
TEST_F(TwoMonitors, EachInOrderWalksTheWholeListOnEveryMonitorFromSpreadStarts) {
    ASSERT_TRUE(x().xdotool({"mousemove", "640", "512"}));
    ProgramRun run;
    const QStringList colours{QStringLiteral("red"), QStringLiteral("green"), QStringLiteral("blue"),
                              QStringLiteral("white")};
    QStringList entries;
    for (const QString& c : colours) {
        entries << e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/list-%1.mp4").arg(c), {c}, 2);
        ASSERT_FALSE(entries.last().isEmpty());
    }
    run.writePlayList(entries);
    QProcess& p = startSaver(run, bothMonitorsSettings({QStringLiteral("Each"), true, true}) +
                                      QStringList{keyLine(Key::BackDropColor, QStringLiteral("0")),
                                                  keyLine(Key::GradOn, QStringLiteral("0")),
                                                  keyLine(Key::PlayInRandomOrder, QStringLiteral("False"))});
    // Each monitor's colours in the order they came, and how often both showed one colour.
    QStringList seen[2];
    int samples = 0, same = 0;
    QElapsedTimer t;
    t.start();
    // Two rounds of four 2 s items, and the time the first takes to come.
    while (t.elapsed() < 20000 && p.state() == QProcess::Running) {
        const QString now[2] = {e2e::colourName(x().pixel(kWidth / 2, kHeight / 2)),
                                e2e::colourName(x().pixel(kWidth + kWidth / 2, kHeight / 2))};
        for (int m = 0; m < 2; ++m)
            if (colours.contains(now[m]) && (seen[m].isEmpty() || seen[m].last() != now[m])) seen[m] << now[m];
        if (colours.contains(now[0]) && colours.contains(now[1])) {
            ++samples;
            if (now[0] == now[1]) ++same;
        }
        // The step of the sampling.
        QThread::msleep(50);
    }
    for (int m = 0; m < 2; ++m) {
        SCOPED_TRACE(m == 0 ? "left" : "right");
        const std::string shown = seen[m].join(u' ').toStdString();
        for (const QString& c : colours) EXPECT_TRUE(seen[m].contains(c)) << c.toStdString() << " never came: " << shown;
        // From each colour to the one after it in the list.
        int forward = 0;
        for (int i = 1; i < seen[m].size(); ++i)
            if (colours.indexOf(seen[m][i]) == (colours.indexOf(seen[m][i - 1]) + 1) % colours.size()) ++forward;
        EXPECT_GE(forward, int(seen[m].size()) - 2) << "not in list order: " << shown;
    }
    EXPECT_GT(samples, 100);
    EXPECT_LE(same * 10, samples) << same << " of " << samples << " looks showed one colour on both monitors";
    x().xdotool({"key", "space"});
    EXPECT_GE(run.waitForEnd(3000), 0);
    EXPECT_EQ(p.exitCode(), 0);
}

// The players of every monitor rest while every monitor is off, as told through the test's power
// file, each monitor's own one floating with its own item, and all go on when a monitor is on again.
TEST_F(TwoMonitors, WithEveryMonitorOffThePlayerOfEachMonitorRestsAndGoesOn) {
    ASSERT_TRUE(x().xdotool({"mousemove", "640", "512"}));
    ProgramRun run;
    const QString blue = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/blue.mp4"), {QStringLiteral("blue")}, 3);
    run.writePlayList({run.mediaFolder() + QStringLiteral("/red.mp4"), blue});
    MonitorPowerFile power(run);
    QProcess& p = startSaver(run, bothMonitorsSettings({QStringLiteral("Each"), false, true}) +
                                      QStringList{keyLine(Key::BackDropColor, QStringLiteral("0"))});
    auto playerOn = [&](const QImage& shot, int m) {
        const QImage part = monitorPart(shot, m);
        return !e2e::colourBox(part, QStringLiteral("red")).isNull() || !e2e::colourBox(part, QStringLiteral("blue")).isNull();
    };
    ASSERT_GE(e2e::waitUntil(
                  [&] {
                      const QImage shot = x().grabScreen();
                      return playerOn(shot, 0) && playerOn(shot, 1);
                  },
                  10000),
              0);
    // Which monitors changed over a quarter of a second; the later picture in `shot`.
    QImage shot;
    auto changed = [&](int m) {
        const QImage before = monitorPart(x().grabScreen(), m);
        // A quarter of a second apart: the change over it is what is measured.
        QThread::msleep(250);
        shot = x().grabScreen();
        return monitorPart(shot, m) != before;
    };
    ASSERT_TRUE(changed(0) && changed(1)) << "the players do not float";

    power.say("off");
    EXPECT_GE(e2e::waitUntil([&] { return !changed(0) && !changed(1); }, 2000), 0)
        << "a monitor's picture still moves 2 s after every monitor went off";
    EXPECT_TRUE(playerOn(shot, 0) && playerOn(shot, 1)) << "a player's picture went at rest";
    const QImage rested = shot;

    power.say("on");
    const int moved = e2e::waitUntil(
        [&] {
            const QImage now = x().grabScreen();
            return monitorPart(now, 0) != monitorPart(rested, 0) && monitorPart(now, 1) != monitorPart(rested, 1);
        },
        3000);
    EXPECT_GE(moved, 0) << "a monitor's player did not go on";
    EXPECT_LE(moved, 1000);
    x().xdotool({"key", "space"});
    EXPECT_GE(run.waitForEnd(3000), 0);
    EXPECT_EQ(p.exitCode(), 0);
}

// The real locker, xsecurelock, with the program's saver as the build lays it out (a link named
// saver_lumora to the program): it starts one copy on each monitor, and with EveryMonitor=Each they
// play different items, also after the second monitor changes size and xsecurelock starts them
// anew; a key brings xsecurelock's password prompt over the picture, and when it goes, the copies
// xsecurelock resets give way to new ones; killing xsecurelock leaves no copy behind; and
// xsecurelock's log says nothing about the program's windows.
TEST_F(TwoMonitors, AsXsecurelocksSaverEachMonitorPlaysItsOwnItemUnderThePromptAndEndsWithTheLocker) {
    const QString locker = QStandardPaths::findExecutable(QStringLiteral("xsecurelock"));
    if (locker.isEmpty()) GTEST_SKIP() << "xsecurelock is not installed";
    ASSERT_TRUE(x().xdotool({"mousemove", "640", "512"}));
    ProgramRun run;
    const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mp4"), {QStringLiteral("red")}, 3);
    const QString blue = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/blue.mp4"), {QStringLiteral("blue")}, 3);
    run.writePlayList({red, blue});
    run.writeSettings(
        bothMonitorsSettings({QStringLiteral("Each"), true, true}) +
        QStringList{keyLine(Key::VideoFile, red), keyLine(Key::PlayInRandomOrder, QStringLiteral("False"))});
    // The saver beside the run's copy of the program, linked the way the build links it.
    const QString saverFolder = run.programFolder() + QStringLiteral("/libexec/lumora");
    ASSERT_TRUE(QDir().mkpath(saverFolder));
    char target[256] = {};
    const ssize_t n = ::readlink(LUMORA_BINARY_DIR "/libexec/lumora/saver_lumora", target, sizeof target - 1);
    ASSERT_GT(n, 0) << "the build made no saver_lumora link";
    const QString saver = saverFolder + QStringLiteral("/saver_lumora");
    ASSERT_EQ(::symlink(target, QFile::encodeName(saver).constData()), 0);

    // Marks every process the locker starts, the savers' copies of the program among them.
    const QString mark = QStringLiteral("LUMORA_TEST_LOCK=%1").arg(QCoreApplication::applicationPid());
    QProcessEnvironment env = run.environment();
    env.insert(QStringLiteral("DISPLAY"), server->display());
    env.insert(QStringLiteral("XSECURELOCK_SAVER"), saver);
    // The prompt goes after three seconds without a key, and the savers are reset then (SIGUSR1).
    env.insert(QStringLiteral("XSECURELOCK_AUTH_TIMEOUT"), QStringLiteral("3"));
    env.insert(QStringLiteral("XSECURELOCK_SAVER_RESET_ON_AUTH_CLOSE"), QStringLiteral("1"));
    env.insert(mark.section(u'=', 0, 0), mark.section(u'=', 1));
    QProcess lock;
    lock.setProcessEnvironment(env);
    lock.setProcessChannelMode(QProcess::MergedChannels);
    lock.start(locker, {});
    ASSERT_TRUE(lock.waitForStarted(5000));
    struct EndLocker {
        QProcess& p;
        ~EndLocker() {
            if (p.state() == QProcess::NotRunning) return;
            p.kill();
            p.waitForFinished(3000);
        }
    } endLocker{lock};
    QString log;
    auto readLog = [&] {
        log += QString::fromLocal8Bit(lock.readAll());
        return log;
    };
    // The copies of the program running now (ended ones have no environment left to read).
    auto copies = [&] { return e2e::processIdsWithEnvironment(mark, QStringLiteral("saver_lumora")); };

    // Which clip a monitor shows over its whole area; "" while it shows neither all over.
    auto shows = [&](const QImage& part) {
        for (const char* colour : {"red", "blue"})
            if (e2e::colourBox(part, QString::fromLatin1(colour)) == QRect(QPoint(0, 0), part.size()))
                return QString::fromLatin1(colour);
        return QString();
    };
    int rightWidth = kWidth, rightHeight = kHeight;
    auto rightPart = [&](const QImage& shot) { return shot.copy(QRect(kWidth, 0, rightWidth, rightHeight)); };
    QString left, right;
    auto eachItsOwn = [&] {
        const QImage shot = x().grabScreen();
        left = shows(monitorPart(shot, 0));
        right = shows(rightPart(shot));
        return !left.isEmpty() && !right.isEmpty() && left != right;
    };
    ASSERT_GE(e2e::waitUntil(eachItsOwn, 15000), 0)
        << "left shows '" << left.toStdString() << "', right '" << right.toStdString() << "'\n"
        << readLog().toStdString();
    x().savePng(QDir::tempPath() + QStringLiteral("/lumora-xsecurelock-each.png"));
    const QStringList first = copies();
    ASSERT_EQ(first.size(), 2) << first.join(u' ').toStdString();

    // The second monitor at another size: xsecurelock ends its saver there and starts it again in a
    // window of the new size, and raises its own window if anything lies above it.
    MonitorSizeBack sizeBack{server};
    server->xrandr({QStringLiteral("--output"), QStringLiteral("DUMMY1"), QStringLiteral("--mode"),
                    QStringLiteral("1024x768"), QStringLiteral("--pos"), QStringLiteral("1280x0")});
    rightWidth = 1024;
    rightHeight = 768;
    ASSERT_GE(e2e::waitUntil(
                  [&] {
                      const QStringList now = copies();
                      return now.size() == 2 && !now.contains(first[0]) && !now.contains(first[1]);
                  },
                  10000),
              0)
        << "xsecurelock did not start its savers anew: " << copies().join(u' ').toStdString();
    EXPECT_GE(e2e::waitUntil(eachItsOwn, 10000), 0)
        << "after the change left shows '" << left.toStdString() << "', right '" << right.toStdString() << "'";
    x().savePng(QDir::tempPath() + QStringLiteral("/lumora-xsecurelock-changed.png"));

    // A key: xsecurelock's prompt, a dark box with light text, comes up in the middle of each monitor,
    // over the picture, which goes on around it.
    const QImage before = x().grabScreen();
    ASSERT_TRUE(e2e::colourBox(monitorPart(before, 0), QStringLiteral("black")).isNull() &&
                e2e::colourBox(rightPart(before), QStringLiteral("black")).isNull())
        << "something dark before the key";
    x().xdotool({"key", "space"});
    auto promptOver = [&](const QImage& part) {
        const QRect dark = e2e::colourBox(part, QStringLiteral("black"));
        const QPoint middle(part.width() / 2, part.height() / 2);
        return !dark.isNull() && dark.width() < part.width() / 2 && dark.contains(middle) &&
               !e2e::colourBox(part.copy(dark), QStringLiteral("white")).isNull() &&
               !shows(part.copy(0, 0, part.width(), dark.top())).isEmpty();
    };
    EXPECT_GE(e2e::waitUntil(
                  [&] {
                      const QImage shot = x().grabScreen();
                      return promptOver(monitorPart(shot, 0)) && promptOver(rightPart(shot));
                  },
                  5000),
              0);
    x().savePng(QDir::tempPath() + QStringLiteral("/lumora-xsecurelock-prompt.png"));

    // The prompt times out and xsecurelock resets its savers: the copies end and new ones play.
    const QStringList beforeReset = copies();
    ASSERT_EQ(beforeReset.size(), 2);
    EXPECT_GE(e2e::waitUntil(
                  [&] {
                      const QStringList now = copies();
                      return now.size() == 2 && !now.contains(beforeReset[0]) && !now.contains(beforeReset[1]) &&
                             eachItsOwn();
                  },
                  8000),
              0)
        << "after the prompt left shows '" << left.toStdString() << "', right '" << right.toStdString() << "'";

    // Killed outright, the locker can tell nobody: every copy ends within a second all the same.
    EXPECT_EQ(copies().size(), 2);
    QElapsedTimer t;
    t.start();
    ::kill(pid_t(lock.processId()), SIGKILL);
    const int gone = e2e::waitUntil([&] { return copies().isEmpty(); }, 3000);
    EXPECT_GE(gone, 0);
    EXPECT_LE(t.elapsed(), 1000);
    lock.waitForFinished(3000);
    // xsecurelock names another client's window when it receives a message about it, or finds it
    // above its own after the monitors changed. (Its lines that something it cannot find obscured
    // its windows come with the change itself, with its own blank saver as well.)
    readLog();
    for (const QString& line : log.split(u'\n'))
        EXPECT_FALSE(line.contains(QStringLiteral("ClientMessage")) || line.contains(QStringLiteral("MaybeRaiseWindow hit")))
            << "xsecurelock: " << line.toStdString();
}

// The screen saver must let the monitor sleep: it never resets the X server's idle timer nor changes
// its screen-saver and power settings.
TEST(MonitorSleep, TheScreenSaverLeavesTheIdleTimeGrowingAndThePowerSettingsAlone) {
    if (QStandardPaths::findExecutable(QStringLiteral("xprintidle")).isEmpty()) GTEST_SKIP() << "xprintidle is missing";
    X11Session& x = X11Session::instance();
    ASSERT_TRUE(x.ok());
    ProgramRun run;
    const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mp4"), {QStringLiteral("red")}, 3);
    // The default display mode (a small floating player) with the gradient and its timer at work.
    run.writeSettings({keyLine(Key::VideoFile, red), keyLine(Key::GradOn, QStringLiteral("1")),
                       keyLine(Key::FireGradInterval, QStringLiteral("1000"))});
    QProcess set;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), x.display());
    set.setProcessEnvironment(env);
    set.start(QStringLiteral("xset"), {QStringLiteral("s"), QStringLiteral("600"), QStringLiteral("600")});
    set.waitForFinished(5000);
    const QString before = e2e::screenSaverAndDpmsSettings(x.display());

    QProcess& p = run.start(QStringLiteral("/s"));
    ASSERT_GE(e2e::waitUntil([&] { return !e2e::colourBox(x.grabScreen(), QStringLiteral("red")).isNull(); }, 10000), 0);
    const qint64 start = e2e::idleMilliseconds(x.display());
    // Twelve seconds in all: the idle time is measured over them.
    QThread::msleep(12000);
    const qint64 end = e2e::idleMilliseconds(x.display());
    EXPECT_EQ(p.state(), QProcess::Running);
    EXPECT_GE(end - start, 11000) << "idle " << start << " ms, then " << end << " ms";
    EXPECT_EQ(e2e::screenSaverAndDpmsSettings(x.display()), before);
    x.xdotool({"key", "space"});
    EXPECT_GE(run.waitForEnd(3000), 0);
}

// User and system CPU of a process so far, in clock ticks (/proc/PID/stat fields 14 and 15, counted
// from the command name's closing parenthesis, which may hold blanks); -1 once it is gone.
qint64 cpuTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return -1;
    return fields.at(11).toLongLong() + fields.at(12).toLongLong();
}

// How many colours a picture shows, every fourth pixel of every fourth row looked at.
int coloursIn(const QImage& image) {
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4) seen.insert(image.pixel(x, y));
    return int(seen.size());
}

// Ticks per second of CPU the process spends over ms.
double cpuRate(qint64 pid, int ms) {
    const qint64 before = cpuTicks(pid);
    QElapsedTimer t;
    t.start();
    // The stretch the rate is measured over.
    QThread::msleep(ms);
    const qint64 after = cpuTicks(pid);
    return before < 0 || after < 0 ? -1 : double(after - before) * 1000.0 / double(t.elapsed());
}

// The real process, told through its test seam that every monitor is off: its CPU then, and the
// picture once one is on again. The floating player with the gradient at work, so the motion and
// the gradient must idle too.
TEST(MonitorSleep, WhileEveryMonitorIsOffThePlayerRestsAndItGoesOnWhenOneIsOn) {
    X11Session& x = X11Session::instance();
    ASSERT_TRUE(x.ok());
    ProgramRun run;
    // A 1080p clip, as a camera makes them: what costs a core's good part to decode.
    const QString clip = run.mediaFolder() + QStringLiteral("/1080p.mp4");
    QDir().mkpath(run.mediaFolder());
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                  QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc2=size=1920x1080:rate=30:duration=4"), QStringLiteral("-c:v"),
                  QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("veryfast"),
                  QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), clip});
    ASSERT_TRUE(ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0) << ffmpeg.readAllStandardError().toStdString();
    run.writeSettings(
        {keyLine(Key::VideoFile, clip), keyLine(Key::OneHalfScreenDisplayMode, QStringLiteral("True")),
         keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
         keyLine(Key::GradOn, QStringLiteral("1")), keyLine(Key::FireGradInterval, QStringLiteral("1000"))});
    MonitorPowerFile power(run);
    QProcess& p = run.start(QStringLiteral("/s"));
    const qint64 pid = p.processId();
    // Playing: the picture moves (the clip, the player, the gradient).
    QImage last = x.grabScreen();
    ASSERT_GE(e2e::waitUntil(
                  [&] {
                      const QImage now = x.grabScreen();
                      const bool moved = now != last && !e2e::colourBox(now, QStringLiteral("black")).isNull();
                      last = now;
                      return moved;
                  },
                  10000),
              0);
    const double playing = cpuRate(pid, 4000);
    ASSERT_GT(playing, 0);

    power.say("off");
    QElapsedTimer sinceOff;
    sinceOff.start();
    // The picture stands still, and stays up: the same a quarter of a second later, when playing
    // would have moved the player five times and shown seven frames.
    QImage rested;
    auto standsStill = [&] {
        const QImage before = x.grabScreen();
        // A quarter of a second apart: the change over it is what is measured.
        QThread::msleep(250);
        rested = x.grabScreen();
        return before == rested;
    };
    const int stillAfter = e2e::waitUntil(standsStill, 2000);
    EXPECT_GE(stillAfter, 0) << "the picture still moves 2 s after every monitor went off";
    x.savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-monitors-off.png"));
    // The clip's last picture is still up: its many colours, not a black player over the gradient's bands.
    EXPECT_GT(coloursIn(rested), 1000) << "the picture went";
    if (sinceOff.elapsed() < 2000) QThread::msleep(2000 - sinceOff.elapsed());
    const double off = cpuRate(pid, 5000);
    const QImage later = x.grabScreen();
    if (later != rested) later.save(QStringLiteral(LUMORA_BINARY_DIR "/e2e-monitors-off-later.png"));
    EXPECT_EQ(later, rested) << "something was drawn while every monitor was off";
    std::fprintf(stderr, "CPU ticks a second: playing %.1f, every monitor off %.2f\n", playing, off);
    // Nothing decoded or drawn: decoding is most of what playing costs, and what is left at rest is
    // the look at the power state twice a second, a few wake-ups whose cost varies from run to run.
    EXPECT_LE(off, 0.05 * playing) << "CPU ticks a second: " << off << " with every monitor off, " << playing
                                   << " playing";

    // A monitor on again: the picture moves within the second.
    power.say("on");
    const int movedAfter = e2e::waitUntil([&] { return x.grabScreen() != rested; }, 3000);
    std::fprintf(stderr, "the picture moved again %d ms after a monitor was on\n", movedAfter);
    EXPECT_GE(movedAfter, 0) << "the picture did not move again";
    EXPECT_LE(movedAfter, 1000) << "the picture moved again only after " << movedAfter << " ms";

    // A move of the mouse ends the run at rest as well, with the look at the pointer resting too.
    power.say("off");
    ASSERT_GE(e2e::waitUntil(standsStill, 3000), 0);
    x.xdotool({"mousemove_relative", "--", "0", "80"});
    EXPECT_GE(run.waitForEnd(1500), 0) << "a move of the mouse did not end the run while it rested";
}

} // namespace
