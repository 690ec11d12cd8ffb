#include "base/SettingsFormat.h"
#include "runtime/Controls.h"
#include "runtime/FormRegistry.h"
#include "shell/ShellDialogs.h"
#include "shell/frmMixer.h"
#include "shell/frmMonitors.h"
#include "shell/frmMouseSensitivity.h"
#include "support/SettingKeys.h"
#include "support/TestFiles.h"
#include "support/inprocess/InProcessPlatform.h"
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using settings::Key;
using testsupport::keyName;

using runtime::forms;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

const QString kMouse = QStringLiteral("frmMouseSensitivity");
const QString kMixer = QStringLiteral("frmMixer");
const QString kMonitors = QStringLiteral("frmMonitors");
const QString kSensitivity = keyName(Key::MouseSensitivity);
const QString kIgnore = keyName(Key::IgnoreMouseMovement);
const QString kDoNotIgnore = keyName(Key::DoNotIgnoreMouseMovent);
const QString kMute = keyName(Key::ScreensaverSoundMutePreference);

class SmallDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform.install();
        registerShellDialogs();
    }
    void TearDown() override {
        forms().reset();
        forms().unregisterForm(kMouse);
        forms().unregisterForm(kMixer);
        forms().unregisterForm(kMonitors);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::install(platform::Platform{});
    }

    QMap<QString, QString>& store() { return platform.memorySettings()->values; }

    // Opens the dialog as the program does, but without the modal loop, so the test can drive it.
    template <class T> T* open(const QString& name) {
        T* form = forms().get<T>(name);
        if (form) form->Show();
        return form;
    }

    template <class T> T* control(QWidget* form, const char* name) {
        T* c = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    void click(QWidget* form, const char* name) {
        QWidget* w = control<QWidget>(form, name);
        // Options and check boxes take clicks on their indicator.
        const bool indicator = qobject_cast<QAbstractButton*>(w) && !qobject_cast<QPushButton*>(w);
        QTest::mouseClick(w, Qt::LeftButton, {}, indicator ? QPoint(8, w->height() / 2) : QPoint());
    }

    void choose(QWidget* form, const char* action) { control<QAction>(form, action)->trigger(); }

    // The dialog shrinks away while events run; true once it has been unloaded and let go.
    bool closed(const QString& name) { return testsupport::formClosed(name); }

    // The captions a user reads, by control.
    void expectCaptions(QWidget* form, const QList<QPair<const char*, QString>>& captions) {
        for (const auto& [name, caption] : captions) {
            QObject* c = form->findChild<QObject*>(QString::fromLatin1(name));
            ASSERT_NE(c, nullptr) << name;
            // Frames and menus have a title, the others a text.
            const QVariant title = c->property("title");
            const QString text = title.isValid() ? title.toString() : c->property("text").toString();
            EXPECT_EQ(text, caption) << name;
        }
    }

    bool selected(QWidget* form, const char* option) {
        return control<QAbstractButton>(form, option)->isChecked();
    }

    // The client area is at least the dialog's size in twips, centred, and every caption is whole.
    void expectCentredAndWhole(const QString& name, QSize twips) {
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        runtime::Form* f = forms().show(name);
        ASSERT_NE(f, nullptr);
        if (name == kMouse) click(f, "optYesIgnoreMouseMovement"); // its message must fit too
        EXPECT_GE(f->width(), twips.width() / 15);
        EXPECT_GE(f->height(), twips.height() / 15);
        EXPECT_NEAR(f->x(), (screen.width() - f->width()) / 2, 1);
        EXPECT_NEAR(f->y(), (screen.height() - f->height()) / 2, 1);
        for (QWidget* w : f->findChildren<QWidget*>()) {
            if (w->isWindow() || w->objectName().isEmpty() || !w->isVisibleTo(f)) continue;
            if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w) &&
                !qobject_cast<QGroupBox*>(w))
                continue;
            const QRect inForm(w->mapTo(f, QPoint(0, 0)), w->size());
            EXPECT_TRUE(f->rect().contains(inForm)) << qPrintable(w->objectName());
            EXPECT_GE(w->width(), w->minimumSizeHint().width()) << qPrintable(w->objectName());
            const int height =
                w->hasHeightForWidth() ? w->heightForWidth(w->width()) : w->minimumSizeHint().height();
            EXPECT_GE(w->height(), height) << qPrintable(w->objectName());
        }
    }

    // The Tab stops in order from where the focus starts, each checked to show the focus as Tab
    // reaches it: the default button too, which the style draws the same with the focus and without.
    QStringList tabStopsShowingTheFocus(const QString& name) {
        QWidget* f = open<runtime::Form>(name);
        f->activateWindow();
        if (!QTest::qWaitForWindowActive(f)) return {QStringLiteral("<not active>")};
        QStringList names;
        for (int i = 0; i < 10; ++i) {
            QWidget* from = QApplication::focusWidget();
            if (!from || names.contains(from->objectName())) break;
            names << from->objectName();
            // The next stop's look before the focus comes to it, against its look with the focus.
            QWidget* to = from->nextInFocusChain();
            while (to != from && !(to->isVisible() && to->isEnabled() && (to->focusPolicy() & Qt::TabFocus)))
                to = to->nextInFocusChain();
            const QImage before = to->grab().toImage();
            QTest::keyClick(from, Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), to);
            EXPECT_NE(to->grab().toImage(), before) << "no sign of the focus on " << qPrintable(to->objectName());
        }
        return names;
    }

    platform::InProcessPlatform platform;
};

class MouseSensitivity : public SmallDialogTest {};
class Mixer : public SmallDialogTest {};

// The monitors dialog on the real settings file in a temporary folder.
class Monitors : public SmallDialogTest {
protected:
    void SetUp() override {
        SmallDialogTest::SetUp();
        path = home.filePath(QStringLiteral("lumora.ini"));
        platform.useSettingsFile(path);
    }
    void writeFile(const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray fileText() {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The options selected, by name.
    QStringList selectedOptions(QWidget* f) {
        QStringList on;
        for (const char* o : {"optPrimaryMonitor", "optSameOnEvery", "optEachItsOwn"})
            if (selected(f, o)) on << QString::fromLatin1(o);
        return on;
    }

    QTemporaryDir home;
    QString path;
};

} // namespace

TEST_F(MouseSensitivity, FreshInstallationShowsFourAndStoresDefaults) {
    auto* f = open<frmMouseSensitivity>(kMouse);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Mouse Sensitivity Control"));
    expectCaptions(f, {{"fraSensitivity", "Mouse Sensitivity"},
                       {"Label2", "< More Sensitive"},
                       {"Label3", "Less Sensitive >"},
                       {"fraIgnore", "Ignore Mouse Movement In FULL-Screen Mode?"},
                       {"optYesIgnoreMouseMovement", "Yes"},
                       {"optDoNotIgnoreMouseMovement", "No"},
                       {"Command2", "&OK"},
                       {"Command1", "&Cancel"},
                       {"Label1", "X"},
                       {"Label4", "Help"},
                       {"mnuFile", "&File"},
                       {"mnuExitWithoutSavingChanges", "Exit &Without Saving Changes"},
                       {"mnuExitAndSaveChanges", "Exit And &Save Changes"}});
    EXPECT_EQ(control<QScrollBar>(f, "hscMouseSensitivity")->value(), 4);
    EXPECT_EQ(control<QLineEdit>(f, "txtMouseSensitivity")->text(), QStringLiteral("4"));
    // A move ends the full-screen player on fresh settings, and "No" says so: OK keeps it that way.
    EXPECT_FALSE(selected(f, "optYesIgnoreMouseMovement"));
    EXPECT_TRUE(selected(f, "optDoNotIgnoreMouseMovement"));
    EXPECT_TRUE(control<QLabel>(f, "lblIgnoreMouseMovementMessage")->isHidden());

    click(f, "Command2");
    EXPECT_TRUE(closed(kMouse));
    EXPECT_EQ(platform.memorySettings()->saves, 1) << "the three values are not one save";
    EXPECT_EQ(store().value(kSensitivity), QStringLiteral("4"));
    EXPECT_EQ(store().value(kIgnore), QStringLiteral("False"));
    EXPECT_EQ(store().value(kDoNotIgnore), QStringLiteral("True"));

    // Settings on which a move is ignored (as that OK used to store) show "Yes" and its message.
    store() = {{kIgnore, QStringLiteral("False")}, {kDoNotIgnore, QStringLiteral("False")}};
    f = open<frmMouseSensitivity>(kMouse);
    EXPECT_TRUE(selected(f, "optYesIgnoreMouseMovement"));
    EXPECT_FALSE(selected(f, "optDoNotIgnoreMouseMovement"));
    EXPECT_FALSE(control<QLabel>(f, "lblIgnoreMouseMovementMessage")->isHidden());
}

TEST_F(MouseSensitivity, ScrollBarDrivesTheBoxAndOkStoresIt) {
    auto* f = open<frmMouseSensitivity>(kMouse);
    auto* bar = control<QScrollBar>(f, "hscMouseSensitivity");
    auto* box = control<QLineEdit>(f, "txtMouseSensitivity");
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 4, bar->height() / 2)); // right arrow
    EXPECT_EQ(box->text(), QStringLiteral("5"));
    QTest::keyClick(bar, Qt::Key_PageUp);
    EXPECT_EQ(box->text(), QStringLiteral("15"));
    QTest::keyClick(bar, Qt::Key_End);
    EXPECT_EQ(bar->value(), 500);
    EXPECT_EQ(box->text(), QStringLiteral("500"));
    choose(f, "mnuExitAndSaveChanges");
    EXPECT_TRUE(closed(kMouse));
    EXPECT_EQ(store().value(kSensitivity), QStringLiteral("500"));
}

// The keyboard alone: Tab reaches the bar and the box and stops only where the user can see and use
// something; the arrows move the bar the way they point, a typed number moves it too, and OK
// refuses a number the bar cannot take, saying which ones it can.
TEST_F(MouseSensitivity, KeyboardAloneChangesTheSensitivityAndOkStoresIt) {
    auto* f = open<frmMouseSensitivity>(kMouse);
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f));
    auto* bar = control<QScrollBar>(f, "hscMouseSensitivity");
    auto* box = control<QLineEdit>(f, "txtMouseSensitivity");
    ASSERT_NE(QApplication::focusWidget(), nullptr);

    QList<QWidget*> stops;
    for (int i = 0; i < 20; ++i) {
        QWidget* w = QApplication::focusWidget();
        ASSERT_NE(w, nullptr);
        if (stops.contains(w)) break;
        EXPECT_TRUE(w->isVisible() && w->isEnabled() && w->window() == f) << qPrintable(w->objectName());
        EXPECT_FALSE(w->objectName().isEmpty()) << "a Tab stop that is no control of the dialog";
        stops << w;
        QTest::keyClick(w, Qt::Key_Tab);
    }
    QStringList names;
    for (QWidget* w : stops) names << w->objectName();
    // The Yes/No pair is one stop, the option selected.
    EXPECT_EQ(names, QStringList({"hscMouseSensitivity", "txtMouseSensitivity", "optDoNotIgnoreMouseMovement",
                                  "Command2", "Command1"}));

    // The bar and the default button show that they have the keyboard, though the style shows
    // nothing on a bar and draws the default button the same with the focus and without.
    for (const char* name : {"hscMouseSensitivity", "Command2"}) {
        auto* stop = control<QWidget>(f, name);
        box->setFocus(Qt::TabFocusReason);
        const QImage unfocused = stop->grab().toImage();
        stop->setFocus(Qt::TabFocusReason);
        EXPECT_NE(stop->grab().toImage(), unfocused) << "no sign of the focus on " << name;
    }
    bar->setFocus(Qt::TabFocusReason);
    QTest::keyClick(bar, Qt::Key_Right);
    EXPECT_EQ(box->text(), QStringLiteral("5"));
    QTest::keyClick(bar, Qt::Key_Left);
    QTest::keyClick(bar, Qt::Key_Left);
    EXPECT_EQ(box->text(), QStringLiteral("4")) << "the bar stops at its least";

    // Tab into the box selects the number, so typing replaces it.
    QTest::keyClick(bar, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), box);
    QTest::keyClicks(box, QStringLiteral("2x5-0"));
    EXPECT_EQ(box->text(), QStringLiteral("250")) << "only digits are taken";
    EXPECT_EQ(bar->value(), 250);

    // Out of range or empty: OK says what it takes and keeps the dialog, with the number to retype.
    for (const QString& bad : {QStringLiteral("3"), QStringLiteral("501"), QString()}) {
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, bad);
        platform.messageBoxes.clear();
        QTest::keyClick(box, Qt::Key_Return);
        ASSERT_EQ(platform.messageBoxes.size(), 1) << qPrintable(bad);
        EXPECT_EQ(platform.messageBoxes.first().text,
                  QStringLiteral("The mouse sensitivity must be a whole number from 4 to 500."));
        EXPECT_EQ(platform.messageBoxes.first().style, 48);
        EXPECT_TRUE(forms().find(kMouse)) << qPrintable(bad);
        EXPECT_TRUE(store().isEmpty()) << qPrintable(bad);
        EXPECT_EQ(QApplication::focusWidget(), box);
        EXPECT_EQ(box->selectedText(), bad);
    }

    QTest::keyClicks(box, QStringLiteral("37"));
    EXPECT_EQ(bar->value(), 37);
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(closed(kMouse));
    EXPECT_EQ(store().value(kSensitivity), QStringLiteral("37"));
    EXPECT_EQ(store().value(kDoNotIgnore), QStringLiteral("True"));
}

TEST_F(MouseSensitivity, YesShowsTheMessageNoHidesItAndOkStoresThePair) {
    auto* f = open<frmMouseSensitivity>(kMouse);
    auto* message = control<QLabel>(f, "lblIgnoreMouseMovementMessage");
    click(f, "optYesIgnoreMouseMovement");
    EXPECT_FALSE(message->isHidden());
    EXPECT_EQ(message->text(),
              QStringLiteral("Choosing this selection will make it necessary to strike the spacebar "
                             "or escape key, or click the mouse in order to end the screensaver."));
    click(f, "Command2");
    ASSERT_TRUE(closed(kMouse));
    EXPECT_EQ(store().value(kIgnore), QStringLiteral("True"));
    EXPECT_EQ(store().value(kDoNotIgnore), QStringLiteral("False"));

    // The next opening reads the settings afresh: "Yes" comes back with its message.
    f = open<frmMouseSensitivity>(kMouse);
    message = control<QLabel>(f, "lblIgnoreMouseMovementMessage");
    EXPECT_TRUE(selected(f, "optYesIgnoreMouseMovement"));
    EXPECT_FALSE(message->isHidden());
    click(f, "optDoNotIgnoreMouseMovement");
    EXPECT_TRUE(message->isHidden());
    EXPECT_FALSE(selected(f, "optYesIgnoreMouseMovement"));
    // Return where nothing else takes it presses OK.
    QTest::keyClick(control<QScrollBar>(f, "hscMouseSensitivity"), Qt::Key_Return);
    ASSERT_TRUE(closed(kMouse));
    EXPECT_EQ(store().value(kIgnore), QStringLiteral("False"));
    EXPECT_EQ(store().value(kDoNotIgnore), QStringLiteral("True"));
}

TEST_F(MouseSensitivity, CancelXAndExitWithoutSavingLeaveTheSettings) {
    store() = {{kSensitivity, QStringLiteral("250")},
               {kIgnore, QStringLiteral("True")},
               {kDoNotIgnore, QStringLiteral("False")}};
    const auto before = store();
    const std::vector<std::function<void(QWidget*)>> exits = {
        [this](QWidget* f) { click(f, "Command1"); },
        [this](QWidget* f) { click(f, "Label1"); },
        [this](QWidget* f) { choose(f, "mnuExitWithoutSavingChanges"); },
        [](QWidget* f) { QTest::keyClick(f, Qt::Key_Escape); },
    };
    for (size_t i = 0; i < exits.size(); ++i) {
        auto* f = open<frmMouseSensitivity>(kMouse);
        ASSERT_EQ(control<QScrollBar>(f, "hscMouseSensitivity")->value(), 250) << i;
        EXPECT_EQ(control<QLineEdit>(f, "txtMouseSensitivity")->text(), QStringLiteral("250"));
        EXPECT_TRUE(selected(f, "optYesIgnoreMouseMovement"));
        QTest::keyClick(control<QScrollBar>(f, "hscMouseSensitivity"), Qt::Key_Home);
        click(f, "optDoNotIgnoreMouseMovement");
        exits[i](f);
        EXPECT_TRUE(closed(kMouse)) << i;
        EXPECT_EQ(store(), before) << i;
    }
}

TEST_F(MouseSensitivity, HostileStoredValuesLoadAndOkStoresAValueInRange) {
    const QList<QPair<QString, QString>> cases = {
        {"", "4"},      {"-5", "4"},    {"99999", "500"}, {"abc", "4"}, {"1e9", "500"},
        {"12.5", "12"}, {"13.5", "14"}, {"  42 ", "42"},  {"4", "4"},   {"500", "500"},
    };
    for (const auto& [stored, shown] : cases) {
        store() = {{kSensitivity, stored}, {kIgnore, QStringLiteral("maybe")}, {kDoNotIgnore, QString()}};
        auto* f = open<frmMouseSensitivity>(kMouse);
        ASSERT_TRUE(f && f->isLoaded()) << qPrintable(stored);
        EXPECT_EQ(QString::number(control<QScrollBar>(f, "hscMouseSensitivity")->value()), shown)
            << qPrintable(stored);
        EXPECT_EQ(control<QLineEdit>(f, "txtMouseSensitivity")->text(), shown) << qPrintable(stored);
        // Texts that are no Boolean: the player ends on a move, and "No" says so.
        EXPECT_FALSE(selected(f, "optYesIgnoreMouseMovement"));
        EXPECT_TRUE(selected(f, "optDoNotIgnoreMouseMovement"));
        click(f, "Command2");
        ASSERT_TRUE(closed(kMouse));
        EXPECT_EQ(store().value(kSensitivity), shown) << qPrintable(stored);
        EXPECT_EQ(store().value(kIgnore), QStringLiteral("False"));
        EXPECT_EQ(store().value(kDoNotIgnore), QStringLiteral("True"));
    }
}

TEST_F(MouseSensitivity, BothStoredTrueEndsWithNo) {
    // "No" is set last and wins, which hides the message that "Yes" had shown.
    store() = {{kIgnore, QStringLiteral("true")}, {kDoNotIgnore, QStringLiteral("1")}};
    auto* f = open<frmMouseSensitivity>(kMouse);
    EXPECT_FALSE(selected(f, "optYesIgnoreMouseMovement"));
    EXPECT_TRUE(selected(f, "optDoNotIgnoreMouseMovement"));
    EXPECT_TRUE(control<QLabel>(f, "lblIgnoreMouseMovementMessage")->isHidden());
}

TEST_F(MouseSensitivity, HelpExplainsInOneBox) {
    auto* f = open<frmMouseSensitivity>(kMouse);
    click(f, "Label4");
    ASSERT_EQ(platform.messageBoxes.size(), 1);
    const auto& box = platform.messageBoxes.first();
    EXPECT_EQ(
        box.text,
        QStringLiteral(
            "Different brands of computer systems have slightly different hardware and multimedia/video card "
            "architectures.  The screensaver's ability to detect mouse movement in FULL Screen Mode is "
            "affected in some cases by these variations.\r\n\r\n"
            "Some computers will exhibit difficulties in displaying a multimedia file in full screen mode, "
            "because they detect either a small or possibly a radical 'mouse bounce' when the media file "
            "attempts to render.  This causes the screensaver to end prematurely.\r\n\r\n"
            "In some cases it will be necessary to disable the capability to end the screensaver by moving "
            "the "
            "mouse by selecting the Yes option in this window.  If 'Yes' is selected, it will be necessary "
            "to "
            "strike nearly any key on the keyboard to end the screensaver.\r\n\r\n"
            "The 'Yes' selection will only have effect in the FULL Screen mode of the screensaver.  The "
            "other "
            "multimedia screen sizes will end by moving the mouse."));
    EXPECT_EQ(box.style, 64);
    EXPECT_EQ(box.title, QStringLiteral("Explanation"));
    EXPECT_TRUE(f->isLoaded());
    EXPECT_TRUE(store().isEmpty());
}

TEST_F(MouseSensitivity, ModalShowReturnsAfterOkFromTheRealSettingsFile) {
    QTemporaryDir home;
    const QString path = home.filePath(QStringLiteral("lumora.ini"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[lumora]\nMouseSensitivity=1e9\nIgnoreMouseMovement=False\nDoNotIgnoreMouseMovent=yes\n");
    file.close();
    platform.useSettingsFile(path);

    QWidget owner;
    owner.show();
    auto* f = forms().get<frmMouseSensitivity>(kMouse);
    QPointer<frmMouseSensitivity> seen;
    QTimer::singleShot(0, [&] {
        seen = qobject_cast<frmMouseSensitivity*>(forms().find(kMouse));
        if (!seen) return;
        EXPECT_TRUE(seen->isVisible());
        EXPECT_EQ(seen->parentWidget(), &owner);
        EXPECT_EQ(seen->windowModality(), Qt::ApplicationModal);
        click(seen, "Command2");
    });
    QTimer giveUp; // a test that fails must not hang
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { forms().reset(); });
    giveUp.start(10000);
    f->ShowModal(&owner);
    EXPECT_TRUE(closed(kMouse));
    EXPECT_TRUE(seen.isNull()) << "the form object is let go after closing";
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("MouseSensitivity=500\n")) << text.constData();
    EXPECT_TRUE(text.contains("IgnoreMouseMovement=False\n")) << text.constData();
    // "yes" is no Boolean: the player ends on a move, so "No" was shown and is stored.
    EXPECT_TRUE(text.contains("DoNotIgnoreMouseMovent=True\n")) << text.constData();
}

TEST_F(MouseSensitivity, StoreThatRefusesKeepsTheDialogOpen) {
    platform.memorySettings()->failWrites = true;
    auto* f = open<frmMouseSensitivity>(kMouse);
    click(f, "Command2");
    ASSERT_EQ(platform.messageBoxes.size(), 1);
    EXPECT_EQ(platform.messageBoxes.first().style, 48);
    EXPECT_TRUE(forms().find(kMouse)) << "the changes are still there to retry or cancel";
    click(f, "Command1");
    EXPECT_TRUE(closed(kMouse));
}

TEST_F(Mixer, FreshInstallationIsUncheckedAndOkStoresZero) {
    auto* f = open<frmMixer>(kMixer);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Sound Control"));
    expectCaptions(f, {{"fraVolume", "Volume Control"},
                       {"chkVolMute", "Check to Mute the screensaver's sound."},
                       {"Command1", "&Ok"},
                       {"Command2", "&Cancel"},
                       {"Label1", "X"},
                       {"Label3", "Help"},
                       {"mnuFile", "&File"},
                       {"mnuClose", "&Close"}});
    EXPECT_FALSE(control<QCheckBox>(f, "chkVolMute")->isChecked());
    click(f, "Command1");
    EXPECT_TRUE(closed(kMixer));
    EXPECT_EQ(store().value(kMute), QStringLiteral("0"));
}

TEST_F(Mixer, StoredOneIsCheckedAndCloseStoresTheChange) {
    store()[kMute] = QStringLiteral("1");
    auto* f = open<frmMixer>(kMixer);
    EXPECT_TRUE(control<QCheckBox>(f, "chkVolMute")->isChecked());
    click(f, "chkVolMute");
    choose(f, "mnuClose");
    ASSERT_TRUE(closed(kMixer));
    EXPECT_EQ(store().value(kMute), QStringLiteral("0"));

    f = open<frmMixer>(kMixer);
    EXPECT_FALSE(control<QCheckBox>(f, "chkVolMute")->isChecked()) << "read afresh";
    click(f, "chkVolMute");
    QTest::keyClick(f, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_TRUE(closed(kMixer));
    EXPECT_EQ(store().value(kMute), QStringLiteral("1"));
}

TEST_F(Mixer, OtherValuesShowUncheckedAndCancelOrXLeaveThem) {
    const QList<QPair<QString, bool>> cases = {{"7", false},  {"abc", false}, {"", false},   {"1e9", false},
                                               {"-1", false}, {"0.5", false}, {"1.4", true}, {"True", false}};
    for (const auto& [stored, checked] : cases) {
        for (const char* exit : {"Command2", "Label1"}) {
            store()[kMute] = stored;
            auto* f = open<frmMixer>(kMixer);
            ASSERT_TRUE(f && f->isLoaded()) << qPrintable(stored);
            EXPECT_EQ(control<QCheckBox>(f, "chkVolMute")->isChecked(), checked) << qPrintable(stored);
            click(f, "chkVolMute");
            click(f, exit);
            ASSERT_TRUE(closed(kMixer)) << exit;
            EXPECT_EQ(store().value(kMute), stored) << exit;
        }
    }
}

TEST_F(Mixer, EveryTabStopShowsWhereTheFocusIs) {
    EXPECT_EQ(tabStopsShowingTheFocus(kMixer), QStringList({"chkVolMute", "Command1", "Command2"}));
}

TEST_F(Mixer, HelpPointsToTheSystemVolume) {
    auto* f = open<frmMixer>(kMixer);
    click(f, "Label3");
    ASSERT_EQ(platform.messageBoxes.size(), 1);
    // It points to what this desktop has, not to another system's taskbar.
    const QString text = platform.messageBoxes.first().text;
    EXPECT_TRUE(text.contains(QStringLiteral("speaker icon in the panel"))) << text.toStdString();
    for (const char* foreign : {"System Tray", "Taskbar", "Start button"})
        EXPECT_FALSE(text.contains(QLatin1String(foreign))) << foreign;
    EXPECT_EQ(platform.messageBoxes.first().style, 64);
    EXPECT_EQ(platform.messageBoxes.first().title, QStringLiteral("Sound Control Tip"));
    EXPECT_TRUE(store().isEmpty());
}

TEST_F(MouseSensitivity, IsCentredAndShowsEveryCaptionWhole) {
    expectCentredAndWhole(kMouse, {6345, 4905});
}

TEST_F(Mixer, IsCentredAndShowsEveryCaptionWhole) {
    expectCentredAndWhole(kMixer, {6645, 2895});
}

TEST_F(Monitors, ShowsTheStoredChoiceAndOkStoresTheChosenWord) {
    writeFile("[lumora]\nGradOn=1\nEveryMonitor=each\n");
    auto* f = open<frmMonitors>(kMonitors);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Monitors"));
    expectCaptions(f, {{"optPrimaryMonitor", "The primary monitor only (the others show the background)"},
                       {"optSameOnEvery", "The same picture on every monitor"},
                       {"optEachItsOwn", "Each monitor its own item of the play list"},
                       {"Command2", "&OK"},
                       {"Command1", "&Cancel"}});
    EXPECT_EQ(selectedOptions(f), QStringList{"optEachItsOwn"});
    click(f, "optSameOnEvery");
    EXPECT_EQ(selectedOptions(f), QStringList{"optSameOnEvery"});
    click(f, "Command2");
    ASSERT_TRUE(closed(kMonitors));
    EXPECT_EQ(fileText(), QByteArray("[lumora]\nGradOn=1\nEveryMonitor=Same\n"));

    // A word the players do not know shows the primary monitor, and OK stores that properly.
    writeFile("[lumora]\nEveryMonitor=Sideways\n");
    f = open<frmMonitors>(kMonitors);
    EXPECT_EQ(selectedOptions(f), QStringList{"optPrimaryMonitor"});
    choose(f, "mnuExitAndSaveChanges");
    ASSERT_TRUE(closed(kMonitors));
    EXPECT_EQ(fileText(), QByteArray("[lumora]\nEveryMonitor=Primary\n"));
}

TEST_F(Monitors, CancelEscapeAndTheCloseBoxesStoreNothing) {
    writeFile("[lumora]\nEveryMonitor=Same\n");
    const std::vector<std::function<void(QWidget*)>> exits = {
        [this](QWidget* f) { click(f, "Command1"); },
        [this](QWidget* f) { click(f, "Label1"); },
        [this](QWidget* f) { choose(f, "mnuExitWithoutSavingChanges"); },
        [](QWidget* f) { QTest::keyClick(f, Qt::Key_Escape); },
        [](QWidget* f) { f->close(); },
    };
    for (size_t i = 0; i < exits.size(); ++i) {
        auto* f = open<frmMonitors>(kMonitors);
        ASSERT_EQ(selectedOptions(f), QStringList{"optSameOnEvery"}) << i;
        click(f, "optEachItsOwn");
        exits[i](f);
        EXPECT_TRUE(closed(kMonitors)) << i;
        EXPECT_EQ(fileText(), QByteArray("[lumora]\nEveryMonitor=Same\n")) << i;
    }
}

// A settings file left alone (too large to be Lumora's) is not replaced: OK says the choice was not
// saved and keeps the dialog, as the mouse dialog does.
TEST_F(Monitors, ASettingsFileLeftAloneIsNotWrittenAndOkSaysSo) {
    QByteArray big = "[lumora]\nEveryMonitor=Each\n";
    big += QByteArray(platform::kMaxSettingsFileBytes, ';');
    writeFile(big);
    testing::internal::CaptureStderr();
    auto* f = open<frmMonitors>(kMonitors);
    EXPECT_EQ(selectedOptions(f), QStringList{"optPrimaryMonitor"}) << "the defaults are in use";
    click(f, "optSameOnEvery");
    click(f, "Command2");
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(platform.messageBoxes.size(), 1);
    EXPECT_EQ(platform.messageBoxes.first().text,
              QStringLiteral("The changes were not saved.\r\n\r\nEveryMonitor was not saved: the settings file %1 "
                             "is larger than 1 MiB and is left as it is")
                  .arg(path));
    EXPECT_EQ(platform.messageBoxes.first().style, 48);
    EXPECT_TRUE(forms().find(kMonitors));
    click(f, "Command1");
    EXPECT_TRUE(closed(kMonitors));
    EXPECT_EQ(fileText(), big);
}

TEST_F(Monitors, IsCentredAndShowsEveryCaptionWhole) {
    expectCentredAndWhole(kMonitors, {6345, 2895});
}

TEST_F(Monitors, TheChoicesAreOneTabStopAndTheArrowsMoveTheChoice) {
    // Fresh settings: the keyboard starts on the primary monitor, which is selected; the group of
    // choices is one stop.
    EXPECT_EQ(tabStopsShowingTheFocus(kMonitors), QStringList({"optPrimaryMonitor", "Command2", "Command1"}));
    QWidget* f = forms().find(kMonitors);
    EXPECT_TRUE(selected(f, "optPrimaryMonitor"));

    auto* primary = control<QWidget>(f, "optPrimaryMonitor");
    primary->setFocus(Qt::TabFocusReason);
    QTest::keyClick(primary, Qt::Key_Down);
    EXPECT_EQ(selectedOptions(f), QStringList{"optSameOnEvery"});
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("optSameOnEvery"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(selectedOptions(f), QStringList{"optEachItsOwn"});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(selectedOptions(f), QStringList{"optPrimaryMonitor"}) << "the arrows go round";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_EQ(selectedOptions(f), QStringList{"optEachItsOwn"});

    // The stop follows the choice, both ways round.
    QStringList forward;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        forward << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(forward, QStringList({"Command2", "Command1", "optEachItsOwn"}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("optEachItsOwn"));

    // OK stores the choice the arrows made.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(closed(kMonitors));
    EXPECT_EQ(fileText(), QByteArray("[lumora]\nEveryMonitor=Each\n"));
}
