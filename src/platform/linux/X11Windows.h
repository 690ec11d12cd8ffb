#pragma once
#include <QString>

class QWidget;

namespace platform::x11 {

// Walks the window tree of the display in $DISPLAY and compares each window's _NET_WM_NAME, then
// WM_NAME, with the caption. False when there is no display.
bool windowWithCaptionExists(const QString& caption);

// Asks task bars and pagers to leave the window out (_NET_WM_STATE_SKIP_TASKBAR and _SKIP_PAGER), for
// a dialog that belongs to another window of the program. Only on X; made before the window is shown.
void keepOutOfTaskBar(QWidget* window);

} // namespace platform::x11
