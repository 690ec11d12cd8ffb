#include "platform/Overrides.h"

#include <cstdio>

namespace platform {

OverridingSettings::OverridingSettings(SettingsBackend& store, const QMap<QString, QString>& overrides, bool readOnly)
    : m_store(store), m_readOnly(readOnly) {
    for (auto it = overrides.begin(); it != overrides.end(); ++it) set(it.key(), it.value());
}

void OverridingSettings::set(const QString& key, const QString& value) { m_values.insert(key.toLower(), value); }

void OverridingSettings::forget(const QString& key) { m_values.insert(key.toLower(), std::nullopt); }

std::optional<QString> OverridingSettings::read(const QString& key) {
    const auto it = m_values.constFind(key.toLower());
    if (it != m_values.constEnd()) return *it;
    return m_store.read(key);
}

void OverridingSettings::write(const QString& key, const QString& value) {
    // What a run that writes nothing sets still holds for the rest of it: the file played last, which
    // the next random pick avoids, most of all.
    if (m_readOnly) {
        set(key, value);
        return;
    }
    if (m_values.contains(key.toLower())) return;
    m_store.write(key, value);
}

void OverridingSettings::writeAll(const SettingsValues& values) {
    if (m_readOnly) {
        for (const auto& [key, value] : values) set(key, value);
        return;
    }
    SettingsValues passed;
    for (const auto& value : values)
        if (!m_values.contains(value.first.toLower())) passed << value;
    if (!passed.isEmpty()) m_store.writeAll(passed);
}

int QuietDialogs::messageBox(const QString& text, int style, const QString& title) {
    m_told << text;
    std::fprintf(stderr, "lumora: %s: %s\n", qPrintable(title), qPrintable(text));
    // Declined: Cancel where the box has one, No where it asks yes or no, else OK.
    switch (style & 0x0F) {
    case 1:
    case 3:
        return 2;
    case 4:
        return 7;
    default:
        return 1;
    }
}

} // namespace platform
