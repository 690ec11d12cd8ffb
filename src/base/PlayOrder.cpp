#include "base/PlayOrder.h"

#include "base/Random.h"
#include <algorithm>

namespace playback {

int16_t wrappedPosition(int16_t position, int count) {
    return position == count ? int16_t(0) : position;
}

int randomIndex(int count) {
    runtime::Random::randomize();
    return static_cast<int>(static_cast<float>(count) * runtime::Random::next());
}

bool anotherEntryThan(const QStringList& entries, const QString& played) {
    return std::any_of(entries.begin(), entries.end(), [&](const QString& e) { return e != played; });
}

QStringList entriesNotShown(const QStringList& entries, const QStringList& shownElsewhere) {
    QStringList free;
    for (const QString& e : entries)
        if (!shownElsewhere.contains(e)) free << e;
    return free.isEmpty() ? entries : free;
}

int16_t firstNotShownFrom(int16_t position, const QStringList& entries, const QStringList& shownElsewhere) {
    const qsizetype count = entries.size();
    if (shownElsewhere.isEmpty() || position < 0 || position >= count) return position;
    for (qsizetype step = 0; step < count; ++step) {
        const qsizetype at = (position + step) % count;
        if (!shownElsewhere.contains(entries.at(at))) return int16_t(at);
    }
    return position;
}

} // namespace playback
