#pragma once
// What every end-to-end test of the program's windows does: finds its windows on the X server, waits
// for them, clicks and types into them, reads back its settings and saves screenshots; and lays the
// same forms out in this process to learn where their controls sit.
#include "X11Session.h"
#include "support/SettingKeys.h"
#include "support/TestFiles.h"
#include "support/inprocess/InProcessPlatform.h"
#include <QMap>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace runtime {
class Form;
}

namespace e2e {

// The configuration dialog's caption, and those of the play-list editor and the media-source chooser.
inline const QString kConfigureDialog = QStringLiteral("Lumora Video & Multimedia Screensaver");
inline const QString kEditor = QStringLiteral("Playlist Configuration");
inline const QString kChooser = QStringLiteral("Choose or Search for a Media File");

// Where controls sit in their windows: the same forms laid out here, with the same settings and
// fonts, on the test's own offscreen screen.
class FormLayout {
public:
    // Settings as "Key=value" lines.
    explicit FormLayout(const QStringList& settings);
    explicit FormLayout(const QMap<QString, QString>& settings);
    ~FormLayout();
    FormLayout(const FormLayout&) = delete;
    FormLayout& operator=(const FormLayout&) = delete;
    // The named form loaded and shown; null when there is no such form.
    runtime::Form* shown(const QString& form);
    // The centre of the named control, relative to the form's top-left corner.
    QPoint centreOf(const QString& form, const QString& control);
    // The named control's place, relative to the form's top-left corner.
    QRect rectOf(const QString& form, const QString& control);
    // The centre of a row of the form's named list; null when the row is not there.
    QPoint rowOf(const QString& form, const QString& list, int row);

private:
    void install();
    platform::InProcessPlatform m_platform;
};

// The fixture of the tests that drive the program's windows on the test X server.
class ScreenTest : public ::testing::Test {
protected:
    static constexpr int kWindowWaitMs = 8000;

    void SetUp() override;
    // The X server the test drives; a fixture with a server of its own answers that one.
    virtual X11Session& x() { return X11Session::instance(); }

    // The first mapped window with the caption; null when there is none.
    QRect windowNamed(const QString& name);
    bool shown(const QString& name);
    bool waitShown(const QString& name, int ms = kWindowWaitMs);
    bool waitGone(const QString& name, int ms = kWindowWaitMs);
    // Waits until the screen stops changing (a window drawn, a click or key handled); false when it
    // still changed after ms.
    bool settle(int ms = 2000);
    // Waits for the named window and for the screen to settle; its place, null when it never showed.
    QRect waitDrawn(const QString& name, int ms = kWindowWaitMs);
    // Starts /c with the extra "NAME=value" environment, clicks the splash away and waits for the
    // dialog; the pointer then rests on its banner so that keys reach it.
    QRect openDialog(ProgramRun& run, const QStringList& env = {});
    // Moves the pointer to a point of a window (relative to its top-left corner).
    void pointAt(const QRect& window, const QPoint& p);
    void pointAt(int screenX, int screenY);
    // Clicks a point of a window and waits until the program has handled it.
    void click(const QRect& window, const QPoint& p);
    // Keys one after another to the window under the pointer, each handled before the next.
    void keys(const QStringList& keys);
    // One key, not waited on: for one that starts something that keeps the screen changing.
    void press(const QString& key);
    // The same with the pointer on the window's title strip first.
    void keysAt(const QRect& window, const QStringList& keys);
    // The colours the centre of the screen shows, each time it changes, until `count` of `colours`
    // are seen, the run ends or ms pass.
    QStringList coloursSeen(ProgramRun& run, const QStringList& colours, int count, int ms);
    // The settings file as key and value.
    QMap<QString, QString> settings(ProgramRun& run);
    // The run ended by itself within ms, with exit code 0.
    bool endsCleanly(ProgramRun& run, int ms = kWindowWaitMs);
    // A screenshot saved in the build folder as e2e-<name>.png.
    void shot(const QString& name);
};

// The same, with the pointer resting in the screen's top-left corner, on the background: a floating
// player starts at 8, 8, just beside it.
class PointerInCornerTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        if (HasFatalFailure()) return;
        pointAt(3, 3);
    }
};

} // namespace e2e

// Every end-to-end test names settings and the players' form as the other tests do.
using settings::Key;
using testsupport::keyLine;
using testsupport::keyName;
using testsupport::kMainForm;
