#include "base/Movement.h"

#include <cmath>

namespace playback {

void PointerBaseline::set(double x, double y) {
    m_set = true;
    m_x = x;
    m_y = y;
}

bool PointerBaseline::movedFar(double x, double y, int16_t sensitivity) {
    if (!m_set) {
        set(x, y);
        return false;
    }
    // A negative sensitivity from a hand-edited file counts as none.
    const double allowed = sensitivity < 0 ? 0.0 : double(sensitivity);
    return std::fabs(x - m_x) > allowed || std::fabs(y - m_y) > allowed;
}

} // namespace playback
