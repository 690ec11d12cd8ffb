// Placeholder until the libmpv player lands.
#include "platform/mpv/MpvEngine.h"

namespace platform::mpv {
playback::MediaPlayer* MpvEngine::createPlayer(QWidget*) { return nullptr; }
}
