#include "app/QuietInHost.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>
#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <xcb/xcb.h>

namespace {

std::atomic<bool> g_quiet{false};

using SendEvent = xcb_void_cookie_t (*)(xcb_connection_t*, uint8_t, xcb_window_t, uint32_t, const char*);

SendEvent libxcbSendEvent() {
    static const auto real = reinterpret_cast<SendEvent>(dlsym(RTLD_NEXT, "xcb_send_event"));
    return real;
}

bool isRootWindow(xcb_connection_t* c, xcb_window_t window) {
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it))
        if (it.data->root == window) return true;
    return false;
}

// How often the stack is looked at: Qt makes its helper windows as the players start, seldom later.
constexpr int kStackCheckMs = 200;

// The program's unmapped top-level windows that lie above another client's window go to the bottom,
// made override-redirect first so that no window manager is asked to restack them.
void lowerOwnWindows(xcb_connection_t* c) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup); it.rem; xcb_screen_next(&it)) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, it.data->root), nullptr);
        if (!tree) continue;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        const int n = xcb_query_tree_children_length(tree);
        bool otherBelow = false;
        // Bottom to top; a window this connection made carries its resource base.
        for (int i = 0; i < n; ++i) {
            const xcb_window_t w = children[i];
            if ((w & ~setup->resource_id_mask) != setup->resource_id_base) {
                otherBelow = true;
                continue;
            }
            if (!otherBelow) continue;
            xcb_get_window_attributes_reply_t* a =
                xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
            const bool unmapped = a && a->map_state == XCB_MAP_STATE_UNMAPPED;
            const bool redirected = a && a->override_redirect;
            free(a);
            if (!unmapped) continue;
            if (!redirected) {
                const uint32_t on = 1;
                xcb_change_window_attributes(c, w, XCB_CW_OVERRIDE_REDIRECT, &on);
            }
            const uint32_t below = XCB_STACK_MODE_BELOW;
            xcb_configure_window(c, w, XCB_CONFIG_WINDOW_STACK_MODE, &below);
        }
        free(tree);
    }
    xcb_flush(c);
}

} // namespace

// Every event Qt (or the program) sends goes through here. Sent to a root window, an event is a
// message to the window manager or to whoever watches the root, a locker among them; in a host's
// window there is nobody the program should tell anything, so such events are not sent. Events
// sent to other windows (selections, embedding) pass.
extern "C" xcb_void_cookie_t xcb_send_event(xcb_connection_t* c, uint8_t propagate, xcb_window_t destination,
                                            uint32_t eventMask, const char* event) {
    if (g_quiet.load(std::memory_order_relaxed) && c && isRootWindow(c, destination)) return xcb_void_cookie_t{0};
    const SendEvent real = libxcbSendEvent();
    if (!real) return xcb_void_cookie_t{0};
    return real(c, propagate, destination, eventMask, event);
}

namespace app {

void quietInHost() {
    g_quiet.store(true, std::memory_order_relaxed);
}

void keepOwnWindowsBeneath() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return;
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [c] { lowerOwnWindows(c); });
    lowerOwnWindows(c);
    timer->start(kStackCheckMs);
}

} // namespace app
