#pragma once
#include "base/SettingsKeys.h"
#include "support/FakeMediaPlayer.h"
#include "support/inprocess/InProcessPlatform.h"
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <gtest/gtest.h>

namespace testsupport {

// A pointer movement sent straight to the widget, whatever the test platform's pointer did before
// (QTest::mouseMove goes through the platform's pointer, which earlier tests leave anywhere).
void sendMouseMove(QWidget* widget, QPoint at);

// An in-process platform whose players are fakes, a play list written to the playlist file, and
// the program's forms registered.
class PlayerFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the text as stored, whatever the key's type: tests give odd values on purpose.
    void setting(settings::KeyRef key, const QString& value);
    QString stored(const QString& key) const;
    void writePlayList(const QStringList& entries);
    // Every fake player created so far; the last one belongs to the newest player form.
    FakeMediaPlayer* player() const;

    platform::InProcessPlatform platform;
    QList<QPointer<FakeMediaPlayer>> players;
};

} // namespace testsupport
