#include "platform/mpv/LocalMedia.h"

#include "base/FileNames.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <map>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::mpv {

namespace {

QByteArray withoutByteOrderMark(const QByteArray& text) {
    return text.startsWith("\xEF\xBB\xBF") ? text.mid(3) : text;
}

void resolveInto(const QString& path, int depth, QStringList& chain, QStringList& files) {
    // The look first, so that no device is opened at all.
    if (files.size() >= kMaxResolvedFiles || !isRegularFile(path)) return;
    const QByteArray native = fileNameBytes(path);
    const int fd = openRegularFile(path);
    if (fd < 0) return;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return;
    }
    const QByteArray head = file.peek(64);
    if (!isPlayListFile(path, head)) {
        files << path;
        return;
    }
    char* real = ::realpath(native.constData(), nullptr);
    const QString identity = real ? fileNameText(QByteArray(real)) : path;
    std::free(real);
    if (depth >= kMaxPlayListNesting || chain.contains(identity)) return;
    const bool pls = QFileInfo(path).suffix().compare(QLatin1String("pls"), Qt::CaseInsensitive) == 0 ||
                     withoutByteOrderMark(head).trimmed().toLower().startsWith("[playlist]");
    const QStringList entries = playListEntries(file.read(kMaxPlayListBytes), pls);
    file.close();
    const QString folder = QFileInfo(path).absolutePath();
    chain << identity;
    for (const QString& entry : entries) {
        const QString local = localPath(entry, folder);
        if (!local.isEmpty()) resolveInto(local, depth + 1, chain, files);
    }
    chain.removeLast();
}

} // namespace

QString localPath(const QString& entry, const QString& baseFolder) {
    const QString text = entry.trimmed();
    if (text.isEmpty()) return {};
    if (text.contains(QLatin1String("://"))) {
        const QUrl url(text);
        // file://localhost/... and file:///... only: another host's file is not local.
        if (!url.isValid() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
            return {};
        if (!url.host().isEmpty() && url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
            return {};
        const QString path = url.host().isEmpty() ? url.toLocalFile() : url.path(QUrl::FullyDecoded);
        return path.startsWith(QLatin1Char('/')) ? QDir::cleanPath(path) : QString();
    }
    const QString base = baseFolder.isEmpty() ? QDir::currentPath() : baseFolder;
    return QDir::cleanPath(QDir(base).absoluteFilePath(text));
}

bool isRegularFile(const QString& path) {
    struct stat st;
    return !path.isEmpty() && ::stat(fileNameBytes(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

int openRegularFile(const QString& path) {
    if (path.isEmpty()) return -1;
    // Opened by its bytes: the name need not be UTF-8.
    const int fd = ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    // Reads of a regular file do not care, but whoever reads it next expects a plain descriptor.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

bool isPlayListFile(const QString& path, const QByteArray& head) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("m3u") || suffix == QLatin1String("m3u8") || suffix == QLatin1String("pls"))
        return true;
    const QByteArray start = withoutByteOrderMark(head).trimmed();
    return start.startsWith("#EXTM3U") || start.toLower().startsWith("[playlist]");
}

QStringList playListEntries(const QByteArray& text, bool pls) {
    const QList<QByteArray> lines = withoutByteOrderMark(text).split('\n');
    if (!pls) {
        QStringList entries;
        for (const QByteArray& raw : lines) {
            const QByteArray line = raw.trimmed();
            if (line.isEmpty() || line.startsWith('#')) continue;
            entries << fileNameText(line);
        }
        return entries;
    }
    std::map<int, QString> numbered;
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.trimmed();
        const int equals = line.indexOf('=');
        if (equals < 5 || !line.left(4).toLower().startsWith("file")) continue;
        bool ok = false;
        const int number = line.mid(4, equals - 4).toInt(&ok);
        if (!ok) continue;
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (!value.isEmpty()) numbered.emplace(number, fileNameText(value));
    }
    QStringList entries;
    for (const auto& [number, entry] : numbered)
        entries << entry;
    return entries;
}

QStringList resolveItem(const QString& item) {
    QStringList files;
    QStringList chain;
    const QString path = localPath(item);
    if (!path.isEmpty()) resolveInto(path, 0, chain, files);
    return files;
}

QByteArray openName(const QString& path) {
    const QByteArray native = fileNameBytes(path);
    if (path.contains(QLatin1String("://"))) return "file://" + native.toPercentEncoding("/:");
    return native;
}

} // namespace platform::mpv
