#include "base/FileNames.h"
#include "base/MediaPatterns.h"
#include "playlist/BrowseLists.h"
#include "playlist/PlayList.h"
#include "playlist/SearchForms.h"
#include "playlist/frmFileLister.h"
#include "playlist/frmFileSearch.h"
#include "playlist/frmSingleFileSearch.h"
#include "runtime/Controls.h"
#include "runtime/FormRegistry.h"
#include "support/SettingKeys.h"
#include "support/TestFiles.h"
#include "support/inprocess/InProcessPlatform.h"
#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include "support/Waits.h"

using settings::Key;
using testsupport::keyName;

using runtime::forms;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

const QString kSearch = QStringLiteral("frmFileSearch");
const QString kSingle = QStringLiteral("frmSingleFileSearch");
const QString kHelpTitle = QStringLiteral("Larkspur Software Lumora Video & Multimedia Screensaver");
const QString kListFull = QStringLiteral(
    "The list box is full or you have run out of memory. Searching has been discontinued.  Please select "
    "folders one at a time or drill deeper into the directory tree to continue search.");
constexpr int kLeaves = 6000;

void makeFiles(const QString& root, const QStringList& entries) {
    for (const QString& e : entries) {
        const QString path = root + u'/' + e;
        QDir().mkpath(e.endsWith(u'/') ? path : QFileInfo(path).path());
        if (e.endsWith(u'/')) continue;
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    }
}

// A tree whose walk takes long enough to be stopped half-way: many folders, a match in each leaf.
class BigTree {
public:
    static BigTree& instance() {
        static BigTree tree;
        return tree;
    }
    QString root() const { return m_dir.path(); }
    // The walk takes the folders from the last: leaf kLeaves - 1 first.
    QString match(int nth) const {
        return root() + QStringLiteral("/d%1/e/clip.mpg").arg(kLeaves - 1 - nth, 4, 10, QLatin1Char('0'));
    }

private:
    BigTree() {
        QStringList entries;
        for (int i = 0; i < kLeaves; ++i)
            entries << QStringLiteral("d%1/e/clip.mpg").arg(i, 4, 10, QLatin1Char('0'));
        makeFiles(m_dir.path(), entries);
    }
    QTemporaryDir m_dir;
};

class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        makeFiles(tree.path(),
                  {"top.mpg", "notes.txt", "Videos/b.AVI", "Videos/a.mpg", "Videos/Holiday/h.mp4",
                   "Videos/Holiday/readme.txt", "Music/song.mp3", "Music/Live/empty/"});
        platform.programDriveRootValue = tree.path();
        platform.drivesValue = {
            platform::Drive{tree.path(), QStringLiteral("test")},
            platform::Drive{other.path(), QStringLiteral("other")},
            platform::Drive{QStringLiteral("/nonexistent-lumora-drive"), QStringLiteral("disc")}};
        platform.install();
        registerPlaylistForms();
        registerSearchForms();
    }
    void TearDown() override {
        forms().reset();
        forms().unregisterForm(kSearch);
        forms().unregisterForm(kSingle);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::install(platform::Platform{});
    }

    // The tree's files in the order a search lists them.
    QStringList treeMatches() const {
        const QString r = tree.path();
        return {r + "/Videos/Holiday/h.mp4", r + "/Videos/a.mpg", r + "/Videos/b.AVI", r + "/Music/song.mp3",
                r + "/top.mpg"};
    }

    template <class T> T* open(const QString& name) {
        T* form = forms().get<T>(name);
        if (form) form->Show();
        return form;
    }
    QStringList found(SearchForm* f) {
        QStringList out;
        for (int i = 0; i < f->lstFoundFiles->count(); ++i)
            out << f->lstFoundFiles->item(i)->text();
        return out;
    }
    bool waitIdle(SearchForm* f, int ms = 20000) {
        return QTest::qWaitFor([f] { return !f->walkRunning(); }, ms);
    }
    void search(SearchForm* f, const QString& folder) {
        f->dirList->setPath(folder);
        f->cmdSearch->click();
        ASSERT_TRUE(waitIdle(f));
    }
    // Starts a search of the big tree and waits until the first files have arrived.
    void startBigSearch(SearchForm* f) {
        f->dirList->setPath(BigTree::instance().root());
        f->cmdSearch->click();
        ASSERT_TRUE(QTest::qWaitFor([f] { return f->lstFoundFiles->count() > 0; }, 20000));
    }
    // Starts the big walk and picks the first file found meanwhile: the pick stops the walk, which ends
    // at its next folder, short of the whole tree.
    void pickDuringTheBigWalk(SearchForm* f) {
        startBigSearch(f);
        clickItem(f->lstFoundFiles, 0);
        EXPECT_TRUE(f->cmdSearch->isVisible());
        EXPECT_FALSE(f->searching());
        ASSERT_TRUE(waitIdle(f, 1000));
        EXPECT_LT(f->lstFoundFiles->count(), kLeaves);
    }
    void clickItem(QListWidget* list, int row) {
        QListWidgetItem* item = list->item(row);
        ASSERT_NE(item, nullptr);
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    }
    bool closed(const QString& name) { return testsupport::formClosed(name); }
    QString caption(QWidget* form, const char* name) {
        QObject* c = form->findChild<QObject*>(QString::fromLatin1(name));
        if (!c) return QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
        const QVariant title = c->property("title");
        return title.isValid() ? title.toString() : c->property("text").toString();
    }
    // The window's title, the captions both searches share and the caption of each named control.
    void expectCaptions(QWidget* form, const QString& title,
                        const QList<QPair<const char*, QString>>& captions) {
        EXPECT_EQ(form->windowTitle(), title);
        const QList<QPair<const char*, QString>> shared = {{"fraDrive", "Drive to search:"},
                                                           {"lblCount", "0"},
                                                           {"cmdSearch", "&Start Search"},
                                                           {"cmdExit", "Sto&p Search"},
                                                           {"cmdReset", "&Reset / Clear"},
                                                           {"mnuExit", "E&xit"},
                                                           {"mnuHelp", "&Help"}};
        for (const auto& [name, text] : shared + captions)
            EXPECT_EQ(caption(form, name), text) << name;
    }
    QList<platform::InProcessPlatform::MessageBoxCall>& messages() { return platform.messageBoxes; }

    QTemporaryDir tree;
    QTemporaryDir other;
    platform::InProcessPlatform platform;
};

} // namespace

TEST_F(SearchTest, OpensWithEveryCaptionOnTheProgramDriveAndTheMediaPatterns) {
    auto* f = open<frmFileSearch>(kSearch);
    ASSERT_NE(f, nullptr);
    expectCaptions(
        f, QStringLiteral("Search For Multimedia Files"),
        {{"Label1", "Search For Multimedia Files"},
         {"Label2", "Help"},
         {"Label3", "X "},
         {"fraFolder", "Searching In Folder:"},
         {"fraSearchSpec", "Multimedia File Extensions to search for:"},
         {"fraFoundFiles", "Multimedia Files Found:                        (Click filenames once to "
                           "add to window behind this one.)"},
         {"Command3", "&Add All Files"},
         {"Command1", "F&inished"},
         {"Command2", "&Cancel"},
         {"mnuFile", "&File"}});
    EXPECT_EQ(f->Label3->toolTip(), QStringLiteral("Cancel/Close"));
    EXPECT_EQ(f->txtSearchSpec->text(), mediaPatternList());
    EXPECT_TRUE(f->txtSearchSpec->text().startsWith(QStringLiteral("*.mpg;*.avi;*.mpe;")));
    EXPECT_TRUE(f->cmdSearch->isVisible());
    EXPECT_FALSE(f->cmdExit->isVisible());
    EXPECT_FALSE(f->filList->isVisible());
    EXPECT_EQ(f->dirList->path(), tree.path());
    EXPECT_EQ(f->drvList->drive(), tree.path());
    EXPECT_EQ(f->drvList->count(), 3);
    // The file list follows the folder list with the pattern of the box.
    EXPECT_EQ(f->filList->count(), 1);
    EXPECT_EQ(f->filList->item(0)->text(), QStringLiteral("top.mpg"));
}

TEST_F(SearchTest, StartListsTheTreeInWalkOrderAndASecondSearchAppends) {
    auto* f = open<frmFileSearch>(kSearch);
    f->cmdSearch->click();
    // The buttons swap at once; the walk runs meanwhile.
    EXPECT_FALSE(f->cmdSearch->isVisible());
    EXPECT_TRUE(f->cmdExit->isVisible());
    EXPECT_TRUE(f->searching());
    ASSERT_TRUE(waitIdle(f));
    EXPECT_EQ(found(f), treeMatches());
    EXPECT_EQ(f->lblCount->text(), QStringLiteral(" 5"));
    EXPECT_TRUE(f->cmdSearch->isVisible());
    EXPECT_FALSE(f->cmdExit->isVisible());
    EXPECT_EQ(f->dirList->path(), tree.path()) << "the walk leaves the folder list where it started";
    EXPECT_EQ(f->dirList->shownFolder(), tree.path());
    EXPECT_TRUE(messages().isEmpty());

    search(f, tree.path() + QStringLiteral("/Videos/Holiday"));
    EXPECT_EQ(found(f), treeMatches() << tree.path() + QStringLiteral("/Videos/Holiday/h.mp4"));
    EXPECT_EQ(f->lblCount->text(), QStringLiteral(" 6"));
}

TEST_F(SearchTest, AnEmptyPatternBoxSearchesForMpgAndShowsIt) {
    auto* f = open<frmFileSearch>(kSearch);
    f->txtSearchSpec->clear();
    f->cmdSearch->click();
    EXPECT_EQ(f->txtSearchSpec->text(), QStringLiteral("*.mpg"));
    ASSERT_TRUE(waitIdle(f));
    EXPECT_EQ(found(f), QStringList({tree.path() + "/Videos/a.mpg", tree.path() + "/top.mpg"}));
}

TEST_F(SearchTest, StopEndsTheWalkAtOnceAndKeepsWhatWasFound) {
    auto* f = open<frmFileSearch>(kSearch);
    startBigSearch(f);
    // The folder list follows the walk.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return f->dirList->shownFolder().startsWith(BigTree::instance().root() + QStringLiteral("/d"));
        },
        5000));
    f->cmdExit->click();
    EXPECT_TRUE(f->cmdSearch->isVisible());
    EXPECT_FALSE(f->cmdExit->isVisible());
    EXPECT_FALSE(f->searching());
    ASSERT_TRUE(waitIdle(f, 1000)) << "a stopped walk ends at its next folder";
    const QStringList got = found(f);
    ASSERT_LT(got.size(), kLeaves);
    for (int i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], BigTree::instance().match(i)) << i;
    EXPECT_EQ(f->lblCount->text(), u' ' + QString::number(got.size()));
    EXPECT_EQ(f->dirList->path(), BigTree::instance().root());
    // Nothing more arrives: a stretch of time, as nothing is left to wait for.
    QTest::qWait(100);
    EXPECT_EQ(f->lstFoundFiles->count(), got.size());
}

TEST_F(SearchTest, ASearchStartedRightAfterAStopComesAfterWhatTheStoppedOneLeft) {
    auto* f = open<frmFileSearch>(kSearch);
    startBigSearch(f);
    // Stop, another folder and Start again, before the stopped walk has handed over its end.
    f->cmdExit->click();
    f->dirList->setPath(tree.path() + QStringLiteral("/Videos"));
    f->cmdSearch->click();
    EXPECT_TRUE(f->cmdExit->isVisible());
    EXPECT_TRUE(f->searching());
    ASSERT_TRUE(waitIdle(f));
    const QStringList got = found(f);
    ASSERT_GT(got.size(), 3);
    EXPECT_EQ(got.mid(got.size() - 3), treeMatches().mid(0, 3));
    for (int i = 0; i < got.size() - 3; ++i)
        ASSERT_EQ(got[i], BigTree::instance().match(i)) << i;
    EXPECT_EQ(f->dirList->path(), tree.path() + QStringLiteral("/Videos"));
    EXPECT_TRUE(f->cmdSearch->isVisible());
}

TEST_F(SearchTest, AClickOnAFoundFileStopsTheWalkAndAddsItToThePlayListAlone) {
    frmFileLister* lister = fileLister();
    ASSERT_NE(lister, nullptr);
    ASSERT_EQ(lister->listCount(), 0);
    const bool inOrderEnabled = lister->optInOrderOfSelection->isEnabled();
    auto* f = open<frmFileSearch>(kSearch);
    ASSERT_NO_FATAL_FAILURE(pickDuringTheBigWalk(f));
    ASSERT_EQ(lister->listCount(), 1);
    EXPECT_EQ(lister->listItem(0), BigTree::instance().match(0));
    // A click leaves the order options alone.
    EXPECT_EQ(lister->optInOrderOfSelection->isEnabled(), inOrderEnabled);

    // A double click (press, release, press, double click, release) adds the file once.
    const int before = lister->listCount();
    QListWidgetItem* second = f->lstFoundFiles->item(1);
    const QPoint at = f->lstFoundFiles->visualItemRect(second).center();
    QTest::mouseClick(f->lstFoundFiles->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(f->lstFoundFiles->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(f->lstFoundFiles->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(lister->listCount(), before + 1);
    EXPECT_EQ(lister->listItem(before), second->text());
    // So does Enter on the list.
    f->lstFoundFiles->setCurrentRow(2);
    f->lstFoundFiles->setFocus();
    QTest::keyClick(f->lstFoundFiles, Qt::Key_Return);
    EXPECT_EQ(lister->listCount(), before + 2);
    EXPECT_EQ(lister->listItem(before + 1), f->lstFoundFiles->item(2)->text());
}

TEST_F(SearchTest, ResetDuringAWalkLeavesAnEmptyListAndTheDefaults) {
    auto* f = open<frmFileSearch>(kSearch);
    f->txtSearchSpec->setText(QStringLiteral("*.mpg;*.avi"));
    startBigSearch(f);
    f->cmdReset->click();
    EXPECT_EQ(f->lstFoundFiles->count(), 0);
    EXPECT_EQ(f->lblCount->text(), QStringLiteral("0"));
    EXPECT_EQ(f->txtSearchSpec->text(), mediaPatternList());
    EXPECT_EQ(f->dirList->path(), tree.path());
    EXPECT_EQ(f->drvList->drive(), tree.path());
    EXPECT_EQ(f->focusWidget(), f->txtSearchSpec);
    EXPECT_TRUE(f->cmdSearch->isVisible());
    EXPECT_FALSE(f->cmdExit->isVisible());
    EXPECT_FALSE(f->walkRunning());
    // A stretch of time in which a result of the reset walk would have come.
    QTest::qWait(200);
    EXPECT_EQ(f->lstFoundFiles->count(), 0) << "nothing of the reset walk arrives";
    EXPECT_EQ(f->dirList->path(), tree.path());
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(SearchTest, ClosingDuringAWalkEndsItWithoutTouchingTheWindow) {
    for (const char* how : {"Command2", "Command1", "Label3", "mnuExit"}) {
        auto* f = open<frmFileSearch>(kSearch);
        startBigSearch(f);
        QPointer<frmFileSearch> alive(f);
        if (QByteArray(how) == "mnuExit")
            f->mnuExit->trigger();
        else if (QByteArray(how) == "Label3")
            QTest::mouseClick(f->Label3, Qt::LeftButton);
        else
            f->findChild<QPushButton*>(QString::fromLatin1(how))->click();
        EXPECT_TRUE(closed(kSearch)) << how;
        EXPECT_TRUE(alive.isNull()) << how;
        // A stretch of time in which a message of the ended walk would have come.
        QTest::qWait(50);
        EXPECT_TRUE(messages().isEmpty()) << how;
    }
}

TEST_F(SearchTest, TheFoundListHoldsAtMost32767AndSaysSoOncePerSearch) {
    auto* f = open<frmFileSearch>(kSearch);
    QStringList filler;
    for (int i = 0; i < 32760; ++i)
        filler << QStringLiteral("/earlier/%1.mpg").arg(i);
    f->lstFoundFiles->addItems(filler);
    makeFiles(other.path(), {"a/1.mpg", "a/2.mpg", "a/3.mpg", "a/4.mpg", "b/5.mpg", "b/6.mpg", "b/7.mpg",
                             "b/8.mpg", "9.mpg", "10.mpg"});
    search(f, other.path());
    EXPECT_EQ(f->lstFoundFiles->count(), 32767);
    EXPECT_EQ(f->lblCount->text(), QStringLiteral(" 32767"));
    // The walk takes b before a: the seventh match is a/3.mpg, and nothing comes after it.
    EXPECT_EQ(f->lstFoundFiles->item(32760)->text(), other.path() + QStringLiteral("/b/5.mpg"));
    EXPECT_EQ(f->lstFoundFiles->item(32766)->text(), other.path() + QStringLiteral("/a/3.mpg"));
    ASSERT_EQ(messages().size(), 1);
    EXPECT_EQ(messages()[0].text, kListFull);
    EXPECT_EQ(messages()[0].style, 0);
    EXPECT_EQ(messages()[0].title, QStringLiteral("Lumora"));
    EXPECT_TRUE(f->cmdSearch->isVisible());

    search(f, other.path());
    EXPECT_EQ(f->lstFoundFiles->count(), 32767);
    EXPECT_EQ(messages().size(), 2);
}

TEST_F(SearchTest, FoldersThatCannotBeReadAreToldInOneMessageAfterTheWalk) {
    auto* f = open<frmFileSearch>(kSearch);
    const QString gone = tree.path() + QStringLiteral("/Music/Live");
    f->dirList->setPath(gone);
    ASSERT_TRUE(QDir(gone).removeRecursively());
    f->cmdSearch->click();
    ASSERT_TRUE(waitIdle(f));
    ASSERT_EQ(messages().size(), 1);
    EXPECT_EQ(
        messages()[0].text,
        QStringLiteral("1 folder could not be searched and was passed over:\n\n%1: No such file or directory")
            .arg(gone));
    EXPECT_EQ(messages()[0].title, QStringLiteral("Lumora"));
    EXPECT_TRUE(f->cmdSearch->isVisible());
}

TEST_F(SearchTest, AddAllAppendsEveryFoundFileAndSetsTheOrderOptions) {
    frmFileLister* lister = fileLister();
    ASSERT_NE(lister, nullptr);
    auto* f = open<frmFileSearch>(kSearch);
    f->Command3->click();
    ASSERT_EQ(messages().size(), 1);
    EXPECT_EQ(
        messages()[0].text,
        QStringLiteral("Use this button to add all of the files in the 'Multimedia Files Found' list box to "
                       "the file list box in the window behind this search window."));
    EXPECT_EQ(messages()[0].title,
              QStringLiteral("'Multimedia Files Found' File List Must Be Populated With Filenames"));
    EXPECT_EQ(messages()[0].style, 64);
    EXPECT_EQ(lister->listCount(), 0);

    // Three entries: random order selected.
    search(f, tree.path() + QStringLiteral("/Videos"));
    ASSERT_EQ(f->lstFoundFiles->count(), 3);
    f->Command3->click();
    ASSERT_EQ(lister->listCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(lister->listItem(i), f->lstFoundFiles->item(i)->text());
    EXPECT_TRUE(lister->optInRandomOrder->isChecked());
    EXPECT_TRUE(lister->optInRandomOrder->isEnabled());
    EXPECT_TRUE(lister->optInOrderOfSelection->isEnabled());

    // Four or more: in order of selection, random still offered.
    f->cmdReset->click();
    search(f, tree.path() + QStringLiteral("/Music"));
    f->Command3->click();
    ASSERT_EQ(lister->listCount(), 4);
    EXPECT_EQ(lister->listItem(3), tree.path() + QStringLiteral("/Music/song.mp3"));
    EXPECT_TRUE(lister->optInOrderOfSelection->isChecked());
    EXPECT_FALSE(lister->optInRandomOrder->isChecked());
    EXPECT_TRUE(lister->optInRandomOrder->isEnabled());
    EXPECT_EQ(messages().size(), 1);
}

TEST_F(SearchTest, APlayListThatIsFullTakesNoMoreAndTheUserIsTold) {
    frmFileLister* lister = fileLister();
    ASSERT_NE(lister, nullptr);
    QStringList filler;
    for (int i = 0; i < frmFileLister::kMaxEntries - 2; ++i)
        filler << QStringLiteral("/earlier/%1.mpg").arg(i);
    playList().appendWhileRoom(filler);
    auto* f = open<frmFileSearch>(kSearch);
    search(f, tree.path());
    f->Command3->click();
    EXPECT_EQ(lister->listCount(), frmFileLister::kMaxEntries);
    EXPECT_EQ(lister->listItem(frmFileLister::kMaxEntries - 1), treeMatches()[1]);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages()[0].text.contains(QStringLiteral("3 of the found files could not be added")))
        << messages()[0].text.toStdString();
}

TEST_F(SearchTest, AFileNamedInLatin1IsFoundShownAndAddedByItsBytes) {
    makeFiles(tree.path(), {"Latin/plain.mpg"});
    const QByteArray latin1 = QFile::encodeName(tree.path()) + "/Latin/caf\xe9.mpg";
    // Qt's own clean-up of the temporary folder cannot name it.
    const auto removeLatin1 = qScopeGuard([&] { ::unlink(latin1.constData()); });
    FILE* file = std::fopen(latin1.constData(), "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    auto* f = open<frmFileSearch>(kSearch);
    search(f, tree.path() + QStringLiteral("/Latin"));
    ASSERT_EQ(f->lstFoundFiles->count(), 2);
    EXPECT_EQ(f->lstFoundFiles->item(0)->text(), tree.path() + QStringLiteral("/Latin/caf\u00e9.mpg"));
    f->Command3->click();
    frmFileLister* lister = fileLister();
    ASSERT_EQ(lister->listCount(), 2);
    EXPECT_EQ(lister->listItem(0), platform::fileNameText(latin1));
    EXPECT_EQ(lister->listItem(1), tree.path() + QStringLiteral("/Latin/plain.mpg"));
    clickItem(f->lstFoundFiles, 0);
    ASSERT_EQ(lister->listCount(), 3);
    EXPECT_EQ(lister->listItem(2), platform::fileNameText(latin1));
}

TEST_F(SearchTest, AFolderNamedInLatin1IsShownAsReadAndOpensByItsBytes) {
    const QByteArray latin1 = QFile::encodeName(tree.path()) + "/caf\xe9";
    ASSERT_EQ(::mkdir(latin1.constData(), 0755), 0);
    const auto removeLatin1 = qScopeGuard([&] { ::rmdir(latin1.constData()); });
    auto* f = open<frmFileSearch>(kSearch);
    QListWidgetItem* cafe = nullptr;
    for (int i = 0; i < f->dirList->count(); ++i)
        if (f->dirList->item(i)->text() == QStringLiteral("caf\u00e9")) cafe = f->dirList->item(i);
    ASSERT_NE(cafe, nullptr);
    EXPECT_EQ(cafe->data(FolderList::kPathRole).toString(), platform::fileNameText(latin1));
    f->dirList->setCurrentItem(cafe);
    EXPECT_TRUE(f->dirList->openHighlighted());
    EXPECT_EQ(f->dirList->path(), platform::fileNameText(latin1));
    EXPECT_EQ(f->dirList->currentItem()->text(), QStringLiteral("caf\u00e9"));
}

// The editor and both searches browse with the same lists: one drive caption, one indent a step.
TEST_F(SearchTest, TheEditorAndTheSearchesCaptionDrivesAndIndentFoldersAlike) {
    frmFileLister* lister = fileLister();
    ASSERT_NE(lister, nullptr);
    lister->Show();
    QCoreApplication::processEvents();
    auto* search = open<frmFileSearch>(kSearch);
    auto* single = open<frmSingleFileSearch>(kSingle);
    ASSERT_NE(search, nullptr);
    ASSERT_NE(single, nullptr);
    const QList<QPair<DriveList*, FolderList*>> lists = {{lister->Drive1, lister->Dir1},
                                                         {search->drvList, search->dirList},
                                                         {single->drvList, single->dirList}};
    for (const auto& [drives, folders] : lists) {
        ASSERT_EQ(drives->count(), 3);
        EXPECT_EQ(drives->itemText(0), tree.path() + QStringLiteral("  [test]"));
        EXPECT_EQ(drives->itemText(1), other.path() + QStringLiteral("  [other]"));
        EXPECT_EQ(drives->minimumSizeHint().width(), lister->Drive1->minimumSizeHint().width());
        // The same row two steps further in is four average characters wider.
        ASSERT_GE(folders->count(), 2);
        QListWidgetItem* row = folders->item(1);
        QStyleOptionViewItem option;
        option.initFrom(folders);
        const int narrow = folders->itemDelegate()->sizeHint(option, folders->indexFromItem(row)).width();
        row->setData(FolderList::kLevelRole, row->data(FolderList::kLevelRole).toInt() + 2);
        const int wide = folders->itemDelegate()->sizeHint(option, folders->indexFromItem(row)).width();
        EXPECT_EQ(wide - narrow, 4 * option.fontMetrics.averageCharWidth())
            << drives->objectName().toStdString();
    }
}

TEST_F(SearchTest, ThePatternBoxTakesBackACharacterNoFileNameCanHold) {
    auto* f = open<frmFileSearch>(kSearch);
    f->txtSearchSpec->clear();
    f->txtSearchSpec->setFocus();
    QTest::keyClicks(f->txtSearchSpec, QStringLiteral("*.avi/"));
    EXPECT_EQ(f->txtSearchSpec->text(), QStringLiteral("*.avi"));
    EXPECT_EQ(f->filList->pattern(), QStringLiteral("*.avi"));
    QTest::keyClicks(f->txtSearchSpec, QStringLiteral(";*.mp3"));
    EXPECT_EQ(f->txtSearchSpec->text(), QStringLiteral("*.avi;*.mp3"));
    // Clicking back into the box selects all of it, ready to be typed over.
    f->cmdReset->setFocus();
    QTest::mouseClick(f->txtSearchSpec, Qt::LeftButton, {}, QPoint(4, f->txtSearchSpec->height() / 2));
    testsupport::waitFor([&] { return f->txtSearchSpec->hasSelectedText(); }, 1000);
    EXPECT_EQ(f->txtSearchSpec->selectedText(), QStringLiteral("*.avi;*.mp3"));
}

TEST_F(SearchTest, StartOnAHighlightedFolderOpensItInsteadOfSearching) {
    auto* f = open<frmFileSearch>(kSearch);
    QListWidgetItem* videos = nullptr;
    for (int i = 0; i < f->dirList->count(); ++i)
        if (f->dirList->item(i)->data(FolderList::kPathRole).toString() ==
            tree.path() + QStringLiteral("/Videos"))
            videos = f->dirList->item(i);
    ASSERT_NE(videos, nullptr);
    QTest::mouseClick(f->dirList->viewport(), Qt::LeftButton, {},
                      f->dirList->visualItemRect(videos).center());
    EXPECT_EQ(f->dirList->path(), tree.path()) << "a click only highlights";
    f->cmdSearch->click();
    EXPECT_EQ(f->dirList->path(), tree.path() + QStringLiteral("/Videos"));
    EXPECT_EQ(f->dirList->subfolderCount(), 1);
    EXPECT_TRUE(f->cmdSearch->isVisible());
    EXPECT_FALSE(f->walkRunning());
    EXPECT_EQ(f->lstFoundFiles->count(), 0);
    // The file list follows the folder list.
    EXPECT_EQ(f->filList->count(), 2);
    f->cmdSearch->click();
    ASSERT_TRUE(waitIdle(f));
    EXPECT_EQ(f->lstFoundFiles->count(), 3);
}

TEST_F(SearchTest, ADriveThatCannotBeReadLeavesTheListsWhereTheyWere) {
    auto* f = open<frmFileSearch>(kSearch);
    f->drvList->setCurrentIndex(1);
    EXPECT_EQ(f->dirList->path(), other.path());
    f->drvList->setCurrentIndex(2); // no such folder: an empty disc drive
    EXPECT_EQ(f->drvList->drive(), other.path());
    EXPECT_EQ(f->dirList->path(), other.path());
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(SearchTest, HelpFromTheLabelAndTheMenu) {
    auto* f = open<frmFileSearch>(kSearch);
    QTest::mouseClick(f->Label2, Qt::LeftButton);
    f->mnuHelp->trigger();
    ASSERT_EQ(messages().size(), 2);
    for (const auto& m : messages()) {
        EXPECT_TRUE(
            m.text.startsWith(QStringLiteral("This utility is designed to help find all of the multimedia "
                                             "files on your hard drive with the extensions listed in the "
                                             "text box.  To limit")));
        EXPECT_TRUE(m.text.endsWith(QStringLiteral("Click the 'Finished' button to return to the Play List "
                                                   "Configurator.")));
        // The start folder a Linux desktop really has.
        EXPECT_TRUE(m.text.contains(
            QStringLiteral("or the process will start from the root folder of the drive that holds the "
                           "screen saver, such as ' / '.  Double-click the filenames")));
        EXPECT_FALSE(m.text.contains(QStringLiteral("C:"))) << m.text.toStdString();
        EXPECT_EQ(m.style, 64);
        EXPECT_EQ(m.title, kHelpTitle);
    }
}

TEST_F(SearchTest, EachAltLetterHasOneTargetInEitherWindow) {
    for (const QString& name : {kSearch, kSingle}) {
        auto* f = open<SearchForm>(name);
        ASSERT_NE(f, nullptr);
        QStringList captions;
        for (QAction* a : f->menuBar->actions())
            captions << a->text();
        for (QAbstractButton* b : f->findChildren<QAbstractButton*>())
            captions << b->text();
        for (QLabel* l : f->findChildren<QLabel*>())
            if (l->buddy()) captions << l->text();
        QMap<QChar, QString> owners;
        for (const QString& c : captions) {
            const qsizetype amp = c.indexOf(u'&');
            if (amp < 0 || amp + 1 >= c.size() || c[amp + 1] == u'&') continue;
            const QChar letter = c[amp + 1].toLower();
            EXPECT_FALSE(owners.contains(letter))
                << name.toStdString() << ": Alt+" << QString(letter).toStdString() << " is both "
                << owners.value(letter).toStdString() << " and " << c.toStdString();
            owners[letter] = c;
        }
        EXPECT_GE(owners.size(), 7) << name.toStdString();
    }
}

// ---- The single-file search ----

TEST_F(SearchTest, SingleFileSearchCaptionsAndHelp) {
    auto* f = open<frmSingleFileSearch>(kSingle);
    ASSERT_NE(f, nullptr);
    expectCaptions(f, QStringLiteral("Search For Single Multimedia File"),
                   {{"Label3", "Search For Single Multimedia File"},
                    {"Label1", "Help"},
                    {"Label2", "X "},
                    {"fraFolder", "Drill To Folder From Which To Begin Search"},
                    {"fraSearchSpec", "Multimedia File Extensions to search:"},
                    {"fraFoundFiles", "Multimedia files found:"},
                    {"Command1", "&Close and Save Filename"},
                    {"cmdCancel", "C&ancel"}});
    EXPECT_EQ(f->findChild<QPushButton*>(QStringLiteral("Command3")), nullptr) << "no Add All here";
    EXPECT_EQ(f->Label2->toolTip(), QStringLiteral("Cancel/Close"));

    QTest::mouseClick(f->Label1, Qt::LeftButton);
    f->mnuHelp->trigger();
    ASSERT_EQ(messages().size(), 2);
    EXPECT_TRUE(
        messages()[0].text.contains(QStringLiteral("The Windows directory typically has a VERY large")));
    EXPECT_FALSE(messages()[1].text.contains(QStringLiteral("VERY large")));
    EXPECT_TRUE(messages()[1].text.contains(QStringLiteral("The default file extensions will return")));
    EXPECT_TRUE(messages()[1].text.contains(
        QStringLiteral("the root folder of the drive that holds the screen saver, such as ' / '.  Click")));
    EXPECT_FALSE(messages()[1].text.contains(QStringLiteral("C:")));
    for (const auto& m : messages()) {
        EXPECT_TRUE(
            m.text.endsWith(QStringLiteral("Next, Click the 'Close and Save Filename' button to use that "
                                           "file in the program.")));
        EXPECT_EQ(m.title, kHelpTitle);
        EXPECT_EQ(m.style, 64);
    }
}

TEST_F(SearchTest, SingleFileCloseAndSaveWithNothingSelectedSaysSoAndKeepsTheSetting) {
    platform.memorySettings()->values[keyName(Key::VideoFile)] = QStringLiteral("/kept.mpg");
    auto* f = open<frmSingleFileSearch>(kSingle);
    search(f, tree.path());
    ASSERT_EQ(f->lstFoundFiles->count(), 5);
    f->Command1->click();
    ASSERT_EQ(messages().size(), 1);
    EXPECT_EQ(messages()[0].text, QStringLiteral("No media file was selected."));
    EXPECT_EQ(messages()[0].title, QStringLiteral("No selection made."));
    EXPECT_EQ(messages()[0].style, 64);
    EXPECT_TRUE(closed(kSingle));
    EXPECT_EQ(platform.memorySettings()->values.value(QStringLiteral("VideoFile")),
              QStringLiteral("/kept.mpg"));
}

TEST_F(SearchTest, SingleFileSelectingDuringAWalkStopsItAndCloseAndSaveStoresIt) {
    frmFileLister* lister = fileLister();
    auto* f = open<frmSingleFileSearch>(kSingle);
    ASSERT_NO_FATAL_FAILURE(pickDuringTheBigWalk(f));
    ASSERT_EQ(f->lstFoundFiles->selectedItems().size(), 1);
    EXPECT_EQ(f->lstFoundFiles->selectedItems()[0]->text(), BigTree::instance().match(0));
    EXPECT_EQ(lister->listCount(), 0) << "nothing goes to the play list";
    f->Command1->click();
    EXPECT_TRUE(closed(kSingle));
    EXPECT_EQ(platform.memorySettings()->values.value(QStringLiteral("VideoFile")),
              BigTree::instance().match(0));
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(SearchTest, SingleFileResetKeepsTheFolderAndMovesTheDriveListToIt) {
    makeFiles(other.path(), {"deep/er/x.mpg"});
    auto* f = open<frmSingleFileSearch>(kSingle);
    search(f, other.path() + QStringLiteral("/deep/er"));
    EXPECT_EQ(f->drvList->drive(), tree.path()) << "browsing leaves the drive list alone";
    f->txtSearchSpec->setText(QStringLiteral("*.avi"));
    f->cmdReset->click();
    EXPECT_EQ(f->dirList->path(), other.path() + QStringLiteral("/deep/er"));
    EXPECT_EQ(f->drvList->drive(), other.path());
    EXPECT_EQ(f->lstFoundFiles->count(), 0);
    EXPECT_EQ(f->lblCount->text(), QStringLiteral("0"));
    EXPECT_EQ(f->txtSearchSpec->text(), mediaPatternList());
}

TEST_F(SearchTest, SingleFileCancelAndTheCloseBoxLeaveTheSettingAlone) {
    platform.memorySettings()->values[keyName(Key::VideoFile)] = QStringLiteral("/kept.mpg");
    for (const char* how : {"cmdCancel", "Label2", "mnuExit"}) {
        auto* f = open<frmSingleFileSearch>(kSingle);
        search(f, tree.path());
        clickItem(f->lstFoundFiles, 1);
        if (QByteArray(how) == "cmdCancel")
            f->cmdCancel->click();
        else if (QByteArray(how) == "Label2")
            QTest::mouseClick(f->Label2, Qt::LeftButton);
        else
            f->mnuExit->trigger();
        EXPECT_TRUE(closed(kSingle)) << how;
        EXPECT_EQ(platform.memorySettings()->values.value(QStringLiteral("VideoFile")),
                  QStringLiteral("/kept.mpg"))
            << how;
    }
    EXPECT_TRUE(messages().isEmpty());
}
