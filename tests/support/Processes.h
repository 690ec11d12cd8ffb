#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int exitCode = -1; // -1: it could not start, ended by a signal, or was killed at the time limit
    QByteArray out;
    QByteArray err;
};

// Runs `program` (looked up on PATH) to its end, at most `timeoutMs`, and collects what it wrote.
// Not QProcess: it starts its children with vfork's semantics, the child running on the parent's
// memory until it execs, and under ThreadSanitizer the child's pass through its interceptors stays
// marked on the parent's thread: every lock that thread takes afterwards goes unseen, and the tests
// of the threads would report races that are none. A plain fork from this code is seen for what it is.
inline ProcessResult runProcess(const QString& program, const QStringList& arguments, int timeoutMs = 30000) {
    ProcessResult result;
    std::vector<QByteArray> words{program.toLocal8Bit()};
    for (const QString& a : arguments) words.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    int out[2], err[2];
    if (pipe(out) != 0) return result;
    if (pipe(err) != 0) {
        close(out[0]);
        close(out[1]);
        return result;
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    if (child < 0) {
        close(out[0]);
        close(err[0]);
        return result;
    }
    QElapsedTimer elapsed;
    elapsed.start();
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    QByteArray* into[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        const qint64 left = timeoutMs - elapsed.elapsed();
        if (left <= 0) break;
        if (poll(fds, 2, int(left)) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                into[i]->append(buffer, n);
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& f : fds)
        if (f.fd >= 0) close(f.fd);
    if (open > 0) kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (open == 0 && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

} // namespace testsupport
