#include "playlist/FolderBrowse.h"

#include "base/FileNames.h"
#include "base/FolderWalk.h"
#include "base/MediaPatterns.h"
#include <QDir>
#include <sys/stat.h>

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

// Read through the file system's own bytes, so names that are not UTF-8 are listed like any other.
QStringList listSubfolders(const QString& folder) {
    const QString clean = cleanFolderPath(folder);
    QStringList paths;
    for (const QString& n : listFolder(clean, QString()).subfolders)
        paths << joinFolderAndName(clean, n);
    return paths;
}

QStringList listMatchingFiles(const QString& folder, const PatternMatcher& matcher) {
    return listFolder(cleanFolderPath(folder), matcher.patterns().join(u';')).files;
}

bool isFolder(const QString& path) {
    struct stat st;
    return !path.isEmpty() && ::stat(platform::fileNameBytes(path).constData(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

bool isReadableFolder(const QString& folder) {
    return isFolder(folder) && canReadFolder(folder);
}
