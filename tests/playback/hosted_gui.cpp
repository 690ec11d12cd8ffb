#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QLabel>
#include <QTest>
#include <QWindow>
#include "playback/frmAbsoluteFullScreenVideo.h"
#include "playback/frmFloatingOneFourthMovie.h"
#include "runtime/FormRegistry.h"
#include "runtime/Twips.h"
#include "support/PlayerFixture.h"

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
    setting(QStringLiteral("VideoFile"), QStringLiteral("/media/loop.mpg"));
    setting(QStringLiteral("OneFourthScreenDisplayMode"), QStringLiteral("True"));
    setting(QStringLiteral("OneEighthScreenDisplayMode"), QStringLiteral("False"));
    setting(QStringLiteral("GradOn"), QStringLiteral("1"));
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
    QTest::qWait(40);
    EXPECT_TRUE(f->rect().contains(player()->geometry()));
    // The gradient is drawn again for the new size, not left at the old one.
    EXPECT_EQ(f->drawing().size(), QSize(400, 300));
    EXPECT_NE(f->drawing().pixelColor(10, 5), f->drawing().pixelColor(10, 295));
    runtime::forms().reset();
}

TEST_F(HostedPlayer, FullScreenPlayerFillsTheHostAtEverySize) {
    setting(QStringLiteral("VideoFile"), QStringLiteral("/media/loop.mpg"));
    setting(QStringLiteral("AbsoluteFullScreenDisplayMode"), QStringLiteral("True"));
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

} // namespace
