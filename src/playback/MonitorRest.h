#pragma once

namespace playback {

class PlayerForm;

// For a run of its own (/s): the run's players rest while the window system says every monitor is
// off, and go on within a second of one coming on. Looked at twice a second from the lead; nothing
// is changed on the monitors. Inside a daemon's window the daemon decides, and this is not used.
void restWhileMonitorsSleep(PlayerForm* lead);

} // namespace playback
