#include "platform/mpv/GlView.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLTextureBlitter>
#include "platform/mpv/GlRenderLoop.h"

namespace platform::mpv {

GlView::GlView(QWidget* player, GlRenderLoop* loop) : QOpenGLWidget(player), m_loop(loop) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    // The texture covers every pixel: nothing behind needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

GlView::~GlView() {
    // QOpenGLWidget's own destructor destroys the context after this one has run.
    if (context()) disconnect(context(), nullptr, this, nullptr);
    // The blitter's program and buffers belong to this widget's context, which must be current.
    if (m_blitter) {
        makeCurrent();
        releaseGL();
        doneCurrent();
    }
}

void GlView::releaseGL() { m_blitter.reset(); }

void GlView::initializeGL() {
    m_blitter = std::make_unique<QOpenGLTextureBlitter>();
    if (!m_blitter->create()) m_blitter.reset();
    // The context goes before the widget when its window is destroyed (a new one brings a new call here).
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        releaseGL();
        doneCurrent();
    });
}

void GlView::paintGL() {
    QOpenGLFunctions* gl = context()->functions();
    const QRect viewport(QPoint(0, 0), size() * devicePixelRatioF());
    gl->glViewport(0, 0, viewport.width(), viewport.height());
    const bool drawn = m_blitter && m_loop->withFront([&](unsigned texture, QSize) {
        m_blitter->bind();
        m_blitter->blit(texture, QOpenGLTextureBlitter::targetTransform(QRectF(viewport), viewport),
                        QOpenGLTextureBlitter::OriginTopLeft);
        m_blitter->release();
    });
    if (drawn) {
        ++m_shown;
        return;
    }
    // Between a clear and the widget being hidden: black, as a video's first moments are.
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
}

} // namespace platform::mpv
