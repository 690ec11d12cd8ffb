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

// Monitors playing items of their own take no file another monitor shows, where the list has others.
TEST(PlayOrder, OtherMonitorsFilesAreSkippedWhileTheListHasOthers) {
    const QStringList list{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    using playback::positionNotShown;
    EXPECT_EQ(positionNotShown(0, list, {}), 0);
    EXPECT_EQ(positionNotShown(0, list, {QStringLiteral("a")}), 1);
    EXPECT_EQ(positionNotShown(2, list, {QStringLiteral("c"), QStringLiteral("a")}), 1) << "wraps past the end";
    EXPECT_EQ(positionNotShown(3, list, {QStringLiteral("a")}), 1) << "the position past the last wraps first";
    EXPECT_EQ(positionNotShown(1, list, list), 1) << "every file shown: the position stays";
    EXPECT_EQ(positionNotShown(0, {}, {QStringLiteral("a")}), 0);

    using playback::spreadOffset;
    // m monitors over n entries start about n / m apart.
    EXPECT_EQ(spreadOffset(1, 2, 4), 2);
    EXPECT_EQ(spreadOffset(1, 3, 6), 2);
    EXPECT_EQ(spreadOffset(2, 3, 6), 4);
    EXPECT_EQ(spreadOffset(1, 2, 3), 1);
    EXPECT_EQ(spreadOffset(3, 4, 2), 1) << "more monitors than entries: they share starts";
    EXPECT_EQ(spreadOffset(0, 2, 4), 0) << "the first monitor starts where it always does";
    EXPECT_EQ(spreadOffset(1, 1, 4), 0);
    EXPECT_EQ(spreadOffset(1, 2, 0), 0) << "an empty list";
    EXPECT_EQ(spreadOffset(-1, 2, 4), 0);

    using playback::randomIndexAvoiding;
    const QString b = QStringLiteral("b");
    for (float draw : {0.0f, 0.5f, 0.99f}) {
        EXPECT_EQ(randomIndexAvoiding(list, {QStringLiteral("a")}, b, draw), 2);
        // Only the file not to repeat is free of other monitors: the other monitors come first.
        EXPECT_EQ(randomIndexAvoiding(list, {QStringLiteral("a"), QStringLiteral("c")}, b, draw), 1);
        // Every file shown elsewhere: still not the file just played.
        EXPECT_NE(randomIndexAvoiding(list, list, b, draw), 1);
        EXPECT_EQ(randomIndexAvoiding({b}, {b}, b, draw), 0);
    }
    EXPECT_EQ(randomIndexAvoiding(list, {}, QString(), 0.0f), 0);
    EXPECT_EQ(randomIndexAvoiding(list, {}, QString(), 0.99f), 2);
    EXPECT_EQ(randomIndexAvoiding({}, {}, QString(), 0.5f), -1);
}
