#pragma once
#include <QString>

namespace playback {

// How a run uses the monitors beyond the primary one: covered with the background (Primary), showing
// the primary monitor's picture (Same), or each playing an item of its own (Each).
enum class MonitorUse { Primary, Same, Each };

// The stored or typed word, in any case; anything else (a hand-edited value) means Primary.
MonitorUse monitorUseFrom(const QString& word);
// The word stored for it: "Primary", "Same" or "Each".
QString monitorUseWord(MonitorUse use);

} // namespace playback
