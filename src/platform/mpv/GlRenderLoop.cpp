#include "platform/mpv/GlRenderLoop.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QWindow>
#include <mpv/render_gl.h>
#if defined(__SANITIZE_ADDRESS__)
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <string>
#include <vector>
#endif

namespace platform::mpv {

namespace {

#if defined(__SANITIZE_ADDRESS__)
// Mesa's libraries: the GLX and EGL front ends, the DRI drivers (swrast_dri.so, iris_dri.so ...) and
// the shared gallium core of newer releases.
bool isOpenGlDriver(const char* path) {
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    const size_t length = std::strlen(name);
    const auto endsWith = [&](const char* tail) {
        const size_t n = std::strlen(tail);
        return length >= n && std::strcmp(name + length - n, tail) == 0;
    };
    return std::strncmp(name, "libGLX_mesa.so", 14) == 0 || std::strncmp(name, "libEGL_mesa.so", 14) == 0 ||
           std::strncmp(name, "libgallium", 10) == 0 || endsWith("_dri.so");
}
#endif

void* procAddress(void* context, const char* name) {
    return reinterpret_cast<void*>(static_cast<QOpenGLContext*>(context)->getProcAddress(name));
}

} // namespace

void keepOpenGlDriverLoaded() {
#if defined(__SANITIZE_ADDRESS__)
    std::vector<std::string> drivers;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* found) {
            if (info->dlpi_name && isOpenGlDriver(info->dlpi_name))
                static_cast<std::vector<std::string>*>(found)->emplace_back(info->dlpi_name);
            return 0;
        },
        &drivers);
    // Only libraries already loaded; the handle is never closed, so the driver outlives every close.
    for (const std::string& path : drivers)
        dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
#endif
}

GlRenderLoop::GlRenderLoop(QOffscreenSurface* surface, QWindow* window, std::function<void()> framed)
    : m_surface(surface), m_window(window), m_framed(std::move(framed)) {}

GlRenderLoop::~GlRenderLoop() { finish(nullptr); }

mpv_render_context* GlRenderLoop::start(mpv_handle* mpv, QString* error) {
    // libmpv's X11 hardware decoders (VDPAU) need the display to share their pictures with OpenGL.
    void* x11Display = nullptr;
    if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        x11Display = x11->display();
    m_windowValid = m_window->handle() != nullptr;
    QString failure;
    m_thread = std::thread([this, mpv, x11Display, &failure] {
        lowerThisThreadsPriority();
        std::unique_lock<std::mutex> hold(m_startLock);
        m_gl = new QOpenGLContext;
        m_gl->setFormat(m_window->requestedFormat());
        const bool created = m_gl->create();
        keepOpenGlDriverLoaded();
        if (!created) failure = QStringLiteral("no OpenGL context");
        else if (!m_gl->makeCurrent(m_surface)) failure = QStringLiteral("the OpenGL context cannot be made current");
        if (failure.isEmpty()) {
            mpv_opengl_init_params init{};
            init.get_proc_address = &procAddress;
            init.get_proc_address_ctx = m_gl;
            mpv_render_param params[] = {
                {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
                {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
                {x11Display ? MPV_RENDER_PARAM_X11_DISPLAY : MPV_RENDER_PARAM_INVALID, x11Display},
                {MPV_RENDER_PARAM_INVALID, nullptr},
            };
            const int status = mpv_render_context_create(&m_context, mpv, params);
            if (status < 0) {
                m_context = nullptr;
                failure = QStringLiteral("libmpv: %1").arg(QString::fromUtf8(mpv_error_string(status)));
            }
        }
        m_started = true;
        m_startWake.notify_all();
        if (!m_context) {
            m_gl->doneCurrent();
            delete m_gl;
            m_gl = nullptr;
            return;
        }
        hold.unlock();
        run();
    });
    std::unique_lock<std::mutex> hold(m_startLock);
    m_startWake.wait(hold, [this] { return m_started; });
    if (!m_context) {
        hold.unlock();
        m_thread.join();
        if (error) *error = failure;
    }
    return m_context;
}

void GlRenderLoop::setWindowValid(bool valid) {
    std::lock_guard<std::mutex> hold(m_windowLock);
    m_windowValid = valid;
}

void GlRenderLoop::setMirrors(std::vector<Mirror> mirrors) {
    std::lock_guard<std::mutex> hold(m_windowLock);
    m_mirrors = std::move(mirrors);
}

void GlRenderLoop::finish(const std::function<void(mpv_render_context*)>& last) {
    if (m_thread.joinable()) m_last = last;
    quit();
    if (m_thread.joinable()) m_thread.join();
}

void GlRenderLoop::render(bool skip, QSize size) {
    int dontBlock = 0;
    std::unique_lock<std::mutex> window(m_windowLock);
    if (skip || !m_windowValid || !m_gl->makeCurrent(m_window)) {
        window.unlock();
        m_gl->makeCurrent(m_surface);
        return skipFrame(m_context);
    }
    // The window's own framebuffer, whose first line is the bottom of the screen: flipped.
    mpv_opengl_fbo target{int(m_gl->defaultFramebufferObject()), size.width(), size.height(), 0};
    int flip = 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_FLIP_Y, &flip},
        // Frames are shown as soon as they are drawn; libmpv's own clock already timed them.
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &dontBlock},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    const uint64_t generation = m_generation.load();
    if (mpv_render_context_render(m_context, params) < 0) {
        // Not left current on the window either way.
        m_gl->makeCurrent(m_surface);
        return;
    }
    m_gl->swapBuffers(m_window);
    // The same frame drawn again into each mirror at its size: decoded once, drawn by the GPU.
    for (const Mirror& mirror : m_mirrors) {
        if (!mirror.window || mirror.size.isEmpty() || !m_gl->makeCurrent(mirror.window)) continue;
        mpv_opengl_fbo into{int(m_gl->defaultFramebufferObject()), mirror.size.width(), mirror.size.height(),
                            0};
        mpv_render_param again[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &into},
            {MPV_RENDER_PARAM_FLIP_Y, &flip},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &dontBlock},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (mpv_render_context_render(m_context, again) >= 0) m_gl->swapBuffers(mirror.window);
    }
    // Not left current on a window whose surface the GUI thread may destroy next.
    m_gl->doneCurrent();
    window.unlock();
    mpv_render_context_report_swap(m_context);
    ++m_rendered;
    m_presented = generation;
    if (m_framed) m_framed();
}

void GlRenderLoop::run() {
    runFrames(m_context, [this](bool skip, QSize size, qreal) { render(skip, size); });
    const auto last = m_last;
    m_gl->makeCurrent(m_surface);
    if (last) last(m_context);
    else mpv_render_context_free(m_context);
    m_context = nullptr;
    m_gl->doneCurrent();
    delete m_gl;
    m_gl = nullptr;
}

} // namespace platform::mpv
