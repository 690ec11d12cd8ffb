#include "playlist/PlayListFile.h"

#include "platform/Platform.h"
#include "runtime/Convert.h"
#include "runtime/RuntimeError.h"
#include "shell/SystemServices.h"
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString kFileName = QStringLiteral("lumoraplus.ini");

QString joinPath(const QString& folder, const QString& name) {
    QString f = QDir::fromNativeSeparators(folder);
    if (!f.isEmpty() && !f.endsWith(QLatin1Char('/'))) f += QLatin1Char('/');
    return f + name;
}

// Only blanks are trimmed; a tab belongs to the entry.
QString trimBlanks(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

// Splits at LF, dropping a CR before it; a final line without a line end still counts.
class LineReader {
public:
    explicit LineReader(const QByteArray& bytes) : m_bytes(bytes) {}
    bool next(QString& line) {
        if (m_pos >= m_bytes.size()) return false;
        qsizetype lf = m_bytes.indexOf('\n', m_pos);
        qsizetype end = lf < 0 ? m_bytes.size() : lf;
        qsizetype stop = end;
        if (stop > m_pos && m_bytes[stop - 1] == '\r') --stop;
        line = QString::fromLocal8Bit(m_bytes.constData() + m_pos, stop - m_pos);
        m_pos = lf < 0 ? m_bytes.size() : lf + 1;
        return true;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_pos = 0;
};

int entryCount(const QString& line) {
    try {
        return runtime::toInt16(runtime::leadingNumber(line));
    } catch (const runtime::RuntimeError&) {
        return 0; // out of the 16-bit range: no entries are read
    }
}

} // namespace

QString playListFilePath() {
    const QString program = platform::system().programFolder();
    if (!program.isEmpty()) {
        const QFileInfo info(program);
        if (info.isDir() && info.isWritable()) return joinPath(program, kFileName);
    }
    return joinPath(platform::system().userDataFolder(), kFileName);
}

PlayListData readPlayList(const QString& path) {
    PlayListData data;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return data;
    const QByteArray bytes = file.readAll();
    file.close();

    LineReader reader(bytes);
    QString line;
    if (!reader.next(line)) return data;
    data.header = line;
    if (!reader.next(line)) return data;
    const int count = entryCount(line);
    for (int i = 0; i < count && reader.next(line); ++i)
        data.entries << trimBlanks(line);
    return data;
}

void writePlayList(const QString& path, const PlayListData& data) {
    auto fail = [&](const QString& reason) {
        throw runtime::RuntimeError(
            runtime::ErrorKind::Failed,
            QStringLiteral("Cannot write the play list file %1: %2").arg(path, reason));
    };

    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) fail(QStringLiteral("the folder %1 cannot be created").arg(folder));

    QByteArray bytes;
    const QByteArray crlf("\r\n");
    bytes += data.header.toLocal8Bit() + crlf;
    bytes += ' ' + QByteArray::number(data.entries.size()) + ' ' + crlf;
    for (const QString& entry : data.entries)
        bytes += entry.toLocal8Bit() + crlf;

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) fail(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(reason);
    }
    if (!file.commit()) fail(file.errorString());
}

void DeletePlayListFile() {
    const QString path = playListFilePath();
    if (!FileExists(path)) return;
    QFile file(path);
    if (!file.remove())
        throw runtime::RuntimeError(
            runtime::ErrorKind::Failed,
            QStringLiteral("Cannot delete the play list file %1: %2").arg(path, file.errorString()));
}
