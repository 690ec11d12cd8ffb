#include "support/PlayerFixture.h"

#include "playlist/PlayListFile.h"
#include "runtime/FormRegistry.h"
#include "shell/SystemServices.h"
#include "shell/VIDEOSCR.h"

namespace testsupport {

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

void PlayerFixture::setting(const QString& key, const QString& value) { platform.settingsBackend().write(key, value); }

QString PlayerFixture::stored(const QString& key) const {
    auto v = const_cast<platform::InProcessPlatform&>(platform).settingsBackend().read(key);
    return v.value_or(QStringLiteral("<missing>"));
}

void PlayerFixture::writePlayList(const QStringList& entries) {
    ::writePlayList(playListFilePath(), PlayListData{QStringLiteral("1000"), entries});
}

FakeMediaPlayer* PlayerFixture::player() const { return players.isEmpty() ? nullptr : players.last().data(); }

} // namespace testsupport
