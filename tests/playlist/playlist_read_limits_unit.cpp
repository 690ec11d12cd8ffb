#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/PlayListFile.h"
#include "support/TestFiles.h"
#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <chrono>
#include <future>
#include <random>
#include <thread>

// Lines here run to hundreds of kilobytes: a failure shows their start and length.
inline void PrintTo(const QString& s, std::ostream* os) {
    if (s.size() <= 60)
        *os << '"' << s.toStdString() << '"';
    else
        *os << '"' << s.left(20).toStdString() << "...\" (" << s.size() << " characters)";
}

// A play list file may be anything by the time it is read: a huge single line, endless junk after the
// entries, a binary file. Reading it must stay cheap and still give the entries that are there.

using testsupport::bytesOf;
using testsupport::putBytes;
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr qint64 kMiB = 1024 * 1024;
// AddressSanitizer keeps freed memory aside for a while and pads every block, so the same reads
// show a higher peak in sanitized builds.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kPeakFactor = 4;
#else
constexpr qint64 kPeakFactor = 1;
#endif
constexpr int kLineLimit = 64 * 1024;

// Peak resident memory of this process in KiB, from the kernel's own record.
qint64 peakRssKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    const auto match = QRegularExpression(QStringLiteral("VmHWM:\\s*(\\d+)")).match(status.readAll());
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// Starts the peak anew, so an earlier test's peak cannot hide this one's.
void resetPeakRss() {
    const int fd = ::open("/proc/self/clear_refs", O_WRONLY);
    if (fd < 0) return;
    (void)!::write(fd, "5", 1);
    ::close(fd);
}

// Bytes this process has read from files and pipes, from the kernel's own count.
qint64 bytesReadSoFar() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly)) return -1;
    const auto match = QRegularExpression(QStringLiteral("rchar:\\s*(\\d+)")).match(io.readAll());
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

struct Measured {
    PlayListData data;
    double seconds;
    qint64 peakGrowthKiB;
};

Measured measuredRead(const QString& path) {
    resetPeakRss();
    const qint64 before = peakRssKiB();
    EXPECT_GT(before, 0) << "no peak memory figure from /proc/self/status";
    const auto start = Clock::now();
    Measured m{readPlayList(path), 0, 0};
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.peakGrowthKiB = peakRssKiB() - before;
    return m;
}

class PlayListReadLimitsTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    // head, then `nulBytes` NUL bytes as one line of junk, then tail. The NULs are a hole in the file,
    // so a line of hundreds of megabytes costs no disk and no time to make, yet reads like any other.
    void putWithHole(const QString& file, const QByteArray& head, qint64 nulBytes,
                     const QByteArray& tail) const {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(head), head.size());
        ASSERT_TRUE(f.seek(head.size() + nulBytes));
        ASSERT_EQ(f.write(tail), tail.size());
    }

    QTemporaryDir m_dir;
};

QStringList names(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* s : list)
        out << QString::fromLatin1(s);
    return out;
}

// Feeds `head` and then junk lines into a named pipe until the reader closes its end or `junkLimit`
// bytes have gone; gives the junk bytes the pipe took, or -1 when no reader came.
qint64 feedPipe(const QByteArray& fifo, const QByteArray& head, qint64 junkLimit) {
    const auto deadline = Clock::now() + 10s;
    int fd = -1;
    // Polled until a reader opens the other end, for at most the deadline.
    while ((fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK)) < 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    if (fd < 0) return -1;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    for (qsizetype done = 0; done < head.size();) {
        const ssize_t n = ::write(fd, head.constData() + done, head.size() - done);
        if (n <= 0) break;
        done += n;
    }
    const QByteArray junk = QByteArray("/junk/after/the/list.mpg\r\n").repeated(2000);
    qint64 sent = 0;
    while (sent < junkLimit) {
        const ssize_t n = ::write(fd, junk.constData(), junk.size());
        if (n <= 0) break; // the reader has closed its end
        sent += n;
    }
    ::close(fd);
    return sent;
}

TEST_F(PlayListReadLimitsTest, StopsAfterTheAnnouncedEntries) {
    // Junk that never ends behind the entries: the reader must close the pipe after them, not drain it.
    const QByteArray fifo = path("pipe").toLocal8Bit();
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const auto oldPipeHandler = std::signal(SIGPIPE, SIG_IGN);
    const qint64 junkLimit = 256 * kMiB;
    auto sent = std::async(std::launch::async, feedPipe, fifo,
                           QByteArray("h\r\n 2 \r\n/a.mpg\r\n/b.mpg\r\n/c.mpg\r\n"), junkLimit);
    const auto start = Clock::now();
    const PlayListData fromPipe = readPlayList(path("pipe"));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const qint64 junkTaken = sent.get();
    std::signal(SIGPIPE, oldPipeHandler);
    EXPECT_EQ(fromPipe.header, QStringLiteral("h"));
    EXPECT_EQ(fromPipe.entries, names({"/a.mpg", "/b.mpg"}));
    ASSERT_GE(junkTaken, 0) << "the reader never opened the pipe";
    EXPECT_LT(junkTaken, 4 * kMiB) << "the reader went on reading after its entries";
    EXPECT_LT(seconds, 3.0);

    // A full list of 32,767 entries reads whole and stops there.
    QByteArray full("full\r\n 32767 \r\n");
    for (int i = 0; i < 32767; ++i)
        full += "/home/someone/Videos/clip " + QByteArray::number(i) + ".mpg\r\n";
    full += "/one/too/many.mpg\r\n";
    putBytes(path("full"), full);
    const Measured m = measuredRead(path("full"));
    ASSERT_EQ(m.data.entries.size(), 32767);
    EXPECT_EQ(m.data.entries.first(), QStringLiteral("/home/someone/Videos/clip 0.mpg"));
    EXPECT_EQ(m.data.entries.last(), QStringLiteral("/home/someone/Videos/clip 32766.mpg"));
    EXPECT_LT(m.seconds, 2.0);
}

TEST_F(PlayListReadLimitsTest, LinesOverTheLimitAreLeftOutAndTheRestStillReads) {
    const QByteArray atLimit(kLineLimit, 'p'), overLimit(kLineLimit + 1, 'p');

    // An entry of exactly the limit stays, with either line end; one byte more and it is left out,
    // yet it takes its place among the announced entries and the entries after it still read.
    for (const QByteArray& eol : {QByteArray("\r\n"), QByteArray("\n")}) {
        SCOPED_TRACE(eol.size());
        putBytes(path("list"), "h" + eol + " 5 " + eol + "/a" + eol + atLimit + eol + "/b" + eol + overLimit +
                                   eol + "/c" + eol + "/not an entry" + eol);
        const PlayListData data = readPlayList(path("list"));
        EXPECT_EQ(data.header, QStringLiteral("h"));
        ASSERT_EQ(data.entries.size(), 4);
        EXPECT_EQ(data.entries[0], QStringLiteral("/a"));
        EXPECT_EQ(data.entries[1], QString::fromLatin1(atLimit));
        EXPECT_EQ(data.entries[2], QStringLiteral("/b"));
        EXPECT_EQ(data.entries[3], QStringLiteral("/c"));
    }

    // An over-long header reads as an empty one; the count and entries below it are still good.
    putBytes(path("list"), overLimit + "\r\n 2 \r\n/a\r\n/b\r\n");
    PlayListData data = readPlayList(path("list"));
    EXPECT_TRUE(data.header.isEmpty());
    EXPECT_EQ(data.entries, names({"/a", "/b"}));
    // An over-long count line holds no usable count, even when it starts with a number.
    putBytes(path("list"), "h\r\n 2" + QByteArray(kLineLimit, ' ') + "\r\n/a\r\n/b\r\n");
    data = readPlayList(path("list"));
    EXPECT_EQ(data.header, QStringLiteral("h"));
    EXPECT_TRUE(data.entries.isEmpty());

    // Lines that end close to the limit, CR and LF falling on either side of it.
    for (int length = kLineLimit - 3; length <= kLineLimit + 2; ++length) {
        SCOPED_TRACE(length);
        const QByteArray line(length, 'x');
        putBytes(path("list"), line + "\r\n 3 \r\n" + line + "\r\n" + line + "\n/last");
        data = readPlayList(path("list"));
        const QString kept = length <= kLineLimit ? QString::fromLatin1(line) : QString();
        EXPECT_EQ(data.header, kept);
        EXPECT_EQ(data.entries, length <= kLineLimit ? (QStringList{kept, kept, QStringLiteral("/last")})
                                                     : QStringList{QStringLiteral("/last")});
    }
}

TEST_F(PlayListReadLimitsTest, HugeOrForeignFilesCostLittleMemoryAndTime) {
    const qint64 huge = 200 * kMiB;
    const struct {
        const char* what;
        QByteArray head;
        QByteArray tail;
        const char* header;
        QStringList entries;
    } cases[] = {
        {"huge header", "", "\r\n 2 \r\n/a\r\n/b\r\n", "", names({"/a", "/b"})},
        {"huge count line", "h\r\n 2", "\r\n/a\r\n/b\r\n", "h", {}},
        {"huge entry", "h\r\n 3 \r\n/a\r\n", "\r\n/b\r\n/c\r\n", "h", names({"/a", "/b"})},
        {"huge junk after the entries", "h\r\n 2 \r\n/a\r\n/b\r\n", "\r\n/c\r\n", "h", names({"/a", "/b"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        putWithHole(path("huge"), c.head, huge, c.tail);
        const Measured m = measuredRead(path("huge"));
        EXPECT_EQ(m.data.header, QString::fromLatin1(c.header));
        EXPECT_EQ(m.data.entries, c.entries);
        EXPECT_LT(m.peakGrowthKiB, 16 * 1024 * kPeakFactor) << "KiB more at the peak while reading";
        EXPECT_LT(m.seconds, 3.0);
    }

    // Gigabytes of hole in a sparse file hold no line end: they are passed over, not read. The same
    // holds for a list given as a pipe, which has no holes: it is read as before.
    for (const QByteArray& tail : {QByteArray(), QByteArray("\r\n 2 \r\n/a\r\n/b\r\n")}) {
        SCOPED_TRACE(tail.isEmpty() ? "nothing but a hole" : "a hole as the header");
        putWithHole(path("sparse"), "", qint64(2) << 30, tail);
        const qint64 before = bytesReadSoFar();
        const Measured m = measuredRead(path("sparse"));
        EXPECT_LT(bytesReadSoFar() - before, 4 * kMiB) << "bytes read";
        EXPECT_TRUE(m.data.header.isEmpty());
        EXPECT_EQ(m.data.entries, tail.isEmpty() ? QStringList() : names({"/a", "/b"}));
    }

    // Random bytes, line ends and NULs among them: whatever it gives stays within the list's limits.
    std::mt19937 rng(7);
    QByteArray binary(8 * kMiB, Qt::Uninitialized);
    for (char& b : binary)
        b = static_cast<char>(rng());
    for (const QByteArray& countLine : {QByteArray("x"), QByteArray("32767")}) {
        SCOPED_TRACE(countLine.constData());
        putBytes(path("binary"), "h\r\n" + countLine + "\r\n" + binary);
        const Measured m = measuredRead(path("binary"));
        EXPECT_LE(m.data.entries.size(), countLine == "x" ? 0 : 32767);
        for (const QString& entry : m.data.entries)
            ASSERT_LE(entry.size(), kLineLimit);
        EXPECT_LT(m.peakGrowthKiB, 64 * 1024 * kPeakFactor);
        EXPECT_LT(m.seconds, 3.0);
    }
}

// Files of lines of every length and either line end, chosen at random, read the same as splitting
// the whole file at LF would give them.
TEST_F(PlayListReadLimitsTest, LineEndsReadTheSameWhereverTheyFall) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
        auto randomLine = [&] {
            const int kind = pick(0, 3);
            const int length = kind == 0   ? pick(0, 40)
                               : kind == 1 ? pick(kLineLimit - 4, kLineLimit + 4)
                               : kind == 2 ? pick(0, 3 * kLineLimit)
                                           : pick(1000, 20000);
            return QByteArray(length, static_cast<char>('a' + pick(0, 25)));
        };

        QList<QByteArray> lines{randomLine()};
        const int present = pick(0, 30);
        const int announced = pick(0, 35);
        lines << " " + QByteArray::number(announced) + " ";
        for (int i = 0; i < present; ++i)
            lines << randomLine();
        QByteArray bytes;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            bytes += lines[i];
            if (i + 1 < lines.size() || pick(0, 1)) bytes += pick(0, 1) ? "\r\n" : "\n";
        }
        putBytes(path("list"), bytes);

        auto kept = [](const QByteArray& line) {
            return line.size() <= kLineLimit ? QString::fromLatin1(line) : QString();
        };
        QStringList expected;
        for (int i = 0; i < std::min(present, announced); ++i)
            if (lines[i + 2].size() <= kLineLimit) expected << kept(lines[i + 2]);
        const PlayListData data = readPlayList(path("list"));
        EXPECT_EQ(data.header, kept(lines[0]));
        EXPECT_EQ(data.entries, expected);
    }
}

} // namespace

namespace {

// Bytes that are not UTF-8 read as replacement characters, three bytes each when written back: what
// the reader keeps must still be kept when the list it writes is read again.
TEST_F(PlayListReadLimitsTest, WhatIsReadIsWrittenAndReadAgainTheSameEvenWithForeignBytes) {
    const QByteArray foreign(30000, '\xff');
    const QString file = path("foreign.ini");
    putBytes(file, foreign + "\r\n 3 \r\n" + foreign + "\r\n/short \xff name.mpg\r\n/b.mpg\r\n");
    const PlayListData first = readPlayList(file);
    // Bytes that are not UTF-8 are written back as the same bytes, so the lines fit as they did.
    EXPECT_FALSE(first.header.isEmpty());
    ASSERT_EQ(first.entries.size(), 3);
    EXPECT_EQ(first.entries[2], QStringLiteral("/b.mpg"));
    writePlayList(file, first);
    EXPECT_EQ(bytesOf(file), foreign + "\r\n 3 \r\n" + foreign + "\r\n/short \xff name.mpg\r\n/b.mpg\r\n");
    const PlayListData second = readPlayList(file);
    EXPECT_EQ(second.header, first.header);
    EXPECT_EQ(second.entries, first.entries);
}

} // namespace
