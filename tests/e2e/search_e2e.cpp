// The media search and the single-file search in the real program on a real X server: reached from
// the configuration dialog as a user reaches them, driven with the mouse and the keyboard, and judged
// by what the program writes (the play list, the chosen file) and by what the screen shows.
#include "ScreenTest.h"
#include "playlist/SearchForms.h"
#include "runtime/Form.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using e2e::ProgramRun;
using e2e::waitUntil;
using e2e::X11Session;

namespace {

const QString kSearch = QStringLiteral("Search For Multimedia Files");
const QString kSingle = QStringLiteral("Search For Single Multimedia File");

// The centre of the first row of the found files, with one file listed.
QPoint firstFound(e2e::FormLayout& layout, const QString& form) {
    runtime::Form* f = layout.shown(form);
    auto* l = f ? f->findChild<QListWidget*>(QStringLiteral("lstFoundFiles")) : nullptr;
    if (!l) return {};
    l->addItem(QStringLiteral("/a.mpg"));
    return l->viewport()->mapTo(f, l->visualItemRect(l->item(0)).center());
}

struct Places {
    QPoint playListButton, searchButton, saveList, chooseButton, chooserSearch;
    QPoint folders, addAll, finished, singleFolders, singleFirst, singleSave;
};

Places places(const QStringList& settings, int scale = 1) {
    e2e::FormLayout layout(settings);
    Places p;
    p.playListButton = layout.centreOf(QStringLiteral("frmConfigure"), QStringLiteral("cmdChooseMultiples"));
    p.chooseButton = layout.centreOf(QStringLiteral("frmConfigure"), QStringLiteral("cmdChooseVideo"));
    p.searchButton = layout.centreOf(QStringLiteral("frmFileLister"), QStringLiteral("Command3"));
    p.saveList = layout.centreOf(QStringLiteral("frmFileLister"), QStringLiteral("Command1"));
    p.chooserSearch =
        layout.centreOf(QStringLiteral("frmChooseOrSearch"), QStringLiteral("cmdChooseFileSearchMethod"));
    p.folders = layout.centreOf(QStringLiteral("frmFileSearch"), QStringLiteral("dirList"));
    p.addAll = layout.centreOf(QStringLiteral("frmFileSearch"), QStringLiteral("Command3"));
    p.finished = layout.centreOf(QStringLiteral("frmFileSearch"), QStringLiteral("Command1"));
    p.singleFolders = layout.centreOf(QStringLiteral("frmSingleFileSearch"), QStringLiteral("dirList"));
    p.singleFirst = firstFound(layout, QStringLiteral("frmSingleFileSearch"));
    p.singleSave = layout.centreOf(QStringLiteral("frmSingleFileSearch"), QStringLiteral("Command1"));
    for (QPoint* q : {&p.playListButton, &p.chooseButton, &p.searchButton, &p.saveList, &p.chooserSearch,
                      &p.folders, &p.addAll, &p.finished, &p.singleFolders, &p.singleFirst, &p.singleSave})
        *q *= scale;
    return p;
}

// A tree of media and other files in a folder of /tmp whose name nothing else there begins with.
class MediaTree {
public:
    MediaTree() {
        for (const char* e : {"Videos/a.mpg", "Videos/Holiday/h.mp4", "Videos/Holiday/notes.txt",
                              "Music/song.mp3", "b.AVI", "cover.jpg"}) {
            const QString path = root() + u'/' + QString::fromLatin1(e);
            QDir().mkpath(QFileInfo(path).path());
            QFile f(path);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        }
    }
    QString root() const { return m_dir.path(); }
    QString name() const { return QFileInfo(m_dir.path()).fileName(); }
    QStringList matches() const {
        return {root() + "/Videos/Holiday/h.mp4", root() + "/Videos/a.mpg", root() + "/Music/song.mp3",
                root() + "/b.AVI"};
    }

private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/lumorasearch-XXXXXX")};
};

class SearchEndToEnd : public e2e::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(QDir(QStringLiteral("/tmp")).exists());
    }
    // Into a folder of the folder list by typing its name, which highlights it, and Enter.
    void openFolder(const QString& name) {
        // What is typed within the keyboard input interval of the last name adds to that name.
        if (m_typed.isValid())
            // The type-ahead interval is to have passed: the time is the point.
            QThread::msleep(std::max<qint64>(0, kTypeAheadMs - m_typed.elapsed()));
        x().xdotool({"type", "--delay", "40", name});
        m_typed.start();
        settle();
        keys({QStringLiteral("Return")});
    }
    // Starts the search with Alt+S and waits until the window shows what it found: changed, then still.
    void searchAndWait(const QRect& window) {
        const QImage before = grab(window);
        keys({QStringLiteral("alt+s")});
        waitUntil([&] { return grab(window) != before; }, 3000);
        settle(5000);
    }
    // Opens the search from the play-list editor; returns the search window.
    QRect openSearch(ProgramRun& run, const Places& at) {
        const QRect dialog = openDialog(run);
        if (!dialog.isValid()) return {};
        click(dialog, at.playListButton);
        if (!waitDrawn(e2e::kEditor).isValid()) return {};
        click(windowNamed(e2e::kEditor), at.searchButton);
        if (!waitDrawn(kSearch).isValid()) return {};
        return windowNamed(kSearch);
    }
    QImage grab(const QRect& r) { return x().grabScreen().copy(r); }
    // Qt's keyboard input interval (400 ms), with room to spare.
    static constexpr qint64 kTypeAheadMs = 500;
    QElapsedTimer m_typed;
    void end(ProgramRun& run) {
        run.process().terminate();
        run.waitForEnd(3000);
    }
};

const QStringList kPlayList = {keyLine(Key::PlayMultipleFiles, QStringLiteral("True")),
                               keyLine(Key::PlaySingleFile, QStringLiteral("False"))};
const QStringList kSingleFile = {keyLine(Key::PlayMultipleFiles, QStringLiteral("False")),
                                 keyLine(Key::PlaySingleFile, QStringLiteral("True"))};

TEST_F(SearchEndToEnd, APreparedTreeIsListedInWalkOrderAndAddedToThePlayList) {
    MediaTree tree;
    const Places at = places(kPlayList);
    ProgramRun run;
    run.writeSettings(kPlayList);
    const QRect search = openSearch(run, at);
    ASSERT_TRUE(search.isValid()) << "the search did not open from the play-list editor";
    EXPECT_TRUE(QRect(0, 0, 1280, 1024).contains(search));

    // From the program's drive down to the tree, through the folder list.
    click(search, at.folders);
    openFolder(QStringLiteral("tmp"));
    openFolder(tree.name());
    searchAndWait(search);
    shot(QStringLiteral("search-after"));

    click(search, at.addAll);
    click(search, at.finished);
    ASSERT_TRUE(waitGone(kSearch));
    // The editor offers its save once the pointer has moved over one of its buttons.
    const QRect editor = windowNamed(e2e::kEditor);
    x().xdotool({"mousemove", QString::number(editor.x() + at.searchButton.x() + 3),
                 QString::number(editor.y() + at.searchButton.y())});
    settle();
    click(editor, at.saveList);
    ASSERT_TRUE(waitGone(e2e::kEditor));
    QFile list(run.programFolder() + QStringLiteral("/lumoraplus.ini"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly)) << "the play list was not saved";
    const QStringList lines = QString::fromUtf8(list.readAll()).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[1], QStringLiteral(" 4 "));
    EXPECT_EQ(lines.mid(2, 4), tree.matches());
    end(run);
}

TEST_F(SearchEndToEnd, StopEndsASearchOfTheWholeDriveAtOnce) {
    const Places at = places(kPlayList);
    ProgramRun run;
    run.writeSettings(kPlayList);
    const QRect search = openSearch(run, at);
    ASSERT_TRUE(search.isValid());
    // The search starts at the root of the program's drive: everything on it.
    const QImage before = grab(search);
    press(QStringLiteral("alt+s"));
    e2e::waitUntil([&] { return grab(search) != before; }, 2000);
    shot(QStringLiteral("search-walking"));
    const QImage walking1 = grab(search);
    // The walk goes on: the window changes over a stretch of time.
    QThread::msleep(300);
    const QImage walking2 = grab(search);
    ASSERT_NE(walking1, walking2) << "the window does not follow the walk (or the walk was over already)";

    press(QStringLiteral("alt+p"));
    settle();
    // A summary of folders that could not be read may come up when the walk ends.
    if (shown(QStringLiteral("Lumora"))) {
        keys({QStringLiteral("Return")});
        settle();
    }
    const QImage stopped1 = grab(search);
    // A stretch of time in which a walk going on would change the window.
    QThread::msleep(1000);
    const QImage stopped2 = grab(search);
    shot(QStringLiteral("search-stopped"));
    EXPECT_EQ(stopped1, stopped2) << "the window still changes a second after Stop";
    // And the window still answers at once.
    keys({QStringLiteral("Escape")});
    EXPECT_TRUE(waitGone(kSearch, 3000));
    end(run);
}

TEST_F(SearchEndToEnd, TheSingleFileSearchStoresTheFileClicked) {
    MediaTree tree;
    const Places at = places(kSingleFile);
    ProgramRun run;
    run.writeSettings(kSingleFile);
    const QRect dialog = openDialog(run);
    ASSERT_TRUE(dialog.isValid());
    click(dialog, at.chooseButton);
    ASSERT_TRUE(waitDrawn(e2e::kChooser).isValid());
    click(windowNamed(e2e::kChooser), at.chooserSearch);
    ASSERT_TRUE(waitDrawn(kSingle).isValid());
    const QRect single = windowNamed(kSingle);
    EXPECT_TRUE(QRect(0, 0, 1280, 1024).contains(single));
    click(single, at.singleFolders);
    openFolder(QStringLiteral("tmp"));
    openFolder(tree.name());
    searchAndWait(single);
    click(single, at.singleFirst);
    shot(QStringLiteral("single-search"));
    click(single, at.singleSave);
    ASSERT_TRUE(waitGone(kSingle));
    EXPECT_TRUE(waitGone(e2e::kChooser)) << "the chooser closes with the search";
    EXPECT_EQ(settings(run).value(QStringLiteral("VideoFile")), tree.matches().first());
    end(run);
}

TEST_F(SearchEndToEnd, TheSearchFitsTheScreenAtDoubleScale) {
    const Places at = places(kPlayList, 2);
    ProgramRun run;
    run.writeSettings(kPlayList);
    run.setEnvironment(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    const QRect search = openSearch(run, at);
    ASSERT_TRUE(search.isValid());
    EXPECT_GT(search.width(), 1000);
    EXPECT_TRUE(QRect(0, 0, 1280, 1024).contains(search))
        << search.x() << "," << search.y() << " " << search.width() << "x" << search.height();
    shot(QStringLiteral("search-scale2"));
    end(run);
}

} // namespace
