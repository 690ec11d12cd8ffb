#include "platform/linux/EndSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_pending = 0;
// SIGUSR1 is how xsecurelock resets its saver: the saver ends, and xsecurelock starts it again.
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGUSR1};
unsigned g_endWithinSeconds = 0;

void onSignalCaught(int sig) {
    if (g_pending) {
        // Still not gone after the first: the user or the daemon means it.
        ::signal(sig, SIG_DFL);
        ::raise(sig);
        return;
    }
    g_pending = 1;
    // Whatever keeps the user-interface thread from handling it (an X server that never answers a
    // request), the process is gone soon after.
    if (g_endWithinSeconds) ::alarm(g_endWithinSeconds);
    const char byte = char(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
}

} // namespace

void endOnSignals(std::function<void()> onSignal, unsigned endWithinSeconds) {
    g_endWithinSeconds = endWithinSeconds;
    if (g_pipe[0] < 0) {
        if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    }
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, onSignal] {
        char buffer[16];
        while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
        }
        notifier->setEnabled(false);
        onSignal();
    });
    struct sigaction action {};
    action.sa_handler = onSignalCaught;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals) ::sigaction(sig, &action, nullptr);
    ::signal(SIGALRM, SIG_DFL);
}

} // namespace platform
