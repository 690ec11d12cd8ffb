#include "playback/MonitorPicks.h"

#include "base/SharedPicks.h"
#include <QDir>
#include <cstdint>
#include <memory>

namespace playback {

namespace {

// Copies started together by the daemon load within a second or two of each other; a pick older
// than this belongs to an earlier item.
constexpr int kFollowWithinMs = 5000;

struct Sharing {
    MonitorUse use = MonitorUse::Primary;
    std::unique_ptr<SharedPicks> picks;
    // The pick last handed out to follow, published with its own time when it is played.
    std::optional<SharedPicks::Pick> following;
    std::pair<int, int> place{0, 1};
};

Sharing& sharing() {
    static Sharing s;
    return s;
}

SharedPicks* picksFor(bool singleFileMode, MonitorUse use) {
    Sharing& s = sharing();
    if (singleFileMode || s.use != use) return nullptr;
    return s.picks.get();
}

} // namespace

void sharePicksWithOtherMonitors(MonitorUse use, const QString& display) {
    Sharing& s = sharing();
    s = Sharing{};
    if (use == MonitorUse::Primary) return;
    const QString folder = SharedPicks::runtimeFolder();
    if (folder.isEmpty()) return;
    s.use = use;
    s.picks = std::make_unique<SharedPicks>(QDir(folder).filePath(SharedPicks::fileName(display)));
}

void setPlaceAmongMonitors(int place, int monitors) {
    Sharing& s = sharing();
    if (s.use != MonitorUse::Each || monitors < 1 || place < 0 || place >= monitors) return;
    s.place = {place, monitors};
}

std::pair<int, int> placeAmongMonitors(bool singleFileMode) {
    if (!picksFor(singleFileMode, MonitorUse::Each)) return {0, 1};
    return sharing().place;
}

QStringList filesShownElsewhere(bool singleFileMode) {
    SharedPicks* picks = picksFor(singleFileMode, MonitorUse::Each);
    return picks ? picks->filesShownElsewhere() : QStringList();
}

void publishPick(bool singleFileMode, const QString& file) {
    Sharing& s = sharing();
    if (singleFileMode || !s.picks) return;
    std::optional<int64_t> pickedAt;
    if (s.following && s.following->file == file) pickedAt = s.following->pickedAtMs;
    s.following.reset();
    s.picks->publish(file, pickedAt);
}

std::optional<QString> pickToFollow(bool singleFileMode, const QString& playingNow) {
    SharedPicks* picks = picksFor(singleFileMode, MonitorUse::Same);
    if (!picks) return std::nullopt;
    Sharing& s = sharing();
    s.following = picks->newerPick(playingNow, kFollowWithinMs);
    if (!s.following) return std::nullopt;
    return s.following->file;
}

} // namespace playback
