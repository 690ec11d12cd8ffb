#pragma once
#include "platform/Platform.h"
#include <QString>
#include <memory>

struct xcb_connection_t;

namespace platform {

// One way of reading the monitors' power state. Reading never changes it.
class MonitorPowerReader {
public:
    virtual ~MonitorPowerReader() = default;
    virtual MonitorPower read() = 0;
};

// The X server's DPMS power level, which holds for every monitor of the server: standby, suspend and
// off all count as off. Unknown where the server has no DPMS (Xvfb, Xorg's dummy driver, Xvnc) or
// does not answer, so the players never rest on a guess.
class DpmsPowerReader : public MonitorPowerReader {
public:
    explicit DpmsPowerReader(xcb_connection_t* connection);
    MonitorPower read() override;

private:
    xcb_connection_t* m_connection;
    bool m_present = false;
};

// For tests, which have no monitor to power off: the state is the content of a file, "on" or "off"
// (anything else, or no file, reads as unknown). Named by LUMORA_TEST_MONITOR_POWER_FILE.
class PowerFileReader : public MonitorPowerReader {
public:
    explicit PowerFileReader(const QString& path) : m_path(path) {}
    MonitorPower read() override;

private:
    QString m_path;
};

// The reader for this session: the test's file when LUMORA_TEST_MONITOR_POWER_FILE names one, else
// DPMS on X11 and the compositor's output power state on Wayland; null where there is no way to know.
std::unique_ptr<MonitorPowerReader> sessionMonitorPowerReader();

} // namespace platform
