#pragma once
#include <cstdint>

namespace playback {

// The last pointer position seen by one source of mouse-move events.
struct LastMouse {
    int16_t x = 0;
    int16_t y = 0;
};

// Only horizontal movement counts, and only once a position away from the top row and left column
// has been recorded; the event's position is recorded in every case. True when the screen saver
// should end. Positions that do not fit 16 bits are an overflow error, as the recording would be.
bool movementEnds(LastMouse& last, double x, double y, int16_t sensitivity);

} // namespace playback
