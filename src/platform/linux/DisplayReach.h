#pragma once
#include <QString>

namespace platform {

// Before Qt starts: the one line to print when the program has no display to show itself on, or ""
// when it has one (an X display or a Wayland one it can reach, or a Qt platform that needs none).
// Qt itself would abort the program there, leaving a core file behind.
QString unreachableDisplay();

} // namespace platform
