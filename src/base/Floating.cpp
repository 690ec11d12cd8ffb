#include "base/Floating.h"

#include "base/Convert.h"

namespace playback {

QRect PlayerPlace::pixels() const {
    auto whole = [](float v) { return static_cast<int>(runtime::roundHalfEven(v)); };
    return QRect(whole(left), whole(top), whole(width), whole(height));
}

double sizeFactor(const DisplayModes& modes) {
    if (modes.threeQuarters) return 0.9;
    if (modes.oneHalf) return 0.75;
    if (modes.oneFourth) return 0.55;
    if (modes.oneEighth) return 0.35;
    if (modes.oneSixteenth) return 0.25;
    return 0;
}

void sizePlayer(PlayerPlace& place, const DisplayModes& modes, double recordedWidth, double recordedHeight) {
    const double factor = sizeFactor(modes);
    if (factor == 0) return;
    place.width = static_cast<float>(recordedWidth * factor);
    place.height = static_cast<float>(recordedHeight * factor);
}

void floatStep(PlayerPlace& place, FloatSteps& steps, float formWidth, float formHeight) {
    place.left += steps.horizontal;
    place.top += steps.vertical;
    // The form's scale starts at 0, 0.
    if (place.left < 0.0f) steps.horizontal = 1;
    if (place.left + place.width > formWidth) steps.horizontal = -1;
    if (place.top < 0.0f) steps.vertical = 1;
    if (place.top + place.height > formHeight) steps.vertical = -1;
}

void randomPlace(PlayerPlace& place, float formWidth, float formHeight, float firstDraw, float secondDraw) {
    place.top = firstDraw * (formHeight - place.height);
    place.left = secondDraw * (formWidth - place.width);
}

} // namespace playback
