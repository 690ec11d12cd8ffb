#include "platform/Platform.h"

#include <QUrl>

namespace platform {

namespace {
Platform g_platform;
}

Platform& current() { return g_platform; }
void install(const Platform& platform) { g_platform = platform; }

bool isOpenableUrl(const QUrl& url) {
    if (!url.isValid()) return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) return !url.host().isEmpty();
    if (scheme == QLatin1String("mailto")) return !url.path().isEmpty();
    return false;
}

} // namespace platform
