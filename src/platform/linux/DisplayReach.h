#pragma once
#include <QString>
#include <memory>

namespace platform {

// Before Qt starts: whether the program has a display to show itself on (an X display or a Wayland
// one it can reach, or a Qt platform that needs none), and the connection that found out, held open.
// A bare X server resets, or ends (-terminate), when its last client goes: closing the check's
// connection before Qt has its own would have Qt's refused, and Qt aborts there.
class DisplayHold {
public:
    DisplayHold() = default;
    ~DisplayHold();
    DisplayHold(DisplayHold&&) noexcept;
    DisplayHold& operator=(DisplayHold&&) noexcept;
    DisplayHold(const DisplayHold&) = delete;
    DisplayHold& operator=(const DisplayHold&) = delete;

    // The one line to print when there is no display, or "".
    QString failure() const { return m_failure; }
    // Closes the connection; for once Qt's own stands.
    void release();

    struct Connection;

private:
    friend DisplayHold holdDisplay();
    QString m_failure;
    std::unique_ptr<Connection> m_connection;
};

DisplayHold holdDisplay();

// Qt's platform can still refuse to start after the check (a server that refuses a second client):
// while one of these lives, Qt's fatal messages about it print the program's one line instead and
// end the process with status 1, rather than aborting it with a core file. Qt's other messages
// while it starts are passed on once it has.
class PlatformStartGuard {
public:
    PlatformStartGuard();
    ~PlatformStartGuard();
    PlatformStartGuard(const PlatformStartGuard&) = delete;
    PlatformStartGuard& operator=(const PlatformStartGuard&) = delete;
};

// The line for a message of Qt's about its platform not starting, or "" for any other message.
QString platformFailureLine(const QString& qtMessage);

} // namespace platform
