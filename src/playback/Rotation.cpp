#include "playback/Rotation.h"

#include "playback/PlayerForm.h"
#include "base/PlayOrder.h"
#include "playlist/PlayList.h"
#include "base/Guard.h"
#include "base/RuntimeError.h"
#include "platform/Settings.h"

using runtime::skipOnError;

namespace playback {

void PlayNextInOrder(PlayerForm& form) {
    skipOnError([&] {
        form.playListPosition = wrappedPosition(form.playListPosition, playList().count());
    });
    skipOnError([&] {
        const QString entry = playList().entry(form.playListPosition);
        if (form.WindowsMediaPlayer1) form.WindowsMediaPlayer1->setURL(entry);
    });
    skipOnError([&] {
        if (form.playListPosition == 32767) throw runtime::RuntimeError(runtime::ErrorKind::Overflow, QStringLiteral("Overflow"));
        form.playListPosition = static_cast<int16_t>(form.playListPosition + 1);
    });
    skipOnError([&] { form.Timer4->setEnabled(true); });
}

void PlayRandomPick(PlayerForm& form) {
    const PlayListModel& list = playList();
    MediaPlayer* player = form.WindowsMediaPlayer1;
    if (!player) throw runtime::RuntimeError(runtime::ErrorKind::Failed, QStringLiteral("no media player"));
    const int count = list.count();
    for (;;) {
        const QString notToRepeat = settings::read(settings::Key::FileNotToRepeat);
        player->setURL(list.entry(randomIndex(count)));
        const QString played = player->URL();
        if (played != notToRepeat) {
            settings::save(settings::Key::FileNotToRepeat, played);
            break;
        }
        // Nothing else to choose: keep the drawn entry playing rather than draw for ever.
        if (!anotherEntryThan(list.entries(), notToRepeat)) break;
    }
    form.Timer4->setEnabled(true);
}

} // namespace playback
