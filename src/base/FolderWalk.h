#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <thread>

class QTimer;

// The order in which folders and files are listed: without regard to case, and by case where two
// names differ only in it, so the order never depends on the order the disk returns them in.
bool folderNameLess(const QString& a, const QString& b);

// One folder as the searches see it. Hidden entries (a leading ".") are left out, as are files that
// are neither regular files nor links to one.
struct FolderListing {
    bool ok = false;
    QString error;          // why the folder could not be read, when !ok
    QStringList subfolders; // sorted
    QStringList files;      // matching files, sorted
};

// Lists `folder`: its subfolders, and its files that match `patterns` (a semicolon-separated
// pattern list). For browsing, links to folders count as subfolders and other file systems are
// shown; the walk enters neither.
FolderListing listFolder(const QString& folder, const QString& patterns);

// Whether `folder` can be opened and read.
bool canReadFolder(const QString& folder);

struct WalkOptions {
    QString start;        // the folder to search, with everything below it
    QString patterns;     // semicolon-separated wildcards, without regard to case
    int capacity = 32767; // matches that fit; one more discontinues the walk
};

// How a walk ended.
struct WalkEnd {
    bool stopped = false; // ended because it was asked to
    bool full = false;    // more matches than the capacity: discontinued, nothing after the last fitting one
    int found = 0;        // matches handed over
    int unreadableCount = 0;
    QStringList unreadable; // "folder: reason" of the first few that could not be read
    static constexpr int kUnreadableNamed = 5;
};

// Receives what a walk finds, in order, on the thread that walks.
class WalkSink {
public:
    virtual ~WalkSink() = default;
    // The walk has entered `folder`, whose subfolders it will search from the last to the first.
    virtual void entered(const QString& folder, const QStringList& subfolders) = 0;
    // Matches of one folder, in listing order.
    virtual void found(const QStringList& paths) = 0;
};

// The walk itself, on the calling thread. Each folder lists the matches found below it first (its
// subfolders taken from the last to the first), then its own, one "/" between folder and name. It
// stays on the start folder's file system, never follows a link to a folder, and passes over
// folders it cannot read, counting them. `cancel` is looked at as each folder is entered (and while
// a large folder is read): the folder being entered then adds nothing, nor does the folder it lies
// in, and the walk unwinds, the folders above adding their own matches as they close.
WalkEnd walkFolders(const WalkOptions& options, const std::atomic<bool>& cancel, WalkSink& sink);

// The walk on a thread of its own, which this object owns: abandoning the walk, starting another or
// destroying the object ends that thread and joins it, as the walk looks for the end at every folder
// and every 256 names; a walk held longer by a folder that does not answer is kept (KeptThreads.h)
// and joined once it ends. What it finds,
// and its end, reach this object's thread in batches, collected every 15 ms, through the signals, in
// the walk's order.
class FolderWalk : public QObject {
    Q_OBJECT
public:
    explicit FolderWalk(QObject* parent = nullptr);
    ~FolderWalk() override;

    // Starts a walk. One that is still running is abandoned first.
    void start(const WalkOptions& options);
    // Asks the walk to end at the next folder it enters. What it found until then, and the matches of
    // the folders it closes on its way out, still arrive, then finished().
    void stop();
    // Ends the walk at once: no signal of it is emitted any more, and its thread has ended (or, held
    // by a folder that does not answer, is kept until it does).
    void abandon();
    // Started, and finished() not emitted yet.
    bool isRunning() const { return m_shared != nullptr; }
    // Waits up to `ms` for a stopped walk to come to its end, then hands over what is left. True when
    // no walk is running any more.
    bool finish(int ms);

signals:
    // The folder being searched, with the subfolders it shows; at most every 40 ms.
    void entered(const QString& folder, const QStringList& subfolders);
    void found(const QStringList& paths);
    void finished(const WalkEnd& end);

private:
    struct Shared;
    void drain();
    void joinWalk();

    static constexpr int kCollectEveryMs = 15;
    static constexpr int kAbandonWaitMs = 250;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread; // the walk's; joined once it has ended or been told to
    QTimer* m_collect = nullptr;
    QElapsedTimer m_sinceProgress;
};
