#include "platform/mpv/RenderLoop.h"

#include <cstdlib>
#include <mpv/render.h>

namespace platform::mpv {

namespace {
// The software renderer takes its fastest path with 64-byte aligned lines.
constexpr size_t kLineAlignment = 64;
} // namespace

void RenderLoop::Buffer::ensure(QSize size, qreal ratio) {
    if (image.size() == size && pixels) {
        image.setDevicePixelRatio(ratio);
        return;
    }
    const size_t stride = (size_t(size.width()) * 4 + kLineAlignment - 1) / kLineAlignment * kLineAlignment;
    image = QImage();
    pixels = std::unique_ptr<uchar, void (*)(void*)>(
        static_cast<uchar*>(std::aligned_alloc(kLineAlignment, stride * size_t(size.height()))), &std::free);
    if (!pixels) return;
    image = QImage(pixels.get(), size.width(), size.height(), qsizetype(stride), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
}

RenderLoop::RenderLoop(mpv_render_context* context, std::function<void()> framed)
    : m_context(context), m_framed(std::move(framed)) {
    m_thread = std::thread([this] {
        lowerThisThreadsPriority();
        run();
    });
}

RenderLoop::~RenderLoop() { stop(); }

void RenderLoop::wake() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_pending = true;
    }
    m_wake.notify_one();
}

void RenderLoop::setTarget(QSize size, qreal ratio, bool visible, bool redraw) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_size = size;
        m_ratio = ratio;
        m_visible = visible;
        m_redraw = m_redraw || redraw;
    }
    m_wake.notify_one();
}

void RenderLoop::stop() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) m_thread.join();
}

void RenderLoop::finish(const std::function<void(mpv_render_context*)>& last) {
    stop();
    if (last) last(m_context);
}

bool RenderLoop::withFront(const std::function<void(const QImage&)>& paint) {
    std::lock_guard<std::mutex> hold(m_frontLock);
    if (!m_hasFront || m_front.generation != m_generation.load() || m_front.image.isNull()) return false;
    paint(m_front.image);
    return true;
}

uint64_t RenderLoop::frontGeneration() {
    std::lock_guard<std::mutex> hold(m_frontLock);
    return m_hasFront ? m_front.generation : 0;
}

void RenderLoop::renderInto(Buffer& buffer, bool skip) {
    int dontBlock = 0;
    if (skip) {
        int yes = 1;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_SKIP_RENDERING, &yes},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &dontBlock},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(m_context, params);
        return;
    }
    int surface[2] = {buffer.image.width(), buffer.image.height()};
    size_t stride = size_t(buffer.image.bytesPerLine());
    char format[] = "bgr0";
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, surface},
        {MPV_RENDER_PARAM_SW_FORMAT, format},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, buffer.pixels.get()},
        // Frames are shown as soon as they are drawn; libmpv's own clock already timed them.
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &dontBlock},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    buffer.generation = m_generation.load();
    if (mpv_render_context_render(m_context, params) < 0) return;
    ++m_rendered;
    {
        std::lock_guard<std::mutex> hold(m_frontLock);
        std::swap(m_back, m_front);
        m_hasFront = true;
    }
    if (m_framed) m_framed();
}

void RenderLoop::run() {
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

        const bool newFrame = mpv_render_context_update(m_context) & MPV_RENDER_UPDATE_FRAME;
        if (newFrame || redraw) {
            const bool skip = !visible || size.isEmpty();
            // Nothing to draw again while hidden; a new frame is still taken off libmpv's hands.
            if (!skip) m_back.ensure(size, ratio);
            if (newFrame || !skip) renderInto(m_back, skip || m_back.image.isNull());
        }
        hold.lock();
    }
}

} // namespace platform::mpv
