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

} // namespace playback
