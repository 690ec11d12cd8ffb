#include "playback/Rotation.h"

#include "playback/PlayerForm.h"
#include "playback/MonitorPicks.h"
#include "base/PlayOrder.h"
#include "playlist/PlayList.h"
#include "base/Guard.h"
#include "base/RuntimeError.h"
#include "platform/Settings.h"

using runtime::skipOnError;

namespace playback {

namespace {

// The same picture on every monitor: a newer pick of another monitor plays here as well. Its place
// in the play list; -1 when there is none to follow, or it is on no list of this one's.
qsizetype followPickElsewhere(PlayerForm& form) {
    qsizetype followed = -1;
    skipOnError([&] {
        MediaPlayer* player = form.WindowsMediaPlayer1;
        if (!player) return;
        const std::optional<QString> file = pickToFollow(form.singleFileMode, player->URL());
        if (!file) return;
        const qsizetype at = playList().entries().indexOf(*file);
        if (at < 0) return;
        player->setURL(*file);
        publishPick(form.singleFileMode, *file);
        followed = at;
    });
    return followed;
}

} // namespace

void PlayNextInOrder(PlayerForm& form) {
    // The order goes on after the followed entry, should this monitor pick the next one itself.
    if (const qsizetype followed = followPickElsewhere(form); followed >= 0) {
        form.playListPosition = static_cast<int16_t>(followed + 1);
        skipOnError([&] { form.Timer4->setEnabled(true); });
        return;
    }
    skipOnError([&] {
        form.playListPosition = wrappedPosition(form.playListPosition, playList().count());
    });
    // Every monitor its own item: the entries the others show are passed over.
    skipOnError([&] {
        const QStringList elsewhere = filesShownElsewhere(form.singleFileMode);
        if (!elsewhere.isEmpty())
            form.playListPosition = firstNotShownFrom(form.playListPosition, playList().entries(), elsewhere);
    });
    skipOnError([&] {
        const QString entry = playList().entry(form.playListPosition);
        if (form.WindowsMediaPlayer1) form.WindowsMediaPlayer1->setURL(entry);
        publishPick(form.singleFileMode, entry);
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
    if (followPickElsewhere(form) >= 0) {
        settings::save(settings::Key::FileNotToRepeat, player->URL());
        form.Timer4->setEnabled(true);
        return;
    }
    const int count = list.count();
    // Every monitor its own item: drawn among the entries the others do not show, while there are any.
    const QStringList elsewhere = filesShownElsewhere(form.singleFileMode);
    const QStringList drawn =
        elsewhere.isEmpty() ? QStringList() : entriesNotShown(list.entries(), elsewhere);
    for (;;) {
        const QString notToRepeat = settings::read(settings::Key::FileNotToRepeat);
        player->setURL(drawn.isEmpty() ? list.entry(randomIndex(count))
                                       : drawn.at(randomIndex(int(drawn.size()))));
        const QString played = player->URL();
        if (played != notToRepeat) {
            settings::save(settings::Key::FileNotToRepeat, played);
            break;
        }
        // Nothing else to choose: keep the drawn entry playing rather than draw for ever.
        if (!anotherEntryThan(drawn.isEmpty() ? list.entries() : drawn, notToRepeat)) break;
    }
    publishPick(form.singleFileMode, player->URL());
    form.Timer4->setEnabled(true);
}

} // namespace playback
