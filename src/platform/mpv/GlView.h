#pragma once
#include <QOpenGLWidget>
#include <memory>

class QOpenGLTextureBlitter;

namespace platform::mpv {

class GlRenderLoop;

// Shows the render thread's newest texture over the whole of its parent player, stretched as the
// software surface stretches its images. It takes no input: mouse, wheel and keys go to the player.
class GlView : public QOpenGLWidget {
    Q_OBJECT
public:
    GlView(QWidget* player, GlRenderLoop* loop);
    ~GlView() override;
    // Frames blitted onto the screen since creation.
    int shownFrames() const { return m_shown; }

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void releaseGL();

    GlRenderLoop* m_loop;
    std::unique_ptr<QOpenGLTextureBlitter> m_blitter;
    int m_shown = 0;
};

} // namespace platform::mpv
