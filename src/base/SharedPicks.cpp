#include "base/SharedPicks.h"

#include "base/FileNames.h"
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace playback {

namespace {

constexpr char kHeader[] = "lumora-picks 1";

int64_t monotonicMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// When the process started, in clock ticks since boot (field 22 of /proc/PID/stat); 0 when it cannot
// be told, and none when there is no such process.
std::optional<uint64_t> processStart(int64_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        if (::kill(pid_t(pid), 0) == 0 || errno == EPERM) return uint64_t(0);
        return std::nullopt;
    }
    const QByteArray text = stat.read(4096);
    // The command name may hold spaces and parentheses: the fields after it follow its last ')'.
    const qsizetype end = text.lastIndexOf(')');
    if (end < 0) return uint64_t(0);
    const QList<QByteArray> fields = text.mid(end + 2).split(' ');
    // Field 3 (the state) is the first after the name; field 22 is the 20th after it.
    if (fields.size() < 20) return uint64_t(0);
    if (fields.at(0) == "Z" || fields.at(0) == "X") return std::nullopt;
    bool ok = false;
    const uint64_t ticks = fields.at(19).toULongLong(&ok);
    return ok ? ticks : uint64_t(0);
}

bool alive(int64_t pid, uint64_t started) {
    if (pid <= 0) return false;
    const std::optional<uint64_t> now = processStart(pid);
    if (!now) return false;
    // A start time that cannot be told on either side is taken on trust.
    return started == 0 || *now == 0 || *now == started;
}

// A folder that only this user may change: a real folder, not a symlink, owned by the user, which
// no one else may write.
bool privateFolder(const QByteArray& path) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

QList<QByteArray> parsedFields(const QByteArray& line) {
    QList<QByteArray> fields = line.split(' ');
    fields.removeAll(QByteArray());
    return fields;
}

} // namespace

SharedPicks::SharedPicks(const QString& path, int64_t pid)
    : m_path(path), m_pid(pid > 0 ? pid : int64_t(::getpid())), m_clock(monotonicMs) {
    m_started = processStart(m_pid).value_or(0);
}

QString SharedPicks::runtimeFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && runtime.startsWith('/') && privateFolder(runtime))
        return QFile::decodeName(runtime);
    const QByteArray own = QFile::encodeName(QDir::tempPath()) + "/lumora-" + QByteArray::number(::geteuid());
    if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST) return {};
    struct stat st {};
    if (::lstat(own.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return {};
    // Ours, but opened to others by someone: closed again before anything goes in.
    if ((st.st_mode & 077) != 0 && ::chmod(own.constData(), 0700) != 0) return {};
    return QFile::decodeName(own);
}

QString SharedPicks::fileName(const QString& display) {
    // ":0", ":0.0" and ":0.1" are one display: the screen number goes.
    QString name = display.trimmed();
    const qsizetype colon = name.lastIndexOf(u':');
    const qsizetype dot = name.indexOf(u'.', colon < 0 ? 0 : colon);
    if (colon >= 0 && dot > colon) name.truncate(dot);
    QString safe;
    for (const QChar c : name)
        safe += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'-' || c == u'_' ? c : QChar(u'_');
    return QStringLiteral("lumora-picks-") + (safe.isEmpty() ? QStringLiteral("_") : safe.left(64));
}

bool SharedPicks::withEntries(const std::function<bool(QList<Entry>&)>& step) {
    const QByteArray path = QFile::encodeName(m_path);
    // No symlink is followed and nothing waits on a pipe put in its place.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) return false;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1)
        return false;

    const int64_t until = monotonicMs() + kLockWaitMs;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || monotonicMs() >= until) return false;
        QThread::msleep(5);
    }

    QByteArray text;
    if (::fstat(fd, &st) == 0 && st.st_size <= kMaxBytes) {
        text.resize(qsizetype(st.st_size));
        qsizetype got = 0;
        while (got < text.size()) {
            const ssize_t n = ::pread(fd, text.data() + got, size_t(text.size() - got), off_t(got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += n;
        }
        text.truncate(got);
    }

    QList<Entry> entries;
    bool dropped = false;
    const QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.first() == kHeader) {
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (lines.at(i).isEmpty()) continue;
            const QList<QByteArray> fields = parsedFields(lines.at(i));
            bool okPid = false, okStart = false, okTime = false;
            Entry e;
            if (fields.size() == 4) {
                e.pick.pid = fields.at(0).toLongLong(&okPid);
                e.started = fields.at(1).toULongLong(&okStart);
                e.pick.pickedAtMs = fields.at(2).toLongLong(&okTime);
                e.pick.file = platform::fileNameText(QByteArray::fromPercentEncoding(fields.at(3)));
            }
            const bool wellFormed = okPid && okStart && okTime && e.pick.pid > 0;
            const bool twice = std::any_of(entries.begin(), entries.end(),
                                           [&](const Entry& o) { return o.pick.pid == e.pick.pid; });
            if (wellFormed && !twice && alive(e.pick.pid, e.started))
                entries << e;
            else
                dropped = true;
        }
    } else if (!text.isEmpty()) {
        dropped = true;
    }

    bool changed = step(entries) || dropped;
    if (entries.size() > kMaxEntries) {
        // The newest picks stay; this copy's own always does.
        std::stable_sort(entries.begin(), entries.end(), [this](const Entry& a, const Entry& b) {
            if ((a.pick.pid == m_pid) != (b.pick.pid == m_pid)) return a.pick.pid == m_pid;
            return a.pick.pickedAtMs > b.pick.pickedAtMs;
        });
        entries.resize(kMaxEntries);
        changed = true;
    }
    if (!changed) return true;

    QByteArray out = QByteArray(kHeader) + '\n';
    for (const Entry& e : entries)
        out += QByteArray::number(e.pick.pid) + ' ' + QByteArray::number(e.started) + ' ' +
               QByteArray::number(e.pick.pickedAtMs) + ' ' +
               platform::fileNameBytes(e.pick.file).toPercentEncoding("/") + '\n';
    if (out.size() > kMaxBytes) return false;
    if (::ftruncate(fd, 0) != 0) return false;
    qsizetype put = 0;
    while (put < out.size()) {
        const ssize_t n = ::pwrite(fd, out.constData() + put, size_t(out.size() - put), off_t(put));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        put += n;
    }
    return true;
}

QStringList SharedPicks::filesShownElsewhere() {
    QStringList files;
    withEntries([&](QList<Entry>& entries) {
        for (const Entry& e : entries)
            if (e.pick.pid != m_pid && !files.contains(e.pick.file)) files << e.pick.file;
        return false;
    });
    return files;
}

bool SharedPicks::publish(const QString& file, std::optional<int64_t> pickedAtMs) {
    return withEntries([&](QList<Entry>& entries) {
        // A pick of its own is newer than every pick in the file, made in the same millisecond or not.
        const int64_t now = m_clock();
        int64_t at = now;
        for (const Entry& e : entries)
            if (e.pick.pickedAtMs < now + 1000) at = std::max(at, e.pick.pickedAtMs + 1);
        entries.removeIf([this](const Entry& e) { return e.pick.pid == m_pid; });
        entries.prepend(Entry{Pick{m_pid, file, pickedAtMs.value_or(at)}, m_started});
        return true;
    });
}

std::optional<SharedPicks::Pick> SharedPicks::newerPick(const QString& playingNow, int withinMs) {
    std::optional<Pick> found;
    withEntries([&](QList<Entry>& entries) {
        const int64_t now = m_clock();
        std::optional<Pick> mine;
        for (const Entry& e : entries)
            if (e.pick.pid == m_pid) mine = e.pick;
        for (const Entry& e : entries) {
            const Pick& p = e.pick;
            // Far ahead of the clock: a time that means nothing here.
            if (p.pid == m_pid || now - p.pickedAtMs > withinMs || p.pickedAtMs > now + withinMs) continue;
            const bool unplayed =
                !mine || p.pickedAtMs > mine->pickedAtMs ||
                (p.pickedAtMs == mine->pickedAtMs && p.file == mine->file && playingNow != p.file);
            if (unplayed && (!found || p.pickedAtMs > found->pickedAtMs)) found = p;
        }
        return false;
    });
    return found;
}

QList<SharedPicks::Pick> SharedPicks::entries() {
    QList<Pick> picks;
    withEntries([&](QList<Entry>& entries) {
        for (const Entry& e : entries)
            picks << e.pick;
        return false;
    });
    return picks;
}

} // namespace playback
