#include "ScreenTest.h"
#include "support/TestFiles.h"
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using e2e::ProgramRun;
using e2e::X11Session;

namespace {

struct DesktopCase {
    const char* name;
    QList<QStringList> programs; // each a program and its arguments, started in order
    bool fullScreen;
};

void PrintTo(const DesktopCase& c, std::ostream* os) {
    *os << c.name;
}

// xfwm4 reads its settings over the session bus and ends without one.
QStringList xfwm4(const QString& compositor) {
    return {QStringLiteral("dbus-run-session"), QStringLiteral("--"), QStringLiteral("xfwm4"), compositor};
}

// The window managers people run by hand with xss-lock or xautolock, with the panels and compositors
// that go with them: the screen saver must own the screen on each as it does on a bare X server.
// Each test brings up its own X server with a window manager on it.
class OnOwnServer : public e2e::ScreenTest {
protected:
    void SetUp() override {
        m_x = X11Session::ownServer();
        ScreenTest::SetUp();
    }
    X11Session& x() override { return *m_x; }
    // Starts the programs in order and waits for the window manager among them.
    void startDesktop(const QList<QStringList>& programs) {
        for (const QStringList& program : programs)
            ASSERT_NE(m_x->startProgram(program.first(), program.mid(1)), nullptr)
                << program.first().toStdString() << " is not installed";
        ASSERT_GE(e2e::waitUntil([&] { return m_x->windowManagerRunning(); }, 15000), 0)
            << "no window manager came up";
    }
    std::unique_ptr<X11Session> m_x;
};

class OnADesktop : public OnOwnServer, public ::testing::WithParamInterface<DesktopCase> {};

TEST_P(OnADesktop, TheScreenSaverHoldsTheKeyboardAndPointerAndCoversPanelsAndPopUps) {
    const DesktopCase& desktop = GetParam();
    X11Session* x = m_x.get();
    ASSERT_NO_FATAL_FAILURE(startDesktop(desktop.programs));
    QRect panel;
    if (desktop.programs.last().first() == QLatin1String("tint2")) {
        ASSERT_GE(e2e::waitUntil(
                      [&] {
                          return !(panel = x->visibleWindowGeometry(QStringLiteral("--class"),
                                                                    QStringLiteral("tint2")))
                                      .isNull();
                      },
                      10000),
                  0)
            << "the panel did not show";
    }
    settle();

    ProgramRun run;
    const QString red =
        e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mp4"), {QStringLiteral("red")}, 4);
    QStringList settings{
        keyLine(Key::VideoFile, red), keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
        keyLine(Key::BackDropColor) + QString::number(0xFF0000), keyLine(Key::GradOn, QStringLiteral("0"))};
    settings << (desktop.fullScreen ? keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True"))
                                    : keyLine(Key::OneFourthScreenDisplayMode, QStringLiteral("True")));
    run.writeSettings(settings);
    run.setEnvironment(QStringLiteral("DISPLAY"), x->display());
    run.start(QStringLiteral("/s"));
    const QStringList ours = desktop.fullScreen ? QStringList{QStringLiteral("red")}
                                                : QStringList{QStringLiteral("red"), QStringLiteral("blue")};
    const QRect screen(0, 0, 1280, 1024);
    ASSERT_GE(e2e::waitUntil([&] { return e2e::allOf(x->grabScreen(), screen, ours); }, 10000), 0)
        << "the screen saver never covered the whole screen";

    if (!panel.isNull()) {
        EXPECT_TRUE(e2e::allOf(x->grabScreen(), panel, ours)) << "the panel shows over the screen saver";
    }
    e2e::expectTheScreenHeld(*x, run, screen, ours, QPoint(500, 400),
                             QStringLiteral(LUMORA_BINARY_DIR "/e2e-desktop-") +
                                 QString::fromLatin1(desktop.name) + QStringLiteral(".png"));
}

INSTANTIATE_TEST_SUITE_P(
    WindowManagers, OnADesktop,
    ::testing::Values(
        DesktopCase{"OpenboxPicomFullScreen",
                    {{QStringLiteral("openbox")},
                     {QStringLiteral("picom"), QStringLiteral("--backend"), QStringLiteral("xrender")}},
                    true},
        DesktopCase{"OpenboxFloating", {{QStringLiteral("openbox")}}, false},
        DesktopCase{"Xfwm4Tint2FullScreen",
                    {xfwm4(QStringLiteral("--compositor=off")), {QStringLiteral("tint2")}},
                    true},
        DesktopCase{"Xfwm4CompositorTint2Floating",
                    {xfwm4(QStringLiteral("--compositor=on")), {QStringLiteral("tint2")}},
                    false},
        DesktopCase{"MarcoFullScreen", {{QStringLiteral("marco"), QStringLiteral("--no-composite")}}, true},
        DesktopCase{"MarcoFloating", {{QStringLiteral("marco"), QStringLiteral("--no-composite")}}, false}),
    [](const ::testing::TestParamInfo<DesktopCase>& info) { return std::string(info.param.name); });

} // namespace

namespace {

// The dialogs shrink as they close. Under a window manager that frames them, each new size used to
// show as a black box until the program painted it.
class ShrinkOnADesktop : public OnOwnServer {};

TEST_F(ShrinkOnADesktop, AClosingDialogShrinksAsItsOwnPictureNeverABlackBox) {
    X11Session* x = m_x.get();
    ASSERT_NO_FATAL_FAILURE(startDesktop({{QStringLiteral("openbox")}}));
    QProcess::execute(QStringLiteral("env"),
                      {QStringLiteral("DISPLAY=") + x->display(), QStringLiteral("xsetroot"),
                       QStringLiteral("-solid"), QStringLiteral("#00ff00")});
    ProgramRun run;
    run.setEnvironment(QStringLiteral("DISPLAY"), x->display());
    run.start(QStringLiteral("/c"));
    const QString config = e2e::kConfigureDialog;
    // The splash goes by itself; then the dialog, and its mouse dialog from the keyboard.
    ASSERT_TRUE(waitDrawn(config, 15000).isValid());
    x->xdotool({QStringLiteral("windowactivate"), QString::number(x->windowNamed(config))});
    settle();
    keys({QStringLiteral("alt+m"), QStringLiteral("Return")});
    const QString mouse = QStringLiteral("Mouse Sensitivity Control");
    ASSERT_TRUE(waitDrawn(mouse, 5000).isValid());
    // Its place on the screen, with room for the window manager's frame.
    const QRect dialogArea =
        x->visibleWindowGeometry(QStringLiteral("--name"), QLatin1Char('^') + mouse + QLatin1Char('$'))
            .adjusted(-4, -24, 4, 4);
    ASSERT_FALSE(dialogArea.isEmpty());
    const QImage before = x->grabScreen();
    x->xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    // Every picture taken while it shrinks: never more black in its place than its own text makes.
    auto blackShare = [&](const QImage& shot, const QRect& r) {
        int black = 0, all = 0;
        for (int y = r.top(); y <= r.bottom(); y += 3)
            for (int xx = r.left(); xx <= r.right(); xx += 3, ++all)
                if (e2e::colourName(shot.pixel(xx, y)) == QLatin1String("black")) ++black;
        return all ? double(black) / all : 0.0;
    };
    const double ownText = blackShare(before, dialogArea);
    double worst = 0;
    QElapsedTimer t;
    t.start();
    int frames = 0;
    while (t.elapsed() < 1000) {
        worst = std::max(worst, blackShare(x->grabScreen(), dialogArea));
        ++frames;
    }
    EXPECT_LT(worst, ownText + 0.05) << "black over " << int(worst * 100)
                                     << "% of the dialog's place in one of " << frames
                                     << " pictures (its own text: " << int(ownText * 100) << "%)";
    EXPECT_EQ(x->windowNamed(mouse), 0u) << "the dialog did not close";
}

} // namespace
