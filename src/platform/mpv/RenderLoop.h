#pragma once
#include <QImage>
#include <QSize>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include "platform/mpv/FrameLoop.h"

struct mpv_render_context;

namespace platform::mpv {

// libmpv's software renderer on a thread of its own, drawing into one of two images: the thread
// renders into the back image while the user-interface thread paints the front one, and a finished
// frame only swaps the two. So the user-interface thread never waits for libmpv's decoder.
class RenderLoop : public FrameLoop {
public:
    // `framed` runs on the render thread after each new front image (post it to the GUI thread).
    RenderLoop(mpv_render_context* context, std::function<void()> framed);
    ~RenderLoop() override;
    RenderLoop(const RenderLoop&) = delete;
    RenderLoop& operator=(const RenderLoop&) = delete;

    // Ends the thread; libmpv's render context may then be used by the caller alone.
    void stop();
    // Stops, then runs `last` on the calling thread.
    void finish(const std::function<void(mpv_render_context*)>& last) override;

    // The newest finished frame, held while `paint` runs; false with no frame (or one of an earlier
    // generation) to paint.
    bool withFront(const std::function<void(const QImage&)>& paint) override;
    uint64_t frontGeneration() override;

private:
    struct Buffer {
        std::unique_ptr<uchar, void (*)(void*)> pixels{nullptr, nullptr};
        QImage image;
        uint64_t generation = 0;
        void ensure(QSize size, qreal ratio);
    };
    void run();
    void renderInto(Buffer& buffer, bool skip);

    mpv_render_context* m_context;
    std::function<void()> m_framed;
    Buffer m_back;  // the render thread's alone
    std::mutex m_frontLock;
    Buffer m_front; // swapped under m_frontLock
    bool m_hasFront = false;
    std::thread m_thread;
};

} // namespace platform::mpv
