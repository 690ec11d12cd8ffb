#pragma once
#include "platform/linux/MonitorPower.h"
#include <memory>

namespace platform::wayland {

// The compositor's power state of every output, where it offers the wlr output power management
// protocol (sway, Hyprland, river, labwc, Wayfire); null where it does not.
//
// The protocol lets one client at a time hold an output's power control, and a tool that powers the
// outputs down through it (wlopm from an idle daemon) is refused while another holds it. So the
// state is asked for anew on each reading and the control let go the moment the answer comes: a
// reading says what the previous one asked, a fraction of a second old. Nothing here sets a mode.
std::unique_ptr<MonitorPowerReader> outputPowerReader();

} // namespace platform::wayland
