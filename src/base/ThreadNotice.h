#pragma once
#include <QObject>
#include <atomic>
#include <functional>

// Runs `then` on the thread of `context` after any thread pokes it, as a queued call. The poking
// thread hands Qt nothing of its own making (a signal of this object, whose connection was made on
// the receiving thread), so whatever it means to pass must go through a lock of its own, where
// ThreadSanitizer sees the hand-over. Pokes before the call runs make one call.
class ThreadNotice : public QObject {
    Q_OBJECT
public:
    ThreadNotice(QObject* context, std::function<void()> then);
    // From any thread.
    void poke();

signals:
    void poked();

private:
    std::function<void()> m_then;
    std::atomic<bool> m_pending{false};
};
