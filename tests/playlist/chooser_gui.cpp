#include <gtest/gtest.h>

#include "platform/Settings.h"
#include "platform/linux/LinuxPlatform.h"
#include "playlist/frmChooseOrSearch.h"
#include "runtime/Controls.h"
#include "runtime/FormRegistry.h"
#include "support/RecordingForm.h"
#include "support/SettingKeys.h"
#include "support/TestFiles.h"
#include "support/inprocess/InProcessPlatform.h"
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using settings::Key;
using testsupport::keyName;

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

const QString kChooser = QStringLiteral("frmChooseOrSearch");

class ChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_platform.install();
        m_settingsFile = m_platform.programDriveRootValue + QStringLiteral("/config/larkspur/lumora.ini");
        m_platform.useSettingsFile(m_settingsFile);
        runtime::forms().registerForm(kChooser, [] { return new frmChooseOrSearch; });
    }
    void TearDown() override {
        runtime::forms().reset();
        for (const char* name : {"frmSingleFileSearch", "frmConfigure"})
            runtime::forms().unregisterForm(QString::fromLatin1(name));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    frmChooseOrSearch* open() {
        auto* f = runtime::forms().get<frmChooseOrSearch>(kChooser);
        if (f) f->Show();
        QCoreApplication::processEvents();
        return f;
    }
    bool closed() { return testsupport::formClosed(kChooser); }
    QString setting(const char* key) {
        return GetSetting(QString::fromLatin1(key), QStringLiteral("<none>"));
    }
    QByteArray settingsBytes() const {
        QFile f(m_settingsFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    platform::InProcessPlatform m_platform;
    QString m_settingsFile;
};

TEST_F(ChooserTest, TheDialogOffersFourteenTypesWithTodaysFormatsAmongTheCompatibleOnes) {
    const QList<platform::FileFilter> filters = frmChooseOrSearch::fileFilters();
    ASSERT_EQ(filters.size(), 14);
    const QString compatible =
        QStringLiteral("*.mpg;*.mpv;*.mpeg;*.avi;*.vid;*.mpe;*.wmv;*.asf;*.wma;*.mp3;*.wav;"
                       "*.mp4;*.m4v;*.mkv;*.webm;*.mov;*.ogv;*.ts;*.m2ts;*.flac;*.ogg;*.opus;*.m4a;*.aac");
    EXPECT_EQ(filters[0].description,
              QStringLiteral("All Compatible Multimedia File Types (") + compatible + u')');
    EXPECT_EQ(filters[0].patterns, compatible);
    const QStringList rest = {
        "MPG Videos (*.mpg)|*.mpg",    "MPV Videos (*.mpv)|*.mpv", "AVI Videos (*.avi)|*.avi",
        "MPEG Videos (*.mpeg)|*.mpeg", "VID Videos (*.vid)|*.vid", "MPE Videos (*.mpe)|*.mpe",
        "WMV Videos (*.wmv)|*.wmv",    "ASF Videos (*.asf)|*.asf", "WMA Audios (*.wma)|*.wma",
        "MP2 Audios (*.mp3)|*.mp3",    "MP2 Audios (*.mp3)|*.mp3", "WAV Audios (*.wav)|*.wav",
        "All Files (*.*)|*.*"};
    for (int i = 1; i < filters.size(); ++i)
        EXPECT_EQ(filters[i].description + u'|' + filters[i].patterns, rest[i - 1]) << i;
}

TEST_F(ChooserTest, CancellingTheDialogChangesNothingAndKeepsTheChooser) {
    settings::save(Key::VideoFile, QStringLiteral("/films/kept.mpg"));
    const QByteArray before = settingsBytes();
    frmChooseOrSearch* f = open();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Label1->text(),
              QStringLiteral("Choose the single multimedia file selection method that you prefer below.."));
    EXPECT_EQ(f->cmdChooseFromDialogMethod->text(),
              QStringLiteral("&Click here to \"drill to\" and choose your media file from a dialog window."));
    f->cmdChooseFromDialogMethod->click();
    ASSERT_EQ(m_platform.openFileCalls.size(), 1);
    const auto& call = m_platform.openFileCalls[0];
    EXPECT_EQ(call.filterIndex, 0);
    EXPECT_EQ(call.filters.size(), 14);
    // Nothing stored yet: the home folder.
    EXPECT_EQ(call.initialFolder, m_platform.homeFolderValue);
    EXPECT_EQ(settingsBytes(), before);
    QCoreApplication::processEvents();
    EXPECT_EQ(runtime::forms().find(kChooser), f);
    EXPECT_TRUE(f->isVisible());
    // An empty answer is a cancel too.
    m_platform.openFileAnswers.enqueue(QString());
    f->cmdChooseFromDialogMethod->click();
    EXPECT_EQ(settingsBytes(), before);
    EXPECT_EQ(runtime::forms().find(kChooser), f);
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
}

TEST_F(ChooserTest, AChosenFileIsStoredWithItsFolderAndTheNextDialogStartsThere) {
    const QString folder = m_platform.programDriveRootValue + QStringLiteral("/media/my films");
    ASSERT_TRUE(QDir().mkpath(folder));
    m_platform.openFileAnswers.enqueue(folder + QStringLiteral("/Holiday.MKV"));
    frmChooseOrSearch* f = open();
    f->cmdChooseFromDialogMethod->click();
    EXPECT_EQ(setting("VideoFile"), folder + QStringLiteral("/Holiday.MKV"));
    EXPECT_EQ(setting("PathToLastDirectory"), folder);
    EXPECT_EQ(setting("PathToLastDirectoryFormDrag"), folder);
    EXPECT_TRUE(closed());

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    f = open();
    f->cmdChooseFromDialogMethod->click();
    ASSERT_EQ(m_platform.openFileCalls.size(), 2);
    EXPECT_EQ(m_platform.openFileCalls[1].initialFolder, folder);
    EXPECT_EQ(runtime::forms().find(kChooser), f);
}

TEST_F(ChooserTest, AStoreThatCannotBeWrittenIsReportedAndTheChooserStays) {
    const QString blocker = m_platform.programDriveRootValue + QStringLiteral("/plain file");
    QFile plain(blocker);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    m_platform.useSettingsFile(blocker + QStringLiteral("/larkspur/lumora.ini"));
    m_platform.openFileAnswers.enqueue(QStringLiteral("/films/a.mpg"));
    frmChooseOrSearch* f = open();
    f->cmdChooseFromDialogMethod->click();
    ASSERT_EQ(m_platform.messageBoxes.size(), 1);
    EXPECT_EQ(m_platform.messageBoxes[0].style, 48);
    EXPECT_TRUE(
        m_platform.messageBoxes[0].text.startsWith(QStringLiteral("The settings could not be saved.")));
    QCoreApplication::processEvents();
    EXPECT_EQ(runtime::forms().find(kChooser), f);
    EXPECT_TRUE(f->isVisible());
}

// Stands in for the single-file search: notes its owner and how it was shown, then closes.
class FakeSingleSearch : public testsupport::RecordingForm<FakeSingleSearch> {
public:
    FakeSingleSearch() : RecordingForm(QStringLiteral("frmSingleFileSearch")) {}

protected:
    void shown() override {
        settings::save(Key::VideoFile, QStringLiteral("/found/one.avi"));
        CloseWithShrink();
    }
};

TEST_F(ChooserTest, TheSearchOpensOwnedByTheConfigurationDialogAndClosesTheChooserWithIt) {
    frmChooseOrSearch* f = open();
    f->cmdChooseFileSearchMethod->click(); // no search registered: nothing opens, the chooser stays
    QCoreApplication::processEvents();
    EXPECT_EQ(runtime::forms().find(kChooser), f);

    runtime::forms().registerForm(QStringLiteral("frmConfigure"),
                                  [] { return new runtime::Form(QStringLiteral("frmConfigure")); });
    runtime::Form* configure = runtime::forms().show(QStringLiteral("frmConfigure"));
    runtime::forms().registerForm(QStringLiteral("frmSingleFileSearch"), [] { return new FakeSingleSearch; });
    FakeSingleSearch::owners.clear();
    FakeSingleSearch::modal.clear();
    f->cmdChooseFileSearchMethod->click();
    EXPECT_TRUE(closed());
    ASSERT_EQ(FakeSingleSearch::owners.size(), 1);
    EXPECT_EQ(FakeSingleSearch::owners[0].data(), configure);
    EXPECT_EQ(FakeSingleSearch::modal, QList<bool>{true});
    EXPECT_EQ(setting("VideoFile"), QStringLiteral("/found/one.avi"));
    EXPECT_TRUE(m_platform.openFileCalls.isEmpty());
}

TEST_F(ChooserTest, CancelTheCloseBoxAndTheWindowSystemAllShrinkItAway) {
    const QByteArray before = settingsBytes();
    frmChooseOrSearch* f = open();
    const int height = f->height();
    int smallest = height;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (runtime::forms().find(kChooser) == f) smallest = std::min(smallest, f->height());
    });
    watch.start(0);
    f->cmdCancel->click();
    EXPECT_TRUE(closed());
    EXPECT_LT(smallest, height / 2) << "it shrank away";

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    f = open();
    EXPECT_EQ(f->Label2->text(), QStringLiteral("X "));
    EXPECT_EQ(f->Label2->toolTip(), QStringLiteral("Cancel/Close"));
    QTest::mouseClick(f->Label2, Qt::LeftButton);
    EXPECT_TRUE(closed());

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    f = open();
    EXPECT_TRUE(f->close());
    EXPECT_EQ(runtime::forms().find(kChooser), nullptr);

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    f = open();
    QTest::keyClick(f, Qt::Key_Escape);
    EXPECT_TRUE(closed());
    EXPECT_EQ(settingsBytes(), before);
    EXPECT_TRUE(m_platform.messageBoxes.isEmpty());
}

TEST_F(ChooserTest, TheWindowIsCentredAndShowsItsCaptionsWhole) {
    frmChooseOrSearch* f = open();
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Choose or Search for a Media File"));
    for (QPushButton* b : {f->cmdChooseFromDialogMethod, f->cmdChooseFileSearchMethod, f->cmdCancel})
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
    EXPECT_LE(f->width(), 640);
    EXPECT_LE(f->height(), 512);
}

// The desktop's file dialog: the descriptions read exactly as given, and the patterns still choose.
TEST_F(ChooserTest, TheDesktopDialogShowsTheDescriptionsAsGivenAndAnswersWithTheFullPath) {
    const QString folder = m_platform.programDriveRootValue + QStringLiteral("/media");
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const char* name : {"Green.MKV", "notes.txt"}) {
        QFile f(folder + u'/' + QString::fromLatin1(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QStringList shown, filters;
    QString directory;
    bool onTop = true;
    bool modal = false;
    auto answer = [&](const QString& name) {
        QTimer::singleShot(50, [&, name] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* d = qobject_cast<QFileDialog*>(w);
                if (!d || !d->isVisible()) continue;
                auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                shown.clear();
                for (int i = 0; types && i < types->count(); ++i)
                    shown << types->itemText(i);
                filters = d->nameFilters();
                directory = d->directory().absolutePath();
                onTop = d->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
                modal = d->isModal();
                if (name.isEmpty()) {
                    d->reject();
                } else {
                    d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
                    static_cast<QDialog*>(d)->accept();
                }
            }
        });
    };
    platform::WidgetDialogs dialogs;
    const QList<platform::FileFilter> all = frmChooseOrSearch::fileFilters();
    answer(QStringLiteral("Green.MKV"));
    EXPECT_EQ(dialogs.openFile(QStringLiteral("Open"), all, 0, folder),
              folder + QStringLiteral("/Green.MKV"));
    ASSERT_EQ(shown.size(), 14);
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(shown[i], all[i].description) << i;
    EXPECT_TRUE(
        filters[0].endsWith(QStringLiteral(" (*.mpg *.mpv *.mpeg *.avi *.vid *.mpe *.wmv *.asf *.wma *.mp3 "
                                           "*.wav *.mp4 *.m4v *.mkv *.webm *.mov *.ogv *.ts *.m2ts *.flac "
                                           "*.ogg *.opus *.m4a *.aac)")))
        << filters[0].toStdString();
    EXPECT_EQ(directory, folder);
    // Modal to the program, but not above other programs.
    EXPECT_FALSE(onTop);
    EXPECT_TRUE(modal);

    answer(QString());
    EXPECT_EQ(dialogs.openFile(QStringLiteral("Open"), all, 0, folder), std::nullopt);
    EXPECT_EQ(shown.size(), 14);
}

} // namespace
