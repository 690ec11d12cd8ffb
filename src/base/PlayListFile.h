#pragma once
#include <QString>
#include <QStringList>

// The playlist file "lumoraplus.ini": line 1 a header text kept verbatim, line 2 the count as " N ",
// then one entry per line, every line ending in CR LF. Lines are bytes: entries are file names, which
// need not be UTF-8, and they and the header are written back exactly as they were read
// (platform/FileNames.h).

struct PlayListData {
    QString header;
    QStringList entries;
};

// "lumoraplus.ini" in the program folder when the user may write there and the program is not an
// installed copy, else in the user data folder.
QString playListPathIn(const QString& programFolder, const QString& userDataFolder);

// Never fails: a missing or unreadable file gives an empty header and no entries; a count line without
// a usable 16-bit number gives no entries; a file that ends early keeps the entries read so far.
// Reads no further than the announced entries, and skips a line longer than 64 KiB without holding it
// (an over-long header reads as empty, an over-long count line as no entries, an over-long entry is
// left out): however large a damaged or foreign file is, reading it holds no more than the entries it
// gives and one bounded line, and passes once over its bytes up to the last announced entry.
PlayListData readPlayList(const QString& path);

// Writes the whole file aside and renames it over the old one, so the old file stays whole when the
// write fails. Creates the folder when needed. Failure raises runtime::RuntimeError (Failed) naming
// the path and the reason.
void writePlayList(const QString& path, const PlayListData& data);
