#include "base/FileNames.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/mpv/LocalMedia.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(MountedFileSystems, DrivesAreRealFileSystemsAndHoldTheProgram) {
    platform::MountedFileSystems files;
    const QList<platform::Drive> drives = files.drives();
    ASSERT_FALSE(drives.isEmpty());
    QStringList roots;
    for (const auto& d : drives) {
        roots << d.root;
        EXPECT_FALSE(d.name.isEmpty()) << d.root.toStdString();
        for (const char* pseudo : {"/proc", "/sys", "/dev"})
            EXPECT_FALSE(d.root == QLatin1String(pseudo) || d.root.startsWith(QLatin1String(pseudo) + u'/'))
                << d.root.toStdString();
    }
    EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end()));
    // The program's drive is one of them, and it holds the program.
    const QString root = files.programDriveRoot();
    EXPECT_TRUE(roots.contains(root)) << root.toStdString();
    EXPECT_TRUE(QCoreApplication::applicationDirPath().startsWith(root));
    EXPECT_EQ(files.homeFolder(), QDir::homePath());
}

namespace {

QString writeText(const QString& path, const QByteArray& text) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    return path;
}

} // namespace

TEST(LocalMedia, OnlyPathsAndFileAddressesNameLocalFiles) {
    using platform::mpv::localPath;
    EXPECT_EQ(localPath("/media/a b.mpg"), "/media/a b.mpg");
    EXPECT_EQ(localPath("clips/../a.mpg", "/media"), "/media/a.mpg");
    EXPECT_EQ(localPath("file:///media/a%20b.mpg"), "/media/a b.mpg");
    EXPECT_EQ(localPath("FILE://localhost/media/a.mpg"), "/media/a.mpg");
    // A name that only looks like an address is a file in the folder.
    EXPECT_EQ(localPath("http:a.mpg", "/media"), "/media/http:a.mpg");
    // "-" is standard input to libmpv; here it is a file of that name.
    EXPECT_EQ(localPath("-", "/media"), "/media/-");
    for (const char* address : {"fd://3", "av://lavfi:testsrc", "lavf://x", "edl:///media/a.mpg",
                                "memory://abc", "http://127.0.0.1/x.mp4", "https://example.org/x",
                                "file://otherhost/media/a.mpg", "smb://server/share/a.mpg", ""})
        EXPECT_EQ(localPath(address), "") << address;
}

TEST(LocalMedia, PlayListTextGivesItsEntriesInOrder) {
    using platform::mpv::playListEntries;
    EXPECT_EQ(
        playListEntries(
            "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:1,Red\r\nred.mpg\r\n\r\n  /abs/blue.mpg  \nhttp://x/y\n", false),
        (QStringList{"red.mpg", "/abs/blue.mpg", "http://x/y"}));
    EXPECT_EQ(playListEntries(
                  "[playlist]\nFile2=b.mpg\nTitle1=A\nFile1=a.mpg\nFile10=c.mpg\nNumberOfEntries=3\n", true),
              (QStringList{"a.mpg", "b.mpg", "c.mpg"}));
    EXPECT_TRUE(playListEntries("", false).isEmpty());
    EXPECT_TRUE(platform::mpv::isPlayListFile("/a/List.M3U", ""));
    EXPECT_TRUE(platform::mpv::isPlayListFile("/a/list.mpg", "#EXTM3U\n"));
    EXPECT_TRUE(platform::mpv::isPlayListFile("/a/list", "[Playlist]\n"));
    EXPECT_FALSE(platform::mpv::isPlayListFile("/a/clip.mpg", "\x00\x00\x01\xba"));
}

TEST(LocalMedia, AnItemResolvesToItsRegularFilesOnly) {
    QTemporaryDir dir;
    const QString d = dir.path();
    const QString a = writeText(d + "/a.mpg", "a"), b = writeText(d + "/b c.mpg", "b");
    ASSERT_EQ(::mkfifo(QFile::encodeName(d + "/pipe.mpg").constData(), 0600), 0);
    QDir().mkpath(d + "/folder");
    writeText(d + "/inner.pls", "[playlist]\nFile1=b c.mpg\nFile2=pipe.mpg\nFile3=folder\n");
    writeText(d + "/outer.m3u",
              "#EXTM3U\na.mpg\ninner.pls\nfd://0\nhttp://127.0.0.1/x\nmissing.mpg\nfile://" +
                  QFile::encodeName(d) + "/a.mpg\nouter.m3u\n");
    using platform::mpv::resolveItem;
    EXPECT_EQ(resolveItem(a), QStringList{a});
    EXPECT_EQ(resolveItem("file://" + a), QStringList{a});
    EXPECT_EQ(resolveItem(d + "/outer.m3u"), (QStringList{a, b, a}));
    for (const QString& none : {d + "/pipe.mpg", d + "/folder", d + "/missing.mpg", QString("/dev/zero"),
                                QString("fd://0"), "file://" + d + "/pipe.mpg"})
        EXPECT_TRUE(resolveItem(none).isEmpty()) << none.toStdString();
    // A path swapped for a pipe between the look and the open is opened without waiting for a writer,
    // and refused; a regular file's descriptor reads as any other.
    using platform::mpv::openRegularFile;
    const QByteArray pipe = QFile::encodeName(d + "/pipe.mpg");
    auto opened = std::async(std::launch::async, [&] { return openRegularFile(d + "/pipe.mpg"); });
    const bool answered = opened.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!answered) {
        // A writer lets a reader stuck in its open go, so that the test ends.
        const int writer = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK);
        opened.wait();
        if (writer >= 0) ::close(writer);
    }
    EXPECT_TRUE(answered) << "opening a pipe waited for a writer";
    const int fromPipe = opened.get();
    EXPECT_EQ(fromPipe, -1);
    if (fromPipe >= 0) ::close(fromPipe);
    EXPECT_EQ(openRegularFile(d + "/folder"), -1);
    const int fd = openRegularFile(a);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    char byte = 0;
    EXPECT_EQ(::read(fd, &byte, 1), 1);
    EXPECT_EQ(byte, 'a');
    ::close(fd);

    // Lists that list each other end; nesting deeper than the limit is left out.
    writeText(d + "/x.m3u", "y.m3u\na.mpg\n");
    writeText(d + "/y.m3u", "x.m3u\n");
    EXPECT_EQ(resolveItem(d + "/x.m3u"), QStringList{a});
    for (int i = 0; i < 8; ++i)
        writeText(d + QString("/level%1.m3u").arg(i), QString("level%1.m3u\nb c.mpg\n").arg(i + 1).toUtf8());
    EXPECT_EQ(resolveItem(d + "/level0.m3u").size(), platform::mpv::kMaxPlayListNesting);
}

TEST(LocalMedia, PathsLibmpvWouldTakeForAnAddressAreHandedAsFileAddresses) {
    using platform::mpv::openName;
    EXPECT_EQ(openName("/media/a b.mpg"), QByteArray("/media/a b.mpg"));
    EXPECT_TRUE(openName("/media/av://x.mpg").startsWith("file:///media/av:"))
        << openName("/media/av://x.mpg").constData();
}

TEST(FileNames, BytesThatAreNotUtf8ComeBackAsTheyWere) {
    using platform::fileNameBytes;
    using platform::fileNameShown;
    using platform::fileNameText;
    EXPECT_EQ(fileNameText("/media/caf\xc3\xa9.mpg"), QString::fromUtf8("/media/caf\xc3\xa9.mpg"));
    EXPECT_EQ(fileNameBytes(QString::fromUtf8("/media/caf\xc3\xa9 \xf0\x9f\x8e\xac.mpg")),
              QByteArray("/media/caf\xc3\xa9 \xf0\x9f\x8e\xac.mpg"));
    // Latin-1, a stray continuation byte, an overlong slash, an encoded surrogate, a cut-off
    // sequence, and a four-byte character whose low half lies in the range kept for bytes.
    for (const QByteArray& bytes :
         {QByteArray("/media/caf\xe9.mpg"), QByteArray("\x80\xbf\xff\xfe"), QByteArray("a\xc0\xaf" "b"),
          QByteArray("\xed\xb2\x80"), QByteArray("end\xe2\x82"), QByteArray("\xf0\x90\x82\x80\xe9"),
          QByteArray("\xf4\x90\x80\x80"), QByteArray()}) {
        const QString text = fileNameText(bytes);
        EXPECT_EQ(fileNameBytes(text), bytes) << bytes.toHex().constData();
        EXPECT_FALSE(text.contains(QChar(QChar::ReplacementCharacter))) << bytes.toHex().constData();
    }
    EXPECT_EQ(fileNameText("caf\xe9").size(), 4);
    EXPECT_NE(fileNameText("caf\xe9"), fileNameText("caf\xc3\xa9")) << "two names, two files";
    // Shown as Latin-1 where that is a character.
    EXPECT_EQ(fileNameShown(fileNameText("/media/caf\xe9.mpg")), QString::fromUtf8("/media/caf\xc3\xa9.mpg"));
    EXPECT_EQ(fileNameShown(fileNameText("a\x85")), QStringLiteral("a\uFFFD"));
}

TEST(LocalMedia, AFileNamedInLatin1BytesResolvesAndOpensByItsBytes) {
    QTemporaryDir dir;
    const QByteArray native = QFile::encodeName(dir.path()) + "/caf\xe9.mpg";
    const QByteArray list = QFile::encodeName(dir.path()) + "/li\xf1" "a.m3u";
    // Qt's own clean-up of the temporary folder cannot name them.
    const auto removeThem = qScopeGuard([&] {
        for (const QByteArray& name : {native, list})
            ::unlink(name.constData());
    });
    for (const QByteArray& name : {native, list}) {
        FILE* f = std::fopen(name.constData(), "wb");
        ASSERT_NE(f, nullptr);
        if (name == list) std::fputs("caf\xe9.mpg\n", f);
        else std::fputs("not really a clip", f);
        std::fclose(f);
    }
    const QString path = platform::fileNameText(native);
    EXPECT_TRUE(platform::mpv::isRegularFile(path));
    EXPECT_EQ(platform::mpv::resolveItem(path), QStringList{path});
    EXPECT_EQ(platform::mpv::resolveItem(platform::fileNameText(list)), QStringList{path});
    EXPECT_EQ(platform::mpv::openName(path), native);
    const QString odd = platform::fileNameText("/media/av://caf\xe9.mpg");
    EXPECT_EQ(platform::mpv::openName(odd), QByteArray("file:///media/av://caf%E9.mpg"));
}
