#include "platform/linux/MonitorPower.h"

#include "platform/wayland/OutputPower.h"
#include "platform/wayland/WaylandDesktop.h"
#include <QFile>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <xcb/dpms.h>
#include <xcb/xcb.h>

namespace platform {

DpmsPowerReader::DpmsPowerReader(xcb_connection_t* connection) : m_connection(connection) {
    if (!m_connection || xcb_connection_has_error(m_connection)) return;
    const xcb_query_extension_reply_t* dpms = xcb_get_extension_data(m_connection, &xcb_dpms_id);
    m_present = dpms && dpms->present;
}

MonitorPower DpmsPowerReader::read() {
    if (!m_present || xcb_connection_has_error(m_connection)) return MonitorPower::Unknown;
    xcb_dpms_info_reply_t* info = xcb_dpms_info_reply(m_connection, xcb_dpms_info(m_connection), nullptr);
    if (!info) return MonitorPower::Unknown;
    // With DPMS switched off the server never powers a monitor down.
    const bool off = info->state && info->power_level != XCB_DPMS_DPMS_MODE_ON;
    std::free(info);
    return off ? MonitorPower::Off : MonitorPower::On;
}

MonitorPower PowerFileReader::read() {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) return MonitorPower::Unknown;
    const QByteArray said = file.read(16).trimmed();
    if (said == "off") return MonitorPower::Off;
    if (said == "on") return MonitorPower::On;
    return MonitorPower::Unknown;
}

std::unique_ptr<MonitorPowerReader> sessionMonitorPowerReader() {
    const QString testFile = qEnvironmentVariable("LUMORA_TEST_MONITOR_POWER_FILE");
    if (!testFile.isEmpty()) return std::make_unique<PowerFileReader>(testFile);
    if (wayland::onWayland()) return wayland::outputPowerReader();
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return nullptr;
    return std::make_unique<DpmsPowerReader>(x11->connection());
}

} // namespace platform
