#include "playlist/PlayList.h"

#include "platform/Platform.h"

namespace {

struct HeldList {
    PlayListModel* model = new PlayListModel; // never freed: views may hold it until the program ends
    bool read = false;
};

HeldList& held() {
    static HeldList list;
    return list;
}

} // namespace

QString playListFilePath() {
    return playListPathIn(platform::system().programFolder(), platform::system().userDataFolder());
}

PlayListModel& playList() {
    HeldList& list = held();
    if (!list.read) {
        list.read = true;
        list.model->load(readPlayList(playListFilePath()));
    }
    return *list.model;
}

void forgetPlayList() {
    HeldList& list = held();
    list.read = false;
    list.model->load({});
}
