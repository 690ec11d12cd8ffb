#pragma once

class QWidget;

namespace playback {

// Paints the 63-band gradient on a player form. The bands come with the gradient background; until
// then the form keeps its back colour.
void DrawGradient(QWidget* form, int red, int green, int blue, bool topToBottom);

} // namespace playback
