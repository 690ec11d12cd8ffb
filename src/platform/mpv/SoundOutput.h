#pragma once
#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

namespace platform::mpv {

// What the machine offers to play sound on, as far as can be seen without opening anything. Each
// of libmpv's audio outputs, tried where there is nothing to play on, has its library complain on
// stderr (ALSA, PipeWire) before libmpv gives up.
struct SoundDevices {
    bool pipewire = false; // a PipeWire server's socket
    bool pulse = false;    // a PulseAudio server: its socket, an address given, or one that starts itself
    bool alsa = false;     // a sound card's playback device, or an ALSA configuration of the user's
    bool jack = false;     // the user's JACK server's socket
};

// Looks for sound servers' sockets and sound cards' playback devices with the environment `env`,
// system paths taken under `root` ("" for this machine's own).
SoundDevices findSoundDevices(const QProcessEnvironment& env, const QString& root = QString());

// libmpv's `ao` list for what was found: those outputs in libmpv's own order, then the null
// output, so that a file still plays out its length, silently, when none of them opens. "null"
// alone where there is nothing to play on.
QByteArray audioOutputs(const SoundDevices& devices);

} // namespace platform::mpv
