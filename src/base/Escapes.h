#pragma once
#include <QString>

namespace platform {

// How the settings file and a desktop entry alike escape a backslash, a line feed, a carriage
// return or a tab: "\\", "\n", "\r", "\t". Empty for any other character, which each writes as it
// is or escapes in its own way.
QString backslashEscape(QChar c);

} // namespace platform
