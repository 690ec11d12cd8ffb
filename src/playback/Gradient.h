#pragma once
#include "base/GradientBands.h"
#include <QColor>
#include <cstdint>

namespace playback {

class PlayerForm;

inline QColor toColour(const BandColour& c) { return QColor(c.red, c.green, c.blue); }

// Paints the gradient onto the form's background.
void DrawGradient(PlayerForm* form, int32_t red, int32_t green, int32_t blue, bool topToBottom);

} // namespace playback
