#include "platform/linux/DisplayReach.h"

#include "base/KeptThreads.h"

#include <QFile>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <system_error>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace platform {

namespace {

// A display on another host is looked up by name first; a resolver that never answers must not
// keep the program from saying so.
constexpr auto kConnectLimit = std::chrono::seconds(5);

int connectToWayland() {
    QString name = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (name.isEmpty()) return -1;
    if (!name.startsWith(QLatin1Char('/'))) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty()) return -1;
        name = runtime + QLatin1Char('/') + name;
    }
    const QByteArray path = QFile::encodeName(name);
    sockaddr_un address{};
    if (size_t(path.size()) >= sizeof address.sun_path) return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    ::close(fd);
    return -1;
}

// The connection is made on a thread of its own, so that waiting for it has a limit. Given up on,
// the thread is kept (KeptThreads.h) until the display answers or the process ends, and closes
// whatever it then gets itself.
struct XConnectAttempt {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;  // the thread has stopped waiting on the display
    bool abandoned = false; // nobody takes the connection any more
    xcb_connection_t* connection = nullptr;
};

xcb_connection_t* connectToX(const QByteArray& display) {
    auto attempt = std::make_shared<XConnectAttempt>();
    std::thread thread;
    try {
        thread = std::thread([attempt, display] {
            xcb_connection_t* conn = xcb_connect(display.constData(), nullptr);
            if (conn && xcb_connection_has_error(conn)) {
                xcb_disconnect(conn);
                conn = nullptr;
            }
            std::lock_guard<std::mutex> hold(attempt->lock);
            if (attempt->abandoned && conn) xcb_disconnect(conn);
            else attempt->connection = conn;
            attempt->finished = true;
            attempt->done.notify_all();
        });
    } catch (const std::system_error&) {
        // No thread to be had: the connection is waited for here, without a limit.
        xcb_connection_t* conn = xcb_connect(display.constData(), nullptr);
        if (conn && xcb_connection_has_error(conn)) {
            xcb_disconnect(conn);
            conn = nullptr;
        }
        return conn;
    }
    xcb_connection_t* conn = nullptr;
    bool finished = false;
    {
        std::unique_lock<std::mutex> hold(attempt->lock);
        finished = attempt->done.wait_for(hold, kConnectLimit, [&] { return attempt->finished; });
        if (finished) conn = std::exchange(attempt->connection, nullptr);
        else attempt->abandoned = true;
    }
    if (finished) {
        thread.join();
    } else {
        keep(std::move(thread), [attempt] {
            std::lock_guard<std::mutex> hold(attempt->lock);
            return attempt->finished;
        });
    }
    return conn;
}

} // namespace

struct DisplayHold::Connection {
    xcb_connection_t* x11 = nullptr;
    int wayland = -1;
    ~Connection() {
        if (x11) xcb_disconnect(x11);
        if (wayland >= 0) ::close(wayland);
    }
};

DisplayHold::~DisplayHold() = default;
DisplayHold::DisplayHold(DisplayHold&&) noexcept = default;
DisplayHold& DisplayHold::operator=(DisplayHold&&) noexcept = default;

void DisplayHold::release() { m_connection.reset(); }

DisplayHold holdDisplay() {
    DisplayHold hold;
    const QString platformName = qEnvironmentVariable("QT_QPA_PLATFORM");
    // offscreen, vnc and the like show nothing on a local display: Qt's own business.
    if (!platformName.isEmpty() && !platformName.startsWith(QLatin1String("xcb")) &&
        !platformName.startsWith(QLatin1String("wayland")))
        return hold;
    hold.m_connection = std::make_unique<DisplayHold::Connection>();
    hold.m_connection->wayland = connectToWayland();
    if (hold.m_connection->wayland >= 0) return hold;
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        hold.m_failure = QStringLiteral("lumora: cannot open a display: DISPLAY is not set");
        return hold;
    }
    hold.m_connection->x11 = connectToX(display);
    if (!hold.m_connection->x11)
        hold.m_failure = QStringLiteral("lumora: cannot open the X display \"%1\"").arg(QString::fromLocal8Bit(display));
    return hold;
}

QString platformFailureLine(const QString& qtMessage) {
    if (!qtMessage.contains(QLatin1String("could not connect to display"), Qt::CaseInsensitive) &&
        !qtMessage.contains(QLatin1String("no Qt platform plugin could be initialized"), Qt::CaseInsensitive))
        return {};
    const QString platformName = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (platformName.startsWith(QLatin1String("wayland"))) {
        const QString name = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
        return QStringLiteral("lumora: cannot open the Wayland display \"%1\"").arg(name);
    }
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) return QStringLiteral("lumora: cannot open a display: DISPLAY is not set");
    if (platformName.isEmpty() || platformName.startsWith(QLatin1String("xcb")))
        return QStringLiteral("lumora: cannot open the X display \"%1\"").arg(display);
    return QStringLiteral("lumora: cannot show on the display \"%1\": Qt's platform \"%2\" did not start")
        .arg(display, platformName);
}

namespace {

struct Held {
    QtMsgType type;
    std::string category, file, function;
    int line;
    QString message;
};

QtMessageHandler g_previous = nullptr;
std::mutex g_heldLock;
std::vector<Held> g_held;

void whileQtStarts(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        const QString line = platformFailureLine(message);
        if (!line.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(line));
            std::fflush(nullptr);
            ::_exit(1);
        }
        g_previous(type, context, message);
        return;
    }
    // Qt's warnings on the way to a refusal ("could not connect", "could not load the plugin") would
    // come before the one line; kept until Qt is up.
    std::lock_guard<std::mutex> hold(g_heldLock);
    g_held.push_back({type, context.category ? context.category : "", context.file ? context.file : "",
                      context.function ? context.function : "", context.line, message});
}

} // namespace

// A server that closes a new connection at once (one that refuses a client) can do so before Qt has
// written its greeting: the write would raise SIGPIPE and end the program with no word. Ignored while
// Qt starts, the write fails instead and Qt reports a connection it could not make.
static struct sigaction g_pipeBefore;

PlatformStartGuard::PlatformStartGuard() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &g_pipeBefore);
    g_previous = qInstallMessageHandler(whileQtStarts);
}

PlatformStartGuard::~PlatformStartGuard() {
    qInstallMessageHandler(g_previous);
    ::sigaction(SIGPIPE, &g_pipeBefore, nullptr);
    std::vector<Held> held;
    {
        std::lock_guard<std::mutex> hold(g_heldLock);
        held.swap(g_held);
    }
    for (const Held& m : held) {
        const QMessageLogContext context(m.file.c_str(), m.line, m.function.c_str(), m.category.c_str());
        g_previous(m.type, context, m.message);
    }
}

} // namespace platform
