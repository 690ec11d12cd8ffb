#pragma once
#include <functional>

namespace platform::mpv {

// The one place where libmpv cores end off the user-interface thread: ending a core waits for its
// threads, and a core stuck on a device or a sound server that never answers may take half a minute
// or never end. `ending` runs on a thread of its own, which nobody joins; playersFinished (in
// MpvPlayer.h) waits for those still running, and the process ends without its exit handlers when
// some do not finish.
void endOffThisThread(std::function<void()> ending);

// A core that cannot be ended at all (its OpenGL render context is gone) is left to itself; the
// process then ends without waiting for it.
void abandonCore();

} // namespace platform::mpv
