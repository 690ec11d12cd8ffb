#pragma once
#include "platform/Platform.h"
#include "platform/mpv/SurfaceChoice.h"

namespace platform::mpv {

struct MpvOptions {
    bool nullAudio = false; // ao=null: tests, and machines without sound
    bool untimed = false;   // decode as fast as possible: tests reach the end of a clip quickly
    // An item that has not started playing by then is given up and counts as ended: a hung mount
    // or a stream that never answers must not hold the rotation up.
    int startLimitMs = 10000;
    // Automatic: OpenGL on a hardware renderer, else software (see chosenSurface).
    Surface surface = Surface::Automatic;
    // In software on X: frames go from memory shared with the X server straight into a child
    // window. Off (or where that cannot be), the widget paints them from images.
    bool sharedMemory = true;
};

// Creates libmpv players, drawing with OpenGL or in software.
class MpvEngine : public MediaEngine {
public:
    explicit MpvEngine(MpvOptions options = {}) : m_options(options) {}
    platform::MediaPlayer* createPlayer(QWidget* parent) override;
    const MpvOptions& options() const { return m_options; }

private:
    MpvOptions m_options;
};

} // namespace platform::mpv
