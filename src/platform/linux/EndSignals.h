#pragma once
#include <functional>

namespace platform {

// SIGTERM, SIGINT, SIGHUP and SIGUSR1, the ways a screen-saver daemon, a locker or a terminal ends
// the program, call `onSignal` on the user-interface thread instead of killing the process, so the
// players stop and their threads end first. A second signal while the first is handled kills the
// process at once; with `endWithinSeconds`, so does SIGALRM that many seconds after the first (0:
// never).
void endOnSignals(std::function<void()> onSignal, unsigned endWithinSeconds = 0);

} // namespace platform
