#include "platform/SystemServices.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include "platform/Platform.h"
#include "base/Convert.h"
#include "base/Guard.h"

uint32_t PlatformId = 0;

void ReadPlatformId() { PlatformId = platform::current().system ? platform::system().platformId() : 0; }

QString ReadRegistryString(uint32_t root, const QString& subkey, const QString& valueName) {
    const int32_t signedRoot = static_cast<int32_t>(root);
    if (signedRoot < static_cast<int32_t>(0x80000000u) || signedRoot > static_cast<int32_t>(0x80000006u))
        return QString();
    if (!platform::current().registry) return QString();
    std::optional<platform::RegistryValue> value;
    try {
        value = platform::registry().query(root, subkey, valueName);
    } catch (...) {
        return QString();
    }
    if (!value) return QString();

    QByteArray buffer = value->data.left(255);
    int size = buffer.size();
    if (value->type == 4) {
        QByteArray b = value->data.leftJustified(4, '\0');
        auto byte = [&](int i) { return static_cast<uint8_t>(b[i]); };
        // The low word is formed as a signed 16-bit sum, as the system's own readers did; the
        // program reads only a 0/1 switch here, so a wrapped sum is kept rather than an error.
        const int16_t low = static_cast<int16_t>(byte(0) + 256 * byte(1));
        const float number = float(low) + 65536.0f * byte(2) + 16777216.0f * byte(3);
        QString text = QString::number(static_cast<double>(number), 'f', 0);
        const bool negative = text.startsWith(QLatin1Char('-'));
        if (negative) text.remove(0, 1);
        text = text.rightJustified(3, QLatin1Char('0'));
        if (negative) text.prepend(QLatin1Char('-'));
        buffer = text.toLatin1();
        size = 4;
    }
    if (size <= 0) return QString();
    return QString::fromLatin1(buffer.left(size - 1));
}

int16_t readPasswordFlag() {
    int16_t flag = 0;
    runtime::skipOnError([&] {
        flag = runtime::toInt16(runtime::leadingNumber(
            ReadRegistryString(HKEY_CURRENT_USER, QStringLiteral("Control Panel\\Desktop"),
                               QStringLiteral("ScreenSaveUsePassword"))));
    });
    return flag;
}

bool FileExists(const QString& path) {
    try {
        // No file name holds a zero character; Qt would warn about it on every call.
        if (path.isEmpty() || path.contains(QChar(0))) return false;
        const QFileInfo info(path);
        const QString name = info.fileName();
        if (name.isEmpty()) return false;
        const bool wild = name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
        if (!wild) return info.exists() && !info.isDir();
        if (info.path().contains(QLatin1Char('*')) || info.path().contains(QLatin1Char('?'))) return false;
        QDir dir(info.path());
        if (!dir.exists()) return false;
        // Only * and ? are wildcards; a bracket is part of the name, as in "film [2].mpg".
        QString pattern;
        for (QChar c : name) {
            if (c == QLatin1Char('*')) pattern += QStringLiteral(".*");
            else if (c == QLatin1Char('?')) pattern += QLatin1Char('.');
            else pattern += QRegularExpression::escape(QString(c));
        }
        const QRegularExpression match(QRegularExpression::anchoredPattern(pattern),
                                       QRegularExpression::DotMatchesEverythingOption);
        const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& file : files)
            if (match.match(file).hasMatch()) return true;
        return false;
    } catch (...) {
        return false;
    }
}
