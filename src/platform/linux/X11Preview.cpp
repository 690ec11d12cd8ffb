#include "platform/linux/X11Preview.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <xcb/xcb.h>
#include "base/RuntimeError.h"

namespace platform {

namespace {

bool isWindowId(int64_t window) {
    return window > 0 && window <= 0xFFFFFFFF;
}

[[noreturn]] void fail(const char* what) {
    throw runtime::RuntimeError(runtime::ErrorKind::Failed, QString::fromLatin1(what));
}

} // namespace

X11PreviewHost::~X11PreviewHost() {
    if (m_host && m_host->findChildren<QWindow*>(Qt::FindDirectChildrenOnly).isEmpty()) delete m_host.data();
    if (m_own) xcb_disconnect(m_own);
}

xcb_connection_t* X11PreviewHost::connection() {
    // Qt's own connection sees the windows in the same order as the program's requests.
    if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        if (xcb_connection_t* c = x11->connection()) return c;
    if (!m_own) {
        m_own = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_own)) {
            xcb_disconnect(m_own);
            m_own = nullptr;
        }
    }
    return m_own;
}

bool X11PreviewHost::isWindow(int64_t window) {
    if (!isWindowId(window)) return false;
    xcb_connection_t* c = connection();
    if (!c) return false;
    // The server hands a client that has gone the numbers of its windows to the next one to come: a
    // number of this program's own is a host window that is gone, now naming one of the program's.
    const xcb_setup_t* setup = xcb_get_setup(c);
    if ((uint32_t(window) & ~setup->resource_id_mask) == setup->resource_id_base) return false;
    // An error comes back with the reply, so a bad id is neither printed nor fatal.
    xcb_generic_error_t* error = nullptr;
    auto* reply =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, xcb_window_t(window)), &error);
    const bool exists = reply != nullptr;
    free(reply);
    free(error);
    return exists;
}

WindowRect X11PreviewHost::clientRect(int64_t window) {
    WindowRect r;
    if (!isWindowId(window)) return r;
    xcb_connection_t* c = connection();
    if (!c) return r;
    xcb_generic_error_t* error = nullptr;
    if (auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, xcb_window_t(window)), &error)) {
        r.right = g->width;
        r.bottom = g->height;
        free(g);
    }
    free(error);
    return r;
}

std::optional<QPoint> X11PreviewHost::originOnRoot(int64_t window) {
    if (!isWindowId(window)) return std::nullopt;
    xcb_connection_t* c = connection();
    if (!c) return std::nullopt;
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (!screens.rem) return std::nullopt;
    std::optional<QPoint> at;
    xcb_generic_error_t* error = nullptr;
    if (auto* t = xcb_translate_coordinates_reply(
            c, xcb_translate_coordinates(c, xcb_window_t(window), screens.data->root, 0, 0), &error)) {
        at = QPoint(t->dst_x, t->dst_y);
        free(t);
    }
    free(error);
    return at;
}

void X11PreviewHost::embed(QWidget* picture, int64_t host) {
    if (!picture) fail("no picture");
    if (QGuiApplication::platformName() != QLatin1String("xcb")) fail("the preview needs X11");
    if (!isWindow(host)) fail("no such window");
    QWindow* foreign = QWindow::fromWinId(WId(host));
    if (!foreign) fail("no such window");

    const QRect geometry = picture->geometry();
    picture->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    picture->winId();
    picture->windowHandle()->setParent(foreign);
    picture->setGeometry(geometry);
    picture->show();
    if (m_host != foreign) dropHost();
    m_host = foreign;
    m_hostId = host;
}

int64_t X11PreviewHost::rootWindow() {
    xcb_connection_t* c = connection();
    if (!c) return 0;
    const xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    return it.rem ? int64_t(it.data->root) : 0;
}

void X11PreviewHost::giveBack(QWidget* picture, QWidget*) {
    if (!picture) return;
    QWindow* window = picture->windowHandle();
    if (window && m_host && window->parent() == m_host) {
        // A destroyed host took the picture's X window with it: nothing is left to move, and the
        // host's stand-in must stay until the picture goes, as it still owns the picture's window.
        if (!isWindow(m_hostId)) return;
        // Out of the host and unmapped: the picture lives on in its hidden form.
        picture->hide();
        window->setParent(nullptr);
    }
    dropHost();
}

void X11PreviewHost::dropHost() {
    // The stand-in owns the windows still inside it; it goes only when it holds none.
    if (m_host && m_host->findChildren<QWindow*>(Qt::FindDirectChildrenOnly).isEmpty()) m_host->deleteLater();
    m_host = nullptr;
    m_hostId = 0;
}

} // namespace platform
