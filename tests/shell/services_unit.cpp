#include "support/inprocess/InProcessPlatform.h"
#include "platform/SystemServices.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kDesktop = QStringLiteral("Control Panel\\Desktop");
const QString kUsePassword = QStringLiteral("ScreenSaveUsePassword");

class Services : public ::testing::Test {
protected:
    void SetUp() override { platform.install(); }
    void TearDown() override { platform::install(platform::Platform{}); }
    platform::InProcessPlatform platform;
};

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(path);
    f.write("x");
}

} // namespace

TEST_F(Services, RegistryTextAndNumbers) {
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kDesktop, kUsePassword), QString()) << "missing value";

    platform.setRegistryText(kDesktop, kUsePassword, QStringLiteral("1"));
    EXPECT_EQ(ReadRegistryString(0x80000001u, kDesktop, kUsePassword), QStringLiteral("1"));
    platform.setRegistryText(kDesktop, kUsePassword, QString());
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kDesktop, kUsePassword), QString());
    platform.setRegistryText(kDesktop, kUsePassword, QStringLiteral("Control Panel"));
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kDesktop, kUsePassword), QStringLiteral("Control Panel"));

    // A 32-bit number comes back with at least three digits, cut to three.
    const QList<QPair<uint32_t, QString>> numbers{{1, QStringLiteral("001")},
                                                  {0, QStringLiteral("000")},
                                                  {42, QStringLiteral("042")},
                                                  {999, QStringLiteral("999")},
                                                  {1234, QStringLiteral("123")}};
    for (const auto& [value, text] : numbers) {
        platform.setRegistryNumber(kDesktop, kUsePassword, value);
        EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kDesktop, kUsePassword), text) << value;
    }
    // Every predefined root is asked.
    platform.registryQueries.clear();
    for (uint32_t root = 0x80000000u; root <= 0x80000006u; ++root)
        ReadRegistryString(root, kDesktop, kUsePassword);
    EXPECT_EQ(platform.registryQueries.size(), 7);
}

TEST_F(Services, RootsThatAreNotPredefinedAreNeverQueried) {
    platform.setRegistryText(kDesktop, kUsePassword, QStringLiteral("1"));
    for (uint32_t root : {0u, 1u, 0x7FFFFFFFu, 0x80000007u, 0x8000FFFFu, 0xFFFFFFFFu}) {
        EXPECT_EQ(ReadRegistryString(root, kDesktop, kUsePassword), QString()) << std::hex << root;
    }
    EXPECT_TRUE(platform.registryQueries.isEmpty())
        << qPrintable(platform.registryQueries.join(QLatin1Char(' ')));
}

TEST_F(Services, PasswordFlagIsTheLeadingNumberOfTheSwitch) {
    EXPECT_EQ(readPasswordFlag(), 0) << "no switch stored";
    platform.setRegistryText(kDesktop, kUsePassword, QStringLiteral("1"));
    EXPECT_EQ(readPasswordFlag(), 1);
    platform.setRegistryText(kDesktop, kUsePassword, QStringLiteral("0"));
    EXPECT_EQ(readPasswordFlag(), 0);
    platform.setRegistryText(kDesktop, kUsePassword, QStringLiteral(" 1 x"));
    EXPECT_EQ(readPasswordFlag(), 1);
    platform.setRegistryText(kDesktop, kUsePassword, QStringLiteral("on"));
    EXPECT_EQ(readPasswordFlag(), 0);
    platform.setRegistryNumber(kDesktop, kUsePassword, 1);
    EXPECT_EQ(readPasswordFlag(), 1);
    platform.setRegistryNumber(kDesktop, kUsePassword, 0);
    EXPECT_EQ(readPasswordFlag(), 0);
    // A number too large for the switch is not a reason to stop.
    platform.setRegistryText(kDesktop, kUsePassword, QStringLiteral("99999"));
    EXPECT_NO_THROW(readPasswordFlag());

    platform.registryQueries.clear();
    readPasswordFlag();
    ASSERT_EQ(platform.registryQueries.size(), 1);
    EXPECT_EQ(platform.registryQueries.front(),
              QStringLiteral("80000001:Control Panel\\Desktop:ScreenSaveUsePassword"));
}

TEST_F(Services, PlatformIdentifierComesFromTheSystem) {
    platform.platformIdValue = 1;
    ReadPlatformId();
    EXPECT_EQ(PlatformId, 1u);
    platform.platformIdValue = 2;
    ReadPlatformId();
    EXPECT_EQ(PlatformId, 2u);
}

TEST(FileExists, FilesMatchFoldersDoNot) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    touch(root + QStringLiteral("/lumoraplus.ini"));
    touch(root + QStringLiteral("/.x"));
    touch(root + QStringLiteral("/clip1.mpg"));
    touch(root + QStringLiteral("/a[1].avi"));
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/folder.mpeg")));
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/sub")));

    EXPECT_TRUE(FileExists(root + QStringLiteral("/lumoraplus.ini")));
    EXPECT_FALSE(FileExists(root + QStringLiteral("/LUMORAPLUS.INI.bak")));
    EXPECT_FALSE(FileExists(root + QStringLiteral("/sub"))) << "a folder is not a file";
    EXPECT_FALSE(FileExists(root + QStringLiteral("/sub/")));
    EXPECT_FALSE(FileExists(root));
    EXPECT_TRUE(FileExists(root + QStringLiteral("/.x"))) << "hidden files count";
    EXPECT_TRUE(FileExists(root + QStringLiteral("/a[1].avi")));

    // Wildcards: any matching file will do, folders never.
    EXPECT_TRUE(FileExists(root + QStringLiteral("/*.mpg")));
    EXPECT_TRUE(FileExists(root + QStringLiteral("/clip?.mpg")));
    EXPECT_TRUE(FileExists(root + QStringLiteral("/clip1.mp?")));
    EXPECT_FALSE(FileExists(root + QStringLiteral("/clip??.mpg")));
    EXPECT_FALSE(FileExists(root + QStringLiteral("/*.mpeg"))) << "only a folder matches";
    EXPECT_FALSE(FileExists(root + QStringLiteral("/s?b")));
    EXPECT_TRUE(FileExists(root + QStringLiteral("/.?"))) << "hidden files match wildcards too";
    EXPECT_TRUE(FileExists(root + QStringLiteral("/a[1]*")));
    EXPECT_FALSE(FileExists(root + QStringLiteral("/*.wmv")));

    // Bad paths are false, never an error.
    EXPECT_FALSE(FileExists(root + QStringLiteral("/no such folder/lumoraplus.ini")));
    EXPECT_FALSE(FileExists(root + QStringLiteral("/no such folder/*.mpg")));
    EXPECT_FALSE(FileExists(root + QStringLiteral("/lumoraplus.ini/inside")));
    EXPECT_FALSE(FileExists(QStringLiteral("/nonexistent-drive-9f3a/lumora.mpg")));
    EXPECT_FALSE(FileExists(QString()));
    EXPECT_FALSE(FileExists(QStringLiteral("Z:\\lumora.mpg")));
    QString withNul = root + QStringLiteral("/lumoraplus.ini");
    withNul.insert(root.size() + 3, QChar(0));
    EXPECT_FALSE(FileExists(withNul));
    EXPECT_FALSE(FileExists(root + QLatin1Char('/') + QString(10000, QLatin1Char('a'))));
    EXPECT_FALSE(
        FileExists(root + QLatin1Char('/') + QString(10000, QLatin1Char('a')) + QStringLiteral("*")));
    EXPECT_FALSE(FileExists(QString(10000, QLatin1Char('/'))));
}
