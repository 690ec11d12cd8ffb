#include "base/GradientBands.h"

#include "base/Convert.h"
#include "base/Random.h"
#include <QtGlobal>

namespace playback {

namespace {
constexpr int kBands = 63;
constexpr int kStep = 4;
} // namespace

QVector<GradientBand> gradientBands(int32_t formWidthTwips, int32_t formHeightTwips, int32_t red, int32_t green,
                                    int32_t blue) {
    const int32_t bandHeight = runtime::toInt32(formHeightTwips / 900.0);
    // The width in twips, taken as pixels, reaches past any right edge.
    const int32_t right = formWidthTwips;
    QVector<GradientBand> bands;
    bands.reserve(kBands);
    int32_t top = 0;
    for (int i = 0; i < kBands; ++i) {
        bands.append({QRect(0, top, right, bandHeight), {qBound(0, red, 255), qBound(0, green, 255), qBound(0, blue, 255)}});
        red = qMax(0, red - kStep);
        green = qMax(0, green - kStep);
        blue = qMax(0, blue - kStep);
        top += bandHeight;
    }
    return bands;
}

StartColour nextGradientColour(int16_t redLevel, int16_t greenLevel, int16_t blueLevel) {
    runtime::Random::randomize();
    const float r1 = runtime::Random::next();
    const float r2 = runtime::Random::next();
    const float r3 = runtime::Random::next();
    auto component = [](int16_t level, float draw) { return runtime::toInt32(static_cast<float>(level) * draw); };
    return {component(redLevel, r1), component(greenLevel, r2), component(blueLevel, r3)};
}

} // namespace playback
