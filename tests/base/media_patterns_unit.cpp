#include "base/MediaPatterns.h"
#include <gtest/gtest.h>

TEST(MediaPatterns, TheListKeepsTheClassicThirtyFirstAndEachPatternCountsOnce) {
    const QStringList all = mediaPatternList().split(u';');
    ASSERT_EQ(all.size(), 43);
    EXPECT_EQ(all.first(), QStringLiteral("*.mpg"));
    EXPECT_EQ(all[29], QStringLiteral("*.wma"));
    EXPECT_EQ(all[30], QStringLiteral("*.mp4"));
    EXPECT_EQ(all.count(QStringLiteral("*.asf")), 2);
    const PatternMatcher m(mediaPatternList());
    EXPECT_EQ(m.patterns().size(), 41) << "*.asf and *.wma are listed twice";
    for (const char* name :
         {"a.MPG", "b.Mp4", "c.mkv", "d.dvr-ms", "e.WEBM", "song.flac", ".hidden.avi", "x.y.mov"})
        EXPECT_TRUE(m.matches(QString::fromLatin1(name))) << name;
    for (const char* name : {"a.mpgx", "mpg", "b.txt", "c.mp4.part", "d.m3u8", "e.wm_"})
        EXPECT_FALSE(m.matches(QString::fromLatin1(name))) << name;
}

TEST(MediaPatterns, WildcardsTakeStarAndQuestionMarkOnlyAndIgnoreCase) {
    EXPECT_TRUE(wildcardMatch(QStringLiteral("clip?.mp*"), QStringLiteral("CLIP1.MPEG")));
    EXPECT_FALSE(wildcardMatch(QStringLiteral("clip?.mp*"), QStringLiteral("clip12.mpeg")));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*"), QString()));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("[a].avi"), QStringLiteral("[a].avi")));
    EXPECT_FALSE(wildcardMatch(QStringLiteral("[a].avi"), QStringLiteral("a.avi")));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*a*b*c"), QStringLiteral("xxaxxbxxbxxc")));
    const PatternMatcher m(QStringLiteral(" *.AVI ; holiday*.m?v;;"));
    EXPECT_TRUE(m.matches(QStringLiteral("x.avi")));
    EXPECT_TRUE(m.matches(QStringLiteral("Holiday 2019.M4V")));
    EXPECT_FALSE(m.matches(QStringLiteral("work.m4v")));
    EXPECT_EQ(joinFolderAndName(QStringLiteral("/"), QStringLiteral("a.mpg")), QStringLiteral("/a.mpg"));
    EXPECT_EQ(joinFolderAndName(QStringLiteral("/media/x"), QStringLiteral("a.mpg")),
              QStringLiteral("/media/x/a.mpg"));
}
