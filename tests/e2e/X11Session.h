#pragma once
#include "support/Clips.h"
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <ostream>

struct xcb_connection_t;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace e2e {

struct TopWindow {
    uint32_t id;
    QString name;
    QRect geometry;
    bool mapped;
};

// A connection to the test X server ($LUMORA_E2E_DISPLAY, else an Xvfb of its own at 1280x1024).
class X11Session {
public:
    static X11Session& instance();
    // An Xvfb of the test's own at 1280x1024 and the given depth on a free display, ended with the
    // session.
    static std::unique_ptr<X11Session> ownServer(int depth = 24);
    // A connection to a running X server of the test's own, such as one with two monitors.
    explicit X11Session(const QString& display);
    ~X11Session();
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;
    QString display() const { return m_display; }
    bool ok() const { return m_conn != nullptr; }
    // For tests that speak to the X server directly.
    xcb_connection_t* connection() const { return m_conn; }

    QList<TopWindow> topWindows();
    QList<TopWindow> mappedWindowsNamed(const QString& name);
    QImage grabScreen();
    // The pointer image the X server shows has at least one pixel that is not fully transparent.
    bool pointerVisible();
    QRgb pixel(int x, int y);
    // A window of "another program" with the given caption; destroyed by the returned id.
    uint32_t createWindow(const QString& caption);
    // The same, filled with a colour and shown at the given place.
    uint32_t createWindow(const QString& caption, const QRect& at, QRgb fill);
    void destroyWindow(uint32_t id);
    // What a window manager sends when the user closes a window.
    void requestClose(uint32_t id);
    // Runs xdotool with the arguments; true on success.
    bool xdotool(const QStringList& args);
    bool savePng(const QString& path);
    // What X answers another program that grabs the keyboard and the pointer now (XCB_GRAB_STATUS_*);
    // a grab that succeeds is let go at once.
    std::pair<int, int> grabStatusesOfAnotherProgram();
    bool overrideRedirect(uint32_t window);
    // Some program manages the windows (holds the root window's substructure redirection).
    bool windowManagerRunning();
    // What xprop says of the window's properties, one line each.
    QString properties(uint32_t window, const QStringList& names);
    // The first mapped window of the program named so at any depth (a window manager frames windows);
    // 0 when there is none.
    uint32_t windowNamed(const QString& name);
    // A dialog belongs to the window that opened it: transient for it, modal, not above other
    // programs and not in the task bar. Empty when it does, else what is wrong.
    QString ownershipFault(const QString& dialog, const QString& opener);
    // Where X shows the first visible window found by `xdotool search <how> <what>` (how: "--class",
    // "--name"), frame left out; null when there is none.
    QRect visibleWindowGeometry(const QString& how, const QString& what);
    // Starts a program on this display (a window manager, a panel, an xterm); it ends with the
    // session. Null when it is not installed.
    QProcess* startProgram(const QString& program, const QStringList& args = {});

private:
    X11Session();
    void connectToDisplay();
    QString m_display;
    xcb_connection_t* m_conn = nullptr;
    std::unique_ptr<QProcess> m_xvfb;
    std::vector<std::unique_ptr<QProcess>> m_programs;
};

// The program copied into a folder of its own with its own settings and data homes, so runs leave
// nothing behind in the build and see no one else's settings or play list.
class ProgramRun {
public:
    ProgramRun();
    ~ProgramRun();
    QString programFolder() const { return m_dir.path() + QStringLiteral("/program"); }
    QString settingsFile() const { return m_dir.path() + QStringLiteral("/config/larkspur/lumora.ini"); }
    QString mediaFolder() const { return m_dir.path() + QStringLiteral("/media"); }
    // The program's HOME: its desktop folder is under it.
    QString homeFolder() const;
    // One more environment variable for the runs that follow.
    void setEnvironment(const QString& name, const QString& value) { m_extraEnv[name] = value; }
    // One environment variable fewer for the runs that follow.
    void removeEnvironment(const QString& name) { m_removedEnv << name; }
    // The runs that follow go to another desktop session (a Wayland compositor): its environment
    // instead of this X server's, the launcher (such as setpriv) before the program, and the run's
    // folder handed to the user the launcher runs it as.
    void useSession(const QProcessEnvironment& session, const QStringList& launcher, int uid, int gid);
    // What the program is started with; also for other programs that start it.
    QProcessEnvironment environment() const;
    // The runs that follow keep their stderr for errors() rather than passing it through.
    void captureErrors() { m_captureErrors = true; }
    // What the run wrote on stderr so far (with captureErrors).
    QString errors();
    void writeSettings(const QStringList& lines);
    QString readSettings() const;
    void writePlayList(const QStringList& entries);

    QProcess& start(const QString& sw);
    // The program with arguments of its own (options, a switch and its handle as separate words).
    QProcess& startWith(const QStringList& arguments);
    // Another run of the same program, alongside the first.
    std::unique_ptr<QProcess> startAnother(const QString& sw);
    std::unique_ptr<QProcess> startAnother(const QStringList& arguments);
    QProcess& process() { return m_process; }
    // Milliseconds until the program ended, or -1 when it was still running after timeoutMs.
    int waitForEnd(int timeoutMs);

private:
    void handOver() const;
    QTemporaryDir m_dir;
    std::optional<QProcessEnvironment> m_session;
    QStringList m_launcher;
    int m_uid = -1;
    int m_gid = -1;
    QProcess m_process;
    QMap<QString, QString> m_extraEnv;
    QStringList m_removedEnv;
    bool m_captureErrors = false;
    QString m_errors;
};

using testsupport::makeColourClip;

// Waits until pred holds; the milliseconds it took, or -1 after timeoutMs.
int waitUntil(const std::function<bool()>& pred, int timeoutMs);

// The smallest rectangle holding every pixel of the named colour (see colourName); null when none.
QRect colourBox(const QImage& image, const QString& colour);

// Milliseconds since the X server last saw input (xprintidle), -1 when it cannot tell.
qint64 idleMilliseconds(const QString& display);
// `xset q`'s screen-saver and DPMS lines, which no player may change.
QString screenSaverAndDpmsSettings(const QString& display);

// A server that takes connections and never says a word, as a hung stream or sound server does, and
// counts them: on 127.0.0.1 at port(), or on the Unix socket at a given path.
class SilentServer {
public:
    SilentServer();
    explicit SilentServer(const QString& unixPath);
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    bool ok() const { return m_fd >= 0; }
    int port() const { return m_port; }
    int connections() const { return m_connections.load(); }

private:
    void serve();
    int m_fd = -1;
    int m_port = 0;
    std::atomic<int> m_connections{0};
    std::atomic<bool> m_quit{false};
    std::vector<int> m_clients;
    std::thread m_thread;
};

// A FIFO made at the path that tells whether anyone opened it to read from it.
class WatchedFifo {
public:
    explicit WatchedFifo(const QString& path);
    ~WatchedFifo();
    WatchedFifo(const WatchedFifo&) = delete;
    WatchedFifo& operator=(const WatchedFifo&) = delete;
    bool ok() const { return m_ok; }
    bool opened() const { return m_opened.load(); }
    QString path() const { return m_path; }

private:
    QString m_path;
    bool m_ok = false;
    std::atomic<bool> m_opened{false};
    std::atomic<bool> m_quit{false};
    std::thread m_thread;
};

// The names of the running processes whose environment holds `entry` ("NAME=value").
QStringList processesWithEnvironment(const QString& entry);
// Their process ids, of those named `name` only.
QStringList processIdsWithEnvironment(const QString& entry, const QString& name);

// Names the colour of a pixel: "red", "green", "blue", "black", "white" or "other".
QString colourName(QRgb rgb);
// Every pixel sampled on a grid over the rectangle is one of the named colours.
bool allOf(const QImage& shot, const QRect& r, const QStringList& colours);

// The running screen saver of `run` owns the screen of `x`: nobody else can grab the keyboard or the
// pointer; its windows are not the window manager's; a window that opens and gets the focus, and an
// override-redirect pop-up at `popUpAt`, stay under it (`covered` keeps showing only the colours
// `ours`; the pop-up is covered within half a second); one key ends it and the new window got
// nothing. The screen as it was before the key is saved to `shot` when given.
void expectTheScreenHeld(X11Session& x, ProgramRun& run, const QRect& covered, const QStringList& ours,
                         const QPoint& popUpAt, const QString& shot = QString());

} // namespace e2e
