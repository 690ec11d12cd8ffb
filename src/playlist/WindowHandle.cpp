#include "playlist/WindowHandle.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

WindowHandle::WindowHandle(QWidget* handle) : QObject(handle), m_handle(handle) {
    handle->setCursor(Qt::SizeAllCursor);
    handle->installEventFilter(this);
}

bool WindowHandle::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_handle) return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    const auto* me = static_cast<QMouseEvent*>(event);
    QWidget* window = m_handle->window();
    if (type == QEvent::MouseButtonPress) {
        if (me->button() != Qt::LeftButton) return false;
        if (window->windowHandle() && window->windowHandle()->startSystemMove()) return true;
        // No window manager to ask: the window follows the pointer.
        m_dragging = true;
        m_offset = me->globalPosition().toPoint() - window->frameGeometry().topLeft();
        return true;
    }
    if (type == QEvent::MouseMove) {
        if (m_dragging) window->move(me->globalPosition().toPoint() - m_offset);
        return m_dragging;
    }
    if (me->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        return true;
    }
    return false;
}
