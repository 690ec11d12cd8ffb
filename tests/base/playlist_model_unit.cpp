#include "base/FileNames.h"
#include "base/PlayListModel.h"
#include "base/PlayOrder.h"
#include "base/RuntimeError.h"
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(PlayListModel, EditsKeepEntriesHeaderAndViewsInStepUpToTheLimit) {
    PlayListModel model;
    // Aborts the test on any inconsistency between what the model says and the signals it sends.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    const QString latin1 = platform::fileNameText(QByteArray("/v/caf\xe9.mpg"));
    model.load({QStringLiteral("my header"), {QStringLiteral("/v/a.mpg"), latin1}});
    EXPECT_EQ(model.header(), QStringLiteral("my header"));
    ASSERT_EQ(model.count(), 2);
    EXPECT_EQ(model.entry(1), latin1) << "kept as the file system names it";
    EXPECT_EQ(model.data(model.index(1)).toString(), QStringLiteral("/v/caf\u00e9.mpg")) << "shown as read";
    EXPECT_EQ(model.data(model.index(1), PlayListModel::EntryRole).toString(), latin1);
    EXPECT_EQ(model.entry(2), QString());
    EXPECT_EQ(model.entry(-1), QString());

    model.append(QStringLiteral("/v/b.mpg"));
    model.removeAt(0);
    model.removeAt(7); // out of range: nothing happens
    EXPECT_EQ(model.entries(), (QStringList{latin1, QStringLiteral("/v/b.mpg")}));
    EXPECT_EQ(inserted.count(), 1);

    QStringList many;
    for (int i = 0; i < PlayListModel::kMaxEntries; ++i) many << QStringLiteral("/m/%1.mpg").arg(i);
    EXPECT_EQ(model.appendWhileRoom(many), PlayListModel::kMaxEntries - 2);
    EXPECT_EQ(model.count(), PlayListModel::kMaxEntries);
    EXPECT_EQ(model.appendWhileRoom(many), 0);
    try {
        model.append(QStringLiteral("/v/one.mpg"));
        ADD_FAILURE() << "a full list took one more";
    } catch (const runtime::RuntimeError& e) {
        EXPECT_EQ(e.kind(), runtime::ErrorKind::Overflow);
    }
    EXPECT_EQ(model.count(), PlayListModel::kMaxEntries);

    // A file announcing more than the list holds loads only what fits; saving writes what it shows.
    many << QStringLiteral("/m/past.mpg") << QStringLiteral("/m/past2.mpg");
    model.load({QStringLiteral("h"), many});
    EXPECT_EQ(model.count(), PlayListModel::kMaxEntries);
    EXPECT_EQ(model.toData().entries.size(), PlayListModel::kMaxEntries);
    model.clear();
    EXPECT_EQ(model.count(), 0);
    EXPECT_EQ(model.header(), QStringLiteral("h")) << "clearing empties the entries only";
}

TEST(PlayOrder, InOrderWrapsAndRandomPicksStayInTheList) {
    EXPECT_EQ(playback::wrappedPosition(3, 3), 0);
    EXPECT_EQ(playback::wrappedPosition(2, 3), 2);
    EXPECT_EQ(playback::randomIndex(0), 0);
    bool sawFirst = false, sawLast = false;
    for (int i = 0; i < 400; ++i) {
        const int index = playback::randomIndex(5);
        ASSERT_GE(index, 0);
        ASSERT_LT(index, 5);
        sawFirst |= index == 0;
        sawLast |= index == 4;
    }
    EXPECT_TRUE(sawFirst && sawLast);
    EXPECT_FALSE(playback::anotherEntryThan({QStringLiteral("a"), QStringLiteral("a")}, QStringLiteral("a")));
    EXPECT_TRUE(playback::anotherEntryThan({QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("a")));
    EXPECT_FALSE(playback::anotherEntryThan({}, QStringLiteral("a")));
}

// Several monitors, each its own item: the entries the others show are passed over while one is free.
TEST(PlayOrder, EntriesShownOnOtherMonitorsArePassedOverWhileAnotherIsFree) {
    const QStringList list{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    EXPECT_EQ(playback::firstNotShownFrom(1, list, {}), 1);
    EXPECT_EQ(playback::firstNotShownFrom(1, list, {QStringLiteral("b")}), 2);
    EXPECT_EQ(playback::firstNotShownFrom(1, list, {QStringLiteral("b"), QStringLiteral("c")}), 0) << "wraps";
    EXPECT_EQ(playback::firstNotShownFrom(2, list, list), 2) << "all shown: the order as it was";
    EXPECT_EQ(playback::firstNotShownFrom(0, {}, list), 0);
    EXPECT_EQ(playback::entriesNotShown(list, {QStringLiteral("a"), QStringLiteral("x")}),
              (QStringList{QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(playback::entriesNotShown(list, list), list);
    EXPECT_EQ(playback::entriesNotShown(list, {}), list);
}
