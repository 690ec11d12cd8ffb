#include "base/FolderWalk.h"
#include "base/MediaPatterns.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include "support/Processes.h"
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "support/Waits.h"

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

// A tree of folders and files under a temporary folder, reachable by any user (for the runs as one
// without privileges).
class Tree {
public:
    Tree() {
        EXPECT_TRUE(m_dir.isValid());
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    }
    QString root() const { return m_dir.path(); }
    QString path(const QString& relative) const { return m_dir.path() + u'/' + relative; }
    // "a/b/" makes folders, "a/b/c.mpg" a file and its folders.
    void add(const QStringList& entries) {
        for (const QString& e : entries) {
            if (e.endsWith(u'/')) {
                ASSERT_TRUE(QDir().mkpath(path(e)));
                continue;
            }
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path(e)).path()));
            QFile f(path(e));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << e.toStdString();
        }
    }
    void link(const QString& target, const QString& at) {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path(at)).constData()),
                  0);
    }
    QStringList full(const QStringList& relative) const {
        QStringList out;
        for (const QString& r : relative)
            out << path(r);
        return out;
    }

private:
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/lumora-walk-XXXXXX")};
};

// Records what the walk hands over, and may cancel when it enters a given folder.
class Recorder : public WalkSink {
public:
    void entered(const QString& folder, const QStringList& subfolders) override {
        folders << folder;
        subfoldersOf[folder] = subfolders;
        if (folder == cancelAt) cancel = true;
    }
    void found(const QStringList& paths) override { matches += paths; }

    QStringList folders;
    QMap<QString, QStringList> subfoldersOf;
    QStringList matches;
    QString cancelAt;
    std::atomic<bool> cancel{false};
};

WalkEnd walk(const QString& start, Recorder& r, const QString& patterns = mediaPatternList(),
             int capacity = 32767) {
    WalkOptions o;
    o.start = start;
    o.patterns = patterns;
    o.capacity = capacity;
    return walkFolders(o, r.cancel, r);
}

} // namespace

TEST(FolderWalk, ListsWhatLiesBelowAFolderBeforeItsOwnFilesTakingSubfoldersFromTheLast) {
    Tree t;
    t.add({"a.mpg", "B.avi", "c.txt", ".hidden.mpg", "A/x.mpg", "A/B/y.mpg", "b/z.MP4", "b/empty/",
           ".cache/h.mpg", "C/notes.txt", "A/B/deeper/"});
    Recorder r;
    const WalkEnd end = walk(t.root(), r);
    // Subfolders in name order are A, b, C; the walk takes C, b, A; each folder's own files come last.
    EXPECT_EQ(r.matches, t.full({"b/z.MP4", "A/B/y.mpg", "A/x.mpg", "a.mpg", "B.avi"}));
    EXPECT_EQ(end.found, 5);
    EXPECT_FALSE(end.full);
    EXPECT_FALSE(end.stopped);
    EXPECT_EQ(end.unreadableCount, 0);
    // Hidden folders are not searched, and every folder is entered once, with its subfolders in order.
    EXPECT_EQ(r.folders, QStringList({t.root(), t.path("C"), t.path("b"), t.path("b/empty"), t.path("A"),
                                      t.path("A/B"), t.path("A/B/deeper")}));
    EXPECT_EQ(r.subfoldersOf[t.root()], QStringList({"A", "b", "C"}));

    // A start folder given with a trailing "/" still gets one "/" before each name.
    Recorder slash;
    walk(t.root() + u'/', slash);
    EXPECT_EQ(slash.matches.first(), t.path("b/z.MP4"));
    EXPECT_EQ(slash.matches.last(), t.path("B.avi"));
    for (const QString& m : slash.matches)
        EXPECT_FALSE(m.contains(QStringLiteral("//"))) << m.toStdString();
}

TEST(FolderWalk, MatchesNamesAsThePatternMatcherDoesWhateverTheirScript) {
    Tree t;
    // "ſ" folds to "s": the byte comparison must hand such names to the matcher.
    const QStringList names = {"UPPER.MPG",
                               "x.Mp4",
                               "clip.mpg.txt",
                               QString::fromUtf8("x.\xc5\xbfnd"),
                               QString::fromUtf8("caf\xc3\xa9.avi"),
                               QString::fromUtf8("\xc3\xa9t\xc3\xa9.txt"),
                               "clip1.mkv",
                               "clip12.mkv",
                               "song.FLAC",
                               "mpg",
                               "a.wm",
                               "a.wmv",
                               "a.wm_"};
    t.add(names);
    for (const QString& patterns : {mediaPatternList(), QStringLiteral("clip?.m*"), QStringLiteral("*.AVI;*"),
                                    QStringLiteral("*t*.txt")}) {
        Recorder r;
        walk(t.root(), r, patterns);
        const PatternMatcher m(patterns);
        QStringList expected;
        for (const QString& n : names)
            if (m.matches(n)) expected << t.path(n);
        std::sort(expected.begin(), expected.end(), folderNameLess);
        EXPECT_EQ(r.matches, expected) << patterns.toStdString();
    }
    // An empty pattern text searches for "*.mpg".
    Recorder empty;
    walk(t.root(), empty, QString());
    EXPECT_EQ(empty.matches, t.full({"UPPER.MPG"}));
}

TEST(FolderWalk, LinksToFilesAreListedLinksToFoldersNeverFollowed) {
    Tree t;
    Tree elsewhere;
    elsewhere.add({"outside.mpg"});
    t.add({"a/real.mpg", "a/b/"});
    t.link(QStringLiteral(".."), QStringLiteral("a/b/loop"));          // a loop
    t.link(t.root(), QStringLiteral("a/b/root.mpg"));                  // a folder named like media
    t.link(elsewhere.root(), QStringLiteral("a/away"));                // another tree
    t.link(t.path("a/real.mpg"), QStringLiteral("a/b/alias.mpg"));     // a file
    t.link(t.path("missing.mpg"), QStringLiteral("a/b/dangling.mpg")); // nothing
    Recorder r;
    const WalkEnd end = walk(t.root(), r);
    EXPECT_EQ(r.matches, t.full({"a/b/alias.mpg", "a/real.mpg"}));
    EXPECT_EQ(r.folders, QStringList({t.root(), t.path("a"), t.path("a/b")}));
    EXPECT_EQ(end.unreadableCount, 0);

    // Browsing may go through a link to a folder; a link to a file lists as the file.
    const FolderListing listing = listFolder(t.path("a/b"), mediaPatternList());
    ASSERT_TRUE(listing.ok);
    EXPECT_EQ(listing.subfolders, QStringList({"loop", "root.mpg"}));
    EXPECT_EQ(listing.files, QStringList({"alias.mpg"}));
    // A link given as the start folder is followed: the user chose it.
    Recorder through;
    walk(t.path("a/away"), through);
    EXPECT_EQ(through.matches, QStringList({t.path("a/away/outside.mpg")}));
}

TEST(FolderWalk, StopsAtTheCapacityAndSaysItIsFull) {
    Tree t;
    t.add({"p/1.mpg", "p/2.mpg", "p/3.mpg", "q/4.mpg", "q/5.mpg", "6.mpg", "7.mpg"});
    Recorder all;
    walk(t.root(), all);
    ASSERT_EQ(all.matches, t.full({"q/4.mpg", "q/5.mpg", "p/1.mpg", "p/2.mpg", "p/3.mpg", "6.mpg", "7.mpg"}));

    Recorder exact;
    const WalkEnd fits = walk(t.root(), exact, mediaPatternList(), 7);
    EXPECT_FALSE(fits.full);
    EXPECT_EQ(exact.matches, all.matches);

    // One more than fits: the walk stops at the last entry that fits, and no folder adds anything more.
    Recorder capped;
    const WalkEnd full = walk(t.root(), capped, mediaPatternList(), 3);
    EXPECT_TRUE(full.full);
    EXPECT_EQ(full.found, 3);
    EXPECT_EQ(capped.matches, all.matches.mid(0, 3));

    Recorder none;
    const WalkEnd nothing = walk(t.root(), none, mediaPatternList(), 0);
    EXPECT_TRUE(nothing.full);
    EXPECT_TRUE(none.matches.isEmpty());
}

TEST(FolderWalk, AStopSeenAtAFolderLeavesItsParentOutButTheFoldersAboveStillAddTheirOwn) {
    Tree t;
    t.add({"s.mpg", "P/p.mpg", "Q/q.mpg", "Q/R/r.mpg", "Q/R/S/deep.mpg", "Q/T/t.mpg"});
    Recorder full;
    walk(t.root(), full);
    ASSERT_EQ(full.matches,
              t.full({"Q/T/t.mpg", "Q/R/S/deep.mpg", "Q/R/r.mpg", "Q/q.mpg", "P/p.mpg", "s.mpg"}));

    // Asked to stop while in Q/T: the walk sees it entering Q/R, so Q adds nothing, the start folder
    // adds its own file, and P is never entered.
    Recorder r;
    r.cancelAt = t.path("Q/T");
    const WalkEnd end = walk(t.root(), r);
    EXPECT_TRUE(end.stopped);
    EXPECT_EQ(r.matches, t.full({"Q/T/t.mpg", "s.mpg"}));
    EXPECT_FALSE(r.folders.contains(t.path("P")));
    EXPECT_FALSE(r.folders.contains(t.path("Q/R")));

    // Stopped before it starts: nothing at all.
    Recorder early;
    early.cancel = true;
    EXPECT_TRUE(walk(t.root(), early).stopped);
    EXPECT_TRUE(early.matches.isEmpty());
    EXPECT_TRUE(early.folders.isEmpty());
}

// The walk as a user who may not read everything. Root reads every folder, so as root the walk runs
// in a child process that has given up its privileges.
static WalkEnd walkWithoutPrivileges(const QString& start, QStringList& matches, bool& ran) {
    ran = false;
    if (::geteuid() != 0) {
        Recorder r;
        const WalkEnd end = walk(start, r);
        matches = r.matches;
        ran = true;
        return end;
    }
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0)
            ::_exit(3);
        Recorder r;
        const WalkEnd end = walk(start, r);
        QByteArray out = QByteArray::number(end.unreadableCount) + '\n';
        out += end.unreadable.join(u'|').toUtf8() + '\n';
        out += r.matches.join(u'|').toUtf8() + '\n';
        const ssize_t written = ::write(pipeFds[1], out.constData(), size_t(out.size()));
        ::_exit(written == out.size() ? 0 : 4);
    }
    ::close(pipeFds[1]);
    QByteArray in;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        in.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    const QList<QByteArray> lines = in.split('\n');
    WalkEnd end;
    end.unreadableCount = lines.value(0).toInt();
    const QString named = QString::fromUtf8(lines.value(1));
    end.unreadable = named.isEmpty() ? QStringList() : named.split(u'|');
    const QString found = QString::fromUtf8(lines.value(2));
    matches = found.isEmpty() ? QStringList() : found.split(u'|');
    ran = true;
    return end;
}

TEST(FolderWalk, PassesOverFoldersItCannotReadAndCountsThem) {
    Tree t;
    t.add({"open/a.mpg", "locked/hidden.mpg", "locked/below/b.mpg", "also/locked/c.mpg", "z.mpg"});
    ASSERT_EQ(::chmod(QFile::encodeName(t.path("locked")).constData(), 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(t.path("also/locked")).constData(), 0), 0);
    QStringList matches;
    bool ran = false;
    const WalkEnd end = walkWithoutPrivileges(t.root(), matches, ran);
    ::chmod(QFile::encodeName(t.path("locked")).constData(), 0755);
    ::chmod(QFile::encodeName(t.path("also/locked")).constData(), 0755);
    ASSERT_TRUE(ran) << "the unprivileged walk did not run";
    EXPECT_EQ(matches, t.full({"open/a.mpg", "z.mpg"}));
    EXPECT_EQ(end.unreadableCount, 2);
    ASSERT_EQ(end.unreadable.size(), 2);
    // Taken from the last: "open", "locked", "also".
    EXPECT_TRUE(end.unreadable[0].startsWith(t.path("locked") + QStringLiteral(": ")))
        << end.unreadable[0].toStdString();
    EXPECT_TRUE(end.unreadable[1].startsWith(t.path("also/locked") + QStringLiteral(": ")))
        << end.unreadable[1].toStdString();
    EXPECT_TRUE(end.unreadable[0].contains(QString::fromLocal8Bit(std::strerror(EACCES))));

    // A folder that goes while the walk is on its way is passed over without a word.
    class Remover : public Recorder {
    public:
        QString doomed;
        void entered(const QString& folder, const QStringList& subfolders) override {
            Recorder::entered(folder, subfolders);
            if (!doomed.isEmpty()) QDir(doomed).removeRecursively();
            doomed.clear();
        }
    } remover;
    remover.doomed = t.path("open");
    const WalkEnd vanished = walk(t.root(), remover);
    EXPECT_EQ(vanished.unreadableCount, 0) << vanished.unreadable.join(u' ').toStdString();
    EXPECT_EQ(remover.matches,
              t.full({"locked/below/b.mpg", "locked/hidden.mpg", "also/locked/c.mpg", "z.mpg"}));

    // A start folder that is not there is one folder that could not be read.
    Recorder gone;
    const WalkEnd missing = walk(t.path("nowhere"), gone);
    EXPECT_EQ(missing.unreadableCount, 1);
    EXPECT_TRUE(gone.matches.isEmpty());
}

TEST(FolderWalk, NamesOnlyTheFirstFewUnreadableFolders) {
    Tree t;
    QStringList entries;
    for (int i = 0; i < 8; ++i)
        entries << QStringLiteral("d%1/x.mpg").arg(i);
    t.add(entries);
    for (int i = 0; i < 8; ++i)
        ::chmod(QFile::encodeName(t.path(QStringLiteral("d%1").arg(i))).constData(), 0);
    QStringList matches;
    bool ran = false;
    const WalkEnd end = walkWithoutPrivileges(t.root(), matches, ran);
    for (int i = 0; i < 8; ++i)
        ::chmod(QFile::encodeName(t.path(QStringLiteral("d%1").arg(i))).constData(), 0755);
    ASSERT_TRUE(ran);
    EXPECT_EQ(end.unreadableCount, 8);
    EXPECT_EQ(end.unreadable.size(), WalkEnd::kUnreadableNamed);
    EXPECT_TRUE(matches.isEmpty());
}

// A file system mounted inside the tree is another drive: the walk does not go in.
TEST(FolderWalk, StaysOnTheStartFolderFileSystem) {
    Tree t;
    t.add({"here.mpg", "mnt/", "sub/there.mpg"});
    const testsupport::ProcessResult mount = testsupport::runProcess(
        QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=1m", "lumora-test", t.path("mnt")}, 5000);
    if (mount.exitCode != 0)
        GTEST_SKIP() << "no file system could be mounted here (needs root): " << mount.err.trimmed().toStdString();
    struct Unmount {
        QString at;
        ~Unmount() { testsupport::runProcess(QStringLiteral("umount"), {QStringLiteral("-l"), at}); }
    } unmount{t.path("mnt")};
    t.add({"mnt/inside.mpg", "mnt/deeper/more.mpg"});

    Recorder r;
    const WalkEnd end = walk(t.root(), r);
    EXPECT_EQ(r.matches, t.full({"sub/there.mpg", "here.mpg"}));
    EXPECT_FALSE(r.folders.contains(t.path("mnt")));
    EXPECT_EQ(end.unreadableCount, 0);
    // Browsing shows it; a walk started inside it searches it.
    EXPECT_TRUE(listFolder(t.root(), mediaPatternList()).subfolders.contains(QStringLiteral("mnt")));
    Recorder inside;
    walk(t.path("mnt"), inside);
    EXPECT_EQ(inside.matches, t.full({"mnt/deeper/more.mpg", "mnt/inside.mpg"}));
}

// ---- The walk on its own thread ----

namespace {

struct Received {
    QStringList matches;
    QStringList folders;
    int batches = 0;
    int finished = 0;
    WalkEnd end;
    void connectTo(FolderWalk& w) {
        QObject::connect(&w, &FolderWalk::found, [this](const QStringList& p) {
            matches += p;
            ++batches;
        });
        QObject::connect(&w, &FolderWalk::entered,
                         [this](const QString& f, const QStringList&) { folders << f; });
        QObject::connect(&w, &FolderWalk::finished, [this](const WalkEnd& e) {
            end = e;
            ++finished;
        });
    }
    bool waitFinished(int ms = 10000) {
        (void)QTest::qWaitFor([this] { return finished > 0; }, ms);
        return finished == 1;
    }
};

// Folders f0000 .. f8999, each with a subfolder holding one match, and a match of its own: a walk
// long enough to be stopped half-way, though its first finds only arrive with the owner's timer (a
// quiet machine walks two thousand such folders within one tick). Made once, with plain calls: a
// busy disk makes and removes thousands of folders slowly.
constexpr int kWide = 9000;
class WideTree {
public:
    static WideTree& instance() {
        static WideTree tree;
        return tree;
    }
    QString root() const { return m_tree.root(); }
    QString path(const QString& relative) const { return m_tree.path(relative); }
    // The walk takes the folders from the last.
    QString leafMatch(int nth) const {
        return path(QStringLiteral("f%1/g/clip.mpg").arg(kWide - 1 - nth, 4, 10, QLatin1Char('0')));
    }

private:
    WideTree() {
        for (int i = 0; i < kWide; ++i) {
            const QByteArray f =
                QFile::encodeName(m_tree.path(QStringLiteral("f%1").arg(i, 4, 10, QLatin1Char('0'))));
            ::mkdir(f.constData(), 0755);
            ::mkdir((f + "/g").constData(), 0755);
            ::close(::open((f + "/g/clip.mpg").constData(), O_WRONLY | O_CREAT, 0644));
        }
        m_tree.add({"own.mpg"});
    }
    Tree m_tree;
};

} // namespace

TEST(FolderWalkThread, HandsOverInTheWalksOrderAndEndsOnce) {
    const WideTree& t = WideTree::instance();
    Recorder direct;
    walk(t.root(), direct);
    ASSERT_EQ(direct.matches.size(), kWide + 1);

    FolderWalk w;
    Received got;
    got.connectTo(w);
    w.start({t.root(), mediaPatternList(), 32767});
    EXPECT_TRUE(w.isRunning());
    ASSERT_TRUE(got.waitFinished());
    EXPECT_FALSE(w.isRunning());
    EXPECT_EQ(got.matches, direct.matches);
    EXPECT_EQ(got.end.found, kWide + 1);
    EXPECT_FALSE(got.end.stopped);
    EXPECT_GE(got.batches, 1);
    // The progress is the walk's own, thinned out.
    EXPECT_LE(got.folders.size(), direct.folders.size());
    for (const QString& f : got.folders)
        EXPECT_TRUE(direct.folders.contains(f));
    // Nothing more comes after the end: a stretch of time, as there is nothing to wait for.
    QTest::qWait(50);
    EXPECT_EQ(got.finished, 1);
}

TEST(FolderWalkThread, StopEndsAWalkAtOnceAndWhatItFoundStillArrives) {
    const WideTree& t = WideTree::instance();
    FolderWalk w;
    Received got;
    got.connectTo(w);
    w.start({t.root(), mediaPatternList(), 32767});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !got.matches.isEmpty(); }, 10000));
    QElapsedTimer clock;
    clock.start();
    w.stop();
    ASSERT_TRUE(got.waitFinished());
    const qint64 ms = clock.elapsed();
    std::printf("stop to end: %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 500) << "a stopped walk must end at its next folder";
    EXPECT_TRUE(got.end.stopped);
    QStringList leaves = got.matches;
    // The start folder adds its own file as the walk unwinds, unless the stop was seen entering one of
    // its own subfolders.
    if (!leaves.isEmpty() && leaves.last() == t.path(QStringLiteral("own.mpg"))) leaves.removeLast();
    EXPECT_LT(leaves.size(), kWide);
    for (int i = 0; i < leaves.size(); ++i)
        ASSERT_EQ(leaves[i], t.leafMatch(i)) << i;
}

TEST(FolderWalkThread, AnAbandonedOrDestroyedWalkSaysNothingMore) {
    const WideTree& t = WideTree::instance();
    Received got;
    {
        FolderWalk w;
        got.connectTo(w);
        w.start({t.root(), mediaPatternList(), 32767});
        testsupport::waitFor([&] { return !got.matches.isEmpty(); }, 10000);
        w.abandon();
        EXPECT_FALSE(w.isRunning());
        const int before = int(got.matches.size());
        // A stretch of time in which the abandoned walk would have said more.
        QTest::qWait(200);
        EXPECT_EQ(got.matches.size(), before);
        EXPECT_EQ(got.finished, 0);

        // A new walk after an abandoned one gets only its own results.
        Received second;
        second.connectTo(w);
        got.matches.clear();
        w.start({t.path("f0001"), mediaPatternList(), 32767});
        ASSERT_TRUE(second.waitFinished());
        EXPECT_EQ(second.matches, QStringList({t.path("f0001/g/clip.mpg")}));
        EXPECT_EQ(got.matches, second.matches) << "both receivers hear the one walk";

        w.start({t.root(), mediaPatternList(), 32767});
    } // destroyed while it walks
    const int finishedBefore = got.finished;
    // A stretch of time in which the destroyed walk would have said more.
    QTest::qWait(200);
    EXPECT_EQ(got.finished, finishedBefore);
}

TEST(FolderWalkThread, FinishWaitsForAStoppedWalkAndHandsOverTheRest) {
    const WideTree& t = WideTree::instance();
    FolderWalk w;
    Received got;
    got.connectTo(w);
    w.start({t.root(), mediaPatternList(), 32767});
    w.stop();
    EXPECT_TRUE(w.finish(2000));
    EXPECT_EQ(got.finished, 1);
    EXPECT_TRUE(got.end.stopped);
    EXPECT_FALSE(w.isRunning());
}

namespace {
int openFiles() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}
} // namespace

TEST(FolderWalkThread, DestroyedMidWayItEndsAtOnceWithEveryFolderItOpenedClosed) {
    const WideTree& t = WideTree::instance();
    const int filesBefore = openFiles();
    Received got;
    auto w = std::make_unique<FolderWalk>();
    got.connectTo(*w);
    w->start({t.root(), mediaPatternList(), 32767});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !got.matches.isEmpty(); }, 10000));
    ASSERT_TRUE(w->isRunning()) << "the walk must still be going when it is destroyed";
    QElapsedTimer clock;
    clock.start();
    w.reset();
    const qint64 ms = clock.elapsed();
    std::printf("destroyed in: %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 500) << "a walk told to end does so at its next folder";
    EXPECT_EQ(openFiles(), filesBefore) << "its thread has ended, and closed every folder it opened";
    const int matchesAfter = int(got.matches.size());
    QTest::qWait(100);
    EXPECT_EQ(got.matches.size(), matchesAfter);
    EXPECT_EQ(got.finished, 0);
}
