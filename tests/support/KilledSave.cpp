#include "support/KilledSave.h"
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

KilledSave saveUntilKilled(const std::function<bool(int)>& save, std::chrono::microseconds killAfter,
                           const std::function<void()>& whileSaving) {
    KilledSave result;
    int ready[2];
    if (pipe(ready) != 0) {
        ADD_FAILURE() << "no pipe";
        return result;
    }
    const pid_t child = fork();
    if (child < 0) {
        ADD_FAILURE() << "no fork";
        close(ready[0]);
        close(ready[1]);
        return result;
    }
    if (child == 0) {
        close(ready[0]);
        for (int i = 0;; ++i) {
            const bool saved = save(i);
            if (i == 0) {
                const char c = saved ? '1' : '0';
                (void)!write(ready[1], &c, 1);
            }
        }
    }
    close(ready[1]);
    pollfd pfd{ready[0], POLLIN, 0};
    char first = 0;
    result.started = poll(&pfd, 1, 20000) == 1 && read(ready[0], &first, 1) == 1;
    result.firstSaved = first == '1';
    close(ready[0]);
    const auto killAt = std::chrono::steady_clock::now() + killAfter;
    do {
        whileSaving();
    } while (result.started && std::chrono::steady_clock::now() < killAt);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    return result;
}

} // namespace testsupport
