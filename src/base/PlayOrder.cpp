#include "base/PlayOrder.h"

#include "base/Random.h"
#include <algorithm>
#include <utility>
#include <QList>

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

int16_t positionNotShown(int16_t position, const QStringList& entries, const QStringList& shown) {
    const int count = int(entries.size());
    if (shown.isEmpty() || count == 0) return position;
    int at = wrappedPosition(position, count);
    if (at < 0 || at >= count) return position;
    for (int tried = 0; tried < count; ++tried, at = (at + 1) % count)
        if (!shown.contains(entries[at])) return int16_t(at);
    return position;
}

int spreadOffset(int place, int monitors, int count) {
    if (monitors < 2 || count <= 0 || place <= 0) return 0;
    return int(int64_t(place % monitors) * count / monitors);
}

int randomIndexAvoiding(const QStringList& entries, const QStringList& shown, const QString& notToRepeat,
                        float draw) {
    if (entries.isEmpty()) return -1;
    QList<int> candidates;
    for (const auto& wanted : {std::pair{true, true}, std::pair{true, false}, std::pair{false, true}}) {
        for (int i = 0; i < entries.size(); ++i)
            if ((!wanted.first || !shown.contains(entries[i])) && (!wanted.second || entries[i] != notToRepeat))
                candidates << i;
        if (!candidates.isEmpty()) break;
    }
    if (candidates.isEmpty())
        for (int i = 0; i < entries.size(); ++i) candidates << i;
    const int pick = std::clamp(int(draw * float(candidates.size())), 0, int(candidates.size()) - 1);
    return candidates[pick];
}

} // namespace playback
