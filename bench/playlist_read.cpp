// Reads one play-list file through the program's own reader, for bench/playlist_read.sh. It prints
// what the reader gave, so a run shows the reader did the work that was timed.
#include "base/PlayListFile.h"
#include <QString>
#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PLAYLIST-FILE\n", argv[0]);
        return 2;
    }
    // The reader's own time, without the loading of the libraries that the process's time includes.
    const auto start = std::chrono::steady_clock::now();
    const PlayListData data = readPlayList(QString::fromLocal8Bit(argv[1]));
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    qsizetype characters = 0;
    for (const QString& entry : data.entries)
        characters += entry.size();
    std::printf("%.1f ms in the reader: %lld entries (%lld characters), header of %lld characters\n", ms,
                static_cast<long long>(data.entries.size()), static_cast<long long>(characters),
                static_cast<long long>(data.header.size()));
    return 0;
}
