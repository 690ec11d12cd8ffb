#include "platform/mpv/TrackList.h"

#include <cstring>
#include <mpv/client.h>

namespace platform::mpv {

Tracks readTracks(const mpv_node& trackList) {
    Tracks tracks;
    if (trackList.format != MPV_FORMAT_NODE_ARRAY) return tracks;
    for (int i = 0; i < trackList.u.list->num; ++i) {
        const mpv_node& track = trackList.u.list->values[i];
        if (track.format != MPV_FORMAT_NODE_MAP) continue;
        bool video = false, sound = false, picture = false;
        int64_t rotation = 0;
        for (int k = 0; k < track.u.list->num; ++k) {
            const char* key = track.u.list->keys[k];
            const mpv_node& value = track.u.list->values[k];
            if (std::strcmp(key, "type") == 0 && value.format == MPV_FORMAT_STRING) {
                video = std::strcmp(value.u.string, "video") == 0;
                sound = std::strcmp(value.u.string, "audio") == 0;
            } else if (std::strcmp(key, "albumart") == 0 && value.format == MPV_FORMAT_FLAG) {
                picture = value.u.flag != 0;
            } else if (std::strcmp(key, "demux-rotation") == 0 && value.format == MPV_FORMAT_INT64) {
                rotation = value.u.int64;
            }
        }
        tracks.sound = tracks.sound || sound;
        if (video && !picture && !tracks.video) {
            tracks.video = true;
            tracks.rotation = int(((rotation % 360) + 360) % 360);
        }
    }
    return tracks;
}

QByteArray rotationFilter(int degrees) {
    degrees = ((degrees % 360) + 360) % 360;
    if (degrees == 0) return {};
    if (degrees == 90) return QByteArrayLiteral("lavfi=[transpose=clock]");
    if (degrees == 270) return QByteArrayLiteral("lavfi=[transpose=cclock]");
    if (degrees == 180) return QByteArrayLiteral("lavfi=[hflip,vflip]");
    // Any other angle turns the picture within a frame big enough to hold all of it.
    const QByteArray angle = QByteArray::number(degrees * 3.14159265358979 / 180.0, 'f', 6);
    return "lavfi=[rotate=a=" + angle + ":ow=rotw(" + angle + "):oh=roth(" + angle + ")]";
}

} // namespace platform::mpv
