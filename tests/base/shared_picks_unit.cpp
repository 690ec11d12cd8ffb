#include "base/FileNames.h"
#include "base/SharedPicks.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using playback::SharedPicks;

namespace {

// Another running process, standing for the copy of the program on a second monitor.
class OtherProcess {
public:
    OtherProcess() {
        m_process.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        m_process.waitForStarted(5000);
    }
    ~OtherProcess() { end(); }
    int64_t pid() const { return m_process.processId(); }
    void end() {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
};

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const QByteArray& value)
        : m_name(name), m_was(qgetenv(name)), m_set(qEnvironmentVariableIsSet(name)) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvironmentVariable() {
        if (m_set)
            qputenv(m_name, m_was);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    QByteArray m_was;
    bool m_set;
};

} // namespace

TEST(SharedPicks, EachCopySeesWhatTheOthersPlayNotItsOwnAndOneLineEach) {
    QTemporaryDir dir;
    const QString path = dir.filePath(SharedPicks::fileName(QStringLiteral(":0")));
    OtherProcess other;
    SharedPicks here(path);
    SharedPicks there(path, other.pid());

    EXPECT_TRUE(here.filesShownElsewhere().isEmpty()) << "no file yet";
    ASSERT_TRUE(here.publish(QStringLiteral("/m/red.mp4")));
    // A path may hold anything a file name can, spaces and line breaks too.
    const QString odd = QStringLiteral("/m/blue clip\n100%.mp4");
    ASSERT_TRUE(there.publish(odd));
    EXPECT_EQ(here.filesShownElsewhere(), QStringList{odd});
    EXPECT_EQ(there.filesShownElsewhere(), QStringList{QStringLiteral("/m/red.mp4")});
    // A name that is no UTF-8 comes back as the play list holds it.
    const QString latin1 = platform::fileNameText(QByteArray("/m/caf\xe9.mpg"));
    ASSERT_TRUE(here.publish(latin1));
    EXPECT_EQ(there.filesShownElsewhere(), QStringList{latin1});

    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(here.publish(QStringLiteral("/m/%1.mp4").arg(i)));
    EXPECT_EQ(there.filesShownElsewhere(), QStringList{QStringLiteral("/m/49.mp4")});
    EXPECT_EQ(contents(path).count('\n'), 3) << "a header and one line for each copy, however often it picks";
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
}

TEST(SharedPicks, CopiesThatEndedAreDroppedAndAReusedProcessNumberIsNotTakenForThem) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picks"));
    SharedPicks here(path);
    {
        OtherProcess other;
        SharedPicks there(path, other.pid());
        ASSERT_TRUE(there.publish(QStringLiteral("/m/blue.mp4")));
        EXPECT_EQ(here.filesShownElsewhere(), QStringList{QStringLiteral("/m/blue.mp4")});
        other.end();
        EXPECT_TRUE(here.filesShownElsewhere().isEmpty());
    }
    EXPECT_EQ(contents(path), QByteArray("lumora-picks 1\n"))
        << "the ended copy's line is gone from the file";

    // A line of this very process number but another start time: a copy that ended long ago.
    OtherProcess other;
    write(path, QByteArray("lumora-picks 1\n") + QByteArray::number(other.pid()) + " 1 5 /m/old.mp4\n");
    EXPECT_TRUE(here.filesShownElsewhere().isEmpty());
}

TEST(SharedPicks, AFileNotInItsFormCountsAsEmptyAndIsWrittenAnew) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picks"));
    OtherProcess other;
    SharedPicks here(path);
    const QByteArray live = QByteArray::number(other.pid()) + " 0 5 /m/blue.mp4\n";
    const QByteArray broken[] = {
        QByteArray("\x00\xff\x13garbage\n", 11),
        QByteArray("lumora-picks 2\n") + live,
        // Cut off in the middle of a line, and lines of the wrong shape: the sound line still counts.
        QByteArray("lumora-picks 1\n12x 0 5 /m/a.mp4\n-4 0 5 /m/b.mp4\n") + live + "77 0",
        QByteArray("lumora-picks 1\n") + QByteArray(SharedPicks::kMaxBytes + 10, 'x'),
    };
    const QStringList seen[] = {{}, {}, {QStringLiteral("/m/blue.mp4")}, {}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        write(path, broken[i]);
        EXPECT_EQ(here.filesShownElsewhere(), seen[i]);
        ASSERT_TRUE(here.publish(QStringLiteral("/m/red.mp4")));
        const QByteArray now = contents(path);
        EXPECT_TRUE(now.startsWith("lumora-picks 1\n" + QByteArray::number(::getpid()) + ' '));
        EXPECT_LE(now.size(), 200);
    }
    // Not readable at all: nothing is shared, nothing fails.
    if (::geteuid() != 0) {
        QFile::setPermissions(path, QFile::WriteOwner);
        EXPECT_TRUE(here.filesShownElsewhere().isEmpty());
        EXPECT_FALSE(here.publish(QStringLiteral("/m/red.mp4")));
    }
}

TEST(SharedPicks, ASymlinkOrAFolderOfAnotherIsRefused) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("precious"));
    write(target, "keep me\n");
    const QString link = dir.filePath(QStringLiteral("picks"));
    ASSERT_TRUE(QFile::link(target, link));
    SharedPicks here(link);
    EXPECT_FALSE(here.publish(QStringLiteral("/m/red.mp4")));
    EXPECT_TRUE(here.filesShownElsewhere().isEmpty());
    EXPECT_EQ(contents(target), QByteArray("keep me\n"));

    // The runtime folder: $XDG_RUNTIME_DIR when it is the user's own, else a private one under the
    // temporary folder, never a symlink put there in its place.
    const QString runtime = dir.filePath(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkdir(runtime));
    ASSERT_EQ(::chmod(QFile::encodeName(runtime).constData(), 0700), 0);
    const QString temp = dir.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkdir(temp));
    EnvironmentVariable tmpdir("TMPDIR", QFile::encodeName(temp));
    const QString own = temp + QStringLiteral("/lumora-") + QString::number(::geteuid());
    {
        EnvironmentVariable xdg("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        EXPECT_EQ(SharedPicks::runtimeFolder(), runtime);
    }
    const QString runtimeLink = dir.filePath(QStringLiteral("runlink"));
    ASSERT_TRUE(QFile::link(runtime, runtimeLink));
    for (const QByteArray& unusable :
         {QFile::encodeName(runtimeLink), QByteArray(), QByteArray("relative")}) {
        EnvironmentVariable xdg("XDG_RUNTIME_DIR", unusable);
        EXPECT_EQ(SharedPicks::runtimeFolder(), own) << unusable.constData();
        struct stat st {};
        ASSERT_EQ(::lstat(QFile::encodeName(own).constData(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
    // Opened up by someone: closed again.
    ASSERT_EQ(::chmod(QFile::encodeName(own).constData(), 0777), 0);
    {
        EnvironmentVariable xdg("XDG_RUNTIME_DIR", QByteArray());
        EXPECT_EQ(SharedPicks::runtimeFolder(), own);
        EXPECT_EQ(QFileInfo(own).permissions() & (QFile::WriteOther | QFile::ReadOther), 0);
        // A symlink where the private folder goes is not followed.
        ASSERT_TRUE(QDir(own).removeRecursively());
        ASSERT_TRUE(QFile::link(runtime, own));
        EXPECT_EQ(SharedPicks::runtimeFolder(), QString());
        // Nor a folder of another user (only root can make one here).
        if (::geteuid() == 0) {
            ASSERT_TRUE(QFile::remove(own));
            ASSERT_TRUE(QDir().mkdir(own));
            ASSERT_EQ(::chown(QFile::encodeName(own).constData(), 65534, 65534), 0);
            EXPECT_EQ(SharedPicks::runtimeFolder(), QString());
        }
    }

    // One file for all the screens of a display; nothing of the display's name leaves the folder.
    EXPECT_EQ(SharedPicks::fileName(QStringLiteral(":0")), QStringLiteral("lumora-picks-_0"));
    EXPECT_EQ(SharedPicks::fileName(QStringLiteral(":0.1")), QStringLiteral("lumora-picks-_0"));
    EXPECT_EQ(SharedPicks::fileName(QStringLiteral("host.lan:10.0")),
              QStringLiteral("lumora-picks-host_lan_10"));
    EXPECT_EQ(SharedPicks::fileName(QStringLiteral("../../x")), QStringLiteral("lumora-picks-______x"));
}

// A copy that holds the lock and never lets go does not stop another: that one shares nothing this
// time and goes on at once.
TEST(SharedPicks, ALockNotHadInTimeMeansNoSharingNotAHang) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picks"));
    SharedPicks here(path);
    ASSERT_TRUE(here.publish(QStringLiteral("/m/red.mp4")));
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(here.publish(QStringLiteral("/m/blue.mp4")));
    EXPECT_TRUE(here.entries().isEmpty());
    EXPECT_LT(t.elapsed(), 3000);
    ::close(fd);
    EXPECT_EQ(here.entries().size(), 1);
    EXPECT_EQ(here.entries().value(0).file, QStringLiteral("/m/red.mp4"));
}

// Two copies picking at the same moment, over and over: neither loses the other's line, and a look
// at the file never finds half of a write.
TEST(SharedPicks, CopiesPickingAtOnceNeverSeeHalfAWrite) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picks"));
    OtherProcess other;
    const int64_t pids[] = {::getpid(), other.pid()};
    std::atomic<int> faults{0};
    std::atomic<bool> going{true};
    auto picker = [&](int64_t pid) {
        SharedPicks copy(path, pid);
        // A long name, so a write that is not kept whole would show.
        const QString name =
            QStringLiteral("/m/") + QString(300, QLatin1Char('a' + int(pid % 20))) + QStringLiteral(".mp4");
        for (int i = 0; i < 300; ++i)
            copy.publish(name);
    };
    // Looks at the file as any copy does, under the lock: whole, with both lines once both are in.
    std::thread looker([&] {
        bool both = false;
        while (going) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
            if (fd < 0) continue;
            QByteArray text(64 * 1024, '\0');
            ::flock(fd, LOCK_SH);
            const ssize_t n = ::read(fd, text.data(), size_t(text.size()));
            ::close(fd);
            text.truncate(n < 0 ? 0 : n);
            if (text.isEmpty() && !both) continue;
            QList<QByteArray> lines = text.split('\n');
            if (lines.takeFirst() != "lumora-picks 1" || !lines.takeLast().isEmpty()) {
                ++faults;
                continue;
            }
            both = both || lines.size() == 2;
            if (both && lines.size() != 2) ++faults;
            for (const QByteArray& line : lines)
                if (line.split(' ').value(3).size() != 307) ++faults;
        }
    });
    std::thread a(picker, pids[0]), b(picker, pids[1]);
    a.join();
    b.join();
    going = false;
    looker.join();
    EXPECT_EQ(faults, 0);
    EXPECT_EQ(SharedPicks(path).entries().size(), 2);
}

// The same picture on every monitor: a copy follows another's newer pick, made within the last few
// seconds, once; the copy that made it does not follow it back.
TEST(SharedPicks, ANewerPickElsewhereIsFollowedOnceWhileFresh) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picks"));
    OtherProcess other;
    int64_t now = 100000;
    SharedPicks first(path), second(path, other.pid());
    first.setClock([&] { return now; });
    second.setClock([&] { return now; });
    const QString red = QStringLiteral("/m/red.mp4"), blue = QStringLiteral("/m/blue.mp4");

    EXPECT_FALSE(second.newerPick(QString(), 5000)) << "nothing picked yet";
    ASSERT_TRUE(first.publish(red));
    now += 1200;
    const std::optional<SharedPicks::Pick> pick = second.newerPick(QString(), 5000);
    ASSERT_TRUE(pick);
    EXPECT_EQ(pick->file, red);
    ASSERT_TRUE(second.publish(red, pick->pickedAtMs));
    EXPECT_FALSE(second.newerPick(red, 5000)) << "played already";
    // Something else came in between (the player's own file as it starts): the pick plays again.
    EXPECT_EQ(second.newerPick(blue, 5000).value_or(SharedPicks::Pick{}).file, red);
    EXPECT_FALSE(first.newerPick(red, 5000)) << "the maker does not follow its own pick back";

    // The second copy's item ends first: an old pick is not followed; its own pick is, by the first.
    now += 6000;
    EXPECT_FALSE(second.newerPick(red, 5000));
    ASSERT_TRUE(second.publish(blue));
    now += 700;
    EXPECT_EQ(first.newerPick(red, 5000).value_or(SharedPicks::Pick{}).file, blue);
    EXPECT_FALSE(second.newerPick(blue, 5000));

    // Picks made in the same millisecond still come one after the other.
    ASSERT_TRUE(first.publish(red));
    EXPECT_EQ(second.newerPick(blue, 5000).value_or(SharedPicks::Pick{}).file, red);
    ASSERT_TRUE(second.publish(blue));
    EXPECT_EQ(first.newerPick(red, 5000).value_or(SharedPicks::Pick{}).file, blue);
    EXPECT_FALSE(second.newerPick(blue, 5000));
}
