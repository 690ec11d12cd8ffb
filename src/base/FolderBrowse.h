#pragma once
#include <QString>
#include <QStringList>

// Folder browsing without widgets: where a path lies among the drives, and the folders a folder list
// shows above the current one. What a folder holds is read by listFolder (base/FolderWalk.h).

// The path without "." and ".." steps, doubled "/" or a trailing "/" (but "/" itself).
QString cleanFolderPath(const QString& path);

// Whether `path` is the folder `root` or lies below it, by whole steps: "/media/usbstick" does not
// lie under "/media/usb". An empty root holds nothing.
bool pathIsUnder(const QString& path, const QString& root);

// The root in `roots` that holds `path`, the longest when mounts nest; "" when none does.
QString driveRootOf(const QStringList& roots, const QString& path);

// The folders a folder list shows above the subfolders: `root`, then every folder below it down to
// `path` itself. A path that does not lie under `root` is shown from "/".
QStringList folderChain(const QString& root, const QString& path);
