#include "shell/Settings.h"

#include "platform/Platform.h"

QString GetSetting(const QString& key, const QString& defaultValue) {
    auto* backend = platform::current().settings;
    if (!backend) return defaultValue;
    try {
        return backend->read(key).value_or(defaultValue);
    } catch (...) {
        return defaultValue;
    }
}

void SaveSetting(const QString& key, const QString& value) { platform::settings().write(key, value); }

QString GetWindows() {
    QString dir = platform::current().system ? platform::system().windowsDirectory() : QString();
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/'))) dir.chop(1);
    return dir.isEmpty() ? QStringLiteral("c:\\windows") : dir;
}

QString defaultMediaPath() { return GetWindows() + QStringLiteral("/lumora.mpg"); }
