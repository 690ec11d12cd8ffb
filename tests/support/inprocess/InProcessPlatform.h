#pragma once
#include "platform/CursorCount.h"
#include "platform/Platform.h"
#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QQueue>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <memory>

namespace platform {

class MemorySettingsBackend : public SettingsBackend {
public:
    std::optional<QString> read(const QString& key) override;
    void write(const QString& key, const QString& value) override;
    void writeAll(const SettingsValues& values) override;
    bool failWrites = false;
    QMap<QString, QString> values; // keys in the case they were first written
    int saves = 0;                 // writes that reached the store, whole

private:
    QString find(const QString& key) const;
};

// Every service inside the process, with the answers a test gives and a record of the calls.
class InProcessPlatform : public Registry,
                          public SystemInfo,
                          public WindowSystem,
                          public Dialogs,
                          public Passwords,
                          public Process,
                          public MediaEngine,
                          public PreviewHost,
                          public Desktop,
                          public FileSystem {
public:
    InProcessPlatform();
    ~InProcessPlatform() override;

    // Installs this platform as the current one.
    void install();
    // Uses the real settings file at that path instead of the memory store.
    void useSettingsFile(const QString& path);
    SettingsBackend& settingsBackend() { return *m_settings; }
    MemorySettingsBackend* memorySettings() { return m_memory.get(); }

    // Registry
    std::optional<RegistryValue> query(uint32_t root, const QString& subkey, const QString& name) override;
    void setRegistryText(const QString& subkey, const QString& name, const QString& text);
    void setRegistryNumber(const QString& subkey, const QString& name, uint32_t value);
    QStringList registryQueries;

    // SystemInfo
    uint32_t platformId() override { return platformIdValue; }
    QString windowsDirectory() override { return windowsDirectoryValue; }
    QString programFolder() override { return programFolderValue; }
    QString userDataFolder() override { return userDataFolderValue; }
    uint32_t platformIdValue = 2;
    QString windowsDirectoryValue, programFolderValue, userDataFolderValue;

    // WindowSystem
    bool topLevelWindowExists(const QString& caption) override;
    void makeTopmost(QWidget* window) override;
    int showCursor(bool show) override { return cursor.change(show); }
    void setScreenSaverRunning(bool running) override { screenSaverRunningCalls << running; }
    QStringList foreignWindows; // captions of other programs' windows
    int topmostCalls = 0;
    CursorCount cursor;
    QList<bool> screenSaverRunningCalls;
    MonitorPower monitorPower() override {
        ++monitorPowerReads;
        return monitorPowerValue;
    }
    MonitorPower monitorPowerValue = MonitorPower::Unknown;
    int monitorPowerReads = 0;

    // Dialogs
    struct MessageBoxCall {
        QString text;
        int style;
        QString title;
    };
    int messageBox(const QString& text, int style, const QString& title) override;
    QList<MessageBoxCall> messageBoxes;
    QQueue<int> messageBoxAnswers;
    std::function<void()> onMessageBox;
    std::optional<uint32_t> chooseColor(uint32_t initial) override;
    QList<uint32_t> colorDialogInitials;          // the colour each opening started from
    QQueue<std::optional<uint32_t>> colorAnswers; // cancelled when empty
    struct OpenFileCall {
        QString title;
        QList<FileFilter> filters;
        int filterIndex;
        QString initialFolder;
    };
    std::optional<QString> openFile(const QString& title, const QList<FileFilter>& filters, int filterIndex,
                                    const QString& initialFolder) override;
    QList<OpenFileCall> openFileCalls;
    QQueue<std::optional<QString>> openFileAnswers; // cancelled when empty

    // Desktop
    bool openUrl(const QUrl& url) override;
    QString desktopFolder() override;
    QList<QUrl> openedUrls;
    QString desktopFolderValue;
    QList<int> cursorShapesAtDesktopFolder; // the override cursor's shape, -1 for none

    // FileSystem: one drive, a temporary folder, unless the test gives others.
    QList<Drive> drives() override { return drivesValue; }
    QString programDriveRoot() override { return programDriveRootValue; }
    QString homeFolder() override { return homeFolderValue; }
    QList<Drive> drivesValue;
    QString programDriveRootValue, homeFolderValue;

    // Passwords
    void changePassword(const QString& provider, int64_t ownerWindow) override;
    int16_t verifyScreenSavePassword(QWidget* window) override;
    QList<QPair<QString, int64_t>> passwordChanges;
    QQueue<int16_t> verifyAnswers; // 1 when empty
    int verifyCalls = 0;
    int cursorCountAtVerify = 0;

    // Process
    void endProgram(int code) override;
    bool programEnded() const override { return endedWith.has_value(); }
    std::optional<int> endedWith;

    // MediaEngine
    platform::MediaPlayer* createPlayer(QWidget* parent) override;
    std::function<platform::MediaPlayer*(QWidget*)> playerFactory;

    // PreviewHost: one host window, a widget standing in for it (152 x 112 until the test resizes it).
    bool isWindow(int64_t window) override;
    WindowRect clientRect(int64_t window) override;
    void embed(QWidget* picture, int64_t host) override;
    void giveBack(QWidget* picture, QWidget* form) override;
    QWidget* previewHostWidget();
    int64_t previewHostId = 0x1a00007;
    bool hostAlive = true;
    QStringList previewCalls; // "embed <id>", "giveBack"
    int failingGiveBacks = 0; // the next ones raise an error

private:
    std::unique_ptr<MemorySettingsBackend> m_memory;
    std::unique_ptr<SettingsBackend> m_file;
    SettingsBackend* m_settings = nullptr;
    QHash<QString, RegistryValue> m_registry;
    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_previewHost;
};

} // namespace platform
