#include "ScreenTest.h"
#include "support/TestFiles.h"
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <xcb/xcb.h>

using e2e::ProgramRun;
using e2e::X11Session;

namespace {

const QRect kHost(100, 100, 300, 200);
// A colour the preview picture does not have, so uncovered parts of the host show.
constexpr uint32_t kHostBackground = 0xFF00FF;

xcb_connection_t* conn() {
    return X11Session::instance().connection();
}

xcb_atom_t atom(const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(conn(), xcb_intern_atom(conn(), 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(r);
    return a;
}

// Whether the window exists and whether it is on screen.
std::pair<bool, bool> windowState(uint32_t window) {
    xcb_generic_error_t* error = nullptr;
    auto* r = xcb_get_window_attributes_reply(conn(), xcb_get_window_attributes(conn(), window), &error);
    const std::pair<bool, bool> state{r != nullptr, r && r->map_state == XCB_MAP_STATE_VIEWABLE};
    free(r);
    free(error);
    return state;
}
bool exists(uint32_t window) {
    return windowState(window).first;
}
bool viewable(uint32_t window) {
    return windowState(window).second;
}

QRect geometryOf(uint32_t window) {
    xcb_generic_error_t* error = nullptr;
    QRect g;
    if (auto* r = xcb_get_geometry_reply(conn(), xcb_get_geometry(conn(), window), &error)) {
        g = QRect(r->x, r->y, r->width, r->height);
        free(r);
    }
    free(error);
    return g;
}

QList<uint32_t> childrenOf(uint32_t window) {
    QList<uint32_t> out;
    xcb_generic_error_t* error = nullptr;
    if (auto* tree = xcb_query_tree_reply(conn(), xcb_query_tree(conn(), window), &error)) {
        const xcb_window_t* kids = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
            out << kids[i];
        free(tree);
    }
    free(error);
    return out;
}

// A plain window standing in for the desktop's preview area, mapped at kHost.
uint32_t createHost() {
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn())).data;
    const xcb_window_t w = xcb_generate_id(conn());
    const uint32_t values[] = {kHostBackground};
    xcb_create_window(conn(), XCB_COPY_FROM_PARENT, w, screen->root, int16_t(kHost.x()), int16_t(kHost.y()),
                      uint16_t(kHost.width()), uint16_t(kHost.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL, values);
    xcb_map_window(conn(), w);
    xcb_flush(conn());
    return w;
}

// What a window manager sends when the user closes a window; the protocol atom is the request.
void sendProtocol(uint32_t window, const char* protocol) {
    xcb_client_message_event_t ev;
    memset(&ev, 0, sizeof ev);
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = atom("WM_PROTOCOLS");
    ev.data.data32[0] = atom(protocol);
    ev.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(conn(), 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    xcb_flush(conn());
}

template <class Pred> int waitFor(Pred pred, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (pred()) return int(t.elapsed());
        // The step of the polling.
        QThread::msleep(10);
    }
    return -1;
}

double meanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

// One run of the program with its data folder beside it, its standard error kept for the checks.
class PreviewRun {
public:
    PreviewRun() { QFile::link(QStringLiteral(LUMORA_BINARY_DIR "/data"), m_run.programFolder() + "/data"); }
    ~PreviewRun() {
        if (m_process && m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    void start(const QString& sw) {
        m_process = m_run.startAnother(sw);
        m_clock.start();
    }
    // Milliseconds from now until the program ended, or -1.
    int waitForEnd(int timeoutMs) {
        QElapsedTimer t;
        t.start();
        return m_process->waitForFinished(timeoutMs) ? int(t.elapsed()) : -1;
    }
    qint64 sinceStart() const { return m_clock.elapsed(); }
    void writeSettings(const QStringList& lines) { m_run.writeSettings(lines); }
    QProcess& process() { return *m_process; }
    QString errors() { return QString::fromLocal8Bit(m_process->readAllStandardError()); }

private:
    ProgramRun m_run;
    std::unique_ptr<QProcess> m_process;
    QElapsedTimer m_clock;
};

class Preview : public e2e::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(QFile::exists(kPicture)) << "the build makes " << kPicture.toStdString();
    }
    void TearDown() override {
        if (m_host && exists(m_host)) X11Session::instance().destroyWindow(m_host);
    }

    // Starts the preview in a fresh host and waits for the picture in it; the picture's window.
    uint32_t startInHost(PreviewRun& run, bool hex) {
        m_host = createHost();
        EXPECT_GE(waitFor([&] { return viewable(m_host); }, 2000), 0);
        run.start(hex ? QStringLiteral("/p 0x%1").arg(m_host, 0, 16) : QStringLiteral("/p %1").arg(m_host));
        uint32_t picture = 0;
        waitFor(
            [&] {
                const QList<uint32_t> kids = childrenOf(m_host);
                picture = kids.size() == 1 && viewable(kids[0]) ? kids[0] : 0;
                return picture != 0;
            },
            5000);
        return picture;
    }
    // The run ends within a second of what ends it, normally, with exit code 0 and no errors.
    void endsPromptlyAndCleanly(PreviewRun& run) {
        const int ended = run.waitForEnd(3000);
        ASSERT_GE(ended, 0);
        EXPECT_LE(ended, 1000);
        EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process().exitCode(), 0);
        EXPECT_EQ(run.errors(), QString());
    }

    const QString kPicture = QStringLiteral(LUMORA_BINARY_DIR "/data/preview.png");
    uint32_t m_host = 0;
};

} // namespace

TEST_F(Preview, PictureFillsTheHostAndTheProgramEndsWhenTheHostGoes) {
    PreviewRun run;
    const uint32_t picture = startInHost(run, false);
    ASSERT_NE(picture, 0u) << "no picture window inside the host";
    EXPECT_EQ(geometryOf(picture), QRect(QPoint(0, 0), kHost.size()));

    // The screen inside the host shows the preview picture stretched over it.
    auto hostOnScreen = [&] { return X11Session::instance().grabScreen().copy(kHost); };
    ASSERT_GE(waitFor([&] { return hostOnScreen().pixel(150, 100) != (0xFF000000 | kHostBackground); }, 3000),
              0);
    settle();
    const QImage shown = hostOnScreen();
    X11Session::instance().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-preview.png"));
    const QImage expected = QImage(kPicture)
                                .scaled(kHost.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_RGB32);
    EXPECT_LT(meanDifference(shown, expected), 6.0);
    QSet<QRgb> colours;
    int uncovered = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            colours.insert(shown.pixel(x, y));
            if ((shown.pixel(x, y) & 0xFFFFFF) == kHostBackground) ++uncovered;
        }
    EXPECT_GT(colours.size(), 100);
    EXPECT_EQ(uncovered, 0);

    // Still there after several polls of the host: a stretch of time over them.
    QThread::msleep(1000);
    ASSERT_EQ(run.process().state(), QProcess::Running);

    X11Session::instance().destroyWindow(m_host);
    ASSERT_NO_FATAL_FAILURE(endsPromptlyAndCleanly(run));
}

TEST_F(Preview, HexHostIdAndACloseRequestToThePictureEndTheProgram) {
    PreviewRun run;
    const uint32_t picture = startInHost(run, true);
    ASSERT_NE(picture, 0u) << "no picture window inside the host";
    EXPECT_EQ(geometryOf(picture), QRect(QPoint(0, 0), kHost.size()));

    // Another protocol message is not a close request.
    sendProtocol(picture, "WM_TAKE_FOCUS");
    // Two polls of the host, over which the run is to go on.
    QThread::msleep(900);
    ASSERT_EQ(run.process().state(), QProcess::Running);
    EXPECT_EQ(childrenOf(m_host), QList<uint32_t>{picture});

    // The picture leaves the host at once, not destroyed: the program lets it go at its next poll.
    sendProtocol(picture, "WM_DELETE_WINDOW");
    ASSERT_GE(waitFor([&] { return childrenOf(m_host).isEmpty(); }, 1000), 0);
    const bool stillRunning = run.process().state() == QProcess::Running;
    const bool pictureAlive = exists(picture);
    if (stillRunning) {
        EXPECT_TRUE(pictureAlive) << "the close request destroyed the picture";
    }
    ASSERT_NO_FATAL_FAILURE(endsPromptlyAndCleanly(run));
    // The host is the desktop's: it stays, empty again.
    EXPECT_TRUE(exists(m_host));
    EXPECT_TRUE(childrenOf(m_host).isEmpty());
}

TEST_F(Preview, AnIdThatIsNoWindowEndsAtOnce) {
    // An id that was a window a moment ago.
    const uint32_t gone = createHost();
    X11Session::instance().destroyWindow(gone);
    ASSERT_FALSE(exists(gone));

    // What starting and ending the program takes here, without any form: a run that finds another
    // copy running.
    const uint32_t running = X11Session::instance().createWindow(testsupport::kMainForm);
    PreviewRun plain;
    plain.start(QStringLiteral("/s"));
    ASSERT_GE(plain.waitForEnd(5000), 0);
    const qint64 bare = plain.sinceStart();
    X11Session::instance().destroyWindow(running);

    for (const QString& sw : {QStringLiteral("/p 0"), QStringLiteral("/p %1").arg(gone),
                              QStringLiteral("/p 0x%1").arg(gone, 0, 16), QStringLiteral("/p 0xdeadbeef")}) {
        SCOPED_TRACE(sw.toStdString());
        PreviewRun run;
        run.start(sw);
        ASSERT_GE(run.waitForEnd(5000), 0);
        // The first poll of the host, 400 ms in, ends it.
        EXPECT_LE(run.sinceStart(), bare + 800) << "without a form the program took " << bare << " ms";
        EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process().exitCode(), 0);
        EXPECT_EQ(run.errors(), QString());
    }
}
