#pragma once
#include <QTimer>

namespace runtime {

// A form's timer: enabled and interval are set apart, and it fires only while it is enabled with an
// interval above 0, so a timer of 0 ms never spins.
class Timer : public QTimer {
    Q_OBJECT
public:
    Timer(QObject* parent, const QString& name, int intervalMs, bool enabled);

    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }
    // A negative interval is refused with an invalid-value error, and the timer is disabled, so a
    // refused interval never leaves it firing at whatever it had.
    void setIntervalMs(int ms);

private:
    void apply();
    bool m_enabled = false;
};

} // namespace runtime
