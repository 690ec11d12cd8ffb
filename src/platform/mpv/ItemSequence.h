#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace platform::mpv {

// The files of the item a player plays, and which of libmpv's play-list entries is the one playing
// now. libmpv replaces its entry with each file opened, and events of entries of earlier loads keep
// arriving for a while: only those of the entry this sequence opened last count. Knows nothing of
// libmpv itself, so it can be driven by hand.
class ItemSequence {
public:
    // What to do next: open `file` (with `loopInside`, libmpv loops it without a break, under the
    // reply id `replyId`), or end the item, `playedThrough` when it played to its end by itself.
    struct Step {
        bool open = false;
        QString file;
        bool loopInside = false;
        uint64_t replyId = 0;
        bool playedThrough = false;
    };

    // A new item (or the same again): returns the serial its resolved files must come back with.
    uint64_t begin();
    // The item ended or was stopped: whatever its entries still report is no longer ours.
    void end();
    // The files the item resolved to, if `serial` is still the item's.
    bool resolved(uint64_t serial, const QStringList& files);
    uint64_t serial() const { return m_loadSerial; }

    // The next file of the item, or its end. A looping item starts its round again once one of its
    // files played; one none of whose files played ends.
    Step next();

    enum class Reply { NotOurs, Refused, Accepted };
    // The reply to a loadfile: refused outright, or naming the new entry (`entryId`, when it says).
    Reply replied(uint64_t replyId, bool failed, std::optional<int64_t> entryId);
    // An entry started; true when it is ours.
    bool started(int64_t entryId);
    // An entry ended; true when it is ours (then the item goes on with next()).
    bool ended(int64_t entryId, bool atEof);
    // Our entry played its first frame.
    void playedOnce() { m_itemPlayed = true; }

    // The entry playing now is ours.
    bool current() const { return m_entry > 0 && m_activeEntry == m_entry; }
    // A single file is open (or opening), which loops inside libmpv.
    bool singleFileOpen() const { return m_entry != 0 && m_files.size() == 1; }
    void setLooping(bool looping) { m_looping = looping; }
    bool looping() const { return m_looping; }

private:
    // No entry; the loadfile's reply is awaited; it came without an id, so the next to start is ours.
    static constexpr int64_t kNoEntry = 0;
    static constexpr int64_t kAwaitingReply = -1;
    static constexpr int64_t kNextStarted = -2;
    // Each loadfile's reply comes back under this plus its own serial number.
    static constexpr uint64_t kLoadReply = 1000;

    QStringList m_files;
    qsizetype m_nextFile = 0;
    int64_t m_entry = kNoEntry;
    int64_t m_activeEntry = 0;
    uint64_t m_openSerial = 0;
    uint64_t m_loadSerial = 0;
    bool m_looping = false;
    // A file of the item (or of its current round, when looping) played; how the last one ended.
    bool m_itemPlayed = false;
    bool m_endedAtEof = false;
};

} // namespace platform::mpv
