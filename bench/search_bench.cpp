// The searches' folder walk without a window, for bench/search.sh:
//   search_bench make TREE        makes the benchmark's tree (100,000 files in 10,000 folders)
//   search_bench patterns         prints the media patterns, one a line, for find's -iname
//   search_bench walk TREE RUNS   walks TREE RUNS times through FolderWalk; the best run's ms and matches
//   search_bench stop TREE RUNS   starts a walk of TREE, stops it a moment later; ms from stop to end
#include "base/FolderWalk.h"
#include "base/MediaPatterns.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// 10 top folders, 10 below each, 100 below each of those: 10,110 folders, the 10,000 deepest holding
// 10 files each. One file in 25 is a media file, in one of several spellings; the others are the
// things that lie beside media (subtitles, pictures, half-downloaded files, names that nearly match).
int makeTree(const QByteArray& root) {
    static const char* const kMedia[] = {".mpg", ".MP4", ".avi", ".mkv", ".Mp3", ".webm", ".wmv", ".flac"};
    static const char* const kOther[] = {".txt", ".jpg",  ".srt", ".mpg.part",
                                         ".nfo", ".mp4~", ".png", ".log"};
    int files = 0, media = 0;
    auto folder = [](const QByteArray& path) {
        if (::mkdir(path.constData(), 0755) != 0 && errno != EEXIST) {
            std::perror(path.constData());
            return false;
        }
        return true;
    };
    if (!folder(root)) return 1;
    for (int a = 0; a < 10; ++a) {
        const QByteArray pa = root + "/album " + QByteArray::number(a);
        if (!folder(pa)) return 1;
        for (int b = 0; b < 10; ++b) {
            const QByteArray pb = pa + "/Season " + QByteArray::number(b);
            if (!folder(pb)) return 1;
            for (int c = 0; c < 100; ++c) {
                const QByteArray pc = pb + "/take_" + QByteArray::number(c);
                if (!folder(pc)) return 1;
                for (int f = 0; f < 10; ++f, ++files) {
                    const bool isMedia = files % 25 == 7;
                    const char* ext = isMedia ? kMedia[files % 8] : kOther[files % 8];
                    const QByteArray name = pc + "/clip " + QByteArray::number(files) + ext;
                    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                    if (fd < 0) {
                        std::perror(name.constData());
                        return 1;
                    }
                    ::close(fd);
                    media += isMedia;
                }
            }
        }
    }
    std::printf("%d files in %d folders, %d of them media files\n", files, 10 + 100 + 10000, media);
    return 0;
}

struct Outcome {
    double ms = 0;
    int matches = 0;
    WalkEnd end;
};

// One walk through FolderWalk, as a search window runs it: on its own thread, handed over in batches
// to this thread's event loop. With stopAfterMs >= 0 it is stopped that long after its start, and the
// time is from the stop to the end.
Outcome runWalk(const QString& tree, int stopAfterMs) {
    FolderWalk walk;
    Outcome out;
    bool finished = false;
    QEventLoop loop;
    QObject::connect(&walk, &FolderWalk::found,
                     [&](const QStringList& paths) { out.matches += int(paths.size()); });
    QObject::connect(&walk, &FolderWalk::finished, [&](const WalkEnd& end) {
        out.end = end;
        finished = true;
        loop.quit();
    });
    WalkOptions options;
    options.start = tree;
    options.patterns = mediaPatternList();
    options.capacity = 1 << 30; // the bench counts every match; the windows stop at 32,767
    QElapsedTimer clock;
    clock.start();
    walk.start(options);
    if (stopAfterMs >= 0) {
        QTimer::singleShot(int(stopAfterMs), Qt::PreciseTimer, &walk, [&] {
            clock.restart();
            walk.stop();
        });
    }
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    if (!finished) loop.exec();
    out.ms = double(clock.nsecsElapsed()) / 1e6;
    if (!finished) out.ms = -1;
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "make" && argc == 3) return makeTree(QByteArray(argv[2]));
    if (mode == "patterns") {
        for (const QString& p : PatternMatcher(mediaPatternList()).patterns())
            std::printf("%s\n", p.toUtf8().constData());
        return 0;
    }
    if ((mode == "walk" || mode == "stop") && argc == 4) {
        const QString tree = QFile::decodeName(argv[2]);
        const int runs = std::max(1, std::atoi(argv[3]));
        std::vector<Outcome> outcomes;
        for (int i = 0; i < runs; ++i)
            outcomes.push_back(runWalk(tree, mode == "stop" ? 20 : -1));
        if (mode == "walk") {
            const auto best =
                std::min_element(outcomes.begin(), outcomes.end(),
                                 [](const Outcome& a, const Outcome& b) { return a.ms < b.ms; });
            for (const Outcome& o : outcomes)
                if (o.matches != best->matches) {
                    std::fprintf(stderr, "runs found different counts: %d and %d\n", o.matches,
                                 best->matches);
                    return 1;
                }
            // Best ms, matches, folders that could not be read.
            std::printf("%.2f %d %d\n", best->ms, best->matches, best->end.unreadableCount);
        } else {
            std::vector<double> ms;
            int stopped = 0, found = 0;
            for (const Outcome& o : outcomes) {
                ms.push_back(o.ms);
                stopped += o.end.stopped;
                found += o.matches;
            }
            std::sort(ms.begin(), ms.end());
            // Median and worst ms from stop to end, walks that had really been stopped, matches on average.
            std::printf("%.2f %.2f %d %d\n", ms[ms.size() / 2], ms.back(), stopped, found / int(ms.size()));
        }
        return 0;
    }
    std::fprintf(stderr, "usage: %s make TREE | patterns | walk TREE RUNS | stop TREE RUNS\n", argv[0]);
    return 2;
}
