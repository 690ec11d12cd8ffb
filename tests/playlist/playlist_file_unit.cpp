#include <gtest/gtest.h>
#include <QTemporaryDir>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/PlayListFile.h"
#include "base/RuntimeError.h"
#include "playlist/PlayList.h"
#include "runtime/FormRegistry.h"
#include "support/KilledSave.h"
#include "support/TestFiles.h"
#include "support/inprocess/InProcessPlatform.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <random>

using testsupport::bytesOf;
using testsupport::putBytes;
namespace {

class PlayListFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_platform.install();
        m_path = m_platform.programFolderValue + QStringLiteral("/lumoraplus.ini");
    }
    void TearDown() override {
        QFile::setPermissions(m_platform.programFolderValue,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        runtime::forms().reset();
    }

    // Makes a folder read-only; false where the user ignores permissions (root).
    bool makeReadOnly(const QString& folder) const {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                          QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                          QFileDevice::ReadOther | QFileDevice::ExeOther);
        return !QFileInfo(folder).isWritable();
    }

    platform::InProcessPlatform m_platform;
    QString m_path;
};

PlayListData bigList(const QString& tag, int count) {
    PlayListData data;
    data.header = QStringLiteral("header ") + tag;
    for (int i = 0; i < count; ++i)
        data.entries << QStringLiteral(
                            "/home/someone/Videos/collection %1/holiday, part %2; the long version %2.mpg")
                            .arg(tag)
                            .arg(i);
    return data;
}

bool same(const PlayListData& a, const PlayListData& b) {
    return a.header == b.header && a.entries == b.entries;
}

TEST_F(PlayListFileTest, WritesTheExactLineLayout) {
    writePlayList(m_path, {QStringLiteral("1000"),
                           {QStringLiteral("C:\\Videos\\a.mpg"), QStringLiteral("C:\\Videos\\b.avi")}});
    EXPECT_EQ(bytesOf(m_path), QByteArray("1000\r\n 2 \r\nC:\\Videos\\a.mpg\r\nC:\\Videos\\b.avi\r\n"));

    // An empty list is two lines, an empty header an empty first line.
    writePlayList(m_path, {QStringLiteral("1000"), {}});
    EXPECT_EQ(bytesOf(m_path), QByteArray("1000\r\n 0 \r\n"));
    writePlayList(m_path, {QString(), {}});
    EXPECT_EQ(bytesOf(m_path), QByteArray("\r\n 0 \r\n"));

    // Entries go out verbatim, spaces included; the text is UTF-8.
    writePlayList(m_path, {QStringLiteral("h"), {QStringLiteral("  x "), QStringLiteral("/vidéo/a.mpg")}});
    EXPECT_EQ(bytesOf(m_path), QByteArray("h\r\n 2 \r\n  x \r\n/vid\xc3\xa9o/a.mpg\r\n"));
}

TEST_F(PlayListFileTest, SaveAndLoadGiveBackHeaderAndEntries) {
    const QStringList entries = {
        QStringLiteral("/media/My Videos/b clip.mpg"),
        QStringLiteral("/media/a.avi"),
        QStringLiteral("/media/a.avi"), // duplicates stay
        QStringLiteral("/media/three   spaces/x.wmv"),
        QStringLiteral("/media/comma, semicolon; both.mp3"),
        QStringLiteral("/média/été à la plage.mpg"),
    };
    for (const QString& header : {QStringLiteral("1000"), QString(), QStringLiteral("  odd ; text, é \t"),
                                  QStringLiteral("12 not a count")}) {
        SCOPED_TRACE(header.toStdString());
        writePlayList(m_path, {header, entries});
        const PlayListData back = readPlayList(m_path);
        EXPECT_EQ(back.header, header);
        EXPECT_EQ(back.entries, entries);
    }

    // Blanks around an entry do not survive the trip; a tab is not a blank.
    writePlayList(m_path, {QStringLiteral("h"),
                           {QStringLiteral("   /a/lead.mpg"), QStringLiteral("/a/trail.mpg   "),
                            QStringLiteral("  /a/both  inner.mpg  "), QStringLiteral("\t/a/tab.mpg")}});
    EXPECT_EQ(readPlayList(m_path).entries,
              (QStringList{QStringLiteral("/a/lead.mpg"), QStringLiteral("/a/trail.mpg"),
                           QStringLiteral("/a/both  inner.mpg"), QStringLiteral("\t/a/tab.mpg")}));
}

TEST_F(PlayListFileTest, BytesThatAreNotUtf8AreReadAndWrittenBackUnchanged) {
    // A header and names from a Latin-1 system beside UTF-8 ones.
    const QByteArray file = "Liste n\xb0 1\r\n 3 \r\n/media/caf\xe9.mpg\r\n/media/caf\xc3\xa9.mpg\r\n"
                            "/m\xe9" "dia/\x80\xff.avi\r\n";
    putBytes(m_path, file);
    const PlayListData read = readPlayList(m_path);
    ASSERT_EQ(read.entries.size(), 3);
    EXPECT_FALSE(read.header.contains(QChar(QChar::ReplacementCharacter)));
    EXPECT_NE(read.entries[0], read.entries[1]) << "two names, two files";
    EXPECT_EQ(read.entries[1], QStringLiteral("/media/caf\u00e9.mpg"));
    writePlayList(m_path, read);
    EXPECT_EQ(bytesOf(m_path), file);
}

TEST_F(PlayListFileTest, CountLineIsTheLeadingNumberRoundedToEven) {
    const struct {
        const char* line;
        int entries;
    } cases[] = {
        {" 3 ", 3},      {"3", 3},     {"  3", 3},   {"3.5", 4},    {"2.5", 2},       {"4.5", 4},    {"", 0},
        {"abc", 0},      {"99999", 0}, {"32768", 0}, {"-2", 0},     {"2 entries", 2}, {" 1 2", 12},  {"0", 0},
        {"99999999", 0}, {"-5", 0},    {"1e9", 0},   {"junk 5", 0}, {"32767", 32767}, {"-32768", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        putBytes(m_path, QByteArray("head\r\n") + c.line + "\r\ne1\r\ne2\r\ne3\r\ne4\r\ne5\r\ne6\r\n");
        const PlayListData data = readPlayList(m_path);
        EXPECT_EQ(data.header, QStringLiteral("head"));
        QStringList expected;
        for (int i = 1; i <= std::min(c.entries, 6); ++i)
            expected << QStringLiteral("e%1").arg(i);
        EXPECT_EQ(data.entries, expected);
    }
}

TEST_F(PlayListFileTest, ReadsWhatThereIsOfShortOrOddFiles) {
    // More entries announced than present: the ones read are kept.
    putBytes(m_path, "h\r\n 5 \r\n/a.mpg\r\n/b.mpg\r\n");
    EXPECT_EQ(readPlayList(m_path).entries,
              (QStringList{QStringLiteral("/a.mpg"), QStringLiteral("/b.mpg")}));
    // The last line needs no line end.
    putBytes(m_path, "h\r\n 2 \r\n/a.mpg\r\n/b.mpg");
    EXPECT_EQ(readPlayList(m_path).entries,
              (QStringList{QStringLiteral("/a.mpg"), QStringLiteral("/b.mpg")}));
    // An empty line among the entries is an (empty) entry.
    putBytes(m_path, "h\r\n 3 \r\n/a.mpg\r\n\r\n/c.mpg\r\n");
    EXPECT_EQ(readPlayList(m_path).entries,
              (QStringList{QStringLiteral("/a.mpg"), QString(), QStringLiteral("/c.mpg")}));

    // Lines after the announced entries are ignored.
    putBytes(m_path, "h\r\n 1 \r\n/a.mpg\r\n/extra.mpg\r\nmore\r\n");
    EXPECT_EQ(readPlayList(m_path).entries, QStringList{QStringLiteral("/a.mpg")});

    // LF-only line ends read the same as CR LF.
    putBytes(m_path, "my header\n 2 \n/x y.mpg \n/z.avi\n/ignored\n");
    PlayListData lf = readPlayList(m_path);
    EXPECT_EQ(lf.header, QStringLiteral("my header"));
    EXPECT_EQ(lf.entries, (QStringList{QStringLiteral("/x y.mpg"), QStringLiteral("/z.avi")}));

    // Header only, or nothing at all.
    putBytes(m_path, "only a header\r\n");
    lf = readPlayList(m_path);
    EXPECT_EQ(lf.header, QStringLiteral("only a header"));
    EXPECT_TRUE(lf.entries.isEmpty());
    putBytes(m_path, "");
    lf = readPlayList(m_path);
    EXPECT_TRUE(lf.header.isEmpty());
    EXPECT_TRUE(lf.entries.isEmpty());
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
}

TEST_F(PlayListFileTest, MissingFileIsAnEmptyList) {
    const PlayListData none = readPlayList(m_path);
    EXPECT_TRUE(none.header.isEmpty());
    EXPECT_TRUE(none.entries.isEmpty());

    // A folder where the file should be is not a play list either.
    QDir().mkpath(m_path);
    EXPECT_TRUE(readPlayList(m_path).entries.isEmpty());
    EXPECT_TRUE(QFileInfo(m_path).isDir());
    QDir().rmdir(m_path);
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
}

TEST_F(PlayListFileTest, FileLivesInTheProgramFolderWhenWritable) {
    EXPECT_EQ(playListFilePath(), m_platform.programFolderValue + QStringLiteral("/lumoraplus.ini"));
    m_platform.programFolderValue += QLatin1Char('/'); // no doubled separator
    EXPECT_EQ(playListFilePath(), m_platform.programFolderValue + QStringLiteral("lumoraplus.ini"));

    // No usable program folder: the user data folder takes the file, created on the first save.
    QDir(m_platform.userDataFolderValue).removeRecursively();
    m_platform.programFolderValue = m_platform.windowsDirectoryValue + QStringLiteral("/no such folder");
    const QString userPath = m_platform.userDataFolderValue + QStringLiteral("/lumoraplus.ini");
    ASSERT_EQ(playListFilePath(), userPath);
    writePlayList(playListFilePath(), {QStringLiteral("1000"), {QStringLiteral("/a.mpg")}});
    EXPECT_EQ(bytesOf(userPath), QByteArray("1000\r\n 1 \r\n/a.mpg\r\n"));
}

TEST_F(PlayListFileTest, InstalledProgramFolderSendsTheFileToUserDataEvenWhenWritable) {
    // <prefix>/bin beside <prefix>/share/lumora, as "cmake --install" and the package lay it out.
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    m_platform.programFolderValue = prefix.path() + QStringLiteral("/bin");
    EXPECT_EQ(playListFilePath(), m_platform.programFolderValue + QStringLiteral("/lumoraplus.ini"));
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("share/lumora")));
    const QString userPath = m_platform.userDataFolderValue + QStringLiteral("/lumoraplus.ini");
    EXPECT_EQ(playListFilePath(), userPath);
    writePlayList(playListFilePath(), {QStringLiteral("h"), {QStringLiteral("/a.mpg")}});
    EXPECT_TRUE(QFile::exists(userPath));
    EXPECT_EQ(QDir(m_platform.programFolderValue).entryList(QDir::Files | QDir::Hidden), QStringList());
}

TEST_F(PlayListFileTest, ReadOnlyProgramFolderSendsTheFileToUserData) {
    if (!makeReadOnly(m_platform.programFolderValue)) GTEST_SKIP() << "permissions do not apply to this user";
    EXPECT_EQ(playListFilePath(), m_platform.userDataFolderValue + QStringLiteral("/lumoraplus.ini"));
}

TEST_F(PlayListFileTest, FailedWriteRaisesAndKeepsTheOldFile) {
    const PlayListData old{QStringLiteral("old"),
                           {QStringLiteral("/old/a.mpg"), QStringLiteral("/old/b.mpg")}};
    writePlayList(m_path, old);
    const QByteArray oldBytes = bytesOf(m_path);
    const PlayListData big = bigList(QStringLiteral("new"), 30000);

    // A disk that fills up part-way through (a file-size limit stands in for it).
    {
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        auto oldHandler = signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        bool raised = false;
        try {
            writePlayList(m_path, big);
        } catch (const runtime::RuntimeError& e) {
            raised = true;
            EXPECT_EQ(e.kind(), runtime::ErrorKind::Failed);
            EXPECT_NE(QString::fromUtf8(e.what()).indexOf(m_path), -1) << e.what();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, oldHandler);
        EXPECT_TRUE(raised);
    }
    EXPECT_EQ(bytesOf(m_path), oldBytes);
    // Nothing half-written is left lying beside it.
    EXPECT_EQ(QDir(m_platform.programFolderValue).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("lumoraplus.ini")});

    // A folder that cannot be created.
    const QString under = m_path + QStringLiteral("/sub/lumoraplus.ini");
    try {
        writePlayList(under, old);
        ADD_FAILURE() << "no error for a path under a file";
    } catch (const runtime::RuntimeError& e) {
        EXPECT_EQ(e.kind(), runtime::ErrorKind::Failed);
        EXPECT_NE(QString::fromUtf8(e.what()).indexOf(under), -1) << e.what();
    }
    EXPECT_EQ(bytesOf(m_path), oldBytes);
}

TEST_F(PlayListFileTest, ReadOnlyFolderRefusesTheSaveAndKeepsTheOldFile) {
    writePlayList(m_path, {QStringLiteral("old"), {QStringLiteral("/old.mpg")}});
    const QByteArray oldBytes = bytesOf(m_path);
    if (!makeReadOnly(m_platform.programFolderValue)) GTEST_SKIP() << "permissions do not apply to this user";
    EXPECT_THROW(writePlayList(m_path, {QStringLiteral("new"), {QStringLiteral("/new.mpg")}}),
                 runtime::RuntimeError);
    EXPECT_EQ(bytesOf(m_path), oldBytes);
}

// Kills a process that keeps saving one of two large lists, at random moments: the file must always
// hold one of them whole, for readers during the saves and after the kill.
TEST_F(PlayListFileTest, KilledSaveLeavesTheOldOrTheNewFileWhole) {
    const PlayListData a = bigList(QStringLiteral("A"), 30000);
    const PlayListData b = bigList(QStringLiteral("B"), 29000);
    writePlayList(m_path, a);
    std::mt19937 rng(std::random_device{}());
    std::uniform_int_distribution<int> pause(0, 40000);

    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        // Until the kill, read alongside the saves as a player starting meanwhile would.
        int torn = 0;
        const testsupport::KilledSave killed = testsupport::saveUntilKilled(
            [&](int i) {
                try {
                    writePlayList(m_path, i % 2 ? a : b);
                } catch (...) {
                }
                return true;
            },
            std::chrono::microseconds(pause(rng)),
            [&] {
                const PlayListData now = readPlayList(m_path);
                torn += !same(now, a) && !same(now, b);
            });
        ASSERT_TRUE(killed.started) << "the saving process did not get going";
        EXPECT_EQ(torn, 0) << "a reader saw a partly written file";

        const PlayListData now = readPlayList(m_path);
        const bool isA = same(now, a), isB = same(now, b);
        EXPECT_TRUE(isA || isB) << "after the kill: header '" << now.header.toStdString() << "', "
                                << now.entries.size() << " entries";
    }
}

} // namespace
