#include "base/MonitorUse.h"

namespace playback {

MonitorUse monitorUseFrom(const QString& word) {
    const QString w = word.trimmed();
    if (w.compare(QLatin1String("Same"), Qt::CaseInsensitive) == 0) return MonitorUse::Same;
    if (w.compare(QLatin1String("Each"), Qt::CaseInsensitive) == 0) return MonitorUse::Each;
    return MonitorUse::Primary;
}

QString monitorUseWord(MonitorUse use) {
    switch (use) {
    case MonitorUse::Same:
        return QStringLiteral("Same");
    case MonitorUse::Each:
        return QStringLiteral("Each");
    case MonitorUse::Primary:
        break;
    }
    return QStringLiteral("Primary");
}

} // namespace playback
