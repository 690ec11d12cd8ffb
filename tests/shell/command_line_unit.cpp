#include "platform/Overrides.h"
#include "platform/linux/IniSettingsBackend.h"
#include "shell/CommandLine.h"
#include "shell/XscreensaverList.h"
#include "support/SettingKeys.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>

using settings::Key;
using testsupport::keyName;

namespace {
CommandLine parse(const QStringList& args, const QString& env = QString()) { return parseCommandLine(args, env); }
} // namespace

TEST(CommandLine, ClassicSwitchesPassThroughAndDaemonOptionsAreSwallowed) {
    EXPECT_EQ(parse({QStringLiteral("/p"), QStringLiteral("1234")}).classicSwitch, QStringLiteral("/p 1234"));
    EXPECT_EQ(parse({QStringLiteral("/p 1234")}).classicSwitch, QStringLiteral("/p 1234"));
    EXPECT_EQ(parse({}).classicSwitch, QString());

    // What xscreensaver adds to every hack's command line is neither the switch nor an error.
    const CommandLine daemon = parse({QStringLiteral("-root"), QStringLiteral("-mono"), QStringLiteral("-visual"),
                                      QStringLiteral("TrueColor"), QStringLiteral("-geometry"),
                                      QStringLiteral("640x480+0+0"), QStringLiteral("-fps"), QStringLiteral("-install")},
                                     QStringLiteral("0x2a00007"));
    EXPECT_TRUE(daemon.hosted);
    EXPECT_EQ(daemon.hostWindow, 0x2a00007);
    EXPECT_TRUE(daemon.warnings.isEmpty()) << qPrintable(daemon.warnings.join(u'\n'));
    EXPECT_EQ(daemon.classicSwitch, QString());

    EXPECT_TRUE(daemon.refused.isEmpty());

    // The four switches in any case, a handle after /p and /a, and one on /c, are understood.
    for (const char* sw : {"/s", "/S", "/c", "/C:1234", "/c 1234", "/p", "/P 0x1f", "/a 5", "/a:5"})
        EXPECT_TRUE(parse({QString::fromLatin1(sw)}).refused.isEmpty()) << sw;
    // Anything else is refused, the first thing not understood named.
    for (const QStringList& bad : {QStringList{"-s"}, QStringList{"S"}, QStringList{"/sx"}, QStringList{"/s", "/c"},
                                   QStringList{"/p", "abc"}, QStringList{"--"}, QStringList{"--shimmer", "/s"},
                                   QStringList{"/s", "--mode", "huge", "--bogus"}}) {
        const CommandLine c = parse(bad);
        EXPECT_TRUE(c.refused.contains(bad.size() == 4 ? QStringLiteral("huge") : bad.first()))
            << qPrintable(bad.join(u' ')) << ": " << qPrintable(c.refused);
        EXPECT_FALSE(refusalLine(c.refused).contains(u'\n'));
    }
}

TEST(CommandLine, HostWindowFromTheOptionOrTheDaemonsVariable) {
    // --window-id wins over --root and the variable; hex or decimal, one dash or two, "=" or a blank.
    EXPECT_EQ(parse({QStringLiteral("--root"), QStringLiteral("--window-id"), QStringLiteral("0x400001")},
                    QStringLiteral("0x2a00007"))
                  .hostWindow,
              0x400001);
    EXPECT_EQ(parse({QStringLiteral("-window-id=4194305")}).hostWindow, 4194305);
    EXPECT_EQ(parse({QStringLiteral("--root")}, QStringLiteral("41943050")).hostWindow, 41943050);
    // --root with no window named: hosted, the root window meant.
    const CommandLine bare = parse({QStringLiteral("--root")});
    EXPECT_TRUE(bare.hosted);
    EXPECT_EQ(bare.hostWindow, 0);
    // Ids an X server cannot have name no window.
    for (const char* bad : {"0x100000000", "zz", "0", "-5", ""}) {
        const CommandLine c = parse({QStringLiteral("--window-id"), QString::fromLatin1(bad)});
        EXPECT_TRUE(c.hosted) << bad;
        EXPECT_EQ(c.hostWindow, 0) << bad;
        EXPECT_FALSE(c.warnings.isEmpty()) << bad;
    }
    // A value missing at the end is refused, not a crash.
    EXPECT_FALSE(parse({QStringLiteral("--window-id")}).refused.isEmpty());
    EXPECT_FALSE(parse({QStringLiteral("/s")}).hosted);
}

TEST(CommandLine, OptionsBecomeSettingsForTheRun) {
    const CommandLine c = parse({QStringLiteral("--window-id"), QStringLiteral("5"), QStringLiteral("--file"),
                                 QStringLiteral("/media/a b.mkv"), QStringLiteral("--random"),
                                 QStringLiteral("--mode=one-half"), QStringLiteral("--no-float"),
                                 QStringLiteral("-speed"), QStringLiteral("20"), QStringLiteral("--gradient"),
                                 QStringLiteral("--no-trails")});
    EXPECT_TRUE(c.warnings.isEmpty() && c.refused.isEmpty()) << qPrintable(c.warnings.join(u'\n') + c.refused);
    const QMap<QString, QString> expected{
        {QStringLiteral("VideoFile"), QStringLiteral("/media/a b.mkv")},
        {QStringLiteral("PlaySingleFile"), QStringLiteral("True")},
        {QStringLiteral("PlayInRandomOrder"), QStringLiteral("True")},
        {QStringLiteral("AbsoluteFullScreenDisplayMode"), QStringLiteral("False")},
        {QStringLiteral("ThreeQuartersScreenMode"), QStringLiteral("False")},
        {QStringLiteral("OneHalfScreenDisplayMode"), QStringLiteral("True")},
        {QStringLiteral("OneFourthScreenDisplayMode"), QStringLiteral("False")},
        {QStringLiteral("OneEighthScreenDisplayMode"), QStringLiteral("False")},
        {QStringLiteral("OneSixteenthScreenDisplayMode"), QStringLiteral("False")},
        {QStringLiteral("MovieWillFloat"), QStringLiteral("0")},
        {QStringLiteral("MovingMovieSpeed"), QStringLiteral("20")},
        {QStringLiteral("GradOn"), QStringLiteral("1")},
        {QStringLiteral("PictureTrails"), QStringLiteral("0")},
        // Hosted: one copy runs per monitor, silent unless asked.
        {QStringLiteral("ScreensaverSoundMutePreference"), QStringLiteral("1")},
    };
    EXPECT_EQ(c.overrides, expected);

    // The play list wins over a file; --sound unmutes; out-of-range values are refused with a warning.
    const CommandLine d = parse({QStringLiteral("--root"), QStringLiteral("--playlist"), QStringLiteral("--file"),
                                 QStringLiteral("x.mpg"), QStringLiteral("--sound"), QStringLiteral("--speed"),
                                 QStringLiteral("0"), QStringLiteral("--mode"), QStringLiteral("huge")});
    EXPECT_EQ(d.overrides.value(QStringLiteral("PlaySingleFile")), QStringLiteral("False"));
    EXPECT_EQ(d.overrides.value(QStringLiteral("ScreensaverSoundMutePreference")), QStringLiteral("0"));
    EXPECT_FALSE(d.overrides.contains(QStringLiteral("MovingMovieSpeed")));
    EXPECT_FALSE(d.overrides.contains(QStringLiteral("OneEighthScreenDisplayMode")));
    EXPECT_TRUE(d.refused.contains(QStringLiteral("speed"))) << qPrintable(d.refused);

    // Outside a daemon's window the sound is the user's setting.
    EXPECT_FALSE(parse({QStringLiteral("/s"), QStringLiteral("--mode"), QStringLiteral("full")})
                     .overrides.contains(QStringLiteral("ScreensaverSoundMutePreference")));
    EXPECT_TRUE(parse({QStringLiteral("--help")}).help);
    for (const char* option : {"--root", "--window-id", "--file", "--playlist", "--random", "--mode", "--float",
                               "--no-float", "--speed", "--gradient", "--no-gradient", "--trails", "--no-trails",
                               "--monitors", "--sound", "--help", "/s", "/c", "/p", "/a"})
        EXPECT_TRUE(usageText().contains(QString::fromLatin1(option))) << option;
}

TEST(CommandLine, MonitorsOptionSetsTheMonitorUseForTheRunInAnyCase) {
    const QString key = QStringLiteral("EveryMonitor");
    EXPECT_EQ(parse({QStringLiteral("/s"), QStringLiteral("--monitors"), QStringLiteral("SAME")}).overrides.value(key),
              QStringLiteral("Same"));
    EXPECT_EQ(parse({QStringLiteral("-monitors=each")}).overrides.value(key), QStringLiteral("Each"));
    // A daemon's hack takes it too.
    const CommandLine hosted = parse({QStringLiteral("--root"), QStringLiteral("--monitors"), QStringLiteral("Primary")},
                                     QStringLiteral("0x2a00007"));
    EXPECT_TRUE(hosted.hosted && hosted.refused.isEmpty()) << qPrintable(hosted.refused);
    EXPECT_EQ(hosted.overrides.value(key), QStringLiteral("Primary"));
    EXPECT_FALSE(parse({QStringLiteral("/s")}).overrides.contains(key));

    // A word the setting would quietly read as the primary monitor is refused, and so is none.
    const CommandLine bad = parse({QStringLiteral("/s"), QStringLiteral("--monitors"), QStringLiteral("all")});
    EXPECT_EQ(bad.refused, QStringLiteral("monitors \"all\" is not primary, same or each"));
    EXPECT_FALSE(bad.overrides.contains(key));
    EXPECT_EQ(parse({QStringLiteral("/s"), QStringLiteral("--monitors")}).refused,
              QStringLiteral("option --monitors needs a value"));
}

TEST(OverridingSettings, OptionsWinOnReadAndNeverReachTheFile) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/lumora.ini");
    platform::IniSettingsBackend file(path);
    file.write(keyName(Key::GradOn), QStringLiteral("0"));
    file.write(keyName(Key::VideoFile), QStringLiteral("/home/u/mine.mpg"));

    const QMap<QString, QString> given{{QStringLiteral("GradOn"), QStringLiteral("1")}};
    {
        // Keys compare without case, as in the file.
        platform::OverridingSettings run(file, given, false);
        EXPECT_EQ(run.read(QStringLiteral("gradon")), QStringLiteral("1"));
        EXPECT_EQ(run.read(QStringLiteral("VideoFile")), QStringLiteral("/home/u/mine.mpg"));
        run.write(QStringLiteral("GRADON"), QStringLiteral("1"));
        run.write(keyName(Key::PathToLastDirectory), QStringLiteral("/tmp"));
        EXPECT_EQ(file.read(QStringLiteral("GradOn")), QStringLiteral("0"));
        EXPECT_EQ(file.read(QStringLiteral("PathToLastDirectory")), QStringLiteral("/tmp"));
    }
    {
        platform::OverridingSettings hosted(file, given, true);
        hosted.write(keyName(Key::WidthOfScreenResolution), QStringLiteral("320"));
        EXPECT_FALSE(file.read(QStringLiteral("WidthOfScreenResolution")).has_value());
        // The run still sees what it set: the next random pick avoids the file played last.
        hosted.write(keyName(Key::FileNotToRepeat), QStringLiteral("/v/a.mpg"));
        EXPECT_EQ(hosted.read(QStringLiteral("filenottorepeat")), QStringLiteral("/v/a.mpg"));
        EXPECT_FALSE(file.read(QStringLiteral("FileNotToRepeat")).has_value());
    }

    platform::QuietDialogs quiet;
    EXPECT_EQ(quiet.messageBox(QStringLiteral("No media"), 64, QStringLiteral("Lumora")), 1);
    EXPECT_EQ(quiet.messageBox(QStringLiteral("Sure?"), 36, QStringLiteral("Lumora")), 7);
    EXPECT_EQ(quiet.told(), (QStringList{QStringLiteral("No media"), QStringLiteral("Sure?")}));
}

// The entry xscreensaver's list gets: Lumora first, every other display mode kept, nothing twice.
TEST(XscreensaverList, LumoraGoesFirstOnceAndEveryOtherModeStays) {
    const QString defaults = QStringLiteral("*mode:\trandom\n*programs:\t\t\t\\\n\t\tmaze --root \\n\\\n"
                                            "- GL: \tsuperquadrics --root \\n\n*pointerHysteresis: 10\n");
    // A new user: a file of xscreensaver's own list, Lumora first.
    const std::optional<QString> fresh = withLumoraListed(QString(), defaults);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(*fresh, QStringLiteral("programs:\t\t\\\n\t\t\t\tlumora --root\t\t\t\t\t    \\n\\\n"
                                     "\t\tmaze --root \\n\\\n- GL: \tsuperquadrics --root \\n\n"));
    // Done once only, whatever the entry looks like.
    EXPECT_EQ(withLumoraListed(*fresh, defaults), std::nullopt);
    for (const char* listed : {"programs: \"Lumora\" /usr/bin/lumora --root --mode full \\n\n",
                               "programs: \\\n - \t lumora --root \\n\\\n maze --root \\n\n",
                               "programs: \\\n maze --root \\n\\\n GL: lumora --root \\n\n"})
        EXPECT_EQ(withLumoraListed(QString::fromLatin1(listed), defaults), std::nullopt) << listed;
    // A file with settings and a list on one line: the settings stay, the list grows at its head.
    const QString mine = QStringLiteral("timeout:\t0:10:00\nprograms:\t\"Maze\" maze --root \\n\nlock:\tFalse\n");
    EXPECT_EQ(*withLumoraListed(mine, defaults),
              QStringLiteral("timeout:\t0:10:00\nprograms:\t\t\\\n\t\t\t\tlumora --root\t\t\t\t\t    \\n\\\n"
                             "\t\t\t\t\"Maze\" maze --root \\n\nlock:\tFalse\n"));
    // Settings but no list, and no app-defaults to take one from: a list of Lumora alone.
    EXPECT_EQ(*withLumoraListed(QStringLiteral("lock:\tFalse"), QString()),
              QStringLiteral("lock:\tFalse\nprograms:\t\t\\\n\t\t\t\tlumora --root\t\t\t\t\t    \\n\n"));
    // "lumoraplus" or a path ending elsewhere is another program.
    EXPECT_TRUE(withLumoraListed(QStringLiteral("programs: lumoraplus --root \\n\n"), QString()));
}
