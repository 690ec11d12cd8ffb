#include "base/FolderWalk.h"

#include "base/FileNames.h"
#include "base/KeptThreads.h"
#include "base/MediaPatterns.h"
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

bool folderNameLess(const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

namespace {

// Decides on the bytes of a name where it can: "*.ext" patterns against an ASCII ending are looked up
// directly, so a large tree costs no text conversion for the files that do not match. Anything else
// goes through PatternMatcher, whose answer this always gives.
class NameMatcher {
public:
    explicit NameMatcher(const QString& patterns) : m_matcher(patterns) {
        for (const QString& p : m_matcher.patterns()) {
            const QString rest = p.mid(1);
            const bool plainEnding = p.startsWith(u'*') && rest.startsWith(u'.') && !rest.contains(u'*') &&
                                     !rest.contains(u'?') && rest.size() <= kLongestEnding;
            bool ascii = true;
            for (QChar c : rest)
                ascii = ascii && c.unicode() < 0x80;
            if (!plainEnding || !ascii) {
                m_others = true;
                continue;
            }
            const std::string ending = rest.toStdString();
            auto group = std::find_if(m_endings.begin(), m_endings.end(),
                                      [&](const Endings& g) { return g.length == ending.size(); });
            if (group == m_endings.end())
                group = m_endings.insert(m_endings.end(), Endings{ending.size(), {}});
            group->endings.push_back(ending);
            m_longest = std::max(m_longest, ending.size());
        }
        for (Endings& g : m_endings)
            std::sort(g.endings.begin(), g.endings.end());
    }

    bool matches(const char* name, size_t length) const {
        // The tail in lower case; other scripts fold in their own ways, so they go to the matcher.
        const size_t tailLength = std::min(length, m_longest);
        char tail[kLongestEnding];
        bool ascii = true;
        for (size_t i = 0; i < tailLength; ++i) {
            const unsigned char c = static_cast<unsigned char>(name[length - tailLength + i]);
            ascii = ascii && c < 0x80;
            tail[i] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : char(c);
        }
        if (ascii) {
            for (const Endings& g : m_endings) {
                if (g.length > tailLength) continue;
                const std::string_view end(tail + tailLength - g.length, g.length);
                if (std::binary_search(g.endings.begin(), g.endings.end(), end, std::less<>())) return true;
            }
            if (!m_others) return false;
        }
        return m_matcher.matches(platform::fileNameText(QByteArray(name, qsizetype(length))));
    }

private:
    static constexpr qsizetype kLongestEnding = 32;
    struct Endings {
        size_t length;
        std::vector<std::string> endings; // lower case, with the dot, sorted
    };
    PatternMatcher m_matcher;
    std::vector<Endings> m_endings;
    size_t m_longest = 0;
    bool m_others = false;
};

struct Subfolder {
    QString name;
    QByteArray raw;
};

// A folder open in the walk.
struct Frame {
    QByteArray path;
    QString folder;
    std::vector<Subfolder> subfolders; // sorted
    size_t remaining = 0;              // subfolders not taken yet; the next is remaining - 1
    QStringList files;                 // full paths of the matches, sorted
};

enum class ReadResult { Ok, Failed, Cancelled };

QByteArray childPath(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Reads the open folder `fd` (which it closes) into `frame`. The walk (`walkDevice` set) takes only
// subfolders on that device and no links to folders; browsing takes both.
ReadResult readFolder(int fd, const NameMatcher& matcher, const dev_t* walkDevice,
                      const std::atomic<bool>* cancel, Frame& frame, QString& error) {
    DIR* dir = fdopendir(fd);
    if (!dir) {
        error = reason(errno);
        ::close(fd);
        return ReadResult::Failed;
    }
    const int dfd = dirfd(dir);
    QList<QByteArray> matched;
    int sinceCheck = 0;
    for (;;) {
        if (cancel && ++sinceCheck == 256) {
            sinceCheck = 0;
            if (cancel->load(std::memory_order_relaxed)) {
                closedir(dir);
                return ReadResult::Cancelled;
            }
        }
        errno = 0;
        const dirent* e = readdir(dir);
        if (!e) {
            if (errno != 0) {
                error = reason(errno);
                closedir(dir);
                return ReadResult::Failed;
            }
            break;
        }
        const char* name = e->d_name;
        // Hidden entries, and "." and "..".
        if (name[0] == '.') continue;
        const size_t length = std::strlen(name);
        unsigned char type = e->d_type;
        struct stat st;
        if (type == DT_UNKNOWN) {
            if (fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0) continue;
            type = S_ISDIR(st.st_mode)   ? DT_DIR
                   : S_ISREG(st.st_mode) ? DT_REG
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : 0;
        }
        if (type == DT_DIR) {
            if (walkDevice) {
                // Another file system mounted here is another drive.
                if (fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0 ||
                    !S_ISDIR(st.st_mode) || st.st_dev != *walkDevice)
                    continue;
            }
            const QByteArray raw(name, qsizetype(length));
            frame.subfolders.push_back({platform::fileNameText(raw), raw});
        } else if (type == DT_REG) {
            if (matcher.matches(name, length)) matched << QByteArray(name, qsizetype(length));
        } else if (type == DT_LNK) {
            // A link to a file is listed like the file; a link to a folder is entered only by hand.
            const bool wanted = matcher.matches(name, length);
            if (!wanted && walkDevice) continue;
            if (fstatat(dfd, name, &st, 0) != 0) continue;
            if (S_ISREG(st.st_mode)) {
                if (wanted) matched << QByteArray(name, qsizetype(length));
            } else if (S_ISDIR(st.st_mode) && !walkDevice) {
                const QByteArray raw(name, qsizetype(length));
                frame.subfolders.push_back({platform::fileNameText(raw), raw});
            }
        }
    }
    closedir(dir);
    std::sort(frame.subfolders.begin(), frame.subfolders.end(),
              [](const Subfolder& a, const Subfolder& b) { return folderNameLess(a.name, b.name); });
    frame.remaining = frame.subfolders.size();
    QStringList names;
    names.reserve(matched.size());
    for (const QByteArray& m : matched)
        names << platform::fileNameText(m);
    std::sort(names.begin(), names.end(), folderNameLess);
    frame.files.reserve(names.size());
    for (const QString& n : names)
        frame.files << joinFolderAndName(frame.folder, n);
    return ReadResult::Ok;
}

QStringList subfolderNames(const Frame& frame) {
    QStringList names;
    names.reserve(qsizetype(frame.subfolders.size()));
    for (const Subfolder& s : frame.subfolders)
        names << s.name;
    return names;
}

class Unreadable {
public:
    explicit Unreadable(WalkEnd& end) : m_end(end) {}
    void add(const QString& folder, const QString& why) {
        if (m_end.unreadableCount++ < WalkEnd::kUnreadableNamed)
            m_end.unreadable << folder + QStringLiteral(": ") + why;
    }

private:
    WalkEnd& m_end;
};

} // namespace

FolderListing listFolder(const QString& folder, const QString& patterns) {
    FolderListing out;
    const int fd = ::open(platform::fileNameBytes(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        out.error = reason(errno);
        return out;
    }
    Frame frame;
    frame.folder = folder;
    const NameMatcher matcher(patterns);
    if (readFolder(fd, matcher, nullptr, nullptr, frame, out.error) != ReadResult::Ok) return out;
    out.ok = true;
    out.subfolders = subfolderNames(frame);
    for (const QString& path : frame.files)
        out.files << path.mid(path.lastIndexOf(u'/') + 1);
    return out;
}

bool canReadFolder(const QString& folder) {
    const int fd = ::open(platform::fileNameBytes(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    errno = 0;
    const bool readable = readdir(dir) != nullptr || errno == 0;
    closedir(dir);
    return readable;
}

WalkEnd walkFolders(const WalkOptions& options, const std::atomic<bool>& cancel, WalkSink& sink) {
    WalkEnd end;
    Unreadable unreadable(end);
    const NameMatcher matcher(options.patterns.isEmpty() ? QStringLiteral("*.mpg") : options.patterns);
    const int capacity = std::max(0, options.capacity);

    if (cancel.load()) {
        end.stopped = true;
        return end;
    }
    // The start folder may itself be reached through a link: the user chose it.
    Frame root;
    root.folder = options.start;
    root.path = platform::fileNameBytes(options.start);
    const int rootFd = ::open(root.path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (rootFd < 0 || fstat(rootFd, &st) != 0) {
        unreadable.add(options.start, reason(errno));
        if (rootFd >= 0) ::close(rootFd);
        return end;
    }
    const dev_t device = st.st_dev;
    QString error;
    switch (readFolder(rootFd, matcher, &device, &cancel, root, error)) {
    case ReadResult::Cancelled:
        end.stopped = true;
        return end;
    case ReadResult::Failed:
        unreadable.add(options.start, error);
        return end;
    case ReadResult::Ok:
        break;
    }
    sink.entered(root.folder, subfolderNames(root));

    std::vector<Frame> stack;
    stack.push_back(std::move(root));
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.remaining > 0 && !end.stopped) {
            const Subfolder& sub = top.subfolders[--top.remaining];
            Frame child;
            child.path = childPath(top.path, sub.raw);
            child.folder = joinFolderAndName(top.folder, sub.name);
            if (cancel.load(std::memory_order_relaxed)) {
                // Abandoned as it was entered: the folder it lies in closes without its own matches.
                end.stopped = true;
                stack.pop_back();
                continue;
            }
            // No link is followed here, even one put in the folder's place since it was listed.
            const int fd = ::open(child.path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0) {
                // A folder removed since it was listed holds nothing to find.
                if (errno != ENOENT) unreadable.add(child.folder, reason(errno));
                continue;
            }
            if (fstat(fd, &st) != 0 || st.st_dev != device) {
                ::close(fd);
                continue;
            }
            switch (readFolder(fd, matcher, &device, &cancel, child, error)) {
            case ReadResult::Cancelled:
                end.stopped = true;
                stack.pop_back();
                continue;
            case ReadResult::Failed:
                unreadable.add(child.folder, error);
                continue;
            case ReadResult::Ok:
                break;
            }
            sink.entered(child.folder, subfolderNames(child));
            stack.push_back(std::move(child));
            continue;
        }
        // Everything below is done: the folder's own matches, as many as still fit.
        if (!top.files.isEmpty()) {
            const int room = capacity - end.found;
            if (top.files.size() > room) {
                if (room > 0) sink.found(top.files.mid(0, room));
                end.found = capacity;
                end.full = true;
                // Discontinued: no level adds anything more.
                return end;
            }
            end.found += int(top.files.size());
            sink.found(top.files);
        }
        stack.pop_back();
    }
    return end;
}

// ---- The walk on its own thread ----

struct FolderWalk::Shared : WalkSink {
    std::mutex mutex;
    std::condition_variable ended;
    std::atomic<bool> cancel{false};
    // Everything below is guarded by the mutex.
    QStringList pending;
    bool hasProgress = false;
    QString folder;
    QStringList subfolders;
    bool done = false;
    WalkEnd end;

    // The owner collects these, and the end, on its timer: nothing is posted to it from the walk's
    // thread, and a wake for every folder would cost the walk more than the disk does.
    void entered(const QString& f, const QStringList& subs) override {
        std::lock_guard lock(mutex);
        folder = f;
        subfolders = subs;
        hasProgress = true;
    }
    void found(const QStringList& paths) override {
        std::lock_guard lock(mutex);
        pending += paths;
    }
};

FolderWalk::FolderWalk(QObject* parent) : QObject(parent) {
    m_collect = new QTimer(this);
    m_collect->setInterval(kCollectEveryMs);
    connect(m_collect, &QTimer::timeout, this, &FolderWalk::drain);
}

FolderWalk::~FolderWalk() {
    abandon();
}

void FolderWalk::start(const WalkOptions& options) {
    abandon();
    auto shared = std::make_shared<Shared>();
    m_shared = shared;
    m_sinceProgress.invalidate();
    m_collect->start();
    try {
        // The thread keeps its own share of the state: it still lets go of the lock after the owner
        // has taken the end and let go of its share.
        m_thread = std::thread([shared, options] {
            WalkEnd end;
            try {
                end = walkFolders(options, shared->cancel, *shared);
            } catch (const std::exception& e) {
                // Out of memory, most likely: the walk ends as if the list were full.
                end.full = true;
                std::fprintf(stderr, "lumora: the search ended: %s\n", e.what());
            }
            std::lock_guard lock(shared->mutex);
            shared->done = true;
            shared->end = end;
            shared->ended.notify_all();
        });
    } catch (const std::system_error&) {
        std::lock_guard lock(shared->mutex);
        shared->done = true;
        shared->end.unreadableCount = 1;
        shared->end.unreadable << options.start + QStringLiteral(": no thread could be started");
    }
}

void FolderWalk::stop() {
    if (m_shared) m_shared->cancel = true;
}

void FolderWalk::abandon() {
    m_collect->stop();
    if (m_shared) {
        m_shared->cancel = true;
        // Told to end, the walk does so at the next folder or the next 256 names of this one: it is
        // waited for a moment, then kept until it does (a folder on a mount that hangs may never
        // answer, and the window must not hang with it).
        const std::shared_ptr<Shared> shared = m_shared;
        bool done = false;
        {
            std::unique_lock lock(shared->mutex);
            done = shared->ended.wait_for(lock, std::chrono::milliseconds(kAbandonWaitMs), [&] { return shared->done; });
        }
        if (done) joinWalk();
        else keep(std::move(m_thread), [shared] {
            std::lock_guard lock(shared->mutex);
            return shared->done;
        });
    }
    m_shared.reset();
}

void FolderWalk::joinWalk() {
    if (m_thread.joinable()) m_thread.join();
}

bool FolderWalk::finish(int ms) {
    if (!m_shared) return true;
    {
        std::unique_lock lock(m_shared->mutex);
        m_shared->ended.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_shared->done; });
    }
    drain();
    return !m_shared;
}

void FolderWalk::drain() {
    const std::shared_ptr<Shared> s = m_shared;
    if (!s) return;
    constexpr int kProgressEveryMs = 40;
    QStringList batch;
    bool progress = false, done = false;
    QString folder;
    QStringList subfolders;
    WalkEnd end;
    {
        std::lock_guard lock(s->mutex);
        batch.swap(s->pending);
        done = s->done;
        end = s->end;
        if (s->hasProgress && !done) {
            if (!m_sinceProgress.isValid() || m_sinceProgress.elapsed() >= kProgressEveryMs) {
                progress = true;
                s->hasProgress = false;
                folder = s->folder;
                subfolders = s->subfolders;
            }
        }
    }
    if (progress) {
        m_sinceProgress.start();
        emit entered(folder, subfolders);
        if (m_shared != s) return;
    }
    if (!batch.isEmpty()) {
        emit found(batch);
        if (m_shared != s) return;
    }
    if (done) {
        m_collect->stop();
        // It has handed over its end: all that is left of it is letting go of the lock.
        joinWalk();
        m_shared.reset();
        emit finished(end);
    }
}
