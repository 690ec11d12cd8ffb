#include "support/TestFiles.h"

#include "runtime/FormRegistry.h"
#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace testsupport {

void putBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size()) << path.toStdString();
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool formClosed(const QString& name, int ms) {
    (void)QTest::qWaitFor([&] { return !runtime::forms().find(name); }, ms);
    // The registry lets an unloaded form go later, with the deferred deletes.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return !runtime::forms().find(name) && !runtime::forms().loadedNames().contains(name);
}

namespace {
constexpr qint64 kPage = 4096;
QByteArray fillerOf(const QString& folder) { return QFile::encodeName(folder + QStringLiteral("/.filler")); }
} // namespace

SmallDisk::SmallDisk(const QString& folder, int kib) : m_folder(folder) {
    const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0755";
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) != 0)
        m_whyNot = QStringLiteral("cannot mount a small tmpfs on %1 (%2); that takes root")
                       .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
}

SmallDisk::~SmallDisk() {
    if (mounted()) ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

bool SmallDisk::fill(qint64 leftFree) {
    if (!mounted()) return false;
    const int fd = ::open(fillerOf(m_folder).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const QByteArray page(kPage, 'f');
    while (::write(fd, page.constData(), size_t(page.size())) > 0) {
    }
    const bool full = errno == ENOSPC;
    // Whole pages back, so that exactly that much is free whatever the last write managed.
    const qint64 size = ::lseek(fd, 0, SEEK_END);
    const qint64 keep = std::max<qint64>(0, (size + kPage - 1) / kPage * kPage - (leftFree + kPage - 1) / kPage * kPage);
    const bool cut = ::ftruncate(fd, keep) == 0;
    ::close(fd);
    return full && cut && freeBytes() == (leftFree + kPage - 1) / kPage * kPage;
}

void SmallDisk::empty() { ::unlink(fillerOf(m_folder).constData()); }

qint64 SmallDisk::freeBytes() const {
    struct statvfs s {};
    if (::statvfs(QFile::encodeName(m_folder).constData(), &s) != 0) return -1;
    return qint64(s.f_bavail) * qint64(s.f_frsize);
}

} // namespace testsupport
