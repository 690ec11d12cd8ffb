#pragma once

#include <QCursor>

namespace platform::wayland {

// The program's windows are on Qt's Wayland platform, where no window of another program can be drawn
// in and there is no X server's screen-saver machinery.
bool onWayland();

// The pointer that hides the pointer: Qt 6.4's Wayland platform never tells the compositor to hide
// it for Qt::BlankCursor (it only hides a pointer image of its own), so a pointer entering a window
// keeps the compositor's arrow there. An image with nothing in it hides it on every compositor.
QCursor blankPointer();

// Takes this session's screen-saver run for this process; false when another process has it. Under
// Wayland no program sees another's windows, so a running screen saver is known by its lock in the
// user's runtime folder instead of by its caption.
bool claimScreenSaverRun();

// From here on, every frameless window this process shows (the players and the covers of the other
// outputs) becomes an overlay layer of its output, with the keyboard its own, where the compositor
// offers the wlr layer shell (sway, Hyprland, river, labwc, KDE Plasma): so panels, docks and
// notifications that come up during the run stay below it. Without it (GNOME) they stay full-screen
// windows. True when overlays are used.
bool showScreenSaverWindowsAsOverlays();

} // namespace platform::wayland
