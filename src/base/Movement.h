#pragma once
#include <cstdint>

namespace playback {

// Where the pointer was when a run first learnt of it, in desktop coordinates, shared by every window
// of the run: the players, the floating player's own window, the covers and companions on other
// monitors. Jitter within the sensitivity never ends the run; a move further than that from the
// baseline, across or up and down, does, however the moves arrived (one by one or merged).
class PointerBaseline {
public:
    // The first position only sets the baseline. True when the screen saver should end.
    bool movedFar(double x, double y, int16_t sensitivity);
    // Where the pointer rested when the run began, where the window system tells it.
    void set(double x, double y);
    bool isSet() const { return m_set; }

private:
    bool m_set = false;
    double m_x = 0;
    double m_y = 0;
};

} // namespace playback
