#pragma once
#include "platform/Platform.h"

namespace platform {

// The settings as an INI file, group "lumora"; the file is read again for every value so that two
// running copies of the program see each other's writes.
class IniSettingsBackend : public SettingsBackend {
public:
    // The file at $XDG_CONFIG_HOME/larkspur/lumora.ini (~/.config when unset).
    IniSettingsBackend();
    explicit IniSettingsBackend(const QString& filePath);
    static QString defaultFilePath();
    QString filePath() const { return m_path; }

    std::optional<QString> read(const QString& key) override;
    void write(const QString& key, const QString& value) override;

private:
    QString m_path;
};

} // namespace platform
