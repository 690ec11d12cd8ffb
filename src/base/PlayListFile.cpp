#include "base/PlayListFile.h"

#include "base/FileNames.h"
#include "base/Convert.h"
#include "base/RuntimeError.h"
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <unistd.h>

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

// A path is never this long; a longer line is junk and is skipped without being held.
constexpr qsizetype kMaxLineBytes = 64 * 1024;

// Reads the file a chunk at a time and splits it at LF, dropping a CR before it; a final line without
// a line end still counts. Memory stays at one chunk and one line of at most kMaxLineBytes, whatever
// the file holds.
class LineReader {
public:
    enum class Line { Text, TooLong, End };

    explicit LineReader(QFile& file) : m_file(file), m_chunk(kMaxLineBytes, Qt::Uninitialized) {}

    Line next(QByteArray& line) {
        line.resize(0);
        bool any = false, tooLong = false;
        for (;;) {
            // What is left of an over-long line is only looked through for its end, and a hole in a
            // sparse file holds no line end: gigabytes of it are passed over without reading them.
            if (m_pos == m_end && tooLong) skipHole();
            if (m_pos == m_end && !refill()) break;
            any = true;
            const char* start = m_chunk.constData() + m_pos;
            const void* lf = std::memchr(start, '\n', m_end - m_pos);
            const qsizetype taken = lf ? static_cast<const char*>(lf) - start : m_end - m_pos;
            // One byte more than the limit leaves room for the CR of a line of exactly the limit.
            if (!tooLong && line.size() + taken > kMaxLineBytes + 1) {
                tooLong = true;
                line.resize(0);
            }
            if (!tooLong) line.append(start, taken);
            m_pos += lf ? taken + 1 : taken;
            if (lf) break;
        }
        if (!any) return Line::End;
        if (line.endsWith('\r')) line.chop(1);
        if (tooLong || line.size() > kMaxLineBytes) {
            line.resize(0);
            return Line::TooLong;
        }
        return Line::Text;
    }

private:
    void skipHole() {
        const int fd = m_file.handle();
        if (fd < 0) return;
        const qint64 here = m_file.pos();
        const off_t data = ::lseek(fd, off_t(here), SEEK_DATA);
        // ENXIO: nothing but a hole up to the end. Pipes and file systems without holes say other
        // things, and are read on.
        if (data < 0 && errno == ENXIO) m_file.seek(m_file.size());
        else if (data > here) m_file.seek(data);
        else if (data == here) m_file.seek(here); // the descriptor's offset and the file's agree again
    }

    bool refill() {
        const qint64 got = m_file.read(m_chunk.data(), m_chunk.size());
        m_pos = 0;
        m_end = got > 0 ? got : 0;
        return got > 0;
    }

    QFile& m_file;
    QByteArray m_chunk;
    qsizetype m_pos = 0, m_end = 0;
};

// What is kept must fit the limit again when it is written back: measured as the writer writes it.
bool fitsWhenWritten(const QString& text) { return platform::fileNameBytes(text).size() <= kMaxLineBytes; }

int entryCount(const QString& line) {
    try {
        return runtime::toInt16(runtime::leadingNumber(line));
    } catch (const runtime::RuntimeError&) {
        return 0; // out of the 16-bit range: no entries are read
    }
}

} // namespace

QString playListPathIn(const QString& program, const QString& userData) {
    // An installed copy (its data folder at <program>/../share/lumora) shares its folder with the
    // system's other programs: even root, who may write there, keeps the play list in a data folder.
    const bool installed = !program.isEmpty() && QFileInfo(joinPath(program, QStringLiteral("../share/lumora"))).isDir();
    if (!program.isEmpty() && !installed) {
        const QFileInfo info(program);
        if (info.isDir() && info.isWritable()) return joinPath(program, kFileName);
    }
    return joinPath(userData, kFileName);
}

PlayListData readPlayList(const QString& path) {
    PlayListData data;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return data;
    LineReader reader(file);
    QByteArray line;

    // An over-long header is no header, but the count and entries below it may still be good.
    if (reader.next(line) == LineReader::Line::End) return data;
    data.header = platform::fileNameText(line);
    if (!fitsWhenWritten(data.header)) data.header.clear();

    // An over-long count line holds no usable number: no entries, as for any other such line.
    if (reader.next(line) != LineReader::Line::Text) return data;
    const int count = entryCount(platform::fileNameText(line));

    // The count is at most 32,767, so this reads no further than the list's own lines. An over-long
    // line takes its place among them but is left out: the lines after it are still entries.
    for (int i = 0; i < count; ++i) {
        const LineReader::Line kind = reader.next(line);
        if (kind == LineReader::Line::End) break;
        if (kind != LineReader::Line::Text) continue;
        const QString entry = trimBlanks(platform::fileNameText(line));
        if (fitsWhenWritten(entry)) data.entries << entry;
    }
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
    bytes += platform::fileNameBytes(data.header) + crlf;
    bytes += ' ' + QByteArray::number(data.entries.size()) + ' ' + crlf;
    for (const QString& entry : data.entries)
        bytes += platform::fileNameBytes(entry) + crlf;

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) fail(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(reason);
    }
    if (!file.commit()) fail(file.errorString());
}
