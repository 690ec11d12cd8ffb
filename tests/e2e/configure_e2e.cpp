#include "ScreenTest.h"
#include "config/frmConfigure.h"
#include "runtime/FormRegistry.h"
#include "shell/frmMixer.h"
#include "shell/frmMouseSensitivity.h"
#include "support/TestFiles.h"
#include "support/inprocess/InProcessPlatform.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <gtest/gtest.h>

void registerProgramForms();

using e2e::ProgramRun;
using e2e::waitUntil;
using e2e::X11Session;

namespace {

const QString kDialog = e2e::kConfigureDialog;
const QString kHelpTitle = QStringLiteral("Larkspur Software Lumora Video & Multimedia Screensaver");

class ConfigureEndToEnd : public e2e::ScreenTest {
protected:
    // Many colours in the rectangle: a drawn window, not an empty one.
    int colourCount(const QRect& r) {
        const QImage s = x().grabScreen();
        QSet<QRgb> colours;
        for (int y = r.top() + 2; y < r.bottom() - 2; y += 7)
            for (int xx = r.left() + 2; xx < r.right() - 2; xx += 7) colours.insert(s.pixel(xx, y));
        return colours.size();
    }
};

const QStringList kSaved = {"GradOn", "Red_Level", "Green_Level", "Blue_Level", "FireGradInterval",
                            "ThreeQuartersScreenMode", "AbsoluteFullScreenDisplayMode", "OneHalfScreenDisplayMode",
                            "OneFourthScreenDisplayMode", "OneSixteenthScreenDisplayMode",
                            "OneEighthScreenDisplayMode", "MovieWillFloat", "MovingMovieSpeed", "PictureTrails",
                            "PlaySingleFile", "PlayMultipleFiles"};

TEST_F(ConfigureEndToEnd, EnterSavesEverySettingInItsStoredFormAndEnds) {
    ProgramRun run;
    const QRect dialog = openDialog(run);
    ASSERT_TRUE(dialog.isValid());
    EXPECT_GT(colourCount(dialog), 15);
    shot(QStringLiteral("configure-fresh"));
    keys({"Return"});
    ASSERT_TRUE(endsCleanly(run));
    const auto s = settings(run);
    const QStringList expected = {"0", "255", "255", "255", "6000", "False", "False", "False", "False", "False",
                                  "True", "1", "50", "1", "True", "False"};
    for (int i = 0; i < kSaved.size(); ++i)
        EXPECT_EQ(s.value(kSaved[i], QStringLiteral("<none>")), expected[i]) << kSaved[i].toStdString();
}

TEST_F(ConfigureEndToEnd, EscapeWritesNothingAndRestoreDefaultsWritesAtOnce) {
    ProgramRun run;
    run.writeSettings({"GradOn=1", "OneFourthScreenDisplayMode=True", "OneEighthScreenDisplayMode=False",
                       "MovingMovieSpeed=77", "Green_Level=7", "FireGradInterval=12000", "VideoFile=/media/x.mpg"});
    ASSERT_TRUE(openDialog(run).isValid());
    const QString before = run.readSettings();
    keys({"Escape"});
    ASSERT_TRUE(endsCleanly(run));
    EXPECT_EQ(run.readSettings(), before);
    EXPECT_EQ(settings(run).value("MovingMovieSpeed"), QStringLiteral("77"));

    // The default clip red, and a blue one in the folder last browsed: a single file that was
    // restored plays the default clip, never the folder.
    ProgramRun again;
    QDir().mkpath(again.programFolder() + QStringLiteral("/data"));
    ASSERT_FALSE(e2e::makeColourClip(again.programFolder() + QStringLiteral("/data/lumora.mpg"), {"red"}, 20).isEmpty());
    ASSERT_FALSE(e2e::makeColourClip(again.mediaFolder() + QStringLiteral("/blue.mpg"), {"blue"}, 20).isEmpty());
    again.writeSettings({"GradOn=0", "OneEighthScreenDisplayMode=True", "Green_Level=7", "FireGradInterval=12000",
                         "VideoFile=/media/x.mpg", "PathToLastDirectory=" + again.mediaFolder(),
                         "MovieWillFloat=0"});
    ASSERT_TRUE(openDialog(again).isValid());
    keys({"alt+r"});
    // The last of the writes empties the media file.
    ASSERT_GE(waitUntil([&] { return settings(again).value("VideoFile", "<none>").isEmpty(); }, 3000), 0);
    const auto s = settings(again);
    EXPECT_EQ(s.value("GradOn"), QStringLiteral("1"));
    EXPECT_EQ(s.value("Red_Level"), QStringLiteral("255"));
    EXPECT_EQ(s.value("Blue_Level"), QStringLiteral("255"));
    EXPECT_EQ(s.value("FireGradInterval"), QStringLiteral("6000"));
    EXPECT_EQ(s.value("VideoFile", "<none>"), QString());
    EXPECT_EQ(again.process().state(), QProcess::Running) << "Restore Defaults keeps the dialog open";
    settle();
    shot(QStringLiteral("configure-restored"));
    keys({"alt+o"});
    ASSERT_TRUE(endsCleanly(again));
    // OK writes the bar's position, which Restore Defaults leaves alone.
    EXPECT_EQ(settings(again).value("FireGradInterval"), QStringLiteral("12000"));
    EXPECT_EQ(settings(again).value("VideoFile", "<none>"), QString());
    again.start(QStringLiteral("/s"));
    ASSERT_GE(waitUntil([&] { return e2e::colourBox(x().grabScreen(), QStringLiteral("red")).width() >= 100; }, 8000), 0)
        << "the default clip did not play";
    EXPECT_FALSE(e2e::colourBox(x().grabScreen(), QStringLiteral("blue")).isValid()) << "the folder played";
    x().xdotool({"key", "space"});
    EXPECT_TRUE(endsCleanly(again));
}

TEST_F(ConfigureEndToEnd, MenusOpenFromTheKeyboardAndTheirDialogsShow) {
    ProgramRun run;
    const QRect dialog = openDialog(run);
    ASSERT_TRUE(dialog.isValid());

    keys({"alt+m", "Return"});
    ASSERT_TRUE(waitDrawn(QStringLiteral("Mouse Sensitivity Control")).isValid());
    EXPECT_GT(colourCount(windowNamed(QStringLiteral("Mouse Sensitivity Control"))), 5);
    shot(QStringLiteral("mouse-sensitivity"));
    x().xdotool({"mousemove", QString::number(windowNamed("Mouse Sensitivity Control").center().x()),
                 QString::number(windowNamed("Mouse Sensitivity Control").center().y())});
    // OK on fresh settings keeps a move ending the full-screen player (played out at the end).
    keys({"Return"});
    ASSERT_TRUE(waitGone(QStringLiteral("Mouse Sensitivity Control")));
    ASSERT_GE(waitUntil([&] { return settings(run).contains("DoNotIgnoreMouseMovent"); }, 3000), 0);
    const QString moveEnds = settings(run).value("DoNotIgnoreMouseMovent");
    EXPECT_EQ(moveEnds, QStringLiteral("True"));

    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"alt+s", "Return"});
    ASSERT_TRUE(waitDrawn(QStringLiteral("Sound Control")).isValid());
    shot(QStringLiteral("sound"));
    x().xdotool({"mousemove", QString::number(windowNamed("Sound Control").center().x()),
                 QString::number(windowNamed("Sound Control").center().y())});
    keys({"Escape"});
    ASSERT_TRUE(waitGone(QStringLiteral("Sound Control")));

    // Monitors: the keyboard starts on the primary monitor.
    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"alt+n", "Return"});
    ASSERT_TRUE(waitDrawn(QStringLiteral("Monitors")).isValid());
    EXPECT_GT(colourCount(windowNamed(QStringLiteral("Monitors"))), 5);
    shot(QStringLiteral("monitors"));
    x().xdotool({"mousemove", QString::number(windowNamed("Monitors").center().x()),
                 QString::number(windowNamed("Monitors").center().y())});
    // The choices are one stop and the arrows move the choice: from the primary monitor, Each.
    keys({"Down", "Down", "Return"});
    ASSERT_TRUE(waitGone(QStringLiteral("Monitors")));
    ASSERT_GE(waitUntil([&] { return settings(run).contains("EveryMonitor"); }, 3000), 0);
    EXPECT_EQ(settings(run).value("EveryMonitor"), QStringLiteral("Each"));

    // The colour dialog; cancelled, it still writes the back colour.
    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"alt+l", "Return"});
    ASSERT_TRUE(waitDrawn(QStringLiteral("Color")).isValid());
    shot(QStringLiteral("colour-dialog"));
    EXPECT_EQ(x().ownershipFault(QStringLiteral("Color"), kDialog), QString());
    x().xdotool({"mousemove", QString::number(windowNamed("Color").center().x()),
                 QString::number(windowNamed("Color").center().y())});
    keys({"Escape"});
    ASSERT_TRUE(waitGone(QStringLiteral("Color")));
    ASSERT_GE(waitUntil([&] { return settings(run).contains("BackDropColor"); }, 3000), 0);
    EXPECT_EQ(settings(run).value("BackDropColor"), QStringLiteral("0"));

    // Help from the menu, and right-button help on the dialog's own surface: message boxes on screen.
    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"alt+h", "Return"});
    ASSERT_TRUE(waitDrawn(kHelpTitle).isValid());
    shot(QStringLiteral("help-message"));
    EXPECT_EQ(x().ownershipFault(kHelpTitle, kDialog), QString());
    x().xdotool({"mousemove", QString::number(windowNamed(kHelpTitle).center().x()),
                 QString::number(windowNamed(kHelpTitle).center().y())});
    keys({"Return"});
    ASSERT_TRUE(waitGone(kHelpTitle));
    settle();
    x().xdotool({"mousemove", QString::number(dialog.left() + 4), QString::number(dialog.center().y()), "click", "3"});
    ASSERT_TRUE(waitShown(kHelpTitle));
    x().xdotool({"mousemove", QString::number(windowNamed(kHelpTitle).center().x()),
                 QString::number(windowNamed(kHelpTitle).center().y())});
    keys({"Return"});
    ASSERT_TRUE(waitGone(kHelpTitle));

    // The play-list source with an empty play list: OK says so and keeps the dialog open.
    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "space", "Return"});
    ASSERT_TRUE(waitDrawn(kHelpTitle).isValid());
    shot(QStringLiteral("empty-playlist-message"));
    EXPECT_EQ(settings(run).value("PlayMultipleFiles"), QStringLiteral("True"));
    x().xdotool({"mousemove", QString::number(windowNamed(kHelpTitle).center().x()),
                 QString::number(windowNamed(kHelpTitle).center().y())});
    keys({"Return"});
    ASSERT_TRUE(waitGone(kHelpTitle));
    EXPECT_TRUE(shown(kDialog));
    EXPECT_EQ(run.process().state(), QProcess::Running);

    // Create Desktop Shortcut: an entry the desktop accepts, for the program itself.
    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"alt+f", "Return"});
    const QString entry = run.homeFolder() + QStringLiteral("/Desktop/Lumora.desktop");
    ASSERT_GE(waitUntil([&] { return QFileInfo::exists(entry); }, 5000), 0);
    EXPECT_TRUE(QFileInfo(entry).isExecutable());
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {entry});
    ASSERT_TRUE(validate.waitForFinished(10000)) << "desktop-file-validate is needed";
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    QFile f(entry);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=") + run.programFolder() + QStringLiteral("/lumora\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nName=Lumora\n")));

    // Visit Our Website leaves the dialog for the web-link form.
    keys({"alt+h", "Down", "Return"});
    ASSERT_TRUE(waitShown(QStringLiteral("Lumora - Visit Our Website")));
    EXPECT_TRUE(waitGone(kDialog));
    settle();
    shot(QStringLiteral("web-link"));
    run.process().terminate();
    run.waitForEnd(3000);

    // The full-screen player on what that OK stored: a move over the picture ends it.
    const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mpg"), {"red"}, 20);
    ASSERT_FALSE(red.isEmpty());
    run.writeSettings({keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                       keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                       keyLine(Key::VideoFile, red), keyLine(Key::DoNotIgnoreMouseMovent, moveEnds)});
    pointAt(600, 500);
    run.start(QStringLiteral("/s"));
    ASSERT_GE(waitUntil([&] { return e2e::colourName(x().pixel(640, 512)) == QLatin1String("red"); }, 8000), 0);
    // The program takes the first place as where the pointer rests; each move is seen on its own.
    QThread::msleep(300);
    pointAt(610, 500);
    // Within the sensitivity: a moment for it to be seen as no move.
    QThread::msleep(300);
    pointAt(640, 500);
    EXPECT_TRUE(endsCleanly(run)) << "a move did not end the full-screen player";
}

TEST_F(ConfigureEndToEnd, AboutShowsTheCreditsAndAModeSavedInTheDialogIsTheModeThatPlays) {
    ProgramRun run;
    const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mpg"), {"red"}, 20);
    ASSERT_FALSE(red.isEmpty());
    run.writeSettings({keyLine(Key::VideoFile, red)});
    ASSERT_TRUE(openDialog(run).isValid());
    keys({"alt+h", "Down", "Down", "Return"});
    ASSERT_TRUE(waitDrawn(QStringLiteral("About Lumora")).isValid());
    shot(QStringLiteral("credits"));
    // Its OK button leads back to a freshly loaded dialog.
    const QRect credits = windowNamed(QStringLiteral("About Lumora"));
    x().xdotool({"mousemove", QString::number(credits.center().x()), QString::number(credits.center().y())});
    keys({"Return"});
    ASSERT_TRUE(waitDrawn(kDialog, 8000).isValid());
    const QRect dialog = windowNamed(kDialog);
    pointAt(dialog.center().x(), dialog.top() + 60);
    // The focus starts on FULL SCREEN; three tabs on is One-Fourth.
    keys({"Tab", "Tab", "Tab", "space", "Return"});
    ASSERT_TRUE(endsCleanly(run));
    EXPECT_EQ(settings(run).value("OneFourthScreenDisplayMode"), QStringLiteral("True"));
    EXPECT_EQ(settings(run).value("OneEighthScreenDisplayMode"), QStringLiteral("False"));

    pointAt(3, 3);
    run.start(QStringLiteral("/s"));
    // One-fourth of 1280 x 1024 is a 704 x 563 player.
    QRect box;
    ASSERT_GE(waitUntil([&] {
                  box = e2e::colourBox(x().grabScreen(), QStringLiteral("red"));
                  return box.width() >= 690;
              }, 8000),
              0);
    EXPECT_NEAR(box.width(), 704, 4);
    EXPECT_NEAR(box.height(), 563, 4);
    x().xdotool({"key", "space"});
    EXPECT_TRUE(endsCleanly(run));
}

// The settings folder on a small disk with one page left and a file just under a page: OK's new keys
// take the file over a page part way. Saved one by one that left the old mode gone and the new one
// unwritten; saved as one, the file stays as it was, the dialog says so and stays, and the old mode
// still plays.
TEST_F(ConfigureEndToEnd, OkOnAFullDiskLeavesTheSettingsWholeAndTheScreenSaverStillPlays) {
    ProgramRun run;
    const QString red = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mpg"), {"red"}, 20);
    ASSERT_FALSE(red.isEmpty());
    testsupport::SmallDisk disk(QFileInfo(run.settingsFile()).path());
    if (!disk.mounted()) GTEST_SKIP() << qPrintable(disk.whyNot());
    const QMap<QString, QString> stored = {{keyName(Key::GradOn), "0"},
                                           {keyName(Key::OneHalfScreenDisplayMode), "True"},
                                           {keyName(Key::OneEighthScreenDisplayMode), "False"},
                                           {keyName(Key::VideoFile), red},
                                           {keyName(Key::WidthOfScreenResolution), "1280"},
                                           {keyName(Key::HeightOfScreenResolution), "1024"}};
    QMap<QString, QPoint> at;
    {
        e2e::FormLayout layout(stored);
        for (const char* c : {"optOneFourth", "Command1"})
            at[c] = layout.centreOf(QStringLiteral("frmConfigure"), QString::fromLatin1(c));
    }
    QStringList lines;
    for (auto it = stored.begin(); it != stored.end(); ++it)
        lines << it.key() + u'=' + it.value();
    QByteArray text = "[lumora]\n" + lines.join(u'\n').toUtf8() + '\n';
    while (text.size() < 4096 - 150)
        text += "; a comment that takes the file to just under one page\n";
    testsupport::putBytes(run.settingsFile(), text);
    const QRect dialog = openDialog(run);
    ASSERT_TRUE(dialog.isValid());
    const QByteArray before = testsupport::bytesOf(run.settingsFile());
    ASSERT_GT(before.size(), 3900);
    ASSERT_TRUE(disk.fill(4096)) << disk.freeBytes() << " bytes free";

    click(dialog, at["optOneFourth"]);
    click(dialog, at["Command1"]);
    ASSERT_TRUE(waitDrawn(kHelpTitle).isValid()) << "no word that the settings were not saved";
    shot(QStringLiteral("configure-full-disk"));
    EXPECT_TRUE(testsupport::bytesOf(run.settingsFile()) == before) << run.readSettings().toStdString();
    const QRect box = windowNamed(kHelpTitle);
    pointAt(box.center().x(), box.center().y());
    keys({"Return"});
    ASSERT_TRUE(waitGone(kHelpTitle));
    EXPECT_TRUE(shown(kDialog)) << "the dialog closed with the choices unsaved";
    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"Escape"});
    ASSERT_TRUE(endsCleanly(run));
    EXPECT_TRUE(testsupport::bytesOf(run.settingsFile()) == before);

    // The mode chosen before still plays.
    pointAt(3, 3);
    run.start(QStringLiteral("/s"));
    EXPECT_TRUE(waitShown(kMainForm)) << "the screen saver did not play on the settings left";
    x().xdotool({"key", "space"});
    EXPECT_TRUE(endsCleanly(run));
}

TEST_F(ConfigureEndToEnd, DialogsFitTheirTextAndKeepTheirPlaceAtSingleAndDoubleScale) {
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        ProgramRun run;
        run.writeSettings({"GradOn=1", "OneHalfScreenDisplayMode=True", "OneEighthScreenDisplayMode=False",
                           "FireGradInterval=6000 ; six seconds between changes"});
        const QRect dialog = openDialog(run, {QStringLiteral("QT_SCALE_FACTOR=%1").arg(scale)});
        ASSERT_TRUE(dialog.isValid());
        // Wholly on a 1280 x 1024 screen even at twice the size, a hand-edited interval or not.
        EXPECT_GT(dialog.width(), 500 * scale);
        EXPECT_TRUE(QRect(0, 0, 1280, 1024).contains(dialog)) << dialog.x() << "," << dialog.y() << " "
                                                              << dialog.width() << "x" << dialog.height();
        EXPECT_NEAR(dialog.center().x(), 640, 2);
        EXPECT_GT(colourCount(dialog), 15);
        shot(QStringLiteral("configure-scale%1-gradient").arg(scale));
        // The focus starts on FULL SCREEN; six tabs on is the floating check box, and the speed bar
        // after it shows the focus too (the style alone draws none on a scroll bar).
        keys({"Tab", "Tab", "Tab", "Tab", "Tab", "Tab"});
        const QImage onCheckBox = x().grabScreen().copy(dialog);
        keys({"Tab"});
        const QImage onBar = x().grabScreen().copy(dialog);
        QRect changed;
        for (int yy = 0; yy < onBar.height(); ++yy)
            for (int xx = 0; xx < onBar.width(); ++xx)
                if (onBar.pixel(xx, yy) != onCheckBox.pixel(xx, yy)) changed |= QRect(xx, yy, 1, 1);
        EXPECT_GE(changed.height(), 30 * scale) << "the focus on the speed bar does not show";
        keys({"shift+Tab", "space"});
        EXPECT_EQ(windowNamed(kDialog), dialog) << "unchecking floating moved or widened the dialog";
        shot(QStringLiteral("configure-scale%1-stationary").arg(scale));
        keys({"alt+r"});
        EXPECT_EQ(windowNamed(kDialog), dialog) << "Restore Defaults moved or widened the dialog";
        shot(QStringLiteral("configure-scale%1-restored").arg(scale));
        if (scale == 2) {
            keys({"alt+m", "Return"});
            ASSERT_TRUE(waitDrawn(QStringLiteral("Mouse Sensitivity Control")).isValid());
            shot(QStringLiteral("mouse-sensitivity-scale2"));
            EXPECT_TRUE(QRect(0, 0, 1280, 1024).contains(windowNamed(QStringLiteral("Mouse Sensitivity Control"))));
        }
        EXPECT_EQ(settings(run).value("MovieWillFloat", "<none>"), QStringLiteral("<none>"));
        run.process().terminate();
        run.waitForEnd(3000);
    }
}

TEST_F(ConfigureEndToEnd, TipsChecksAndTheWindowsTheButtonsOpenShowOnScreen) {
    const QMap<QString, QString> stored = {{keyName(Key::GradOn), "1"},
                                           {keyName(Key::AbsoluteFullScreenDisplayMode), "False"},
                                           {keyName(Key::ThreeQuartersScreenMode), "False"},
                                           {keyName(Key::OneHalfScreenDisplayMode), "False"},
                                           {keyName(Key::OneFourthScreenDisplayMode), "False"},
                                           {keyName(Key::OneEighthScreenDisplayMode), "False"},
                                           {keyName(Key::OneSixteenthScreenDisplayMode), "False"}};
    QMap<QString, QPoint> at;
    {
        e2e::FormLayout layout(stored);
        for (const char* c : {"Label6", "txtRed", "cmdChooseVideo", "optAbsoluteFullScreenVideo", "optMultipleFiles"})
            at[c] = layout.centreOf(QStringLiteral("frmConfigure"), QString::fromLatin1(c));
        at["mouseHelp"] = layout.centreOf(QStringLiteral("frmMouseSensitivity"), QStringLiteral("Label4"));
        at["soundHelp"] = layout.centreOf(QStringLiteral("frmMixer"), QStringLiteral("Label3"));
    }
    ProgramRun run;
    QStringList lines;
    for (auto it = stored.begin(); it != stored.end(); ++it)
        lines << it.key() + u'=' + it.value();
    run.writeSettings(lines);
    const QRect dialog = openDialog(run);
    ASSERT_TRUE(dialog.isValid());
    auto click = [&](const QRect& window, const QPoint& p, const char* button = "1") {
        x().xdotool({"mousemove", QString::number(window.x() + p.x()), QString::number(window.y() + p.y()), "click",
                     button});
        settle();
    };
    auto answer = [&](const QString& title, const QString& shotName) {
        if (!waitDrawn(title).isValid()) return false;
        if (!shotName.isEmpty()) shot(shotName);
        const QRect box = windowNamed(title);
        x().xdotool({"mousemove", QString::number(box.center().x()), QString::number(box.center().y())});
        keys({"Return"});
        return waitGone(title);
    };

    // Right-button help on a label.
    click(dialog, at["Label6"], "3");
    ASSERT_TRUE(answer(kHelpTitle, QString()));

    // A colour level out of range says so when the box is left, once, and the box keeps the focus.
    click(dialog, at["txtRed"]);
    keys({"End", "BackSpace", "BackSpace", "BackSpace", "2", "5", "6", "Tab"});
    ASSERT_TRUE(answer(kHelpTitle, QStringLiteral("colour-level-message")));
    // A stretch of time in which the message would have come back.
    QThread::msleep(400);
    EXPECT_FALSE(shown(kHelpTitle)) << "the message came back";
    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"2", "5", "Tab"});
    // A stretch of time in which a message would have come.
    QThread::msleep(500);
    EXPECT_FALSE(shown(kHelpTitle)) << "25 is a level";

    // The chooser, and the play-list editor, open as windows of their own; closing them comes back.
    click(dialog, at["cmdChooseVideo"]);
    ASSERT_TRUE(waitDrawn(QStringLiteral("Choose or Search for a Media File")).isValid());
    shot(QStringLiteral("chooser"));
    x().requestClose(x().mappedWindowsNamed(QStringLiteral("Choose or Search for a Media File")).first().id);
    ASSERT_TRUE(waitGone(QStringLiteral("Choose or Search for a Media File")));
    click(dialog, at["optMultipleFiles"]);
    click(dialog, at["cmdChooseVideo"]); // the play-list button takes the same place
    ASSERT_TRUE(waitShown(QStringLiteral("Playlist Configuration")));
    x().requestClose(x().mappedWindowsNamed(QStringLiteral("Playlist Configuration")).first().id);
    ASSERT_TRUE(waitGone(QStringLiteral("Playlist Configuration")));

    // A left click on FULL SCREEN selects it and gives its tip.
    click(dialog, at["optAbsoluteFullScreenVideo"]);
    ASSERT_TRUE(answer(QStringLiteral("Helpful Tip for using FULL Screen Mode"), QStringLiteral("full-screen-tip")));

    // The small dialogs' help.
    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"alt+m", "Return"});
    ASSERT_TRUE(waitDrawn(QStringLiteral("Mouse Sensitivity Control")).isValid());
    click(windowNamed(QStringLiteral("Mouse Sensitivity Control")), at["mouseHelp"]);
    ASSERT_TRUE(answer(QStringLiteral("Explanation"), QStringLiteral("mouse-help")));
    keys({"Escape"});
    ASSERT_TRUE(waitGone(QStringLiteral("Mouse Sensitivity Control")));
    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"alt+s", "Return"});
    ASSERT_TRUE(waitDrawn(QStringLiteral("Sound Control")).isValid());
    click(windowNamed(QStringLiteral("Sound Control")), at["soundHelp"]);
    ASSERT_TRUE(answer(QStringLiteral("Sound Control Tip"), QString()));
    keys({"Escape"});
    ASSERT_TRUE(waitGone(QStringLiteral("Sound Control")));

    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"Escape"});
    EXPECT_TRUE(endsCleanly(run));
    EXPECT_EQ(settings(run).value("Red_Level", "<none>"), QStringLiteral("<none>")) << "Cancel saves no level";
}

// The sensitivity from the keyboard alone: the arrows move the bar, a typed number replaces the one
// shown, a number the bar cannot take is refused with a message, and OK stores what was chosen.
TEST_F(ConfigureEndToEnd, MouseSensitivityChangesFromTheKeyboardAlone) {
    const QString mouse = QStringLiteral("Mouse Sensitivity Control");
    // The controls Tab goes through, in order, and where they are in the dialog.
    // The Yes/No pair is one stop, the option selected.
    const QStringList stops = {"hscMouseSensitivity", "txtMouseSensitivity", "optDoNotIgnoreMouseMovement",
                               "Command2", "Command1"};
    QList<QRect> stopRects;
    QPoint barCentre;
    QRect boxInside;
    {
        e2e::FormLayout layout(QStringList{});
        for (const QString& stop : stops)
            stopRects << layout.rectOf(QStringLiteral("frmMouseSensitivity"), stop);
        barCentre = stopRects[0].center();
        boxInside = stopRects[1].adjusted(3, 3, -3, -3);
    }
    ProgramRun run;
    const QRect dialog = openDialog(run);
    ASSERT_TRUE(dialog.isValid());
    auto pointAtFoot = [&](const QString& title) {
        const QRect r = windowNamed(title);
        x().xdotool({"mousemove", QString::number(r.center().x()), QString::number(r.bottom() - 4)});
    };
    auto openMouse = [&] {
        pointAt(dialog.center().x(), dialog.top() + 60);
        keys({"alt+m", "Return"});
        if (!waitDrawn(mouse).isValid()) return false;
        pointAtFoot(mouse);
        return true;
    };

    // The focus starts on the bar; Right moves it up.
    ASSERT_TRUE(openMouse());
    keys({"Right", "Right", "Right", "Return"});
    ASSERT_TRUE(waitGone(mouse));
    ASSERT_GE(waitUntil([&] { return settings(run).value("MouseSensitivity") == QLatin1String("7"); }, 3000), 0)
        << settings(run).value("MouseSensitivity").toStdString();

    // Tab to the box and type: a number out of range is refused on screen and the dialog stays.
    ASSERT_TRUE(openMouse());
    // Once the keyboard moves the focus, the bar shows that it has it, and stops when Tab moves on.
    const QRect window = windowNamed(mouse);
    keys({"shift+Tab", "Tab"});
    const QImage barFocused = x().grabScreen();
    barFocused.copy(window).save(QStringLiteral(LUMORA_BINARY_DIR "/e2e-mouse-sensitivity-bar-focused.png"));
    keys({"Tab"});
    const QImage boxFocused = x().grabScreen();
    int changed = 0;
    const int barRow = window.y() + barCentre.y();
    for (int dy = -3; dy <= 3; ++dy)
        for (int xx = window.left(); xx <= window.right(); ++xx)
            changed += barFocused.pixel(xx, barRow + dy) != boxFocused.pixel(xx, barRow + dy);
    EXPECT_GT(changed, 4) << "no sign of the focus on the bar";
    keys({"6", "0", "0", "Return"});
    ASSERT_TRUE(waitDrawn(kHelpTitle).isValid()) << "600 was not refused";
    shot(QStringLiteral("mouse-sensitivity-refused"));
    pointAtFoot(kHelpTitle);
    keys({"Return"});
    ASSERT_TRUE(waitGone(kHelpTitle));
    EXPECT_TRUE(shown(mouse));
    EXPECT_EQ(settings(run).value("MouseSensitivity"), QStringLiteral("7"));
    // The number is selected again, so the next one typed replaces it.
    pointAtFoot(mouse);
    keys({"1", "2", "3"});
    shot(QStringLiteral("mouse-sensitivity-typed"));
    keys({"Return"});
    ASSERT_TRUE(waitGone(mouse));
    ASSERT_GE(waitUntil([&] { return settings(run).value("MouseSensitivity") == QLatin1String("123"); }, 3000), 0)
        << settings(run).value("MouseSensitivity").toStdString();

    // The next opening shows it on the bar: End then Left is one below the greatest.
    ASSERT_TRUE(openMouse());
    // Every Tab stop shows on screen: each Tab changes the look of the control it lands on (the
    // inside of the box, where the cursor blinks, left out), all the way round.
    {
        const QRect window = windowNamed(mouse);
        auto look = [&] {
            QImage shot = x().grabScreen().copy(window);
            QPainter(&shot).fillRect(boxInside, Qt::black);
            return shot;
        };
        // The first stop shows from the start, before any key has moved the focus.
        const QImage barAtOpening = look().copy(stopRects[0]);
        keys({"Tab"});
        EXPECT_NE(look().copy(stopRects[0]), barAtOpening) << "the bar showed nothing of its focus at the start";
        keys({"shift+Tab"});
        for (int tab = 1; tab <= stops.size() + 1; ++tab) {
            const QRect at = stopRects[tab % stops.size()];
            const QImage before = look().copy(at);
            keys({"Tab"});
            EXPECT_NE(look().copy(at), before) << "Tab " << tab << " onto " << stops[tab % stops.size()].toStdString()
                                               << " shows nothing there";
        }
        keys({"shift+Tab"}); // back from the box to the bar
    }
    keys({"End", "Left", "Return"});
    ASSERT_TRUE(waitGone(mouse));
    ASSERT_GE(waitUntil([&] { return settings(run).value("MouseSensitivity") == QLatin1String("499"); }, 3000), 0);
    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"Escape"});
    EXPECT_TRUE(endsCleanly(run));
}

// Under a window manager: Esc and Alt+F4 in the web-link form and in the credits go back to the
// configuration dialog, which is then still there to use; the program does not end.
TEST_F(ConfigureEndToEnd, WebLinkFormAndCreditsCloseWithEscAndAltF4BackToTheDialog) {
    QProcess* openbox = x().startProgram(QStringLiteral("openbox"));
    ASSERT_NE(openbox, nullptr) << "openbox is not installed";
    struct EndIt {
        QProcess* p;
        ~EndIt() { p->terminate(), p->waitForFinished(3000); }
    } endIt{openbox};
    ASSERT_GE(waitUntil([&] { return x().windowManagerRunning(); }, 15000), 0);

    const QString webLink = QStringLiteral("Lumora - Visit Our Website");
    const QString credits = QStringLiteral("About Lumora");
    ProgramRun run;
    run.start(QStringLiteral("/c"));
    // The splash goes by itself.
    ASSERT_GE(waitUntil([&] { return x().windowNamed(kDialog) != 0; }, 15000), 0);
    auto toFront = [&](const QString& title) {
        const uint32_t id = x().windowNamed(title);
        if (!id) return false;
        settle();
        x().xdotool({"windowactivate", "--sync", QString::number(id)});
        settle();
        return true;
    };
    struct Way {
        QStringList menu;
        QString form;
        QString key;
    };
    const QList<Way> ways = {{{"alt+h", "Down", "Return"}, webLink, "Escape"},
                             {{"alt+h", "Down", "Return"}, webLink, "alt+F4"},
                             {{"alt+h", "Down", "Down", "Return"}, credits, "Escape"},
                             {{"alt+h", "Down", "Down", "Return"}, credits, "alt+F4"}};
    for (const Way& way : ways) {
        const std::string what = (way.form + u' ' + way.key).toStdString();
        ASSERT_TRUE(toFront(kDialog)) << what;
        keys(way.menu);
        ASSERT_GE(waitUntil([&] { return x().windowNamed(way.form) != 0; }, 5000), 0) << what;
        ASSERT_GE(waitUntil([&] { return x().windowNamed(kDialog) == 0; }, 5000), 0) << what;
        ASSERT_TRUE(toFront(way.form)) << what;
        keys({way.key});
        ASSERT_GE(waitUntil([&] { return x().windowNamed(way.form) == 0; }, 5000), 0) << what << " left it open";
        ASSERT_GE(waitUntil([&] { return x().windowNamed(kDialog) != 0; }, 5000), 0)
            << what << " did not lead back to the configuration dialog";
        EXPECT_EQ(run.process().state(), QProcess::Running) << what;
    }
    // The dialog is drawn and answers the keyboard: Esc closes it and ends the program.
    ASSERT_TRUE(toFront(kDialog));
    const QRect dialog = x().visibleWindowGeometry(QStringLiteral("--name"), QLatin1Char('^') + kDialog + u'$');
    EXPECT_GT(colourCount(dialog), 15);
    shot(QStringLiteral("configure-after-alt-f4"));
    keys({"Escape"});
    EXPECT_TRUE(endsCleanly(run));
}

// A settings file over 1 MiB: /c says once, before anything else, why the file is left alone; the
// dialog then opens without a save error, and the file stays byte for byte what it was.
TEST_F(ConfigureEndToEnd, OversizedSettingsFileIsExplainedOnceAndLeftAlone) {
    ProgramRun run;
    QByteArray text = "[lumora]\nOneFourthScreenDisplayMode=True\nOneEighthScreenDisplayMode=False\n; ";
    text += QByteArray(1100 * 1024, 'x') + '\n';
    {
        QDir().mkpath(QFileInfo(run.settingsFile()).absolutePath());
        QFile f(run.settingsFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(text), text.size());
    }
    run.start(QStringLiteral("/c"));
    // The first thing shown: no splash before it or behind it.
    QString before;
    ASSERT_GE(waitUntil([&] {
                  for (const auto& w : x().topWindows())
                      if (w.mapped && w.name != kHelpTitle && w.geometry.width() > 300 && before.isEmpty())
                          before = w.name.isEmpty() ? QStringLiteral("a window without a name") : w.name;
                  return shown(kHelpTitle);
              }, 8000),
              0);
    EXPECT_EQ(before, QString()) << "shown before the notice";
    settle();
    shot(QStringLiteral("oversized-settings-notice"));
    for (const auto& w : x().topWindows())
        EXPECT_FALSE(w.mapped && w.name != kHelpTitle && w.geometry.width() > 300)
            << "shown with the notice: " << w.name.toStdString();
    EXPECT_EQ(x().mappedWindowsNamed(kHelpTitle).size(), 1);
    const QRect box = windowNamed(kHelpTitle);
    EXPECT_GT(colourCount(box), 2);
    x().xdotool({"mousemove", QString::number(box.center().x()), QString::number(box.center().y())});
    keys({"Return"});
    ASSERT_TRUE(waitGone(kHelpTitle));
    // Then the splash and the dialog, with no message about a save.
    ASSERT_TRUE(waitDrawn(kDialog, 10000).isValid());
    EXPECT_FALSE(shown(kHelpTitle)) << "a second message";
    const QRect dialog = windowNamed(kDialog);
    pointAt(dialog.center().x(), dialog.top() + 60);
    keys({"Escape"});
    EXPECT_TRUE(endsCleanly(run));
    QFile f(run.settingsFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll() == text) << "the oversized file was changed";
    EXPECT_EQ(QDir(QFileInfo(run.settingsFile()).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("lumora.ini")});
}

} // namespace
