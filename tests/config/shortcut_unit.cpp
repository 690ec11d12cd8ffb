#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include "config/DesktopShortcut.h"

TEST(DesktopShortcut, ExecQuotesAndEscapesPathsThatNeedIt) {
    EXPECT_EQ(desktopExecValue(QStringLiteral("/usr/bin/lumora")), QStringLiteral("/usr/bin/lumora"));
    EXPECT_EQ(desktopExecValue(QStringLiteral("/opt/my apps/lumora")), QStringLiteral("\"/opt/my apps/lumora\""));
    // Inside quotes a backslash escapes ", `, $ and \, and the file format escapes each backslash again.
    EXPECT_EQ(desktopExecValue(QStringLiteral("/opt/a\"b$c/lumora")),
              QStringLiteral("\"/opt/a\\\\\"b\\\\$c/lumora\""));
    EXPECT_EQ(desktopExecValue(QStringLiteral("/opt/100%/lumora")), QStringLiteral("/opt/100%%/lumora"));
}

TEST(DesktopShortcut, WrittenEntriesPassTheDesktopFileValidator) {
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) GTEST_SKIP() << "desktop-file-validate is not installed";
    QTemporaryDir dir;
    for (const QString& program : {QStringLiteral("/usr/bin/lumora"), QStringLiteral("/home/a b/it's \"here\"/lumora"),
                                   QStringLiteral("/tmp/100% $HOME/lumora")}) {
        SCOPED_TRACE(program.toStdString());
        ASSERT_TRUE(writeDesktopShortcut(dir.path(), QStringLiteral("Lumora"), program, QStringLiteral("lumora")));
        QProcess p;
        p.start(validator, {dir.filePath(QStringLiteral("Lumora.desktop"))});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString() << p.readAllStandardError().toStdString();
    }
    // A folder that cannot be written reports it.
    EXPECT_FALSE(writeDesktopShortcut(dir.path() + QStringLiteral("/missing"), QStringLiteral("Lumora"),
                                      QStringLiteral("/usr/bin/lumora"), QString()));
}
