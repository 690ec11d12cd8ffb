#pragma once
#include <chrono>
#include <functional>

namespace testsupport {

// What a killed saving process got done before the kill.
struct KilledSave {
    bool started = false;    // its first save had ended when reading began
    bool firstSaved = false; // and that save succeeded
};

// Forks a process that saves without end, `save(i)` for i = 0, 1, 2, ... (true when the save went
// through); once its first save has ended, runs `whileSaving` again and again, as a reader starting
// meanwhile would, until `killAfter` has passed; then kills the process and reaps it.
KilledSave saveUntilKilled(const std::function<bool(int)>& save, std::chrono::microseconds killAfter,
                           const std::function<void()>& whileSaving);

} // namespace testsupport
