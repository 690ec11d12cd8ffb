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

void RenderLoop::stop() {
    quit();
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
    if (skip) return skipFrame(m_context);
    int dontBlock = 0;
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
    // libmpv leaves the padding byte 0, and Qt takes that byte of an RGB32 image as it is: painted
    // on a surface with an alpha channel (Wayland's), the frame would be see-through.
    for (int y = 0; y < buffer.image.height(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(buffer.pixels.get() + size_t(y) * stride);
        for (int x = 0; x < buffer.image.width(); ++x) line[x] |= 0xFF000000u;
    }
    ++m_rendered;
    {
        std::lock_guard<std::mutex> hold(m_frontLock);
        std::swap(m_back, m_front);
        m_hasFront = true;
    }
    if (m_framed) m_framed();
}

void RenderLoop::run() {
    runFrames(m_context, [this](bool skip, QSize size, qreal ratio) {
        if (!skip) m_back.ensure(size, ratio);
        renderInto(m_back, skip || m_back.image.isNull());
    });
}

} // namespace platform::mpv
