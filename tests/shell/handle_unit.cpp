#include "shell/VIDEOSCR.h"
#include <QList>
#include <QPair>
#include <gtest/gtest.h>

TEST(ReadHandle, DecimalOrHexAsXToolsWriteWindowIds) {
    const QList<QPair<QString, int64_t>> cases{
        {QStringLiteral("/p 27262983"), 0x1a00007},
        {QStringLiteral("/p 0x1a00007"), 0x1a00007},
        {QStringLiteral("/P 0X1A00007"), 0x1a00007},
        {QStringLiteral("/p 0x 1a0 0007"), 0x1a00007},
        {QStringLiteral("/p\t0x1a00007\n"), 0x1a00007},
        {QStringLiteral("/p 0x1a00007 junk"), 0x1a00007},
        {QStringLiteral("/p 0x000000001a00007"), 0x1a00007},
        {QStringLiteral("/p 0x1g"), 1},
        {QStringLiteral("/p 0x"), 0},
        {QStringLiteral("/p 0xzz"), 0},
        {QStringLiteral("/p -0x5"), 0},
        {QStringLiteral("/p 10x5"), 10},
        // Window ids are 32-bit; anything larger names no window.
        {QStringLiteral("/p 0xffffffff"), 0xffffffffLL},
        {QStringLiteral("/p 0x100000000"), 0},
        {QStringLiteral("/p 0x") + QString(40, QLatin1Char('f')), 0},
        {QStringLiteral("/p 2147483647"), 2147483647},
        {QStringLiteral("/p 2147483648"), 0},
    };
    for (const auto& [args, handle] : cases)
        EXPECT_EQ(VIDEOSCR::readHandle(args), handle) << qPrintable(args);
}
