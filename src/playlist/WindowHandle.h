#pragma once
#include <QObject>
#include <QPoint>

class QWidget;

// Lets a control move its frameless window: pressing the left button on it and dragging moves the
// window, through the window manager where there is one.
class WindowHandle : public QObject {
public:
    explicit WindowHandle(QWidget* handle);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_handle;
    QPoint m_offset;
    bool m_dragging = false;
};
