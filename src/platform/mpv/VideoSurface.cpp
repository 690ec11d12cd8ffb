#include "platform/mpv/VideoSurface.h"

#include "platform/mpv/GlRenderLoop.h"
#include "platform/mpv/RenderLoop.h"
#include "platform/mpv/ShmRenderLoop.h"
#include "platform/mpv/SurfaceChoice.h"
#include "platform/mpv/VideoWindow.h"
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QPainter>
#include <QWidget>
#include <cstdio>
#include <mpv/render.h>
#include <mutex>

namespace platform::mpv {

VideoSurface::VideoSurface(QWidget* host, std::function<void()> framed, std::function<void()> redraw)
    : m_host(host), m_framed(std::move(framed)), m_redraw(std::move(redraw)) {}

VideoSurface::~VideoSurface() {
    finish(true);
}

VideoSurface::Kind VideoSurface::start(mpv_handle* mpv, bool openGL, bool sharedMemory) {
    if (openGL && startOpenGL(mpv)) m_kind = Kind::OpenGL;
    else if (startSoftware(mpv, sharedMemory)) m_kind = m_window ? Kind::SharedMemory : Kind::Images;
    if (!m_render) return m_kind;
    {
        std::lock_guard<std::mutex> hold(m_wakeLock);
        m_wakeTarget = m_loop.get();
    }
    mpv_render_context_set_update_callback(m_render, &VideoSurface::renderUpdateCallback, this);
    return m_kind;
}

void VideoSurface::renderUpdateCallback(void* surface) {
    // Straight to the render thread: the user-interface thread has no part in drawing a frame.
    auto* self = static_cast<VideoSurface*>(surface);
    std::lock_guard<std::mutex> hold(self->m_wakeLock);
    if (self->m_wakeTarget) self->m_wakeTarget->wake();
}

void VideoSurface::holdWindow() {
    m_container = QWidget::createWindowContainer(m_window, m_host);
    // Mouse and wheel fall through to the player beneath, and the focus stays with it.
    m_container->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_container->setFocusPolicy(Qt::NoFocus);
    m_container->setGeometry(m_host->rect());
    // Shown with the first frame: until then the form behind shows through.
    m_container->hide();
}

void VideoSurface::dropWindow() {
    delete m_container;
    m_container = nullptr;
    m_window = nullptr;
}

bool VideoSurface::startOpenGL(mpv_handle* mpv) {
    // The window and the offscreen surface must be made on this thread; the render thread draws on them.
    m_window = new VideoWindow(
        [this](bool created) {
            if (!m_loop) return;
            m_loop->setWindow(created ? m_window : nullptr);
            if (created) m_redraw();
        },
        [this] { m_redraw(); });
    holdWindow();
    m_window->create();
    m_glSurface = std::make_unique<QOffscreenSurface>();
    m_glSurface->setFormat(m_window->requestedFormat());
    m_glSurface->create();
    auto loop = std::make_unique<GlRenderLoop>(m_glSurface.get(), m_window, m_framed);
    QString failure = QStringLiteral("no offscreen surface");
    if (!m_window->handle()) failure = QStringLiteral("no window to draw in");
    else if (m_glSurface->isValid()) m_render = loop->start(mpv, &failure);
    if (!m_render) {
        loop.reset();
        m_glSurface.reset();
        dropWindow();
        reportOpenGLFailure(failure);
        return false;
    }
    m_loop = std::move(loop);
    return true;
}

bool VideoSurface::startSoftware(mpv_handle* mpv, bool sharedMemory) {
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_create(&m_render, mpv, params) < 0) m_render = nullptr;
    if (!m_render) return false;
    if (sharedMemory && QGuiApplication::platformName() == QLatin1String("xcb") && startSharedMemory()) return true;
    m_loop = std::make_unique<RenderLoop>(m_render, m_framed);
    return true;
}

bool VideoSurface::startSharedMemory() {
    auto loop = std::make_unique<ShmRenderLoop>(m_render, m_framed);
    QString failure;
    if (!loop->start(qgetenv("DISPLAY"), &failure)) {
        static std::once_flag told;
        std::call_once(told, [&] {
            std::fprintf(stderr, "lumora: software frames are painted from images (%s)\n", qPrintable(failure));
        });
        return false;
    }
    m_window = new VideoWindow(
        [this](bool created) {
            if (!m_loop) return;
            m_loop->setWindow(created ? m_window : nullptr);
            if (created) m_redraw();
        },
        [this] { m_redraw(); }, QSurface::RasterSurface);
    holdWindow();
    m_window->create();
    loop->setWindow(m_window);
    m_loop = std::move(loop);
    return true;
}

void VideoSurface::setTarget(QSize size, qreal ratio, bool visible, bool redraw) {
    if (m_loop) m_loop->setTarget(size, ratio, visible, redraw);
}

void VideoSurface::setGeneration(uint64_t generation) {
    if (m_loop) m_loop->setGeneration(generation);
}

uint64_t VideoSurface::frontGeneration() const {
    return m_loop ? m_loop->frontGeneration() : 0;
}

void VideoSurface::setMirrors(std::vector<MirrorTarget> mirrors) {
    if (m_loop) m_loop->setMirrors(std::move(mirrors));
}

void VideoSurface::showWindow(bool shown) {
    if (m_container && m_container->isHidden() == shown) m_container->setVisible(shown);
}

void VideoSurface::fitToHost() {
    if (m_container) m_container->setGeometry(m_host->rect());
}

bool VideoSurface::paintFront(QPainter& painter, const QRectF& target) {
    return m_loop && m_loop->withFront([&](const QImage& frame) { painter.drawImage(target, frame); });
}

VideoSurface::Leftover VideoSurface::finish(bool answering) {
    Leftover leftover;
    {
        // Not held while the loop ends: libmpv may be waiting to call back meanwhile.
        std::lock_guard<std::mutex> hold(m_wakeLock);
        m_wakeTarget = nullptr;
    }
    if (m_loop) {
        m_loop->setWindow(nullptr);
        m_loop->setMirrors({});
        if (answering) {
            // The render context is freed where it may be used, on the render thread.
            m_loop->finish([](mpv_render_context* context) {
                mpv_render_context_set_update_callback(context, nullptr, nullptr);
                mpv_render_context_free(context);
            });
        } else {
            // The core is stuck and would hold this thread with it: the render thread ends, and the
            // render context goes with the core.
            m_loop->finish([](mpv_render_context* context) {
                mpv_render_context_set_update_callback(context, nullptr, nullptr);
            });
            if (m_kind == Kind::OpenGL) leftover.lost = true;
            else leftover.left = m_render;
        }
        m_loop.reset();
    }
    m_render = nullptr;
    m_kind = Kind::None;
    // The window goes only once nothing draws on it.
    dropWindow();
    m_glSurface.reset();
    return leftover;
}

} // namespace platform::mpv
