#include "base/Convert.h"
#include "base/FileNames.h"
#include "base/RuntimeError.h"
#include "base/SettingsFormat.h"
#include "base/SettingsKeys.h"
#include "platform/Settings.h"
#include "platform/linux/IniSettingsBackend.h"
#include "support/KilledSave.h"
#include "support/SettingKeys.h"
#include "support/TestFiles.h"
#include "support/inprocess/InProcessPlatform.h"
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <random>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using settings::Key;
using testsupport::keyName;

using platform::IniSettingsBackend;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

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

    // The names in the settings folder, sorted.
    QStringList folderNames() const {
        return QFileInfo(path).dir().entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir home;
    QString path;
    platform::InProcessPlatform platform;

private:
    QByteArray m_oldHome;
    bool m_hadHome = false;
};

// Bytes of a literal, embedded zeros included.
template <qsizetype N> QByteArray bytes(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

std::optional<runtime::ErrorKind> saveError(settings::KeyRef key, const QString& value) {
    try {
        SaveSetting(settings::nameOf(key), value);
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

    SaveSetting(keyName(Key::GradOn), QStringLiteral("1"));
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
    SaveSetting(keyName(Key::MouseSensitivity), QStringLiteral("12"));
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
    SaveSetting(keyName(Key::OneFourthScreenDisplayMode), QStringLiteral("False"));
    EXPECT_EQ(GetSetting(QStringLiteral("onefourthscreendisplaymode"), QStringLiteral("True")),
              QStringLiteral("False"));
    EXPECT_EQ(QString::fromUtf8(fileText()).count(QStringLiteral("screendisplaymode="), Qt::CaseInsensitive),
              1);

    // The in-memory store the other tests use behaves the same.
    platform::MemorySettingsBackend memory;
    memory.write(keyName(Key::MouseSensitivity), QStringLiteral("12"));
    memory.write(QStringLiteral("mousesensitivity"), QStringLiteral("30"));
    EXPECT_EQ(memory.read(QStringLiteral("MOUSESENSITIVITY")), QStringLiteral("30"));
    EXPECT_EQ(memory.values.size(), 1);
}

TEST_F(SettingsFile, StoredBooleansAndIntegersConvertAsTheReadersExpect) {
    const QList<QPair<QString, bool>> booleans{
        {QStringLiteral("True"), true}, {QStringLiteral("true"), true},   {QStringLiteral("TRUE"), true},
        {QStringLiteral("1"), true},    {QStringLiteral("False"), false}, {QStringLiteral("0"), false}};
    for (const auto& [text, expected] : booleans) {
        SaveSetting(keyName(Key::PlaySingleFile), text);
        EXPECT_EQ(runtime::textToBool(GetSetting(QStringLiteral("PlaySingleFile"), QStringLiteral("True"))),
                  expected)
            << qPrintable(text);
    }
    SaveSetting(keyName(Key::PlayMultipleFiles), runtime::boolToText(true));
    EXPECT_TRUE(
        runtime::textToBool(GetSetting(QStringLiteral("PlayMultipleFiles"), QStringLiteral("False"))));

    SaveSetting(keyName(Key::FireGradInterval), QStringLiteral("6000"));
    EXPECT_EQ(runtime::textToInt16(GetSetting(QStringLiteral("FireGradInterval"), QStringLiteral("30000"))),
              6000);
    SaveSetting(keyName(Key::FireGradInterval), QStringLiteral("40000"));
    try {
        runtime::textToInt16(GetSetting(QStringLiteral("FireGradInterval"), QStringLiteral("6000")));
        ADD_FAILURE() << "40000 does not fit a 16-bit integer";
    } catch (const runtime::RuntimeError& e) {
        EXPECT_EQ(e.kind(), runtime::ErrorKind::Overflow);
    }
    SaveSetting(keyName(Key::BackDropColor), QString::number(0xFFFFFF));
    EXPECT_EQ(GetSetting(QStringLiteral("BackDropColor"), QStringLiteral("0")), QStringLiteral("16777215"));
    EXPECT_EQ(runtime::textToInt32(GetSetting(QStringLiteral("BackDropColor"), QStringLiteral("0"))),
              16777215);
}

TEST_F(SettingsFile, EmptyTextIsAValueAndOnlyAMissingKeyGivesTheDefault) {
    SaveSetting(keyName(Key::VideoFile), QString());
    const QString read =
        GetSetting(QStringLiteral("VideoFile"), QStringLiteral("/usr/share/lumora/lumora.mpg"));
    EXPECT_TRUE(read.isEmpty()) << qPrintable(read);
    // Each reader keeps its own default for a missing key.
    EXPECT_EQ(GetSetting(QStringLiteral("Green_Level"), QStringLiteral("255")), QStringLiteral("255"));
    EXPECT_EQ(GetSetting(QStringLiteral("FireGradInterval"), QStringLiteral("6000")), QStringLiteral("6000"));
    EXPECT_EQ(GetSetting(QStringLiteral("FireGradInterval"), QStringLiteral("30000")),
              QStringLiteral("30000"));
    SaveSetting(keyName(Key::Green_Level), QStringLiteral("100"));
    EXPECT_EQ(GetSetting(QStringLiteral("Green_Level"), QStringLiteral("255")), QStringLiteral("100"));
    // A value looking like a number stays text exactly as stored.
    SaveSetting(keyName(Key::MouseSensitivity), QStringLiteral("007"));
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
        SaveSetting(keyName(Key::VideoFile), value);
        EXPECT_EQ(GetSetting(QStringLiteral("VideoFile"), QStringLiteral("default")), value)
            << qPrintable(value);
        // Read back by a second program from the file itself.
        IniSettingsBackend other(path);
        EXPECT_EQ(other.read(QStringLiteral("videofile")), value) << qPrintable(value);
    }
}

TEST_F(SettingsFile, TwoProgramsSeeEachOthersWrites) {
    IniSettingsBackend first(path), second(path);
    first.write(keyName(Key::PlayInRandomOrder), QStringLiteral("True"));
    EXPECT_EQ(second.read(QStringLiteral("PlayInRandomOrder")), QStringLiteral("True"));
    second.write(keyName(Key::PlayInRandomOrder), QStringLiteral("False"));
    EXPECT_EQ(first.read(QStringLiteral("PlayInRandomOrder")), QStringLiteral("False"));

    // Another process rewrites the file behind this one's back; the next read sees it, and the
    // next write keeps what the other process stored.
    writeFile("[lumora]\nPlayInRandomOrder=True\nMouseSensitivity=77\n");
    EXPECT_EQ(first.read(QStringLiteral("MouseSensitivity")), QStringLiteral("77"));
    EXPECT_EQ(first.read(QStringLiteral("PlayInRandomOrder")), QStringLiteral("True"));
    writeFile("[lumora]\nPlayInRandomOrder=True\nMouseSensitivity=88\nGradOn=1\n");
    first.write(keyName(Key::Red_Level), QStringLiteral("12"));
    IniSettingsBackend third(path);
    EXPECT_EQ(third.read(QStringLiteral("MouseSensitivity")), QStringLiteral("88"));
    EXPECT_EQ(third.read(QStringLiteral("GradOn")), QStringLiteral("1"));
    EXPECT_EQ(third.read(QStringLiteral("Red_Level")), QStringLiteral("12"));
}

TEST_F(SettingsFile, DamagedFileNeverFailsAReader) {
    const QList<QByteArray> damaged{
        bytes("\x00\xff\xfe\x01[\x80\x81\n=\n\x00\x00garbage"),
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
        SaveSetting(keyName(Key::GradOn), QStringLiteral("1"));
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
    EXPECT_EQ(saveError(Key::GradOn, QStringLiteral("1")), runtime::ErrorKind::Failed);
    EXPECT_TRUE(settingsLeftAlone());
    EXPECT_TRUE(settingsLeftAloneNotice().contains(QStringLiteral(" cannot be read.")));
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
    EXPECT_EQ(saveError(Key::GradOn, QStringLiteral("1")), runtime::ErrorKind::Failed);
    EXPECT_EQ(GetSetting(QStringLiteral("GradOn"), QStringLiteral("0")), QStringLiteral("0"));

    // The file's place is taken by a folder; this bites whatever the user's rights.
    QFile::remove(home.path() + QStringLiteral("/larkspur"));
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_EQ(GetSetting(QStringLiteral("GradOn"), QStringLiteral("0")), QStringLiteral("0"));
    EXPECT_EQ(saveError(Key::GradOn, QStringLiteral("1")), runtime::ErrorKind::Failed);
    EXPECT_TRUE(QFileInfo(path).isDir());
    // What stands there is left alone, and the user is told so, not that a save failed.
    testing::internal::CaptureStderr();
    EXPECT_TRUE(settingsLeftAlone());
    EXPECT_EQ(settingsLeftAloneNotice(),
              QStringLiteral("The settings file %1 cannot be read.\r\n\r\nLumora leaves the file as it is and "
                             "uses its default settings. Changes cannot be saved until the file is made readable "
                             "or moved away.")
                  .arg(path));
    EXPECT_TRUE(QString::fromStdString(testing::internal::GetCapturedStderr())
                    .contains(QStringLiteral("lumora: the settings file %1 cannot be read").arg(path)));
}

// Saves through the program keep a hand-written file as it was but for the keys they write, one
// save after another, each new key after the one before.
TEST_F(SettingsFile, SavesKeepAHandWrittenFileButForTheKeysTheyWrite) {
    const QByteArray original = bytes("# shared settings\r\n"
                                      "[Lumora] ; ours\r\n"
                                      "OneFourthScreenDisplayMode = True\r\n"
                                      "VideoFile=/media/a,b;c.mpg\r\n"
                                      "PathToLastDirectory=C:\\Videos\\\r\n"
                                      "Note=\"unclosed\r\n"
                                      "Latin=j\xfcrgen\r\n"
                                      "widthofscreenresolution = 640\r\n"
                                      "\r\n"
                                      "[other]\r\n"
                                      "WidthOfScreenResolution=1\r\n"
                                      "last=line without an end");
    writeFile(original);
    SaveSetting(keyName(Key::WidthOfScreenResolution), QStringLiteral("1280"));
    SaveSetting(keyName(Key::HeightOfScreenResolution), QStringLiteral("1024"));
    SaveSetting(keyName(Key::AMoviePositionTopWhenClosedFourth), QStringLiteral("17.5"));
    SaveSetting(keyName(Key::AMoviePositionLeftWhenClosedFourth), QStringLiteral("  padded  "));
    SaveSetting(keyName(Key::HeightOfScreenResolution), QStringLiteral("1024"));
    QByteArray expected = original;
    expected.replace("widthofscreenresolution = 640\r\n",
                     "widthofscreenresolution = 1280\r\n"
                     "HeightOfScreenResolution=1024\r\n"
                     "AMoviePositionTopWhenClosedFourth=17.5\r\n"
                     "AMoviePositionLeftWhenClosedFourth=\\:  padded\\s\\s\r\n");
    EXPECT_EQ(fileText(), expected) << fileText().toStdString();

    IniSettingsBackend other(path);
    EXPECT_EQ(other.read(QStringLiteral("videofile")), QStringLiteral("/media/a,b;c.mpg"));
    EXPECT_EQ(other.read(QStringLiteral("PathToLastDirectory")), QStringLiteral("C:\\Videos\\"));
    EXPECT_EQ(other.read(QStringLiteral("Note")), QStringLiteral("\"unclosed"));
    EXPECT_EQ(other.read(QStringLiteral("Latin")), platform::fileNameText("j\xfcrgen"));
    EXPECT_EQ(other.read(QStringLiteral("AMoviePositionLeftWhenClosedFourth")), QStringLiteral("  padded  "));
    EXPECT_EQ(other.read(QStringLiteral("last")), std::nullopt);
    // The text of the file that travels with the values is no setting.
    EXPECT_EQ(other.read(QStringLiteral("%file")), std::nullopt);
    EXPECT_EQ(GetSetting(QStringLiteral("%refused"), QStringLiteral("none")), QStringLiteral("none"));
}

// What one OK of the configuration dialog saves, in its order: a change from one-half to one-fourth.
platform::SettingsValues okSaves() {
    platform::SettingsValues values;
    const char* pairs[][2] = {{"GradOn", "0"}, {"Red_Level", "255"}, {"Green_Level", "255"}, {"Blue_Level", "255"},
                              {"FireGradInterval", "6000"}, {"ThreeQuartersScreenMode", "False"},
                              {"AbsoluteFullScreenDisplayMode", "False"}, {"OneHalfScreenDisplayMode", "False"},
                              {"OneFourthScreenDisplayMode", "True"}, {"OneSixteenthScreenDisplayMode", "False"},
                              {"OneEighthScreenDisplayMode", "False"}, {"MovieWillFloat", "1"},
                              {"MovingMovieSpeed", "50"}, {"PictureTrails", "1"}, {"PlaySingleFile", "True"},
                              {"PlayMultipleFiles", "False"}};
    for (const auto& [key, value] : pairs)
        values.append({QString::fromLatin1(key), QString::fromLatin1(value)});
    return values;
}

// Keys saved together leave the text saving them one by one leaves; reads in between see the values
// kept back, and nothing reaches the file before the commit, or without one.
TEST_F(SettingsFile, KeysSavedTogetherLeaveTheTextOfSavesOneByOne) {
    const QByteArray original = bytes("; mine\r\n[Lumora]\r\nOneHalfScreenDisplayMode = True\r\nGradOn=0\r\n"
                                      "\r\n[other]\r\nx=1");
    const platform::SettingsValues values{
        {QStringLiteral("onehalfscreendisplaymode"), QStringLiteral("False")},
        {keyName(Key::OneFourthScreenDisplayMode), QStringLiteral("True")},
        {keyName(Key::VideoFile), QStringLiteral("  padded  ")},
        {QStringLiteral("GRADON"), QStringLiteral("1")}};
    writeFile(original);
    for (const auto& [key, value] : values)
        SaveSetting(key, value);
    const QByteArray oneByOne = fileText();
    EXPECT_EQ(oneByOne, bytes("; mine\r\n[Lumora]\r\nOneHalfScreenDisplayMode = False\r\nGradOn=1\r\n"
                              "OneFourthScreenDisplayMode=True\r\nVideoFile=\\:  padded\\s\\s\r\n\r\n[other]\r\nx=1"));
    writeFile(original);
    {
        settings::SaveTogether together;
        for (const auto& [key, value] : values)
            SaveSetting(key, value);
        EXPECT_EQ(settings::read(settings::Key::GradOn), 1) << "a read sees the value kept back";
        EXPECT_EQ(fileText(), original) << "written before the commit";
        together.commit();
    }
    EXPECT_EQ(fileText(), oneByOne);
    {
        settings::SaveTogether dropped; // as when an error leaves the handler
        settings::save(settings::Key::GradOn, 0);
    }
    EXPECT_EQ(fileText(), oneByOne);
}

// A disk with one page free and a settings file just under a page: the dialog's new keys take the
// file over a page part way through. Saved one by one they stop there and leave a mix of old and
// new values; saved together the file stays byte for byte as it was, and with room again every
// key is written.
TEST_F(SettingsFile, SeveralKeysOnAFullDiskAreAllSavedOrNoneIs) {
    const QString disk = home.path() + QStringLiteral("/disk");
    ASSERT_TRUE(QDir().mkpath(disk));
    testsupport::SmallDisk small(disk);
    if (!small.mounted()) GTEST_SKIP() << qPrintable(small.whyNot());
    path = disk + QStringLiteral("/larkspur/lumora.ini");
    platform.useSettingsFile(path);
    QByteArray before = "; kept by hand\n[lumora]\nGradOn=0\nOneHalfScreenDisplayMode=True\n"
                        "OneEighthScreenDisplayMode=False\n";
    while (before.size() < 4096 - 150)
        before += "; a comment that takes the file to just under one page\n";
    writeFile(before);
    ASSERT_TRUE(small.fill(4096)) << small.freeBytes() << " bytes free";

    const platform::SettingsValues ok = okSaves();
    int oneByOne = 0;
    try {
        for (const auto& [key, value] : ok) {
            SaveSetting(key, value);
            ++oneByOne;
        }
    } catch (const runtime::RuntimeError&) {
    }
    ASSERT_GT(oneByOne, 0);
    ASSERT_LT(oneByOne, ok.size()) << "the disk did not run out part way";
    EXPECT_NE(fileText(), before);
    std::printf("[          ] one by one, %d of %lld saves went through before the disk was full\n", oneByOne,
                static_cast<long long>(ok.size()));
    writeFile(before);
    ASSERT_EQ(small.freeBytes(), 4096);

    auto saveTogether = [&] {
        settings::SaveTogether together;
        for (const auto& [key, value] : ok)
            SaveSetting(key, value);
        together.commit();
    };
    try {
        saveTogether();
        ADD_FAILURE() << "saved on a full disk";
    } catch (const runtime::RuntimeError& e) {
        EXPECT_EQ(e.kind(), runtime::ErrorKind::Failed);
        EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("The settings could not be saved to ") + path);
    }
    EXPECT_EQ(fileText(), before);
    EXPECT_EQ(folderNames(), QStringList{QStringLiteral("lumora.ini")}) << "the temporary was left";

    small.empty();
    saveTogether();
    IniSettingsBackend other(path);
    for (const auto& [key, value] : ok)
        EXPECT_EQ(other.read(key), value) << qPrintable(key);
}

// A settings file over 1 MiB is not read and never replaced: the program runs on its defaults and
// says why once.
TEST_F(SettingsFile, FileOverOneMebibyteIsRefusedAndLeftAlone) {
    QByteArray big = "[lumora]\nMouseSensitivity=33\n";
    big += QByteArray(platform::kMaxSettingsFileBytes - big.size(), ';');
    writeFile(big);
    EXPECT_EQ(GetSetting(QStringLiteral("MouseSensitivity"), QStringLiteral("4")), QStringLiteral("33"))
        << "exactly 1 MiB is still read";

    big += '\n';
    writeFile(big);
    const QDateTime modified = QFileInfo(path).lastModified();
    testing::internal::CaptureStderr();
    EXPECT_EQ(GetSetting(QStringLiteral("MouseSensitivity"), QStringLiteral("4")), QStringLiteral("4"));
    EXPECT_EQ(GetSetting(QStringLiteral("MouseSensitivity"), QStringLiteral("4")), QStringLiteral("4"));
    EXPECT_EQ(saveError(Key::WidthOfScreenResolution, QStringLiteral("1280")), runtime::ErrorKind::Failed);
    // The user is told why, with the file's place, and what that means for changes.
    EXPECT_TRUE(settingsLeftAlone());
    const QString notice = settingsLeftAloneNotice();
    EXPECT_TRUE(notice.contains(path + QStringLiteral(" is larger than 1 MiB"))) << qPrintable(notice);
    EXPECT_TRUE(notice.contains(QStringLiteral("leaves the file as it is and uses its default settings")))
        << qPrintable(notice);
    try {
        SaveSetting(keyName(Key::GradOn), QStringLiteral("1"));
        ADD_FAILURE() << "saved into the refused file";
    } catch (const runtime::RuntimeError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()),
                  QStringLiteral("GradOn was not saved: the settings file %1 is larger than 1 MiB and is left as "
                                 "it is")
                      .arg(path));
    }
    // A save of several keys names them.
    try {
        settings::SaveTogether together;
        SaveSetting(keyName(Key::MouseSensitivity), QStringLiteral("8"));
        SaveSetting(keyName(Key::IgnoreMouseMovement), QStringLiteral("True"));
        SaveSetting(keyName(Key::DoNotIgnoreMouseMovent), QStringLiteral("False"));
        together.commit();
        ADD_FAILURE() << "saved into the refused file";
    } catch (const runtime::RuntimeError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()),
                  QStringLiteral("MouseSensitivity, IgnoreMouseMovement and DoNotIgnoreMouseMovent were not saved: "
                                 "the settings file %1 is larger than 1 MiB and is left as it is")
                      .arg(path));
    }
    const QString said = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(said.startsWith(QStringLiteral("lumora: the settings file ") + path)) << qPrintable(said);
    EXPECT_TRUE(said.contains(QStringLiteral("larger than"))) << qPrintable(said);
    EXPECT_EQ(said.count(QStringLiteral("lumora:")), 1)
        << "said once, not at every read: " << qPrintable(said);
    EXPECT_EQ(fileText(), big);
    EXPECT_EQ(QFileInfo(path).lastModified(), modified);

    // Once the file is small again it is read and saved as usual, and a later refusal is told again.
    writeFile("[lumora]\nMouseSensitivity=33\n");
    EXPECT_EQ(GetSetting(QStringLiteral("MouseSensitivity"), QStringLiteral("4")), QStringLiteral("33"));
    EXPECT_FALSE(settingsLeftAlone());
    EXPECT_EQ(settingsLeftAloneNotice(), QString());
    SaveSetting(keyName(Key::GradOn), QStringLiteral("1"));
    EXPECT_EQ(fileText(), QByteArray("[lumora]\nMouseSensitivity=33\nGradOn=1\n"));
    writeFile(big);
    testing::internal::CaptureStderr();
    EXPECT_EQ(GetSetting(QStringLiteral("GradOn"), QStringLiteral("0")), QStringLiteral("0"));
    EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStderr()).count(QStringLiteral("lumora:")),
              1);
}

// Holds the lock every save takes (the settings folder's), as a save in progress does.
class SaveInProgress {
public:
    explicit SaveInProgress(const QString& settingsFile)
        : m_fd(::open(QFile::encodeName(QFileInfo(settingsFile).absolutePath()).constData(), O_RDONLY | O_DIRECTORY)) {}
    ~SaveInProgress() { end(); }
    bool held() const { return m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0; }
    void end() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// A killed save leaves its own temporary, which the next save clears, and nothing else goes: files
// of the user that look like a temporary or a backup stay, however new. No lock outlives the save.
TEST_F(SettingsFile, AKilledSaveIsClearedAndNothingOfTheUsersGoes) {
    writeFile("[lumora]\nGradOn=0\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Dies holding the lock, its temporary half written.
        SaveInProgress save(path);
        QFile t(path + QStringLiteral(".saving-") + QString::number(getpid()));
        const bool made = save.held() && t.open(QIODevice::WriteOnly) && t.write("[lumora]\nGra") > 0;
        t.close();
        _exit(made ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // Made after the killed save, as a user's backup would be; and a lock file of an earlier version.
    // The pause puts their times after the killed save's, whatever the file system's clock step.
    QThread::msleep(20);
    const QStringList mine = {QStringLiteral("lumora.ini.AbCdEf"), QStringLiteral("lumora.ini.backup"),
                              QStringLiteral("lumora.ini.before"), QStringLiteral("lumora.ini.lock"),
                              QStringLiteral("lumora.ini.saving-old")};
    for (const QString& name : mine) {
        QFile f(QFileInfo(path).dir().filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        if (!name.endsWith(QLatin1String("lock"))) f.write("[lumora]\nGradOn=0\n");
    }
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 5; ++i)
        SaveSetting(keyName(Key::GradOn), QString::number(1 - i % 2));
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(fileText(), QByteArray("[lumora]\nGradOn=1\n"));
    EXPECT_EQ(folderNames(), QStringList{QStringLiteral("lumora.ini")} + mine);

    // A symbolic link to the settings stays one: the file it points to is what changes.
    const QString real = home.path() + QStringLiteral("/dotfiles-lumora.ini");
    ASSERT_TRUE(QFile::rename(path, real));
    ASSERT_TRUE(QFile::link(real, path));
    SaveSetting(keyName(Key::GradOn), QStringLiteral("0"));
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    QFile target(real);
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), QByteArray("[lumora]\nGradOn=0\n"));
}

// Two programs saving different keys at once both keep their change: a save in progress is waited
// for, however long it is held up, and never judged dead by its age.
TEST_F(SettingsFile, TwoProgramsSavingAtOnceLoseNoChange) {
    writeFile("[lumora]\nA=0\nB=0\n");
    // This process is a save held up after reading the file; it will write it back with its change.
    SaveInProgress save(path);
    ASSERT_TRUE(save.held());
    const QByteArray before = fileText();
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        save.end();
        try {
            IniSettingsBackend(path).write(QStringLiteral("B"), QStringLiteral("1"));
        } catch (...) {
            _exit(1);
        }
        _exit(0);
    }
    // A stretch of time in which the other save would have ended, had it not waited.
    QThread::msleep(300);
    int status = 0;
    EXPECT_EQ(waitpid(other, &status, WNOHANG), 0) << "the other save did not wait for this one";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(before).replace("A=0", "A=1"));
    }
    save.end();
    ASSERT_EQ(waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(fileText(), QByteArray("[lumora]\nA=1\nB=1\n"));

    // Two programs saving 200 times each, one of them stopped for 50 ms now and then.
    QTemporaryDir fast(QStringLiteral("/dev/shm/lumora-settings-XXXXXX"));
    const QString file = fast.isValid() ? fast.path() + QStringLiteral("/lumora.ini") : path;
    pid_t savers[2];
    for (int n = 0; n < 2; ++n) {
        savers[n] = fork();
        ASSERT_GE(savers[n], 0);
        if (savers[n] == 0) {
            IniSettingsBackend backend(file);
            for (int i = 1; i <= 200; ++i) {
                try {
                    backend.write(n ? QStringLiteral("B") : QStringLiteral("A"), QString::number(i));
                } catch (...) {
                    _exit(1);
                }
            }
            _exit(0);
        }
    }
    std::mt19937 rng(std::random_device{}());
    int running = 2, stops = 0;
    bool failed = false;
    // The pauses are the point here: random gaps between stops, and stops of 50 ms.
    while (running > 0) {
        QThread::usleep(std::uniform_int_distribution<int>(0, 3000)(rng));
        // Never pid 0, which would stop this whole process group.
        const pid_t stopped = savers[stops++ % 2];
        if (stopped > 0 && kill(stopped, SIGSTOP) == 0) {
            QThread::msleep(50);
            kill(stopped, SIGCONT);
        }
        for (pid_t& p : savers)
            if (p > 0 && waitpid(p, &status, WNOHANG) == p) {
                failed = failed || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
                p = 0;
                --running;
            }
    }
    EXPECT_FALSE(failed) << "a save failed";
    QFile result(file);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    const QByteArray text = result.readAll();
    EXPECT_TRUE(text.contains("A=200\n") && text.contains("B=200\n")) << text.constData() << stops << " stops";
}

// Kills a process that keeps saving one of two values at random moments, 200 times: the file always
// holds the old or the new text whole, for readers during the saves and after the kill, and what a
// killed save may leave (at most the one temporary of that save) never piles
// up: the next save clears it.
TEST_F(SettingsFile, KilledSaveLeavesTheOldOrTheNewFileWholeAndNothingPilesUp) {
    // In memory where there is room, so that the saves' flushes to disk do not make 200 kills take
    // a minute; a kill does not undo what reached the kernel, so the rename keeps the file whole
    // the same way on any local file system.
    QTemporaryDir fast(QStringLiteral("/dev/shm/lumora-settings-XXXXXX"));
    if (fast.isValid()) {
        path = fast.path() + QStringLiteral("/lumora.ini");
        platform.useSettingsFile(path);
    }
    QByteArray original = "; kept by hand\n[lumora]\nMouseSensitivity=4\n";
    for (int i = 0; i < 300; ++i)
        original += "; a comment line that makes the file longer, number " + QByteArray::number(i) + '\n';
    original += "[other]\nx=1\n";
    writeFile(original);
    const QString key = QStringLiteral("VideoFile");
    const QString a(3000, QLatin1Char('a')), b(3100, QLatin1Char('b'));
    QElapsedTimer timer;
    timer.start();
    SaveSetting(key, a);
    const QByteArray withA = fileText();
    SaveSetting(key, b);
    const QByteArray withB = fileText();
    SaveSetting(key, a);
    ASSERT_EQ(fileText(), withA);
    ASSERT_EQ(withA, QByteArray(original).replace("MouseSensitivity=4\n",
                                                  "MouseSensitivity=4\nVideoFile=" + a.toUtf8() + '\n'));
    // A kill anywhere within a few saves.
    const int saveMicroseconds = std::max<int>(200, int(timer.nsecsElapsed() / 3000));
    std::mt19937 rng(std::random_device{}());
    std::uniform_int_distribution<int> pause(0, 4 * saveMicroseconds);

    const QRegularExpression temporaryName(QStringLiteral("^lumora\\.ini\\.saving-[0-9]+$"));
    int torn = 0, temporariesSeen = 0;
    timer.restart();
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        std::optional<IniSettingsBackend> backend;
        const testsupport::KilledSave killed = testsupport::saveUntilKilled(
            [&](int i) {
                if (!backend) backend.emplace(path);
                try {
                    backend->write(key, i % 2 ? a : b);
                } catch (...) {
                    return false;
                }
                return true;
            },
            std::chrono::microseconds(pause(rng)),
            [&] {
                const QByteArray now = fileText();
                torn += now != withA && now != withB;
            });
        ASSERT_TRUE(killed.started) << "the saving process did not get going";
        ASSERT_TRUE(killed.firstSaved) << "its first save failed";

        const QByteArray now = fileText();
        ASSERT_TRUE(now == withA || now == withB) << "after the kill: " << now.size() << " bytes";
        int temporaries = 0;
        for (const QString& name : folderNames()) {
            if (name == QLatin1String("lumora.ini")) continue;
            ASSERT_TRUE(temporaryName.match(name).hasMatch()) << "left behind: " << qPrintable(name);
            ++temporaries;
        }
        EXPECT_LE(temporaries, 1) << qPrintable(folderNames().join(u' '));
        temporariesSeen += temporaries;
    }
    EXPECT_EQ(torn, 0) << "a reader saw a partly written file";
    // The next save clears what the last kill left, and the file reads as saved.
    SaveSetting(key, a);
    EXPECT_EQ(fileText(), withA);
    EXPECT_EQ(folderNames(), QStringList{QStringLiteral("lumora.ini")});
    std::printf(
        "[          ] 200 kills in %lld ms; temporaries left by a kill %d times\n", timer.elapsed(),
        temporariesSeen);
}

// What each reader got for a missing key while it passed its own default: fresh settings must
// look the same through the keys' table.
TEST_F(SettingsFile, MissingKeysReadAsTheirReadersAlwaysRead) {
    using settings::Key;
    using settings::Reader;
    platform.windowsDirectoryValue = QStringLiteral("/usr/share/lumora");
    platform.homeFolderValue = QStringLiteral("/home/someone");
    const struct {
        settings::KeyRef key;
        Reader reader;
        const char* expected;
    } fresh[] = {
        {Key::AbsoluteFullScreenDisplayMode, Reader::Any, "False"},
        {Key::OneFourthScreenDisplayMode, Reader::Any, "False"},
        {Key::OneFourthScreenDisplayMode, Reader::FloatingPlayer, "True"},
        {Key::OneEighthScreenDisplayMode, Reader::Any, "True"},
        {Key::OneEighthScreenDisplayMode, Reader::FloatingPlayer, "False"},
        {Key::ThreeQuartersScreenMode, Reader::FloatingPlayer, "False"},
        {Key::WidthOfScreenResolution, Reader::FloatingPlayer, "640"},
        {Key::HeightOfScreenResolution, Reader::FloatingPlayer, "480"},
        {Key::MovieWillFloat, Reader::Any, "1"},
        {Key::MovingMovieSpeed, Reader::Any, "50"},
        {Key::PictureTrails, Reader::Any, "1"},
        {Key::GradOn, Reader::Any, "0"},
        {Key::Green_Level, Reader::Any, "255"},
        {Key::FireGradInterval, Reader::Any, "6000"},
        {Key::FireGradInterval, Reader::FloatingPlayer, "30000"},
        {Key::BackDropColor, Reader::Any, "0"},
        {Key::PlaySingleFile, Reader::Any, "True"},
        {Key::PlayMultipleFiles, Reader::Any, "False"},
        {Key::VideoFile, Reader::Any, "/usr/share/lumora/lumora.mpg"},
        {Key::VideoFile, Reader::StartUpName, "/lumora.mpg"},
        {Key::PlayInRandomOrder, Reader::Any, "False"},
        {Key::FileNotToRepeat, Reader::Any, ""},
        {Key::PathToLastDirectory, Reader::Any, "/home/someone"},
        {Key::PathToLastDirectoryFrmFileLister, Reader::Any, "/home/someone"},
        {Key::MouseSensitivity, Reader::Any, "4"},
        {Key::IgnoreMouseMovement, Reader::Any, "False"},
        {Key::DoNotIgnoreMouseMovent, Reader::Any, "True"},
        {Key::ScreensaverSoundMutePreference, Reader::Any, "0"},
    };
    for (const auto& f : fresh)
        EXPECT_EQ(settings::text(f.key, f.reader), QString::fromLatin1(f.expected))
            << qPrintable(settings::nameOf(f.key)) << " reader " << int(f.reader);
    EXPECT_FALSE(settings::read(Key::OneFourthScreenDisplayMode));
    EXPECT_TRUE(settings::read(Key::OneFourthScreenDisplayMode, Reader::FloatingPlayer));
    EXPECT_EQ(settings::read(Key::FireGradInterval, Reader::FloatingPlayer), 30000);
    EXPECT_EQ(settings::stored(Key::VideoFile), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(path)) << "reading writes nothing";
}

// The typed saves write the very bytes the forms wrote as text, and what they write reads back.
TEST_F(SettingsFile, TypedKeysStoreWhatTheFormsStoredAndReadItBack) {
    using settings::Key;
    settings::save(Key::PlaySingleFile, false);
    settings::save(Key::OneEighthScreenDisplayMode, true);
    settings::save(Key::FireGradInterval, 12000);
    settings::save(Key::HeightOfScreenResolution, -1);
    settings::save(Key::VideoFile, QStringLiteral(" /media/clip one.mkv "));
    settings::save(Key::Green_Level, QString());
    const QByteArray typed = fileText();

    QFile::remove(path);
    SaveSetting(keyName(Key::PlaySingleFile), QStringLiteral("False"));
    SaveSetting(keyName(Key::OneEighthScreenDisplayMode), QStringLiteral("True"));
    SaveSetting(keyName(Key::FireGradInterval), QStringLiteral("12000"));
    SaveSetting(keyName(Key::HeightOfScreenResolution), QStringLiteral("-1"));
    SaveSetting(keyName(Key::VideoFile), QStringLiteral(" /media/clip one.mkv "));
    SaveSetting(keyName(Key::Green_Level), QString());
    EXPECT_EQ(typed, fileText());

    EXPECT_FALSE(settings::read(Key::PlaySingleFile));
    EXPECT_TRUE(settings::read(Key::OneEighthScreenDisplayMode, settings::Reader::FloatingPlayer));
    EXPECT_EQ(settings::read(Key::FireGradInterval, settings::Reader::FloatingPlayer), 12000);
    EXPECT_EQ(settings::read(Key::HeightOfScreenResolution), -1);
    EXPECT_EQ(settings::read(Key::VideoFile), QStringLiteral(" /media/clip one.mkv "));
    // Stored empty is a value, not a missing key.
    EXPECT_EQ(settings::read(Key::Green_Level), QString());
    EXPECT_EQ(settings::stored(Key::Green_Level), QString());
}

// A hand-edited value: the players' reads fail (and each player keeps what it had), the dialogs
// show the default or the nearest value their control takes.
TEST_F(SettingsFile, HandEditedValuesFailStrictReadsAndControlsFallBack) {
    using settings::Key;
    writeFile("[lumora]\nOneEighthScreenDisplayMode=yes\nFireGradInterval=40000\nMovingMovieSpeed=fast\n"
              "PictureTrails=0.5\nMouseSensitivity=600\n");
    auto failure = [](auto read) -> std::optional<runtime::ErrorKind> {
        try {
            read();
        } catch (const runtime::RuntimeError& e) {
            return e.kind();
        }
        return std::nullopt;
    };
    EXPECT_EQ(failure([] { settings::read(Key::OneEighthScreenDisplayMode); }), runtime::ErrorKind::TypeMismatch);
    EXPECT_EQ(failure([] { settings::read(Key::FireGradInterval); }), runtime::ErrorKind::Overflow);
    EXPECT_EQ(failure([] { settings::read(Key::MovingMovieSpeed); }), runtime::ErrorKind::TypeMismatch);
    EXPECT_EQ(settings::read(Key::PictureTrails), 0) << "a half rounds to the even neighbour";

    EXPECT_TRUE(settings::readOrDefault(Key::OneEighthScreenDisplayMode));
    EXPECT_EQ(settings::readInRange(Key::FireGradInterval, 1000, 30000), 30000);
    EXPECT_EQ(settings::readInRange(Key::MovingMovieSpeed, 1, 1000), 50);
    EXPECT_EQ(settings::readInRange(Key::MouseSensitivity, 4, 500), 500);
    EXPECT_EQ(settings::readInRange(Key::BackDropColor, 0, 0xFFFFFF), 0);
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
