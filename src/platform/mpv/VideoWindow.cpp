#include "platform/mpv/VideoWindow.h"

#include <QPlatformSurfaceEvent>

namespace platform::mpv {

VideoWindow::VideoWindow(std::function<void(bool)> surfaceChanged, std::function<void()> exposed,
                         QSurface::SurfaceType type)
    : m_surfaceChanged(std::move(surfaceChanged)), m_exposed(std::move(exposed)) {
    setSurfaceType(type);
    setFlag(Qt::WindowTransparentForInput);
}

bool VideoWindow::event(QEvent* event) {
    if (event->type() == QEvent::PlatformSurface && m_surfaceChanged) {
        const auto type = static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType();
        m_surfaceChanged(type == QPlatformSurfaceEvent::SurfaceCreated);
    }
    return QWindow::event(event);
}

void VideoWindow::exposeEvent(QExposeEvent*) {
    if (isExposed() && m_exposed) m_exposed();
}

} // namespace platform::mpv
