#pragma once
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QPoint>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class QUrl;
class QWidget;

namespace platform {

class MediaPlayer;

// Keys and their new values, in the order they were set; a key may come more than once, and the
// last value wins.
using SettingsValues = QList<QPair<QString, QString>>;

// The per-user store of named text values. Keys compare without case. write() and writeAll() raise
// a runtime error when the store cannot be written.
class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;
    virtual std::optional<QString> read(const QString& key) = 0;
    virtual void write(const QString& key, const QString& value) = 0;
    // Several keys in one save: afterwards the store holds every one of them, or, when the save
    // fails, is exactly as it was. The same as writing them one by one, had each write succeeded.
    virtual void writeAll(const SettingsValues& values) = 0;
    // Why the store is left alone and every value reads as missing ("too large", "unreadable");
    // empty while it is in use.
    virtual QString leftAloneReason() { return QString(); }
    // Where the store is, as the user finds it (a file's path); empty where there is nothing to name.
    virtual QString location() const { return QString(); }
};

struct RegistryValue {
    uint32_t type = 1; // 1 text, 4 32-bit number
    QByteArray data;   // as the registry returns it, a text with its terminating zero
};

class Registry {
public:
    virtual ~Registry() = default;
    virtual std::optional<RegistryValue> query(uint32_t root, const QString& subkey, const QString& name) = 0;
};

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    // 1 for the family whose screen saver asks for the password itself, 2 where the desktop does.
    virtual uint32_t platformId() = 0;
    // The program's data folder, where the default media file lives; empty when unknown.
    virtual QString windowsDirectory() = 0;
    virtual QString programFolder() = 0;
    // Where the play list goes when the program folder is not writable.
    virtual QString userDataFolder() = 0;
};

// What the monitors' power state says: all of them off (asleep, in standby or suspended), at least
// one on, or nothing known (no way to ask, or no answer).
enum class MonitorPower { Unknown, On, Off };

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    virtual bool topLevelWindowExists(const QString& caption) = 0;
    virtual void makeTopmost(QWidget* window) = 0;
    // The pointer display count: shown while it is 0 or more. Returns the new count.
    virtual int showCursor(bool show) = 0;
    virtual void setScreenSaverRunning(bool running) = 0;
    // The running screen saver owns the screen from here on: keyboard, pointer and stacking, until
    // endScreenHold. Only where the program runs on its own, not inside another program's window.
    virtual void beginScreenHold() {}
    virtual bool screenHeld() const { return false; }
    // A window that covers a monitor while the screen is held, to keep above every other window; the
    // one that takes input is where keys and clicks go. Called before the window is first shown.
    virtual void holdWindow(QWidget*, bool /*takesInput*/) {}
    virtual void endScreenHold() {}
    // Where the pointer rested when the screen was first held, in desktop coordinates; none where
    // the window system does not say.
    virtual std::optional<QPoint> pointerAtHold() const { return std::nullopt; }
    // The size of the whole desktop as the window server has it now, ahead of the program's own
    // notice of a monitor change; empty where it cannot be asked.
    virtual QSize desktopSizeNow() const { return QSize(); }
    // The monitors' power state as the window server has it now. Only read, never changed: a
    // screen saver must let the monitors sleep and wake as the desktop decides. Cheap enough to ask
    // every second.
    virtual MonitorPower monitorPower() { return MonitorPower::Unknown; }
};

// One entry of a file-open dialog's type list: the text the user reads and the wildcard patterns it
// stands for, separated by ";".
struct FileFilter {
    QString description;
    QString patterns;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal message box; style as the classic message-box flags (64 information, OK). Returns the
    // button pressed (1 OK).
    virtual int messageBox(const QString& text, int style, const QString& title) = 0;
    // The modal colour dialog, opened on `initial`. Colours carry red in the low byte. Returns the
    // colour chosen, or nothing when the user cancelled.
    virtual std::optional<uint32_t> chooseColor(uint32_t initial) = 0;
    // The modal file-open dialog for one existing file, started in `initialFolder` with no name
    // filled in and the filter at `filterIndex` (from 0) chosen. Returns the chosen file's full path,
    // or nothing when the user cancelled.
    virtual std::optional<QString> openFile(const QString& title, const QList<FileFilter>& filters,
                                            int filterIndex, const QString& initialFolder) = 0;
};

// The user's desktop: web addresses and the desktop folder.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens an http, https or mailto address with the user's program for it; any other address is
    // refused. False when nothing was opened.
    virtual bool openUrl(const QUrl& url) = 0;
    // The folder the desktop shows; made when it does not exist yet. Empty when there is none.
    virtual QString desktopFolder() = 0;
};

// A drive as the user picks it: a mounted file system.
struct Drive {
    QString root; // its mount point, "/" for the root file system
    QString name; // its label, or the device it lives on
};

// The file systems the program browses and searches.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Mounted file systems the user keeps files on; kernel and runtime pseudo file systems left out.
    virtual QList<Drive> drives() = 0;
    // The mount point of the file system that holds the program.
    virtual QString programDriveRoot() = 0;
    // Where browsing starts when nothing was saved: the user's home folder.
    virtual QString homeFolder() = 0;
};

// Only these addresses are handed to the desktop: others could run programs or open local files.
bool isOpenableUrl(const QUrl& url);

class Passwords {
public:
    virtual ~Passwords() = default;
    virtual void changePassword(const QString& provider, int64_t ownerWindow) = 0;
    // 0 when the password was not verified.
    virtual int16_t verifyScreenSavePassword(QWidget* window) = 0;
};

class Process {
public:
    virtual ~Process() = default;
    // Ends the program with the given exit code as soon as control returns to the event loop.
    virtual void endProgram(int code) = 0;
    virtual bool programEnded() const = 0;
};

class MediaEngine {
public:
    virtual ~MediaEngine() = default;
    virtual platform::MediaPlayer* createPlayer(QWidget* parent) = 0;
};

// A window's client area in pixels; right and bottom lie just outside it.
struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// The window of another program that shows the screen saver's preview, named by its window id.
class PreviewHost {
public:
    virtual ~PreviewHost() = default;
    // False for 0 and for an id that names no window; never disturbs the program.
    virtual bool isWindow(int64_t window) = 0;
    // All zero when there is no such window.
    virtual WindowRect clientRect(int64_t window) = 0;
    // Makes the picture a child window of the host at the picture's geometry and shows it. Raises a
    // runtime error when the host cannot take it.
    virtual void embed(QWidget* picture, int64_t host) = 0;
    // The root window of the screen, where a screen-saver daemon that names no window means the
    // program to draw; 0 when there is none.
    virtual int64_t rootWindow() { return 0; }
    // Where the window's top-left corner lies on the root window; none when that cannot be had.
    virtual std::optional<QPoint> originOnRoot(int64_t /*window*/) { return std::nullopt; }
    // Takes the picture out of the host and back into its hidden form, alive. Raises a runtime error
    // when that fails.
    virtual void giveBack(QWidget* picture, QWidget* form) = 0;
};

struct Platform {
    SettingsBackend* settings = nullptr;
    Registry* registry = nullptr;
    SystemInfo* system = nullptr;
    WindowSystem* windows = nullptr;
    Dialogs* dialogs = nullptr;
    Passwords* passwords = nullptr;
    Process* process = nullptr;
    MediaEngine* media = nullptr;
    PreviewHost* preview = nullptr;
    Desktop* desktop = nullptr;
    FileSystem* files = nullptr;
};

// The platform in force; installed by main() or by a test.
Platform& current();
void install(const Platform& platform);

// Each service on its own.
inline SettingsBackend& settings() {
    return *current().settings;
}
inline Registry& registry() {
    return *current().registry;
}
inline SystemInfo& system() {
    return *current().system;
}
inline WindowSystem& windows() {
    return *current().windows;
}
inline Dialogs& dialogs() {
    return *current().dialogs;
}
inline Passwords& passwords() {
    return *current().passwords;
}
inline Process& process() {
    return *current().process;
}
inline MediaEngine& media() {
    return *current().media;
}
inline PreviewHost& preview() {
    return *current().preview;
}
inline Desktop& desktop() {
    return *current().desktop;
}
inline FileSystem& files() {
    return *current().files;
}

} // namespace platform
