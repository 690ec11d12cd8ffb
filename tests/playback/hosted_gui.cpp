#include "base/SharedPicks.h"
#include "playback/MonitorPicks.h"
#include "playback/Rotation.h"
#include "playback/frmAbsoluteFullScreenVideo.h"
#include "playback/frmFloatingOneFourthMovie.h"
#include "runtime/FormRegistry.h"
#include "runtime/Twips.h"
#include "support/PlayerFixture.h"
#include "support/SettingKeys.h"
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include "support/Waits.h"

using settings::Key;

// The players inside another program's window (a screen-saver daemon's): that window is their
// screen, and when it changes size they follow.
namespace {

class HostedPlayer : public testsupport::PlayerFixture {
protected:
    void TearDown() override {
        runtime::hostScreenPixels() = QSize();
        PlayerFixture::TearDown();
    }
    // What the host does to the form it holds.
    template <class Form> void hostResizes(Form* f, int w, int h) {
        runtime::hostScreenPixels() = QSize(w, h);
        // Inside a host the form is a child window, never full screen.
        f->setWindowState(Qt::WindowNoState);
        f->setGeometry(0, 0, w, h);
        f->screenResized();
    }
};

TEST_F(HostedPlayer, FloatingPlayerKeepsItsShareOfTheHostAndStaysInside) {
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    setting(Key::OneFourthScreenDisplayMode, QStringLiteral("True"));
    setting(Key::OneEighthScreenDisplayMode, QStringLiteral("False"));
    setting(Key::GradOn, QStringLiteral("1"));
    runtime::hostScreenPixels() = QSize(800, 600);
    runtime::forms().show(QStringLiteral("frmFloatingOneFourthMovie"));
    auto* f = qobject_cast<frmFloatingOneFourthMovie*>(runtime::forms().find(QStringLiteral("frmFloatingOneFourthMovie")));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->size(), QSize(800, 600));
    hostResizes(f, 800, 600);
    EXPECT_EQ(player()->geometry().size(), QSize(440, 330));

    // Far to the right and bottom of a large host, then the host shrinks: the player shrinks with it
    // and is moved back inside, where it goes on bouncing.
    f->place.left = 350;
    f->place.top = 260;
    hostResizes(f, 400, 300);
    EXPECT_EQ(player()->geometry().size(), QSize(220, 165));
    EXPECT_TRUE(f->rect().contains(player()->geometry())) << player()->geometry().x() << "," << player()->geometry().y();
    for (int i = 0; i < 400; ++i) f->Timer1_Timer();
    testsupport::waitFor([&] { return f->rect().contains(player()->geometry()); }, 1000);
    EXPECT_TRUE(f->rect().contains(player()->geometry()));
    // The gradient is drawn again for the new size, not left at the old one.
    EXPECT_EQ(f->drawing().size(), QSize(400, 300));
    EXPECT_NE(f->drawing().pixelColor(10, 5), f->drawing().pixelColor(10, 295));
    runtime::forms().reset();
}

TEST_F(HostedPlayer, FullScreenPlayerFillsTheHostAtEverySize) {
    setting(Key::VideoFile, QStringLiteral("/media/loop.mpg"));
    setting(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True"));
    runtime::hostScreenPixels() = QSize(320, 240);
    auto* f = qobject_cast<frmAbsoluteFullScreenVideo*>(runtime::forms().get(QStringLiteral("frmAbsoluteFullScreenVideo")));
    ASSERT_TRUE(f);
    f->setAttribute(Qt::WA_ShowWithoutActivating);
    f->Show();
    EXPECT_EQ(player()->geometry(), QRect(0, 0, 320, 240));

    hostResizes(f, 640, 360);
    EXPECT_EQ(player()->geometry(), QRect(0, 0, 640, 360));
    EXPECT_EQ(f->lblTripOff->geometry(), QRect(0, 0, 640, 360));
    hostResizes(f, 100, 80);
    EXPECT_EQ(player()->geometry(), QRect(0, 0, 100, 80));
    runtime::forms().reset();
}

// One copy on each monitor, at random: with Each a copy passes over the entry another shows, and
// still over the file it played last while another remains; with Same it plays another's newer pick.
// With Primary no file is made.
TEST_F(HostedPlayer, RandomPicksPassOverOrFollowTheOtherMonitorsPicks) {
    QTemporaryDir runtimeDir;
    const QByteArray runtimeWas = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    QProcess otherMonitor;
    otherMonitor.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(otherMonitor.waitForStarted(5000));
    const QString a = QStringLiteral("/media/a.mpg"), b = QStringLiteral("/media/b.mpg"),
                  c = QStringLiteral("/media/c.mpg");
    writePlayList({a, b, c});
    setting(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True"));
    setting(Key::PlaySingleFile, QStringLiteral("False"));
    setting(Key::PlayInRandomOrder, QStringLiteral("True"));
    setting(Key::VideoFile, a);
    const QString file = QDir(runtimeDir.path()).filePath(playback::SharedPicks::fileName(QStringLiteral(":7")));
    playback::SharedPicks other(file, otherMonitor.processId());

    playback::sharePicksWithOtherMonitors(playback::MonitorUse::Each, QStringLiteral(":7"));
    ASSERT_TRUE(other.publish(b));
    runtime::forms().show(QStringLiteral("frmAbsoluteFullScreenVideo"));
    auto* f = qobject_cast<playback::PlayerForm*>(runtime::forms().find(QStringLiteral("frmAbsoluteFullScreenVideo")));
    ASSERT_TRUE(f);
    for (int i = 0; i < 30; ++i) {
        setting(Key::FileNotToRepeat, a);
        playback::PlayRandomPick(*f);
        ASSERT_EQ(player()->URL(), c) << "draw " << i;
    }
    EXPECT_EQ(other.filesShownElsewhere(), QStringList{c}) << "the pick is told to the other monitor";
    // Only the file played last is free: it plays again rather than one the other monitor shows.
    ASSERT_TRUE(other.publish(c));
    setting(Key::FileNotToRepeat, a);
    playback::PlayRandomPick(*f);
    EXPECT_EQ(player()->URL(), b);

    playback::sharePicksWithOtherMonitors(playback::MonitorUse::Same, QStringLiteral(":7"));
    ASSERT_TRUE(other.publish(a));
    playback::PlayRandomPick(*f);
    EXPECT_EQ(player()->URL(), a);
    EXPECT_EQ(stored(QStringLiteral("FileNotToRepeat")), a);
    // Followed once; the next pick is this monitor's own again.
    playback::PlayRandomPick(*f);
    EXPECT_NE(player()->URL(), a);
    EXPECT_EQ(other.newerPick(a, 5000).value_or(playback::SharedPicks::Pick{}).file, player()->URL());

    playback::sharePicksWithOtherMonitors(playback::MonitorUse::Primary, QStringLiteral(":7"));
    ASSERT_TRUE(QFile::remove(file));
    playback::PlayRandomPick(*f);
    playback::PlayNextInOrder(*f);
    EXPECT_FALSE(QFile::exists(file));
    runtime::forms().reset();
    otherMonitor.kill();
    otherMonitor.waitForFinished(5000);
    if (runtimeWas.isNull()) qunsetenv("XDG_RUNTIME_DIR");
    else qputenv("XDG_RUNTIME_DIR", runtimeWas);
}

// One copy on each monitor, in order: with Each a copy's start is spread over the list by its
// monitor's place, and from there it walks the whole list in list order.
TEST_F(HostedPlayer, InOrderCopiesStartSpreadOverTheListByTheirMonitorsPlace) {
    QTemporaryDir runtimeDir;
    const QByteArray runtimeWas = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    const QStringList list{QStringLiteral("/media/a.mpg"), QStringLiteral("/media/b.mpg"),
                           QStringLiteral("/media/c.mpg"), QStringLiteral("/media/d.mpg")};
    writePlayList(list);
    setting(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True"));
    setting(Key::PlaySingleFile, QStringLiteral("False"));
    setting(Key::PlayInRandomOrder, QStringLiteral("False"));
    setting(Key::VideoFile, QStringLiteral("/media/single.mpg"));
    const struct {
        playback::MonitorUse use;
        int place;
        QStringList order;
    } cases[] = {
        {playback::MonitorUse::Each, 0, {list[1], list[2], list[3], list[0], list[1]}},
        {playback::MonitorUse::Each, 1, {list[3], list[0], list[1], list[2], list[3]}},
        {playback::MonitorUse::Same, 1, {list[1], list[2], list[3], list[0], list[1]}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.place);
        playback::sharePicksWithOtherMonitors(c.use, QStringLiteral(":7"));
        playback::setPlaceAmongMonitors(c.place, 2);
        runtime::forms().show(QStringLiteral("frmAbsoluteFullScreenVideo"));
        auto* f = qobject_cast<playback::PlayerForm*>(runtime::forms().find(QStringLiteral("frmAbsoluteFullScreenVideo")));
        ASSERT_TRUE(f);
        QStringList order{player()->URL()};
        for (int i = 0; i < 4; ++i) {
            playback::PlayNextInOrder(*f);
            order << player()->URL();
        }
        EXPECT_EQ(order, c.order);
        runtime::forms().reset();
    }
    playback::sharePicksWithOtherMonitors(playback::MonitorUse::Primary, QStringLiteral(":7"));
    if (runtimeWas.isNull()) qunsetenv("XDG_RUNTIME_DIR");
    else qputenv("XDG_RUNTIME_DIR", runtimeWas);
}

} // namespace
