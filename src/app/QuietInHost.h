#pragma once

namespace app {

// Inside a window that a screen-saver daemon or a locker hands the program, the desktop around it
// hears nothing from it: Qt's messages to the window manager (every native window Qt makes asks for
// its stacking state with a _NET_WM_STATE message to the root window, shown or not) are not sent,
// and the unmapped windows Qt keeps at the top level stay beneath the host's windows, so a locker
// that looks for windows above its own finds none of the program's. Call before Qt starts.
void quietInHost();

// Once Qt is up: keeps the program's own unmapped top-level windows at the bottom of the stack, now
// and whenever Qt makes another.
void keepOwnWindowsBeneath();

} // namespace app
