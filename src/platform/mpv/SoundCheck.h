#pragma once
#include <QByteArray>
#include <QObject>
#include <functional>

namespace platform::mpv {

// Whether this machine's sound outputs answer, found out once a run by a core of its own that opens
// them on a moment of silence. A sound server that takes the connection and never answers holds the
// core that opens it for half a minute, decoding and pictures included, and nothing said to that
// core is heard until then: so the players hand libmpv no sound output until the check has answered.
enum class SoundAnswer {
    Pending, // not asked yet, or no answer yet
    Answered, // an output opened, or every one refused at once: libmpv may try them
    Silent,   // none answered within kSoundAnswerLimitMs: no sound for the rest of the run
};

constexpr int kSoundAnswerLimitMs = 2000;

SoundAnswer soundAnswer();

// Starts the check of `outputs` (libmpv's `ao` list, as audioOutputs gives it) unless it has started.
void checkSoundOutputs(const QByteArray& outputs);

// Runs `then` on `context`'s thread once the check has answered (queued at once when it has). One
// waiter a context; forgetSoundWaiter drops it, as the context must before it goes.
void whenSoundAnswered(QObject* context, std::function<void()> then);
void forgetSoundWaiter(QObject* context);

} // namespace platform::mpv
