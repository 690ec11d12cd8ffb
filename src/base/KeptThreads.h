#pragma once
#include <functional>
#include <thread>

// Threads whose owners may go before they end: a libmpv core that takes its time or never ends, a
// look at a path or a folder on a mount that hangs. Each is kept here and joined once it has ended;
// nothing is detached. What still runs when the process ends is left to that end.

// Starts `work` on a kept thread; with `waited`, keptThreadsEnded waits for it. False when no thread
// could be had (the work is not done then).
bool startKept(std::function<void()> work, bool waited);

// Takes over `thread`, which its owner no longer waits for: joined once `ended` says it is done
// (asked with this place's lock held, so it must not wait itself).
void keep(std::thread thread, std::function<bool()> ended);

// Waits up to limitMs for the waited threads to end; true when none still runs.
bool keptThreadsEnded(int limitMs);
