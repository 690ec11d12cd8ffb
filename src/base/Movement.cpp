#include "base/Movement.h"

#include <cmath>
#include "base/Convert.h"

namespace playback {

bool movementEnds(LastMouse& last, double x, double y, int16_t sensitivity) {
    const float distance = std::fabs(static_cast<float>(x) - static_cast<float>(last.x));
    const bool ends = distance > static_cast<float>(sensitivity) && last.x > 0 && last.y > 0;
    last.x = runtime::toInt16(x);
    last.y = runtime::toInt16(y);
    return ends;
}

} // namespace playback
