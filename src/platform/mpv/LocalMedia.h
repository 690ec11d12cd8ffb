#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform::mpv {

// The screen saver plays the user's own files and nothing else: an item is a local path or a
// file:// address, and libmpv is only ever handed regular files the program resolved itself. Other
// addresses (network streams, fd://, av://, edl://, memory:// and the like) would let an entry read
// the program's own connections, capture the screen, wait on the network or play for ever.

// The absolute local path an entry names, or "" when it names no local file: a path (relative ones
// taken from `baseFolder`, else the working folder) or a file:// address.
QString localPath(const QString& entry, const QString& baseFolder = QString());

// The path exists and is a regular file (after links): not a pipe, socket, device or folder, which
// libmpv would wait on or read without end.
bool isRegularFile(const QString& path);

// Opens the path to read, never waiting on what it opens, and gives the descriptor only when what
// was opened is a regular file (a path swapped for a pipe after a look at it would otherwise hold
// the thread for good); -1 otherwise. The caller closes it.
int openRegularFile(const QString& path);

// A play-list file by its name (.m3u, .m3u8, .pls) or by its first bytes.
bool isPlayListFile(const QString& path, const QByteArray& head);

// The entries of a play list's text, in order: the lines of an M3U that are not comments, the
// FileN= values of a PLS (ordered by N). Entries are returned as written.
QStringList playListEntries(const QByteArray& text, bool pls);

// Play-list files within play-list files deeper than this are not opened.
constexpr int kMaxPlayListNesting = 5;
// However long or deeply nested, one item resolves to at most this many files.
constexpr int kMaxResolvedFiles = 10000;
// A play-list file is read up to this size; the rest is left out.
constexpr qint64 kMaxPlayListBytes = 4 * 1024 * 1024;

// The files an item plays, in order: the item itself when it is a playable local file, or the
// entries of a play-list file, play lists within it resolved in their place. An entry that is not a
// local regular file, a list that lists itself or one of the lists it lies in, and lists nested too
// deeply are left out. Reads the file system: run it off the user-interface thread.
QStringList resolveItem(const QString& item);

// How libmpv is told to open a resolved path: the path itself, or a file:// address where libmpv
// would otherwise take part of the path for a protocol.
QByteArray openName(const QString& path);

} // namespace platform::mpv
