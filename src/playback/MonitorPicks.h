#pragma once
#include "base/MonitorUse.h"
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

// In a screen-saver daemon's window one copy of the program runs on each monitor. With EveryMonitor
// Each, the copies avoid the files the others show; with Same, they play the pick one of them made.
// They learn of each other through a shared file (base/SharedPicks.h). Until a hosted run turns it
// on, and for Primary, every call here does nothing and no file is touched.
namespace playback {

// Turns the sharing on for this run, for the X display `display`; Primary turns it off.
void sharePicksWithOtherMonitors(MonitorUse use, const QString& display);

// Each: this copy's monitor is the one at `place` (0 the first) of the display's `monitors`; the
// copies spread their starts in the play list by it. Told after the sharing is turned on.
void setPlaceAmongMonitors(int place, int monitors);
// Each: that place and count; {0, 1} when not told, and otherwise.
std::pair<int, int> placeAmongMonitors(bool singleFileMode);

// Each: the files the other monitors play now. Empty otherwise.
QStringList filesShownElsewhere(bool singleFileMode);
// Each and Same: this monitor plays `file` now. A file taken from pickToFollow keeps the time that
// pick was made at, so the copy that made it does not follow it back.
void publishPick(bool singleFileMode, const QString& file);
// Same: the file another monitor picked within the last few seconds and this one has not played;
// `playingNow` is the file this one plays. None otherwise.
std::optional<QString> pickToFollow(bool singleFileMode, const QString& playingNow);

} // namespace playback
