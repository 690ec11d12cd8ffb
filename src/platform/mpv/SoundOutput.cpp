#include "platform/mpv/SoundOutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::mpv {

namespace {

// Past this, a file is not a client configuration worth reading.
constexpr qint64 kLongestConfiguration = 64 * 1024;

bool exists(const QString& path) { return !path.isEmpty() && QFileInfo::exists(path); }

QString configHome(const QProcessEnvironment& env) {
    const QString config = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (!config.isEmpty()) return config;
    const QString home = env.value(QStringLiteral("HOME"));
    return home.isEmpty() ? QString() : home + QStringLiteral("/.config");
}

// A PulseAudio client configuration that names a server: libpulse goes there, wherever it is.
bool namesAPulseServer(const QString& path) {
    // A pipe of that name would never be done reading.
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    while (!file.atEnd() && file.pos() < kLongestConfiguration) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.startsWith("default-server")) continue;
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && line.left(equals).trimmed() == "default-server" && !line.mid(equals + 1).trimmed().isEmpty())
            return true;
    }
    return false;
}

bool pipewireServer(const QProcessEnvironment& env) {
    QString name = env.value(QStringLiteral("PIPEWIRE_REMOTE"));
    if (name.isEmpty()) name = QStringLiteral("pipewire-0");
    if (name.startsWith(QLatin1Char('/'))) return exists(name);
    for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR", "USERPROFILE"}) {
        const QString folder = env.value(QString::fromLatin1(variable));
        if (!folder.isEmpty() && exists(folder + QLatin1Char('/') + name)) return true;
    }
    return false;
}

bool pulseServer(const QProcessEnvironment& env, const QString& root) {
    if (!env.value(QStringLiteral("PULSE_SERVER")).trimmed().isEmpty()) return true;
    const QString runtime = env.value(QStringLiteral("PULSE_RUNTIME_PATH"));
    if (!runtime.isEmpty() && exists(runtime + QStringLiteral("/native"))) return true;
    const QString userRuntime = env.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (!userRuntime.isEmpty() && exists(userRuntime + QStringLiteral("/pulse/native"))) return true;
    // A system-wide server.
    if (exists(root + QStringLiteral("/run/pulse/native")) || exists(root + QStringLiteral("/var/run/pulse/native")))
        return true;
    QStringList configurations{root + QStringLiteral("/etc/pulse/client.conf")};
    const QString config = configHome(env);
    if (!config.isEmpty()) configurations << config + QStringLiteral("/pulse/client.conf");
    const QDir drop(root + QStringLiteral("/etc/pulse/client.conf.d"));
    for (const QString& name : drop.entryList({QStringLiteral("*.conf")}, QDir::Files))
        configurations << drop.filePath(name);
    for (const QString& path : configurations)
        if (namesAPulseServer(path)) return true;
    // libpulse starts the user's own server when it is installed and none runs.
    return exists(root + QStringLiteral("/usr/bin/pulseaudio"));
}

bool alsaDevice(const QProcessEnvironment& env, const QString& root) {
    const QDir devices(root + QStringLiteral("/dev/snd"));
    if (!devices.entryList({QStringLiteral("pcmC*D*p")}, QDir::System | QDir::Files).isEmpty()) return true;
    // A configuration of the user's or the machine's may route sound anywhere (a network, Bluetooth).
    if (!env.value(QStringLiteral("ALSA_CONFIG_PATH")).isEmpty()) return true;
    const QString home = env.value(QStringLiteral("HOME"));
    if (!home.isEmpty() && exists(home + QStringLiteral("/.asoundrc"))) return true;
    const QString config = configHome(env);
    if (!config.isEmpty() && exists(config + QStringLiteral("/alsa/asoundrc"))) return true;
    return exists(root + QStringLiteral("/etc/asound.conf"));
}

bool jackServer(const QString& root) {
    // The user's JACK server's socket in /dev/shm (jack_<server>_<uid>_0), or JACK 1's folder there.
    const QString uid = QString::number(::getuid());
    const QDir shm(root + QStringLiteral("/dev/shm"));
    const QStringList names{QStringLiteral("jack_*_%1_0").arg(uid), QStringLiteral("jack-%1").arg(uid)};
    return !shm.entryList(names, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).isEmpty();
}

} // namespace

SoundDevices findSoundDevices(const QProcessEnvironment& env, const QString& root) {
    SoundDevices devices;
    devices.pipewire = pipewireServer(env);
    devices.pulse = pulseServer(env, root);
    devices.alsa = alsaDevice(env, root);
    devices.jack = jackServer(root);
    return devices;
}

QByteArray audioOutputs(const SoundDevices& devices) {
    QByteArray list;
    if (devices.pipewire) list += "pipewire,";
    if (devices.pulse) list += "pulse,";
    if (devices.alsa) list += "alsa,";
    if (devices.jack) list += "jack,";
    return list + "null";
}

} // namespace platform::mpv
