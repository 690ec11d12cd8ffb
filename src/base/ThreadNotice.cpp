#include "base/ThreadNotice.h"

ThreadNotice::ThreadNotice(QObject* context, std::function<void()> then) : QObject(context), m_then(std::move(then)) {
    connect(this, &ThreadNotice::poked, context, [this] {
        // Cleared before the call, so a poke that comes in meanwhile makes another.
        m_pending = false;
        m_then();
    }, Qt::QueuedConnection);
}

void ThreadNotice::poke() {
    if (!m_pending.exchange(true)) emit poked();
}
