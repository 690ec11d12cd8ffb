#include "playback/Rotation.h"

#include "playback/PlayerForm.h"
#include "base/PlayOrder.h"
#include "base/Random.h"
#include "playlist/PlayList.h"
#include "base/Guard.h"
#include "base/RuntimeError.h"
#include "platform/Settings.h"

using runtime::skipOnError;

namespace playback {

namespace {

// What the run's other monitors play now, for a monitor that plays items of its own.
QStringList shownElsewhere(PlayerForm& form) {
    QStringList shown;
    if (form.monitorUse() != MonitorUse::Each) return shown;
    for (PlayerForm* other : form.runForms())
        if (other != &form && other->WindowsMediaPlayer1 && !other->WindowsMediaPlayer1->isMirror())
            shown << other->WindowsMediaPlayer1->URL();
    return shown;
}

// A companion showing the lead's picture plays what the lead plays: its mirror needs nothing, a
// player of its own is told the lead's item.
bool followsLead(PlayerForm& form) {
    if (!form.isCompanion() || form.monitorUse() != MonitorUse::Same) return false;
    MediaPlayer* own = form.WindowsMediaPlayer1;
    PlayerForm* lead = form.lead();
    if (own && !own->isMirror() && lead && lead->WindowsMediaPlayer1) {
        const QString item = lead->WindowsMediaPlayer1->URL();
        skipOnError([&] {
            if (own->URL() != item) own->setURL(item);
            else if (own->playState() == MediaPlayer::Stopped) own->play();
        });
    }
    skipOnError([&] { form.Timer4->setEnabled(true); });
    return true;
}

} // namespace

void PlayNextInOrder(PlayerForm& form) {
    if (followsLead(form)) return;
    // The monitors of a run take consecutive entries from one position.
    PlayerForm& owner = form.isCompanion() && form.lead() ? *form.lead() : form;
    const QStringList shown = shownElsewhere(form);
    skipOnError([&] {
        owner.playListPosition = wrappedPosition(owner.playListPosition, playList().count());
    });
    if (!shown.isEmpty())
        skipOnError([&] { owner.playListPosition = positionNotShown(owner.playListPosition, playList().entries(), shown); });
    skipOnError([&] {
        const QString entry = playList().entry(owner.playListPosition);
        if (form.WindowsMediaPlayer1) form.WindowsMediaPlayer1->setURL(entry);
    });
    skipOnError([&] {
        if (owner.playListPosition == 32767) throw runtime::RuntimeError(runtime::ErrorKind::Overflow, QStringLiteral("Overflow"));
        owner.playListPosition = static_cast<int16_t>(owner.playListPosition + 1);
    });
    skipOnError([&] { form.Timer4->setEnabled(true); });
}

void PlayRandomPick(PlayerForm& form) {
    if (followsLead(form)) return;
    const PlayListModel& list = playList();
    MediaPlayer* player = form.WindowsMediaPlayer1;
    if (!player) throw runtime::RuntimeError(runtime::ErrorKind::Failed, QStringLiteral("no media player"));
    const int count = list.count();
    const QStringList shown = shownElsewhere(form);
    if (!shown.isEmpty()) {
        // Other monitors play too: none of their files, where the list has others.
        const QString notToRepeat = settings::read(settings::Key::FileNotToRepeat);
        runtime::Random::randomize();
        const int index = randomIndexAvoiding(list.entries(), shown, notToRepeat, runtime::Random::next());
        player->setURL(list.entry(index < 0 ? 0 : index));
        settings::save(settings::Key::FileNotToRepeat, player->URL());
        form.Timer4->setEnabled(true);
        return;
    }
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
