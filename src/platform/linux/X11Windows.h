#pragma once
#include <QString>

namespace platform::x11 {

// Walks the window tree of the display in $DISPLAY and compares each window's _NET_WM_NAME, then
// WM_NAME, with the caption. False when there is no display.
bool windowWithCaptionExists(const QString& caption);

} // namespace platform::x11
