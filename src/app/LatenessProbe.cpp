#include "app/LatenessProbe.h"

#include <algorithm>

namespace runtime {

LatenessProbe::LatenessProbe(QObject* parent, int intervalMs) : QObject(parent), m_interval(intervalMs) {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &LatenessProbe::tick);
    m_clock.start();
    m_expected = m_clock.nsecsElapsed() + qint64(intervalMs) * 1000000;
    m_timer.start();
}

void LatenessProbe::tick() {
    const qint64 now = m_clock.nsecsElapsed();
    m_late.append(qMax<qint64>(0, now - m_expected) / 1e6);
    m_expected = now + qint64(m_interval) * 1000000;
}

double LatenessProbe::percentile(double fraction) const {
    if (m_late.isEmpty()) return 0;
    QVector<double> sorted = m_late;
    std::sort(sorted.begin(), sorted.end());
    const int at = qBound(0, int(fraction * (sorted.size() - 1) + 0.5), int(sorted.size()) - 1);
    return sorted.at(at);
}

double LatenessProbe::worst() const {
    return m_late.isEmpty() ? 0 : *std::max_element(m_late.begin(), m_late.end());
}

} // namespace runtime
