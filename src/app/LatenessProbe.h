#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVector>

namespace runtime {

// How late a timer of the user-interface thread fires: a measure of how long that thread is kept
// from input by anything else it does. For benchmarks, switched on by LUMORA_STATS.
class LatenessProbe : public QObject {
public:
    explicit LatenessProbe(QObject* parent = nullptr, int intervalMs = 10);
    // Lateness in milliseconds at the given fraction of the samples (0.99 for the 99th percentile).
    double percentile(double fraction) const;
    double worst() const;
    int samples() const { return int(m_late.size()); }

private:
    void tick();
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_expected = 0;
    int m_interval;
    QVector<double> m_late;
};

} // namespace runtime
