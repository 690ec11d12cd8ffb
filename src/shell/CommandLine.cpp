#include "shell/CommandLine.h"

#include <QHash>
#include "base/Convert.h"
#include "base/MonitorUse.h"
#include "base/SettingsKeys.h"

namespace {

using settings::Key;

// The display modes by their option names, and the setting each one turns on.
struct ModeName {
    const char* name;
    settings::FlagKey key;
};
constexpr ModeName kModes[] = {
    {"full", Key::AbsoluteFullScreenDisplayMode}, {"three-quarters", Key::ThreeQuartersScreenMode},
    {"one-half", Key::OneHalfScreenDisplayMode},  {"one-fourth", Key::OneFourthScreenDisplayMode},
    {"one-eighth", Key::OneEighthScreenDisplayMode}, {"one-sixteenth", Key::OneSixteenthScreenDisplayMode},
};

// What a run's override holds: the text a save of the same value would store.
QString stored(bool value) { return runtime::boolToText(value); }
QString stored(int value) { return QString::number(value); }

// xscreensaver passes these to every hack; they mean nothing here. True for those that take a value.
const QHash<QString, bool>& daemonOptions() {
    static const QHash<QString, bool> options = {
        {QStringLiteral("mono"), false}, {QStringLiteral("install"), false}, {QStringLiteral("fps"), false},
        {QStringLiteral("no-fps"), false}, {QStringLiteral("visual"), true}, {QStringLiteral("geometry"), true},
        {QStringLiteral("display"), true}, {QStringLiteral("delay"), true},
    };
    return options;
}

QString text(const char* s) { return QString::fromLatin1(s); }

// "/s", "/c", "/p" and "/a" in any case; a window handle may follow "/p" and "/a", and "/c" may carry
// one too ("/c:1234"), as screen-saver settings pages pass it. Nothing at all also configures.
bool classicSwitchUnderstood(const QString& sw) {
    if (sw.isEmpty()) return true;
    const QString name = sw.left(2).toUpper();
    QString rest = sw.mid(2).trimmed();
    if (name == QLatin1String("/S")) return rest.isEmpty();
    if (name != QLatin1String("/C") && name != QLatin1String("/P") && name != QLatin1String("/A")) return false;
    if (rest.startsWith(u':')) rest = rest.mid(1).trimmed();
    return rest.isEmpty() || parseWindowId(rest) != 0 || rest == QLatin1String("0");
}

} // namespace

int64_t parseWindowId(const QString& raw) {
    const QString t = raw.trimmed();
    bool ok = false;
    qulonglong value = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) value = t.mid(2).toULongLong(&ok, 16);
    else value = t.toULongLong(&ok, 10);
    // X window ids are 32-bit.
    if (!ok || value == 0 || value > 0xFFFFFFFFull) return 0;
    return int64_t(value);
}

CommandLine parseCommandLine(const QStringList& arguments, const QString& screensaverWindow) {
    CommandLine line;
    // The first thing not understood is the one the user is told about.
    auto refuse = [&line](const QString& what) {
        if (line.refused.isEmpty()) line.refused = what;
    };
    QStringList classic;
    bool root = false;
    QString windowId;
    bool windowIdGiven = false;
    bool playList = false;
    QString file;

    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        // "/s", "/p", the handle after it, and anything else that is not an option belong to the switch.
        if (!arg.startsWith(u'-') || arg == QLatin1String("-") || arg == QLatin1String("--")) {
            classic << arg;
            continue;
        }
        QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
        QString value;
        bool hasValue = false;
        const int eq = name.indexOf(u'=');
        if (eq >= 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            hasValue = true;
        }
        name = name.toLower();
        // The value of an option that needs one: after "=", else the next argument.
        auto takeValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= arguments.size()) {
                refuse(QStringLiteral("option %1 needs a value").arg(arg));
                return false;
            }
            value = arguments.at(++i);
            return true;
        };
        auto set = [&](settings::KeyRef key, const QString& storedText) {
            line.overrides.insert(settings::nameOf(key), storedText);
        };

        if (name == QLatin1String("help") || name == QLatin1String("h")) {
            line.help = true;
        } else if (name == QLatin1String("add-to-xscreensaver")) {
            line.addToXscreensaver = true;
        } else if (name == QLatin1String("root")) {
            root = true;
        } else if (name == QLatin1String("window-id")) {
            if (takeValue()) {
                windowId = value;
                windowIdGiven = true;
            }
        } else if (name == QLatin1String("file")) {
            if (takeValue()) {
                // A settings page may pass its file field empty: the settings' own file then plays.
                if (value.isEmpty()) line.warnings << QStringLiteral("lumora: %1 names no file; passed over").arg(arg);
                else file = value;
            }
        } else if (name == QLatin1String("playlist")) {
            playList = true;
        } else if (name == QLatin1String("random")) {
            set(Key::PlayInRandomOrder, stored(true));
        } else if (name == QLatin1String("mode")) {
            if (!takeValue()) continue;
            bool known = false;
            for (const ModeName& m : kModes)
                if (value.compare(text(m.name), Qt::CaseInsensitive) == 0) known = true;
            if (!known) {
                refuse(QStringLiteral("mode \"%1\" is not full, three-quarters, one-half, one-fourth, "
                                      "one-eighth or one-sixteenth")
                           .arg(value));
                continue;
            }
            for (const ModeName& m : kModes)
                set(m.key, stored(value.compare(text(m.name), Qt::CaseInsensitive) == 0));
        } else if (name == QLatin1String("float")) {
            set(Key::MovieWillFloat, stored(1));
        } else if (name == QLatin1String("no-float")) {
            set(Key::MovieWillFloat, stored(0));
        } else if (name == QLatin1String("speed")) {
            if (!takeValue()) continue;
            bool ok = false;
            const int ms = value.trimmed().toInt(&ok);
            if (!ok || ms < 1 || ms > 32767) {
                refuse(QStringLiteral("speed \"%1\" is not a number of milliseconds from 1 to 32767").arg(value));
                continue;
            }
            set(Key::MovingMovieSpeed, stored(ms));
        } else if (name == QLatin1String("gradient")) {
            set(Key::GradOn, stored(1));
        } else if (name == QLatin1String("no-gradient")) {
            set(Key::GradOn, stored(0));
        } else if (name == QLatin1String("trails")) {
            set(Key::PictureTrails, stored(1));
        } else if (name == QLatin1String("no-trails")) {
            set(Key::PictureTrails, stored(0));
        } else if (name == QLatin1String("monitors")) {
            if (!takeValue()) continue;
            // Checked here, since the setting's own reading takes any other word for the primary monitor.
            const QString word = value.trimmed();
            bool known = false;
            for (const char* use : {"primary", "same", "each"})
                if (word.compare(text(use), Qt::CaseInsensitive) == 0) known = true;
            if (!known) {
                refuse(QStringLiteral("monitors \"%1\" is not primary, same or each").arg(value));
                continue;
            }
            set(Key::EveryMonitor, playback::monitorUseWord(playback::monitorUseFrom(word)));
        } else if (name == QLatin1String("sound")) {
            set(Key::ScreensaverSoundMutePreference, stored(0));
        } else if (daemonOptions().contains(name)) {
            if (daemonOptions().value(name) && !hasValue && i + 1 < arguments.size()) ++i;
        } else {
            refuse(QStringLiteral("\"%1\" is not an option Lumora knows").arg(arg));
        }
    }

    if (!file.isEmpty()) {
        line.overrides.insert(settings::nameOf(Key::VideoFile), file);
        line.overrides.insert(settings::nameOf(Key::PlaySingleFile), stored(true));
    }
    // The play list wins over a single file.
    if (playList) line.overrides.insert(settings::nameOf(Key::PlaySingleFile), stored(false));

    if (windowIdGiven) {
        line.hosted = true;
        line.hostWindow = parseWindowId(windowId);
        if (line.hostWindow == 0)
            line.warnings << QStringLiteral("lumora: \"%1\" names no window").arg(windowId);
    } else if (root) {
        line.hosted = true;
        if (!screensaverWindow.isEmpty()) {
            line.hostWindow = parseWindowId(screensaverWindow);
            if (line.hostWindow == 0)
                line.warnings << QStringLiteral("lumora: XSCREENSAVER_WINDOW=\"%1\" names no window")
                                     .arg(screensaverWindow);
        }
    }
    // One process runs on each monitor: silent unless the user asks for sound.
    const QString mute = settings::nameOf(Key::ScreensaverSoundMutePreference);
    if (line.hosted && !line.overrides.contains(mute)) line.overrides.insert(mute, stored(1));

    line.classicSwitch = classic.join(u' ');
    if (!classicSwitchUnderstood(line.classicSwitch))
        refuse(QStringLiteral("\"%1\" is not a switch Lumora knows").arg(line.classicSwitch));
    return line;
}

QString usageText() {
    return QStringLiteral(
        "Usage: lumora [/s | /c | /p WINDOW | /a WINDOW] [OPTIONS]\n"
        "       lumora --root | --window-id WINDOW [OPTIONS]\n"
        "\n"
        "Lumora plays your own video and sound files as a screen saver.\n"
        "\n"
        "Switches:\n"
        "  /s                 run the screen saver; it ends on a key, a click or a mouse move\n"
        "  /c                 show the configuration dialog (also with no switch at all)\n"
        "  /p WINDOW          show the preview inside the window WINDOW (decimal or 0x hex)\n"
        "  /a WINDOW          the password change (your desktop's screen locker owns the password)\n"
        "\n"
        "Screen-saver daemons and lockers (xscreensaver, MATE, xsecurelock):\n"
        "  --root             draw in the window named by $XSCREENSAVER_WINDOW\n"
        "  --window-id WINDOW draw in the window WINDOW (decimal or 0x hex); wins over --root\n"
        "  There the daemon owns the keyboard, the mouse and the lock: Lumora never ends on input,\n"
        "  plays without sound unless --sound is given, and ends on SIGTERM, SIGINT, SIGHUP or\n"
        "  SIGUSR1, or when the daemon is gone. As xsecurelock's saver:\n"
        "  XSECURELOCK_SAVER=<prefix>/libexec/lumora/saver_lumora xsecurelock\n"
        "  --add-to-xscreensaver\n"
        "                     put Lumora first in the display modes of ~/.xscreensaver, and end\n"
        "\n"
        "Options (for this run only; the settings file is not changed):\n"
        "  --file PATH        play this file\n"
        "  --playlist         play the play list (wins over --file)\n"
        "  --random           play the play list in random order\n"
        "  --mode MODE        full, three-quarters, one-half, one-fourth, one-eighth or one-sixteenth\n"
        "  --float            the player floats and bounces off the edges\n"
        "  --no-float         the player stands still and moves to a new place for each item\n"
        "  --speed MS         milliseconds between the floating player's steps, 1 to 32767\n"
        "  --gradient         a changing colour gradient behind the player\n"
        "  --no-gradient      the plain back colour behind the player\n"
        "  --trails           where the floating player has been, the back colour shows through\n"
        "  --no-trails        the gradient stays whole behind the floating player\n"
        "  --monitors USE     primary: the picture on the primary monitor, the background on the\n"
        "                     others; same: the same picture on every monitor; each: every monitor\n"
        "                     plays its own item of the play list\n"
        "  --sound            play the sound too\n"
        "  --help             this text\n"
        "Options take one dash or two, and a value after a blank or \"=\". Anything else is refused\n"
        "with a line on standard error and exit status 2.\n");
}

QString refusalLine(const QString& refused) {
    return QStringLiteral("lumora: %1. Usage: lumora [/s | /c | /p WINDOW | /a WINDOW] [OPTIONS]; lumora --help "
                          "tells more.")
        .arg(refused);
}
