#include "platform/linux/X11ScreenHold.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <utility>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <cstdio>
#include <cstdlib>
#include <xcb/xcb.h>

namespace platform {

namespace {

// Tries a grab another program holds this often at first, then once a second for the rest of the run.
constexpr int kEagerRetryMs = 100;
constexpr int kEagerPeriodMs = 1000;
constexpr int kSteadyRetryMs = 1000;
// Other windows that keep restacking themselves get the screen back at most this often.
constexpr int kRaiseGapMs = 30;

constexpr uint16_t kPointerEvents =
    XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;

// The fields every key, button and motion event has at the same place.
using InputEvent = xcb_key_press_event_t;

} // namespace

X11ScreenHold::X11ScreenHold() {
    m_retry.setTimerType(Qt::CoarseTimer);
    connect(&m_retry, &QTimer::timeout, this, &X11ScreenHold::tryGrabs);
    m_raise.setSingleShot(true);
    connect(&m_raise, &QTimer::timeout, this, &X11ScreenHold::raiseAll);
}

X11ScreenHold::~X11ScreenHold() {
    end();
}

void X11ScreenHold::begin() {
    if (m_holding) return;
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    m_conn = x11 ? x11->connection() : nullptr;
    if (!m_conn) return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_conn));
    if (!screens.rem) return;
    m_root = screens.data->root;

    // A pointer image with no pixel: shown wherever the pointer goes while the grab holds it.
    const xcb_pixmap_t pixmap = xcb_generate_id(m_conn);
    xcb_create_pixmap(m_conn, 1, pixmap, m_root, 1, 1);
    const xcb_gcontext_t gc = xcb_generate_id(m_conn);
    const uint32_t clear = 0;
    xcb_create_gc(m_conn, gc, pixmap, XCB_GC_FOREGROUND, &clear);
    const xcb_rectangle_t all{0, 0, 1, 1};
    xcb_poly_fill_rectangle(m_conn, pixmap, gc, 1, &all);
    m_blankCursor = xcb_generate_id(m_conn);
    xcb_create_cursor(m_conn, m_blankCursor, pixmap, pixmap, 0, 0, 0, 0, 0, 0, 0, 0);
    xcb_free_gc(m_conn, gc);
    xcb_free_pixmap(m_conn, pixmap);

    // Every window mapped or restacked at the top level is seen, so ours go back over it at once.
    if (auto* attrs =
            xcb_get_window_attributes_reply(m_conn, xcb_get_window_attributes(m_conn, m_root), nullptr)) {
        m_rootMask = attrs->your_event_mask;
        free(attrs);
    }
    const uint32_t mask = m_rootMask | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);

    m_startPointer.reset();
    m_early.clear();
    if (auto* p = xcb_query_pointer_reply(m_conn, xcb_query_pointer(m_conn, m_root), nullptr)) {
        m_startPointer = QPoint(p->root_x, p->root_y);
        free(p);
    }
    qApp->installNativeEventFilter(this);
    m_filtering = true;
    m_holding = true;
    m_since.start();
    tryGrabs();
    m_retry.start(kEagerRetryMs);
}

void X11ScreenHold::hold(QWidget* window, bool takesInput) {
    if (!m_holding || !window) return;
    // Left to the window manager, a panel on its top layer stays over the screen saver and the task
    // bar lists it; its own stacking is the screen saver's alone.
    window->setWindowFlags(window->windowFlags() | Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint |
                           Qt::FramelessWindowHint);
    m_windows.removeAll(nullptr);
    if (!m_windows.contains(window)) m_windows << window;
    if (takesInput) {
        m_inputWindow = window;
        if (!m_early.isEmpty()) QMetaObject::invokeMethod(this, &X11ScreenHold::passEarlyInput, Qt::QueuedConnection);
    }
}

void X11ScreenHold::end() {
    if (!m_holding) return;
    m_holding = false;
    m_retry.stop();
    m_raise.stop();
    if (m_filtering) {
        qApp->removeNativeEventFilter(this);
        m_filtering = false;
    }
    xcb_ungrab_keyboard(m_conn, XCB_CURRENT_TIME);
    xcb_ungrab_pointer(m_conn, XCB_CURRENT_TIME);
    m_keyboardOn = m_pointerOn = 0;
    xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &m_rootMask);
    if (m_blankCursor) xcb_free_cursor(m_conn, m_blankCursor);
    m_blankCursor = 0;
    xcb_flush(m_conn);
    m_windows.clear();
    m_inputWindow = nullptr;
    m_early.clear();
}

QWidget* X11ScreenHold::inputWindow() const {
    return m_inputWindow;
}

bool X11ScreenHold::isOurs(uint32_t window) const {
    for (const QPointer<QWidget>& w : m_windows)
        if (w && w->testAttribute(Qt::WA_WState_Created) && uint32_t(w->winId()) == window) return true;
    return false;
}

uint32_t X11ScreenHold::viewableInputWindow() const {
    QWidget* w = inputWindow();
    if (!w || !w->isVisible() || !w->testAttribute(Qt::WA_WState_Created)) return 0;
    const auto id = uint32_t(w->winId());
    auto* attrs = xcb_get_window_attributes_reply(m_conn, xcb_get_window_attributes(m_conn, id), nullptr);
    const bool viewable = attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE;
    free(attrs);
    return viewable ? id : 0;
}

bool X11ScreenHold::grabsHeldOnInputWindow() const {
    QWidget* w = inputWindow();
    if (!w || !w->isVisible() || !w->testAttribute(Qt::WA_WState_Created)) return false;
    const auto id = uint32_t(w->winId());
    return m_keyboardOn == id && m_pointerOn == id;
}

void X11ScreenHold::tryGrabs() {
    if (!m_holding) return;
    // No other program can take a grab we hold; it goes only with the window (an unmap, seen below),
    // so once both are on the player's window the server is not asked again: at rest, every request
    // waited on is a wake-up.
    if (m_since.elapsed() >= kEagerPeriodMs && grabsHeldOnInputWindow()) {
        if (m_retry.interval() != kSteadyRetryMs) m_retry.start(kSteadyRetryMs);
        return;
    }
    // Until the player's window can be seen, everything is reported to the root window and passed on
    // from there; afterwards the grabs move to the player's window, and the program's own windows
    // get their pointer events as usual.
    const uint32_t shown = viewableInputWindow();
    const uint32_t target = shown ? shown : m_root;
    // Asked again every time: a grab held is kept, and one lost to another program is taken back. A
    // grab refused only because the window cannot be seen yet stays where it was.
    auto settle = [&](uint8_t status, uint32_t& on) {
        if (status == XCB_GRAB_STATUS_SUCCESS)
            on = target;
        else if (status == XCB_GRAB_STATUS_ALREADY_GRABBED || status == XCB_GRAB_STATUS_FROZEN)
            on = 0;
    };
    auto* key = xcb_grab_keyboard_reply(
        m_conn,
        xcb_grab_keyboard(m_conn, 0, target, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr);
    settle(key ? key->status : uint8_t(XCB_GRAB_STATUS_ALREADY_GRABBED), m_keyboardOn);
    free(key);
    auto* ptr = xcb_grab_pointer_reply(m_conn,
                                       xcb_grab_pointer(m_conn, shown ? 1 : 0, target, kPointerEvents,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE,
                                                        m_blankCursor, XCB_CURRENT_TIME),
                                       nullptr);
    settle(ptr ? ptr->status : uint8_t(XCB_GRAB_STATUS_ALREADY_GRABBED), m_pointerOn);
    free(ptr);
    if (shown) passEarlyInput();

    if (m_since.elapsed() >= kEagerPeriodMs) {
        if (m_retry.interval() != kSteadyRetryMs) m_retry.start(kSteadyRetryMs);
        if (!m_keyboardOn && !m_toldKeyboard) {
            m_toldKeyboard = true;
            std::fprintf(stderr, "lumora: another program holds the keyboard; keys typed now may reach it\n");
        }
        if (!m_pointerOn && !m_toldPointer) {
            m_toldPointer = true;
            std::fprintf(stderr, "lumora: another program holds the pointer; clicks made now may reach it\n");
        }
    }
}

void X11ScreenHold::scheduleRaise() {
    if (m_raise.isActive()) return;
    const qint64 since = m_lastRaise.isValid() ? m_lastRaise.elapsed() : kRaiseGapMs;
    m_raise.start(int(since >= kRaiseGapMs ? 0 : kRaiseGapMs - since));
}

void X11ScreenHold::raiseAll() {
    if (!m_holding) return;
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    QWidget* input = inputWindow();
    // The window that takes input last, so it ends on top where windows overlap.
    for (const QPointer<QWidget>& w : std::as_const(m_windows))
        if (w && w != input && w->isVisible() && w->testAttribute(Qt::WA_WState_Created))
            xcb_configure_window(m_conn, uint32_t(w->winId()), XCB_CONFIG_WINDOW_STACK_MODE, &above);
    if (input && input->isVisible() && input->testAttribute(Qt::WA_WState_Created))
        xcb_configure_window(m_conn, uint32_t(input->winId()), XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(m_conn);
    m_lastRaise.restart();
}

bool X11ScreenHold::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!m_holding || eventType != "xcb_generic_event_t") return false;
    auto* generic = static_cast<xcb_generic_event_t*>(message);
    const uint8_t type = generic->response_type & 0x7F;
    switch (type) {
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY: {
        auto* ev = reinterpret_cast<InputEvent*>(generic);
        if (ev->event != m_root) return false;
        keepEarlyInput(type, ev);
        return true;
    }
    case XCB_MAP_NOTIFY: {
        auto* ev = reinterpret_cast<xcb_map_notify_event_t*>(generic);
        QWidget* input = inputWindow();
        if (input && input->testAttribute(Qt::WA_WState_Created) && ev->window == uint32_t(input->winId()))
            QMetaObject::invokeMethod(this, &X11ScreenHold::tryGrabs, Qt::QueuedConnection);
        if (ev->event == m_root && !isOurs(ev->window)) scheduleRaise();
        return false;
    }
    case XCB_UNMAP_NOTIFY: {
        // The server ends a grab whose window is no longer viewable.
        auto* ev = reinterpret_cast<xcb_unmap_notify_event_t*>(generic);
        if (ev->window == m_keyboardOn) m_keyboardOn = 0;
        if (ev->window == m_pointerOn) m_pointerOn = 0;
        return false;
    }
    case XCB_CONFIGURE_NOTIFY: {
        auto* ev = reinterpret_cast<xcb_configure_notify_event_t*>(generic);
        if (ev->event == m_root && !isOurs(ev->window)) scheduleRaise();
        return false;
    }
    case XCB_CIRCULATE_NOTIFY: {
        auto* ev = reinterpret_cast<xcb_circulate_notify_event_t*>(generic);
        if (ev->event == m_root && !isOurs(ev->window)) scheduleRaise();
        return false;
    }
    default:
        return false;
    }
}

void X11ScreenHold::keepEarlyInput(uint8_t type, const void* event) {
    const auto* ev = static_cast<const InputEvent*>(event);
    if (type == XCB_KEY_RELEASE) return;
    // A busy start can bring many moves at once: only the last of a run of them counts, as with the
    // moves Qt itself merges.
    if (type == XCB_MOTION_NOTIFY && !m_early.isEmpty() && m_early.last().type == XCB_MOTION_NOTIFY)
        m_early.removeLast();
    // Bounded, for a start that never shows a window.
    if (m_early.size() >= 64) m_early.removeFirst();
    m_early << EarlyInput{type, ev->detail, QPoint(ev->root_x, ev->root_y)};
    // Handled once this event is done with, as the window's own input would be.
    if (!m_passScheduled) {
        m_passScheduled = true;
        QMetaObject::invokeMethod(this, &X11ScreenHold::passEarlyInput, Qt::QueuedConnection);
    }
}

namespace {

Qt::MouseButton qtButton(uint8_t detail) {
    switch (detail) {
    case 1: return Qt::LeftButton;
    case 2: return Qt::MiddleButton;
    case 3: return Qt::RightButton;
    case 8: return Qt::BackButton;
    case 9: return Qt::ForwardButton;
    default: return Qt::ExtraButton3;
    }
}

// X reports the wheel as buttons 4 to 7, a press and a release for each step.
bool isWheel(uint8_t detail) { return detail >= 4 && detail <= 7; }

} // namespace

void X11ScreenHold::passEarlyInput() {
    m_passScheduled = false;
    // Kept until the player's window is there to act on it: a key or a click made while the program
    // starts must end it all the same.
    QPointer<QWidget> target = inputWindow();
    if (!m_holding || !target || !target->isVisible()) return;
    const QList<EarlyInput> early = std::exchange(m_early, {});
    for (const EarlyInput& in : early) {
        if (!target || !m_holding) return;
        const QPointF global(in.at);
        const QPointF local = target->mapFromGlobal(global);
        switch (in.type) {
        case XCB_KEY_PRESS: {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &key);
            break;
        }
        case XCB_BUTTON_PRESS:
            if (isWheel(in.detail)) {
                const QPoint delta = in.detail == 4   ? QPoint(0, 120)
                                     : in.detail == 5 ? QPoint(0, -120)
                                     : in.detail == 6 ? QPoint(120, 0)
                                                      : QPoint(-120, 0);
                QWheelEvent wheel(local, global, QPoint(), delta, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                                  false);
                QCoreApplication::sendEvent(target, &wheel);
            } else {
                QMouseEvent press(QEvent::MouseButtonPress, local, global, qtButton(in.detail),
                                  qtButton(in.detail), Qt::NoModifier);
                QCoreApplication::sendEvent(target, &press);
            }
            break;
        case XCB_BUTTON_RELEASE:
            if (!isWheel(in.detail)) {
                QMouseEvent release(QEvent::MouseButtonRelease, local, global, qtButton(in.detail), Qt::NoButton,
                                    Qt::NoModifier);
                QCoreApplication::sendEvent(target, &release);
            }
            break;
        case XCB_MOTION_NOTIFY: {
            QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &move);
            break;
        }
        default:
            break;
        }
    }
}

} // namespace platform
