#include "base/FolderBrowse.h"

#include "base/MediaPatterns.h"
#include <QDir>

QString cleanFolderPath(const QString& path) {
    return path.isEmpty() ? path : QDir::cleanPath(path);
}

bool pathIsUnder(const QString& path, const QString& root) {
    if (root.isEmpty() || path.isEmpty()) return false;
    const QString r = cleanFolderPath(root);
    const QString p = cleanFolderPath(path);
    if (r == QLatin1String("/")) return p.startsWith(u'/');
    return p == r || p.startsWith(r + u'/');
}

QString driveRootOf(const QStringList& roots, const QString& path) {
    QString best;
    for (const QString& r : roots) {
        const QString root = cleanFolderPath(r);
        if (root.size() > best.size() && pathIsUnder(path, root)) best = root;
    }
    return best;
}

QStringList folderChain(const QString& root, const QString& path) {
    const QString p = cleanFolderPath(path);
    QString r = cleanFolderPath(root);
    if (!pathIsUnder(p, r)) r = QStringLiteral("/");
    QStringList chain{r};
    if (p == r) return chain;
    const QString rest = r == QLatin1String("/") ? p.mid(1) : p.mid(r.size() + 1);
    QString folder = r;
    for (const QString& step : rest.split(u'/', Qt::SkipEmptyParts)) {
        folder = joinFolderAndName(folder, step);
        chain << folder;
    }
    return chain;
}
