#pragma once
#include <functional>

struct mpv_handle;
struct mpv_render_context;

namespace platform::mpv {

// The one place where libmpv cores end, off the user-interface thread: ending a core waits for its
// threads, and a core stuck on a device or a sound server that never answers may take half a minute
// or never end. Each core ends on a kept thread (KeptThreads.h), joined once it is done.
//
// `answering`: the core went idle when told to stop, so it ends at once. Otherwise it is stuck: its
// video is shut down here first, `leftRender` (a software render context, or null) freed with it;
// with `renderLost` (an OpenGL render context that can only be freed where its OpenGL context was,
// which is gone) it cannot be ended at all and is left to itself.
void retireCore(mpv_handle* mpv, bool answering, mpv_render_context* leftRender, bool renderLost);

// A core's ending (or other work on a core) that playersFinished waits for, on a kept thread; false
// when no thread could be had: the work is left undone, and counts as never ending.
bool endOffThisThread(std::function<void()> ending);

// Work that may never return (a look at a path on a mount that hangs) on a kept thread that
// playersFinished does not wait for. False when no thread could be had.
bool runUnwaited(std::function<void()> work);

// Waits up to limitMs for the cores still ending; false when some are still going or were left to
// themselves, and the process should end without running its exit handlers (settings are all
// written by then).
bool playersFinished(int limitMs);

} // namespace platform::mpv
