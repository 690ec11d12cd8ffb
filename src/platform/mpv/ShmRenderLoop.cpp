#include "platform/mpv/ShmRenderLoop.h"

#include <QWindow>
#include <cstdlib>
#include <mpv/render.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

namespace platform::mpv {

namespace {
// The software renderer takes its fastest path with 64-byte aligned lines; X takes any line length
// that is a whole number of pixels.
constexpr size_t kLineAlignment = 64;

// A round trip: once it returns, the server has done everything asked before it, so a picture put
// from shared memory has been read and the memory may be drawn on again.
void sync(xcb_connection_t* conn) {
    free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    // Errors (a window gone before the GUI thread said so) arrive as events nobody else reads.
    while (xcb_generic_event_t* e = xcb_poll_for_event(conn)) free(e);
}

// The pixels of the screen the connection opened on, as its root visual and pixmap formats say.
ServerPixels screenPixels(xcb_connection_t* conn, int screenNumber) {
    ServerPixels pixels;
    const xcb_setup_t* setup = xcb_get_setup(conn);
    pixels.mostSignificantByteFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem <= 0) return pixels;
    const xcb_screen_t* screen = screens.data;
    pixels.depth = screen->root_depth;
    const xcb_format_t* formats = xcb_setup_pixmap_formats(setup);
    for (int i = 0; i < xcb_setup_pixmap_formats_length(setup); ++i)
        if (formats[i].depth == pixels.depth) pixels.bitsPerPixel = formats[i].bits_per_pixel;
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0; xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0; xcb_visualtype_next(&visuals)) {
            const xcb_visualtype_t* visual = visuals.data;
            if (visual->visual_id != screen->root_visual) continue;
            pixels.trueColour = visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR;
            pixels.redMask = visual->red_mask;
            pixels.greenMask = visual->green_mask;
            pixels.blueMask = visual->blue_mask;
        }
    }
    return pixels;
}
} // namespace

QByteArray sharedMemoryFormat(const ServerPixels& pixels, QString* why) {
    auto fail = [&](const QString& reason) {
        if (why) *why = reason;
        return QByteArray();
    };
    if (pixels.depth != 24 && pixels.depth != 32)
        return fail(QStringLiteral("the X server's screen has depth %1, not 24 or 32").arg(pixels.depth));
    if (pixels.bitsPerPixel != 32)
        return fail(QStringLiteral("the X server keeps %1 bits a pixel, not 32").arg(pixels.bitsPerPixel));
    if (!pixels.trueColour) return fail(QStringLiteral("the X server's screen is not true colour"));
    // The pixel as a 32-bit number in the server's byte order, read byte by byte as libmpv names them.
    const bool redHigh = pixels.redMask == 0xff0000 && pixels.greenMask == 0xff00 && pixels.blueMask == 0xff;
    const bool redLow = pixels.redMask == 0xff && pixels.greenMask == 0xff00 && pixels.blueMask == 0xff0000;
    if (redHigh) return pixels.mostSignificantByteFirst ? QByteArrayLiteral("0rgb") : QByteArrayLiteral("bgr0");
    if (redLow) return pixels.mostSignificantByteFirst ? QByteArrayLiteral("0bgr") : QByteArrayLiteral("rgb0");
    return fail(QStringLiteral("the X server's colour masks are %1, %2 and %3")
                    .arg(QStringLiteral("0x") + QString::number(pixels.redMask, 16),
                         QStringLiteral("0x") + QString::number(pixels.greenMask, 16),
                         QStringLiteral("0x") + QString::number(pixels.blueMask, 16)));
}

ShmRenderLoop::ShmRenderLoop(mpv_render_context* context, std::function<void()> framed)
    : m_context(context), m_framed(std::move(framed)) {}

ShmRenderLoop::~ShmRenderLoop() {
    finish(nullptr);
    if (m_conn) {
        releaseSegment(m_segment);
        for (Segment& segment : m_mirrorSegments) releaseSegment(segment);
        xcb_disconnect(m_conn);
    }
}

bool ShmRenderLoop::start(const QByteArray& display, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        if (m_conn) xcb_disconnect(m_conn);
        m_conn = nullptr;
        return false;
    };
    int screenNumber = 0;
    m_conn = xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber);
    if (!m_conn || xcb_connection_has_error(m_conn)) return fail(QStringLiteral("no connection to the X server"));
    // Pixels put in another layout would show wrong colours, or not at all.
    QString why;
    const QByteArray format = sharedMemoryFormat(screenPixels(m_conn, screenNumber), &why);
    if (format.isEmpty()) return fail(why);
    qstrncpy(m_format, format.constData(), sizeof m_format);
    auto* version = xcb_shm_query_version_reply(m_conn, xcb_shm_query_version(m_conn), nullptr);
    if (!version) return fail(QStringLiteral("the X server has no shared memory extension"));
    free(version);
    // A remote server answers the query but cannot reach this machine's memory: try it once.
    if (!ensureSegment(m_segment, QSize(16, 16))) return fail(QStringLiteral("the X server cannot share memory with us"));
    m_thread = std::thread([this] {
        lowerThisThreadsPriority();
        run();
    });
    return true;
}

bool ShmRenderLoop::ensureSegment(Segment& segment, QSize size) {
    if (segment.data && segment.size == size) return true;
    releaseSegment(segment);
    const size_t stride = (size_t(size.width()) * 4 + kLineAlignment - 1) / kLineAlignment * kLineAlignment;
    const int id = shmget(IPC_PRIVATE, stride * size_t(size.height()), IPC_CREAT | 0600);
    if (id < 0) return false;
    void* data = shmat(id, nullptr, 0);
    if (data == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    const uint32_t xid = xcb_generate_id(m_conn);
    xcb_generic_error_t* err = xcb_request_check(m_conn, xcb_shm_attach_checked(m_conn, xid, uint32_t(id), 1));
    // Marked for removal now: the memory goes once both sides have let go, even if we crash.
    shmctl(id, IPC_RMID, nullptr);
    if (err) {
        free(err);
        shmdt(data);
        return false;
    }
    segment = {id, xid, static_cast<unsigned char*>(data), size, stride};
    return true;
}

void ShmRenderLoop::releaseSegment(Segment& segment) {
    if (!segment.data) return;
    xcb_shm_detach(m_conn, segment.xid);
    sync(m_conn);
    shmdt(segment.data);
    segment = Segment{};
}

void ShmRenderLoop::setWindow(QWindow* window) {
    setWindowId(window ? uint32_t(window->winId()) : 0);
}

void ShmRenderLoop::setMirrors(std::vector<MirrorTarget> mirrors) {
    std::vector<Mirror> ids;
    for (const MirrorTarget& mirror : mirrors)
        if (mirror.window) ids.push_back({uint32_t(mirror.window->winId()), mirror.size});
    setMirrorIds(std::move(ids));
}

void ShmRenderLoop::setWindowId(uint32_t window) {
    std::lock_guard<std::mutex> hold(m_windowLock);
    m_window = window;
}

void ShmRenderLoop::setMirrorIds(std::vector<Mirror> mirrors) {
    std::lock_guard<std::mutex> hold(m_windowLock);
    m_mirrors = std::move(mirrors);
}

void ShmRenderLoop::finish(const std::function<void(mpv_render_context*)>& last) {
    quit();
    if (m_thread.joinable()) m_thread.join();
    if (last) last(m_context);
}

bool ShmRenderLoop::draw(Segment& segment, QSize size) {
    int dontBlock = 0;
    int surface[2] = {size.width(), size.height()};
    size_t stride = segment.stride;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, surface},
        {MPV_RENDER_PARAM_SW_FORMAT, m_format},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, segment.data},
        // Frames are shown as soon as they are drawn; libmpv's own clock already timed them.
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &dontBlock},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return mpv_render_context_render(m_context, params) >= 0;
}

void ShmRenderLoop::render(bool skip, QSize size) {
    if (skip || !ensureSegment(m_segment, size)) return skipFrame(m_context);
    const uint64_t generation = m_generation.load();
    if (!draw(m_segment, size)) return;
    {
        std::lock_guard<std::mutex> hold(m_windowLock);
        if (m_window) put(m_window, m_segment, size);
        // Mirrors of the main window's size take the picture as it is: one frame decoded and drawn
        // once, shown on every monitor. Another size has the current frame drawn again at its size.
        size_t others = 0;
        for (const Mirror& mirror : m_mirrors) {
            if (!mirror.window || mirror.size.isEmpty()) continue;
            if (mirror.size == size) {
                put(mirror.window, m_segment, size);
                continue;
            }
            Segment* segment = nullptr;
            for (size_t i = 0; i < others && !segment; ++i)
                if (m_mirrorSegments[i].size == mirror.size) segment = &m_mirrorSegments[i];
            if (!segment) {
                if (m_mirrorSegments.size() <= others) m_mirrorSegments.emplace_back();
                segment = &m_mirrorSegments[others++];
                if (!ensureSegment(*segment, mirror.size) || !draw(*segment, mirror.size)) continue;
            }
            put(mirror.window, *segment, mirror.size);
        }
        // Sizes no longer shown give their memory back.
        while (m_mirrorSegments.size() > others) {
            releaseSegment(m_mirrorSegments.back());
            m_mirrorSegments.pop_back();
        }
        // Waited for here, on this thread, so the next frame is not drawn into memory still being read.
        sync(m_conn);
    }
    ++m_rendered;
    m_presented = generation;
    if (m_framed) m_framed();
}

void ShmRenderLoop::put(uint32_t window, const Segment& segment, QSize size) {
    // One graphics context serves every window: they share the root window and the depth.
    if (m_gcWindow != m_window || !m_gc) {
        if (m_gc) xcb_free_gc(m_conn, m_gc);
        m_gc = xcb_generate_id(m_conn);
        xcb_create_gc(m_conn, m_gc, window, 0, nullptr);
        if (auto* g = xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, window), nullptr)) {
            m_depth = g->depth;
            free(g);
        }
        m_gcWindow = m_window;
    }
    xcb_shm_put_image(m_conn, window, m_gc, uint16_t(segment.stride / 4), uint16_t(size.height()), 0, 0,
                      uint16_t(size.width()), uint16_t(size.height()), 0, 0, m_depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0,
                      segment.xid, 0);
}

void ShmRenderLoop::run() {
    runFrames(m_context, [this](bool skip, QSize size, qreal) { render(skip, size); });
    if (m_gc) xcb_free_gc(m_conn, m_gc);
    m_gc = 0;
    m_gcWindow = 0;
    xcb_flush(m_conn);
}

} // namespace platform::mpv
