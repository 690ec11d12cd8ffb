#include "platform/linux/IniSettingsBackend.h"

#include "platform/linux/SettingsFormat.h"
#include "runtime/RuntimeError.h"
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStringList>
#include <QThread>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
const QString kGroup = QStringLiteral("lumora");

QString storedKey(QSettings& s, const QString& key) {
    const QStringList keys = s.childKeys();
    for (const QString& k : keys)
        if (k.compare(key, Qt::CaseInsensitive) == 0) return k;
    return QString();
}

// Qt takes a flock on a lock file the moment it makes it, then writes the owner into it. One that
// nobody holds and that is still empty a moment after it was made belongs to a process killed in
// between; Qt would wait half a minute before calling it stale, so it goes now.
void removeEmptyDeadLock(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        struct stat st {};
        bool done = true;
        if (::fstat(fd, &st) == 0 && st.st_size == 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const qint64 made = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
            if (QDateTime::currentMSecsSinceEpoch() - made >= 20)
                ::unlink(native.constData());
            else
                done = false;
        }
        ::close(fd);
        if (done) return;
        QThread::msleep(5);
    }
}

// A save killed part-way leaves Qt's lock file and, when it was killed between naming its
// temporary file and renaming it over the settings (or the file system cannot make unnamed
// files), that temporary "<file>.XXXXXX". Once the lock is ours again nobody else is saving, so
// temporaries made since the dead lock are litter. Runs before the save, which would otherwise
// remove the dead lock and with it the proof.
void clearKilledSave(const QString& path) {
    const QString lockPath = path + QStringLiteral(".lock");
    const QString rmlockPath = lockPath + QStringLiteral(".rmlock");
    if (QFileInfo::exists(rmlockPath)) {
        removeEmptyDeadLock(rmlockPath);
        QLockFile rmlock(rmlockPath);
        if (rmlock.tryLock(0)) rmlock.unlock();
    }
    const QFileInfo lockInfo(lockPath);
    if (!lockInfo.exists()) return;
    // Coarse file systems round times down by up to two seconds.
    const QDateTime since = lockInfo.lastModified().addSecs(-2);
    removeEmptyDeadLock(lockPath);
    QLockFile lock(lockPath);
    if (!lock.tryLock(0)) return;
    const QFileInfo file(path);
    const QString prefix = file.fileName() + QLatin1Char('.');
    const QFileInfoList candidates = file.dir().entryInfoList({prefix + QStringLiteral("??????")},
                                                              QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& f : candidates) {
        const QString tail = f.fileName().mid(prefix.size());
        bool letters = tail.size() == 6;
        for (QChar c : tail)
            letters = letters && c.unicode() < 128 && c.isLetter();
        if (letters && f.lastModified() >= since) QFile::remove(f.filePath());
    }
    lock.unlock();
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

QString IniSettingsBackend::leftAloneReason() {
    // Something in the file's place that cannot be read (no rights to it, a folder) is left alone too.
    const QFileInfo file(m_path);
    if (file.exists() && (!file.isFile() || !file.isReadable())) {
        reportRefusal(QStringLiteral("unreadable"));
        return m_reportedRefusal;
    }
    QSettings s(m_path, lumoraSettingsFormat());
    reportRefusal(settingsFileRefusal(s));
    return m_reportedRefusal;
}

std::optional<QString> IniSettingsBackend::read(const QString& key) {
    QSettings s(m_path, lumoraSettingsFormat());
    if (s.status() == QSettings::AccessError) return std::nullopt;
    reportRefusal(settingsFileRefusal(s));
    if (!m_reportedRefusal.isEmpty()) return std::nullopt;
    s.beginGroup(kGroup);
    const QString k = storedKey(s, key);
    if (k.isEmpty()) return std::nullopt;
    return s.value(k).toString();
}

void IniSettingsBackend::write(const QString& key, const QString& value) {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    clearKilledSave(m_path);
    QSettings s(m_path, lumoraSettingsFormat());
    // A file that exists but cannot be read must not be replaced by one that holds only this value.
    if (s.status() == QSettings::AccessError ||
        (QFileInfo::exists(m_path) && !QFileInfo(m_path).isReadable()) || !s.isWritable())
        throw runtime::RuntimeError(
            runtime::ErrorKind::Failed,
            QStringLiteral("The settings file %1 cannot be read or written").arg(m_path));
    reportRefusal(settingsFileRefusal(s));
    if (!m_reportedRefusal.isEmpty())
        throw runtime::RuntimeError(
            runtime::ErrorKind::Failed,
            m_reportedRefusal == QLatin1String("too large")
                ? QStringLiteral("The settings file %1 is larger than 1 MiB and is left as it is, so %2 was "
                                 "not saved.")
                      .arg(m_path, key)
                : QStringLiteral("The settings file %1 cannot be read and is left as it is, so %2 was not "
                                 "saved.")
                      .arg(m_path, key));
    s.beginGroup(kGroup);
    QString k = storedKey(s, key);
    s.setValue(k.isEmpty() ? key : k, value);
    s.endGroup();
    s.sync();
    if (s.status() != QSettings::NoError)
        throw runtime::RuntimeError(runtime::ErrorKind::Failed,
                                    QStringLiteral("The settings could not be saved to %1").arg(m_path));
}

} // namespace platform
