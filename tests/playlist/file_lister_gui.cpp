#include <gtest/gtest.h>

#include "platform/inprocess/InProcessPlatform.h"
#include "playlist/PlayListFile.h"
#include "playlist/frmFileLister.h"
#include "runtime/FormRegistry.h"
#include "runtime/RuntimeError.h"
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QListWidget>

namespace {

const char* const kTitle = "Larkspur Software Lumora Video & Multimedia Screensaver";

class FileListerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_platform.install();
        registerPlaylistForms();
        m_path = m_platform.programFolderValue + QStringLiteral("/lumoraplus.ini");
    }
    void TearDown() override { runtime::forms().reset(); }

    QByteArray bytesOf(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void putBytes(const QByteArray& bytes) const {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    // The registry releases an unloaded form later; let that happen.
    static void releaseUnloaded() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    platform::InProcessPlatform m_platform;
    QString m_path;
};

TEST_F(FileListerTest, FirstUseLoadsTheFileHiddenAndLaterUsesShareTheList) {
    putBytes("my header\r\n 3 \r\n/v/a.mpg\r\n /v/b c.avi \r\n/v/a.mpg\r\n/v/not read.mpg\r\n");

    frmFileLister* lister = fileLister();
    ASSERT_NE(lister, nullptr);
    EXPECT_TRUE(lister->isLoaded());
    EXPECT_FALSE(lister->isVisible());
    EXPECT_EQ(lister->objectName(), QStringLiteral("frmFileLister"));

    auto* list = lister->findChild<QListWidget*>(QStringLiteral("List1"));
    auto* label = lister->findChild<QLabel*>(QStringLiteral("Label1"));
    ASSERT_EQ(list, lister->List1);
    ASSERT_EQ(label, lister->Label1);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("/v/b c.avi"));
    EXPECT_EQ(label->text(), QStringLiteral("my header"));
    EXPECT_EQ(lister->header(), QStringLiteral("my header"));
    // The header is painted in the colour of the face it sits on.
    EXPECT_EQ(label->palette().color(QPalette::WindowText), label->palette().color(QPalette::Button));

    EXPECT_EQ(lister->listCount(), 3);
    EXPECT_EQ(lister->listItem(0), QStringLiteral("/v/a.mpg"));
    EXPECT_EQ(lister->listItem(2), QStringLiteral("/v/a.mpg"));
    EXPECT_EQ(lister->listItem(3), QString());
    EXPECT_EQ(lister->listItem(-1), QString());

    // Later uses see the same in-memory list, unsaved additions included, and do not read the file.
    lister->addItem(QStringLiteral("/v/added.mpg"));
    putBytes("other\r\n 0 \r\n");
    frmFileLister* again = fileLister();
    EXPECT_EQ(again, lister);
    EXPECT_EQ(again->listCount(), 4);
    EXPECT_EQ(again->listItem(3), QStringLiteral("/v/added.mpg"));
    EXPECT_EQ(again->header(), QStringLiteral("my header"));

    // After an unload the next use starts from the file as it is now.
    unloadFileLister();
    EXPECT_EQ(runtime::forms().find(QStringLiteral("frmFileLister")), nullptr);
    releaseUnloaded();
    frmFileLister* fresh = fileLister();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->listCount(), 0);
    EXPECT_EQ(fresh->header(), QStringLiteral("other"));
    EXPECT_FALSE(fresh->isVisible());

    unloadFileLister();
    unloadFileLister(); // nothing loaded: nothing happens
    EXPECT_EQ(runtime::forms().loadedCount(), 0);
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
}

TEST_F(FileListerTest, WithoutAFileTheHeaderIsEmptyAndASaveWritesThat) {
    auto* unloaded = runtime::forms().get<frmFileLister>(QStringLiteral("frmFileLister"));
    ASSERT_NE(unloaded, nullptr);
    EXPECT_EQ(unloaded->header(), QStringLiteral("1000")); // the built-in caption, until a load

    frmFileLister* lister = fileLister();
    ASSERT_EQ(lister, unloaded);
    EXPECT_EQ(lister->header(), QString());
    EXPECT_EQ(lister->listCount(), 0);
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());

    EXPECT_TRUE(lister->SavePlayList());
    EXPECT_EQ(bytesOf(m_path), QByteArray("\r\n 0 \r\n"));

    lister->addItem(QStringLiteral("/media/one.mpg"));
    lister->addItem(QStringLiteral("/media/two words.avi"));
    EXPECT_TRUE(lister->SavePlayList());
    EXPECT_EQ(bytesOf(m_path), QByteArray("\r\n 2 \r\n/media/one.mpg\r\n/media/two words.avi\r\n"));
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());

    DeletePlayListFile();
    EXPECT_FALSE(QFile::exists(m_path));
    EXPECT_EQ(lister->listCount(), 2); // the file goes, the list in memory is the editor's business
}

TEST_F(FileListerTest, FailedSaveTellsTheUserAndKeepsListAndFile) {
    putBytes("1000\r\n 1 \r\n/kept.mpg\r\n");
    frmFileLister* lister = fileLister();
    ASSERT_NE(lister, nullptr);
    lister->addItem(QStringLiteral("/new.mpg"));

    // Neither the program folder nor the user data folder can hold the file: both sit under a file.
    const QString blocker = m_platform.windowsDirectoryValue + QStringLiteral("/plain file");
    {
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString oldProgram = m_platform.programFolderValue;
    m_platform.programFolderValue = blocker + QStringLiteral("/program");
    m_platform.userDataFolderValue = blocker + QStringLiteral("/data");

    EXPECT_FALSE(lister->SavePlayList());
    ASSERT_EQ(m_platform.messageBoxes.size(), 1);
    const auto& box = m_platform.messageBoxes.front();
    EXPECT_EQ(box.style, 48);
    EXPECT_EQ(box.title, QString::fromUtf8(kTitle));
    EXPECT_TRUE(box.text.contains(blocker + QStringLiteral("/data/lumoraplus.ini")))
        << box.text.toStdString();
    EXPECT_EQ(lister->listCount(), 2);
    EXPECT_EQ(lister->listItem(1), QStringLiteral("/new.mpg"));
    EXPECT_EQ(bytesOf(oldProgram + QStringLiteral("/lumoraplus.ini")),
              QByteArray("1000\r\n 1 \r\n/kept.mpg\r\n"));
}

TEST_F(FileListerTest, ListHoldsAtMost32767Entries) {
    frmFileLister* lister = fileLister();
    ASSERT_NE(lister, nullptr);
    lister->List1->setUpdatesEnabled(false);
    for (int i = 0; i < 32767; ++i)
        lister->addItem(QStringLiteral("/e%1").arg(i));
    EXPECT_EQ(lister->listCount(), 32767);
    try {
        lister->addItem(QStringLiteral("/one too many"));
        ADD_FAILURE() << "entry 32,768 was accepted";
    } catch (const runtime::RuntimeError& e) {
        EXPECT_EQ(e.kind(), runtime::ErrorKind::Overflow);
    }
    EXPECT_EQ(lister->listCount(), 32767);
    EXPECT_EQ(lister->listItem(32766), QStringLiteral("/e32766"));

    // A full list saves and loads back whole.
    ASSERT_TRUE(lister->SavePlayList());
    unloadFileLister();
    releaseUnloaded();
    frmFileLister* back = fileLister();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->listCount(), 32767);
    EXPECT_EQ(back->listItem(32766), QStringLiteral("/e32766"));
}

} // namespace
