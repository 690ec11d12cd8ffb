#pragma once
#include <QPointer>
#include <memory>
#include <QObject>
#include "platform/CursorCount.h"
#include "platform/Platform.h"
#include "platform/linux/MonitorPower.h"
#include "platform/linux/X11Preview.h"
#include "platform/linux/X11ScreenHold.h"

namespace platform {

class LinuxSystemInfo : public SystemInfo {
public:
    uint32_t platformId() override { return 2; }
    QString windowsDirectory() override;
    QString programFolder() override;
    QString userDataFolder() override;
};

class NoRegistry : public Registry {
public:
    std::optional<RegistryValue> query(uint32_t, const QString&, const QString&) override { return std::nullopt; }
};

class X11WindowSystem : public WindowSystem {
public:
    bool topLevelWindowExists(const QString& caption) override;
    void makeTopmost(QWidget* window) override;
    int showCursor(bool show) override;
    void setScreenSaverRunning(bool running) override { m_running = running; }
    bool screenSaverRunning() const { return m_running; }
    void beginScreenHold() override;
    bool screenHeld() const override;
    void holdWindow(QWidget* window, bool takesInput) override;
    void endScreenHold() override;
    std::optional<QPoint> pointerAtHold() const override;
    QSize desktopSizeNow() const override;
    MonitorPower monitorPower() override;

private:
    std::unique_ptr<X11ScreenHold> m_hold;
    std::unique_ptr<MonitorPowerReader> m_power;
    bool m_powerReaderMade = false;
    CursorCount m_cursor;
    bool m_blankCursorSet = false;
    QPointer<QObject> m_pointerKeeper; // the application's, going with it
    bool m_running = false;
};

class WidgetDialogs : public Dialogs {
public:
    int messageBox(const QString& text, int style, const QString& title) override;
    std::optional<uint32_t> chooseColor(uint32_t initial) override;
    std::optional<QString> openFile(const QString& title, const QList<FileFilter>& filters, int filterIndex,
                                    const QString& initialFolder) override;
};

class MountedFileSystems : public FileSystem {
public:
    QList<Drive> drives() override;
    QString programDriveRoot() override;
    QString homeFolder() override;
};

class XdgDesktop : public Desktop {
public:
    bool openUrl(const QUrl& url) override;
    QString desktopFolder() override;
};

class DesktopPasswords : public Passwords {
public:
    void changePassword(const QString& provider, int64_t ownerWindow) override;
    int16_t verifyScreenSavePassword(QWidget*) override { return 1; }
};

class EventLoopProcess : public Process {
public:
    void endProgram(int code) override;
    bool programEnded() const override { return m_ended; }
    int exitCode() const { return m_code; }

private:
    bool m_ended = false;
    int m_code = 0;
};

// The whole set for the desktop.
class LinuxPlatform {
public:
    LinuxPlatform();
    ~LinuxPlatform();
    Platform services() const;
    EventLoopProcess& process() { return m_process; }

private:
    std::unique_ptr<SettingsBackend> m_settings;
    NoRegistry m_registry;
    LinuxSystemInfo m_system;
    X11WindowSystem m_windows;
    WidgetDialogs m_dialogs;
    DesktopPasswords m_passwords;
    EventLoopProcess m_process;
    std::unique_ptr<MediaEngine> m_media;
    X11PreviewHost m_preview;
    XdgDesktop m_desktop;
    MountedFileSystems m_files;
};

} // namespace platform
