#pragma once
#include "base/SettingsKeys.h"
#include <QSize>
#include <QString>
#include <array>

// Tests name a setting through the key table, as the program does; a key is spelled by hand only
// where a test checks how an odd spelling (another case, a broken line) is read.
namespace testsupport {

// The key as the store spells it.
inline QString keyName(settings::KeyRef key) {
    return settings::nameOf(key);
}

// A settings-file line, "Key=value".
inline QString keyLine(settings::KeyRef key, const QString& value = {}) {
    return settings::nameOf(key) + QLatin1Char('=') + value;
}

// The display modes, one of which is on, in the table's order.
inline constexpr std::array<settings::FlagKey, 6> kDisplayModes{
    settings::Key::AbsoluteFullScreenDisplayMode, settings::Key::ThreeQuartersScreenMode,
    settings::Key::OneHalfScreenDisplayMode,      settings::Key::OneFourthScreenDisplayMode,
    settings::Key::OneEighthScreenDisplayMode,    settings::Key::OneSixteenthScreenDisplayMode};

// The floating modes, and the size of the player each gives on a 1280 x 1024 screen.
struct FloatingMode {
    settings::FlagKey key;
    QSize size;
};
inline const FloatingMode kFloatingModes[] = {{settings::Key::ThreeQuartersScreenMode, {1152, 922}},
                                              {settings::Key::OneHalfScreenDisplayMode, {960, 768}},
                                              {settings::Key::OneFourthScreenDisplayMode, {704, 563}},
                                              {settings::Key::OneEighthScreenDisplayMode, {448, 358}},
                                              {settings::Key::OneSixteenthScreenDisplayMode, {320, 256}}};

} // namespace testsupport
