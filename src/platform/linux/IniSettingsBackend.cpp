#include "platform/linux/IniSettingsBackend.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include "runtime/RuntimeError.h"

namespace platform {

namespace {
const QString kGroup = QStringLiteral("lumora");

QString storedKey(QSettings& s, const QString& key) {
    const QStringList keys = s.childKeys();
    for (const QString& k : keys)
        if (k.compare(key, Qt::CaseInsensitive) == 0) return k;
    return QString();
}
} // namespace

QString IniSettingsBackend::defaultFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/larkspur/lumora.ini");
}

IniSettingsBackend::IniSettingsBackend() : m_path(defaultFilePath()) {}
IniSettingsBackend::IniSettingsBackend(const QString& filePath) : m_path(filePath) {}

std::optional<QString> IniSettingsBackend::read(const QString& key) {
    QSettings s(m_path, QSettings::IniFormat);
    if (s.status() == QSettings::AccessError) return std::nullopt;
    s.beginGroup(kGroup);
    const QString k = storedKey(s, key);
    if (k.isEmpty()) return std::nullopt;
    const QVariant v = s.value(k);
    // A hand-edited value with commas comes back as a list; it is still one text.
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QStringLiteral(", "));
    if (!v.canConvert<QString>()) return QString();
    return v.toString();
}

void IniSettingsBackend::write(const QString& key, const QString& value) {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSettings s(m_path, QSettings::IniFormat);
    // A file that exists but cannot be read must not be replaced by one that holds only this value.
    if (s.status() == QSettings::AccessError || (QFileInfo::exists(m_path) && !QFileInfo(m_path).isReadable()) ||
        !s.isWritable())
        throw runtime::RuntimeError(runtime::ErrorKind::Failed,
                                    QStringLiteral("The settings file %1 cannot be read or written").arg(m_path));
    s.beginGroup(kGroup);
    QString k = storedKey(s, key);
    s.setValue(k.isEmpty() ? key : k, value);
    s.endGroup();
    s.sync();
    // A damaged file reads with a format error but is rewritten whole by this save; only a failed
    // write is a failure. QSettings keeps the first error only, hence the writability check above.
    if (s.status() == QSettings::AccessError)
        throw runtime::RuntimeError(runtime::ErrorKind::Failed,
                                    QStringLiteral("The settings could not be saved to %1").arg(m_path));
}

} // namespace platform
