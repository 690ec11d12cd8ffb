#include "about/WebAddress.h"

#include "platform/Platform.h"
#include <QRegularExpression>

namespace {

bool hasInnerSpaceOrControl(const QString& text) {
    for (QChar c : text)
        if (c.isSpace() || c.category() == QChar::Other_Control) return true;
    return false;
}

bool startsWithAcceptedScheme(const QString& text) {
    for (const char* prefix : {"http://", "https://", "mailto:"})
        if (text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive)) return true;
    return false;
}

// "name:" at the start, as in "file:", "javascript:" or "c:", unless the colon only brings a port
// ("www.example.com:8080/page").
bool startsWithOtherScheme(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    static const QRegularExpression hostAndPort(QStringLiteral("^[^:/?#]+:[0-9]+(?:[/?#]|$)"));
    return scheme.match(text).hasMatch() && !hostAndPort.match(text).hasMatch();
}

// Two or more labels of letters, digits and inner hyphens, the last all letters: a host on the web
// rather than a file name or a folder of a relative path.
bool isDottedHostName(const QString& host) {
    static const QRegularExpression name(
        QStringLiteral("^(?:[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?\\.)+[A-Za-z]{2,63}$"));
    return name.match(host).hasMatch();
}

} // namespace

std::optional<QUrl> webAddressToOpen(const QString& text) {
    const QString address = text.trimmed();
    if (address.isEmpty() || hasInnerSpaceOrControl(address) || address.contains(QLatin1Char('\\')))
        return std::nullopt;

    QUrl url;
    if (startsWithAcceptedScheme(address)) {
        url = QUrl(address);
    } else {
        if (startsWithOtherScheme(address)) return std::nullopt;
        const QString host = address.section(QRegularExpression(QStringLiteral("[:/?#]")), 0, 0);
        if (!isDottedHostName(host)) return std::nullopt;
        url = QUrl(QStringLiteral("http://") + address);
        if (url.host().compare(host, Qt::CaseInsensitive) != 0) return std::nullopt;
    }
    if (!platform::isOpenableUrl(url)) return std::nullopt;
    return url;
}
