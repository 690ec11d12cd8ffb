#include "playback/Rotation.h"

#include "playback/PlayerForm.h"
#include "playback/MonitorPicks.h"
#include "base/PlayOrder.h"
#include "base/Random.h"
#include "playlist/PlayList.h"
#include "base/Guard.h"
#include "base/RuntimeError.h"
#include "platform/Settings.h"

using runtime::skipOnError;

namespace playback {

namespace {

// What the other monitors play now, for a monitor that plays items of its own: the run's other
// player forms, and in a screen-saver daemon's window the copies of the program on other monitors.
QStringList shownElsewhere(PlayerForm& form) {
    QStringList shown = filesShownElsewhere(form.singleFileMode);
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
    platform::MediaPlayer* own = form.WindowsMediaPlayer1;
    PlayerForm* lead = form.lead();
    if (own && !own->isMirror() && lead && lead->WindowsMediaPlayer1) {
        const QString item = lead->WindowsMediaPlayer1->URL();
        skipOnError([&] {
            if (own->URL() != item) own->setURL(item);
            else if (own->playState() == platform::MediaPlayer::Stopped) own->play();
        });
    }
    skipOnError([&] { form.Timer4->setEnabled(true); });
    return true;
}

// The same picture on every monitor, in a daemon's window: a newer pick of another copy plays here
// as well. Its place in the play list; -1 when there is none to follow, or it is on no list of this one's.
qsizetype followPickElsewhere(PlayerForm& form) {
    qsizetype followed = -1;
    skipOnError([&] {
        platform::MediaPlayer* player = form.WindowsMediaPlayer1;
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

// Each, in order: every monitor walks the whole list from a start of its own, the starts spread
// evenly over the list, so that monitors moving on together never show the same entry. Taken at the
// form's first in-order pick.
void takeSpreadStart(PlayerForm& form) {
    if (form.spreadTaken) return;
    form.spreadTaken = true;
    const bool companion = form.isCompanion();
    if (companion && form.monitorUse() != MonitorUse::Each) return;
    const auto [place, monitors] = companion ? form.placeInRun() : placeAmongMonitors(form.singleFileMode);
    const int count = playList().count();
    const int offset = spreadOffset(place, monitors, count);
    if (offset == 0) return;
    // A companion goes by the entry the lead shows now, which the lead's load reached with two
    // in-order picks, as this form's load does; a copy on another monitor by its own start, which is
    // the first copy's as well.
    int base = form.playListPosition;
    if (companion && form.lead()) base = form.lead()->playListPosition - 2;
    form.playListPosition = static_cast<int16_t>(((base + offset) % count + count) % count);
}

} // namespace

void PlayNextInOrder(PlayerForm& form) {
    if (followsLead(form)) return;
    // The order goes on after the followed entry, should this monitor pick the next one itself.
    if (const qsizetype followed = followPickElsewhere(form); followed >= 0) {
        form.playListPosition = static_cast<int16_t>(followed + 1);
        skipOnError([&] { form.Timer4->setEnabled(true); });
        return;
    }
    // Each monitor keeps its own position in the list.
    PlayerForm& owner = form;
    skipOnError([&] { takeSpreadStart(form); });
    skipOnError([&] {
        owner.playListPosition = wrappedPosition(owner.playListPosition, playList().count());
    });
    // Every monitor its own item: the entries the others show are passed over.
    skipOnError([&] {
        const QStringList shown = shownElsewhere(form);
        if (!shown.isEmpty())
            owner.playListPosition = positionNotShown(owner.playListPosition, playList().entries(), shown);
    });
    skipOnError([&] {
        const QString entry = playList().entry(owner.playListPosition);
        if (form.WindowsMediaPlayer1) form.WindowsMediaPlayer1->setURL(entry);
        publishPick(form.singleFileMode, entry);
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
    platform::MediaPlayer* player = form.WindowsMediaPlayer1;
    if (!player) throw runtime::RuntimeError(runtime::ErrorKind::Failed, QStringLiteral("no media player"));
    if (followPickElsewhere(form) >= 0) {
        settings::save(settings::Key::FileNotToRepeat, player->URL());
        form.Timer4->setEnabled(true);
        return;
    }
    const int count = list.count();
    const QStringList shown = shownElsewhere(form);
    if (!shown.isEmpty()) {
        // Other monitors play too: none of their files, where the list has others.
        const QString notToRepeat = settings::read(settings::Key::FileNotToRepeat);
        runtime::Random::randomize();
        const int index = randomIndexAvoiding(list.entries(), shown, notToRepeat, runtime::Random::next());
        player->setURL(list.entry(index < 0 ? 0 : index));
        settings::save(settings::Key::FileNotToRepeat, player->URL());
    } else {
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
    }
    publishPick(form.singleFileMode, player->URL());
    form.Timer4->setEnabled(true);
}

} // namespace playback
