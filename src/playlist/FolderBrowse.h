#pragma once
#include <QString>
#include <QStringList>

class PatternMatcher;

// Folder browsing without widgets: what the drive, folder and file lists show.

// Name order of the lists: without regard to case, and by case only where names differ in nothing else.
bool nameLess(const QString& a, const QString& b);

// The path without "." and ".." steps, doubled "/" or a trailing "/" (but "/" itself).
QString cleanFolderPath(const QString& path);

// The root in `roots` that holds `path` (the path itself or one of its ancestors), the longest when
// mounts nest; "" when none does.
QString driveRootOf(const QStringList& roots, const QString& path);

// The folders a folder list shows above its subfolders: `root`, then every folder below it down to
// `path` itself. A path that does not lie under `root` is shown from "/".
QStringList folderChain(const QString& root, const QString& path);

// Full paths of the folder's subfolders in name order; hidden ones left out. Empty when the folder
// cannot be read.
QStringList listSubfolders(const QString& folder);

// Names of the folder's files that match, in name order; hidden files and anything but files left
// out. Empty when the folder cannot be read.
QStringList listMatchingFiles(const QString& folder, const PatternMatcher& matcher);

// The path names a folder (after links).
bool isFolder(const QString& path);

// The folder exists and its entries can be listed.
bool isReadableFolder(const QString& folder);
