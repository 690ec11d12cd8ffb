#include "platform/wayland/WaylandDesktop.h"

#include <QDir>
#include <QGuiApplication>
#include <QLockFile>
#include <QPixmap>
#include <QStandardPaths>
#include <memory>

#ifdef LUMORA_LAYER_SHELL
#include "qwayland-wlr-layer-shell-unstable-v1.h"
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <QtWaylandClient/QWaylandClientExtensionTemplate>
#include <cstdio>
#include <map>
#include <memory>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>
#endif

namespace platform::wayland {

bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QCursor blankPointer() {
    if (!onWayland()) return QCursor(Qt::BlankCursor);
    QPixmap nothing(1, 1);
    nothing.fill(Qt::transparent);
    return QCursor(nothing, 0, 0);
}

bool claimScreenSaverRun() {
    static std::unique_ptr<QLockFile> held;
    if (held) return true;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
    display.replace(u'/', u'_');
    auto lock =
        std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("lumora-%1.lock").arg(display)));
    // Held for as long as the run lasts, however long: only a holder that is gone lets go of it.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        // A folder the lock cannot be made in must not keep the screen saver from running.
        return lock->error() != QLockFile::LockFailedError;
    }
    held = std::move(lock);
    return true;
}

#ifdef LUMORA_LAYER_SHELL

namespace {

class LayerShell : public QWaylandClientExtensionTemplate<LayerShell>, public QtWayland::zwlr_layer_shell_v1 {
public:
    // Version 3 has everything used here and lets the surface be destroyed before the shell.
    LayerShell() : QWaylandClientExtensionTemplate<LayerShell>(3) {
        // The globals are known once the platform is up: bind now rather than on the next event loop.
        initialize();
    }
};

class LayerSurface : public QtWayland::zwlr_layer_surface_v1 {
public:
    LayerSurface(::zwlr_layer_surface_v1* object, QWidget* window, ::wl_surface* surface)
        : QtWayland::zwlr_layer_surface_v1(object), m_window(window), m_surface(surface) {}
    ~LayerSurface() override {
        if (isInitialized()) destroy();
    }
    ::wl_surface* surface() const { return m_surface; }
    bool configured() const { return m_configured; }

protected:
    void zwlr_layer_surface_v1_configure(uint32_t serial, uint32_t width, uint32_t height) override {
        ack_configure(serial);
        m_configured = true;
        // The compositor decides the size: the output's, in its logical pixels.
        const QSize size{int(width), int(height)};
        if (m_window && !size.isEmpty() && m_window->size() != size)
            QMetaObject::invokeMethod(
                m_window,
                [w = m_window, size] {
                    if (w) w->resize(size);
                },
                Qt::QueuedConnection);
    }

private:
    QPointer<QWidget> m_window;
    ::wl_surface* m_surface;
    bool m_configured = false;
};

// Gives each screen-saver window its layer while it is about to be shown: after Qt made its surface,
// before Qt gives that surface a role of its own or draws in it.
class OverlayPlacer : public QObject {
public:
    explicit OverlayPlacer(std::unique_ptr<LayerShell> shell) : QObject(qApp), m_shell(std::move(shell)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && widget->windowType() == Qt::Window &&
            widget->windowFlags().testFlag(Qt::FramelessWindowHint))
            place(widget);
        return false;
    }

private:
    void place(QWidget* widget) {
        QWindow* window = widget->windowHandle();
        QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
        if (!window || !native || !m_shell->isActive()) return;
        auto* surface = static_cast<::wl_surface*>(native->nativeResourceForWindow("surface", window));
        auto* display = static_cast<::wl_display*>(native->nativeResourceForIntegration("wl_display"));
        auto* output = static_cast<::wl_output*>(native->nativeResourceForScreen("output", widget->screen()));
        auto found = m_layers.find(window);
        if (found != m_layers.end() && found->second->surface() == surface && surface) return;
        if (found != m_layers.end()) m_layers.erase(found);
        if (!surface || !display) {
            // Shown again after Qt let its surface go: the new one is made only as the window shows,
            // too late for a layer. It shows as a full-screen window instead.
            window->setFlags(window->flags() & ~Qt::BypassWindowManagerHint);
            return;
        }
        // Qt gives the surface no role of its own (see showScreenSaverWindowsAsOverlays).
        window->setFlags(window->flags() | Qt::BypassWindowManagerHint);
        auto layer = std::make_unique<LayerSurface>(
            m_shell->get_layer_surface(surface, output, QtWayland::zwlr_layer_shell_v1::layer_overlay,
                                       QStringLiteral("lumora")),
            widget, surface);
        layer->set_anchor(
            QtWayland::zwlr_layer_surface_v1::anchor_top | QtWayland::zwlr_layer_surface_v1::anchor_bottom |
            QtWayland::zwlr_layer_surface_v1::anchor_left | QtWayland::zwlr_layer_surface_v1::anchor_right);
        layer->set_size(0, 0);
        // Over panels' reserved edges too.
        layer->set_exclusive_zone(-1);
        layer->set_keyboard_interactivity(QtWayland::zwlr_layer_surface_v1::keyboard_interactivity_exclusive);
        wl_surface_commit(surface);
        // Nothing may be drawn in the surface before the compositor's first configure is answered.
        for (int i = 0; i < 5 && !layer->configured(); ++i)
            if (wl_display_roundtrip(display) < 0) break;
        if (!layer->configured()) std::fprintf(stderr, "lumora: the compositor did not place the overlay\n");
        connect(window, &QObject::destroyed, this, [this, window] { m_layers.erase(window); });
        m_layers[window] = std::move(layer);
    }

    std::unique_ptr<LayerShell> m_shell;
    std::map<QWindow*, std::unique_ptr<LayerSurface>> m_layers;
};

} // namespace

bool showScreenSaverWindowsAsOverlays() {
    if (!onWayland()) return false;
    static OverlayPlacer* placer = nullptr;
    if (placer) return true;
    auto shell = std::make_unique<LayerShell>();
    if (!shell->isActive()) return false;
    // Qt's Wayland platform gives a surface no shell role when this is set and the window bypasses
    // the window manager; the role is then the overlay layer's.
    qputenv("QT_WAYLAND_USE_BYPASSWINDOWMANAGERHINT", "1");
    placer = new OverlayPlacer(std::move(shell));
    qApp->installEventFilter(placer);
    return true;
}

#else

bool showScreenSaverWindowsAsOverlays() {
    return false;
}

#endif

} // namespace platform::wayland
