#include "platform/linux/DisplayReach.h"

#include <QFile>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

namespace platform {

namespace {

// A display on another host is looked up by name first; a resolver that never answers must not
// keep the program from saying so.
constexpr auto kConnectLimit = std::chrono::seconds(5);

bool waylandReachable() {
    QString name = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (name.isEmpty()) return false;
    if (!name.startsWith(QLatin1Char('/'))) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty()) return false;
        name = runtime + QLatin1Char('/') + name;
    }
    const QByteArray path = QFile::encodeName(name);
    sockaddr_un address{};
    if (size_t(path.size()) >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool reached = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return reached;
}

bool x11Reachable(const QByteArray& display) {
    auto result = std::make_shared<std::promise<bool>>();
    std::future<bool> answer = result->get_future();
    std::thread([result, display] {
        xcb_connection_t* conn = xcb_connect(display.constData(), nullptr);
        const bool ok = conn && !xcb_connection_has_error(conn);
        if (conn) xcb_disconnect(conn);
        result->set_value(ok);
    }).detach();
    return answer.wait_for(kConnectLimit) == std::future_status::ready && answer.get();
}

} // namespace

QString unreachableDisplay() {
    const QString platformName = qEnvironmentVariable("QT_QPA_PLATFORM");
    // offscreen, vnc and the like show nothing on a local display: Qt's own business.
    if (!platformName.isEmpty() && !platformName.startsWith(QLatin1String("xcb")) &&
        !platformName.startsWith(QLatin1String("wayland")))
        return {};
    if (waylandReachable()) return {};
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) return QStringLiteral("lumora: cannot open a display: DISPLAY is not set");
    if (x11Reachable(display)) return {};
    return QStringLiteral("lumora: cannot open the X display \"%1\"").arg(QString::fromLocal8Bit(display));
}

} // namespace platform
