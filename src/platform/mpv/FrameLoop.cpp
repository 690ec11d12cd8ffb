#include "platform/mpv/FrameLoop.h"

#include <mpv/render.h>

namespace platform::mpv {

void FrameLoop::wake() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_pending = true;
    }
    m_wake.notify_all();
}

void FrameLoop::setTarget(QSize size, qreal ratio, bool visible, bool redraw) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_size = size;
        m_ratio = ratio;
        m_visible = visible;
        m_redraw = m_redraw || redraw;
    }
    m_wake.notify_all();
}

void FrameLoop::quit() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
    }
    m_wake.notify_all();
}

void FrameLoop::skipFrame(mpv_render_context* context) {
    int yes = 1;
    int dontBlock = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SKIP_RENDERING, &yes},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &dontBlock},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(context, params);
}

void FrameLoop::runFrames(mpv_render_context* context, const std::function<void(bool, QSize, qreal)>& draw) {
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_wake.wait(hold, [this] { return m_quit || m_pending || m_redraw; });
        if (m_quit) return;
        const bool redraw = m_redraw;
        m_pending = false;
        m_redraw = false;
        const QSize size = m_size;
        const qreal ratio = m_ratio;
        const bool visible = m_visible;
        hold.unlock();

        const bool newFrame = mpv_render_context_update(context) & MPV_RENDER_UPDATE_FRAME;
        if (newFrame || redraw) {
            const bool skip = !visible || size.isEmpty();
            if (newFrame || !skip) draw(skip, size, ratio);
        }
        hold.lock();
    }
}

} // namespace platform::mpv
