#pragma once
#include <QPointer>
#include "platform/Platform.h"

class QWindow;
struct xcb_connection_t;

namespace platform {

// The preview host on X11: the desktop's settings dialog passes the id of a window; the picture
// becomes a child X window of it.
class X11PreviewHost : public PreviewHost {
public:
    X11PreviewHost() = default;
    X11PreviewHost(const X11PreviewHost&) = delete;
    X11PreviewHost& operator=(const X11PreviewHost&) = delete;
    ~X11PreviewHost() override;

    bool isWindow(int64_t window) override;
    WindowRect clientRect(int64_t window) override;
    void embed(QWidget* picture, int64_t host) override;
    int64_t rootWindow() override;
    std::optional<QPoint> originOnRoot(int64_t window) override;
    void giveBack(QWidget* picture, QWidget* form) override;

private:
    xcb_connection_t* connection();
    void dropHost();

    xcb_connection_t* m_own = nullptr; // only when Qt itself does not run on X11
    QPointer<QWindow> m_host;
    int64_t m_hostId = 0;
};

} // namespace platform
