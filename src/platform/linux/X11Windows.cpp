#include "platform/linux/X11Windows.h"

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <xcb/xcb.h>

namespace platform::x11 {

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name, bool create = false) {
    xcb_intern_atom_cookie_t ck = xcb_intern_atom(c, create ? 0 : 1, static_cast<uint16_t>(strlen(name)), name);
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, ck, nullptr);
    xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(r);
    return a;
}

QString property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t prop, xcb_atom_t type, bool utf8) {
    if (prop == XCB_ATOM_NONE) return QString();
    xcb_get_property_cookie_t ck = xcb_get_property(c, 0, w, prop, type, 0, 1024);
    xcb_get_property_reply_t* r = xcb_get_property_reply(c, ck, nullptr);
    QString s;
    if (r && r->format == 8) {
        const char* data = static_cast<const char*>(xcb_get_property_value(r));
        const int len = xcb_get_property_value_length(r);
        s = utf8 ? QString::fromUtf8(data, len) : QString::fromLatin1(data, len);
    }
    free(r);
    return s;
}

} // namespace

bool windowWithCaptionExists(const QString& caption) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (!c || xcb_connection_has_error(c)) {
        if (c) xcb_disconnect(c);
        return false;
    }
    const xcb_atom_t netName = atom(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    bool found = false;
    std::vector<xcb_window_t> pending;
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it))
        pending.push_back(it.data->root);
    // Top-level windows are children of the root, or of a window manager's frame one level down.
    for (int depth = 0; depth < 3 && !found && !pending.empty(); ++depth) {
        std::vector<xcb_window_t> next;
        for (xcb_window_t parent : pending) {
            xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr);
            if (!tree) continue;
            const xcb_window_t* kids = xcb_query_tree_children(tree);
            const int n = xcb_query_tree_children_length(tree);
            for (int i = 0; i < n && !found; ++i) {
                QString name = property(c, kids[i], netName, utf8, true);
                if (name.isEmpty()) name = property(c, kids[i], XCB_ATOM_WM_NAME, XCB_ATOM_ANY, false);
                if (name == caption) found = true;
                next.push_back(kids[i]);
            }
            free(tree);
        }
        pending.swap(next);
    }
    xcb_disconnect(c);
    return found;
}

void keepOutOfTaskBar(QWidget* window) {
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return;
    // Qt keeps the states already on an unmapped window when it adds its own at the first show.
    const auto id = xcb_window_t(window->winId());
    const xcb_atom_t netState = atom(c, "_NET_WM_STATE", true);
    const xcb_atom_t states[] = {atom(c, "_NET_WM_STATE_SKIP_TASKBAR", true), atom(c, "_NET_WM_STATE_SKIP_PAGER", true)};
    if (netState == XCB_ATOM_NONE || states[0] == XCB_ATOM_NONE) return;
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, netState, XCB_ATOM_ATOM, 32, 2, states);
    xcb_flush(c);
}

} // namespace platform::x11
