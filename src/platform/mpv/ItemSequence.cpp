#include "platform/mpv/ItemSequence.h"

namespace platform::mpv {

uint64_t ItemSequence::begin() {
    end();
    m_itemPlayed = false;
    m_endedAtEof = false;
    return m_loadSerial;
}

void ItemSequence::end() {
    m_files.clear();
    m_nextFile = 0;
    m_entry = kNoEntry;
    ++m_loadSerial;
}

bool ItemSequence::resolved(uint64_t serial, const QStringList& files) {
    if (serial != m_loadSerial) return false;
    m_files = files;
    m_nextFile = 0;
    return true;
}

ItemSequence::Step ItemSequence::next() {
    m_entry = kNoEntry;
    if (m_nextFile >= m_files.size() && m_looping && m_itemPlayed) {
        m_nextFile = 0;
        m_itemPlayed = false;
    }
    Step step;
    if (m_nextFile >= m_files.size()) {
        step.playedThrough = m_itemPlayed && m_endedAtEof;
        return step;
    }
    step.open = true;
    step.file = m_files.at(m_nextFile++);
    step.loopInside = m_looping && m_files.size() == 1;
    step.replyId = kLoadReply + ++m_openSerial;
    // Named by the reply; until then events of entries of earlier loads are not ours.
    m_entry = kAwaitingReply;
    return step;
}

ItemSequence::Reply ItemSequence::replied(uint64_t replyId, bool failed, std::optional<int64_t> entryId) {
    if (replyId != kLoadReply + m_openSerial || m_entry != kAwaitingReply) return Reply::NotOurs;
    if (failed) {
        m_entry = kNoEntry;
        return Reply::Refused;
    }
    m_entry = entryId.value_or(kNextStarted);
    return Reply::Accepted;
}

bool ItemSequence::started(int64_t entryId) {
    if (m_entry == kNextStarted) m_entry = entryId;
    m_activeEntry = entryId;
    return current();
}

bool ItemSequence::ended(int64_t entryId, bool atEof) {
    if (m_entry <= 0 || entryId != m_entry) return false;
    m_endedAtEof = atEof;
    return true;
}

} // namespace platform::mpv
