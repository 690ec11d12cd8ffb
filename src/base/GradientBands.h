#pragma once
#include <QRect>
#include <QVector>
#include <cstdint>

namespace playback {

struct BandColour {
    int32_t red, green, blue; // 0 to 255
    bool operator==(const BandColour&) const = default;
};

// One band of the gradient background.
struct GradientBand {
    QRect rect; // in the form's pixels
    BandColour colour;
};

// The 63 bands from the start colour at the top, each 4 darker than the one above, down to black.
// The band height is the form's height in twips divided by 900; the bands span the whole width.
// Everything is held in 32 bits, so any screen is covered, however large.
QVector<GradientBand> gradientBands(int32_t formWidthTwips, int32_t formHeightTwips, int32_t red, int32_t green,
                                    int32_t blue);

// The start colour of the next gradient: each level (0 to 255) times a fresh draw, reseeded first,
// rounded half to even.
struct StartColour {
    int32_t red, green, blue;
};
StartColour nextGradientColour(int16_t redLevel, int16_t greenLevel, int16_t blueLevel);

} // namespace playback
