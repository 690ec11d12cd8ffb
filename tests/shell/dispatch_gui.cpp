#include "platform/Settings.h"
#include "runtime/Form.h"
#include "runtime/FormRegistry.h"
#include "shell/VIDEOSCR.h"
#include "shell/frmAbout640x480.h"
#include "support/SettingKeys.h"
#include "support/inprocess/InProcessPlatform.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using runtime::forms;
using settings::Key;

namespace {

const QString kFloating = QStringLiteral("frmFloatingOneFourthMovie");
const QString kFullScreen = QStringLiteral("frmAbsoluteFullScreenVideo");
const QString kControl = QStringLiteral("ControlForm");
const QString kSplash = QStringLiteral("frmAbout640x480");
const QString kConfigure = QStringLiteral("frmConfigure");

// Stands in for a player or the preview form: it only counts.
class StandInForm : public runtime::Form {
public:
    StandInForm(const QString& name, int& shows) : Form(name), m_shows(shows) {
        setWindowTitle(QString::fromLatin1(VIDEOSCR::kMainFormCaption));
        resize(64, 48);
    }

protected:
    void showEvent(QShowEvent* e) override {
        ++m_shows;
        Form::showEvent(e);
    }

private:
    int& m_shows;
};

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        platform.install();
        registerProgramForms();
        for (const QString& name : {kFloating, kFullScreen, kControl}) {
            created[name] = 0;
            shows[name] = 0;
            forms().registerForm(name, [this, name] {
                ++created[name];
                return new StandInForm(name, shows[name]);
            });
        }
        VIDEOSCR::PreviewHostWindow = -1;
    }
    void TearDown() override {
        forms().reset();
        for (const QString& name : {kFloating, kFullScreen, kControl})
            forms().unregisterForm(name);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::install(platform::Platform{});
    }

    void store(settings::KeyRef key, const QString& value) {
        platform.memorySettings()->values[settings::nameOf(key)] = value;
    }
    void storeAllModes(const QString& value) {
        for (settings::FlagKey key : testsupport::kDisplayModes)
            store(key, value);
    }
    bool shown(const QString& name) const {
        runtime::Form* f = forms().find(name);
        return f && f->isLoaded() && f->isVisible();
    }
    frmAbout640x480* splash() const { return qobject_cast<frmAbout640x480*>(forms().find(kSplash)); }

    platform::InProcessPlatform platform;
    QHash<QString, int> created, shows;
};

QSize screenSize() {
    return QGuiApplication::primaryScreen()->geometry().size();
}

} // namespace

TEST_F(Dispatch, ConfigureSwitchOrNoneShowsTheSplash) {
    for (const QString& args :
         {QString(), QStringLiteral("/c"), QStringLiteral("/C"), QStringLiteral("/c:1234")}) {
        VIDEOSCR::Main(args);
        frmAbout640x480* s = splash();
        ASSERT_NE(s, nullptr) << qPrintable(args);
        EXPECT_TRUE(shown(kSplash)) << qPrintable(args);
        EXPECT_FALSE(s->isModal());
        EXPECT_EQ(s->parentWidget(), nullptr);
        EXPECT_EQ(forms().loadedNames(), QStringList{kSplash}) << qPrintable(args);
        EXPECT_EQ(VIDEOSCR::PreviewHostWindow, -1) << "a handle after /C is ignored";
        forms().reset();
    }
    EXPECT_EQ(created[kFloating] + created[kFullScreen] + created[kControl], 0);
}

TEST_F(Dispatch, RunSwitchShowsThePlayersOfTheStoredModes) {
    // A fresh installation runs one-eighth screen: the floating player only.
    VIDEOSCR::Main(QStringLiteral("/s"));
    EXPECT_TRUE(shown(kFloating));
    EXPECT_FALSE(shown(kFullScreen));
    EXPECT_EQ(created[kFullScreen], 0);
    EXPECT_EQ(forms().loadedNames(), QStringList{kFloating});

    // A second start while a player is up opens nothing.
    VIDEOSCR::Main(QStringLiteral("/S"));
    EXPECT_EQ(created[kFloating], 1);
    EXPECT_EQ(shows[kFloating], 1);
    EXPECT_EQ(forms().loadedCount(), 1);
    forms().reset();

    // Full screen named, one-eighth left to its default: both.
    store(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True"));
    VIDEOSCR::Main(QStringLiteral("/S"));
    EXPECT_TRUE(shown(kFloating));
    EXPECT_TRUE(shown(kFullScreen));
    forms().reset();

    // Two modes named at once (a save cut short, a hand edit) play as a fresh installation does,
    // and say so.
    store(Key::OneEighthScreenDisplayMode, QStringLiteral("True"));
    testing::internal::CaptureStderr();
    VIDEOSCR::Main(QStringLiteral("/S"));
    const QString said = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_EQ(said, QStringLiteral("lumora: the settings file names several display modes "
                                   "(AbsoluteFullScreenDisplayMode, OneEighthScreenDisplayMode); playing in the "
                                   "mode of a fresh installation until one is chosen in the configuration "
                                   "(lumora /c)\n"));
    EXPECT_TRUE(shown(kFloating));
    EXPECT_FALSE(shown(kFullScreen));
    forms().reset();

    // Several partial modes still give one floating player, shown once.
    storeAllModes(QStringLiteral("true"));
    store(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("False"));
    const int createdBefore = created[kFloating];
    VIDEOSCR::Main(QStringLiteral("/s"));
    EXPECT_EQ(created[kFloating], createdBefore + 1);
    EXPECT_TRUE(shown(kFloating));
    EXPECT_FALSE(shown(kFullScreen));
    EXPECT_EQ(forms().loadedCount(), 1);
    forms().reset();

    // Full screen alone.
    storeAllModes(QStringLiteral("False"));
    store(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("TRUE"));
    VIDEOSCR::Main(QStringLiteral("/s"));
    EXPECT_FALSE(shown(kFloating));
    EXPECT_TRUE(shown(kFullScreen));
    forms().reset();

    // A hand-edited value means that mode's default.
    storeAllModes(QStringLiteral("False"));
    store(Key::OneEighthScreenDisplayMode, QStringLiteral("maybe"));
    VIDEOSCR::Main(QStringLiteral("/s"));
    EXPECT_TRUE(shown(kFloating));
}

// No mode on plays the floating player as on a fresh installation: every display mode reads as its
// reader's default for the run (the player's own says one-fourth), and the store keeps what it holds.
TEST_F(Dispatch, RunSwitchWithNoModeOnPlaysAsAFreshInstallationAndSaysWhy) {
    storeAllModes(QStringLiteral("False"));
    testing::internal::CaptureStderr();
    VIDEOSCR::Main(QStringLiteral("/s"));
    const QString said = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(said.startsWith(QStringLiteral("lumora: the settings file names no display mode; playing in the "
                                               "mode of a fresh installation")))
        << qPrintable(said);
    EXPECT_EQ(said.count(u'\n'), 1) << qPrintable(said);
    EXPECT_TRUE(shown(kFloating));
    EXPECT_EQ(forms().loadedNames(), QStringList{kFloating});
    using settings::Key;
    EXPECT_TRUE(settings::read(Key::OneFourthScreenDisplayMode, settings::Reader::FloatingPlayer));
    EXPECT_FALSE(settings::read(Key::OneEighthScreenDisplayMode, settings::Reader::FloatingPlayer));
    EXPECT_FALSE(settings::read(Key::AbsoluteFullScreenDisplayMode));
    EXPECT_EQ(platform.memorySettings()->values.value(QStringLiteral("OneFourthScreenDisplayMode")),
              QStringLiteral("False"));
    forms().reset();

    // The next run reads the store itself again: full screen named alone is full screen.
    store(Key::AbsoluteFullScreenDisplayMode, QStringLiteral("True"));
    testing::internal::CaptureStderr();
    VIDEOSCR::Main(QStringLiteral("/s"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string());
    EXPECT_FALSE(shown(kFloating));
    EXPECT_TRUE(shown(kFullScreen));
}

TEST_F(Dispatch, RunSwitchOpensNothingWhenAnotherCopyRunsAndSaysSo) {
    storeAllModes(QStringLiteral("True"));
    platform.foreignWindows << QString::fromLatin1(VIDEOSCR::kMainFormCaption);
    testing::internal::CaptureStderr();
    VIDEOSCR::Main(QStringLiteral("/s"));
    const QString said = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_EQ(forms().loadedCount(), 0);
    EXPECT_EQ(created[kFloating] + created[kFullScreen], 0);
    EXPECT_TRUE(said.startsWith(QStringLiteral("lumora: the screen saver is already running"))) << qPrintable(said);
}

TEST_F(Dispatch, OtherSwitchesDoNothing) {
    storeAllModes(QStringLiteral("True"));
    for (const QString& args : {QStringLiteral("-s"), QStringLiteral("S"), QStringLiteral("s /s"),
                                QStringLiteral("/"), QStringLiteral("/X"), QStringLiteral(" /s"),
                                QStringLiteral("//c"), QString(10000, QLatin1Char('x'))}) {
        VIDEOSCR::Main(args);
        EXPECT_EQ(forms().loadedCount(), 0) << qPrintable(args.left(20));
    }
    EXPECT_EQ(created[kFloating] + created[kFullScreen] + created[kControl], 0);
    EXPECT_TRUE(platform.passwordChanges.isEmpty());
    EXPECT_EQ(VIDEOSCR::PreviewHostWindow, -1);
}

TEST_F(Dispatch, PreviewSwitchReadsTheHostWindowAndLoadsTheHiddenPreviewForm) {
    const QList<QPair<QString, int64_t>> cases{{QStringLiteral("/p 5678"), 5678},
                                               {QStringLiteral("/P 1234"), 1234},
                                               {QStringLiteral("/P"), 0},
                                               {QStringLiteral("/P abc"), 0},
                                               {QStringLiteral("/P 12 34"), 1234},
                                               {QStringLiteral("/p 0x1a00007"), 0x1a00007},
                                               {QStringLiteral("/P\t99x"), 99},
                                               {QStringLiteral("/P 41.5"), 42},
                                               {QStringLiteral("/P 42.5"), 42},
                                               {QStringLiteral("/P") + QString(9998, QLatin1Char('9')), 0}};
    for (const auto& [args, handle] : cases) {
        VIDEOSCR::PreviewHostWindow = -1;
        VIDEOSCR::Main(args);
        EXPECT_EQ(VIDEOSCR::PreviewHostWindow, handle) << qPrintable(args.left(20));
        runtime::Form* control = forms().find(kControl);
        ASSERT_NE(control, nullptr) << qPrintable(args.left(20));
        EXPECT_TRUE(control->isLoaded());
        EXPECT_FALSE(control->isVisible()) << "the preview form loads hidden";
        EXPECT_EQ(forms().loadedNames(), QStringList{kControl});
        forms().reset();
    }
    EXPECT_TRUE(platform.passwordChanges.isEmpty());
}

TEST_F(Dispatch, PasswordSwitchCallsTheChangeServiceWithTheOwnerWindow) {
    VIDEOSCR::Main(QStringLiteral("/A 77"));
    ASSERT_EQ(platform.passwordChanges.size(), 1);
    EXPECT_EQ(platform.passwordChanges[0].first, QStringLiteral("SCRSAVE"));
    EXPECT_EQ(platform.passwordChanges[0].second, 77);
    EXPECT_EQ(VIDEOSCR::PreviewHostWindow, 77);
    EXPECT_EQ(forms().loadedCount(), 0) << "no form: the process ends";

    VIDEOSCR::Main(QStringLiteral("/a"));
    ASSERT_EQ(platform.passwordChanges.size(), 2);
    EXPECT_EQ(platform.passwordChanges[1], qMakePair(QStringLiteral("SCRSAVE"), int64_t(0)));
}

TEST_F(Dispatch, MainRecordsTheScreenSizeAndGoesOnWhenTheStoreFails) {
    const QSize screen = screenSize();
    VIDEOSCR::Main(QStringLiteral("/x"));
    auto& values = platform.memorySettings()->values;
    EXPECT_EQ(values.value(QStringLiteral("WidthOfScreenResolution")), QString::number(screen.width()));
    EXPECT_EQ(values.value(QStringLiteral("HeightOfScreenResolution")), QString::number(screen.height()));
    EXPECT_EQ(VIDEOSCR::TwipsPerPixelX, 15);
    EXPECT_EQ(VIDEOSCR::TwipsPerPixelY, 15);

    values.clear();
    platform.memorySettings()->failWrites = true;
    VIDEOSCR::Main(QStringLiteral("/s"));
    EXPECT_TRUE(shown(kFloating)) << "an unwritable store does not stop the screen saver";
    EXPECT_TRUE(values.isEmpty());
    forms().reset();
    VIDEOSCR::Main(QString());
    EXPECT_TRUE(shown(kSplash));
}

// A settings file over 1 MiB: configuring starts with one message that says why the file is left
// alone and that the defaults are used; the program's own writes (the screen size, the dialog's
// display mode as it loads) neither touch the file nor report a failed save.
TEST_F(Dispatch, ConfigureOnAnOversizedSettingsFileSaysOnceWhyAndLeavesTheFileAlone) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString path = home.filePath(QStringLiteral("lumora.ini"));
    QByteArray big = "[lumora]\nOneFourthScreenDisplayMode=True\nOneEighthScreenDisplayMode=False\n; ";
    big += QByteArray(1100 * 1024, 'x') + '\n';
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(big), big.size());
    }
    platform.useSettingsFile(path);

    VIDEOSCR::Main(QStringLiteral("/c"));
    ASSERT_EQ(platform.messageBoxes.size(), 1);
    EXPECT_EQ(platform.messageBoxes.first().text,
              QStringLiteral("The settings file %1 is larger than 1 MiB, far larger than Lumora's settings ever "
                             "make it, so it is not read.\r\n\r\nLumora leaves the file as it is and uses its "
                             "default settings. Changes cannot be saved until the file is made smaller or moved "
                             "away.")
                  .arg(path));
    EXPECT_EQ(platform.messageBoxes.first().style, 48);
    EXPECT_EQ(platform.messageBoxes.first().title,
              QStringLiteral("Larkspur Software Lumora Video & Multimedia Screensaver"));
    QPointer<frmAbout640x480> s = splash();
    ASSERT_TRUE(s);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s));
    QTest::mouseClick(s->picture, Qt::LeftButton, {}, QPoint(250, 50));
    ASSERT_TRUE(shown(kConfigure));
    // A stretch of time in which a second message would have come.
    QTest::qWait(50);
    EXPECT_EQ(platform.messageBoxes.size(), 1) << qPrintable(platform.messageBoxes.last().text);
    forms().reset();

    // A run of the screen saver says nothing on screen and writes nothing either.
    VIDEOSCR::Main(QStringLiteral("/s"));
    EXPECT_TRUE(shown(kFloating)) << "the defaults' mode";
    EXPECT_EQ(platform.messageBoxes.size(), 1);
    forms().reset();

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll() == big) << "the file was changed";
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("lumora.ini")});
}

TEST_F(Dispatch, SplashShowsTheVersionCentredAndArmsItsTimer) {
    VIDEOSCR::Main(QString());
    frmAbout640x480* s = splash();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->lblVersion->text(), QStringLiteral("Version ") + QString::number(LUMORA_VERSION_MAJOR) +
                                         QLatin1Char('.') + QString::number(LUMORA_VERSION_MINOR) +
                                         QLatin1Char('.') + QString::number(LUMORA_VERSION_PATCH));
    EXPECT_EQ(s->tmrUnloadMe->interval(), 4000);
    EXPECT_TRUE(s->tmrUnloadMe->isActive());
    const QSize screen = screenSize();
    EXPECT_EQ(s->size(), QSize(7590 / 15, 4905 / 15));
    EXPECT_EQ(s->x(), (screen.width() - s->width()) / 2);
    EXPECT_EQ(s->y(), (screen.height() - s->height()) / 2);
    EXPECT_TRUE(s->windowFlags() & Qt::FramelessWindowHint);

    // A splash made but not yet loaded keeps its timer off.
    frmAbout640x480 idle;
    EXPECT_FALSE(idle.tmrUnloadMe->isActive());
}

TEST_F(Dispatch, ClickOnThePictureShrinksTheSplashAndLeadsToTheConfiguration) {
    VIDEOSCR::Main(QStringLiteral("/c:1234"));
    QPointer<frmAbout640x480> s = splash();
    ASSERT_TRUE(s);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s));

    // Labels and other buttons do nothing.
    QTest::mouseClick(s->lblVersion, Qt::LeftButton);
    QTest::mouseClick(s->lblVideo, Qt::LeftButton);
    QTest::mouseClick(s->picture, Qt::RightButton, {}, QPoint(250, 50));
    ASSERT_TRUE(s);
    EXPECT_TRUE(shown(kSplash));
    EXPECT_FALSE(s->isShrinking());
    EXPECT_EQ(forms().find(kConfigure), nullptr);

    // The shrink starts at once: the next pending event already sees it running.
    bool shrinkingSoon = false;
    QTimer::singleShot(0, [&] { shrinkingSoon = s && s->isShrinking(); });
    QTest::mouseClick(s->picture, Qt::LeftButton, {}, QPoint(250, 50));
    EXPECT_TRUE(shrinkingSoon);
    EXPECT_EQ(forms().find(kSplash), nullptr);
    ASSERT_TRUE(shown(kConfigure));
    runtime::Form* configure = forms().find(kConfigure);
    EXPECT_EQ(configure->parentWidget(), nullptr) << "the configuration dialog belongs to no other window";
    EXPECT_FALSE(configure->isModal());
    EXPECT_EQ(forms().loadedNames(), QStringList{kConfigure});
}

TEST_F(Dispatch, TimerTickClosesTheSplashAndLateTicksAndClicksChangeNothing) {
    VIDEOSCR::Main(QString());
    QPointer<frmAbout640x480> s = splash();
    ASSERT_TRUE(s);

    // Ticks and clicks that arrive while the splash shrinks do not start it over or close it twice.
    int lateTicks = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (s && s->isShrinking() && lateTicks < 3) {
            ++lateTicks;
            s->tmrUnloadMe_Timer();
            s->picture_Click();
        }
    });
    ticker.start();
    s->tmrUnloadMe_Timer();
    ticker.stop();

    EXPECT_EQ(lateTicks, 3);
    EXPECT_EQ(forms().find(kSplash), nullptr);
    EXPECT_TRUE(shown(kConfigure));
    EXPECT_EQ(forms().loadedNames(), QStringList{kConfigure});
    int configureWindows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == kConfigure && w->isVisible()) ++configureWindows;
    EXPECT_EQ(configureWindows, 1);
}
