#include "playlist/FolderBrowse.h"

#include "playlist/MediaPatterns.h"
#include <QDir>
#include <QFileInfo>
#include <algorithm>

bool nameLess(const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

QString cleanFolderPath(const QString& path) {
    return path.isEmpty() ? path : QDir::cleanPath(path);
}

namespace {

bool holds(const QString& root, const QString& path) {
    if (root == QLatin1String("/")) return path.startsWith(u'/');
    return path == root || path.startsWith(root + u'/');
}

} // namespace

QString driveRootOf(const QStringList& roots, const QString& path) {
    const QString p = cleanFolderPath(path);
    QString best;
    for (const QString& r : roots) {
        const QString root = cleanFolderPath(r);
        if (!root.isEmpty() && holds(root, p) && root.size() > best.size()) best = root;
    }
    return best;
}

QStringList folderChain(const QString& root, const QString& path) {
    const QString p = cleanFolderPath(path);
    QString r = cleanFolderPath(root);
    if (r.isEmpty() || !holds(r, p)) r = QStringLiteral("/");
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

QStringList listSubfolders(const QString& folder) {
    QDir dir(folder);
    QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(names.begin(), names.end(), nameLess);
    QStringList paths;
    paths.reserve(names.size());
    for (const QString& n : names)
        paths << joinFolderAndName(cleanFolderPath(folder), n);
    return paths;
}

QStringList listMatchingFiles(const QString& folder, const PatternMatcher& matcher) {
    QDir dir(folder);
    QStringList names;
    for (const QString& n : dir.entryList(QDir::Files, QDir::NoSort))
        if (matcher.matches(n)) names << n;
    std::sort(names.begin(), names.end(), nameLess);
    return names;
}

bool isReadableFolder(const QString& folder) {
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isReadable() && info.isExecutable();
}
