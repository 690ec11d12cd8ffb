#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>

namespace playback {

// The in-order position to play: the first entry again once the position has passed the last.
int16_t wrappedPosition(int16_t position, int count);

// A random index of a list of `count` entries, drawn after a reseed; 0 for an empty list.
int randomIndex(int count);

// Whether a random pick can avoid `played`: some entry differs from it.
bool anotherEntryThan(const QStringList& entries, const QString& played);

// With other monitors showing `shown` (in order): the first position from `position` on, wrapping
// as above and at the list's end, whose entry none of them shows; `position` as it is when that
// cannot be had (every entry shown, or nothing shown elsewhere).
int16_t positionNotShown(int16_t position, const QStringList& entries, const QStringList& shown);

// Where the monitor at `place` (0 the first) of `monitors` starts in a list of `count` entries, as
// an offset from the first monitor's start: the starts spread evenly over the list, about
// count / monitors apart. 0 for the first monitor and when there is nothing to spread.
int spreadOffset(int place, int monitors, int count);

// With other monitors showing `shown` (at random): an index whose entry none of them shows and is
// not `notToRepeat`; failing that, one none of them shows; then one other than `notToRepeat`; then
// any. `draw`, in [0, 1), chooses among them. -1 for an empty list.
int randomIndexAvoiding(const QStringList& entries, const QStringList& shown, const QString& notToRepeat,
                        float draw);

} // namespace playback
