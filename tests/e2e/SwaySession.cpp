#include "SwaySession.h"

#include "X11Session.h"
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <cstdio>
#include <unistd.h>

namespace e2e {

namespace {

// nobody: any user without rights of its own will do.
constexpr int kUnprivileged = 65534;

void collectTitles(const QJsonObject& node, bool floatingOnly, QStringList& titles) {
    const QString type = node.value(QStringLiteral("type")).toString();
    if ((type == QLatin1String("floating_con") || (type == QLatin1String("con") && !floatingOnly)) &&
        node.contains(QStringLiteral("app_id")))
        titles << node.value(QStringLiteral("name")).toString();
    for (const char* key : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(QLatin1String(key)).toArray())
            collectTitles(child.toObject(), floatingOnly, titles);
}

QJsonObject findWindow(const QJsonObject& node, const QString& title) {
    if (node.contains(QStringLiteral("app_id")) && node.value(QStringLiteral("name")).toString() == title)
        return node;
    for (const char* key : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(QLatin1String(key)).toArray()) {
            const QJsonObject found = findWindow(child.toObject(), title);
            if (!found.isEmpty()) return found;
        }
    return {};
}

} // namespace

SwaySession& SwaySession::instance() {
    static SwaySession session;
    return session;
}

SwaySession::SwaySession() : m_runtime(QDir::tempPath() + QStringLiteral("/lumora-sway-XXXXXX")) {
    if (QStandardPaths::findExecutable(QStringLiteral("sway")).isEmpty()) {
        m_whyNot = QStringLiteral("sway is not installed (scripts/setup.sh installs it)");
        return;
    }
    if (!m_runtime.isValid()) {
        m_whyNot = QStringLiteral("no temporary folder for the session");
        return;
    }
    m_uid = getuid() == 0 ? kUnprivileged : int(getuid());
    m_gid = getuid() == 0 ? kUnprivileged : int(getgid());
    const QString dir = m_runtime.path();
    QFile config(dir + QStringLiteral("/config"));
    config.open(QIODevice::WriteOnly);
    config.write("xwayland disable\ndefault_border none\n");
    config.close();
    if (getuid() == 0 && ::chown(QFile::encodeName(dir).constData(), uid_t(m_uid), gid_t(m_gid)) != 0) {
        m_whyNot = QStringLiteral("cannot hand the runtime folder to the session's user");
        return;
    }
    // XDG_RUNTIME_DIR must be the user's own, mode 0700, or clients refuse it.
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

#ifdef LUMORA_WAYLAND_CLIENT
    // The session's user may not reach into the build folder (a clone under /root): it gets a copy.
    QFile::copy(QStringLiteral(LUMORA_WAYLAND_CLIENT), client());
    if (getuid() == 0 && ::chown(QFile::encodeName(client()).constData(), uid_t(m_uid), gid_t(m_gid)) != 0)
        std::fprintf(stderr, "cannot hand the test client to the session's user\n");
#endif

    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("SWAYSOCK"));
    m_sway = start({QStringLiteral("sway"), QStringLiteral("-c"), dir + QStringLiteral("/config")}, env);
    m_sway->setProcessChannelMode(QProcess::MergedChannels);

    const int up = waitUntil(
        [&] {
            if (m_sway->state() == QProcess::NotRunning) return true;
            const QStringList sockets = QDir(dir).entryList({QStringLiteral("wayland-*")}, QDir::System);
            const QStringList ipc = QDir(dir).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
            for (const QString& s : sockets)
                if (!s.endsWith(QLatin1String(".lock"))) m_socket = s;
            if (!ipc.isEmpty()) m_ipc = dir + QLatin1Char('/') + ipc.first();
            return !m_socket.isEmpty() && !m_ipc.isEmpty();
        },
        10000);
    if (up < 0 || m_sway->state() == QProcess::NotRunning) {
        m_whyNot =
            QStringLiteral("sway did not start: ") + QString::fromLocal8Bit(m_sway->readAll().right(600));
        return;
    }
    m_ok = waitUntil(
               [&] {
                   return run({QStringLiteral("swaymsg"), QStringLiteral("-t"),
                               QStringLiteral("get_version")}) == 0;
               },
               5000) >= 0;
    if (!m_ok) m_whyNot = QStringLiteral("sway does not answer on its socket");
}

SwaySession::~SwaySession() {
    if (m_sway && m_sway->state() != QProcess::NotRunning) {
        m_sway->terminate();
        if (!m_sway->waitForFinished(3000)) m_sway->kill();
        m_sway->waitForFinished(1000);
    }
}

QProcessEnvironment SwaySession::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("HOME"), m_runtime.path());
    if (!m_socket.isEmpty()) env.insert(QStringLiteral("WAYLAND_DISPLAY"), m_socket);
    if (!m_ipc.isEmpty()) env.insert(QStringLiteral("SWAYSOCK"), m_ipc);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    return env;
}

QString SwaySession::client() const {
    return m_runtime.path() + QStringLiteral("/wayland_client");
}

QStringList SwaySession::launcher() const {
    if (getuid() != 0) return {};
    return {QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(m_uid),
            QStringLiteral("--regid=%1").arg(m_gid), QStringLiteral("--clear-groups")};
}

void SwaySession::prepare(ProgramRun& run) const {
    QProcessEnvironment env = environment();
    run.useSession(env, launcher(), m_uid, m_gid);
}

std::unique_ptr<QProcess> SwaySession::start(const QStringList& command,
                                             const QProcessEnvironment& env) const {
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(env.isEmpty() ? environment() : env);
    const QStringList full = launcher() + command;
    p->start(full.first(), full.mid(1));
    p->waitForStarted(5000);
    return p;
}

int SwaySession::run(const QStringList& command, QByteArray* output, int timeoutMs) const {
    std::unique_ptr<QProcess> p = start(command);
    if (!p->waitForFinished(timeoutMs)) {
        p->kill();
        p->waitForFinished(1000);
        return -1;
    }
    if (output) *output = p->readAllStandardOutput();
    return p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
}

QImage SwaySession::grab(const QString& output, bool withPointer) const {
    QStringList command{QStringLiteral("grim"), QStringLiteral("-o"), output};
    if (withPointer) command << QStringLiteral("-c");
    command << QStringLiteral("-");
    QByteArray png;
    if (run(command, &png) != 0) return {};
    return QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32);
}

QJsonArray SwaySession::outputs() const {
    QByteArray json;
    run({QStringLiteral("swaymsg"), QStringLiteral("-r"), QStringLiteral("-t"),
         QStringLiteral("get_outputs")},
        &json);
    return QJsonDocument::fromJson(json).array();
}

QString SwaySession::addOutput() {
    QStringList before;
    for (const QJsonValue& o : outputs())
        before << o.toObject().value(QStringLiteral("name")).toString();
    if (run({QStringLiteral("swaymsg"), QStringLiteral("create_output")}) != 0) return {};
    QString added;
    waitUntil(
        [&] {
            for (const QJsonValue& o : outputs()) {
                const QString name = o.toObject().value(QStringLiteral("name")).toString();
                if (!before.contains(name) && o.toObject().value(QStringLiteral("active")).toBool())
                    added = name;
            }
            return !added.isEmpty();
        },
        5000);
    return added;
}

QStringList SwaySession::windowTitles(bool floatingOnly) const {
    QByteArray json;
    run({QStringLiteral("swaymsg"), QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_tree")},
        &json);
    QStringList titles;
    collectTitles(QJsonDocument::fromJson(json).object(), floatingOnly, titles);
    return titles;
}

QJsonObject SwaySession::window(const QString& title) const {
    QByteArray json;
    run({QStringLiteral("swaymsg"), QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_tree")},
        &json);
    return findWindow(QJsonDocument::fromJson(json).object(), title);
}

// The virtual pointer is a new device: programs get a pointer for it only once the seat tells them,
// so the moves wait for that.
bool SwaySession::pointer(const QStringList& steps) const {
#ifdef LUMORA_WAYLAND_CLIENT
    const QStringList command{client(), QStringLiteral("pointer"), QStringLiteral("wait"),
                              QStringLiteral("700")};
    return run(command + steps, nullptr, 30000) == 0;
#else
    Q_UNUSED(steps);
    return false;
#endif
}

std::unique_ptr<QProcess> SwaySession::holdPointer(int ms) const {
#ifdef LUMORA_WAYLAND_CLIENT
    return start({client(), QStringLiteral("pointer"), QStringLiteral("wait"), QStringLiteral("700"),
                  QStringLiteral("move"), QStringLiteral("0"), QStringLiteral("3"), QStringLiteral("wait"),
                  QString::number(ms)});
#else
    return start({QStringLiteral("false")});
#endif
}

std::unique_ptr<QProcess> SwaySession::bar(const QString& layer, const QString& rgb, int height) const {
#ifdef LUMORA_WAYLAND_CLIENT
    auto p = start({client(), QStringLiteral("panel"), layer, rgb, QString::number(height)});
    if (waitUntil(
            [&] {
                p->waitForReadyRead(50);
                return p->state() == QProcess::NotRunning || p->peek(64).contains("panel up");
            },
            5000) < 0 ||
        p->state() == QProcess::NotRunning)
        return nullptr;
    return p;
#else
    Q_UNUSED(layer);
    Q_UNUSED(rgb);
    Q_UNUSED(height);
    return nullptr;
#endif
}

// wtype's keyboard is new to the session: a key typed at once can come before the program has a
// keyboard to receive it, so it waits a second first.
bool SwaySession::type(const QString& text) const {
    return run({QStringLiteral("wtype"), QStringLiteral("-s"), QStringLiteral("1000"), text}) == 0;
}

bool SwaySession::keys(const QStringList& wtypeArguments) const {
    return run(QStringList{QStringLiteral("wtype"), QStringLiteral("-s"), QStringLiteral("1000")} +
               wtypeArguments) == 0;
}

int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return a.width() * a.height() + b.width() * b.height();
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) ++n;
    return n;
}

} // namespace e2e
