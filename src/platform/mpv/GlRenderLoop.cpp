#include "platform/mpv/GlRenderLoop.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <mpv/render_gl.h>

namespace platform::mpv {

namespace {

// A painter that does not answer within this long has lost its frame; drawing on is better than
// hanging the video.
constexpr GLuint64 kReaderWaitNs = 100'000'000;

void* procAddress(void* context, const char* name) {
    return reinterpret_cast<void*>(static_cast<QOpenGLContext*>(context)->getProcAddress(name));
}

bool hasSync(const QOpenGLContext* gl) {
    const QSurfaceFormat format = gl->format();
    if (gl->isOpenGLES()) return format.majorVersion() >= 3;
    return format.version() >= qMakePair(3, 2) || gl->hasExtension(QByteArrayLiteral("GL_ARB_sync"));
}

} // namespace

GlRenderLoop::GlRenderLoop(QOffscreenSurface* surface, std::function<void()> framed)
    : m_surface(surface), m_framed(std::move(framed)) {}

GlRenderLoop::~GlRenderLoop() { finish(nullptr); }

mpv_render_context* GlRenderLoop::start(mpv_handle* mpv, QString* error) {
    // libmpv's X11 hardware decoders (VDPAU) need the display to share their pictures with OpenGL.
    void* x11Display = nullptr;
    if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        x11Display = x11->display();
    QString failure;
    m_thread = std::thread([this, mpv, x11Display, &failure] {
        std::unique_lock<std::mutex> hold(m_lock);
        m_gl = new QOpenGLContext;
        m_gl->setShareContext(QOpenGLContext::globalShareContext());
        m_gl->setFormat(m_surface->format());
        if (!QOpenGLContext::globalShareContext()) failure = QStringLiteral("no shared OpenGL context");
        else if (!m_gl->create()) failure = QStringLiteral("no OpenGL context");
        else if (!m_gl->makeCurrent(m_surface)) failure = QStringLiteral("the OpenGL context cannot be made current");
        if (failure.isEmpty()) {
            m_hasSync = hasSync(m_gl);
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
        m_wake.notify_all();
        if (!m_context) {
            m_gl->doneCurrent();
            delete m_gl;
            m_gl = nullptr;
            return;
        }
        hold.unlock();
        run();
    });
    std::unique_lock<std::mutex> hold(m_lock);
    m_wake.wait(hold, [this] { return m_started; });
    if (!m_context) {
        hold.unlock();
        m_thread.join();
        if (error) *error = failure;
    }
    return m_context;
}

void GlRenderLoop::wake() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_pending = true;
    }
    m_wake.notify_all();
}

void GlRenderLoop::setTarget(QSize size, qreal, bool visible, bool redraw) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_size = size;
        m_visible = visible;
        m_redraw = m_redraw || redraw;
    }
    m_wake.notify_all();
}

void GlRenderLoop::finish(const std::function<void(mpv_render_context*)>& last) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
        m_last = last;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

uint64_t GlRenderLoop::frontGeneration() {
    std::lock_guard<std::mutex> hold(m_frontLock);
    return m_hasFront ? m_front.generation : 0;
}

bool GlRenderLoop::withFront(const std::function<void(unsigned, QSize)>& paint) {
    QOpenGLContext* current = QOpenGLContext::currentContext();
    if (!current) return false;
    QOpenGLExtraFunctions* gl = current->extraFunctions();
    std::lock_guard<std::mutex> hold(m_frontLock);
    if (!m_hasFront || m_front.generation != m_generation.load() || !m_front.texture) return false;
    // The GPU, not this thread, waits for the render thread's drawing to be done.
    if (m_front.drawn) gl->glWaitSync(m_front.drawn, 0, GL_TIMEOUT_IGNORED);
    paint(m_front.texture, m_front.size);
    if (m_hasSync) {
        if (m_front.readDone) gl->glDeleteSync(m_front.readDone);
        m_front.readDone = gl->glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        // Unflushed, the fence might never signal for the render thread that waits on it.
        gl->glFlush();
    } else {
        gl->glFinish();
    }
    return true;
}

void GlRenderLoop::waitForReaders(Buffer& buffer) {
    if (!buffer.readDone) return;
    QOpenGLExtraFunctions* gl = m_gl->extraFunctions();
    gl->glClientWaitSync(buffer.readDone, 0, kReaderWaitNs);
    gl->glDeleteSync(buffer.readDone);
    buffer.readDone = nullptr;
}

void GlRenderLoop::release(Buffer& buffer) {
    waitForReaders(buffer);
    QOpenGLExtraFunctions* gl = m_gl->extraFunctions();
    if (buffer.drawn) gl->glDeleteSync(buffer.drawn);
    if (buffer.fbo) gl->glDeleteFramebuffers(1, &buffer.fbo);
    if (buffer.texture) gl->glDeleteTextures(1, &buffer.texture);
    buffer = Buffer();
}

bool GlRenderLoop::ensure(Buffer& buffer, QSize size) {
    if (buffer.fbo && buffer.size == size) return true;
    release(buffer);
    QOpenGLExtraFunctions* gl = m_gl->extraFunctions();
    gl->glGenTextures(1, &buffer.texture);
    gl->glBindTexture(GL_TEXTURE_2D, buffer.texture);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size.width(), size.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    gl->glGenFramebuffers(1, &buffer.fbo);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, buffer.fbo);
    gl->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, buffer.texture, 0);
    const bool complete = gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
    buffer.size = size;
    if (!complete) release(buffer);
    return complete;
}

void GlRenderLoop::render(bool skip, QSize size) {
    int dontBlock = 0;
    if (skip || !ensure(m_back, size)) {
        int yes = 1;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_SKIP_RENDERING, &yes},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &dontBlock},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(m_context, params);
        return;
    }
    waitForReaders(m_back);
    QOpenGLExtraFunctions* gl = m_gl->extraFunctions();
    mpv_opengl_fbo target{int(m_back.fbo), size.width(), size.height(), 0};
    // Unflipped, the picture's top is the texture's first line, as the widget's blit expects.
    int upright = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_FLIP_Y, &upright},
        // Frames are shown as soon as they are drawn; libmpv's own clock already timed them.
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &dontBlock},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    m_back.generation = m_generation.load();
    if (mpv_render_context_render(m_context, params) < 0) return;
    if (m_back.drawn) gl->glDeleteSync(m_back.drawn);
    m_back.drawn = nullptr;
    if (m_hasSync) {
        m_back.drawn = gl->glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        gl->glFlush();
    } else {
        gl->glFinish();
    }
    ++m_rendered;
    {
        std::lock_guard<std::mutex> hold(m_frontLock);
        std::swap(m_back, m_front);
        m_hasFront = true;
    }
    if (m_framed) m_framed();
}

void GlRenderLoop::run() {
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_wake.wait(hold, [this] { return m_quit || m_pending || m_redraw; });
        if (m_quit) break;
        const bool redraw = m_redraw;
        m_pending = false;
        m_redraw = false;
        const QSize size = m_size;
        const bool visible = m_visible;
        hold.unlock();

        const bool newFrame = mpv_render_context_update(m_context) & MPV_RENDER_UPDATE_FRAME;
        if (newFrame || redraw) {
            const bool skip = !visible || size.isEmpty();
            // Nothing to draw again while hidden; a new frame is still taken off libmpv's hands.
            if (newFrame || !skip) render(skip, size);
        }
        hold.lock();
    }
    const auto last = m_last;
    hold.unlock();
    if (last) last(m_context);
    else mpv_render_context_free(m_context);
    m_context = nullptr;
    {
        std::lock_guard<std::mutex> front(m_frontLock);
        m_hasFront = false;
    }
    release(m_back);
    release(m_front);
    m_gl->doneCurrent();
    delete m_gl;
    m_gl = nullptr;
}

} // namespace platform::mpv
