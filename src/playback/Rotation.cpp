#include "playback/Rotation.h"

#include "playback/PlayerForm.h"
#include "playlist/frmFileLister.h"
#include "runtime/Guard.h"
#include "runtime/Random.h"
#include "runtime/RuntimeError.h"
#include "platform/Settings.h"

using runtime::skipOnError;

namespace playback {

static frmFileLister& playList() {
    frmFileLister* lister = fileLister();
    if (!lister) throw runtime::RuntimeError(runtime::ErrorKind::Failed, QStringLiteral("no play list"));
    return *lister;
}

void PlayNextInOrder(PlayerForm& form) {
    skipOnError([&] {
        if (form.playListPosition == playList().listCount()) form.playListPosition = 0;
    });
    skipOnError([&] {
        const QString entry = playList().listItem(form.playListPosition);
        if (form.WindowsMediaPlayer1) form.WindowsMediaPlayer1->setURL(entry);
    });
    skipOnError([&] {
        if (form.playListPosition == 32767) throw runtime::RuntimeError(runtime::ErrorKind::Overflow, QStringLiteral("Overflow"));
        form.playListPosition = static_cast<int16_t>(form.playListPosition + 1);
    });
    skipOnError([&] { form.Timer4->setEnabled(true); });
}

void PlayRandomPick(PlayerForm& form) {
    frmFileLister& list = playList();
    MediaPlayer* player = form.WindowsMediaPlayer1;
    if (!player) throw runtime::RuntimeError(runtime::ErrorKind::Failed, QStringLiteral("no media player"));
    const int count = list.listCount();
    for (;;) {
        const QString notToRepeat = GetSetting(QStringLiteral("FileNotToRepeat"), QString());
        runtime::Random::randomize();
        const int index = static_cast<int>(static_cast<float>(count) * runtime::Random::next());
        player->setURL(list.listItem(index));
        const QString played = player->URL();
        if (played != notToRepeat) {
            SaveSetting(QStringLiteral("FileNotToRepeat"), played);
            break;
        }
        bool anotherExists = false;
        for (int i = 0; i < count && !anotherExists; ++i) anotherExists = list.listItem(i) != notToRepeat;
        // Nothing else to choose: keep the drawn entry playing rather than draw for ever.
        if (!anotherExists) break;
    }
    form.Timer4->setEnabled(true);
}

} // namespace playback
