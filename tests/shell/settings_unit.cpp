#include "platform/inprocess/InProcessPlatform.h"
#include "platform/linux/IniSettingsBackend.h"
#include "runtime/Convert.h"
#include "runtime/RuntimeError.h"
#include "shell/Settings.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

using platform::IniSettingsBackend;

namespace {

// The real settings file in a temporary configuration home.
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        m_oldHome = qgetenv("XDG_CONFIG_HOME");
        m_hadHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        path = IniSettingsBackend::defaultFilePath();
        platform.install();
        platform.useSettingsFile(path);
    }
    void TearDown() override {
        if (QFileInfo::exists(path)) QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        if (m_hadHome)
            qputenv("XDG_CONFIG_HOME", m_oldHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
        platform::install(platform::Platform{});
    }

    QByteArray fileText() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // What another program (or a text editor) leaves in the file.
    void writeFile(const QByteArray& text) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    QTemporaryDir home;
    QString path;
    platform::InProcessPlatform platform;

private:
    QByteArray m_oldHome;
    bool m_hadHome = false;
};

std::optional<runtime::ErrorKind> saveError(const QString& key, const QString& value) {
    try {
        SaveSetting(key, value);
    } catch (const runtime::RuntimeError& e) {
        return e.kind();
    }
    return std::nullopt;
}

} // namespace

TEST_F(SettingsFile, LivesInTheConfigurationHomeUnderTheApplicationAndSection) {
    EXPECT_EQ(path, home.path() + QStringLiteral("/larkspur/lumora.ini"));
    EXPECT_FALSE(QFileInfo::exists(path)) << "nothing is written before the first save";
    EXPECT_EQ(GetSetting(QStringLiteral("GradOn"), QStringLiteral("0")), QStringLiteral("0"));

    SaveSetting(QStringLiteral("GradOn"), QStringLiteral("1"));
    ASSERT_TRUE(QFileInfo::exists(path)) << "the first write creates the folders and the file";
    const QByteArray text = fileText();
    EXPECT_TRUE(text.contains("[lumora]")) << text.constData();
    EXPECT_TRUE(text.contains("GradOn=1")) << text.constData();

    // A backend made without a path finds the same file.
    IniSettingsBackend byDefault;
    EXPECT_EQ(byDefault.filePath(), path);
    EXPECT_EQ(byDefault.read(QStringLiteral("GradOn")), QStringLiteral("1"));

    // A relative configuration home is not a home; the user's ~/.config is.
    qputenv("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_EQ(IniSettingsBackend::defaultFilePath(),
              QDir::homePath() + QStringLiteral("/.config/larkspur/lumora.ini"));
}

TEST_F(SettingsFile, KeysCompareWithoutCaseAndKeepOneEntry) {
    SaveSetting(QStringLiteral("MouseSensitivity"), QStringLiteral("12"));
    EXPECT_EQ(GetSetting(QStringLiteral("mousesensitivity"), QStringLiteral("4")), QStringLiteral("12"));
    EXPECT_EQ(GetSetting(QStringLiteral("MOUSESENSITIVITY"), QStringLiteral("4")), QStringLiteral("12"));

    SaveSetting(QStringLiteral("MOUSEsensitivity"), QStringLiteral("20"));
    EXPECT_EQ(GetSetting(QStringLiteral("MouseSensitivity"), QStringLiteral("4")), QStringLiteral("20"));
    const QString text = QString::fromUtf8(fileText());
    EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("^mousesensitivity="),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::MultilineOption)),
              1)
        << qPrintable(text);

    // A key that a person typed in another case in the file is found as well.
    writeFile("[lumora]\nonefourthscreendisplaymode=True\n");
    EXPECT_EQ(GetSetting(QStringLiteral("OneFourthScreenDisplayMode"), QStringLiteral("False")),
              QStringLiteral("True"));
    SaveSetting(QStringLiteral("OneFourthScreenDisplayMode"), QStringLiteral("False"));
    EXPECT_EQ(GetSetting(QStringLiteral("onefourthscreendisplaymode"), QStringLiteral("True")),
              QStringLiteral("False"));
    EXPECT_EQ(QString::fromUtf8(fileText()).count(QStringLiteral("screendisplaymode="), Qt::CaseInsensitive),
              1);

    // The in-memory store the other tests use behaves the same.
    platform::MemorySettingsBackend memory;
    memory.write(QStringLiteral("MouseSensitivity"), QStringLiteral("12"));
    memory.write(QStringLiteral("mousesensitivity"), QStringLiteral("30"));
    EXPECT_EQ(memory.read(QStringLiteral("MOUSESENSITIVITY")), QStringLiteral("30"));
    EXPECT_EQ(memory.values.size(), 1);
}

TEST_F(SettingsFile, StoredBooleansAndIntegersConvertAsTheReadersExpect) {
    const QList<QPair<QString, bool>> booleans{
        {QStringLiteral("True"), true}, {QStringLiteral("true"), true},   {QStringLiteral("TRUE"), true},
        {QStringLiteral("1"), true},    {QStringLiteral("False"), false}, {QStringLiteral("0"), false}};
    for (const auto& [text, expected] : booleans) {
        SaveSetting(QStringLiteral("PlaySingleFile"), text);
        EXPECT_EQ(runtime::textToBool(GetSetting(QStringLiteral("PlaySingleFile"), QStringLiteral("True"))),
                  expected)
            << qPrintable(text);
    }
    SaveSetting(QStringLiteral("PlayMultipleFiles"), runtime::boolToText(true));
    EXPECT_TRUE(
        runtime::textToBool(GetSetting(QStringLiteral("PlayMultipleFiles"), QStringLiteral("False"))));

    SaveSetting(QStringLiteral("FireGradInterval"), QStringLiteral("6000"));
    EXPECT_EQ(runtime::textToInt16(GetSetting(QStringLiteral("FireGradInterval"), QStringLiteral("30000"))),
              6000);
    SaveSetting(QStringLiteral("FireGradInterval"), QStringLiteral("40000"));
    try {
        runtime::textToInt16(GetSetting(QStringLiteral("FireGradInterval"), QStringLiteral("6000")));
        ADD_FAILURE() << "40000 does not fit a 16-bit integer";
    } catch (const runtime::RuntimeError& e) {
        EXPECT_EQ(e.kind(), runtime::ErrorKind::Overflow);
    }
    SaveSetting(QStringLiteral("BackDropColor"), QString::number(0xFFFFFF));
    EXPECT_EQ(GetSetting(QStringLiteral("BackDropColor"), QStringLiteral("0")), QStringLiteral("16777215"));
    EXPECT_EQ(runtime::textToInt32(GetSetting(QStringLiteral("BackDropColor"), QStringLiteral("0"))),
              16777215);
}

TEST_F(SettingsFile, EmptyTextIsAValueAndOnlyAMissingKeyGivesTheDefault) {
    SaveSetting(QStringLiteral("VideoFile"), QString());
    const QString read =
        GetSetting(QStringLiteral("VideoFile"), QStringLiteral("/usr/share/lumora/lumora.mpg"));
    EXPECT_TRUE(read.isEmpty()) << qPrintable(read);
    // Each reader keeps its own default for a missing key.
    EXPECT_EQ(GetSetting(QStringLiteral("Green_Level"), QStringLiteral("255")), QStringLiteral("255"));
    EXPECT_EQ(GetSetting(QStringLiteral("FireGradInterval"), QStringLiteral("6000")), QStringLiteral("6000"));
    EXPECT_EQ(GetSetting(QStringLiteral("FireGradInterval"), QStringLiteral("30000")),
              QStringLiteral("30000"));
    SaveSetting(QStringLiteral("Green_Level"), QStringLiteral("100"));
    EXPECT_EQ(GetSetting(QStringLiteral("Green_Level"), QStringLiteral("255")), QStringLiteral("100"));
    // A value looking like a number stays text exactly as stored.
    SaveSetting(QStringLiteral("MouseSensitivity"), QStringLiteral("007"));
    EXPECT_EQ(GetSetting(QStringLiteral("MouseSensitivity"), QStringLiteral("4")), QStringLiteral("007"));
}

TEST_F(SettingsFile, FreeTextRoundTripsUnchanged) {
    const QStringList values{
        QStringLiteral("a, b"),
        QStringLiteral("a,b,,c"),
        QStringLiteral("x;y ; z"),
        QStringLiteral("@Invalid()"),
        QStringLiteral("@ByteArray(abc)"),
        QStringLiteral("@"),
        QStringLiteral("key=value"),
        QStringLiteral("="),
        QStringLiteral("  padded  "),
        QStringLiteral("\"quoted\""),
        QStringLiteral("#not a comment"),
        QStringLiteral("[lumora]"),
        QStringLiteral("c:\\windows\\lumora.mpg"),
        QStringLiteral("tab\there"),
        QString::fromUtf8("/home/jürgen/Filme/Sommer, 2023 – Ö.mpg"),
        QString(300, QLatin1Char('x')),
    };
    for (const QString& value : values) {
        SaveSetting(QStringLiteral("VideoFile"), value);
        EXPECT_EQ(GetSetting(QStringLiteral("VideoFile"), QStringLiteral("default")), value)
            << qPrintable(value);
        // Read back by a second program from the file itself.
        IniSettingsBackend other(path);
        EXPECT_EQ(other.read(QStringLiteral("videofile")), value) << qPrintable(value);
    }
}

TEST_F(SettingsFile, TwoProgramsSeeEachOthersWrites) {
    IniSettingsBackend first(path), second(path);
    first.write(QStringLiteral("PlayInRandomOrder"), QStringLiteral("True"));
    EXPECT_EQ(second.read(QStringLiteral("PlayInRandomOrder")), QStringLiteral("True"));
    second.write(QStringLiteral("PlayInRandomOrder"), QStringLiteral("False"));
    EXPECT_EQ(first.read(QStringLiteral("PlayInRandomOrder")), QStringLiteral("False"));

    // Another process rewrites the file behind this one's back; the next read sees it, and the
    // next write keeps what the other process stored.
    writeFile("[lumora]\nPlayInRandomOrder=True\nMouseSensitivity=77\n");
    EXPECT_EQ(first.read(QStringLiteral("MouseSensitivity")), QStringLiteral("77"));
    EXPECT_EQ(first.read(QStringLiteral("PlayInRandomOrder")), QStringLiteral("True"));
    writeFile("[lumora]\nPlayInRandomOrder=True\nMouseSensitivity=88\nGradOn=1\n");
    first.write(QStringLiteral("Red_Level"), QStringLiteral("12"));
    IniSettingsBackend third(path);
    EXPECT_EQ(third.read(QStringLiteral("MouseSensitivity")), QStringLiteral("88"));
    EXPECT_EQ(third.read(QStringLiteral("GradOn")), QStringLiteral("1"));
    EXPECT_EQ(third.read(QStringLiteral("Red_Level")), QStringLiteral("12"));
}

TEST_F(SettingsFile, DamagedFileNeverFailsAReader) {
    const QList<QByteArray> damaged{
        QByteArray("\x00\xff\xfe\x01[\x80\x81\n=\n\x00\x00garbage", 22),
        QByteArray("no equals sign here\n[lumora\nMouseSensitivity\n==\n"),
        QByteArray("[lumora]\nVideoFile=a, b\nRed_Level=1,2,3\nGreen_Level=\"unterminated\n"),
        QByteArray("[other]\nMouseSensitivity=99\n"),
        QByteArray(100000, '\n'),
    };
    for (const QByteArray& text : damaged) {
        writeFile(text);
        EXPECT_EQ(GetSetting(QStringLiteral("FireGradInterval"), QStringLiteral("6000")),
                  QStringLiteral("6000"));
        EXPECT_EQ(GetSetting(QStringLiteral("MouseSensitivity"), QStringLiteral("4")), QStringLiteral("4"))
            << "a key of another section is not ours";
        // A write goes through and reads back.
        SaveSetting(QStringLiteral("GradOn"), QStringLiteral("1"));
        EXPECT_EQ(GetSetting(QStringLiteral("GradOn"), QStringLiteral("0")), QStringLiteral("1"));
    }
    // A hand-edited value with a comma is still one text.
    writeFile("[lumora]\nVideoFile=a, b\n");
    EXPECT_EQ(GetSetting(QStringLiteral("VideoFile"), QStringLiteral("x")), QStringLiteral("a, b"));
}

TEST_F(SettingsFile, UnreadableFileReadsDefaultsAndIsNotReplaced) {
    writeFile("[lumora]\nMouseSensitivity=33\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    if (::access(path.toLocal8Bit().constData(), R_OK) == 0)
        GTEST_SKIP() << "running with rights that read any file";
    EXPECT_EQ(GetSetting(QStringLiteral("MouseSensitivity"), QStringLiteral("4")), QStringLiteral("4"));
    EXPECT_EQ(saveError(QStringLiteral("GradOn"), QStringLiteral("1")), runtime::ErrorKind::Failed);
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(fileText(), QByteArray("[lumora]\nMouseSensitivity=33\n"));
}

TEST_F(SettingsFile, StoreThatCannotBeCreatedOrOpenedFailsWritesButNotReads) {
    // The configuration folder's place is taken by a regular file.
    {
        QFile blocker(home.path() + QStringLiteral("/larkspur"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.write("not a folder");
    }
    EXPECT_EQ(GetSetting(QStringLiteral("GradOn"), QStringLiteral("0")), QStringLiteral("0"));
    EXPECT_EQ(saveError(QStringLiteral("GradOn"), QStringLiteral("1")), runtime::ErrorKind::Failed);
    EXPECT_EQ(GetSetting(QStringLiteral("GradOn"), QStringLiteral("0")), QStringLiteral("0"));

    // The file's place is taken by a folder; this bites whatever the user's rights.
    QFile::remove(home.path() + QStringLiteral("/larkspur"));
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_EQ(GetSetting(QStringLiteral("GradOn"), QStringLiteral("0")), QStringLiteral("0"));
    EXPECT_EQ(saveError(QStringLiteral("GradOn"), QStringLiteral("1")), runtime::ErrorKind::Failed);
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(GetWindows, DataFolderWithoutTrailingSlashOrTheClassicDefault) {
    platform::InProcessPlatform p;
    p.install();
    p.windowsDirectoryValue = QStringLiteral("/usr/share/lumora/");
    EXPECT_EQ(GetWindows(), QStringLiteral("/usr/share/lumora"));
    EXPECT_EQ(defaultMediaPath(), QStringLiteral("/usr/share/lumora/lumora.mpg"));
    p.windowsDirectoryValue = QStringLiteral("/opt/lumora//");
    EXPECT_EQ(GetWindows(), QStringLiteral("/opt/lumora"));
    p.windowsDirectoryValue = QStringLiteral("/opt/lumora");
    EXPECT_EQ(GetWindows(), QStringLiteral("/opt/lumora"));
    p.windowsDirectoryValue = QString();
    EXPECT_EQ(GetWindows(), QStringLiteral("c:\\windows"));
    platform::install(platform::Platform{});
}
