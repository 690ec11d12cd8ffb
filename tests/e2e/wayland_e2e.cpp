#include "SwaySession.h"
#include "X11Session.h"
#include "support/SettingKeys.h"
#include "support/TestFiles.h"
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

using settings::Key;
using testsupport::keyLine;

using e2e::ProgramRun;
using e2e::SwaySession;

namespace {

using testsupport::kMainForm;

// Settings for one clip in a loop: red in full screen, or a small floating player over a blue back
// colour.
QStringList fullScreen(const QString& clip) {
    return {keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
            keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")), keyLine(Key::VideoFile, clip),
            keyLine(Key::BackDropColor, QStringLiteral("16711680"))};
}
// The player stands still, so the background has rows it never crosses.
QStringList floating(const QString& clip) {
    return {keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
            keyLine(Key::OneFourthScreenDisplayMode, QStringLiteral("False")),
            keyLine(Key::OneSixteenthScreenDisplayMode, QStringLiteral("True")),
            keyLine(Key::MovieWillFloat, QStringLiteral("0")),
            keyLine(Key::VideoFile, clip),
            keyLine(Key::BackDropColor, QStringLiteral("16711680"))};
}

// The share of an image's pixels of the named colour, sampled on a grid.
double share(const QImage& image, const QString& colour) {
    if (image.isNull()) return 0;
    int hits = 0, all = 0;
    for (int y = 2; y < image.height(); y += 13)
        for (int x = 2; x < image.width(); x += 17, ++all)
            if (e2e::colourName(image.pixel(x, y)) == colour) ++hits;
    return all ? double(hits) / all : 0;
}

QString firstOutput(const SwaySession& sway) {
    const QJsonArray outputs = sway.outputs();
    return outputs.isEmpty() ? QString()
                             : outputs.first().toObject().value(QStringLiteral("name")).toString();
}

class Wayland : public ::testing::Test {
protected:
    void SetUp() override {
        if (!sway().ok()) GTEST_SKIP() << "no sway session: " << sway().whyNot().toStdString();
        // Long enough that the standing player does not move to a new place during a test.
        m_clip = e2e::makeColourClip(m_run.mediaFolder() + QStringLiteral("/red.mpg"),
                                     {QStringLiteral("red")}, 30);
        ASSERT_FALSE(m_clip.isEmpty()) << "ffmpeg made no clip";
        sway().prepare(m_run);
        m_run.captureErrors();
    }
    virtual SwaySession& sway() { return SwaySession::instance(); }

    // The whole output shows the colour (the clip, or the back colour).
    bool shows(const QString& output, const QString& colour, double atLeast = 0.99) {
        return share(sway().grab(output), colour) >= atLeast;
    }

    ProgramRun m_run;
    QString m_clip;
};

TEST_F(Wayland, RunShowsTheClipFullScreenAndAKeyEndsIt) {
    m_run.writeSettings(fullScreen(m_clip));
    m_run.start(QStringLiteral("/s"));
    const QString output = firstOutput(sway());
    ASSERT_GE(e2e::waitUntil([&] { return shows(output, QStringLiteral("red")); }, 15000), 0)
        << m_run.errors().toStdString();
    ASSERT_TRUE(sway().type(QStringLiteral("x")));
    EXPECT_GE(m_run.waitForEnd(5000), 0) << "a key did not end the run";
    EXPECT_EQ(m_run.process().exitCode(), 0);
    EXPECT_FALSE(m_run.errors().contains(QLatin1String("wl_"))) << m_run.errors().toStdString();
}

// Pixels of the named colour in the whole image.
int pixelsOf(const QImage& image, const QString& colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (e2e::colourName(image.pixel(x, y)) == colour) ++n;
    return n;
}

TEST_F(Wayland, RunOpensNothingWhileAnotherRuns) {
    m_run.writeSettings(fullScreen(m_clip));
    m_run.start(QStringLiteral("/s"));
    const QString output = firstOutput(sway());
    ASSERT_GE(e2e::waitUntil([&] { return shows(output, QStringLiteral("red")); }, 15000), 0)
        << m_run.errors().toStdString();
    // As swayidle or a shortcut would, while the first one runs.
    auto second = m_run.startAnother(QStringLiteral("/s"));
    ASSERT_TRUE(second->waitForFinished(5000)) << "a second run did not end at once";
    EXPECT_EQ(second->exitCode(), 0);
    // One key ends the screen saver: no second one is left behind it.
    ASSERT_TRUE(sway().type(QStringLiteral("x")));
    EXPECT_GE(m_run.waitForEnd(5000), 0);
    e2e::waitUntil([&] { return !shows(output, QStringLiteral("red"), 0.01); }, 500);
    EXPECT_FALSE(shows(output, QStringLiteral("red"), 0.01));
    // With the first one gone, the next run starts.
    m_run.start(QStringLiteral("/s"));
    EXPECT_GE(e2e::waitUntil([&] { return shows(output, QStringLiteral("red")); }, 15000), 0);
    ASSERT_TRUE(sway().type(QStringLiteral("x")));
    EXPECT_GE(m_run.waitForEnd(5000), 0);
}

TEST_F(Wayland, PointerIsHiddenAndAMoveEndsTheRun) {
    // The pointer rests in the top left corner from before the start.
    ASSERT_TRUE(sway().pointer({QStringLiteral("move"), QStringLiteral("-5000"), QStringLiteral("-5000"),
                                QStringLiteral("move"), QStringLiteral("2"), QStringLiteral("2")}));
    m_run.writeSettings(floating(m_clip));
    m_run.start(QStringLiteral("/s"));
    const QString output = firstOutput(sway());
    QImage shot;
    ASSERT_GE(e2e::waitUntil(
                  [&] {
                      shot = sway().grab(output);
                      return share(shot, QStringLiteral("blue")) > 0.5 &&
                             share(shot, QStringLiteral("red")) > 0;
                  },
                  15000),
              0)
        << m_run.errors().toStdString()
        << (shot.save(QStringLiteral(LUMORA_BINARY_DIR "/e2e-wayland-floating.png"))
                ? " (e2e-wayland-floating.png)"
                : "");
    // The pointer stays on the screen while the device that moves it is there: over the screen saver
    // it shows nothing (sway draws its arrow in black and white).
    auto holding = sway().holdPointer(2500);
    // Well into the hold: the pointer is to stay hidden all through it.
    QThread::msleep(1500);
    shot = sway().grab(output);
    EXPECT_EQ(pixelsOf(shot, QStringLiteral("black")) + pixelsOf(shot, QStringLiteral("white")), 0)
        << "the pointer shows"
        << (shot.save(QStringLiteral(LUMORA_BINARY_DIR "/e2e-wayland-pointer.png"))
                ? " (e2e-wayland-pointer.png)"
                : "");
    ASSERT_TRUE(holding->waitForFinished(5000) && holding->exitCode() == 0);
    ASSERT_EQ(m_run.process().state(), QProcess::Running) << "a move below the sensitivity ended the run";

    ASSERT_TRUE(sway().pointer({QStringLiteral("move"), QStringLiteral("40"), QStringLiteral("0"),
                                QStringLiteral("wait"), QStringLiteral("100"), QStringLiteral("move"),
                                QStringLiteral("40"), QStringLiteral("0"), QStringLiteral("wait"),
                                QStringLiteral("300")}));
    EXPECT_GE(m_run.waitForEnd(5000), 0) << "a move did not end the run";
    // Once the program is gone the pointer shows over the desktop: the check above could fail.
    holding = sway().holdPointer(2500);
    e2e::waitUntil([&] { return pixelsOf(sway().grab(output), QStringLiteral("black")) > 0; }, 1500);
    EXPECT_GT(pixelsOf(sway().grab(output), QStringLiteral("black")), 0)
        << "the desktop's pointer does not show";
    holding->waitForFinished(5000);
}

TEST_F(Wayland, PanelsAndNotificationsStayBelowTheRunAndTheKeyboardIsItsOwn) {
    m_run.writeSettings(fullScreen(m_clip));
    m_run.start(QStringLiteral("/s"));
    const QString output = firstOutput(sway());
    ASSERT_GE(e2e::waitUntil([&] { return shows(output, QStringLiteral("red")); }, 15000), 0)
        << m_run.errors().toStdString();
    // A panel on the top layer and a notification on the overlay layer, both shown during the run.
    auto panel = sway().bar(QStringLiteral("top"), QStringLiteral("00ff00"), 40);
    auto notice = sway().bar(QStringLiteral("overlay"), QStringLiteral("ffffff"), 80);
    ASSERT_TRUE(panel && notice) << "the test's bars did not show";
    // A stretch of time in which the bars would have come up over the run.
    QThread::msleep(500);
    const QImage shot = sway().grab(output);
    const QImage top = shot.copy(0, 0, shot.width(), 80);
    EXPECT_EQ(share(top, QStringLiteral("red")), 1.0)
        << "a bar shows over the screen saver"
        << (shot.save(QStringLiteral(LUMORA_BINARY_DIR "/e2e-wayland-bars.png")) ? " (e2e-wayland-bars.png)"
                                                                                 : "");
    // The screen saver is no window of sway's: it is a layer above them.
    EXPECT_FALSE(sway().windowTitles().contains(kMainForm));
    // The keyboard stays with the screen saver while other programs show things.
    ASSERT_TRUE(sway().type(QStringLiteral("x")));
    EXPECT_GE(m_run.waitForEnd(5000), 0) << "a key did not end the run";
    // Without the screen saver the bars show: the check above could fail.
    ASSERT_GE(
        e2e::waitUntil(
            [&] { return e2e::colourName(sway().grab(output).pixel(20, 20)) == QLatin1String("white"); },
            3000),
        0);
    for (auto* bar : {panel.get(), notice.get()}) {
        bar->kill();
        bar->waitForFinished(2000);
    }
}

TEST_F(Wayland, ConfigurationAndItsDialogsWork) {
    const QString dialog = QStringLiteral("Lumora Video & Multimedia Screensaver");
    const QString help = QStringLiteral("Larkspur Software Lumora Video & Multimedia Screensaver");
    auto shown = [&](const QString& title, bool floating = false) {
        return e2e::waitUntil([&] { return sway().windowTitles(floating).contains(title); }, 10000) >= 0;
    };
    auto gone = [&](const QString& title) {
        return e2e::waitUntil([&] { return !sway().windowTitles().contains(title); }, 5000) >= 0;
    };
    m_run.start(QStringLiteral("/c"));
    // The splash goes by itself; the dialog floats at its own size, not tiled over the output.
    ASSERT_TRUE(shown(dialog, true)) << m_run.errors().toStdString()
                                     << sway().windowTitles().join(u',').toStdString();
    {
        const QJsonObject node = sway().window(dialog);
        const QJsonObject shownRect = node.value(QStringLiteral("window_rect")).toObject();
        const QJsonObject ownRect = node.value(QStringLiteral("geometry")).toObject();
        const QJsonObject outputRect =
            sway().outputs().at(0).toObject().value(QStringLiteral("rect")).toObject();
        for (const char* side : {"width", "height"}) {
            const int shownSide = shownRect.value(QLatin1String(side)).toInt();
            EXPECT_GT(shownSide, 100) << side;
            EXPECT_EQ(shownSide, ownRect.value(QLatin1String(side)).toInt()) << side;
            EXPECT_LT(shownSide, outputRect.value(QLatin1String(side)).toInt() * 3 / 4) << side;
        }
    }
    // The colour dialog, over the dialog rather than tiled beside it; cancelled, it writes the back colour.
    ASSERT_TRUE(
        sway().keys({QStringLiteral("-M"), QStringLiteral("alt"), QStringLiteral("l"), QStringLiteral("-m"),
                     QStringLiteral("alt"), QStringLiteral("-k"), QStringLiteral("Return")}));
    ASSERT_TRUE(shown(QStringLiteral("Color"), true)) << sway().windowTitles().join(u',').toStdString();
    ASSERT_TRUE(sway().keys({QStringLiteral("-k"), QStringLiteral("Escape")}));
    ASSERT_TRUE(gone(QStringLiteral("Color")));
    EXPECT_GE(
        e2e::waitUntil([&] { return m_run.readSettings().contains(QLatin1String("BackDropColor=0")); }, 3000),
        0);
    // Help from the menu: a message box, closed with Enter.
    ASSERT_TRUE(
        sway().keys({QStringLiteral("-M"), QStringLiteral("alt"), QStringLiteral("h"), QStringLiteral("-m"),
                     QStringLiteral("alt"), QStringLiteral("-k"), QStringLiteral("Return")}));
    ASSERT_TRUE(shown(help, true)) << sway().windowTitles().join(u',').toStdString();
    ASSERT_TRUE(sway().keys({QStringLiteral("-k"), QStringLiteral("Return")}));
    ASSERT_TRUE(gone(help));
    // Escape cancels the dialog and the program ends.
    ASSERT_TRUE(sway().keys({QStringLiteral("-k"), QStringLiteral("Escape")}));
    ASSERT_GE(m_run.waitForEnd(5000), 0) << "the dialog did not close";
    EXPECT_EQ(m_run.process().exitCode(), 0);
    EXPECT_FALSE(sway().windowTitles().contains(dialog));
}

class WaylandTwoOutputs : public Wayland {
protected:
    void SetUp() override {
        if (!m_own.ok()) GTEST_SKIP() << "no sway session: " << m_own.whyNot().toStdString();
        m_second = m_own.addOutput();
        ASSERT_FALSE(m_second.isEmpty()) << "sway made no second output";
        Wayland::SetUp();
    }
    SwaySession& sway() override { return m_own; }
    SwaySession m_own;
    QString m_second;
};

TEST_F(WaylandTwoOutputs, SecondOutputShowsTheBackColour) {
    m_run.writeSettings(fullScreen(m_clip));
    m_run.start(QStringLiteral("/s"));
    const QString first = firstOutput(sway());
    ASSERT_GE(e2e::waitUntil([&] { return shows(first, QStringLiteral("red")); }, 15000), 0)
        << m_run.errors().toStdString();
    ASSERT_GE(e2e::waitUntil([&] { return shows(m_second, QStringLiteral("blue")); }, 5000), 0)
        << "the second output is not covered";
    // Input on the cover ends the run as well.
    ASSERT_TRUE(sway().type(QStringLiteral("x")));
    EXPECT_GE(m_run.waitForEnd(5000), 0);
}

TEST_F(WaylandTwoOutputs, TheSamePictureShowsOnBothOutputs) {
    m_run.writeSettings(fullScreen(m_clip) << keyLine(Key::EveryMonitor, QStringLiteral("Same")));
    m_run.start(QStringLiteral("/s"));
    const QString first = firstOutput(sway());
    ASSERT_GE(e2e::waitUntil([&] { return shows(first, QStringLiteral("red")) && shows(m_second, QStringLiteral("red")); },
                             15000),
              0)
        << "the second output does not show the picture: " << m_run.errors().toStdString();
    ASSERT_TRUE(sway().type(QStringLiteral("x")));
    EXPECT_GE(m_run.waitForEnd(5000), 0);
}

// The ids of the processes that run this copy of the program, however they were started.
QList<pid_t> runsOf(const ProgramRun& run) {
    const QString program = QFileInfo(run.programFolder() + QStringLiteral("/lumora")).canonicalFilePath();
    QList<pid_t> pids;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (number && QFileInfo(QStringLiteral("/proc/%1/exe").arg(entry)).canonicalFilePath() == program)
            pids << pid;
    }
    return pids;
}

TEST_F(Wayland, SwayidleStartsTheRunWhenTheSessionIsIdle) {
    m_run.writeSettings(fullScreen(m_clip));
    const QString output = firstOutput(sway());
    // The program must be able to read its folder as the session's user before swayidle starts it.
    m_run.startWith({QStringLiteral("--help")});
    ASSERT_GE(m_run.waitForEnd(5000), 0);
    const QString command = m_run.programFolder() + QStringLiteral("/lumora /s");
    // As a user's session starts it: Qt finds the Wayland display by itself.
    QProcessEnvironment env = m_run.environment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("XDG_SESSION_TYPE"));
    auto idle = sway().start({QStringLiteral("swayidle"), QStringLiteral("-w"), QStringLiteral("timeout"),
                              QStringLiteral("2"), command},
                             env);
    ASSERT_EQ(idle->state(), QProcess::Running);
    // Half the idle time: nothing is to start yet.
    QThread::msleep(1000);
    EXPECT_TRUE(runsOf(m_run).isEmpty()) << "started before the session was idle for 2 s";
    const int started = e2e::waitUntil([&] { return shows(output, QStringLiteral("red")); }, 15000);
    EXPECT_GE(started, 0) << "swayidle did not start the screen saver";
    idle->terminate();
    if (!idle->waitForFinished(3000)) idle->kill();
    idle->waitForFinished(1000);
    // A key ends what swayidle started.
    if (started >= 0) {
        ASSERT_TRUE(sway().type(QStringLiteral("x")));
        EXPECT_GE(e2e::waitUntil([&] { return runsOf(m_run).isEmpty(); }, 5000), 0);
    }
    for (pid_t pid : runsOf(m_run))
        ::kill(pid, SIGKILL);
}

// sway's headless outputs cannot be powered off, so this sees the reading's "on" side: the program
// asks the compositor's output power protocol (the client's protocol log says so), hears the output
// is on, lets the control go at once for tools that power outputs down through it, sets no mode, and
// plays on.
TEST_F(Wayland, TheOutputsPowerIsReadWithoutHoldingOrChangingItAndTheRunPlaysWhileItIsOn) {
    m_run.writeSettings(fullScreen(m_clip));
    m_run.setEnvironment(QStringLiteral("WAYLAND_DEBUG"), QStringLiteral("client"));
    m_run.start(QStringLiteral("/s"));
    const QString output = firstOutput(sway());
    ASSERT_GE(e2e::waitUntil([&] { return shows(output, QStringLiteral("red")); }, 15000), 0);
    const QRegularExpression asked(QStringLiteral(R"(-> zwlr_output_power_manager_v1@\d+\.get_output_power\(new id zwlr_output_power_v1@(\d+))"));
    QString log;
    // Two readings at least: the second one asks anew.
    ASSERT_GE(e2e::waitUntil(
                  [&] {
                      log = m_run.errors();
                      return log.count(asked) >= 2;
                  },
                  5000),
              0)
        << "the output power was not asked for";
    EXPECT_TRUE(log.contains(QRegularExpression(QStringLiteral(R"(-> wl_registry@\d+\.bind\(\d+, "zwlr_output_power_manager_v1", 1)"))));
    const QString control = asked.match(log).captured(1);
    EXPECT_TRUE(log.contains(QRegularExpression(QStringLiteral(R"( zwlr_output_power_v1@%1\.mode\(1\))").arg(control))))
        << "the compositor did not say the output is on";
    EXPECT_TRUE(log.contains(QRegularExpression(QStringLiteral(R"(-> zwlr_output_power_v1@%1\.destroy\(\))").arg(control))))
        << "the output's power control was kept";
    EXPECT_FALSE(log.contains(QLatin1String("set_mode")));
    EXPECT_FALSE(log.contains(QLatin1String(".failed()")));
    // Played on: the output still shows the clip, and a key ends the run.
    EXPECT_TRUE(shows(output, QStringLiteral("red")));
    ASSERT_TRUE(sway().type(QStringLiteral("x")));
    EXPECT_GE(m_run.waitForEnd(5000), 0);
}

TEST_F(Wayland, PreviewAndHackModeEndAtOnceSayingWhy) {
    const QList<QStringList> x11Only{{QStringLiteral("/p"), QStringLiteral("1234")},
                                     {QStringLiteral("--window-id"), QStringLiteral("0x400001")},
                                     {QStringLiteral("--root")}};
    for (const QStringList& arguments : x11Only) {
        ProgramRun run;
        sway().prepare(run);
        run.captureErrors();
        run.setEnvironment(QStringLiteral("XSCREENSAVER_WINDOW"), QStringLiteral("0x400001"));
        run.startWith(arguments);
        const int ended = run.waitForEnd(3000);
        ASSERT_GE(ended, 0) << arguments.join(u' ').toStdString() << " did not end";
        EXPECT_NE(run.process().exitCode(), 0) << arguments.join(u' ').toStdString();
        const QStringList lines = run.errors().trimmed().split(u'\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 1) << run.errors().toStdString();
        EXPECT_TRUE(lines.first().contains(QLatin1String("Wayland"))) << lines.first().toStdString();
        EXPECT_TRUE(lines.first().contains(QLatin1String("X11"))) << lines.first().toStdString();
    }
    EXPECT_FALSE(sway().windowTitles().contains(kMainForm));
}

} // namespace
