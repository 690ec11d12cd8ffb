#include "platform/mpv/MpvMirror.h"

#include "platform/mpv/MpvPlayer.h"
#include "platform/mpv/VideoWindow.h"
#include <QPainter>

namespace platform::mpv {

MpvMirror::MpvMirror(MpvPlayer* source, QWidget* parent) : MediaPlayer(parent), m_source(source) {
    if (source->picturesInWindows()) {
        m_window = new VideoWindow(
            [this](bool created) {
                // Before the surface goes, the source stops drawing on it.
                m_windowValid = created;
                changed();
            },
            [this] { changed(); }, source->usesOpenGL() ? QSurface::OpenGLSurface : QSurface::RasterSurface);
        if (source->usesOpenGL()) {
            // Drawn right after the source's own window: a second wait for the screen's refresh
            // would halve the frames.
            QSurfaceFormat format = m_window->requestedFormat();
            format.setSwapInterval(0);
            m_window->setFormat(format);
        }
        m_container = QWidget::createWindowContainer(m_window, this);
        m_container->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_container->setFocusPolicy(Qt::NoFocus);
        m_container->setGeometry(rect());
        m_container->hide();
        m_window->create();
        m_windowValid = m_window->handle() != nullptr;
    }
    source->addMirror(this);
}

MpvMirror::~MpvMirror() {
    // The source stops putting frames here before the window goes.
    m_windowValid = false;
    if (m_source) m_source->removeMirror(this);
    delete m_container;
}

QString MpvMirror::URL() const {
    return m_source ? m_source->URL() : QString();
}
int MpvMirror::playState() const {
    return m_source ? m_source->playState() : int(Stopped);
}

QWindow* MpvMirror::targetWindow() const {
    if (!m_window || !m_windowValid || !isVisible() || !m_shown) return nullptr;
    return m_window;
}

QSize MpvMirror::targetSize() const {
    return (QSizeF(size()) * devicePixelRatioF()).toSize();
}

void MpvMirror::showPicture(bool shown) {
    const bool was = m_shown;
    m_shown = shown;
    if (m_container) {
        if (shown != was) {
            m_container->setVisible(shown);
            changed();
        }
        return;
    }
    setAttribute(Qt::WA_OpaquePaintEvent, shown);
    update();
}

void MpvMirror::changed() {
    if (m_source) m_source->mirrorsChanged();
}

void MpvMirror::paintEvent(QPaintEvent*) {
    // Drawing in software, the source's newest image scaled to this control; with no picture the
    // form behind shows through, as behind the source.
    if (!m_source || !m_shown || m_container) return;
    QPainter painter(this);
    m_source->paintFrontInto(painter, QRectF(rect()));
}

bool MpvMirror::event(QEvent* event) {
    const bool handled = MediaPlayer::event(event);
    switch (event->type()) {
    case QEvent::Resize:
        if (m_container) m_container->setGeometry(rect());
        changed();
        break;
    case QEvent::Show:
    case QEvent::Hide:
        changed();
        break;
    default:
        break;
    }
    return handled;
}

} // namespace platform::mpv
