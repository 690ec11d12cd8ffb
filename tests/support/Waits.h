#pragma once
#include <QTest>

namespace testsupport {

// Runs events until `done` holds or `ms` have passed. The check that follows says what was wanted, so
// a wait that runs out fails there, with that check's own message.
template <class Done> void waitFor(Done done, int ms = 2000) {
    (void)QTest::qWaitFor(done, ms);
}

} // namespace testsupport
