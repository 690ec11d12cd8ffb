#pragma once
#include <QCoreApplication>
#include <QTest>

namespace testsupport {

// Runs events until `done` holds or `ms` have passed. The check that follows says what was wanted, so
// a wait that runs out fails there, with that check's own message.
template <class Done> void waitFor(Done done, int ms = 2000) {
    (void)QTest::qWaitFor(done, ms);
}

// Runs the events posted so far, and those they post in turn, `turns` times over: for handling that
// ends a turn or two of the event loop after the last thing a test can see of it.
inline void runPostedEvents(int turns = 5) {
    for (int i = 0; i < turns; ++i)
        QCoreApplication::processEvents();
}

} // namespace testsupport
