#include "platform/mpv/ItemSequence.h"

#include <gtest/gtest.h>

using platform::mpv::ItemSequence;
using Reply = ItemSequence::Reply;

namespace {

// Opens the sequence's next file as libmpv would: the reply names entry `entry`, which starts.
QString openAs(ItemSequence& item, int64_t entry) {
    const ItemSequence::Step step = item.next();
    if (!step.open) return QString();
    EXPECT_EQ(item.replied(step.replyId, false, entry), Reply::Accepted);
    EXPECT_TRUE(item.started(entry));
    return step.file;
}

} // namespace

TEST(ItemSequence, PlaysItsFilesInTurnIgnoringWhatEarlierEntriesStillReport) {
    ItemSequence item;
    const uint64_t serial = item.begin();
    EXPECT_FALSE(item.resolved(serial + 1, {"stale"})) << "an earlier load's answer is not this item's";
    ASSERT_TRUE(item.resolved(serial, {"a", "b", "c"}));

    EXPECT_EQ(openAs(item, 5), "a");
    item.playedOnce();
    ASSERT_TRUE(item.ended(5, true));
    const ItemSequence::Step b = item.next();
    ASSERT_TRUE(b.open);
    EXPECT_EQ(b.file, "b");
    EXPECT_FALSE(b.loopInside);
    // Until b's reply comes, nothing counts as ours: a's late end included.
    EXPECT_FALSE(item.ended(5, true));
    EXPECT_FALSE(item.started(5));
    EXPECT_EQ(item.replied(b.replyId - 1, false, 5), Reply::NotOurs);
    // A reply without an id: the next entry to start is ours.
    EXPECT_EQ(item.replied(b.replyId, false, std::nullopt), Reply::Accepted);
    EXPECT_EQ(item.replied(b.replyId, false, 6), Reply::NotOurs) << "a second reply to the same load";
    EXPECT_TRUE(item.started(6));
    EXPECT_TRUE(item.current());
    EXPECT_FALSE(item.started(7)) << "another entry starting is not ours";
    EXPECT_FALSE(item.current());
    EXPECT_TRUE(item.started(6));
    ASSERT_TRUE(item.ended(6, true));

    // The last one refused outright: the item still played through, as its earlier files did, and
    // what comes next follows at once.
    const ItemSequence::Step c = item.next();
    ASSERT_TRUE(c.open);
    EXPECT_EQ(item.replied(c.replyId, true, std::nullopt), Reply::Refused);
    const ItemSequence::Step end = item.next();
    EXPECT_FALSE(end.open);
    EXPECT_TRUE(end.playedThrough);

    // Stopped: what the item's entries report afterwards is no longer ours.
    item.begin();
    item.resolved(item.serial(), {"a"});
    openAs(item, 9);
    item.end();
    EXPECT_FALSE(item.ended(9, true));
    EXPECT_FALSE(item.current());
    EXPECT_FALSE(item.next().open);
}

TEST(ItemSequence, LoopsOneFileInsideAndAPlayListByRoundsUntilARoundPlaysNothing) {
    ItemSequence single;
    single.setLooping(true);
    single.resolved(single.begin(), {"clip"});
    const ItemSequence::Step step = single.next();
    EXPECT_TRUE(step.loopInside);
    EXPECT_TRUE(single.singleFileOpen());

    ItemSequence list;
    list.setLooping(true);
    list.resolved(list.begin(), {"a", "b"});
    EXPECT_EQ(openAs(list, 1), "a");
    list.playedOnce();
    list.ended(1, true);
    EXPECT_EQ(openAs(list, 2), "b");
    EXPECT_FALSE(list.singleFileOpen());
    list.ended(2, true);
    // A round that played: the next begins at the first file again.
    EXPECT_EQ(openAs(list, 3), "a");
    list.ended(3, false);
    EXPECT_EQ(openAs(list, 4), "b");
    list.ended(4, false);
    // Nothing of that round played: the item ends, not played through, rather than spinning.
    const ItemSequence::Step end = list.next();
    EXPECT_FALSE(end.open);
    EXPECT_FALSE(end.playedThrough);

    ItemSequence once;
    once.resolved(once.begin(), {"a"});
    openAs(once, 1);
    once.playedOnce();
    once.ended(1, true);
    EXPECT_TRUE(once.next().playedThrough);
    EXPECT_FALSE(ItemSequence().next().open) << "an item of no files ends at once";
}
