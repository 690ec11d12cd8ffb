#include "platform/MediaPlayer.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include "base/RuntimeError.h"

namespace platform {

MediaPlayer::MediaPlayer(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("WindowsMediaPlayer1"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void MediaPlayer::invoke(const QString& method) {
    if (method.compare(QStringLiteral("stop"), Qt::CaseInsensitive) == 0) return stop();
    if (method.compare(QStringLiteral("play"), Qt::CaseInsensitive) == 0) return play();
    if (method.compare(QStringLiteral("close"), Qt::CaseInsensitive) == 0) return closeMedia();
    throw runtime::RuntimeError(runtime::ErrorKind::Failed,
                                QStringLiteral("Object doesn't support this property or method"));
}

int keyAsciiOf(const QKeyEvent* event) {
    const QString text = event->text();
    return text.isEmpty() ? 0 : text.at(0).unicode();
}

int buttonCodeOf(Qt::MouseButtons buttons) {
    int code = 0;
    if (buttons & Qt::LeftButton) code |= 1;
    if (buttons & Qt::RightButton) code |= 2;
    if (buttons & Qt::MiddleButton) code |= 4;
    return code;
}

int shiftCodeOf(Qt::KeyboardModifiers modifiers) {
    int code = 0;
    if (modifiers & Qt::ShiftModifier) code |= 1;
    if (modifiers & Qt::ControlModifier) code |= 2;
    if (modifiers & Qt::AltModifier) code |= 4;
    return code;
}

void MediaPlayer::mousePressEvent(QMouseEvent* event) {
    m_pressed = true;
    const QPoint p = event->position().toPoint();
    emit MouseDown(buttonCodeOf(event->button()), shiftCodeOf(event->modifiers()), p.x(), p.y());
}

// Any button clicks, not only the left one: every button ends the screen saver.
void MediaPlayer::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click) emit Click();
}

// A turn of the wheel counts as a click.
void MediaPlayer::wheelEvent(QWheelEvent* event) {
    event->accept();
    emit Click();
}

void MediaPlayer::mouseMoveEvent(QMouseEvent* event) {
    // A floating player moves on between the server's report and this: the position is taken from
    // where the pointer is on the desktop, against where the player is now.
    const QPoint p = mapFromGlobal(event->globalPosition()).toPoint();
    emit MouseMove(buttonCodeOf(event->buttons()), shiftCodeOf(event->modifiers()), p.x(), p.y());
}

void MediaPlayer::keyPressEvent(QKeyEvent* event) {
    emit KeyPress(keyAsciiOf(event));
    event->accept();
}

void MediaPlayer::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

} // namespace platform
