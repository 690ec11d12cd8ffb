#include "shell/VIDEOSCR.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include "platform/Overrides.h"
#include "platform/Platform.h"
#include "platform/wayland/WaylandDesktop.h"
#include "playback/MonitorRest.h"
#include "playback/PlayerForm.h"
#include "playback/ScreenCover.h"
#include "base/Convert.h"
#include "runtime/FormRegistry.h"
#include "base/Guard.h"
#include "runtime/Twips.h"
#include "platform/Settings.h"

using namespace runtime;

namespace VIDEOSCR {

namespace {
constexpr int kExclamation = 48;
const QString kNoticeTitle = QStringLiteral("Larkspur Software Lumora Video & Multimedia Screensaver");

constexpr settings::FlagKey kDisplayModes[] = {
    settings::Key::AbsoluteFullScreenDisplayMode, settings::Key::ThreeQuartersScreenMode,
    settings::Key::OneHalfScreenDisplayMode,      settings::Key::OneFourthScreenDisplayMode,
    settings::Key::OneEighthScreenDisplayMode,    settings::Key::OneSixteenthScreenDisplayMode};

// The settings as a run in the fresh installation's mode sees them, over the store it was made on.
std::unique_ptr<platform::OverridingSettings> freshModeSettings;

// The display-mode keys read as missing for the rest of the run, so that Main and the players each
// take their fresh-installation default, as they do with no settings at all; the file stays as it is.
void useFreshInstallationModes() {
    platform::Platform services = platform::current();
    if (!services.settings || services.settings == freshModeSettings.get()) return;
    auto fresh = std::make_unique<platform::OverridingSettings>(*services.settings, QMap<QString, QString>{}, false);
    for (settings::FlagKey key : kDisplayModes) fresh->forget(settings::nameOf(key));
    services.settings = fresh.get();
    platform::install(services);
    freshModeSettings = std::move(fresh);
}

// Each run decides its mode afresh, on the store itself.
void dropFreshInstallationModes() {
    platform::Platform services = platform::current();
    if (!freshModeSettings || services.settings != freshModeSettings.get()) return;
    services.settings = &freshModeSettings->store();
    platform::install(services);
    freshModeSettings.reset();
}
} // namespace

int64_t PreviewHostWindow = 0;
int16_t TwipsPerPixelX = 15;
int16_t TwipsPerPixelY = 15;

bool NoWindowWithCaption(const QString& caption) {
    return !platform::current().windows || !platform::windows().topLevelWindowExists(caption);
}

// X tools write window ids as "0x" and hex digits; blanks are skipped as in a decimal handle. Empty
// when the text does not start that way.
static std::optional<int64_t> hexHandle(const QString& rest) {
    QString text;
    for (QChar c : rest)
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r') text += c;
    if (!text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) return std::nullopt;
    int64_t value = 0;
    for (int i = 2; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                          : c >= u'a' && c <= u'f' ? c - u'a' + 10
                          : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                   : -1;
        if (digit < 0) break;
        value = value * 16 + digit;
        if (value > 0xFFFFFFFF) return 0;
    }
    return value;
}

int64_t readHandle(const QString& arguments) {
    if (auto hex = hexHandle(arguments.mid(2))) return *hex;
    const double n = leadingNumber(arguments.mid(2));
    try {
        return toInt32(n);
    } catch (const RuntimeError&) {
        // Window handles are 32-bit; anything larger names no window.
        return 0;
    }
}

static int16_t pixelsOf(double twips, double twipsPerPixel) {
    const int32_t t = toInt32(twips);
    const int32_t p = toInt32(twipsPerPixel);
    return toInt16(p == 0 ? 0.0 : double(t / p));
}

int16_t screenWidthPixels() { return pixelsOf(screenWidthTwips(), twipsPerPixelX()); }
int16_t screenHeightPixels() { return pixelsOf(screenHeightTwips(), twipsPerPixelY()); }

QStringList playerFormsToShow() {
    using settings::Key;
    // The program never stores anything but a Boolean here; a hand-edited value means the default.
    const bool fullScreen = settings::readOrDefault(Key::AbsoluteFullScreenDisplayMode);
    const bool threeQuarters = settings::readOrDefault(Key::ThreeQuartersScreenMode);
    const bool oneHalf = settings::readOrDefault(Key::OneHalfScreenDisplayMode);
    const bool oneFourth = settings::readOrDefault(Key::OneFourthScreenDisplayMode);
    const bool oneEighth = settings::readOrDefault(Key::OneEighthScreenDisplayMode);
    const bool oneSixteenth = settings::readOrDefault(Key::OneSixteenthScreenDisplayMode);
    QStringList names;
    for (bool partial : {oneSixteenth, oneEighth, oneFourth, oneHalf, threeQuarters})
        if (partial) names << QStringLiteral("frmFloatingOneFourthMovie");
    if (fullScreen) names << QStringLiteral("frmAbsoluteFullScreenVideo");
    return names;
}

QString displayModeFault() {
    QStringList named;
    for (settings::FlagKey key : kDisplayModes) {
        const std::optional<QString> text = settings::stored(key);
        if (text && runtime::boolOr(*text, false)) named << settings::nameOf(key);
    }
    if (named.size() > 1)
        return QStringLiteral("names several display modes (%1)").arg(named.join(QStringLiteral(", ")));
    if (playerFormsToShow().isEmpty()) return QStringLiteral("names no display mode");
    return QString();
}

void Main(const QString& arguments) {
    dropFreshInstallationModes();
    // The screen is held before anything else is done: a key pressed while the players start must
    // still end the screen saver.
    if (arguments.left(2).toUpper() == QLatin1String("/S")) skipOnError([] { platform::windows().beginScreenHold(); });
    // Read before the screen size is stored, as the mode decides nothing else.
    QStringList players = playerFormsToShow();

    // An unwritable store must not keep the screen saver from running; the players fall back to
    // their defaults. A settings file left alone stays as it is: these writes are not even tried.
    const bool leftAlone = settingsLeftAlone();
    if (!leftAlone)
        skipOnError([] {
            const int16_t w = screenWidthPixels();
            const int16_t h = screenHeightPixels();
            try {
                settings::SaveTogether together;
                settings::save(settings::Key::WidthOfScreenResolution, w);
                settings::save(settings::Key::HeightOfScreenResolution, h);
                together.commit();
            } catch (const std::exception& e) {
                std::fprintf(stderr, "lumora: %s\n", e.what());
            }
        });
    skipOnError([] { TwipsPerPixelX = toInt16(twipsPerPixelX()); });
    skipOnError([] { TwipsPerPixelY = toInt16(twipsPerPixelY()); });

    QString sw = arguments.left(2).toUpper();
    if (sw.isEmpty()) sw = QStringLiteral("/C");

    if (sw == QLatin1String("/C")) {
        // Said once, before anything else is shown: whoever configures should know why the settings
        // they see are the defaults and why changes cannot be kept.
        if (leftAlone)
            skipOnError([] {
                const QString notice = settingsLeftAloneNotice();
                if (!notice.isEmpty()) platform::dialogs().messageBox(notice, kExclamation, kNoticeTitle);
            });
        forms().show(QStringLiteral("frmAbout640x480"));
    } else if (sw == QLatin1String("/S")) {
        if (!NoWindowWithCaption(QString::fromLatin1(kMainFormCaption))) {
            skipOnError([] { platform::windows().endScreenHold(); });
            std::fprintf(stderr, "lumora: the screen saver is already running (a window \"%s\" is up); this "
                                 "copy ends\n",
                         kMainFormCaption);
            return;
        }
        if (platform::wayland::onWayland() && !platform::wayland::claimScreenSaverRun()) {
            std::fprintf(stderr, "lumora: the screen saver is already running on this Wayland display; this "
                                 "copy ends\n");
            return;
        }
        // A save cut short or a hand edit can leave no mode on, or several: the screen saver still
        // plays, as a fresh installation does, and says why it does not play what was chosen.
        const QString fault = displayModeFault();
        if (!fault.isEmpty()) {
            const QString where = platform::settings().location();
            std::fprintf(stderr, "lumora: %s %s; playing in the mode of a fresh installation until one is "
                                 "chosen in the configuration (lumora /c)\n",
                         qPrintable(where.isEmpty() ? QStringLiteral("the settings file")
                                                    : QStringLiteral("the settings file ") + where),
                         qPrintable(fault));
            useFreshInstallationModes();
            players = playerFormsToShow();
        }
        skipOnError([] { platform::wayland::showScreenSaverWindowsAsOverlays(); });
        runtime::Form* last = nullptr;
        for (const QString& name : players) last = forms().show(name);
        if (!last) skipOnError([] { platform::windows().endScreenHold(); });
        // The other monitors are covered by the last player shown, the one on top, or show players
        // of their own beside it.
        skipOnError([&] {
            if (auto* form = qobject_cast<playback::PlayerForm*>(last))
                if (form->isVisible())
                    playback::coverOtherScreens(form, playback::monitorUseFrom(settings::read(settings::Key::EveryMonitor)));
        });
        // Nobody watches a monitor that is off: the players rest until one is on again.
        skipOnError([&] {
            if (auto* form = qobject_cast<playback::PlayerForm*>(last))
                if (form->isLoaded()) playback::restWhileMonitorsSleep(form);
        });
    } else if (sw == QLatin1String("/P")) {
        if (platform::wayland::onWayland()) {
            std::fprintf(stderr, "lumora: the preview (/p) draws in an X11 window, and this is a Wayland "
                                 "session: there is no such window here\n");
            platform::process().endProgram(1);
            return;
        }
        PreviewHostWindow = readHandle(arguments);
        forms().load(QStringLiteral("ControlForm"));
    } else if (sw == QLatin1String("/A")) {
        PreviewHostWindow = readHandle(arguments);
        platform::passwords().changePassword(QStringLiteral("SCRSAVE"), PreviewHostWindow);
    }
}

} // namespace VIDEOSCR
