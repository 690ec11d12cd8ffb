#include "ScreenTest.h"
#include "base/FileNames.h"
#include "base/SettingsFormat.h"
#include "platform/linux/IniSettingsBackend.h"
#include "support/TestFiles.h"
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

using e2e::ProgramRun;
using e2e::X11Session;

namespace {

// A settings file as people write and pass it around: comments, another section with the same
// key names, values that INI readers misread, a Latin-1 name, a CR LF line, a key given twice, a
// key in another case that the program rewrites, and no line end at the very end.
QByteArray handWritten(const QString& clip, bool floating) {
    QByteArray text = "# Lumora settings for the lab machines, kept by hand\n"
                      "; copied around with scp: please keep the comments\n"
                      "\n"
                      "[Display]\n"
                      "VideoFile=/not/this/one.mpg\n"
                      "AbsoluteFullScreenDisplayMode=False\n"
                      "\n"
                      "[Lumora]   ; the screen saver's own\n";
    if (floating)
        text += "AbsoluteFullScreenDisplayMode=False\n"
                "OneFourthScreenDisplayMode = True  \n"
                "oneeighthscreendisplaymode=False\n";
    else
        text += "AbsoluteFullScreenDisplayMode = True  \n"
                "oneeighthscreendisplaymode=False\n";
    text += "VideoFile=" + clip.toUtf8() +
            "\n"
            "LastFolder=C:\\Videos\\\n"
            "NextKey=still here\n"
            "Remark=\"an unclosed quote\n"
            "Title=a,b\n"
            "Note=x;y\n"
            "Owner=J\xfcrgen\r\n"
            "  # an indented comment = not a key\n"
            "a line without an equals sign\n"
            "UnknownKey = kept as it is\n"
            "widthofscreenresolution = 640\n"
            "GradOn=1\n"
            "gradon=0\n"
            "\n"
            "[Other]\n"
            "HeightOfScreenResolution=1\n"
            "last=line without an end";
    return text;
}

class SettingsEndToEnd : public e2e::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        if (HasFatalFailure()) return;
        pointAt(3, 3);
    }
    bool shown() { return ScreenTest::shown(kMainForm); }

    // Runs "/s" over the hand-written file until the clip shows, ends it with a key and checks
    // that the file is the same but for the keys the program writes.
    void runAndCheck(bool floating) {
        ProgramRun run;
        const QString clip = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/green clip.mpg"),
                                                 {QStringLiteral("green")}, 20.0);
        ASSERT_FALSE(clip.isEmpty());
        const QByteArray original = handWritten(clip, floating);
        {
            QFile f(run.settingsFile());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_EQ(f.write(original), original.size());
        }
        run.start(QStringLiteral("/s"));
        ASSERT_GE(e2e::waitUntil([&] { return shown(); }, 5000), 0);
        // The clip of [Lumora]'s VideoFile plays, not the one of [Display].
        ASSERT_GE(
            e2e::waitUntil(
                [&] { return !e2e::colourBox(x().grabScreen(), QStringLiteral("green")).isNull(); }, 5000),
            0);
        if (!floating) {
            EXPECT_EQ(e2e::colourName(x().pixel(640, 512)), QStringLiteral("green"));
        }
        x().xdotool({QStringLiteral("key"), QStringLiteral("x")});
        ASSERT_GE(run.waitForEnd(3000), 0);
        EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process().exitCode(), 0);

        QFile f(run.settingsFile());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        // The screen width replaced on its own line, the new keys after the section's last key,
        // every other byte as it was.
        const qsizetype cut = original.indexOf("gradon=0\n") + qsizetype(strlen("gradon=0\n"));
        QByteArray before = original.left(cut);
        before.replace("widthofscreenresolution = 640\n", "widthofscreenresolution = 1280\n");
        const QByteArray after = original.mid(cut);
        ASSERT_TRUE(saved.startsWith(before)) << saved.toStdString();
        ASSERT_TRUE(saved.endsWith(after)) << saved.toStdString();
        const QString added =
            QString::fromUtf8(saved.mid(before.size(), saved.size() - before.size() - after.size()));
        const QString number = QStringLiteral("-?[0-9]+(\\.[0-9]+)?(e[-+]?[0-9]+)?");
        const QRegularExpression expectedAdded(
            floating ? QStringLiteral("^HeightOfScreenResolution=1024\nAMoviePositionTopWhenClosedFourth=%1\n"
                                      "AMoviePositionLeftWhenClosedFourth=%1\n$")
                           .arg(number)
                     : QStringLiteral("^HeightOfScreenResolution=1024\n$"));
        EXPECT_TRUE(expectedAdded.match(added).hasMatch()) << added.toStdString();

        // Each value reads as it is written there.
        platform::IniSettingsBackend settings(run.settingsFile());
        const QList<QPair<QString, QString>> values{
            {QStringLiteral("VideoFile"), clip},
            {QStringLiteral("LastFolder"), QStringLiteral("C:\\Videos\\")},
            {QStringLiteral("NextKey"), QStringLiteral("still here")},
            {QStringLiteral("Remark"), QStringLiteral("\"an unclosed quote")},
            {QStringLiteral("Title"), QStringLiteral("a,b")},
            {QStringLiteral("Note"), QStringLiteral("x;y")},
            // Bytes that are not UTF-8 are kept, as in a file name.
            {QStringLiteral("Owner"), platform::fileNameText("J\xfcrgen")},
            {QStringLiteral("UnknownKey"), QStringLiteral("kept as it is")},
            {QStringLiteral("GradOn"), QStringLiteral("0")},
            {QStringLiteral("WidthOfScreenResolution"), QStringLiteral("1280")},
            {QStringLiteral("HeightOfScreenResolution"), QStringLiteral("1024")},
        };
        for (const auto& [key, value] : values)
            EXPECT_EQ(settings.read(key), value) << key.toStdString();
        EXPECT_EQ(settings.read(QStringLiteral("last")), std::nullopt);
    }
};

TEST_F(SettingsEndToEnd, FullScreenRunKeepsAHandWrittenSettingsFileButForTheScreenSize) {
    runAndCheck(false);
}

TEST_F(SettingsEndToEnd, FloatingRunKeepsAHandWrittenSettingsFileButForTheKeysItWrites) {
    runAndCheck(true);
}

// The file a configuration save cut short by a full disk used to leave: the old mode gone, the new
// one never written. /s plays as a fresh installation does (the floating player, one-fourth of the
// screen), says why in one line on standard error, and leaves the modes in the file as they are. A
// file naming two modes does the same.
TEST_F(SettingsEndToEnd, SettingsNamingNoDisplayModeOrSeveralPlayAsAFreshInstallationAndSaySo) {
    for (bool several : {false, true}) {
        SCOPED_TRACE(several ? "two modes" : "no mode");
        ProgramRun run;
        const QString clip =
            e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/red.mpg"), {QStringLiteral("red")}, 20.0);
        ASSERT_FALSE(clip.isEmpty());
        const QString on = several ? QStringLiteral("True") : QStringLiteral("False");
        run.writeSettings({keyLine(Key::GradOn, QStringLiteral("0")),
                           keyLine(Key::ThreeQuartersScreenMode, QStringLiteral("False")),
                           keyLine(Key::AbsoluteFullScreenDisplayMode, on),
                           keyLine(Key::OneHalfScreenDisplayMode, on),
                           keyLine(Key::OneEighthScreenDisplayMode, QStringLiteral("False")),
                           keyLine(Key::OneSixteenthScreenDisplayMode, QStringLiteral("False")),
                           keyLine(Key::MovieWillFloat, QStringLiteral("0")), keyLine(Key::VideoFile, clip)});
        run.captureErrors();
        run.start(QStringLiteral("/s"));
        ASSERT_GE(e2e::waitUntil([&] { return shown(); }, 5000), 0) << "nothing was shown";
        QRect box;
        ASSERT_GE(e2e::waitUntil(
                      [&] {
                          box = e2e::colourBox(x().grabScreen(), QStringLiteral("red"));
                          return box.width() >= 690;
                      },
                      5000),
                  0);
        // The player grows to its size: wait until it stands at it.
        e2e::waitUntil(
            [&] {
                const QRect now = e2e::colourBox(x().grabScreen(), QStringLiteral("red"));
                return qAbs(now.width() - 704) <= 4 && qAbs(now.height() - 563) <= 4;
            },
            1000);
        box = e2e::colourBox(x().grabScreen(), QStringLiteral("red"));
        EXPECT_NEAR(box.width(), 704, 4) << "not the fresh installation's one-fourth";
        EXPECT_NEAR(box.height(), 563, 4);
        x().xdotool({QStringLiteral("key"), QStringLiteral("x")});
        ASSERT_GE(run.waitForEnd(3000), 0);
        EXPECT_EQ(run.process().exitCode(), 0);

        const QStringList said = run.errors().split(u'\n').filter(QStringLiteral("display mode"));
        const QString why = several ? QStringLiteral("names several display modes (AbsoluteFullScreenDisplayMode, "
                                                     "OneHalfScreenDisplayMode)")
                                    : QStringLiteral("names no display mode");
        ASSERT_EQ(said.size(), 1) << run.errors().toStdString();
        EXPECT_EQ(said.first(), QStringLiteral("lumora: the settings file %1 %2; playing in the mode of a fresh "
                                               "installation until one is chosen in the configuration (lumora /c)")
                                    .arg(run.settingsFile(), why));
        platform::IniSettingsBackend settings(run.settingsFile());
        EXPECT_EQ(settings.read(QStringLiteral("OneHalfScreenDisplayMode")), on);
        EXPECT_EQ(settings.read(QStringLiteral("OneFourthScreenDisplayMode")), std::nullopt);
    }
}

// A settings file over 1 MiB is not read: the run uses the defaults (the floating player with the
// default clip, not the full-screen green clip the file asks for), says why, and neither the
// screen size saved at the start nor the place saved at the end replaces the file.
TEST_F(SettingsEndToEnd, OversizedSettingsFileIsLeftAloneAndTheRunUsesTheDefaults) {
    ProgramRun run;
    QFile::link(QStringLiteral(LUMORA_BINARY_DIR "/data"), run.programFolder() + QStringLiteral("/data"));
    const QString clip = e2e::makeColourClip(run.mediaFolder() + QStringLiteral("/green.mpg"),
                                             {QStringLiteral("green")}, 20.0);
    ASSERT_FALSE(clip.isEmpty());
    QByteArray text =
        "[lumora]\nAbsoluteFullScreenDisplayMode=True\nOneEighthScreenDisplayMode=False\nVideoFile=" +
        clip.toUtf8() + "\n; ";
    text += QByteArray(platform::kMaxSettingsFileBytes, 'x') + '\n';
    {
        QFile f(run.settingsFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(text), text.size());
    }
    // Started on its own channels, to hear what it says.
    std::unique_ptr<QProcess> p = run.startAnother(QStringLiteral("/s"));
    ASSERT_GE(e2e::waitUntil([&] { return shown(); }, 5000), 0);
    int green = 0, all = 0;
    const auto countGreen = [&] {
        const QImage screen = x().grabScreen();
        green = 0;
        all = 0;
        for (int y = 16; y < screen.height(); y += 32)
            for (int xx = 16; xx < screen.width(); xx += 32, ++all)
                green += e2e::colourName(screen.pixel(xx, y)) == QLatin1String("green");
        return green < all / 4;
    };
    // Until the clip's picture is up, within the same second and a half.
    e2e::waitUntil(countGreen, 1500);
    EXPECT_LT(green, all / 4) << "the full-screen clip of the refused file plays";
    x().xdotool({QStringLiteral("key"), QStringLiteral("x")});
    ASSERT_TRUE(p->waitForFinished(3000));
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 0);
    const QString said = QString::fromUtf8(p->readAllStandardError());
    EXPECT_TRUE(said.contains(QStringLiteral("lumora: the settings file ") + run.settingsFile() +
                              QStringLiteral(" is larger than")))
        << said.toStdString();
    QFile f(run.settingsFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll() == text) << "the refused file was replaced";
}

} // namespace
