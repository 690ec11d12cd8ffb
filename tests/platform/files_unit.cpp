#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include "platform/linux/LinuxPlatform.h"

TEST(MountedFileSystems, DrivesAreRealFileSystemsAndHoldTheProgram) {
    platform::MountedFileSystems files;
    const QList<platform::Drive> drives = files.drives();
    ASSERT_FALSE(drives.isEmpty());
    QStringList roots;
    for (const auto& d : drives) {
        roots << d.root;
        EXPECT_FALSE(d.name.isEmpty()) << d.root.toStdString();
        for (const char* pseudo : {"/proc", "/sys", "/dev"})
            EXPECT_FALSE(d.root == QLatin1String(pseudo) || d.root.startsWith(QLatin1String(pseudo) + u'/'))
                << d.root.toStdString();
    }
    EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end()));
    // The program's drive is one of them, and it holds the program.
    const QString root = files.programDriveRoot();
    EXPECT_TRUE(roots.contains(root)) << root.toStdString();
    EXPECT_TRUE(QCoreApplication::applicationDirPath().startsWith(root));
    EXPECT_EQ(files.homeFolder(), QDir::homePath());
}
