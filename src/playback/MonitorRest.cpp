#include "playback/MonitorRest.h"

#include "base/Guard.h"
#include "platform/Platform.h"
#include "playback/PlayerForm.h"
#include <QTimer>

namespace playback {

namespace {
// Twice a second, so a monitor that comes on sees the picture move again within the second.
constexpr int kLookEveryMs = 500;
} // namespace

void restWhileMonitorsSleep(PlayerForm* lead) {
    if (!lead || lead->isCompanion()) return;
    auto* look = new QTimer(lead);
    look->setObjectName(QStringLiteral("monitorPowerLook"));
    look->setInterval(kLookEveryMs);
    look->setTimerType(Qt::CoarseTimer);
    QObject::connect(look, &QTimer::timeout, lead, [lead] {
        if (!lead->isLoaded() || lead->isUnloading()) return;
        platform::MonitorPower power = platform::MonitorPower::Unknown;
        runtime::skipOnError([&] { power = platform::windows().monitorPower(); });
        // Only a clear "off" rests: where the state cannot be read, the players play.
        const bool resting = power == platform::MonitorPower::Off;
        // Companions too, a monitor's new one as well.
        for (PlayerForm* form : lead->runForms())
            runtime::skipOnError([&] { form->restWhileMonitorsSleep(resting); });
    });
    look->start();
}

} // namespace playback
