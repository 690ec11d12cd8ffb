#pragma once
#include "platform/Platform.h"
#include <QSettings>

namespace platform {

// The settings in the file format of SettingsFormat.h, section [lumora]; the file is read again
// for every value so that two running copies of the program see each other's writes. A file that
// is too large or cannot be read gives no values, one message on standard error, and is never
// replaced.
class IniSettingsBackend : public SettingsBackend {
public:
    // The file at $XDG_CONFIG_HOME/larkspur/lumora.ini (~/.config when unset).
    IniSettingsBackend();
    explicit IniSettingsBackend(const QString& filePath);
    static QString defaultFilePath();
    QString filePath() const { return m_path; }

    std::optional<QString> read(const QString& key) override;
    void write(const QString& key, const QString& value) override;
    // One lock, one temporary file, one rename for all of them.
    void writeAll(const SettingsValues& values) override;
    QString leftAloneReason() override;
    QString location() const override { return m_path; }

private:
    // The file's entries; why they could not be had ("too large", "unreadable", or "no access" for
    // a file that cannot be opened), empty when they could.
    QString load(QSettings::SettingsMap& map) const;
    // The reason the file was not read, told once until the file reads again.
    void reportRefusal(const QString& reason);

    QString m_path;
    QString m_reportedRefusal;
};

} // namespace platform
