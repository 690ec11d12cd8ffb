#pragma once
#include <QWindow>
#include <functional>

namespace platform::mpv {

// The native child window a render thread draws into (with OpenGL, or from shared memory). It takes no input: X hands the
// pointer to the player's window beneath, and keys go to the player, which has the focus.
class VideoWindow : public QWindow {
    Q_OBJECT
public:
    // `surfaceChanged(false)` runs before the native surface goes, `(true)` once a new one is up;
    // `exposed` when the window must be drawn again. Both on the GUI thread.
    VideoWindow(std::function<void(bool)> surfaceChanged, std::function<void()> exposed,
                QSurface::SurfaceType type = QSurface::OpenGLSurface);

protected:
    bool event(QEvent* event) override;
    void exposeEvent(QExposeEvent* event) override;

private:
    std::function<void(bool)> m_surfaceChanged;
    std::function<void()> m_exposed;
};

} // namespace platform::mpv
