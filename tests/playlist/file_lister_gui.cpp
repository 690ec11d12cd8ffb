#include <gtest/gtest.h>

#include "base/Convert.h"
#include "base/PlayListFile.h"
#include "base/RuntimeError.h"
#include "platform/Settings.h"
#include "playlist/BrowseLists.h"
#include "playlist/frmFileLister.h"
#include "runtime/Controls.h"
#include "runtime/FormRegistry.h"
#include "support/RecordingForm.h"
#include "support/SettingKeys.h"
#include "support/TestFiles.h"
#include "support/inprocess/InProcessPlatform.h"
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

using settings::Key;
using testsupport::keyName;

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using testsupport::bytesOf;
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

    void putBytes(const QByteArray& bytes) const { testsupport::putBytes(m_path, bytes); }
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

    auto* list = lister->findChild<QListView*>(QStringLiteral("List1"));
    auto* label = lister->findChild<QLabel*>(QStringLiteral("Label1"));
    ASSERT_EQ(list, lister->List1);
    ASSERT_EQ(label, lister->Label1);
    ASSERT_EQ(list->model()->rowCount(), 3);
    EXPECT_EQ(list->model()->index(1, 0).data().toString(), QStringLiteral("/v/b c.avi"));
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

// ---- The editor on screen ----

const char* const kAddAllMessage =
    "Use this button to add all of the files in the 'Multimedia Files Located' list box "
    "to the 'Multimedia Files To Be Saved In Play List'.";
const char* const kAddAllTitle = "'Multimedia Files Located' File List Must Be Populated With Filenames";

// The order options and the save button as one text, so a failure shows the whole state:
// "save+ order:on/sel random:off/-" (on/off enabled, sel/- selected).
QString state(const frmFileLister* f) {
    auto opt = [](const runtime::OptionButton* o) {
        return QString(o->isEnabled() ? "on" : "off") + (o->isChecked() ? "/sel" : "/-");
    };
    return QStringLiteral("save%1 order:%2 random:%3")
        .arg(f->Command1->isEnabled() ? "+" : "-", opt(f->optInOrderOfSelection), opt(f->optInRandomOrder));
}

class EditorTest : public FileListerTest {
protected:
    void SetUp() override {
        FileListerTest::SetUp();
        m_root = m_platform.programDriveRootValue;
        m_platform.useSettingsFile(m_root + QStringLiteral("/config/larkspur/lumora.ini"));
        m_media = m_root + QStringLiteral("/media");
        ASSERT_TRUE(QDir().mkpath(m_media));
    }

    void makeFiles(const QString& folder, const QStringList& names) {
        ASSERT_TRUE(QDir().mkpath(folder));
        for (const QString& n : names) {
            QFile f(folder + u'/' + n);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << n.toStdString();
        }
    }
    void writeList(int count) {
        QByteArray bytes = "1000\r\n " + QByteArray::number(count) + " \r\n";
        for (int i = 0; i < count; ++i)
            bytes += "/old/e" + QByteArray::number(i) + ".mpg\r\n";
        putBytes(bytes);
    }
    // Loads and shows the editor in `folder` (saved as the last folder).
    frmFileLister* open(const QString& folder = QString()) {
        if (!folder.isEmpty()) settings::save(Key::PathToLastDirectoryFrmFileLister, folder);
        frmFileLister* f = fileLister();
        if (f) f->Show();
        QCoreApplication::processEvents();
        return f;
    }
    void reload() {
        unloadFileLister();
        releaseUnloaded();
    }
    static void clickRow(QAbstractItemView* list, int row) {
        const QRect r = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    }
    static void moveOver(QWidget* w) {
        QMouseEvent move(QEvent::MouseMove, QPointF(4, 4), w->mapToGlobal(QPointF(4, 4)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &move);
    }
    QStringList entries(const frmFileLister* f) const {
        QStringList out;
        for (int i = 0; i < f->listCount(); ++i)
            out << f->listItem(i);
        return out;
    }
    QStringList folderPaths(const frmFileLister* f) const {
        QStringList out;
        for (int i = 0; i < f->Dir1->count(); ++i)
            out << f->Dir1->item(i)->data(FolderList::kPathRole).toString();
        return out;
    }
    // Waits for a closing animation to unload the form.
    bool unloaded() {
        return QTest::qWaitFor([] { return runtime::forms().find(QStringLiteral("frmFileLister")) == nullptr; }, 2000);
    }

    QString m_root, m_media;
};

TEST_F(EditorTest, LoadSetsTheSaveButtonAndTheOrderOptionsByTheCount) {
    const QStringList inOrder = {"save- order:off/- random:off/-", "save+ order:on/sel random:off/-",
                                 "save+ order:on/sel random:off/-", "save+ order:on/sel random:on/-",
                                 "save+ order:on/sel random:on/-"};
    // Random order read as True is selected whatever the count, enabled or not.
    const QStringList random = {"save- order:off/- random:off/sel", "save+ order:on/- random:off/sel",
                                "save+ order:on/- random:off/sel", "save+ order:on/- random:on/sel",
                                "save+ order:on/- random:on/sel"};
    for (int count = 0; count <= 4; ++count) {
        for (bool isRandom : {false, true}) {
            writeList(count);
            settings::save(Key::PlayInRandomOrder, isRandom);
            frmFileLister* f = fileLister();
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(f->listCount(), count);
            EXPECT_EQ(state(f), (isRandom ? random : inOrder)[count]) << count << (isRandom ? " random" : "");
            reload();
        }
    }
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
}

TEST_F(EditorTest, AddAllAppendsEveryFileAndSetsTheOptionsByTheNewCount) {
    const struct {
        int before, files;
        const char* expected;
    } rows[] = {{0, 1, "save- order:off/- random:off/-"},  {0, 2, "save- order:on/sel random:off/-"},
                {1, 1, "save+ order:on/sel random:off/-"}, {1, 2, "save+ order:on/- random:on/sel"},
                {2, 1, "save+ order:on/- random:on/sel"},  {0, 4, "save- order:on/sel random:on/-"},
                {3, 2, "save+ order:on/sel random:on/-"}};
    for (const auto& row : rows) {
        const QString folder = m_media + QStringLiteral("/with %1").arg(row.files);
        QStringList names;
        for (int i = row.files; i > 0; --i)
            names << QStringLiteral("Clip %1.MPG").arg(i);
        makeFiles(folder, names);
        writeList(row.before);
        settings::save(Key::PlayInRandomOrder, false);
        frmFileLister* f = open(folder);
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(f->File1->count(), row.files);
        f->Command4->click();
        ASSERT_EQ(f->listCount(), row.before + row.files);
        // The save button keeps its state from the load.
        EXPECT_EQ(state(f), QString::fromLatin1(row.expected)) << row.before << "+" << row.files;
        // Entries in the file list's order, folder and name joined by one "/".
        EXPECT_EQ(f->listItem(row.before), folder + QStringLiteral("/Clip 1.MPG"));
        EXPECT_EQ(f->listItem(row.before + row.files - 1),
                  folder + QStringLiteral("/Clip %1.MPG").arg(row.files));
        reload();
    }
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
}

TEST_F(EditorTest, AddAllWithAnEmptyFileListSaysSoAddsNothingAndStillSetsTheOptions) {
    makeFiles(m_media + QStringLiteral("/empty"), {"notes.txt", ".hidden.mpg"});
    writeList(3);
    frmFileLister* f = open(m_media + QStringLiteral("/empty"));
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->File1->count(), 0);
    EXPECT_EQ(state(f), QStringLiteral("save+ order:on/sel random:on/-"));
    f->Command4->click();
    ASSERT_EQ(m_platform.messageBoxes.size(), 1);
    EXPECT_EQ(m_platform.messageBoxes[0].text, QString::fromLatin1(kAddAllMessage));
    EXPECT_EQ(m_platform.messageBoxes[0].style, 64);
    EXPECT_EQ(m_platform.messageBoxes[0].title, QString::fromLatin1(kAddAllTitle));
    EXPECT_EQ(f->listCount(), 3);
    EXPECT_EQ(state(f), QStringLiteral("save+ order:on/- random:on/sel"));

    // With no entries at all, both options end unselected and disabled.
    reload();
    writeList(0);
    f = open();
    f->Command4->click();
    EXPECT_EQ(m_platform.messageBoxes.size(), 2);
    EXPECT_EQ(state(f), QStringLiteral("save- order:off/- random:off/-"));
}

TEST_F(EditorTest, RemovalTakesTheClickedEntryAndSetsTheOptionsBelowFour) {
    writeList(6);
    settings::save(Key::PlayInRandomOrder, true);
    frmFileLister* f = open();
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(state(f), QStringLiteral("save+ order:on/- random:on/sel"));
    const QStringList expected = {"save+ order:on/- random:on/sel", "save+ order:on/- random:on/sel",
                                  "save+ order:on/- random:on/sel", "save+ order:on/sel random:off/-",
                                  "save+ order:off/- random:off/-", "save+ order:off/- random:off/-"};
    // 5 and 4 entries change nothing; 3 selects random, 2 in order, 1 and 0 neither.
    f->optInOrderOfSelection->setChecked(true);
    clickRow(f->List1, 1);
    EXPECT_EQ(entries(f),
              (QStringList{"/old/e0.mpg", "/old/e2.mpg", "/old/e3.mpg", "/old/e4.mpg", "/old/e5.mpg"}));
    EXPECT_EQ(state(f), QStringLiteral("save+ order:on/sel random:on/-")) << "five: no change";
    f->optInRandomOrder->setChecked(true);
    clickRow(f->List1, 4);
    EXPECT_EQ(state(f), expected[1]) << "four: no change";
    for (int n = 3; n >= 0; --n) {
        clickRow(f->List1, 0);
        ASSERT_EQ(f->listCount(), n);
        EXPECT_EQ(state(f), expected[5 - n]) << n << " left";
    }
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
}

TEST_F(EditorTest, SingleAddsOnlyEnableAndMovingOverAButtonOrListEnablesSave) {
    makeFiles(m_media, {"c.mpg", "a.mpg", "b.avi"});
    frmFileLister* f = open(m_media);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->File1->fileNames(), (QStringList{"a.mpg", "b.avi", "c.mpg"}));
    clickRow(f->File1, 2);
    EXPECT_EQ(entries(f), QStringList{m_media + "/c.mpg"});
    EXPECT_EQ(state(f), QStringLiteral("save- order:off/- random:off/-"));
    moveOver(f->Command4);
    EXPECT_EQ(state(f), QStringLiteral("save- order:off/- random:off/-"))
        << "one entry: moving changes nothing";
    clickRow(f->File1, 0);
    EXPECT_EQ(state(f), QStringLiteral("save- order:on/- random:off/-"));
    // Moving over the save button itself is not one of the six.
    moveOver(f->Command1);
    EXPECT_EQ(state(f), QStringLiteral("save- order:on/- random:off/-"));
    moveOver(f->List1->viewport());
    EXPECT_EQ(state(f), QStringLiteral("save+ order:on/- random:off/-"));
    clickRow(f->File1, 1);
    EXPECT_EQ(state(f), QStringLiteral("save+ order:on/- random:on/-"));
    EXPECT_EQ(entries(f), (QStringList{m_media + "/c.mpg", m_media + "/a.mpg", m_media + "/b.avi"}));

    // Each of the six enables the save button; none selects anything.
    for (QWidget* w : std::initializer_list<QWidget*>{f->Command2, f->Command3, f->Command4, f->Command5,
                                                      f->File1->viewport(), f->List1->viewport()}) {
        f->Command1->setEnabled(false);
        f->optInRandomOrder->setEnabled(false);
        moveOver(w);
        EXPECT_EQ(state(f), QStringLiteral("save+ order:on/- random:on/-")) << w->objectName().toStdString();
    }
    // The focus entering one of them does the same, so that the keyboard alone can save.
    QApplication::setActiveWindow(f);
    for (QWidget* w : std::initializer_list<QWidget*>{f->Command2, f->Command3, f->Command4, f->Command5,
                                                      f->File1, f->List1}) {
        f->Drive1->setFocus(Qt::TabFocusReason);
        f->Command1->setEnabled(false);
        f->optInRandomOrder->setEnabled(false);
        w->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(w->hasFocus()) << w->objectName().toStdString();
        EXPECT_EQ(state(f), QStringLiteral("save+ order:on/- random:on/-")) << w->objectName().toStdString();
    }
}

TEST_F(EditorTest, AHiddenLoadListsNoFoldersAndTheFirstShowingGoesToTheSavedFolder) {
    makeFiles(m_media + QStringLiteral("/Films"), {"b.MPG", "a.avi", ".hidden.mpg", "notes.txt", "Zulu.Mp4"});
    for (const char* d : {"Sub2", "sub1", ".git", "Alpha"})
        ASSERT_TRUE(QDir().mkpath(m_media + QStringLiteral("/Films/") + QString::fromLatin1(d)));
    settings::save(Key::PathToLastDirectoryFrmFileLister, m_media + QStringLiteral("/Films/"));
    frmFileLister* f = fileLister();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Drive1->count(), 0);
    EXPECT_EQ(f->Dir1->count(), 0);
    EXPECT_EQ(f->File1->count(), 0);

    f->Show();
    QCoreApplication::processEvents();
    EXPECT_EQ(f->Drive1->drive(), m_root);
    EXPECT_EQ(f->Drive1->currentText(), m_root + QStringLiteral("  [test]"));
    const QString films = m_media + QStringLiteral("/Films");
    EXPECT_EQ(f->Dir1->path(), films);
    // Ancestors from the drive's root down, the current folder highlighted, then its subfolders.
    EXPECT_EQ(folderPaths(f),
              (QStringList{m_root, m_media, films, films + "/Alpha", films + "/sub1", films + "/Sub2"}));
    EXPECT_EQ(f->Dir1->item(0)->text(), m_root);
    EXPECT_EQ(f->Dir1->item(2)->text(), QStringLiteral("Films"));
    EXPECT_EQ(f->Dir1->item(4)->data(FolderList::kLevelRole).toInt(), 3);
    EXPECT_EQ(f->Dir1->currentRow(), 2);
    EXPECT_EQ(f->File1->path(), films);
    EXPECT_EQ(f->File1->fileNames(), (QStringList{"a.avi", "b.MPG", "Zulu.Mp4"}));

    // A click only highlights; a double-click opens, and the file list follows.
    makeFiles(films + QStringLiteral("/sub1"), {"deep.wmv"});
    clickRow(f->Dir1, 4);
    EXPECT_EQ(f->Dir1->path(), films);
    const QRect r = f->Dir1->visualItemRect(f->Dir1->item(4));
    QTest::mouseDClick(f->Dir1->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(f->Dir1->path(), films + QStringLiteral("/sub1"));
    EXPECT_EQ(f->File1->fileNames(), QStringList{"deep.wmv"});
    // Enter opens the highlighted ancestor: here the drive's root, whose files join with one "/".
    makeFiles(m_root, {"top.mpg"});
    f->Dir1->setFocus();
    f->Dir1->setCurrentRow(0);
    QTest::keyClick(f->Dir1, Qt::Key_Return);
    EXPECT_EQ(f->Dir1->path(), m_root);
    EXPECT_EQ(f->Dir1->count(), 1 + QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    EXPECT_EQ(folderPaths(f).indexOf(m_media), folderPaths(f).indexOf(m_root + "/home") + 1);
    ASSERT_EQ(f->File1->fileNames(), QStringList{"top.mpg"});
    clickRow(f->File1, 0);
    EXPECT_EQ(f->listItem(0), m_root + QStringLiteral("/top.mpg"));
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
}

TEST_F(EditorTest, AFolderThatHasGoneLeavesTheListAtTheDrivesRoot) {
    makeFiles(m_root, {"top.avi"});
    frmFileLister* f = open(m_media + QStringLiteral("/gone"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Dir1->path(), m_root);
    EXPECT_EQ(f->File1->fileNames(), QStringList{"top.avi"});
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
    reload();
    // Nothing saved: the home folder.
    QFile::remove(m_root + QStringLiteral("/config/larkspur/lumora.ini"));
    f = open();
    EXPECT_EQ(f->Dir1->path(), m_platform.homeFolderValue);
}

TEST_F(EditorTest, ASubfolderGoneSinceItWasListedDoesNotOpenAndTheListStays) {
    makeFiles(m_media + QStringLiteral("/gone soon"), {});
    makeFiles(m_media, {"here.mpg"});
    frmFileLister* f = open(m_media);
    ASSERT_NE(f, nullptr);
    const int row = int(folderPaths(f).indexOf(m_media + QStringLiteral("/gone soon")));
    ASSERT_GT(row, 0);
    ASSERT_TRUE(QDir(m_media + QStringLiteral("/gone soon")).removeRecursively());
    clickRow(f->Dir1, row);
    const QRect r = f->Dir1->visualItemRect(f->Dir1->item(row));
    QTest::mouseDClick(f->Dir1->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(f->Dir1->path(), m_media);
    EXPECT_FALSE(folderPaths(f).contains(m_media + QStringLiteral("/gone soon"))) << "read again";
    EXPECT_EQ(f->Dir1->currentItem()->data(FolderList::kPathRole).toString(), m_media);
    EXPECT_EQ(f->File1->fileNames(), QStringList{"here.mpg"});
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
}

TEST_F(EditorTest, ADeepFolderIsShownAtTheTopOfTheFolderList) {
    QString deep = m_media;
    for (const char* step : {"a", "b", "c", "d", "e", "f", "g", "h"})
        deep += u'/' + QString::fromLatin1(step);
    // Enough subfolders below it that the list can put it at its top.
    for (int i = 0; i < 12; ++i)
        makeFiles(deep + QStringLiteral("/inner %1").arg(i), {});
    frmFileLister* f = open(deep);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->Dir1->path(), deep);
    const QRect current = f->Dir1->visualItemRect(f->Dir1->currentItem());
    EXPECT_EQ(current.top(), 0) << "the open folder heads the list";
    const QRect firstSubfolder = f->Dir1->visualItemRect(f->Dir1->item(f->Dir1->currentRow() + 1));
    EXPECT_LT(firstSubfolder.bottom(), f->Dir1->viewport()->height()) << "its subfolders in view below it";
}

TEST_F(EditorTest, ADriveThatIsNotReadySaysSoAndTheListGoesBack) {
    makeFiles(m_root + QStringLiteral("/usb/films"), {"x.mpg"});
    makeFiles(m_root + QStringLiteral("/usb"), {"on stick.avi"});
    m_platform.drivesValue = {platform::Drive{m_root, QStringLiteral("test")},
                              platform::Drive{m_root + QStringLiteral("/cdrom"), QStringLiteral("disc")},
                              platform::Drive{m_root + QStringLiteral("/usb"), QStringLiteral("STICK")}};
    frmFileLister* f = open(m_media);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->Drive1->count(), 3);
    f->Drive1->setCurrentIndex(1);
    ASSERT_EQ(m_platform.messageBoxes.size(), 1);
    EXPECT_EQ(
        m_platform.messageBoxes[0].text,
        QStringLiteral(
            "There is no disc in the disc Drive.  Please place a disc containing multimedia files in the "
            "drive to select files.  Note: The disc will have to be in the drive in order to play "
            "multimedia files added to the playlist from that disc."));
    EXPECT_EQ(m_platform.messageBoxes[0].style, 64);
    EXPECT_EQ(m_platform.messageBoxes[0].title, QStringLiteral("Larkspur Software"));
    EXPECT_EQ(f->Drive1->drive(), m_root);
    EXPECT_EQ(f->Dir1->path(), m_media);

    // A drive that is there: the folder list goes to its root and starts its chain there.
    f->Drive1->setCurrentIndex(2);
    EXPECT_EQ(m_platform.messageBoxes.size(), 1);
    EXPECT_EQ(f->Dir1->path(), m_root + QStringLiteral("/usb"));
    EXPECT_EQ(folderPaths(f), (QStringList{m_root + "/usb", m_root + "/usb/films"}));
    EXPECT_EQ(f->File1->fileNames(), QStringList{"on stick.avi"});
    // Choosing the drive the folder list is on already leaves the folder list where it is.
    f->Dir1->setPath(m_root + QStringLiteral("/usb/films"));
    f->Drive1_Change();
    EXPECT_EQ(f->Dir1->path(), m_root + QStringLiteral("/usb/films"));
}

TEST_F(EditorTest, SaveWritesTheListAndTheSettingsInOrderAndCloses) {
    makeFiles(m_media, {"one.mpg", "two.mpg", "three.mpg"});
    frmFileLister* f = open(m_media);
    ASSERT_NE(f, nullptr);
    f->Command4->click();
    ASSERT_EQ(f->listCount(), 3);
    ASSERT_TRUE(f->optInRandomOrder->isChecked());
    ASSERT_FALSE(f->Command1->isEnabled()) << "a list built from empty";
    moveOver(f->File1->viewport());
    f->Command1->click();
    EXPECT_TRUE(unloaded());
    const QByteArray expected =
        "\r\n 3 \r\n" +
        (m_media + "/one.mpg\r\n" + m_media + "/three.mpg\r\n" + m_media + "/two.mpg\r\n").toUtf8();
    EXPECT_EQ(bytesOf(m_path), expected);
    EXPECT_EQ(GetSetting(QStringLiteral("PathToLastDirectoryFrmFileLister"), "<none>"), m_media);
    EXPECT_EQ(GetSetting(QStringLiteral("PlayInRandomOrder"), "<none>"), QStringLiteral("True"));
    // The single media file is written back as it read, its default included.
    EXPECT_EQ(GetSetting(QStringLiteral("VideoFile"), "<none>"), defaultMediaPath());

    // The next opening shows the saved list, in order, random selected.
    releaseUnloaded();
    f = open();
    EXPECT_EQ(entries(f), (QStringList{m_media + "/one.mpg", m_media + "/three.mpg", m_media + "/two.mpg"}));
    EXPECT_EQ(state(f), QStringLiteral("save+ order:on/- random:on/sel"));
    EXPECT_EQ(f->Dir1->path(), m_media);
    settings::save(Key::VideoFile, QStringLiteral("/films/mine.mkv"));
    f->optInOrderOfSelection->setChecked(true);
    clickRow(f->List1, 0);
    moveOver(f->List1->viewport());
    f->Command1->click();
    EXPECT_TRUE(unloaded());
    EXPECT_EQ(GetSetting(QStringLiteral("PlayInRandomOrder"), "<none>"), QStringLiteral("False"));
    EXPECT_EQ(GetSetting(QStringLiteral("VideoFile"), "<none>"), QStringLiteral("/films/mine.mkv"));
    EXPECT_EQ(bytesOf(m_path),
              "\r\n 2 \r\n" + (m_media + "/three.mpg\r\n" + m_media + "/two.mpg\r\n").toUtf8());
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
}

TEST_F(EditorTest, AFileNamedInLatin1IsListedAddedAndSavedByItsBytes) {
    const QByteArray folder = QFile::encodeName(m_media);
    // Qt's own clean-up of the temporary folder cannot name it.
    const auto removeLatin1 = qScopeGuard([&] { ::unlink((folder + "/caf\xe9.mpg").constData()); });
    for (const QByteArray& name : {QByteArray("/caf\xe9.mpg"), QByteArray("/plain.mpg")}) {
        FILE* file = std::fopen((folder + name).constData(), "wb");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
    }
    putBytes("Liste n\xb0 1\r\n 1 \r\n/old/\xe9t\xe9.mpg\r\n");
    frmFileLister* f = open(m_media);
    ASSERT_EQ(f->File1->count(), 2);
    // Shown as the user reads it.
    EXPECT_EQ(f->File1->item(0)->text(), QStringLiteral("caf\u00e9.mpg"));
    EXPECT_EQ(f->List1->model()->index(0, 0).data().toString(), QStringLiteral("/old/\u00e9t\u00e9.mpg"));
    clickRow(f->File1, 0);
    clickRow(f->File1, 1);
    EXPECT_EQ(f->List1->model()->index(1, 0).data().toString(), m_media + QStringLiteral("/caf\u00e9.mpg"));
    moveOver(f->List1->viewport());
    f->Command1->click();
    EXPECT_TRUE(unloaded());
    EXPECT_EQ(bytesOf(m_path), "Liste n\xb0 1\r\n 3 \r\n/old/\xe9t\xe9.mpg\r\n" + folder +
                                   "/caf\xe9.mpg\r\n" + folder + "/plain.mpg\r\n");
}

TEST_F(EditorTest, AFullPlayListTakesNoMoreAndTheUserIsTold) {
    makeFiles(m_media, {"a.mpg", "b.mpg", "c.mpg"});
    frmFileLister* f = open(m_media);
    for (int i = 0; i < frmFileLister::kMaxEntries - 1; ++i)
        f->addItem(QStringLiteral("/earlier/%1.mpg").arg(i));
    clickRow(f->File1, 0);
    ASSERT_EQ(f->listCount(), frmFileLister::kMaxEntries);
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty()) << "the last place is taken without a word";

    clickRow(f->File1, 1);
    EXPECT_EQ(f->listCount(), frmFileLister::kMaxEntries);
    EXPECT_EQ(f->listItem(frmFileLister::kMaxEntries - 1), m_media + QStringLiteral("/a.mpg"));
    ASSERT_EQ(m_platform.messageBoxes.size(), 1);
    EXPECT_EQ(m_platform.messageBoxes[0].text,
              QStringLiteral(
                  "The play list is full: it holds at most 32767 files, so 1 of the files could not be "
                  "added."));
    EXPECT_EQ(m_platform.messageBoxes[0].style, 64);
    EXPECT_EQ(m_platform.messageBoxes[0].title, QString::fromLatin1(kTitle));

    f->Command4->click();
    EXPECT_EQ(f->listCount(), frmFileLister::kMaxEntries);
    ASSERT_EQ(m_platform.messageBoxes.size(), 2);
    EXPECT_TRUE(m_platform.messageBoxes[1].text.contains(QStringLiteral("so 3 of the files could not")))
        << m_platform.messageBoxes[1].text.toStdString();
}

TEST_F(EditorTest, ASaveThatCannotWriteSaysSoAndKeepsTheWindowWithItsList) {
    makeFiles(m_media, {"a.mpg", "b.mpg"});
    makeFiles(m_media + QStringLiteral("/other"), {});
    writeList(1);
    settings::save(Key::PathToLastDirectoryFrmFileLister, m_media);
    settings::save(Key::PlayInRandomOrder, false);
    frmFileLister* f = open();
    f->Command4->click();
    f->Dir1->setPath(m_media + QStringLiteral("/other"));
    f->optInRandomOrder->setChecked(true);
    const QString blocker = m_platform.windowsDirectoryValue + QStringLiteral("/plain file");
    makeFiles(m_platform.windowsDirectoryValue, {"plain file"});
    m_platform.programFolderValue = blocker + QStringLiteral("/program");
    m_platform.userDataFolderValue = blocker + QStringLiteral("/data");

    f->Command1->click();
    ASSERT_EQ(m_platform.messageBoxes.size(), 1);
    EXPECT_EQ(m_platform.messageBoxes[0].style, 48);
    EXPECT_TRUE(m_platform.messageBoxes[0].text.startsWith(QStringLiteral("The play list was not saved.")));
    QCoreApplication::processEvents();
    ASSERT_EQ(runtime::forms().find(QStringLiteral("frmFileLister")), f);
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(entries(f), (QStringList{"/old/e0.mpg", m_media + "/a.mpg", m_media + "/b.mpg"}));
    EXPECT_TRUE(f->optInRandomOrder->isChecked());
    EXPECT_EQ(bytesOf(m_path), QByteArray("1000\r\n 1 \r\n/old/e0.mpg\r\n"));
    EXPECT_EQ(GetSetting(QStringLiteral("PathToLastDirectoryFrmFileLister"), "<none>"), m_media);
    EXPECT_EQ(GetSetting(QStringLiteral("PlayInRandomOrder"), "<none>"), QStringLiteral("False"));
}

TEST_F(EditorTest, CancelKeepsEverythingAndClearAllChangesTheFileOnlyWhenSaved) {
    writeList(3);
    settings::save(Key::PlayInRandomOrder, true);
    const QByteArray saved = bytesOf(m_path);
    const QString settingsFile = m_root + QStringLiteral("/config/larkspur/lumora.ini");
    const QByteArray settingsBefore = bytesOf(settingsFile);
    // The editor closed and left the play list and the settings as they were.
    auto closedLeavingFiles = [&] {
        EXPECT_TRUE(unloaded());
        EXPECT_EQ(bytesOf(m_path), saved);
        EXPECT_EQ(bytesOf(settingsFile), settingsBefore);
        releaseUnloaded();
    };
    makeFiles(m_media, {"new.mpg"});
    frmFileLister* f = open();
    f->Dir1->setPath(m_media);
    clickRow(f->File1, 0);
    clickRow(f->List1, 0);
    f->Command2->click();
    closedLeavingFiles();

    f = open();
    EXPECT_EQ(entries(f), (QStringList{"/old/e0.mpg", "/old/e1.mpg", "/old/e2.mpg"}));
    f->Command5->click();
    EXPECT_EQ(f->listCount(), 0);
    EXPECT_EQ(state(f), QStringLiteral("save+ order:off/- random:off/-"))
        << "the save button keeps its state";
    // Nothing is written until a save: the close box, Cancel and Esc all leave file and settings.
    EXPECT_EQ(bytesOf(m_path), saved);
    EXPECT_EQ(bytesOf(settingsFile), settingsBefore);
    f->Label5->setFocus();
    QTest::mouseClick(f->Label5, Qt::LeftButton);
    closedLeavingFiles();
    f = open();
    f->Command5->click();
    QTest::keyClick(f, Qt::Key_Escape);
    closedLeavingFiles();

    // Saved, the cleared list is an empty play list under the same header, in order.
    f = open();
    EXPECT_EQ(entries(f), (QStringList{"/old/e0.mpg", "/old/e1.mpg", "/old/e2.mpg"}));
    f->Command5->click();
    f->Command1->click();
    EXPECT_TRUE(unloaded());
    EXPECT_EQ(bytesOf(m_path), QByteArray("1000\r\n 0 \r\n"));
    EXPECT_EQ(GetSetting(QStringLiteral("PlayInRandomOrder"), "<none>"), QStringLiteral("False"));
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());

    // Clearing with no file is no error either.
    releaseUnloaded();
    f = open();
    f->Command5->click();
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
    f->mnuExit->trigger();
    EXPECT_EQ(runtime::forms().find(QStringLiteral("frmFileLister")), nullptr) << "Exit unloads at once";
}

TEST_F(EditorTest, HelpAndTheLabelMenus) {
    frmFileLister* f = open();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Label2->text(), QStringLiteral("Drilll To Folder And Choose Files"));
    EXPECT_EQ(f->Label5->text(), QStringLiteral("X "));
    EXPECT_EQ(f->Label5->toolTip(), QStringLiteral("Cancel/Close"));
    QTest::mouseClick(f->Label4, Qt::LeftButton);
    f->mnuHelp->trigger();
    ASSERT_EQ(m_platform.messageBoxes.size(), 2);
    const QString help = QStringLiteral(
        "1st - Select Drive.\r\n\r\n2nd - Double-Click folders to 'drill' to one containing multimedia "
        "files.\r\n\r\n"
        "3rd - Click multimedia files listed in top right file list box to add to play list box on "
        "bottom.\r\n\r\n"
        "4th - Click 'Close and Save Play List' button to save the Play List.\r\n\r\nNote: Click files in "
        "Play List "
        "box to remove.\r\n\r\nYou may also click the 'Search Hard Drive' button to scan your hard drive for "
        "multimedia files.");
    for (const auto& box : m_platform.messageBoxes) {
        EXPECT_EQ(box.text, help);
        EXPECT_EQ(box.style, 64);
        EXPECT_EQ(box.title, QStringLiteral("Instructions For Creating A Play List"));
    }

    // The right button on the labels does nothing; the left one pops up their menus.
    QTest::mousePress(f->Label2, Qt::RightButton);
    QTest::mousePress(f->Label3, Qt::RightButton);
    EXPECT_FALSE(f->mnuFile->isVisible());
    EXPECT_FALSE(f->mnuSearch->isVisible());
    QTest::mousePress(f->Label2, Qt::LeftButton);
    EXPECT_TRUE(f->mnuFile->isVisible());
    EXPECT_EQ(f->mnuFile->actions(), QList<QAction*>{f->mnuExit});
    EXPECT_EQ(f->mnuExit->text(), QStringLiteral("E&xit"));
    f->mnuFile->hide();
    QTest::mousePress(f->Label3, Qt::LeftButton);
    EXPECT_TRUE(f->mnuSearch->isVisible());
    EXPECT_EQ(f->mnuSearch->actions(), QList<QAction*>{f->mnuSearchEntireDriveForVideoFiles});
    EXPECT_EQ(f->mnuSearchEntireDriveForVideoFiles->text(),
              QStringLiteral("Click here to &Search your entire hard drive(s) for video files"));
    f->mnuSearch->hide();
    EXPECT_EQ(m_platform.messageBoxes.size(), 2);
}

// Stands in for the media search: reports how it was opened and adds two entries with its Add All.
class FakeSearch : public testsupport::RecordingForm<FakeSearch> {
public:
    FakeSearch() : RecordingForm(QStringLiteral("frmFileSearch")) {}

protected:
    void shown() override {
        frmFileLister* f = fileLister();
        f->addItem(QStringLiteral("/found/one.mpg"));
        f->addItem(QStringLiteral("/found/two.mpg"));
        f->applyOrderOptions(frmFileLister::ListChange::AddAll);
        Unload();
    }
};

TEST_F(EditorTest, TheSearchOpensModallyOverTheEditorFromItsButtonAndItsMenu) {
    writeList(1);
    frmFileLister* f = open();
    ASSERT_NE(f, nullptr);
    f->Command3->click(); // no search registered: nothing opens
    EXPECT_EQ(f->listCount(), 1);

    runtime::forms().registerForm(QStringLiteral("frmFileSearch"), [] { return new FakeSearch; });
    FakeSearch::owners.clear();
    FakeSearch::modal.clear();
    f->Command3->click();
    EXPECT_EQ(f->listCount(), 3);
    EXPECT_EQ(state(f), QStringLiteral("save+ order:on/- random:on/sel"));
    releaseUnloaded();
    f->mnuSearchEntireDriveForVideoFiles->trigger();
    EXPECT_EQ(f->listCount(), 5);
    EXPECT_EQ(state(f), QStringLiteral("save+ order:on/sel random:on/-"));
    ASSERT_EQ(FakeSearch::owners.size(), 2);
    EXPECT_EQ(FakeSearch::owners[0].data(), f);
    EXPECT_EQ(FakeSearch::owners[1].data(), f);
    EXPECT_EQ(FakeSearch::modal, (QList<bool>{true, true}));
    runtime::forms().unregisterForm(QStringLiteral("frmFileSearch"));
}

TEST_F(EditorTest, EnterAddsTheCurrentFileRemovesTheCurrentEntryAndEscapeCancels) {
    makeFiles(m_media, {"a.mpg", "b.mpg", "c.mpg"});
    frmFileLister* f = open(m_media);
    f->activateWindow();
    f->File1->setFocus();
    f->File1->setCurrentRow(1);
    QTest::keyClick(f->File1, Qt::Key_Return);
    QTest::keyClick(f->File1, Qt::Key_Down);
    QTest::keyClick(f->File1, Qt::Key_Enter);
    EXPECT_EQ(entries(f), (QStringList{m_media + "/b.mpg", m_media + "/c.mpg"}));
    f->List1->setFocus();
    f->List1->setCurrentIndex(f->List1->model()->index(0, 0));
    QTest::keyClick(f->List1, Qt::Key_Return);
    EXPECT_EQ(entries(f), QStringList{m_media + "/c.mpg"});
    QTest::keyClick(f->List1, Qt::Key_Escape);
    EXPECT_TRUE(unloaded());
    EXPECT_FALSE(QFile::exists(m_path));
}

TEST_F(EditorTest, TheWindowFitsHalfOfA1280By1024ScreenAndShowsItsCaptionsWhole) {
    frmFileLister* f = open();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Playlist Configuration"));
    EXPECT_LE(f->width(), 640);
    EXPECT_LE(f->height(), 512);
    EXPECT_GE(f->width(), f->minimumSizeHint().width());
    EXPECT_GE(f->height(), f->minimumSizeHint().height());
    for (QPushButton* b : {f->Command1, f->Command2, f->Command3, f->Command4, f->Command5})
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
    EXPECT_EQ(f->Command1->text(), QStringLiteral("Sa&ve Play List and/or Configuration"));
    EXPECT_EQ(f->Frame3->title(),
              QStringLiteral("Multimedia Files Located:    (Click each filename to add below.)"));
    EXPECT_EQ(
        f->Frame4->title(),
        QStringLiteral(
            "Multimedia Files To Be Saved In Play List:  (Click each filename to remove from this list.)"));
}

TEST_F(EditorTest, ThePictureMovesTheWindow) {
    frmFileLister* f = open();
    ASSERT_NE(f, nullptr);
    const QPoint before = f->pos();
    const QPoint grip = f->Image1->rect().center();
    QTest::mousePress(f->Image1, Qt::LeftButton, {}, grip);
    QMouseEvent drag(QEvent::MouseMove, QPointF(grip + QPoint(40, 25)),
                     f->Image1->mapToGlobal(QPointF(grip + QPoint(40, 25))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(f->Image1, &drag);
    QTest::mouseRelease(f->Image1, Qt::LeftButton, {}, grip + QPoint(40, 25));
    EXPECT_EQ(f->pos(), before + QPoint(40, 25));
}

} // namespace
