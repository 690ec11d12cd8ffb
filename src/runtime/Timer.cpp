#include "runtime/Timer.h"

#include "base/RuntimeError.h"

namespace runtime {

Timer::Timer(QObject* parent, const QString& name, int intervalMs, bool enabled) : QTimer(parent) {
    setObjectName(name);
    QTimer::setInterval(intervalMs > 0 ? intervalMs : 0);
    m_enabled = enabled;
    apply();
}

void Timer::setEnabled(bool enabled) {
    m_enabled = enabled;
    apply();
}

void Timer::setIntervalMs(int ms) {
    if (ms < 0) {
        setEnabled(false);
        throw RuntimeError(ErrorKind::InvalidValue, QStringLiteral("Invalid property value"));
    }
    // Setting the interval restarts a running timer, as a new interval starts a new count.
    QTimer::setInterval(ms);
    apply();
}

void Timer::apply() {
    if (m_enabled && interval() > 0) start();
    else stop();
}

} // namespace runtime
