#include "playback/Gradient.h"

#include "playback/PlayerForm.h"
#include "runtime/Twips.h"

namespace playback {

void DrawGradient(PlayerForm* form, int32_t red, int32_t green, int32_t blue, bool) {
    if (!form) return;
    const int32_t width = runtime::pixelsToTwips(form->width());
    const int32_t height = runtime::pixelsToTwips(form->height());
    for (const GradientBand& band : gradientBands(width, height, red, green, blue))
        form->fillBackground(band.rect, toColour(band.colour));
}

} // namespace playback
