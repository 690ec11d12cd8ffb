#pragma once
#include <functional>

namespace platform {

// SIGTERM, SIGINT and SIGHUP, the ways a screen-saver daemon or a terminal ends the program, call
// `onSignal` on the user-interface thread instead of killing the process, so the players stop and
// their threads end first. A second signal while the first is handled kills the process at once.
void endOnSignals(std::function<void()> onSignal);

} // namespace platform
