#include "platform/mpv/MpvEngine.h"

#include "platform/mpv/MpvPlayer.h"

namespace platform::mpv {

platform::MediaPlayer* MpvEngine::createPlayer(QWidget* parent) {
    return new MpvPlayer(parent, m_options);
}

} // namespace platform::mpv
