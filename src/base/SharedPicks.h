#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

namespace playback {

// What the copies of the program that a screen-saver daemon starts, one on each monitor of an X
// display, tell each other about the media they play: each copy has one entry, the file it plays and
// when that file was picked, in a small text file of the user's runtime folder.
//
// Every look at the file reads it, changes it and writes it back as one step under an flock on the
// file itself: two copies picking at the same moment would otherwise lose one of their entries, and
// a reader could see half of a write. A rename into place would keep reads whole, but not keep two
// read-and-write steps apart. The lock is only waited for briefly: a copy that cannot have it in
// time shares nothing this once and plays on, never stalls. Entries of copies that have ended (their
// process is gone, or its number now belongs to a process started later) are dropped at every step,
// so the file holds at most one line per running copy. A file that is not in this form (cut short,
// written by something else) counts as empty and is written anew.
//
// Format, UTF-8 text:
//   lumora-picks 1
//   <pid> <process start time> <picked at, ms on the monotonic clock> <file's name as bytes, percent-encoded>
class SharedPicks {
public:
    struct Pick {
        int64_t pid = 0;
        QString file;
        int64_t pickedAtMs = 0;
    };

    // Copies on more monitors than this do not all share their picks; the file stays tiny.
    static constexpr int kMaxEntries = 16;
    // A file longer than this is no file of ours.
    static constexpr qint64 kMaxBytes = 256 * 1024;
    // How long a copy waits for another to finish its step before it shares nothing this time.
    static constexpr int kLockWaitMs = 250;

    // The file at `path`, on behalf of process `pid` (this process unless a test names another).
    explicit SharedPicks(const QString& path, int64_t pid = 0);

    // The folder for the file: $XDG_RUNTIME_DIR when it is a real folder of the user's own that no one
    // else may write, otherwise a folder of the user's own under the temporary folder, made with mode
    // 0700. Empty when neither can be had (a symlink or a folder of another user stands there).
    static QString runtimeFolder();
    // The file's name for an X display: one for all the screens of the display.
    static QString fileName(const QString& display);

    // The files the other running copies play now; empty when the file cannot be had.
    QStringList filesShownElsewhere();
    // This copy plays `file` now; a pick it follows keeps the time it was made at, a pick of its own
    // is made now, and later than every pick in the file. False when the file could not be had.
    bool publish(const QString& file, std::optional<int64_t> pickedAtMs = std::nullopt);
    // The newest pick another copy made within the last `withinMs` that this copy has not played: made
    // after this copy's own, or the one it took last while it now plays something else
    // (`playingNow`). None when there is none or the file cannot be had.
    std::optional<Pick> newerPick(const QString& playingNow, int withinMs);

    // Every running copy's entry, this one's included.
    QList<Pick> entries();

    // The monotonic clock the times are on; a test may set its own.
    void setClock(std::function<int64_t()> clock) { m_clock = std::move(clock); }
    QString path() const { return m_path; }

private:
    struct Entry {
        Pick pick;
        uint64_t started = 0;
    };
    // Runs `step` on the live entries under the lock, and writes them back when it says they changed
    // or dead entries were dropped. False when the file could not be opened or locked in time.
    bool withEntries(const std::function<bool(QList<Entry>&)>& step);

    QString m_path;
    int64_t m_pid;
    uint64_t m_started;
    std::function<int64_t()> m_clock;
};

} // namespace playback
