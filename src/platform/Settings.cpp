#include "platform/Settings.h"

#include "base/Convert.h"
#include "platform/Platform.h"
#include <utility>

namespace {
// The saves a settings::SaveTogether keeps back; empty while none is alive.
struct KeptBack {
    settings::SaveTogether* scope = nullptr;
    platform::SettingsValues values;
};
thread_local KeptBack keptBack;

std::optional<QString> keptBackValue(const QString& key) {
    const platform::SettingsValues& values = keptBack.values;
    for (auto it = values.crbegin(); it != values.crend(); ++it)
        if (it->first.compare(key, Qt::CaseInsensitive) == 0) return it->second;
    return std::nullopt;
}

std::optional<QString> storedText(const QString& key) {
    if (keptBack.scope)
        if (std::optional<QString> kept = keptBackValue(key)) return kept;
    auto* backend = platform::current().settings;
    if (!backend) return std::nullopt;
    try {
        return backend->read(key);
    } catch (...) {
        return std::nullopt;
    }
}
} // namespace

QString GetSetting(const QString& key, const QString& defaultValue) {
    return storedText(key).value_or(defaultValue);
}

void SaveSetting(const QString& key, const QString& value) {
    if (keptBack.scope) {
        keptBack.values.append({key, value});
        return;
    }
    platform::settings().write(key, value);
}

static QString leftAloneReason() {
    auto* backend = platform::current().settings;
    if (!backend) return QString();
    try {
        return backend->leftAloneReason();
    } catch (...) {
        return QString();
    }
}

bool settingsLeftAlone() { return !leftAloneReason().isEmpty(); }

QString settingsLeftAloneNotice() {
    const QString reason = leftAloneReason();
    if (reason.isEmpty()) return QString();
    const QString where = platform::current().settings->location();
    const QString file = where.isEmpty() ? QStringLiteral("The settings file")
                                         : QStringLiteral("The settings file %1").arg(where);
    const bool tooLarge = reason == QLatin1String("too large");
    const QString why = tooLarge ? QStringLiteral("%1 is larger than 1 MiB, far larger than Lumora's settings "
                                                  "ever make it, so it is not read.")
                                 : QStringLiteral("%1 cannot be read.");
    return why.arg(file) +
           QStringLiteral("\r\n\r\nLumora leaves the file as it is and uses its default settings. Changes "
                          "cannot be saved until the file is %1 or moved away.")
               .arg(tooLarge ? QStringLiteral("made smaller") : QStringLiteral("made readable"));
}

QString GetWindows() {
    QString dir = platform::current().system ? platform::system().windowsDirectory() : QString();
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/'))) dir.chop(1);
    return dir.isEmpty() ? QStringLiteral("c:\\windows") : dir;
}

QString defaultMediaPath() { return GetWindows() + QStringLiteral("/lumora.mpg"); }

namespace settings {

static QString resolved(const Default& fallback) {
    switch (fallback.computed) {
    case Computed::MediaPath:
        return defaultMediaPath();
    case Computed::HomeFolder:
        return platform::current().files ? platform::files().homeFolder() : QString();
    case Computed::No:
        break;
    }
    return QString::fromUtf8(fallback.text.data(), qsizetype(fallback.text.size()));
}

QString text(KeyRef key, Reader reader) { return GetSetting(nameOf(key), resolved(defaultOf(key, reader))); }

std::optional<QString> stored(KeyRef key) { return storedText(nameOf(key)); }

bool read(FlagKey key, Reader reader) { return runtime::textToBool(text(key, reader)); }

int16_t read(NumberKey key, Reader reader) { return runtime::textToInt16(text(key, reader)); }

bool readOrDefault(FlagKey key) { return runtime::boolOr(text(key), defaultFlag(key)); }

int readInRange(KeyRef key, int minimum, int maximum) {
    return runtime::fitToRange(text(key), minimum, maximum, defaultNumber(key));
}

void save(FlagKey key, bool value) { SaveSetting(nameOf(key), runtime::boolToText(value)); }

void save(NumberKey key, int value) { SaveSetting(nameOf(key), QString::number(value)); }

void save(TextKey key, const QString& value) { SaveSetting(nameOf(key), value); }

SaveTogether::SaveTogether() : m_joined(keptBack.scope != nullptr) {
    if (!m_joined) keptBack.scope = this;
}

SaveTogether::~SaveTogether() {
    if (m_joined || keptBack.scope != this) return;
    keptBack.scope = nullptr;
    keptBack.values.clear();
}

void SaveTogether::commit() {
    if (m_joined || keptBack.scope != this) return;
    const platform::SettingsValues values = std::exchange(keptBack.values, {});
    keptBack.scope = nullptr;
    if (values.isEmpty()) return;
    // One value is a single save, as it has always been.
    if (values.size() == 1)
        platform::settings().write(values.first().first, values.first().second);
    else
        platform::settings().writeAll(values);
}

} // namespace settings
