#include "ScreenTest.h"
#include "support/TestFiles.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

using e2e::ProgramRun;
using e2e::X11Session;

namespace {

// A window of "the screen-saver daemon" for the program to draw in: white, mapped, at a known place.
class HostWindow {
public:
    HostWindow(X11Session& x, const QRect& geometry) : m_x(x) {
        xcb_connection_t* c = x.connection();
        xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        m_id = xcb_generate_id(c);
        // Override-redirect, as a daemon's window: no window manager places it.
        const uint32_t values[] = {s->white_pixel, 1};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, m_id, s->root, int16_t(geometry.x()), int16_t(geometry.y()),
                          uint16_t(geometry.width()), uint16_t(geometry.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          s->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        const QByteArray name("daemon window");
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, name.size(),
                            name.constData());
        xcb_map_window(c, m_id);
        xcb_flush(c);
    }
    ~HostWindow() {
        xcb_destroy_window(m_x.connection(), m_id);
        xcb_flush(m_x.connection());
    }
    uint32_t id() const { return m_id; }
    QString hex() const { return QStringLiteral("0x") + QString::number(m_id, 16); }
    void resize(int width, int height) {
        const uint32_t values[] = {uint32_t(width), uint32_t(height)};
        xcb_configure_window(m_x.connection(), m_id, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
        xcb_flush(m_x.connection());
    }

private:
    X11Session& m_x;
    uint32_t m_id = 0;
};

// The root window as a window manager or a locker watches it: the events other clients send there
// (messages to the window manager) and the top-level windows made since the watch began.
class RootWatch {
public:
    explicit RootWatch(const QString& display) : m_c(xcb_connect(display.toLocal8Bit().constData(), nullptr)) {
        if (xcb_connection_has_error(m_c)) return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        m_before = children();
    }
    ~RootWatch() { xcb_disconnect(m_c); }
    // Every event sent to the root by a client since the last look, as "type window".
    QStringList sent() {
        QStringList found;
        while (xcb_generic_event_t* e = xcb_poll_for_event(m_c)) {
            if (e->response_type & 0x80) {
                QString what = QStringLiteral("event %1").arg(e->response_type & 0x7f);
                if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                    const auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
                    what = atomName(m->type) + QStringLiteral(" on 0x") + QString::number(m->window, 16);
                }
                found << what;
            }
            free(e);
        }
        return found;
    }
    // How many of the top-level windows made since the watch began lie above `window`.
    int newWindowsAbove(uint32_t window) {
        const std::vector<uint32_t> now = children();
        const auto at = std::find(now.begin(), now.end(), window);
        int above = 0;
        for (auto it = at == now.end() ? now.begin() : at + 1; it != now.end(); ++it)
            if (std::find(m_before.begin(), m_before.end(), *it) == m_before.end()) ++above;
        return above;
    }

private:
    std::vector<uint32_t> children() {
        std::vector<uint32_t> list;
        if (auto* tree = xcb_query_tree_reply(m_c, xcb_query_tree(m_c, m_root), nullptr)) {
            const xcb_window_t* kids = xcb_query_tree_children(tree);
            list.assign(kids, kids + xcb_query_tree_children_length(tree));
            free(tree);
        }
        return list;
    }
    QString atomName(xcb_atom_t atom) {
        QString name = QString::number(atom);
        if (auto* r = xcb_get_atom_name_reply(m_c, xcb_get_atom_name(m_c, atom), nullptr)) {
            name = QString::fromLatin1(xcb_get_atom_name_name(r), xcb_get_atom_name_name_length(r));
            free(r);
        }
        return name;
    }
    xcb_connection_t* m_c;
    xcb_window_t m_root = 0;
    std::vector<uint32_t> m_before;
};

class HackMode : public e2e::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        if (HasFatalFailure()) return;
        pointAt(5, 5);
    }
    QRect box(const QString& colour) { return e2e::colourBox(x().grabScreen(), colour); }
    static bool near(const QRect& a, const QRect& b, int slack = 2) {
        return std::abs(a.left() - b.left()) <= slack && std::abs(a.top() - b.top()) <= slack &&
               std::abs(a.right() - b.right()) <= slack && std::abs(a.bottom() - b.bottom()) <= slack;
    }
    bool programWindowOnTop() {
        for (const auto& w : x().topWindows())
            if (w.mapped && w.name == testsupport::kMainForm) return true;
        return false;
    }
    // Sends the signal and returns the milliseconds until the program was gone, -1 after 3 s.
    static int endWith(QProcess& p, int sig) {
        QElapsedTimer t;
        t.start();
        ::kill(pid_t(p.processId()), sig);
        if (!p.waitForFinished(3000)) return -1;
        return int(t.elapsed());
    }
    static QString xsetScreenSaverAndDpms(const QString& display) { return e2e::screenSaverAndDpmsSettings(display); }
    static qint64 idleMs(const QString& display) { return e2e::idleMilliseconds(display); }
};

TEST_F(HackMode, WindowIdFillsTheHostIgnoresInputFollowsItsSizeAndEndsOnSigterm) {
    ProgramRun run;
    const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mp4"), {QStringLiteral("red")}, 4);
    const QRect at(100, 120, 400, 300);
    HostWindow host(x(), at);
    RootWatch watch(x().display());
    QProcess& p = run.startWith({QStringLiteral("--window-id"), host.hex(), QStringLiteral("--file"), red,
                                 QStringLiteral("--mode"), QStringLiteral("full")});
    ASSERT_GE(e2e::waitUntil([&] { return near(box(QStringLiteral("red")), at); }, 8000), 0)
        << "red at " << box(QStringLiteral("red")).x() << "," << box(QStringLiteral("red")).y() << " "
        << box(QStringLiteral("red")).width() << "x" << box(QStringLiteral("red")).height();
    x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-hack-window-id.png"));
    // Inside the daemon's window only: no window of its own on the screen, none of its hidden ones
    // above the daemon's (a locker raises its window over those, and says so), and not a word to
    // the window manager.
    EXPECT_FALSE(programWindowOnTop());
    EXPECT_GE(e2e::waitUntil([&] { return watch.newWindowsAbove(host.id()) == 0; }, 1000), 0)
        << watch.newWindowsAbove(host.id()) << " of its windows above the daemon's";

    // The daemon owns input: the pointer stays as it is, and nothing the user does ends the program.
    pointAt(200, 200);
    // Moves a moment apart, each seen on its own; the daemon is to hold the pointer through them.
    QThread::msleep(150);
    pointAt(420, 330);
    // And a moment for the second to be seen.
    QThread::msleep(150);
    EXPECT_TRUE(x().pointerVisible());
    for (const char* button : {"1", "2", "3", "4", "5"})
        x().xdotool({QStringLiteral("click"), QString::fromLatin1(button)});
    x().xdotool({QStringLiteral("key"), QStringLiteral("Escape"), QStringLiteral("a"), QStringLiteral("space")});
    // A stretch of time in which any of those would have ended the program.
    QThread::msleep(800);
    EXPECT_EQ(p.state(), QProcess::Running);

    // A larger host is filled again, a smaller one too.
    host.resize(640, 480);
    EXPECT_GE(e2e::waitUntil([&] { return near(box(QStringLiteral("red")), QRect(100, 120, 640, 480)); }, 3000), 0);
    host.resize(320, 200);
    EXPECT_GE(e2e::waitUntil([&] { return near(box(QStringLiteral("red")), QRect(100, 120, 320, 200)); }, 3000), 0);

    EXPECT_EQ(watch.sent(), QStringList());

    const int ms = endWith(p, SIGTERM);
    EXPECT_GE(ms, 0);
    EXPECT_LE(ms, 500);
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}

// A daemon or a locker killed outright cannot end its copies: each ends by itself when the process
// that started it is gone, though the window it draws in is still there.
TEST_F(HackMode, WhenWhatStartedItIsKilledItEndsWithinHalfASecond) {
    ProgramRun run;
    const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mp4"), {QStringLiteral("red")}, 4);
    const QRect at(100, 120, 400, 300);
    HostWindow host(x(), at);
    QProcess daemon;
    daemon.setProcessEnvironment(run.environment());
    daemon.start(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"), QStringLiteral("\"$0\" \"$@\" & echo $!; wait"),
                  run.programFolder() + QStringLiteral("/lumora"), QStringLiteral("--window-id"), host.hex(),
                  QStringLiteral("--file"), red, QStringLiteral("--mode"), QStringLiteral("full")});
    ASSERT_TRUE(daemon.waitForReadyRead(5000));
    const QString pid = QString::fromLatin1(daemon.readLine()).trimmed();
    ASSERT_FALSE(pid.isEmpty());
    ASSERT_GE(e2e::waitUntil([&] { return near(box(QStringLiteral("red")), at); }, 8000), 0);
    // Gone, or ended and not yet reaped by whoever inherits it.
    auto running = [&] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) return false;
        const QByteArray text = stat.readAll();
        return !text.mid(text.lastIndexOf(')') + 2, 1).startsWith('Z');
    };
    ASSERT_TRUE(running());
    // A copy that outlived the test goes with it; a number the system gave to another process since
    // is left alone.
    struct EndCopy {
        std::function<bool()> ours;
        pid_t pid;
        ~EndCopy() {
            if (ours()) ::kill(pid, SIGKILL);
        }
    } endCopy{[&] {
                  QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
                  return running() && cmdline.open(QIODevice::ReadOnly) &&
                         cmdline.readAll().startsWith(QFile::encodeName(run.programFolder()));
              },
              pid_t(pid.toInt())};
    QElapsedTimer t;
    t.start();
    ::kill(pid_t(daemon.processId()), SIGKILL);
    daemon.waitForFinished(3000);
    EXPECT_GE(e2e::waitUntil([&] { return !running(); }, 3000), 0);
    EXPECT_LE(t.elapsed(), 500);
    EXPECT_GE(e2e::waitUntil([&] { return box(QStringLiteral("red")).isNull(); }, 1000), 0);
}

TEST_F(HackMode, RootTakesTheDaemonsWindowOptionsChangeWhatPlaysAndNothingIsWritten) {
    ProgramRun run;
    const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mp4"), {QStringLiteral("red")}, 4);
    const QString green =
        e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/green.mp4"), {QStringLiteral("green")}, 4);
    // The user's settings say: the green clip, full screen, a gradient.
    run.writeSettings({keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                       keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                       keyLine(Key::VideoFile, green), keyLine(Key::GradOn, QStringLiteral("1")),
                       keyLine(Key::BackDropColor, QStringLiteral("16711680"))});
    const QString before = run.readSettings();

    const QRect at(200, 100, 600, 400);
    HostWindow host(x(), at);
    run.setEnvironment(QStringLiteral("XSCREENSAVER_WINDOW"), host.hex());
    // The daemon's own options mean nothing here.
    QProcess& p = run.startWith({QStringLiteral("-root"), QStringLiteral("-visual"), QStringLiteral("TrueColor"),
                                 QStringLiteral("--file"), red, QStringLiteral("--mode=one-fourth"),
                                 QStringLiteral("--no-float"), QStringLiteral("--no-gradient")});
    // One-fourth of the host, standing still, over the plain back colour (blue), not the settings' clip.
    const QSize player(qRound(600 * 0.55), qRound(400 * 0.55));
    auto playsAsTold = [&] {
        const QImage screen = x().grabScreen();
        const QRect r = e2e::colourBox(screen, QStringLiteral("red"));
        return std::abs(r.width() - player.width()) <= 2 && std::abs(r.height() - player.height()) <= 2 &&
               at.contains(r) && near(e2e::colourBox(screen, QStringLiteral("blue")), at) &&
               e2e::colourBox(screen, QStringLiteral("green")).isNull();
    };
    ASSERT_GE(e2e::waitUntil(playsAsTold, 8000), 0);
    x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-hack-root.png"));
    EXPECT_FALSE(programWindowOnTop());

    const int ms = endWith(p, SIGINT);
    EXPECT_GE(ms, 0);
    EXPECT_LE(ms, 500);
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    // Options hold for the run only: the settings file is as the user left it.
    EXPECT_EQ(run.readSettings(), before);

    // Without options the user's settings play, and SIGHUP ends it as well.
    QProcess& again = run.startWith({QStringLiteral("--root")});
    EXPECT_GE(e2e::waitUntil([&] { return near(box(QStringLiteral("green")), at); }, 8000), 0);
    const int hup = endWith(again, SIGHUP);
    EXPECT_GE(hup, 0);
    EXPECT_LE(hup, 500);
    EXPECT_EQ(again.exitCode(), 0);
    EXPECT_EQ(run.readSettings(), before);

    // xsecurelock resets its saver with SIGUSR1 and starts it again: it ends as promptly.
    QProcess& reset = run.startWith({QStringLiteral("--root")});
    EXPECT_GE(e2e::waitUntil([&] { return near(box(QStringLiteral("green")), at); }, 8000), 0);
    const int usr1 = endWith(reset, SIGUSR1);
    EXPECT_GE(usr1, 0);
    EXPECT_LE(usr1, 500);
    EXPECT_EQ(reset.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(reset.exitCode(), 0);
}

// xscreensaver starts a copy on each monitor. With EveryMonitor=Each the copies play items of the
// play list that the other does not show; with Same, a copy that starts later plays what the other
// picked, and follows its picks from then on.
TEST_F(HackMode, CopiesOnTwoMonitorsPlayItemsOfTheirOwnOrTheSameOne) {
    ProgramRun run;
    const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mp4"), {QStringLiteral("red")}, 6);
    const QString blue =
        e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/blue.mp4"), {QStringLiteral("blue")}, 6);
    run.writePlayList({red, blue});
    const QStringList playList{keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                               keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                               keyLine(Key::PlaySingleFile, QStringLiteral("False")),
                               keyLine(Key::PlayMultipleFiles, QStringLiteral("True")),
                               keyLine(Key::PlayInRandomOrder, QStringLiteral("False")),
                               keyLine(Key::VideoFile, blue)};
    const QRect leftAt(0, 0, 400, 300), rightAt(440, 0, 400, 300);
    HostWindow left(x(), leftAt), right(x(), rightAt);
    auto colourIn = [](const QImage& screen, const QRect& r) {
        const QString c = e2e::colourName(screen.pixel(r.center()));
        return c == QLatin1String("red") || c == QLatin1String("blue") ? c : QString();
    };
    // The share of the screenshots over `ms` in which both monitors show a clip and the same one.
    auto sameShare = [&](int ms, int& samples) {
        int same = 0;
        samples = 0;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            const QImage screen = x().grabScreen();
            const QString l = colourIn(screen, leftAt), r = colourIn(screen, rightAt);
            if (!l.isEmpty() && !r.isEmpty()) {
                ++samples;
                same += l == r;
            }
            // The step of the sampling.
            QThread::msleep(100);
        }
        return samples ? double(same) / samples : -1.0;
    };
    auto stop = [](QProcess& p) {
        ::kill(pid_t(p.processId()), SIGTERM);
        if (!p.waitForFinished(3000)) p.kill(), p.waitForFinished(3000);
    };

    {
        SCOPED_TRACE("Each");
        run.writeSettings(playList + QStringList{keyLine(Key::EveryMonitor, QStringLiteral("Each"))});
        QProcess& first = run.startWith({QStringLiteral("--window-id"), left.hex()});
        ASSERT_GE(e2e::waitUntil([&] { return !colourIn(x().grabScreen(), leftAt).isEmpty(); }, 8000), 0);
        std::unique_ptr<QProcess> second = run.startAnother({QStringLiteral("--window-id"), right.hex()});
        ASSERT_GE(e2e::waitUntil([&] { return !colourIn(x().grabScreen(), rightAt).isEmpty(); }, 8000), 0);
        x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-hack-each-monitor.png"));
        // Past the end of the items: each copy passes over the one the other shows.
        int samples = 0;
        EXPECT_EQ(sameShare(8000, samples), 0.0);
        EXPECT_GE(samples, 20);
        stop(*second);
        stop(first);
    }
    {
        SCOPED_TRACE("Same");
        run.writeSettings(playList + QStringList{keyLine(Key::EveryMonitor, QStringLiteral("Same"))});
        QProcess& first = run.startWith({QStringLiteral("--window-id"), right.hex()});
        // The first copy plays blue (the stored file's place), then red.
        ASSERT_GE(e2e::waitUntil([&] { return colourIn(x().grabScreen(), rightAt) == QLatin1String("red"); }, 14000),
                  0);
        std::unique_ptr<QProcess> second = run.startAnother({QStringLiteral("--window-id"), left.hex()});
        QString firstSeen;
        ASSERT_GE(e2e::waitUntil(
                      [&] {
                          firstSeen = colourIn(x().grabScreen(), leftAt);
                          return !firstSeen.isEmpty();
                      },
                      8000),
                  0);
        // On its own it would start with blue as well.
        EXPECT_EQ(firstSeen, QStringLiteral("red"));
        x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-hack-same-monitor.png"));
        // Past the next pick: the second copy follows it, a moment later.
        int samples = 0;
        EXPECT_GE(sameShare(9000, samples), 0.6);
        EXPECT_GE(samples, 20);
        stop(*second);
        stop(first);
    }
}

TEST_F(HackMode, HelpListsEveryOptionWithoutAnXServer) {
    ProgramRun run;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(run.programFolder() + QStringLiteral("/lumora"), {QStringLiteral("--help")});
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    for (const char* option : {"--root", "--window-id", "--file", "--playlist", "--random", "--mode", "--no-float",
                               "--speed", "--no-gradient", "--no-trails", "--sound", "/s", "/c", "/p", "/a"})
        EXPECT_TRUE(out.contains(QString::fromLatin1(option))) << option;
}

// Without a display to show on, every way of starting says in one line which display it could not
// open and ends with status 1, rather than aborting and leaving a core file.
TEST_F(HackMode, WithoutADisplayItSaysWhichAndEndsWithStatusOne) {
    QString unused;
    for (int n = 199; n >= 150 && unused.isEmpty(); --n)
        if (!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
            unused = QStringLiteral(":%1").arg(n);
    ASSERT_FALSE(unused.isEmpty());
    const struct {
        QString display;
        QString said;
    } cases[] = {{unused, QStringLiteral("lumora: cannot open the X display \"%1\"").arg(unused)},
                 {QString(), QStringLiteral("lumora: cannot open a display: DISPLAY is not set")}};
    for (const auto& c : cases) {
        for (const QStringList& arguments :
             {QStringList{QStringLiteral("/s")}, QStringList{QStringLiteral("/c")},
              QStringList{QStringLiteral("--root")}, QStringList{}}) {
            SCOPED_TRACE((c.display + QLatin1Char(' ') + arguments.join(QLatin1Char(' '))).toStdString());
            ProgramRun run;
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("HOME"), run.homeFolder());
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), run.homeFolder() + QStringLiteral("/.config"));
            env.remove(QStringLiteral("WAYLAND_DISPLAY"));
            env.remove(QStringLiteral("QT_QPA_PLATFORM"));
            if (c.display.isEmpty())
                env.remove(QStringLiteral("DISPLAY"));
            else
                env.insert(QStringLiteral("DISPLAY"), c.display);
            p.setProcessEnvironment(env);
            p.setWorkingDirectory(run.programFolder());
            p.start(run.programFolder() + QStringLiteral("/lumora"), arguments);
            ASSERT_TRUE(p.waitForFinished(10000));
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(p.exitCode(), 1);
            EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()), c.said + QLatin1Char('\n'));
            EXPECT_TRUE(
                QDir(run.programFolder()).entryList({QStringLiteral("core*")}, QDir::Files).isEmpty());
        }
    }
}

namespace {

int listenAt(const QByteArray& path) {
    sockaddr_un address{};
    if (size_t(path.size()) >= sizeof address.sun_path) return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(fd, 8) == 0)
        return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

// An X display that lets one client at a time through to a real server and closes on any other at
// once, as a server does that refuses a second client.
class FirstClientOnly {
public:
    FirstClientOnly(const QString& display, const QString& realDisplay) {
        m_path = QStringLiteral("/tmp/.X11-unix/X%1").arg(display.mid(1));
        m_real = QFile::encodeName(QStringLiteral("/tmp/.X11-unix/X%1").arg(realDisplay.mid(1)));
        m_listen = listenAt(QFile::encodeName(m_path));
        if (m_listen >= 0) m_thread = std::thread([this] { serve(); });
    }
    ~FirstClientOnly() {
        m_quit = true;
        if (m_thread.joinable()) m_thread.join();
        for (int fd : {m_listen, m_client, m_upstream})
            if (fd >= 0) ::close(fd);
        QFile::remove(m_path);
    }
    bool ok() const { return m_listen >= 0; }
    int refused() const { return m_refused.load(); }

private:
    static int connectTo(const QByteArray& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), std::min(size_t(path.size()), sizeof address.sun_path - 1));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
        if (fd >= 0) ::close(fd);
        return -1;
    }
    // Bytes from one end to the other; false once either end has closed.
    static bool pass(int from, int to) {
        char buffer[65536];
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n <= 0) return false;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to, buffer + done, size_t(n - done));
            if (w <= 0) return false;
            done += w;
        }
        return true;
    }
    void serve() {
        while (!m_quit) {
            pollfd fds[3] = {{m_listen, POLLIN, 0}, {m_client, POLLIN, 0}, {m_upstream, POLLIN, 0}};
            if (::poll(fds, 3, 50) <= 0) continue;
            if (fds[0].revents & POLLIN) {
                const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0 && m_client < 0) {
                    m_client = fd;
                    m_upstream = connectTo(m_real);
                } else if (fd >= 0) {
                    ::close(fd);
                    ++m_refused;
                }
            }
            const bool clientGone = (fds[1].revents & (POLLIN | POLLHUP)) && !pass(m_client, m_upstream);
            const bool serverGone = (fds[2].revents & (POLLIN | POLLHUP)) && !pass(m_upstream, m_client);
            if (clientGone || serverGone) {
                ::close(m_client);
                ::close(m_upstream);
                m_client = m_upstream = -1;
            }
        }
    }
    QString m_path;
    QByteArray m_real;
    int m_listen = -1, m_client = -1, m_upstream = -1;
    std::atomic<int> m_refused{0};
    std::atomic<bool> m_quit{false};
    std::thread m_thread;
};

QString unusedDisplay(int from) {
    for (int n = from; n >= 150; --n)
        if (!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
            !QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            return QStringLiteral(":%1").arg(n);
    return {};
}

// Starts the program with `sw` on `display` alone, in its program folder.
void startOnDisplay(QProcess& p, const ProgramRun& run, const QString& display, const QString& sw) {
    QProcessEnvironment env = run.environment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(run.programFolder());
    p.start(run.programFolder() + QStringLiteral("/lumora"), {sw});
}

} // namespace

// The display check's connection is open until Qt has its own: a server that ends with its last
// client (-terminate, as a bare server resets then) is still there for Qt, and the program starts.
// A server that refuses Qt's connection after the check's still ends the start with the one line
// and status 1, not an abort.
TEST_F(HackMode, AServerThatEndsWithItsLastClientOrRefusesQtNeverAbortsTheStart) {
    {
        const QString display = unusedDisplay(199);
        ASSERT_FALSE(display.isEmpty());
        QProcess xvfb;
        xvfb.start(QStringLiteral("Xvfb"), {display, QStringLiteral("-terminate"), QStringLiteral("-screen"),
                                            QStringLiteral("0"), QStringLiteral("640x480x24"),
                                            QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        ASSERT_TRUE(xvfb.waitForStarted());
        // Not a client of it before the program: the program's start is the server's first client.
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display.mid(1));
        ASSERT_GE(e2e::waitUntil([&] { return QFileInfo::exists(socket); }, 5000), 0);
        ProgramRun run;
        run.captureErrors();
        run.setEnvironment(QStringLiteral("DISPLAY"), display);
        run.start(QStringLiteral("/c"));
        // The splash holds the program for seconds: an ended server or an abort would show by then.
        EXPECT_EQ(run.waitForEnd(2500), -1) << run.errors().toStdString();
        EXPECT_EQ(xvfb.state(), QProcess::Running);
        X11Session mine(display);
        ASSERT_TRUE(mine.ok());
        EXPECT_GE(e2e::waitUntil([&] {
                      for (const auto& w : mine.topWindows())
                          if (w.mapped) return true;
                      return false;
                  }, 3000),
                  0);
        run.process().terminate();
        run.waitForEnd(3000);
        xvfb.terminate();
        xvfb.waitForFinished(3000);
    }
    const QString display = unusedDisplay(198);
    ASSERT_FALSE(display.isEmpty());
    FirstClientOnly server(display, x().display());
    ASSERT_TRUE(server.ok());
    for (const QString& sw : {QStringLiteral("/s"), QStringLiteral("/c")}) {
        SCOPED_TRACE(sw.toStdString());
        ProgramRun run;
        QProcess p;
        const int refusedBefore = server.refused();
        startOnDisplay(p, run, display, sw);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_GT(server.refused(), refusedBefore) << "Qt's connection was not the refused one";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()),
                  QStringLiteral("lumora: cannot open the X display \"%1\"\n").arg(display));
        EXPECT_TRUE(QDir(run.programFolder()).entryList({QStringLiteral("core*")}, QDir::Files).isEmpty());
    }
}

namespace {

// An X display whose server takes the connection and never answers, as a hung one does: connections
// wait in its queue, never accepted.
class NeverAnswers {
public:
    explicit NeverAnswers(const QString& display)
        : m_path(QStringLiteral("/tmp/.X11-unix/X%1").arg(display.mid(1))), m_listen(listenAt(QFile::encodeName(m_path))) {}
    ~NeverAnswers() {
        if (m_listen >= 0) ::close(m_listen);
        QFile::remove(m_path);
    }
    bool ok() const { return m_listen >= 0; }

private:
    QString m_path;
    int m_listen;
};

} // namespace

// The check gives such a display a few seconds, then says which it could not open and ends with
// status 1: what it left waiting on the display does not hold the end up, nor abort it.
TEST_F(HackMode, AServerThatNeverAnswersEndsTheStartWithTheOneLine) {
    const QString display = unusedDisplay(197);
    ASSERT_FALSE(display.isEmpty());
    NeverAnswers server(display);
    ASSERT_TRUE(server.ok());
    ProgramRun run;
    QProcess p;
    startOnDisplay(p, run, display, QStringLiteral("/s"));
    ASSERT_TRUE(p.waitForFinished(15000)) << "the start waits on the display for good";
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()),
              QStringLiteral("lumora: cannot open the X display \"%1\"\n").arg(display));
    EXPECT_TRUE(QDir(run.programFolder()).entryList({QStringLiteral("core*")}, QDir::Files).isEmpty());
}

// Without a session bus, libdbus would start one (dbus-launch and its dbus-daemon) that outlives the
// run; none is started, during the run or after it.
TEST_F(HackMode, WithoutASessionBusNoBusDaemonIsStarted) {
    ProgramRun run;
    const QString clip =
        e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mpg"), {QStringLiteral("red")}, 10);
    ASSERT_FALSE(clip.isEmpty());
    run.removeEnvironment(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    // Marks every process this run starts, its children's children included.
    const QString mark = QStringLiteral("LUMORA_TEST_RUN=%1").arg(QCoreApplication::applicationPid());
    run.setEnvironment(mark.section(QLatin1Char('='), 0, 0), mark.section(QLatin1Char('='), 1));
    run.startWith({QStringLiteral("--root"), QStringLiteral("--file"), clip});
    QStringList started;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        for (const QString& name : e2e::processesWithEnvironment(mark))
            if (name != QLatin1String("lumora") && !started.contains(name)) started << name;
        // The step of the sampling, for the five seconds watched.
        QThread::msleep(50);
    }
    ASSERT_EQ(run.process().state(), QProcess::Running);
    run.process().terminate();
    ASSERT_GE(run.waitForEnd(3000), 0);
    e2e::waitUntil([&] { return e2e::processesWithEnvironment(mark).isEmpty(); }, 500);
    EXPECT_TRUE(started.isEmpty()) << started.join(' ').toStdString();
    EXPECT_TRUE(e2e::processesWithEnvironment(mark).isEmpty())
        << e2e::processesWithEnvironment(mark).join(' ').toStdString();
}

// Twelve seconds of play with no input: the X server's idle time runs on, and the screen-saver and
// power settings are the same afterwards, so the monitor may still blank and sleep.
TEST_F(HackMode, LeavesTheMonitorFreeToSleep) {
    if (QStandardPaths::findExecutable(QStringLiteral("xprintidle")).isEmpty()) GTEST_SKIP() << "xprintidle is missing";
    ProgramRun run;
    const QString redBlue = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red-blue.mp4"),
                                                {QStringLiteral("red"), QStringLiteral("blue")}, 1);
    // The daemon decides about the monitors' sleep: told that every monitor is off, the hack plays on.
    QFile power(run.mediaFolder() + QStringLiteral("/monitor-power"));
    ASSERT_TRUE(power.open(QIODevice::WriteOnly) && power.write("off") == 3);
    power.close();
    run.setEnvironment(QStringLiteral("LUMORA_TEST_MONITOR_POWER_FILE"), power.fileName());
    const QRect at(0, 0, 320, 240);
    HostWindow host(x(), at);
    QProcess set;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), x().display());
    set.setProcessEnvironment(env);
    set.start(QStringLiteral("xset"), {QStringLiteral("s"), QStringLiteral("600"), QStringLiteral("600")});
    set.waitForFinished(5000);
    const QString settingsBefore = xsetScreenSaverAndDpms(x().display());

    QProcess& p = run.startWith({QStringLiteral("--window-id"), host.hex(), QStringLiteral("--file"), redBlue,
                                 QStringLiteral("--mode"), QStringLiteral("full")});
    ASSERT_GE(e2e::waitUntil([&] { return near(box(QStringLiteral("red")), at); }, 8000), 0);
    const qint64 start = idleMs(x().display());
    QElapsedTimer waited;
    waited.start();
    EXPECT_GE(e2e::waitUntil([&] { return near(box(QStringLiteral("blue")), at); }, 4000), 0)
        << "the hack rested, though its host decides";
    // Twelve seconds in all: the idle time is measured over them.
    QThread::msleep(qMax<qint64>(0, 12000 - waited.elapsed()));
    const qint64 end = idleMs(x().display());
    EXPECT_EQ(p.state(), QProcess::Running);
    EXPECT_GE(end - start, 11000) << "idle " << start << " ms, then " << end << " ms";
    EXPECT_EQ(xsetScreenSaverAndDpms(x().display()), settingsBefore);
    EXPECT_EQ(endWith(p, SIGTERM) >= 0, true);
}

// The real daemon: Debian's xscreensaver runs the program as its hack on the whole screen and ends it.
// `byRecipe`: as a new user following the README, whose only step is `lumora --add-to-xscreensaver`,
// with the program on the PATH and its settings from the configuration dialog.
void xscreensaverRunsItAndEndsIt(X11Session& x, bool byRecipe) {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("xscreensaver"));
    const QString command = QStandardPaths::findExecutable(QStringLiteral("xscreensaver-command"));
    if (daemon.isEmpty() || command.isEmpty()) GTEST_SKIP() << "xscreensaver is not installed";
    // xscreensaver refuses to run hacks as root: as root, the daemon runs as nobody.
    const bool root = ::geteuid() == 0;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (root && setpriv.isEmpty()) GTEST_SKIP() << "running as root without setpriv to become another user";

    // Everything the daemon's user reads lies in a folder anyone may read.
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/lumora-xss-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                          QFileDevice::ReadOther | QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                          QFileDevice::ExeGroup);
    const QString program = dir.path() + QStringLiteral("/lumora");
    ASSERT_TRUE(QFile::copy(QStringLiteral(LUMORA_BINARY_DIR "/lumora"), program));
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                       QFileDevice::ReadOther | QFileDevice::ExeOther);
    const QString clip = e2e::makeColourClip(dir.path() + QStringLiteral("/red.mp4"), {QStringLiteral("red")}, 3);
    QFile::setPermissions(clip, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    const QString home = dir.path() + QStringLiteral("/home");
    QDir().mkpath(home);
    if (byRecipe) {
        QDir().mkpath(home + QStringLiteral("/.config/larkspur"));
        QFile f(home + QStringLiteral("/.config/larkspur/lumora.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[lumora]\r\nVideoFile=%1\r\nAbsoluteFullScreenDisplayMode=True\r\n"
                               "OneEighthScreenDisplayMode=False\r\n")
                    .arg(clip)
                    .toUtf8());
    } else {
        QFile f(home + QStringLiteral("/.xscreensaver"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("mode:\t\tone\nselected:\t0\nlock:\t\tFalse\ntimeout:\t1:00:00\ncycle:\t\t0\nfade:\t\tFalse\n"
                "unfade:\t\tFalse\nsplash:\t\tFalse\ndpmsEnabled:\tFalse\n");
        f.write(QStringLiteral("programs:\t\"Lumora\" %1 --root --file %2 --mode full \\n\n").arg(program, clip).toUtf8());
    }
    if (root) {
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("65534:65534"), home});
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), x.display());
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("PATH"), dir.path() + u':' + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    // The daemon's hacks draw on its X server, whatever platform the tests themselves run on.
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    auto asDaemonUser = [&](const QString& tool, const QStringList& args) {
        QStringList all = args;
        if (!root) return std::make_pair(tool, all);
        all.prepend(tool);
        all = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                          QStringLiteral("--clear-groups")} +
              all;
        return std::make_pair(setpriv, all);
    };
    auto ask = [&](const QString& what, const QString& argument = QString()) {
        QProcess c;
        c.setProcessEnvironment(env);
        c.setWorkingDirectory(home);
        const auto [tool, args] =
            asDaemonUser(command, argument.isEmpty() ? QStringList{what} : QStringList{what, argument});
        c.start(tool, args);
        c.waitForFinished(5000);
        return c.exitStatus() == QProcess::NormalExit && c.exitCode() == 0;
    };

    if (byRecipe) {
        QProcess add;
        add.setProcessEnvironment(env);
        const auto [tool, args] = asDaemonUser(program, {QStringLiteral("--add-to-xscreensaver")});
        add.start(tool, args);
        ASSERT_TRUE(add.waitForFinished(10000));
        ASSERT_EQ(add.exitCode(), 0) << add.readAllStandardError().toStdString();
        QFile made(home + QStringLiteral("/.xscreensaver"));
        ASSERT_TRUE(made.open(QIODevice::ReadOnly));
        const QByteArray list = made.readAll();
        // Lumora first, and the display modes xscreensaver came with still there.
        EXPECT_LT(list.indexOf("lumora --root"), list.indexOf("maze --root")) << list.left(300).toStdString();
    }

    QProcess xss;
    xss.setProcessEnvironment(env);
    xss.setWorkingDirectory(home);
    xss.setProcessChannelMode(QProcess::MergedChannels);
    const auto [tool, args] = asDaemonUser(daemon, {QStringLiteral("-no-splash")});
    xss.start(tool, args);
    ASSERT_TRUE(xss.waitForStarted(5000));
    struct StopDaemon {
        QProcess& p;
        ~StopDaemon() {
            ::kill(pid_t(p.processId()), SIGTERM);
            if (!p.waitForFinished(3000)) p.kill(), p.waitForFinished(2000);
        }
    } stop{xss};

    ASSERT_GE(e2e::waitUntil([&] { return ask(QStringLiteral("-version")); }, 10000), 0)
        << qPrintable(QString::fromLocal8Bit(xss.readAll()));
    // The first display mode of the list is Lumora.
    if (byRecipe) ASSERT_TRUE(ask(QStringLiteral("-select"), QStringLiteral("1")));
    else ASSERT_TRUE(ask(QStringLiteral("-activate")));

    // The daemon's window covers the screen, and the clip fills it.
    // xscreensaver fades the screen out first unless told otherwise.
    const int shown = e2e::waitUntil(
        [&] {
            const QRect red = e2e::colourBox(x.grabScreen(), QStringLiteral("red"));
            return red.width() >= 1278 && red.height() >= 1022;
        },
        20000);
    ASSERT_GE(shown, 0) << qPrintable(QString::fromLocal8Bit(xss.readAll()));
    x.savePng(byRecipe ? QStringLiteral(LUMORA_BINARY_DIR "/e2e-hack-xscreensaver-recipe.png")
                       : QStringLiteral(LUMORA_BINARY_DIR "/e2e-hack-xscreensaver.png"));

    // The hack's process, found by its program path.
    auto hackRunning = [&] {
        QProcess ps;
        ps.start(QStringLiteral("pgrep"), {QStringLiteral("-f"), byRecipe ? QStringLiteral("^lumora --root")
                                                                          : QRegularExpression::escape(program)});
        ps.waitForFinished(3000);
        const QStringList pids = QString::fromLocal8Bit(ps.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        for (const QString& pid : pids) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly)) continue;
            // A process that has ended but is not yet reaped is gone as far as the screen is concerned.
            const QList<QByteArray> fields = stat.readAll().split(' ');
            if (fields.size() > 2 && fields.at(2) != "Z") return true;
        }
        return false;
    };
    ASSERT_TRUE(hackRunning());

    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(ask(QStringLiteral("-deactivate")));
    const int gone = e2e::waitUntil([&] { return !hackRunning(); }, 5000);
    EXPECT_GE(gone, 0);
    EXPECT_LE(t.elapsed(), 2000);
}

TEST_F(HackMode, XscreensaverRunsItAndEndsIt) { xscreensaverRunsItAndEndsIt(x(), false); }

TEST_F(HackMode, TheReadmeRecipeOnAFreshAccountMakesItXscreensaversFirstDisplayMode) {
    xscreensaverRunsItAndEndsIt(x(), true);
}

} // namespace
