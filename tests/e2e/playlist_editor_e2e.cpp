// The play-list editor and the media-source chooser in the real program on a real X server: what is
// chosen there is what /s plays.
#include "ScreenTest.h"
#include "playlist/frmFileLister.h"
#include "support/TestFiles.h"
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

using e2e::ProgramRun;
using e2e::waitUntil;
using e2e::X11Session;

namespace {

using e2e::kChooser;
using e2e::kEditor;

class PlayListEditorEndToEnd : public e2e::ScreenTest {
protected:
    // Writes the settings, opens the configuration dialog (its place to `dialogAt`) and from its
    // play-list button the editor; the editor's place, or null when the dialog or the editor did not
    // show.
    QRect editorFrom(ProgramRun& run, const QStringList& stored, QPoint playListButton,
                     QRect* dialogAt = nullptr) {
        run.writeSettings(stored);
        const QRect dialog = openDialog(run);
        if (dialogAt) *dialogAt = dialog;
        if (!dialog.isValid()) return {};
        click(dialog, playListButton);
        if (!waitDrawn(kEditor).isValid()) return {};
        return windowNamed(kEditor);
    }
};

TEST_F(PlayListEditorEndToEnd, FilesClickedInTheEditorAreSavedAndPlayInThatOrder) {
    ProgramRun run;
    const QStringList colours{QStringLiteral("red"), QStringLiteral("green"), QStringLiteral("blue")};
    // Named so that the folder's order (red, green, blue) differs from the order they are clicked in.
    const QStringList names{QStringLiteral("a red.mpg"), QStringLiteral("b green.mpg"),
                            QStringLiteral("c blue.mpg")};
    for (int i = 0; i < 3; ++i)
        ASSERT_FALSE(e2e::makeColourClip(run.mediaFolder() + u'/' + names[i], {colours[i]}, 2.0).isEmpty());
    QFile notes(run.mediaFolder() + QStringLiteral("/notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
    const QStringList stored = {keyLine(Key::PlayMultipleFiles, QStringLiteral("True")),
                                keyLine(Key::PlaySingleFile, QStringLiteral("False")),
                                keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                                keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                                keyLine(Key::PathToLastDirectoryFrmFileLister) + run.mediaFolder()};
    QPoint playListButton, save;
    QList<QPoint> rows;
    {
        e2e::FormLayout layout(stored);
        playListButton =
            layout.centreOf(QStringLiteral("frmConfigure"), QStringLiteral("cmdChooseMultiples"));
        for (int i = 0; i < 3; ++i)
            rows << layout.rowOf(QStringLiteral("frmFileLister"), QStringLiteral("File1"), i);
        save = layout.centreOf(QStringLiteral("frmFileLister"), QStringLiteral("Command1"));
    }
    ASSERT_FALSE(rows.contains(QPoint())) << "the editor does not list the three clips";
    QRect dialog;
    const QRect editor = editorFrom(run, stored, playListButton, &dialog);
    ASSERT_TRUE(editor.isValid()) << "the dialog or the editor did not show";
    EXPECT_TRUE(QRect(0, 0, 1280, 1024).contains(editor));
    // Green, red, blue: the pointer moving over the file list lets the list of two be saved.
    for (int row : {1, 0, 2})
        click(editor, rows[row]);
    shot(QStringLiteral("playlist-editor"));
    click(editor, save);
    ASSERT_TRUE(waitGone(kEditor));

    QFile list(run.programFolder() + QStringLiteral("/lumoraplus.ini"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const QString folder = run.mediaFolder();
    EXPECT_EQ(QString::fromUtf8(list.readAll()),
              QStringLiteral("\r\n 3 \r\n%1/b green.mpg\r\n%1/a red.mpg\r\n"
                             "%1/c blue.mpg\r\n")
                  .arg(folder));
    const auto s = settings(run);
    EXPECT_EQ(s.value(QStringLiteral("PathToLastDirectoryFrmFileLister")), folder);
    EXPECT_EQ(s.value(QStringLiteral("PlayInRandomOrder")), QStringLiteral("False"));
    EXPECT_TRUE(s.contains(QStringLiteral("VideoFile")));

    // OK in the configuration dialog, then the screen saver: entry 1 first, then on round the list.
    keysAt(dialog, {QStringLiteral("alt+o")});
    ASSERT_TRUE(endsCleanly(run));
    pointAt(3, 3);
    run.start(QStringLiteral("/s"));
    EXPECT_EQ(coloursSeen(run, colours, 4, 20000),
              (QStringList{QStringLiteral("red"), QStringLiteral("blue"), QStringLiteral("green"),
                           QStringLiteral("red")}));
    x().xdotool({"key", "x"});
    EXPECT_TRUE(endsCleanly(run, 5000));
}

TEST_F(PlayListEditorEndToEnd, AFileChosenInTheFileDialogBecomesTheSingleMediaFile) {
    ProgramRun run;
    ASSERT_FALSE(
        e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/Green Clip.MPG"), {"green"}, 4.0).isEmpty());
    ASSERT_FALSE(e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mpg"), {"red"}, 4.0).isEmpty());
    const QStringList stored = {keyLine(Key::PlaySingleFile, QStringLiteral("True")),
                                keyLine(Key::PlayMultipleFiles, QStringLiteral("False")),
                                keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                                keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                                keyLine(Key::VideoFile) + run.mediaFolder() + QStringLiteral("/red.mpg"),
                                keyLine(Key::PathToLastDirectory) + run.mediaFolder()};
    QPoint chooseButton, cancel;
    {
        e2e::FormLayout layout(stored);
        chooseButton = layout.centreOf(QStringLiteral("frmConfigure"), QStringLiteral("cmdChooseVideo"));
        cancel = layout.centreOf(QStringLiteral("frmChooseOrSearch"), QStringLiteral("cmdCancel"));
    }
    run.writeSettings(stored);
    const QRect dialog = openDialog(run);
    ASSERT_TRUE(dialog.isValid());

    // Cancel first: nothing changes.
    click(dialog, chooseButton);
    ASSERT_TRUE(waitDrawn(kChooser).isValid());
    shot(QStringLiteral("chooser"));
    const QString before = run.readSettings();
    click(windowNamed(kChooser), cancel);
    ASSERT_TRUE(waitGone(kChooser));
    EXPECT_EQ(run.readSettings(), before);

    // The dialog starts in the stored folder; a name typed there is chosen.
    click(dialog, chooseButton);
    ASSERT_TRUE(waitDrawn(kChooser).isValid());
    keysAt(windowNamed(kChooser), {QStringLiteral("Return")});
    ASSERT_TRUE(waitDrawn(QStringLiteral("Open")).isValid());
    const QRect open = windowNamed(QStringLiteral("Open"));
    shot(QStringLiteral("chooser-file-dialog"));
    EXPECT_EQ(x().ownershipFault(QStringLiteral("Open"), kChooser), QString());
    x().xdotool({"mousemove", QString::number(open.center().x()), QString::number(open.top() + 12)});
    x().xdotool({"type", "--delay", "40", "Green Clip.MPG"});
    settle();
    x().xdotool({"key", "Return"});
    ASSERT_TRUE(waitGone(QStringLiteral("Open")));
    ASSERT_TRUE(waitGone(kChooser));
    const auto s = settings(run);
    EXPECT_EQ(s.value(QStringLiteral("VideoFile")), run.mediaFolder() + QStringLiteral("/Green Clip.MPG"));
    EXPECT_EQ(s.value(QStringLiteral("PathToLastDirectory")), run.mediaFolder());
    EXPECT_EQ(s.value(QStringLiteral("PathToLastDirectoryFormDrag")), run.mediaFolder());

    // The closing windows gone and drawn over first, so that the key reaches the dialog.
    settle();
    keysAt(dialog, {QStringLiteral("alt+o")});
    ASSERT_TRUE(endsCleanly(run));
    pointAt(3, 3);
    run.start(QStringLiteral("/s"));
    EXPECT_EQ(coloursSeen(run, {QStringLiteral("red"), QStringLiteral("green")}, 1, 10000),
              QStringList{QStringLiteral("green")});
    x().xdotool({"key", "x"});
    EXPECT_TRUE(endsCleanly(run, 5000));
}

TEST_F(PlayListEditorEndToEnd, TheEditorAndTheChooserFitTheScreenAtDoubleScale) {
    ProgramRun run;
    run.setEnvironment(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    const QStringList stored = {keyLine(Key::PlayMultipleFiles, QStringLiteral("True")),
                                keyLine(Key::PlaySingleFile, QStringLiteral("False"))};
    QPoint playListButton, singleFile;
    {
        e2e::FormLayout layout(stored);
        playListButton =
            layout.centreOf(QStringLiteral("frmConfigure"), QStringLiteral("cmdChooseMultiples")) * 2;
        singleFile = layout.centreOf(QStringLiteral("frmConfigure"), QStringLiteral("optSingleFile")) * 2;
    }
    QRect dialog;
    const QRect editor = editorFrom(run, stored, playListButton, &dialog);
    ASSERT_TRUE(editor.isValid()) << "the dialog or the editor did not show";
    EXPECT_GT(editor.width(), 1000);
    EXPECT_TRUE(QRect(0, 0, 1280, 1024).contains(editor))
        << editor.x() << "," << editor.y() << " " << editor.width() << "x" << editor.height();
    shot(QStringLiteral("playlist-editor-scale2"));
    keysAt(editor, {QStringLiteral("Escape")});
    ASSERT_TRUE(waitGone(kEditor));

    // The chooser's button takes the play-list button's place.
    click(dialog, singleFile);
    click(dialog, playListButton);
    ASSERT_TRUE(waitDrawn(kChooser).isValid());
    const QRect chooser = windowNamed(kChooser);
    EXPECT_TRUE(QRect(0, 0, 1280, 1024).contains(chooser))
        << chooser.x() << "," << chooser.y() << " " << chooser.width() << "x" << chooser.height();
    shot(QStringLiteral("chooser-scale2"));
    keysAt(chooser, {QStringLiteral("Escape")});
    ASSERT_TRUE(waitGone(kChooser));
    run.process().terminate();
    run.waitForEnd(3000);
}

} // namespace

namespace {

class PlayListEditorKeys : public PlayListEditorEndToEnd {
protected:
    QByteArray playListBytes(ProgramRun& run) {
        return testsupport::bytesOf(run.programFolder() + QStringLiteral("/lumoraplus.ini"));
    }
    void putPlayList(ProgramRun& run, const QByteArray& bytes) {
        testsupport::putBytes(run.programFolder() + QStringLiteral("/lumoraplus.ini"), bytes);
    }
    // Opens the editor from the configuration dialog; the pointer then rests on the editor's title
    // strip, over none of the controls that a mouse movement would act on.
    QRect openEditor(ProgramRun& run, const QStringList& stored) {
        QPoint playListButton;
        {
            e2e::FormLayout layout(stored);
            playListButton =
                layout.centreOf(QStringLiteral("frmConfigure"), QStringLiteral("cmdChooseMultiples"));
        }
        const QRect editor = editorFrom(run, stored, playListButton);
        if (editor.isValid()) keysAt(editor, {});
        return editor;
    }
};

QStringList lastFolder(ProgramRun& run) {
    return {keyLine(Key::PathToLastDirectoryFrmFileLister) + run.mediaFolder()};
}

const QStringList kPlayListSettings = {keyLine(Key::PlayMultipleFiles, QStringLiteral("True")),
                                       keyLine(Key::PlaySingleFile, QStringLiteral("False")),
                                       keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                                       keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False"))};

TEST_F(PlayListEditorKeys, ClearAllThenCancelLeavesThePlayListFileAsItWas) {
    ProgramRun run;
    putPlayList(run, "1000\r\n 3 \r\n/m/a.mpg\r\n/m/b c.mpg\r\n/m/a.mpg\r\n");
    const QByteArray before = playListBytes(run);
    const QRect editor = openEditor(run, kPlayListSettings);
    ASSERT_TRUE(editor.isValid());
    keysAt(editor, {QStringLiteral("alt+r")});
    shot(QStringLiteral("playlist-cleared"));
    EXPECT_EQ(playListBytes(run), before) << "clearing alone writes nothing";
    keysAt(editor, {QStringLiteral("Escape")});
    ASSERT_TRUE(waitGone(kEditor));
    EXPECT_EQ(playListBytes(run), before);
    run.process().terminate();
    run.waitForEnd(3000);
}

TEST_F(PlayListEditorKeys, ANewPlayListIsSavedWithTheKeyboardAlone) {
    ProgramRun run;
    for (const QString& name : {QStringLiteral("a.mpg"), QStringLiteral("b.mpg"), QStringLiteral("c.mpg")}) {
        QFile f(run.mediaFolder() + u'/' + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QRect editor = openEditor(run, kPlayListSettings + lastFolder(run));
    ASSERT_TRUE(editor.isValid());
    // Drive, folders, files: Enter adds the highlighted file. Then into the play list, and save.
    keysAt(editor, {"Tab", "Tab", "Return", "Down", "Return", "Tab"});
    shot(QStringLiteral("playlist-keyboard"));
    keysAt(editor, {QStringLiteral("alt+v")});
    ASSERT_TRUE(waitGone(kEditor)) << "the save button stayed disabled";
    EXPECT_EQ(QString::fromUtf8(playListBytes(run)),
              QStringLiteral("\r\n 2 \r\n%1/a.mpg\r\n%1/b.mpg\r\n").arg(run.mediaFolder()));
    run.process().terminate();
    run.waitForEnd(3000);
}

TEST_F(PlayListEditorKeys, AFileNamedInLatin1PlaysIsListedAndIsSavedByItsBytes) {
    ProgramRun run;
    const QByteArray folder = QFile::encodeName(run.mediaFolder());
    const QByteArray latin1 = folder + "/caf\xe9.mpg";
    // Qt's own clean-up of the temporary folder cannot name it.
    const auto removeLatin1 = qScopeGuard([&] { ::unlink(latin1.constData()); });
    // Made under a plain name, then given its Latin-1 one: ffmpeg and git need not handle such names.
    ASSERT_FALSE(e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mpg"), {"red"}, 4.0).isEmpty());
    ASSERT_EQ(::rename((folder + "/red.mpg").constData(), latin1.constData()), 0);
    const QByteArray header = "Liste n\xb0 1";
    putPlayList(run, header + "\r\n 1 \r\n" + latin1 + "\r\n");

    // The screen saver plays it.
    run.writeSettings(kPlayListSettings);
    pointAt(3, 3);
    run.start(QStringLiteral("/s"));
    const QStringList seen =
        coloursSeen(run, {QStringLiteral("red"), QStringLiteral("black")}, 2, 8000);
    EXPECT_TRUE(seen.contains(QStringLiteral("red"))) << seen.join(u' ').toStdString();
    shot(QStringLiteral("latin1-plays"));
    x().xdotool({"key", "x"});
    EXPECT_TRUE(endsCleanly(run, 5000));

    // The editor lists it: the folder holds nothing else, so Enter in the file list adds it.
    const QRect editor = openEditor(run, kPlayListSettings + lastFolder(run));
    ASSERT_TRUE(editor.isValid());
    keysAt(editor, {"Tab", "Tab", "Return", "Tab"});
    shot(QStringLiteral("latin1-listed"));
    keysAt(editor, {QStringLiteral("alt+v")});
    EXPECT_TRUE(waitGone(kEditor));
    EXPECT_EQ(playListBytes(run), header + "\r\n 2 \r\n" + latin1 + "\r\n" + latin1 + "\r\n");
    run.process().terminate();
    run.waitForEnd(3000);
}

TEST_F(PlayListEditorKeys, AFullPlayListSaysSoWhenAFileIsAdded) {
    ProgramRun run;
    QFile clip(run.mediaFolder() + QStringLiteral("/one more.mpg"));
    ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
    QByteArray full = "1000\r\n 32767 \r\n";
    for (int i = 0; i < 32767; ++i)
        full += "/m/" + QByteArray::number(i) + ".mpg\r\n";
    putPlayList(run, full);
    const QRect editor = openEditor(run, kPlayListSettings + lastFolder(run));
    ASSERT_TRUE(editor.isValid());
    const QString title = QStringLiteral("Larkspur Software Lumora Video & Multimedia Screensaver");
    keysAt(editor, {"Tab", "Tab", "Return"});
    ASSERT_TRUE(waitDrawn(title).isValid()) << "no message";
    shot(QStringLiteral("playlist-full"));
    const QRect box = windowNamed(title);
    EXPECT_TRUE(editor.intersects(box));
    keysAt(box, {QStringLiteral("Return")});
    EXPECT_TRUE(waitGone(title));
    keysAt(editor, {QStringLiteral("Escape")});
    EXPECT_TRUE(waitGone(kEditor));
    EXPECT_EQ(playListBytes(run), full);
    run.process().terminate();
    run.waitForEnd(3000);
}

} // namespace
