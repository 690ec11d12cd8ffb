#include "support/PlayerFixture.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

#include "base/PlayListFile.h"
#include "playlist/PlayList.h"
#include "runtime/FormRegistry.h"
#include "platform/SystemServices.h"
#include "shell/VIDEOSCR.h"

namespace testsupport {

void sendMouseMove(QWidget* widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

void PlayerFixture::SetUp() {
    platform.install();
    platform.playerFactory = [this](QWidget* parent) {
        auto* p = new FakeMediaPlayer(parent);
        players << p;
        return p;
    };
    PlatformId = 0;
    registerProgramForms();
}

void PlayerFixture::TearDown() {
    runtime::forms().reset();
    platform::install(platform::Platform{});
}

void PlayerFixture::setting(settings::KeyRef key, const QString& value) {
    platform.settingsBackend().write(settings::nameOf(key), value);
}

QString PlayerFixture::stored(const QString& key) const {
    auto v = const_cast<platform::InProcessPlatform&>(platform).settingsBackend().read(key);
    return v.value_or(QStringLiteral("<missing>"));
}

void PlayerFixture::writePlayList(const QStringList& entries) {
    ::writePlayList(playListFilePath(), PlayListData{QStringLiteral("1000"), entries});
}

FakeMediaPlayer* PlayerFixture::player() const { return players.isEmpty() ? nullptr : players.last().data(); }

} // namespace testsupport
