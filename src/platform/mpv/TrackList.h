#pragma once
#include <QByteArray>

struct mpv_node;

namespace platform::mpv {

// What an open file holds, from libmpv's track list.
struct Tracks {
    // A video that is not a cover picture: the track libmpv picks by itself.
    bool video = false;
    // Its rotation in degrees clockwise, as its container says (0 when none).
    int rotation = 0;
    bool sound = false;
};

Tracks readTracks(const mpv_node& trackList);

// The video filter that turns a picture stored turned by `degrees` clockwise upright ("" for none).
QByteArray rotationFilter(int degrees);

} // namespace platform::mpv
