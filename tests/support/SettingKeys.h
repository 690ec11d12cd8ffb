#pragma once
#include "base/SettingsKeys.h"
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

} // namespace testsupport
