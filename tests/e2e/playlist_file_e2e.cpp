// A play-list file given as the single media file, played by the real program on a real X server.
#include "ScreenTest.h"
#include <QFile>
#include <gtest/gtest.h>

using e2e::ProgramRun;

namespace {

class PlayListFileEndToEnd : public e2e::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        if (HasFatalFailure()) return;
        pointAt(5, 5);
    }
};

TEST_F(PlayListFileEndToEnd, FullScreenShowsEveryEntryInTurnThenStartsTheListAgain) {
    ProgramRun run;
    const QStringList colours{QStringLiteral("red"), QStringLiteral("green"), QStringLiteral("blue")};
    QByteArray m3u = "#EXTM3U\n";
    for (const QString& c : colours) {
        const QString clip =
            e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/%1.mpg").arg(c), {c}, 2.0);
        ASSERT_FALSE(clip.isEmpty());
        m3u += clip.toUtf8() + '\n';
    }
    const QString list = run.mediaFolder() + QStringLiteral("/three colours.m3u");
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(m3u) == m3u.size());
    file.close();
    run.writeSettings({keyLine(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True")),
                       keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                       keyLine(Key::PlaySingleFile, QStringLiteral("True")), keyLine(Key::VideoFile, list)});
    run.start(QStringLiteral("/s"));

    // Each entry in turn, then the list from its start once the poll sees it ended.
    const QStringList seen = coloursSeen(run, colours, 4, 15000);
    EXPECT_EQ(seen, colours + QStringList{QStringLiteral("red")});

    x().xdotool({QStringLiteral("key"), QStringLiteral("x")});
    ASSERT_GE(run.waitForEnd(3000), 0);
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process().exitCode(), 0);
}

} // namespace
