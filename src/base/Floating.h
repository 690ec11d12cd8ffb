#pragma once
#include <cstdint>
#include <QRect>

namespace playback {

// Where the player window lies inside its form, in the form's pixels. Kept in single precision, as
// the partial-screen sizes are fractions of the screen (one-fourth of 1024 x 768 is 563.2 x 422.4);
// the window itself is put at the nearest whole pixels.
struct PlayerPlace {
    float left = 8;
    float top = 8;
    float width = 32;
    float height = 32;

    QRect pixels() const;
};

// The display-mode flags in order of precedence, largest first.
struct DisplayModes {
    bool threeQuarters = false;
    bool oneHalf = false;
    bool oneFourth = true;
    bool oneEighth = false;
    bool oneSixteenth = false;
};

// The factor of the recorded screen width and height for the first mode that is on; 0 when none is.
double sizeFactor(const DisplayModes& modes);

// Sizes the player by the first mode that is on, from the recorded screen size in pixels; with no
// mode on it keeps its size.
void sizePlayer(PlayerPlace& place, const DisplayModes& modes, double recordedWidth, double recordedHeight);

// One step of the floating motion: move by the steps, then bounce off the form's edges. The player
// starts at 2 pixels a tick to the right; after the first bounce off a side it moves 1 pixel a tick
// sideways, and later bounces only turn it round. A player larger than the form drifts left (or up)
// for ever, as the far-edge rule wins on every tick.
struct FloatSteps {
    int16_t horizontal = 2;
    int16_t vertical = 1;
};
void floatStep(PlayerPlace& place, FloatSteps& steps, float formWidth, float formHeight);

// A random place inside the form: top from the first draw, left from the second, each in [0, 1).
void randomPlace(PlayerPlace& place, float formWidth, float formHeight, float firstDraw, float secondDraw);

} // namespace playback
