#include "config/HelpTexts.h"
#include "config/frmConfigure.h"
#include "playlist/frmFileLister.h"
#include "runtime/FormRegistry.h"
#include "support/SettingKeys.h"
#include "support/inprocess/InProcessPlatform.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include "support/Waits.h"

using settings::Key;

void registerProgramForms();

using runtime::forms;

namespace {

const QString kTitle = QStringLiteral("Larkspur Software Lumora Video & Multimedia Screensaver");

// The dialog's controls, found by their names as they are set on the window.
template <class W> W* ctl(const QObject* form, const char* name) {
    W* control = form->findChild<W*>(QLatin1String(name));
    if (!control) ADD_FAILURE() << "no control named " << name;
    return control;
}

class Configure : public ::testing::Test {
protected:
    void SetUp() override {
        platform.install();
        registerProgramForms();
    }
    void TearDown() override {
        forms().reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::install(platform::Platform{});
    }

    frmConfigure* open() {
        auto* f = forms().load<frmConfigure>(QStringLiteral("frmConfigure"));
        f->Show();
        f->activateWindow();
        QApplication::setActiveWindow(f);
        QCoreApplication::processEvents();
        return f;
    }
    QString stored(const QString& key) {
        return platform.memorySettings()->values.value(key, QStringLiteral("<none>"));
    }
    void store(settings::KeyRef key, const QString& value) {
        platform.memorySettings()->values[settings::nameOf(key)] = value;
    }
    // Waits for the closing animation to unload the dialog.
    bool closes(QPointer<frmConfigure> f) {
        return QTest::qWaitFor([&] { return !f || !f->isLoaded(); }, 2000);
    }
    void rightClick(QWidget* w) {
        QTest::mouseClick(w, Qt::RightButton, {}, QPoint(3, w->height() / 2));
        QCoreApplication::processEvents();
    }
    void leftClick(QWidget* w) {
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
        QCoreApplication::processEvents();
    }
    int messages() const { return platform.messageBoxes.size(); }

    platform::InProcessPlatform platform;
};

TEST_F(Configure, FirstStartShowsOneEighthFloatingSingleFileWithTheGradientOff) {
    frmConfigure* f = open();
    EXPECT_TRUE(ctl<runtime::OptionButton>(f, "optOneEighth")->isChecked());
    for (auto* o : {ctl<runtime::OptionButton>(f, "optAbsoluteFullScreenVideo"), ctl<runtime::OptionButton>(f, "optThreeQuartersScreen"), ctl<runtime::OptionButton>(f, "optOneHalf"), ctl<runtime::OptionButton>(f, "optOneFourth"),
                    ctl<runtime::OptionButton>(f, "optOneSixteenth"), ctl<runtime::OptionButton>(f, "optMultipleFiles")})
        EXPECT_FALSE(o->isChecked()) << o->objectName().toStdString();
    EXPECT_TRUE(ctl<runtime::OptionButton>(f, "optSingleFile")->isChecked());
    EXPECT_TRUE(ctl<QCheckBox>(f, "chkFloatingMovie")->isChecked());
    EXPECT_EQ(ctl<QCheckBox>(f, "chkFloatingMovie")->text(), QStringLiteral("Media will float while playing."));
    EXPECT_FALSE(ctl<QCheckBox>(f, "chkGradOn")->isChecked());
    EXPECT_EQ(ctl<QCheckBox>(f, "chkGradOn")->text(), QStringLiteral("Gradient background is OFF"));
    for (QWidget* w : std::initializer_list<QWidget*>{
             ctl<QScrollBar>(f, "hscRed"), ctl<QScrollBar>(f, "hscGreen"), ctl<QScrollBar>(f, "hscBlue"), ctl<QScrollBar>(f, "HScroll1"), ctl<QLineEdit>(f, "txtRed"), ctl<QLineEdit>(f, "txtGreen"), ctl<QLineEdit>(f, "txtBlue"),
             ctl<QLineEdit>(f, "txtFireGradient"), ctl<runtime::ClickLabel>(f, "Label13"), ctl<QLabel>(f, "Label1"), ctl<runtime::ClickLabel>(f, "Label6"), ctl<runtime::ClickLabel>(f, "Label8"), ctl<runtime::ClickLabel>(f, "Label9"), ctl<QCheckBox>(f, "chkTrails")})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_EQ(ctl<QScrollBar>(f, "hscMovingFrameSpeed")->value(), 50);
    EXPECT_FALSE(ctl<QScrollBar>(f, "hscMovingFrameSpeed")->isHidden());
    EXPECT_EQ(ctl<QLineEdit>(f, "txtRed")->text(), QStringLiteral("255"));
    EXPECT_EQ(ctl<QLineEdit>(f, "txtGreen")->text(), QStringLiteral("255"));
    EXPECT_EQ(ctl<QLineEdit>(f, "txtBlue")->text(), QStringLiteral("255"));
    EXPECT_EQ(ctl<QLineEdit>(f, "txtFireGradient")->text(), QStringLiteral("6"));
    EXPECT_TRUE(ctl<QPushButton>(f, "cmdChooseVideo")->isEnabled());
    EXPECT_TRUE(ctl<QPushButton>(f, "cmdChooseMultiples")->isHidden());
    // Loading selected the stored mode, and its handler wrote the gradient switch at once.
    EXPECT_EQ(stored(QStringLiteral("GradOn")), QStringLiteral("0"));
    EXPECT_EQ(messages(), 0);
    // Centred in twips: (screen - form) rounded, halved with truncation.
    EXPECT_NEAR(f->x() * 2 + f->width(), f->screen()->geometry().width(), 2);
}

TEST_F(Configure, DisplayModesOfferOnlyMeaningfulChoices) {
    store(Key::GradOn, QStringLiteral("1"));
    store(Key::OneFourthScreenDisplayMode, QStringLiteral("True"));
    store(Key::OneEighthScreenDisplayMode, QStringLiteral("False"));
    frmConfigure* f = open();
    // Partial mode, floating, gradient on: trails offered.
    EXPECT_TRUE(ctl<QCheckBox>(f, "chkGradOn")->isChecked());
    EXPECT_FALSE(ctl<QCheckBox>(f, "chkTrails")->isHidden());
    EXPECT_FALSE(ctl<QScrollBar>(f, "hscMovingFrameSpeed")->isHidden());
    EXPECT_FALSE(ctl<runtime::ClickLabel>(f, "Label2")->isHidden());
    EXPECT_FALSE(ctl<QScrollBar>(f, "hscRed")->isHidden());
    EXPECT_FALSE(ctl<QLineEdit>(f, "txtRed")->isEnabled()) << "a display-mode click leaves the colour boxes disabled";
    EXPECT_EQ(ctl<QScrollBar>(f, "hscRed")->value(), 255);
    EXPECT_EQ(ctl<QScrollBar>(f, "HScroll1")->value(), 6000);

    // Full screen: nothing about floating, trails or the gradient; "GradOn" written at once.
    ctl<runtime::OptionButton>(f, "optAbsoluteFullScreenVideo")->click();
    EXPECT_EQ(stored(QStringLiteral("GradOn")), QStringLiteral("0"));
    EXPECT_FALSE(ctl<QCheckBox>(f, "chkGradOn")->isChecked());
    EXPECT_FALSE(ctl<QCheckBox>(f, "chkGradOn")->isEnabled());
    for (QWidget* w :
         std::initializer_list<QWidget*>{ctl<QCheckBox>(f, "chkFloatingMovie"), ctl<QScrollBar>(f, "hscMovingFrameSpeed"), ctl<runtime::ClickLabel>(f, "Label2"), ctl<QCheckBox>(f, "chkTrails"),
                                         ctl<QScrollBar>(f, "hscRed"), ctl<QScrollBar>(f, "HScroll1"), ctl<QLineEdit>(f, "txtFireGradient")})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    // Hovering over the gradient box in full screen keeps it off.
    ctl<QCheckBox>(f, "chkGradOn")->setEnabled(true);
    ctl<QCheckBox>(f, "chkGradOn")->setChecked(true);
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(ctl<QCheckBox>(f, "chkGradOn"), &enter);
    EXPECT_FALSE(ctl<QCheckBox>(f, "chkGradOn")->isChecked());
    ctl<QCheckBox>(f, "chkGradOn")->setEnabled(false);

    // Back to a partial mode: the gradient stays off but may be switched on; floating is offered.
    ctl<runtime::OptionButton>(f, "optOneHalf")->click();
    EXPECT_TRUE(ctl<QCheckBox>(f, "chkGradOn")->isEnabled());
    EXPECT_FALSE(ctl<QCheckBox>(f, "chkGradOn")->isChecked());
    EXPECT_FALSE(ctl<QCheckBox>(f, "chkFloatingMovie")->isHidden());
    EXPECT_TRUE(ctl<QCheckBox>(f, "chkTrails")->isHidden()) << "no trails without the gradient";
    EXPECT_EQ(stored(QStringLiteral("GradOn")), QStringLiteral("0"));

    // Gradient on, then stationary: trails and speed go, trails unchecked.
    ctl<QCheckBox>(f, "chkGradOn")->setChecked(true);
    EXPECT_EQ(ctl<QCheckBox>(f, "chkGradOn")->text(), QStringLiteral("Gradient Background Is ON"));
    ctl<QCheckBox>(f, "chkTrails")->setChecked(true);
    EXPECT_EQ(ctl<QCheckBox>(f, "chkTrails")->text(), QStringLiteral("Picture trails are ON"));
    ctl<QCheckBox>(f, "chkFloatingMovie")->setChecked(false);
    EXPECT_EQ(ctl<QCheckBox>(f, "chkFloatingMovie")->text(),
              QStringLiteral("Stationary Media. Will restart at random position."));
    EXPECT_FALSE(ctl<QCheckBox>(f, "chkTrails")->isChecked());
    EXPECT_EQ(ctl<QCheckBox>(f, "chkTrails")->text(), QStringLiteral("Picture trails are OFF"));
    EXPECT_TRUE(ctl<QCheckBox>(f, "chkTrails")->isHidden());
    EXPECT_TRUE(ctl<QScrollBar>(f, "hscMovingFrameSpeed")->isHidden());
    EXPECT_TRUE(ctl<runtime::ClickLabel>(f, "Label2")->isHidden());
    EXPECT_TRUE(ctl<QCheckBox>(f, "chkGradOn")->isChecked()) << "a stationary player may still have a gradient";
    // Floating again: trails offered again but not re-checked.
    ctl<QCheckBox>(f, "chkFloatingMovie")->setChecked(true);
    EXPECT_FALSE(ctl<QCheckBox>(f, "chkTrails")->isHidden());
    EXPECT_FALSE(ctl<QCheckBox>(f, "chkTrails")->isChecked());

    // Floating with the gradient off: trails stay hidden.
    ctl<QCheckBox>(f, "chkGradOn")->setChecked(false);
    ctl<QCheckBox>(f, "chkFloatingMovie")->setChecked(false);
    ctl<QCheckBox>(f, "chkFloatingMovie")->setChecked(true);
    EXPECT_TRUE(ctl<QCheckBox>(f, "chkTrails")->isHidden());

    // One-eighth and stationary: the gradient cannot be switched on.
    ctl<runtime::OptionButton>(f, "optOneEighth")->click();
    ctl<QCheckBox>(f, "chkFloatingMovie")->setChecked(false);
    ctl<QCheckBox>(f, "chkGradOn")->setChecked(true);
    EXPECT_FALSE(ctl<QCheckBox>(f, "chkGradOn")->isChecked());
    EXPECT_TRUE(ctl<QScrollBar>(f, "hscRed")->isHidden());
    EXPECT_EQ(ctl<QCheckBox>(f, "chkGradOn")->text(), QStringLiteral("Gradient Background Is OFF"));

    // The media source decides which button is offered.
    ctl<runtime::OptionButton>(f, "optMultipleFiles")->click();
    EXPECT_FALSE(ctl<QPushButton>(f, "cmdChooseMultiples")->isHidden());
    EXPECT_TRUE(ctl<QPushButton>(f, "cmdChooseVideo")->isHidden());
    EXPECT_FALSE(ctl<QPushButton>(f, "cmdChooseVideo")->isEnabled());
    ctl<runtime::OptionButton>(f, "optSingleFile")->click();
    EXPECT_TRUE(ctl<QPushButton>(f, "cmdChooseMultiples")->isHidden());
    EXPECT_TRUE(ctl<QPushButton>(f, "cmdChooseVideo")->isEnabled());
    // A selected option stays selected when clicked again.
    ctl<runtime::OptionButton>(f, "optSingleFile")->click();
    EXPECT_TRUE(ctl<runtime::OptionButton>(f, "optSingleFile")->isChecked());
}

TEST_F(Configure, OkWithAnEmptyPlayListFallsBackToTheSingleFileAndASecondOkCloses) {
    QPointer<frmConfigure> f = open();
    ctl<runtime::OptionButton>(f, "optMultipleFiles")->click();
    ctl<runtime::OptionButton>(f, "optOneFourth")->click();
    ctl<QScrollBar>(f, "hscMovingFrameSpeed")->setValue(120);
    ctl<QPushButton>(f, "Command1")->click();
    ASSERT_EQ(messages(), 1);
    EXPECT_TRUE(platform.messageBoxes[0].text.startsWith(
        QStringLiteral("It appears that no files were selected from the Playlist Configuration screen.  ")));
    EXPECT_TRUE(platform.messageBoxes[0].text.endsWith(QStringLiteral("single media repeat play mode.")));
    EXPECT_EQ(platform.messageBoxes[0].style, 64);
    EXPECT_EQ(platform.messageBoxes[0].title, kTitle);
    EXPECT_TRUE(f->isLoaded());
    EXPECT_TRUE(ctl<runtime::OptionButton>(f, "optSingleFile")->isChecked());
    EXPECT_TRUE(ctl<QPushButton>(f, "cmdChooseVideo")->isEnabled());
    // Everything was written before the message, the play-list choice included.
    EXPECT_EQ(stored(QStringLiteral("PlayMultipleFiles")), QStringLiteral("True"));
    EXPECT_EQ(stored(QStringLiteral("PlaySingleFile")), QStringLiteral("False"));
    EXPECT_EQ(stored(QStringLiteral("OneFourthScreenDisplayMode")), QStringLiteral("True"));
    EXPECT_EQ(stored(QStringLiteral("OneEighthScreenDisplayMode")), QStringLiteral("False"));
    EXPECT_EQ(stored(QStringLiteral("MovingMovieSpeed")), QStringLiteral("120"));
    EXPECT_EQ(f->playListCount(), 0);

    ctl<QPushButton>(f, "Command1")->click();
    EXPECT_EQ(messages(), 1);
    EXPECT_EQ(stored(QStringLiteral("PlayMultipleFiles")), QStringLiteral("False"));
    EXPECT_EQ(stored(QStringLiteral("PlaySingleFile")), QStringLiteral("True"));
    EXPECT_TRUE(closes(f));
    EXPECT_EQ(forms().find(QStringLiteral("frmFileLister")), nullptr) << "the play-list editor goes with it";
}

TEST_F(Configure, OkWithAPlayListSavesEverySettingInItsStoredForm) {
    QFile list(platform.programFolderValue + QStringLiteral("/lumoraplus.ini"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("1000\r\n 1 \r\n/media/a.mpg\r\n");
    list.close();
    store(Key::GradOn, QStringLiteral("1"));
    store(Key::FireGradInterval, QStringLiteral("12000"));
    QPointer<frmConfigure> f = open();
    ctl<runtime::OptionButton>(f, "optThreeQuartersScreen")->click();
    ctl<runtime::OptionButton>(f, "optMultipleFiles")->click();
    ctl<QCheckBox>(f, "chkTrails")->setChecked(false);
    ctl<QScrollBar>(f, "hscGreen")->setValue(100);
    EXPECT_EQ(ctl<QLineEdit>(f, "txtGreen")->text(), QStringLiteral("100"));
    // Typing into an enabled box leaves the bar alone; the text is what is saved.
    ctl<QLineEdit>(f, "txtGreen")->setEnabled(true);
    ctl<QLineEdit>(f, "txtGreen")->setFocus();
    ctl<QLineEdit>(f, "txtGreen")->selectAll();
    QTest::keyClicks(ctl<QLineEdit>(f, "txtGreen"), QStringLiteral("99"));
    EXPECT_EQ(ctl<QScrollBar>(f, "hscGreen")->value(), 100);
    EXPECT_EQ(ctl<QLineEdit>(f, "txtFireGradient")->text(), QStringLiteral("12"));
    const int savesBefore = platform.memorySettings()->saves;
    ctl<QPushButton>(f, "Command1")->click();
    EXPECT_EQ(platform.memorySettings()->saves, savesBefore + 1) << "the sixteen values are not one save";
    EXPECT_EQ(messages(), 0);
    EXPECT_EQ(f->playListCount(), 1);
    EXPECT_TRUE(closes(f));
    const QList<std::pair<const char*, const char*>> expected = {{"GradOn", "1"},
                                                                 {"Red_Level", "255"},
                                                                 {"Green_Level", "99"},
                                                                 {"Blue_Level", "255"},
                                                                 {"FireGradInterval", "12000"},
                                                                 {"ThreeQuartersScreenMode", "True"},
                                                                 {"AbsoluteFullScreenDisplayMode", "False"},
                                                                 {"OneHalfScreenDisplayMode", "False"},
                                                                 {"OneFourthScreenDisplayMode", "False"},
                                                                 {"OneSixteenthScreenDisplayMode", "False"},
                                                                 {"OneEighthScreenDisplayMode", "False"},
                                                                 {"MovieWillFloat", "1"},
                                                                 {"MovingMovieSpeed", "50"},
                                                                 {"PictureTrails", "0"},
                                                                 {"PlaySingleFile", "False"},
                                                                 {"PlayMultipleFiles", "True"}};
    for (const auto& [key, value] : expected)
        EXPECT_EQ(stored(QString::fromLatin1(key)), QString::fromLatin1(value)) << key;
}

TEST_F(Configure, CancelKeepsOnlyTheImmediateWrites) {
    store(Key::GradOn, QStringLiteral("1"));
    store(Key::OneHalfScreenDisplayMode, QStringLiteral("True"));
    store(Key::OneEighthScreenDisplayMode, QStringLiteral("False"));
    QPointer<frmConfigure> f = open();
    EXPECT_EQ(stored(QStringLiteral("GradOn")), QStringLiteral("1"));
    ctl<runtime::OptionButton>(f, "optAbsoluteFullScreenVideo")->click();
    ctl<QScrollBar>(f, "hscMovingFrameSpeed")->setValue(700);
    ctl<QPushButton>(f, "Command3")->click();
    EXPECT_TRUE(closes(f));
    EXPECT_EQ(stored(QStringLiteral("GradOn")), QStringLiteral("0"));
    EXPECT_EQ(stored(QStringLiteral("MovingMovieSpeed")), QStringLiteral("<none>"));
    EXPECT_EQ(stored(QStringLiteral("AbsoluteFullScreenDisplayMode")), QStringLiteral("<none>"));

    // The close box and the menu item cancel the same way.
    f = open();
    ctl<QScrollBar>(f, "hscMovingFrameSpeed")->setValue(300);
    leftClick(ctl<runtime::ClickLabel>(f, "Label3"));
    EXPECT_TRUE(closes(f));
    f = open();
    ctl<QAction>(f, "mnuExitWithoutSavingChanges")->trigger();
    EXPECT_TRUE(closes(f));
    EXPECT_EQ(stored(QStringLiteral("MovingMovieSpeed")), QStringLiteral("<none>"));
    f = open();
    ctl<QScrollBar>(f, "hscMovingFrameSpeed")->setValue(300);
    ctl<QAction>(f, "mnuExitAndSaveChanges")->trigger();
    EXPECT_TRUE(closes(f));
    EXPECT_EQ(stored(QStringLiteral("MovingMovieSpeed")), QStringLiteral("300"));
}

TEST_F(Configure, RestoreDefaultsWritesAtOnceAndLeavesTheIntervalBarWhereItWas) {
    store(Key::FireGradInterval, QStringLiteral("9000"));
    store(Key::VideoFile, QStringLiteral("/media/clip.mpg"));
    store(Key::MovingMovieSpeed, QStringLiteral("77"));
    store(Key::OneHalfScreenDisplayMode, QStringLiteral("True"));
    store(Key::OneEighthScreenDisplayMode, QStringLiteral("False"));
    QPointer<frmConfigure> f = open();
    ctl<QPushButton>(f, "cmdRestoreDefaults")->click();
    EXPECT_EQ(stored(QStringLiteral("Red_Level")), QStringLiteral("255"));
    EXPECT_EQ(stored(QStringLiteral("Green_Level")), QStringLiteral("100"));
    EXPECT_EQ(stored(QStringLiteral("Blue_Level")), QStringLiteral("255"));
    EXPECT_EQ(stored(QStringLiteral("FireGradInterval")), QStringLiteral("6000"));
    EXPECT_EQ(stored(QStringLiteral("VideoFile")), QString());
    EXPECT_EQ(stored(QStringLiteral("MovingMovieSpeed")), QStringLiteral("77"));
    EXPECT_TRUE(ctl<runtime::OptionButton>(f, "optOneEighth")->isChecked());
    EXPECT_TRUE(ctl<QCheckBox>(f, "chkGradOn")->isChecked());
    EXPECT_EQ(ctl<QLineEdit>(f, "txtGreen")->text(), QStringLiteral("100"));
    EXPECT_EQ(ctl<QLineEdit>(f, "txtFireGradient")->text(), QStringLiteral("6000"));
    EXPECT_EQ(f->fireGradientWidthTwips(), 200);
    EXPECT_GE(ctl<QLineEdit>(f, "txtFireGradient")->width(),
              ctl<QLineEdit>(f, "txtFireGradient")->fontMetrics().horizontalAdvance(QStringLiteral("6000")));
    EXPECT_EQ(ctl<QScrollBar>(f, "HScroll1")->value(), 9000);
    ctl<QPushButton>(f, "Command3")->click();
    EXPECT_TRUE(closes(f));
    EXPECT_EQ(stored(QStringLiteral("FireGradInterval")), QStringLiteral("6000"));

    store(Key::OneHalfScreenDisplayMode, QStringLiteral("False"));
    store(Key::OneEighthScreenDisplayMode, QStringLiteral("True"));
    f = open();
    EXPECT_TRUE(ctl<runtime::OptionButton>(f, "optOneEighth")->isChecked());
    store(Key::GradOn, QStringLiteral("0"));
    ctl<QScrollBar>(f, "HScroll1")->setValue(9000);
    ctl<QPushButton>(f, "cmdRestoreDefaults")->click();
    EXPECT_EQ(stored(QStringLiteral("GradOn")), QStringLiteral("1"));
    ctl<QPushButton>(f, "Command1")->click();
    EXPECT_TRUE(closes(f));
    EXPECT_EQ(stored(QStringLiteral("FireGradInterval")), QStringLiteral("9000"));
    EXPECT_EQ(stored(QStringLiteral("Green_Level")), QStringLiteral("100"));
    EXPECT_EQ(stored(QStringLiteral("OneEighthScreenDisplayMode")), QStringLiteral("True"));
}

TEST_F(Configure, TheWindowKeepsItsWidthAndPlaceWhateverItShows) {
    const int width = open()->width();
    forms().reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    auto centred = [](frmConfigure* f) { return qAbs(f->x() * 2 + f->width() - f->screen()->geometry().width()) <= 2; };

    // Hand-edited intervals are neither shown nor measured as written.
    for (const QString& interval : {QStringLiteral("6000 ; six seconds between changes"), QString(3000, u'9'),
                                    QStringLiteral("6523")}) {
        store(Key::FireGradInterval, interval);
        for (const char* gradOn : {"0", "1"}) {
            store(Key::GradOn, QString::fromLatin1(gradOn));
            store(Key::OneHalfScreenDisplayMode, QStringLiteral("True"));
            store(Key::OneEighthScreenDisplayMode, QStringLiteral("False"));
            frmConfigure* f = open();
            EXPECT_EQ(f->width(), width) << interval.left(40).toStdString() << " gradient " << gradOn;
            EXPECT_LE(ctl<QLineEdit>(f, "txtFireGradient")->text().size(), 5);
            forms().reset();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    platform.memorySettings()->values.clear();

    // Captions that change, boxes that widen: the frames stay where they are.
    frmConfigure* f = open();
    const QRect gradientFrame = ctl<QGroupBox>(f, "Frame3")->geometry();
    ctl<QCheckBox>(f, "chkFloatingMovie")->click();
    EXPECT_EQ(ctl<QCheckBox>(f, "chkFloatingMovie")->text(), QStringLiteral("Stationary Media. Will restart at random position."));
    QCoreApplication::processEvents();
    EXPECT_EQ(ctl<QGroupBox>(f, "Frame3")->geometry(), gradientFrame);
    ctl<QCheckBox>(f, "chkFloatingMovie")->click();
    ctl<QPushButton>(f, "cmdRestoreDefaults")->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(ctl<QLineEdit>(f, "txtFireGradient")->text(), QStringLiteral("6000"));
    EXPECT_EQ(f->width(), width);
    EXPECT_EQ(ctl<QGroupBox>(f, "Frame3")->geometry(), gradientFrame);
    EXPECT_TRUE(centred(f));
    ctl<QScrollBar>(f, "HScroll1")->setValue(12345);
    ctl<QCheckBox>(f, "chkGradOn")->click();
    ctl<QCheckBox>(f, "chkGradOn")->click();
    ctl<runtime::OptionButton>(f, "optAbsoluteFullScreenVideo")->click();
    ctl<runtime::OptionButton>(f, "optOneSixteenth")->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(f->width(), width);
    EXPECT_TRUE(centred(f));
}

TEST_F(Configure, ColourBoxesTakeOnlyLevelsAndSayTheRuleOncePerLeave) {
    store(Key::GradOn, QStringLiteral("1"));
    store(Key::OneFourthScreenDisplayMode, QStringLiteral("True"));
    store(Key::OneEighthScreenDisplayMode, QStringLiteral("False"));
    frmConfigure* f = open();
    for (QLineEdit* box : {ctl<QLineEdit>(f, "txtRed"), ctl<QLineEdit>(f, "txtGreen"), ctl<QLineEdit>(f, "txtBlue")})
        box->setEnabled(true);

    ctl<QLineEdit>(f, "txtRed")->setFocus();
    ctl<QLineEdit>(f, "txtRed")->clear();
    QTest::keyClicks(ctl<QLineEdit>(f, "txtRed"), QStringLiteral("1a2-b.5 "));
    EXPECT_EQ(ctl<QLineEdit>(f, "txtRed")->text(), QStringLiteral("12.5"));
    QTest::keyClick(ctl<QLineEdit>(f, "txtRed"), Qt::Key_Backspace);
    EXPECT_EQ(ctl<QLineEdit>(f, "txtRed")->text(), QStringLiteral("12."));
    QTest::keyClicks(ctl<QLineEdit>(f, "txtRed"), QStringLiteral("5"));
    // Tab leaves the box rather than being refused as a character.
    QTest::keyClick(ctl<QLineEdit>(f, "txtRed"), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), ctl<QLineEdit>(f, "txtRed"));
    ctl<QLineEdit>(f, "txtRed")->setFocus();

    // 12.5 is a level: leaving says nothing.
    ctl<QLineEdit>(f, "txtGreen")->setFocus(Qt::TabFocusReason);
    testsupport::waitFor([&] { return QApplication::focusWidget() == ctl<QLineEdit>(f, "txtGreen"); }, 1000);
    EXPECT_EQ(messages(), 0);
    EXPECT_EQ(ctl<QLineEdit>(f, "txtRed")->text(), QStringLiteral("12.5"));

    // Empty becomes 0.
    ctl<QLineEdit>(f, "txtGreen")->clear();
    ctl<QLineEdit>(f, "txtBlue")->setFocus(Qt::TabFocusReason);
    testsupport::waitFor([&] { return ctl<QLineEdit>(f, "txtGreen")->text() == QLatin1String("0"); }, 1000);
    EXPECT_EQ(ctl<QLineEdit>(f, "txtGreen")->text(), QStringLiteral("0"));
    EXPECT_EQ(messages(), 0);

    // Two bad boxes in a row: one message for the box that was left, and the focus goes back to it.
    ctl<QLineEdit>(f, "txtBlue")->setText(QStringLiteral("256"));
    ctl<QLineEdit>(f, "txtRed")->setText(QStringLiteral("1.2.3"));
    ctl<QLineEdit>(f, "txtRed")->setFocus(Qt::TabFocusReason);
    testsupport::waitFor([&] { return messages() >= 1; }, 1000);
    // The leave is handled a turn of the event loop after its message.
    testsupport::runPostedEvents();
    ASSERT_EQ(messages(), 1);
    EXPECT_EQ(platform.messageBoxes[0].text,
              QStringLiteral("Value can be numeric only and must be between 0 and 255"));
    EXPECT_EQ(platform.messageBoxes[0].style, 64);
    EXPECT_EQ(platform.messageBoxes[0].title, kTitle);
    EXPECT_EQ(QApplication::focusWidget(), ctl<QLineEdit>(f, "txtBlue"));
    EXPECT_EQ(ctl<QLineEdit>(f, "txtBlue")->text(), QStringLiteral("256")) << "the text is left as typed";
    // Leaving again says it again, once.
    ctl<QLineEdit>(f, "txtGreen")->setFocus(Qt::TabFocusReason);
    testsupport::waitFor([&] { return messages() >= 2; }, 1000);
    // The leave is handled a turn of the event loop after its message.
    testsupport::runPostedEvents();
    EXPECT_EQ(messages(), 2);
    EXPECT_EQ(QApplication::focusWidget(), ctl<QLineEdit>(f, "txtBlue"));

    // OK saves no level that was refused: Enter in the box, or a click on OK after the message.
    ctl<QLineEdit>(f, "txtGreen")->setText(QStringLiteral("9"));
    ctl<QLineEdit>(f, "txtRed")->setText(QStringLiteral("3"));
    ctl<QLineEdit>(f, "txtBlue")->setFocus(Qt::TabFocusReason);
    testsupport::waitFor([&] { return QApplication::focusWidget() == ctl<QLineEdit>(f, "txtBlue"); }, 1000);
    const int before = messages();
    QTest::keyClick(ctl<QLineEdit>(f, "txtBlue"), Qt::Key_Return);
    testsupport::waitFor([&] { return messages() >= before + 1; }, 1000);
    // The leave is handled a turn of the event loop after its message.
    testsupport::runPostedEvents();
    EXPECT_EQ(messages(), before + 1);
    EXPECT_EQ(QApplication::focusWidget(), ctl<QLineEdit>(f, "txtBlue"));
    ctl<QAction>(f, "mnuExitAndSaveChanges")->trigger();
    testsupport::waitFor([&] { return messages() >= before + 2; }, 1000);
    // The leave is handled a turn of the event loop after its message.
    testsupport::runPostedEvents();
    EXPECT_EQ(messages(), before + 2);
    EXPECT_TRUE(f->isLoaded());
    EXPECT_EQ(QApplication::focusWidget(), ctl<QLineEdit>(f, "txtBlue"));
    EXPECT_EQ(stored(QStringLiteral("Blue_Level")), QStringLiteral("<none>"));
    EXPECT_EQ(stored(QStringLiteral("Green_Level")), QStringLiteral("<none>"));

    // Enter in a box is the dialog's OK; it stores the texts as typed.
    ctl<QLineEdit>(f, "txtBlue")->setText(QStringLiteral("7"));
    ctl<QLineEdit>(f, "txtRed")->setText(QStringLiteral("12.5"));
    ctl<QLineEdit>(f, "txtRed")->setFocus(Qt::TabFocusReason);
    testsupport::waitFor([&] { return QApplication::focusWidget() == ctl<QLineEdit>(f, "txtRed"); }, 1000);
    QTest::keyClick(ctl<QLineEdit>(f, "txtRed"), Qt::Key_Return);
    EXPECT_EQ(ctl<QLineEdit>(f, "txtRed")->text(), QStringLiteral("12.5"));
    EXPECT_EQ(stored(QStringLiteral("Red_Level")), QStringLiteral("12.5"));
    EXPECT_EQ(stored(QStringLiteral("Blue_Level")), QStringLiteral("7"));
}

TEST_F(Configure, IntervalShowsWholeSecondsAndOtherPositionsInMilliseconds) {
    store(Key::GradOn, QStringLiteral("1"));
    store(Key::FireGradInterval, QStringLiteral("6500"));
    frmConfigure* f = open();
    EXPECT_EQ(ctl<QScrollBar>(f, "HScroll1")->value(), 6500);
    EXPECT_EQ(ctl<QLineEdit>(f, "txtFireGradient")->text(), QStringLiteral("6500"));
    ctl<QScrollBar>(f, "HScroll1")->setValue(6000);
    EXPECT_EQ(ctl<QLineEdit>(f, "txtFireGradient")->text(), QStringLiteral("6"));
    EXPECT_EQ(f->fireGradientWidthTwips(), 200);
    ctl<QScrollBar>(f, "HScroll1")->setValue(6523);
    EXPECT_EQ(ctl<QLineEdit>(f, "txtFireGradient")->text(), QStringLiteral("6523"));
    EXPECT_EQ(f->fireGradientWidthTwips(), 200);
    ctl<QScrollBar>(f, "HScroll1")->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(ctl<QLineEdit>(f, "txtFireGradient")->text(), QStringLiteral("30"));
    EXPECT_EQ(f->fireGradientWidthTwips(), 315);

    // Every bar, and the default button, shows when it has the keyboard.
    for (QWidget* w : std::initializer_list<QWidget*>{ctl<QScrollBar>(f, "HScroll1"), ctl<QScrollBar>(f, "hscBlue"), ctl<QScrollBar>(f, "hscMovingFrameSpeed"), ctl<QPushButton>(f, "Command1")}) {
        ctl<QPushButton>(f, "Command3")->setFocus();
        const QImage without = w->grab().toImage();
        w->setFocus(Qt::TabFocusReason);
        EXPECT_NE(w->grab().toImage(), without) << qPrintable(w->objectName());
    }
    // The arrow keys move every bar the way they point: Right up, Left down.
    for (QScrollBar* bar : {ctl<QScrollBar>(f, "HScroll1"), ctl<QScrollBar>(f, "hscBlue"), ctl<QScrollBar>(f, "hscMovingFrameSpeed")}) {
        bar->setValue(bar->minimum() + bar->singleStep() * 2);
        const int before = bar->value();
        QTest::keyClick(bar, Qt::Key_Right);
        EXPECT_EQ(bar->value(), before + bar->singleStep()) << qPrintable(bar->objectName());
        QTest::keyClick(bar, Qt::Key_Left);
        QTest::keyClick(bar, Qt::Key_Left);
        EXPECT_EQ(bar->value(), before - bar->singleStep()) << qPrintable(bar->objectName());
    }
}

TEST_F(Configure, ColourDialogWritesTheBackColourEvenWhenCancelled) {
    store(Key::BackDropColor, QStringLiteral("255"));
    frmConfigure* f = open();
    ctl<QAction>(f, "mnuBackColorControl")->trigger(); // cancelled
    ASSERT_EQ(platform.colorDialogInitials.size(), 1);
    EXPECT_EQ(platform.colorDialogInitials[0], 255u);
    EXPECT_EQ(stored(QStringLiteral("BackDropColor")), QStringLiteral("255"));
    platform.colorAnswers.enqueue(0xFFFFFFu);
    ctl<QAction>(f, "mnuBackColorControl")->trigger();
    EXPECT_EQ(stored(QStringLiteral("BackDropColor")), QStringLiteral("16777215"));
    // Opened again on the last colour chosen, and cancelled: that colour is written again.
    store(Key::BackDropColor, QStringLiteral("1"));
    ctl<QAction>(f, "mnuBackColorControl")->trigger();
    EXPECT_EQ(platform.colorDialogInitials.last(), 0xFFFFFFu);
    EXPECT_EQ(stored(QStringLiteral("BackDropColor")), QStringLiteral("16777215"));
}

TEST_F(Configure, RightButtonHelpShowsEachTextAndOnlyFullScreenHelpsOnTheLeft) {
    store(Key::GradOn, QStringLiteral("1"));
    store(Key::OneFourthScreenDisplayMode, QStringLiteral("True"));
    store(Key::OneEighthScreenDisplayMode, QStringLiteral("False"));
    frmConfigure* f = open();
    int checked = 0;
    for (const HelpEntry& e : configureHelpTexts()) {
        if (e.control == QStringLiteral("frmConfigure") || e.control == QStringLiteral("cmdChooseVideo"))
            continue;
        auto* w = f->findChild<QWidget*>(e.control);
        ASSERT_NE(w, nullptr) << e.control.toStdString();
        const int before = messages();
        if (e.button == Qt::RightButton)
            rightClick(w);
        else
            leftClick(w);
        ASSERT_EQ(messages(), before + 1) << e.control.toStdString();
        EXPECT_EQ(platform.messageBoxes.last().text, e.text);
        EXPECT_EQ(platform.messageBoxes.last().title, e.title);
        EXPECT_EQ(platform.messageBoxes.last().style, 64);
        ++checked;
        if (e.control == QStringLiteral("Command1") || e.control == QStringLiteral("Command3")) {
            EXPECT_TRUE(f->isLoaded()) << "the right button does not press the button";
        }
    }
    EXPECT_EQ(checked, 16);
    // Texts that are easy to get wrong.
    EXPECT_EQ(findHelp(QStringLiteral("optAbsoluteFullScreenVideo"), Qt::LeftButton)->title,
              QStringLiteral("Helpful Tip for using FULL Screen Mode"));
    EXPECT_TRUE(findHelp(QStringLiteral("optOneHalf"), Qt::RightButton)
                    ->text.contains(
                        QStringLiteral("bumping off of the edges.  Using other controls on this window")));
    EXPECT_EQ(findHelp(QStringLiteral("Label6"), Qt::RightButton)->text,
              findHelp(QStringLiteral("Label9"), Qt::RightButton)->text);

    // The left button on the full-screen option selects it, then shows the tip.
    EXPECT_TRUE(ctl<runtime::OptionButton>(f, "optAbsoluteFullScreenVideo")->isChecked());

    // The left button elsewhere says nothing.
    const int before = messages();
    for (QWidget* w : std::initializer_list<QWidget*>{ctl<runtime::OptionButton>(f, "optOneHalf"), ctl<runtime::ClickLabel>(f, "Label2"), ctl<runtime::ClickLabel>(f, "Label13"), ctl<runtime::ClickLabel>(f, "Label6")})
        leftClick(w);
    ctl<QCheckBox>(f, "chkGradOn")->setEnabled(true);
    leftClick(ctl<QCheckBox>(f, "chkGradOn"));
    EXPECT_EQ(messages(), before);

    // The floating check box has no help, and its release does not reach the dialog behind it.
    rightClick(ctl<QCheckBox>(f, "chkFloatingMovie"));
    rightClick(ctl<QGroupBox>(f, "Frame2"));
    EXPECT_EQ(messages(), before);
    // The dialog's own surface shows the floating text.
    QPoint surface(4, f->height() / 2);
    ASSERT_EQ(f->childAt(surface), nullptr);
    QTest::mouseClick(f, Qt::RightButton, {}, surface);
    QCoreApplication::processEvents();
    ASSERT_EQ(messages(), before + 1);
    EXPECT_TRUE(platform.messageBoxes.last().text.startsWith(
        QStringLiteral("Clicking in this check box will either show or remove a check mark.")));

    ctl<QAction>(f, "mnuSubHelp")->trigger();
    EXPECT_EQ(platform.messageBoxes.last().text, generalHelpText());
    EXPECT_TRUE(platform.messageBoxes.last().text.contains(
        QStringLiteral(" or by contacting Larkspur Software  with")));
    EXPECT_EQ(platform.messageBoxes.last().title, kTitle);
}

TEST_F(Configure, ChooseButtonHelpsOnTheRightThenOpensTheChooserForEveryButton) {
    frmConfigure* f = open();
    QStringList seen;
    // The chooser is modal: once it shows, record it and close it from inside its loop.
    QTimer watcher;
    watcher.setInterval(5);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        runtime::Form* c = forms().find(QStringLiteral("frmChooseOrSearch"));
        if (!c || !c->isVisible() || !c->isLoaded()) return;
        seen << QStringLiteral("%1:%2").arg(c->parentWidget() == f).arg(messages());
        c->Unload();
    });
    watcher.start();
    rightClick(ctl<QPushButton>(f, "cmdChooseVideo"));
    testsupport::waitFor([&] { return messages() >= 1; }, 1000);
    leftClick(ctl<QPushButton>(f, "cmdChooseVideo"));
    testsupport::waitFor([&] { return seen.size() >= 1; }, 1000);
    ctl<QPushButton>(f, "cmdChooseVideo")->setFocus();
    QTest::keyClick(ctl<QPushButton>(f, "cmdChooseVideo"), Qt::Key_Space);
    testsupport::waitFor([&] { return seen.size() >= 2; }, 1000);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("1:1"), QStringLiteral("1:1")}))
        << "help first; no click handler";
    EXPECT_EQ(platform.messageBoxes[0].text,
              QStringLiteral(
                  "The multimedia files that the screensaver displays can be chosen using this button."));
    EXPECT_TRUE(f->isLoaded());
}

TEST_F(Configure, HostileStoredValuesLoadAndOkWritesValuesTheControlsHold) {
    const settings::KeyRef keys[] = {Key::GradOn,
                                     Key::FireGradInterval,
                                     Key::Red_Level,
                                     Key::Green_Level,
                                     Key::Blue_Level,
                                     Key::MovingMovieSpeed,
                                     Key::MovieWillFloat,
                                     Key::PictureTrails,
                                     Key::AbsoluteFullScreenDisplayMode,
                                     Key::ThreeQuartersScreenMode,
                                     Key::OneHalfScreenDisplayMode,
                                     Key::OneFourthScreenDisplayMode,
                                     Key::OneEighthScreenDisplayMode,
                                     Key::OneSixteenthScreenDisplayMode,
                                     Key::PlaySingleFile,
                                     Key::PlayMultipleFiles,
                                     Key::BackDropColor};
    for (const QString& hostile : {QString(), QStringLiteral("-5"), QStringLiteral("99999"),
                                   QStringLiteral("abc"), QStringLiteral("1e9")}) {
        SCOPED_TRACE(hostile.toStdString());
        platform.memorySettings()->values.clear();
        for (settings::KeyRef k : keys)
            store(k, hostile);
        QPointer<frmConfigure> f;
        ASSERT_NO_THROW(f = open());
        ASSERT_TRUE(f && f->isLoaded());
        ctl<QAction>(f, "mnuBackColorControl")->trigger();
        if (!ctl<runtime::OptionButton>(f, "optSingleFile")->isChecked() && !ctl<runtime::OptionButton>(f, "optMultipleFiles")->isChecked()) ctl<runtime::OptionButton>(f, "optSingleFile")->click();
        ctl<QPushButton>(f, "Command1")->click();
        // Numbers count as True, so both sources may have been selected: the play list, empty.
        if (f->isLoaded() && messages() > 0) ctl<QPushButton>(f, "Command1")->click();
        EXPECT_TRUE(closes(f));
        auto inRange = [&](const char* key, int lo, int hi) {
            bool ok = false;
            const int v = stored(QString::fromLatin1(key)).toInt(&ok);
            EXPECT_TRUE(ok && v >= lo && v <= hi)
                << key << " = " << stored(QString::fromLatin1(key)).toStdString();
        };
        inRange("GradOn", 0, 1);
        inRange("FireGradInterval", 1000, 30000);
        inRange("Red_Level", 0, 255);
        inRange("Green_Level", 0, 255);
        inRange("Blue_Level", 0, 255);
        inRange("MovingMovieSpeed", 1, 1000);
        inRange("MovieWillFloat", 0, 1);
        inRange("PictureTrails", 0, 1);
        inRange("BackDropColor", 0, 0xFFFFFF);
        for (const char* k :
             {"AbsoluteFullScreenDisplayMode", "OneEighthScreenDisplayMode", "PlaySingleFile"})
            EXPECT_TRUE(stored(QString::fromLatin1(k)) == QStringLiteral("True") ||
                        stored(QString::fromLatin1(k)) == QStringLiteral("False"))
                << k;
    }
    // The nearest end of the range for numbers, the default for the rest.
    platform.memorySettings()->values.clear();
    store(Key::MovingMovieSpeed, QStringLiteral("99999"));
    store(Key::FireGradInterval, QStringLiteral("abc"));
    store(Key::Red_Level, QStringLiteral("-5"));
    frmConfigure* f = open();
    EXPECT_EQ(ctl<QScrollBar>(f, "hscMovingFrameSpeed")->value(), 1000);
    EXPECT_EQ(ctl<QScrollBar>(f, "HScroll1")->value(), 6000);
    EXPECT_EQ(ctl<QScrollBar>(f, "hscRed")->value(), 0);
    EXPECT_EQ(ctl<QLineEdit>(f, "txtRed")->text(), QStringLiteral("0"));
}

TEST_F(Configure, DesktopShortcutIsAnExecutableEntryForTheProgramWrittenUnderTheWaitCursor) {
    frmConfigure* f = open();
    ctl<QAction>(f, "mnuCreateDesktopShortcut")->trigger();
    const QString path = platform.desktopFolderValue + QStringLiteral("/Lumora.desktop");
    ASSERT_TRUE(QFileInfo::exists(path));
    EXPECT_TRUE(QFileInfo(path).isExecutable());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nName=Lumora\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nType=Application\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=") + QCoreApplication::applicationFilePath() + u'\n'));
    ASSERT_EQ(platform.cursorShapesAtDesktopFolder, QList<int>{Qt::WaitCursor});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the pointer is back afterwards";
    EXPECT_EQ(messages(), 0);
}

TEST_F(Configure, LabelStripPopsItsMenusUpBelowTheTitlesOnTheLeftButtonOnly) {
    frmConfigure* f = open();
    const struct {
        QWidget* label;
        QMenu* menu;
    } strip[] = {{ctl<runtime::ClickLabel>(f, "lblFile"), ctl<QMenu>(f, "mnuFile")},
                 {ctl<runtime::ClickLabel>(f, "lblSoundControl"), ctl<QMenu>(f, "mnuSoundControls")},
                 {ctl<runtime::ClickLabel>(f, "lblMouse"), ctl<QMenu>(f, "mnuMouseSensitivity")},
                 {ctl<runtime::ClickLabel>(f, "lblMonitors"), ctl<QMenu>(f, "mnuMonitors")},
                 {ctl<runtime::ClickLabel>(f, "lblBackColor"), ctl<QMenu>(f, "mnuColorControls")},
                 {ctl<runtime::ClickLabel>(f, "lblHelp"), ctl<QMenu>(f, "mnuHelpDocument")}};
    for (const auto& s : strip) {
        QTest::mousePress(s.label, Qt::RightButton, {}, QPoint(4, 4));
        QTest::mouseRelease(s.label, Qt::RightButton, {}, QPoint(4, 4));
        EXPECT_FALSE(s.menu->isVisible());
        QTest::mousePress(s.label, Qt::LeftButton, {}, QPoint(4, 4));
        EXPECT_TRUE(s.menu->isVisible()) << s.menu->objectName().toStdString();
        // Below the title, as Alt+key opens it, not over the strip at the pointer.
        EXPECT_EQ(s.menu->pos(), s.label->mapToGlobal(QPoint(0, s.label->height())))
            << s.menu->objectName().toStdString();
        s.menu->close();
        QTest::mouseRelease(s.label, Qt::LeftButton, {}, QPoint(4, 4));
    }
    QStringList items;
    for (QAction* a : ctl<QMenu>(f, "mnuHelpDocument")->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, (QStringList{"Help", "-", "Visit Our Website", "-", "About this program"}));
}

TEST_F(Configure, WebSiteAndAboutLeaveTheDialogWithoutSaving) {
    int shown = 0;
    for (const QString& name : {QStringLiteral("frmURLACTION"), QStringLiteral("frmCredits")})
        forms().registerForm(name, [name, &shown] {
            ++shown;
            return new runtime::Form(name);
        });
    QPointer<frmConfigure> f = open();
    ctl<QScrollBar>(f, "hscMovingFrameSpeed")->setValue(222);
    ctl<QAction>(f, "mnuVisitWebSite")->trigger();
    EXPECT_TRUE(!f || !f->isLoaded()) << "unloaded at once, without the closing animation";
    ASSERT_NE(forms().find(QStringLiteral("frmURLACTION")), nullptr);
    EXPECT_TRUE(forms().find(QStringLiteral("frmURLACTION"))->isVisible());
    f = open();
    ctl<QAction>(f, "mnuAbout")->trigger();
    EXPECT_TRUE(!f || !f->isLoaded());
    ASSERT_NE(forms().find(QStringLiteral("frmCredits")), nullptr);
    EXPECT_EQ(stored(QStringLiteral("MovingMovieSpeed")), QStringLiteral("<none>"));
    EXPECT_EQ(shown, 2);
    forms().unregisterForm(QStringLiteral("frmURLACTION"));
    forms().unregisterForm(QStringLiteral("frmCredits"));
}

} // namespace

namespace {

TEST_F(Configure, AStoreThatCannotBeWrittenIsReportedAndOkKeepsTheDialogOpen) {
    platform.memorySettings()->failWrites = true;
    QPointer<frmConfigure> f = open();
    // Loading's own write of the gradient switch failed: said once.
    ASSERT_EQ(messages(), 1);
    EXPECT_TRUE(platform.messageBoxes[0].text.startsWith(QStringLiteral("The settings could not be saved.")));
    EXPECT_EQ(platform.messageBoxes[0].style, 48);
    ctl<runtime::OptionButton>(f, "optOneHalf")->click();
    ctl<runtime::OptionButton>(f, "optOneFourth")->click();
    EXPECT_EQ(messages(), 1) << "the by-the-way writes say it once";
    ctl<QScrollBar>(f, "hscMovingFrameSpeed")->setValue(400);
    ctl<QPushButton>(f, "Command1")->click();
    EXPECT_EQ(messages(), 2);
    // A stretch of time in which a close would have begun.
    QTest::qWait(50);
    ASSERT_TRUE(f && f->isLoaded()) << "the choices stay on screen";
    EXPECT_EQ(ctl<QScrollBar>(f, "hscMovingFrameSpeed")->value(), 400);
    ctl<QAction>(f, "mnuBackColorControl")->trigger();
    EXPECT_EQ(messages(), 3);
    // Once the store takes writes again, OK saves and closes.
    platform.memorySettings()->failWrites = false;
    ctl<QPushButton>(f, "Command1")->click();
    EXPECT_TRUE(closes(f));
    EXPECT_EQ(stored(QStringLiteral("MovingMovieSpeed")), QStringLiteral("400"));
}

} // namespace

namespace {

TEST_F(Configure, TheBannerMovesTheWindowThatHasNoTitleBar) {
    frmConfigure* f = open();
    EXPECT_TRUE(f->windowFlags() & Qt::FramelessWindowHint);
    const QPoint before = f->pos();
    const QPoint grab(20, 10);
    QTest::mousePress(ctl<QLabel>(f, "Image1"), Qt::LeftButton, {}, grab);
    QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(30, 20)),
                     ctl<QLabel>(f, "Image1")->mapToGlobal(QPointF(grab + QPoint(30, 20))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(ctl<QLabel>(f, "Image1"), &move);
    QTest::mouseRelease(ctl<QLabel>(f, "Image1"), Qt::LeftButton, {}, grab + QPoint(30, 20));
    EXPECT_EQ(f->pos(), before + QPoint(30, 20));
    // Other events on the banner leave it alone.
    QEvent hover(QEvent::Enter);
    QCoreApplication::sendEvent(ctl<QLabel>(f, "Image1"), &hover);
    EXPECT_EQ(f->pos(), before + QPoint(30, 20));
}

} // namespace
