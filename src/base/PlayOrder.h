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

// The entries no other monitor shows (`shownElsewhere`), in list order; all of them when every
// entry is shown elsewhere, as a list too short for every monitor still plays.
QStringList entriesNotShown(const QStringList& entries, const QStringList& shownElsewhere);

// From `position` on, wrapping after the last entry, the first position whose entry no other
// monitor shows; `position` itself when every entry is shown elsewhere.
int16_t firstNotShownFrom(int16_t position, const QStringList& entries, const QStringList& shownElsewhere);

} // namespace playback
