#include "platform/linux/IniSettingsBackend.h"

#include "base/SettingsFormat.h"
#include "base/RuntimeError.h"
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStringList>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr int kLockWaitMs = 10000;
const QString kGroup = QStringLiteral("lumora");

const QString kNoAccess = QStringLiteral("no access");

// Only a save that holds the lock writes "<file>.saving-<pid>", so once the lock is ours any such
// file is what a killed save left. Nothing else is ever removed: a name the user may have chosen
// ("lumora.ini.backup") cannot be told from another writer's temporary.
void clearKilledSaves(const QString& path) {
    const QFileInfo file(path);
    const QString prefix = file.fileName() + QStringLiteral(".saving-");
    const QFileInfoList left =
        file.dir().entryInfoList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& f : left) {
        const QString pid = f.fileName().mid(prefix.size());
        bool digits = !pid.isEmpty() && pid.size() <= 10;
        for (QChar c : pid)
            digits = digits && c >= u'0' && c <= u'9';
        if (digits) QFile::remove(f.filePath());
    }
}

// One save at a time, across processes: a lock on the settings folder, which the kernel lets go
// when its holder ends however it ends, so no lock is ever judged dead by its age. A save that
// another one keeps waiting (a process stopped in the middle) fails after kLockWaitMs rather than
// hanging. Where the file system has no such locks, Qt's lock file and its own stale rule.
class SaveLock {
public:
    SaveLock(const QString& folder, const QString& lockFile) {
        m_fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QElapsedTimer waited;
        waited.start();
        while (m_fd >= 0) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
                m_held = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) break;
            if (waited.elapsed() > kLockWaitMs) return;
            QThread::msleep(2);
        }
        m_file.emplace(lockFile);
        m_file->setStaleLockTime(kLockWaitMs);
        m_held = m_file->tryLock(kLockWaitMs + 2000);
    }
    ~SaveLock() {
        if (m_fd >= 0) ::close(m_fd);
    }
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;
    bool held() const { return m_held; }

private:
    int m_fd = -1;
    bool m_held = false;
    std::optional<QLockFile> m_file;
};

// The file a save replaces: where a symbolic link points, so that the link stays.
QString replacedPath(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
}

// What a refused save names, with its verb: its key, a few keys, or the first and how many more.
QString keysNamed(const SettingsValues& values) {
    QStringList keys;
    for (const auto& value : values)
        if (!keys.contains(value.first, Qt::CaseInsensitive)) keys << value.first;
    if (keys.size() == 1) return keys.first() + QStringLiteral(" was");
    if (keys.size() > 3)
        return QStringLiteral("%1 and %2 other settings were").arg(keys.first()).arg(keys.size() - 1);
    const QString last = keys.takeLast();
    return keys.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last + QStringLiteral(" were");
}

QString refusalText(const QString& reason, const QString& path, const SettingsValues& values) {
    const QString keys = keysNamed(values);
    return reason == QLatin1String("too large")
               ? QStringLiteral("%1 not saved: the settings file %2 is larger than 1 MiB and is left as "
                                "it is")
                     .arg(keys, path)
               : QStringLiteral("%1 not saved: the settings file %2 cannot be read and is left as it is")
                     .arg(keys, path);
}

// The key under which the map holds a setting: the spelling the file already has, if any.
QString mapKeyOf(const QSettings::SettingsMap& map, const QString& key) {
    for (auto it = map.keyBegin(); it != map.keyEnd(); ++it)
        if (it->startsWith(kGroup + u'/') && it->mid(kGroup.size() + 1).compare(key, Qt::CaseInsensitive) == 0)
            return *it;
    return kGroup + u'/' + key;
}
} // namespace

QString IniSettingsBackend::defaultFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/larkspur/lumora.ini");
}

IniSettingsBackend::IniSettingsBackend() : m_path(defaultFilePath()) {}
IniSettingsBackend::IniSettingsBackend(const QString& filePath) : m_path(filePath) {}

void IniSettingsBackend::reportRefusal(const QString& reason) {
    if (reason == m_reportedRefusal) return;
    m_reportedRefusal = reason;
    if (reason.isEmpty()) return;
    const QString text =
        reason == QLatin1String("too large")
            ? QStringLiteral("the settings file %1 is larger than 1 MiB; running on the default settings "
                             "and leaving the file as it is")
                  .arg(m_path)
            : QStringLiteral("the settings file %1 cannot be read; running on the default settings and "
                             "leaving the file as it is")
                  .arg(m_path);
    std::fprintf(stderr, "lumora: %s\n", qPrintable(text));
}

QString IniSettingsBackend::load(QSettings::SettingsMap& map) const {
    // Read straight from the file every time: QSettings keeps what it read while size and time
    // stay the same, and two saves within one clock tick can leave both the same.
    QFile file(m_path);
    if (!file.exists()) return QString();
    if (!file.open(QIODevice::ReadOnly)) return kNoAccess;
    if (file.size() > kMaxSettingsFileBytes) return QStringLiteral("too large");
    if (!readLumoraSettings(file, map))
        return file.size() > kMaxSettingsFileBytes ? QStringLiteral("too large") : QStringLiteral("unreadable");
    return QString();
}

QString IniSettingsBackend::leftAloneReason() {
    QSettings::SettingsMap map;
    const QString reason = load(map);
    // A file that cannot be opened (no rights to it, a folder in its place) is left alone too.
    reportRefusal(reason == kNoAccess ? QStringLiteral("unreadable") : reason);
    return m_reportedRefusal;
}

std::optional<QString> IniSettingsBackend::read(const QString& key) {
    QSettings::SettingsMap map;
    const QString reason = load(map);
    if (reason == kNoAccess) return std::nullopt;
    reportRefusal(reason);
    if (!m_reportedRefusal.isEmpty()) return std::nullopt;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        if (it.key().startsWith(kGroup + u'/') &&
            QStringView(it.key()).sliced(kGroup.size() + 1).compare(key, Qt::CaseInsensitive) == 0)
            return it.value().toString();
    return std::nullopt;
}

void IniSettingsBackend::write(const QString& key, const QString& value) { writeAll({{key, value}}); }

void IniSettingsBackend::writeAll(const SettingsValues& values) {
    if (values.isEmpty()) return;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    auto fail = [&](const QString& text) { throw runtime::RuntimeError(runtime::ErrorKind::Failed, text); };
    SaveLock lock(QFileInfo(m_path).absolutePath(), m_path + QStringLiteral(".lock"));
    if (!lock.held())
        fail(QStringLiteral("The settings could not be saved to %1: another save has held it for %2 seconds")
                 .arg(m_path)
                 .arg(kLockWaitMs / 1000));
    clearKilledSaves(m_path);

    const QString target = replacedPath(m_path);
    QSettings::SettingsMap map;
    const QString reason = load(map);
    if (reason == kNoAccess)
        fail(QStringLiteral("The settings file %1 cannot be read or written").arg(m_path));
    reportRefusal(reason);
    if (!m_reportedRefusal.isEmpty()) fail(refusalText(m_reportedRefusal, m_path, values));
    // Each value goes into the text as a save of its own would put it, so a new key lands where it
    // would have: a save of several keys leaves the very text that saving them one by one leaves.
    QByteArray saved;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0) {
            map.clear();
            QBuffer in(&saved);
            in.open(QIODevice::ReadOnly);
            if (!readLumoraSettings(in, map))
                fail(QStringLiteral("The settings could not be saved to %1").arg(m_path));
        }
        map.insert(mapKeyOf(map, values[i].first), values[i].second);
        saved.clear();
        QBuffer out(&saved);
        out.open(QIODevice::WriteOnly);
        if (!writeLumoraSettings(out, map))
            fail(QStringLiteral("The settings could not be saved to %1").arg(m_path));
    }

    // The whole new text goes to a file of this save's own, which then replaces the settings in
    // one step: a reader, or a save killed anywhere, finds the old text or the new one whole.
    const QString temporary =
        target + QStringLiteral(".saving-") + QString::number(QCoreApplication::applicationPid());
    QFile next(temporary);
    bool written = next.open(QIODevice::WriteOnly | QIODevice::Truncate) && next.write(saved) == saved.size() &&
                   next.flush() && ::fsync(next.handle()) == 0;
    if (written && QFileInfo::exists(target)) next.setPermissions(QFileInfo(target).permissions());
    next.close();
    written = written && ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) == 0;
    if (!written) {
        QFile::remove(temporary);
        fail(QStringLiteral("The settings could not be saved to %1").arg(m_path));
    }
}

} // namespace platform
