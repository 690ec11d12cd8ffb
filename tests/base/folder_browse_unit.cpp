#include "base/FolderBrowse.h"
#include "base/FolderWalk.h"
#include "base/MediaPatterns.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

TEST(FolderBrowse, NamesSortWithoutRegardToCaseAndByCaseOnlyOnTies) {
    QStringList names{"b.mpg", "A.mpg", "a.mpg", "B.avi", "_x", "10.mpg", "9.mpg"};
    std::sort(names.begin(), names.end(), folderNameLess);
    EXPECT_EQ(names, (QStringList{"10.mpg", "9.mpg", "_x", "A.mpg", "a.mpg", "B.avi", "b.mpg"}));
}

TEST(FolderBrowse, APathIsUnderARootByWholeSteps) {
    EXPECT_TRUE(pathIsUnder("/media/usb/films", "/media/usb/"));
    EXPECT_TRUE(pathIsUnder("/media/usb/", "/media/usb"));
    EXPECT_TRUE(pathIsUnder("/", "/"));
    EXPECT_FALSE(pathIsUnder("/media/usbstick", "/media/usb"));
    EXPECT_FALSE(pathIsUnder("/media/usb/../stick", "/media/usb"));
    EXPECT_FALSE(pathIsUnder("/media/usb", QString()));
    EXPECT_FALSE(pathIsUnder(QString(), "/"));
}

TEST(FolderBrowse, ThePathsDriveIsTheLongestRootHoldingIt) {
    const QStringList roots{"/", "/media/usb", "/media/usb/inner", "/home"};
    EXPECT_EQ(driveRootOf(roots, "/media/usb/films/a"), QStringLiteral("/media/usb"));
    EXPECT_EQ(driveRootOf(roots, "/media/usb/inner"), QStringLiteral("/media/usb/inner"));
    EXPECT_EQ(driveRootOf(roots, "/media/usb/"), QStringLiteral("/media/usb"));
    EXPECT_EQ(driveRootOf(roots, "/media/usbstick/x"), QStringLiteral("/")) << "a root is a whole step";
    EXPECT_EQ(driveRootOf(roots, "/home/ann"), QStringLiteral("/home"));
    EXPECT_EQ(driveRootOf(roots, "/"), QStringLiteral("/"));
    EXPECT_EQ(driveRootOf({"/media/usb"}, "/home"), QString());
    EXPECT_EQ(driveRootOf({}, "/home"), QString());
}

TEST(FolderBrowse, TheChainRunsFromTheDrivesRootDownToTheFolder) {
    EXPECT_EQ(folderChain("/", "/home/ann/Videos"),
              (QStringList{"/", "/home", "/home/ann", "/home/ann/Videos"}));
    EXPECT_EQ(folderChain("/media/usb", "/media/usb/films//2019/"),
              (QStringList{"/media/usb", "/media/usb/films", "/media/usb/films/2019"}));
    EXPECT_EQ(folderChain("/media/usb", "/media/usb"), QStringList{"/media/usb"});
    EXPECT_EQ(folderChain("/", "/"), QStringList{"/"});
    EXPECT_EQ(folderChain("/media/usb/", "/media/usb/a/../b"), (QStringList{"/media/usb", "/media/usb/b"}));
    // A folder beyond the given root is shown from the top.
    EXPECT_EQ(folderChain("/media/usb", "/srv/films"), (QStringList{"/", "/srv", "/srv/films"}));
    EXPECT_EQ(folderChain(QString(), "/srv"), (QStringList{"/", "/srv"}));
}

TEST(FolderBrowse, SubfoldersAreListedByNameWithoutHiddenOnesOrFiles) {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    for (const char* d : {"beta", "Alpha", "alpha", ".hidden", "gamma.mpg", "10", "9"})
        ASSERT_TRUE(QDir(root).mkdir(QString::fromLatin1(d)));
    touch(root + "/file.mpg");
    touch(root + "/Zed");
    ASSERT_TRUE(QFile::link(root + "/beta", root + "/link to beta"));
    EXPECT_EQ(listFolder(root, QString()).subfolders,
              (QStringList{"10", "9", "Alpha", "alpha", "beta", "gamma.mpg", "link to beta"}));
    EXPECT_EQ(listFolder(root + "/beta/", QString()).subfolders, QStringList());
    EXPECT_EQ(listFolder(root + "/missing", QString()).subfolders, QStringList());
    EXPECT_EQ(listFolder(root + "/file.mpg", QString()).subfolders, QStringList());
}

TEST(FolderBrowse, FilesMatchTheMediaPatternsWithoutRegardToCaseAndSortByName) {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    for (const char* f : {"b.mpg", "A.AVI", "c.Mp4", "notes.txt", ".secret.mpg", "song.FLAC", "clip.mpg.part",
                          "a.mpg", "Holiday.wMv"})
        touch(root + u'/' + QString::fromLatin1(f));
    ASSERT_TRUE(QDir(root).mkdir("folder.mpg"));
    ASSERT_EQ(mkfifo(QFile::encodeName(root + "/pipe.mpg").constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(root + "/b.mpg", root + "/linked.mpg"));
    ASSERT_TRUE(QFile::link(root + "/gone", root + "/broken.mpg"));
    EXPECT_EQ(listFolder(root, mediaPatternList()).files,
              (QStringList{"A.AVI", "a.mpg", "b.mpg", "c.Mp4", "Holiday.wMv", "linked.mpg", "song.FLAC"}));
    EXPECT_EQ(listFolder(root, "*.TXT").files, QStringList{"notes.txt"});
    EXPECT_EQ(listFolder(root + "/missing", mediaPatternList()).files, QStringList());
}

TEST(FolderBrowse, AFolderIsReadableOnlyWhenItIsAListableFolder) {
    QTemporaryDir tmp;
    EXPECT_TRUE(canReadFolder(tmp.path()));
    EXPECT_TRUE(canReadFolder("/"));
    EXPECT_FALSE(canReadFolder(tmp.path() + "/missing"));
    touch(tmp.path() + "/plain");
    EXPECT_FALSE(canReadFolder(tmp.path() + "/plain"));
    EXPECT_FALSE(canReadFolder(QString()));
}

} // namespace
