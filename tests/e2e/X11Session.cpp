#include "X11Session.h"

#include <algorithm>

#include "support/TestFiles.h"
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>
#include <xcb/xproto.h>

namespace e2e {

X11Session& X11Session::instance() {
    static X11Session session;
    return session;
}

static QString runTool(const QString& display, const QString& tool, const QStringList& args);

static std::unique_ptr<QProcess> startXvfb(QString* display, int depth = 24) {
    // Displays a server of another run or another test may hold are passed over.
    for (int n = 150; n < 200 && display->isEmpty(); ++n)
        if (!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
            !QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            *display = QStringLiteral(":%1").arg(n);
    auto xvfb = std::make_unique<QProcess>();
    xvfb->start(QStringLiteral("Xvfb"), {*display, QStringLiteral("-screen"), QStringLiteral("0"),
                                         QStringLiteral("1280x1024x%1").arg(depth), QStringLiteral("-nolisten"),
                                         QStringLiteral("tcp")});
    xvfb->waitForStarted();
    return xvfb;
}

X11Session::X11Session() {
    m_display = qEnvironmentVariable("LUMORA_E2E_DISPLAY");
    if (m_display.isEmpty()) m_xvfb = startXvfb(&m_display);
    connectToDisplay();
}

std::unique_ptr<X11Session> X11Session::ownServer(int depth) {
    QString display;
    std::unique_ptr<QProcess> xvfb = startXvfb(&display, depth);
    auto session = std::make_unique<X11Session>(display);
    session->m_xvfb = std::move(xvfb);
    return session;
}

X11Session::X11Session(const QString& display) : m_display(display) { connectToDisplay(); }

void X11Session::connectToDisplay() {
    QElapsedTimer t;
    t.start();
    const QByteArray name = m_display.toLatin1();
    while (t.elapsed() < 5000) {
        m_conn = xcb_connect(name.constData(), nullptr);
        if (m_conn && !xcb_connection_has_error(m_conn)) break;
        if (m_conn) xcb_disconnect(m_conn);
        m_conn = nullptr;
        // The step of the retries, for at most five seconds.
        QThread::msleep(100);
    }
}

X11Session::~X11Session() {
    // On a server of the session's own, the server goes first and its programs end with their
    // connection, each the way it ends normally (dbus-run-session then takes its bus along).
    if (m_xvfb && !m_programs.empty()) {
        if (m_conn) xcb_disconnect(m_conn);
        m_conn = nullptr;
        m_xvfb->terminate();
        m_xvfb->waitForFinished(2000);
    }
    for (auto& p : m_programs) {
        if (p->state() == QProcess::NotRunning || (m_xvfb && p->waitForFinished(2000))) continue;
        p->terminate();
        if (!p->waitForFinished(2000)) p->kill();
        p->waitForFinished(1000);
    }
    if (m_conn) xcb_disconnect(m_conn);
    if (m_xvfb) {
        m_xvfb->terminate();
        m_xvfb->waitForFinished(2000);
    }
}

static xcb_screen_t* screenOf(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data; }

static QString windowName(xcb_connection_t* c, xcb_window_t w) {
    auto ask = [&](xcb_atom_t prop) {
        xcb_get_property_reply_t* r =
            xcb_get_property_reply(c, xcb_get_property(c, 0, w, prop, XCB_ATOM_ANY, 0, 1024), nullptr);
        QString s;
        if (r && r->format == 8)
            s = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
        free(r);
        return s;
    };
    const char* netName = "_NET_WM_NAME";
    xcb_intern_atom_reply_t* a = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(netName), netName), nullptr);
    QString s = a ? ask(a->atom) : QString();
    free(a);
    return s.isEmpty() ? ask(XCB_ATOM_WM_NAME) : s;
}

// The first window with a name below `window`, searched `depth` levels down; 0 when none.
static xcb_window_t namedDescendant(xcb_connection_t* c, xcb_window_t window, int depth) {
    if (depth == 0) return 0;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
    if (!tree) return 0;
    const xcb_window_t* kids = xcb_query_tree_children(tree);
    xcb_window_t found = 0;
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i)
        found = !windowName(c, kids[i]).isEmpty() ? kids[i] : namedDescendant(c, kids[i], depth - 1);
    free(tree);
    return found;
}

QList<TopWindow> X11Session::topWindows() {
    QList<TopWindow> out;
    if (!m_conn) return out;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(m_conn, xcb_query_tree(m_conn, screenOf(m_conn)->root), nullptr);
    if (!tree) return out;
    const xcb_window_t* kids = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
        TopWindow w{kids[i], windowName(m_conn, kids[i]), QRect(), false};
        if (auto* g = xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, kids[i]), nullptr)) {
            w.geometry = QRect(g->x, g->y, g->width, g->height);
            free(g);
        }
        // A window manager's frame carries no name: the program's window sits inside it, and its
        // caption and place are that window's.
        if (w.name.isEmpty()) {
            const xcb_window_t client = namedDescendant(m_conn, kids[i], 3);
            if (client) {
                w.name = windowName(m_conn, client);
                auto* g = xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, client), nullptr);
                auto* at = xcb_translate_coordinates_reply(
                    m_conn, xcb_translate_coordinates(m_conn, client, screenOf(m_conn)->root, 0, 0), nullptr);
                if (g && at) w.geometry = QRect(at->dst_x, at->dst_y, g->width, g->height);
                free(g);
                free(at);
            }
        }
        if (auto* at = xcb_get_window_attributes_reply(m_conn, xcb_get_window_attributes(m_conn, kids[i]), nullptr)) {
            w.mapped = at->map_state == XCB_MAP_STATE_VIEWABLE;
            free(at);
        }
        out << w;
    }
    free(tree);
    return out;
}

QList<TopWindow> X11Session::mappedWindowsNamed(const QString& name) {
    QList<TopWindow> out;
    for (const TopWindow& w : topWindows())
        if (w.mapped && w.name == name) out << w;
    return out;
}

QImage X11Session::grabScreen() {
    if (!m_conn) return QImage();
    xcb_screen_t* s = screenOf(m_conn);
    // The root's size now: xrandr may have changed it since the connection was made.
    uint16_t width = s->width_in_pixels, height = s->height_in_pixels;
    if (auto* g = xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, s->root), nullptr)) {
        width = g->width;
        height = g->height;
        free(g);
    }
    xcb_get_image_reply_t* r = xcb_get_image_reply(
        m_conn, xcb_get_image(m_conn, XCB_IMAGE_FORMAT_Z_PIXMAP, s->root, 0, 0, width, height, ~0u), nullptr);
    if (!r) return QImage();
    // A screen of 16-bit pixels keeps them as 5, 6 and 5 bits of red, green and blue.
    const QImage::Format format = r->depth == 16 ? QImage::Format_RGB16 : QImage::Format_RGB32;
    const qsizetype stride = height ? qsizetype(xcb_get_image_data_length(r)) / height : 0;
    QImage img(xcb_get_image_data(r), width, height, stride, format);
    QImage copy = format == QImage::Format_RGB32 ? img.copy() : img.convertToFormat(QImage::Format_RGB32);
    free(r);
    return copy;
}

bool X11Session::pointerVisible() {
    if (!m_conn) return true;
    free(xcb_xfixes_query_version_reply(m_conn, xcb_xfixes_query_version(m_conn, 4, 0), nullptr));
    auto* r = xcb_xfixes_get_cursor_image_reply(m_conn, xcb_xfixes_get_cursor_image(m_conn), nullptr);
    if (!r) return true;
    const uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(r);
    bool visible = false;
    for (int i = 0; i < r->width * r->height && !visible; ++i) visible = (pixels[i] >> 24) != 0;
    free(r);
    return visible;
}

QRgb X11Session::pixel(int x, int y) {
    if (!m_conn) return 0;
    xcb_get_image_reply_t* r = xcb_get_image_reply(
        m_conn, xcb_get_image(m_conn, XCB_IMAGE_FORMAT_Z_PIXMAP, screenOf(m_conn)->root, x, y, 1, 1, ~0u), nullptr);
    if (!r) return 0;
    QRgb v = 0;
    if (xcb_get_image_data_length(r) >= 4) std::memcpy(&v, xcb_get_image_data(r), 4);
    free(r);
    return v | 0xFF000000u;
}

uint32_t X11Session::createWindow(const QString& caption) {
    xcb_window_t w = xcb_generate_id(m_conn);
    xcb_screen_t* s = screenOf(m_conn);
    xcb_create_window(m_conn, XCB_COPY_FROM_PARENT, w, s->root, 10, 10, 100, 80, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      s->root_visual, 0, nullptr);
    const QByteArray name = caption.toUtf8();
    xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, name.size(),
                        name.constData());
    xcb_flush(m_conn);
    return w;
}

uint32_t X11Session::createWindow(const QString& caption, const QRect& at, QRgb fill) {
    xcb_window_t w = xcb_generate_id(m_conn);
    xcb_screen_t* s = screenOf(m_conn);
    // Placed where asked, with no window manager to move it.
    const uint32_t values[] = {fill & 0xFFFFFFu, 1};
    xcb_create_window(m_conn, XCB_COPY_FROM_PARENT, w, s->root, int16_t(at.x()), int16_t(at.y()), uint16_t(at.width()),
                      uint16_t(at.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, s->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    const QByteArray name = caption.toUtf8();
    xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, name.size(),
                        name.constData());
    xcb_map_window(m_conn, w);
    xcb_flush(m_conn);
    return w;
}

void X11Session::destroyWindow(uint32_t id) {
    xcb_destroy_window(m_conn, id);
    xcb_flush(m_conn);
}

void X11Session::requestClose(uint32_t id) {
    auto intern = [&](const char* name) {
        xcb_intern_atom_reply_t* a =
            xcb_intern_atom_reply(m_conn, xcb_intern_atom(m_conn, 0, strlen(name), name), nullptr);
        const xcb_atom_t atom = a ? a->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(a);
        return atom;
    };
    xcb_client_message_event_t ev;
    memset(&ev, 0, sizeof ev);
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = id;
    ev.type = intern("WM_PROTOCOLS");
    ev.data.data32[0] = intern("WM_DELETE_WINDOW");
    ev.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_conn, 0, id, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    xcb_flush(m_conn);
}

bool X11Session::xdotool(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), args);
    return p.waitForFinished(5000) && p.exitCode() == 0;
}

bool X11Session::savePng(const QString& path) { return grabScreen().save(path); }

std::pair<int, int> X11Session::grabStatusesOfAnotherProgram() {
    const xcb_window_t root = screenOf(m_conn)->root;
    auto* k = xcb_grab_keyboard_reply(
        m_conn, xcb_grab_keyboard(m_conn, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr);
    auto* p = xcb_grab_pointer_reply(m_conn,
                                     xcb_grab_pointer(m_conn, 0, root, XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_ASYNC,
                                                      XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                                     nullptr);
    const std::pair<int, int> statuses{k ? k->status : -1, p ? p->status : -1};
    free(k);
    free(p);
    xcb_ungrab_keyboard(m_conn, XCB_CURRENT_TIME);
    xcb_ungrab_pointer(m_conn, XCB_CURRENT_TIME);
    xcb_flush(m_conn);
    return statuses;
}

bool X11Session::overrideRedirect(uint32_t window) {
    auto* a = xcb_get_window_attributes_reply(m_conn, xcb_get_window_attributes(m_conn, window), nullptr);
    const bool yes = a && a->override_redirect;
    free(a);
    return yes;
}

bool X11Session::windowManagerRunning() {
    // Only asked, never tried: selecting the redirect to see whether it is taken would, for that
    // moment, make a window manager starting then find it taken and give up.
    auto* a = xcb_get_window_attributes_reply(m_conn, xcb_get_window_attributes(m_conn, screenOf(m_conn)->root), nullptr);
    const bool taken = a && (a->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT);
    free(a);
    return taken;
}

QString X11Session::properties(uint32_t window, const QStringList& names) {
    return runTool(m_display, QStringLiteral("xprop"), QStringList{QStringLiteral("-id"), QString::number(window)} + names);
}

uint32_t X11Session::windowNamed(const QString& name) {
    const QString ids = runTool(m_display, QStringLiteral("xdotool"),
                                {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                 QLatin1Char('^') + QRegularExpression::escape(name) + QLatin1Char('$')});
    return ids.split(u'\n', Qt::SkipEmptyParts).value(0).toUInt();
}

QString X11Session::ownershipFault(const QString& dialog, const QString& opener) {
    const uint32_t d = windowNamed(dialog);
    const uint32_t o = windowNamed(opener);
    if (!d || !o) return QStringLiteral("no window named ") + (d ? opener : dialog);
    const QString props = properties(d, {QStringLiteral("WM_TRANSIENT_FOR"), QStringLiteral("_NET_WM_STATE")});
    QStringList faults;
    if (!props.contains(QStringLiteral("WM_TRANSIENT_FOR(WINDOW): window id # 0x") + QString::number(o, 16)))
        faults << QStringLiteral("not transient for its opener");
    if (!props.contains(QStringLiteral("_NET_WM_STATE_MODAL"))) faults << QStringLiteral("not modal");
    if (!props.contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR"))) faults << QStringLiteral("in the task bar");
    if (props.contains(QStringLiteral("_NET_WM_STATE_ABOVE")) || props.contains(QStringLiteral("STAYS_ON_TOP")))
        faults << QStringLiteral("above every program");
    return faults.isEmpty() ? QString() : faults.join(QStringLiteral(", ")) + QStringLiteral(":\n") + props;
}

QRect X11Session::visibleWindowGeometry(const QString& how, const QString& what) {
    const QString shell = runTool(m_display, QStringLiteral("xdotool"),
                                  {QStringLiteral("search"), QStringLiteral("--onlyvisible"), how, what,
                                   QStringLiteral("getwindowgeometry"), QStringLiteral("--shell")});
    QMap<QString, int> v;
    for (const QString& line : shell.split(u'\n')) {
        const int eq = line.indexOf(u'=');
        if (eq > 0 && !v.contains(line.left(eq))) v[line.left(eq)] = line.mid(eq + 1).toInt();
    }
    if (!v.contains(QStringLiteral("WIDTH"))) return QRect();
    return QRect(v[QStringLiteral("X")], v[QStringLiteral("Y")], v[QStringLiteral("WIDTH")], v[QStringLiteral("HEIGHT")]);
}

QProcess* X11Session::startProgram(const QString& program, const QStringList& args) {
    if (QStandardPaths::findExecutable(program).isEmpty()) return nullptr;
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    // GTK programs would start an accessibility bus that outlives them.
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    p->setProcessEnvironment(env);
    p->setStandardOutputFile(QProcess::nullDevice());
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(program, args);
    if (!p->waitForStarted(5000)) return nullptr;
    m_programs.push_back(std::move(p));
    return m_programs.back().get();
}

static QString runTool(const QString& display, const QString& tool, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    p.setProcessEnvironment(env);
    p.start(tool, args);
    p.waitForFinished(5000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

qint64 idleMilliseconds(const QString& display) {
    bool ok = false;
    const qint64 v = runTool(display, QStringLiteral("xprintidle"), {}).trimmed().toLongLong(&ok);
    return ok ? v : -1;
}

QString screenSaverAndDpmsSettings(const QString& display) {
    const QString all = runTool(display, QStringLiteral("xset"), {QStringLiteral("q")});
    // Everything from the screen-saver settings on, but the font path and colours.
    QStringList kept;
    bool in = false;
    for (const QString& line : all.split(u'\n')) {
        if (line.startsWith(QLatin1String("Screen Saver")) || line.startsWith(QLatin1String("DPMS"))) in = true;
        else if (!line.startsWith(u' ')) in = false;
        if (in) kept << line;
    }
    return kept.join(u'\n');
}

ProgramRun::ProgramRun() {
    QDir().mkpath(programFolder());
    QDir().mkpath(mediaFolder());
    QDir().mkpath(QFileInfo(settingsFile()).path());
    QFile::copy(QStringLiteral(LUMORA_BINARY_DIR "/lumora"), programFolder() + QStringLiteral("/lumora"));
    QFile::setPermissions(programFolder() + QStringLiteral("/lumora"),
                          QFileDevice::ExeOwner | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

ProgramRun::~ProgramRun() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

void ProgramRun::writeSettings(const QStringList& lines) {
    QFile f(settingsFile());
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write("[lumora]\n");
    for (const QString& l : lines) f.write(l.toUtf8() + '\n');
}

QString ProgramRun::readSettings() const {
    QFile f(settingsFile());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void ProgramRun::writePlayList(const QStringList& entries) {
    QFile f(programFolder() + QStringLiteral("/lumoraplus.ini"));
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write("1000\r\n " + QByteArray::number(entries.size()) + " \r\n");
    for (const QString& e : entries) f.write(e.toUtf8() + "\r\n");
}

void ProgramRun::useSession(const QProcessEnvironment& session, const QStringList& launcher, int uid, int gid) {
    m_session = session;
    m_launcher = launcher;
    m_uid = uid;
    m_gid = gid;
}

void ProgramRun::handOver() const {
    if (m_uid < 0) return;
    auto give = [this](const QString& path) {
        if (::chown(QFile::encodeName(path).constData(), uid_t(m_uid), gid_t(m_gid)) != 0)
            std::fprintf(stderr, "cannot hand %s over: %s\n", qPrintable(path), std::strerror(errno));
    };
    give(m_dir.path());
    QDirIterator it(m_dir.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) give(it.next());
}

QProcessEnvironment ProgramRun::environment() const {
    QProcessEnvironment env = m_session ? *m_session : QProcessEnvironment::systemEnvironment();
    if (!m_session) env.insert(QStringLiteral("DISPLAY"), X11Session::instance().display());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.path() + QStringLiteral("/data"));
    if (!m_session) env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    env.insert(QStringLiteral("HOME"), homeFolder());
    for (auto it = m_extraEnv.begin(); it != m_extraEnv.end(); ++it)
        env.insert(it.key(), it.value());
    for (const QString& name : m_removedEnv)
        env.remove(name);
    if (!m_session) env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

QString ProgramRun::errors() {
    // What a running program wrote reaches QProcess only when events are handled.
    if (m_process.state() == QProcess::Running) QCoreApplication::processEvents();
    m_errors += QString::fromLocal8Bit(m_process.readAllStandardError());
    return m_errors;
}

QString ProgramRun::homeFolder() const {
    const QString home = m_dir.path() + QStringLiteral("/home");
    QDir().mkpath(home);
    return home;
}

QProcess& ProgramRun::start(const QString& sw) { return startWith({sw}); }

QProcess& ProgramRun::startWith(const QStringList& arguments) {
    m_process.setProcessEnvironment(environment());
    m_process.setProcessChannelMode(m_captureErrors ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
    handOver();
    const QString program = programFolder() + QStringLiteral("/lumora");
    if (m_launcher.isEmpty()) m_process.start(program, arguments);
    else m_process.start(m_launcher.first(), m_launcher.mid(1) + QStringList{program} + arguments);
    m_process.waitForStarted(5000);
    return m_process;
}

std::unique_ptr<QProcess> ProgramRun::startAnother(const QString& sw) { return startAnother(QStringList{sw}); }

std::unique_ptr<QProcess> ProgramRun::startAnother(const QStringList& arguments) {
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(environment());
    const QString program = programFolder() + QStringLiteral("/lumora");
    if (m_launcher.isEmpty()) p->start(program, arguments);
    else p->start(m_launcher.first(), m_launcher.mid(1) + QStringList{program} + arguments);
    p->waitForStarted(5000);
    return p;
}

int ProgramRun::waitForEnd(int timeoutMs) {
    QElapsedTimer t;
    t.start();
    if (!m_process.waitForFinished(timeoutMs)) return -1;
    return int(t.elapsed());
}

QString colourName(QRgb rgb) {
    const int r = qRed(rgb), g = qGreen(rgb), b = qBlue(rgb);
    if (r > 160 && g < 90 && b < 90) return QStringLiteral("red");
    if (g > 100 && r < 90 && b < 90) return QStringLiteral("green");
    if (b > 160 && r < 90 && g < 90) return QStringLiteral("blue");
    if (r < 30 && g < 30 && b < 30) return QStringLiteral("black");
    if (r > 220 && g > 220 && b > 220) return QStringLiteral("white");
    return QStringLiteral("other");
}

} // namespace e2e

namespace e2e {

int waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (pred()) return int(t.elapsed());
        // The step of the polling.
        QThread::msleep(20);
    }
    return -1;
}

QRect colourBox(const QImage& image, const QString& colour) {
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (colourName(line[x]) != colour) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}


bool allOf(const QImage& shot, const QRect& r, const QStringList& colours) {
    for (int y = r.top(); y <= r.bottom(); y += std::max(1, r.height() / 6))
        for (int x = r.left(); x <= r.right(); x += std::max(1, r.width() / 12))
            if (!colours.contains(colourName(shot.pixel(x, y)))) return false;
    return true;
}

void expectTheScreenHeld(X11Session& x, ProgramRun& run, const QRect& covered, const QStringList& ours,
                         const QPoint& popUpAt, const QString& shot) {
    // Nobody else gets the keyboard or the pointer while it runs.
    const auto [keyboard, pointer] = x.grabStatusesOfAnotherProgram();
    EXPECT_EQ(keyboard, XCB_GRAB_STATUS_ALREADY_GRABBED);
    EXPECT_EQ(pointer, XCB_GRAB_STATUS_ALREADY_GRABBED);
    // Its windows are the window manager's to neither stack nor list in a task bar.
    const auto forms = x.mappedWindowsNamed(testsupport::kMainForm);
    ASSERT_FALSE(forms.isEmpty());
    for (const auto& w : forms) EXPECT_TRUE(x.overrideRedirect(w.id)) << "a form is managed by the window manager";

    // A program opens a window, which the window manager gives the focus; then an override-redirect
    // pop-up, as notification bubbles are.
    QTemporaryDir dir;
    const QString typed = dir.path() + QStringLiteral("/typed");
    const QStringList popUpGeometry{QStringLiteral("-geometry"),
                                    QStringLiteral("+%1+%2").arg(popUpAt.x()).arg(popUpAt.y())};
    QProcess* chat = nullptr;
    QProcess* notice = nullptr;
    struct EndThem {
        QProcess*& a;
        QProcess*& b;
        ~EndThem() {
            for (QProcess* p : {a, b})
                if (p) p->terminate(), p->waitForFinished(2000);
        }
    } endThem{chat, notice};
    ASSERT_NE(chat = x.startProgram(QStringLiteral("xterm"), {QStringLiteral("-T"), QStringLiteral("Chat"),
                                                        QStringLiteral("-geometry"), QStringLiteral("60x10+40+40"),
                                                        QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                                                        QStringLiteral("stty raw -echo; head -c1 > ") + typed}),
              nullptr);
    // The window manager frames it, so it is looked for at every depth.
    ASSERT_GE(e2e::waitUntil(
                  [&] {
                      return x.xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                         QStringLiteral("--name"), QStringLiteral("^Chat$")});
                  },
                  10000),
              0);
    const QStringList noticeArgs = QStringList{QStringLiteral("-xrm"), QStringLiteral("*overrideRedirect: True"),
                                               QStringLiteral("-bg"), QStringLiteral("white")} +
                                   popUpGeometry + QStringList{QStringLiteral("A NOTICE THAT POPS UP OVER EVERYTHING")};
    ASSERT_NE(notice = x.startProgram(QStringLiteral("xmessage"), noticeArgs), nullptr);
    ASSERT_GE(e2e::waitUntil(
                  [&] {
                      for (const auto& w : x.topWindows())
                          if (w.mapped && w.geometry.topLeft() == popUpAt) return true;
                      return false;
                  },
                  10000),
              0);
    const QRect popUp(popUpAt, QSize(40, 20));
    EXPECT_GE(e2e::waitUntil([&] { return allOf(x.grabScreen(), popUp, ours); }, 500), 0)
        << "the pop-up was not covered within half a second";
    // A stretch of time in which the new window would have come to the top.
    QThread::msleep(700);
    EXPECT_TRUE(allOf(x.grabScreen(), covered, ours)) << "the new window shows over the screen saver";
    if (!shot.isEmpty()) x.savePng(shot);
    ASSERT_EQ(run.process().state(), QProcess::Running);

    // One key ends the screen saver, and the focused window got nothing.
    x.xdotool({QStringLiteral("key"), QStringLiteral("x")});
    EXPECT_GE(run.waitForEnd(3000), 0) << "the key did not end the screen saver";
    // A stretch of time in which the key would have reached the other window.
    QThread::msleep(300);
    EXPECT_EQ(QFileInfo(typed).size(), 0) << "the key reached the other program's window";
}

} // namespace e2e

namespace e2e {

SilentServer::SilentServer() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(m_fd, 16) != 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

SilentServer::SilentServer(const QString& unixPath) {
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray p = QFile::encodeName(unixPath);
    if (m_fd < 0 || size_t(p.size()) >= sizeof address.sun_path) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
        return;
    }
    std::memcpy(address.sun_path, p.constData(), size_t(p.size()));
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_fd, 16) != 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_thread = std::thread([this] { serve(); });
}

SilentServer::~SilentServer() {
    m_quit = true;
    if (m_thread.joinable()) m_thread.join();
    for (int client : m_clients)
        ::close(client);
    if (m_fd >= 0) ::close(m_fd);
}

void SilentServer::serve() {
    while (!m_quit) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        // Held open, never read from or written to.
        m_clients.push_back(client);
        ++m_connections;
    }
}

WatchedFifo::WatchedFifo(const QString& path) : m_path(path) {
    m_ok = ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (!m_ok) return;
    m_thread = std::thread([this] {
        const QByteArray p = QFile::encodeName(m_path);
        // Opening to write without blocking succeeds only once a reader has it open.
        while (!m_quit) {
            const int fd = ::open(p.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                m_opened = true;
                ::close(fd);
            }
            ::usleep(2000);
        }
    });
}

WatchedFifo::~WatchedFifo() {
    m_quit = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_ok) ::unlink(QFile::encodeName(m_path).constData());
}

} // namespace e2e

namespace e2e {

QStringList processesWithEnvironment(const QString& entry) {
    return processIdsWithEnvironment(entry, QString());
}

QStringList processIdsWithEnvironment(const QString& entry, const QString& name) {
    QStringList found;
    const QByteArray wanted = entry.toUtf8();
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        bool number = false;
        pid.toInt(&number);
        if (!number) continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (!environ.open(QIODevice::ReadOnly)) continue;
        if (!environ.readAll().split('\0').contains(wanted)) continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (!comm.open(QIODevice::ReadOnly)) continue;
        const QString command = QString::fromUtf8(comm.readAll().trimmed());
        if (name.isNull()) found << command;
        else if (command == name) found << pid;
    }
    return found;
}

} // namespace e2e
