#pragma once
#include <QMap>
#include "platform/CursorCount.h"
#include "platform/Platform.h"

namespace platform {

// Settings given on the command line, over the store: they are read first and hold for this run only.
// A value the run sets is never written back over the user's; with `readOnly` nothing is written, and
// what the run sets holds for it alone.
class OverridingSettings : public SettingsBackend {
public:
    OverridingSettings(SettingsBackend& store, const QMap<QString, QString>& overrides, bool readOnly);
    std::optional<QString> read(const QString& key) override;
    void write(const QString& key, const QString& value) override;
    void writeAll(const SettingsValues& values) override;
    QString leftAloneReason() override { return m_store.leftAloneReason(); }
    QString location() const override { return m_store.location(); }
    void set(const QString& key, const QString& value);
    // The key reads as missing for this run, whatever the store holds, and is not written.
    void forget(const QString& key);
    SettingsBackend& store() const { return m_store; }

private:
    SettingsBackend& m_store;
    QMap<QString, std::optional<QString>> m_values; // by lower-case key; none for a forgotten key
    bool m_readOnly;
};

// The window system while the program draws inside a window of a screen-saver daemon: the daemon
// stacks its window, owns the pointer and knows whether it runs, so nothing here is passed on.
class HostedWindowSystem : public WindowSystem {
public:
    explicit HostedWindowSystem(WindowSystem& desktop) : m_desktop(desktop) {}
    bool topLevelWindowExists(const QString& caption) override { return m_desktop.topLevelWindowExists(caption); }
    void makeTopmost(QWidget*) override {}
    int showCursor(bool show) override { return m_cursor.change(show); }
    void setScreenSaverRunning(bool) override {}

private:
    WindowSystem& m_desktop;
    CursorCount m_cursor;
};

// Nobody can answer a box over a daemon's window: messages go to standard error, choices are declined.
class QuietDialogs : public Dialogs {
public:
    int messageBox(const QString& text, int style, const QString& title) override;
    std::optional<uint32_t> chooseColor(uint32_t) override { return std::nullopt; }
    std::optional<QString> openFile(const QString&, const QList<FileFilter>&, int, const QString&) override {
        return std::nullopt;
    }
    QStringList told() const { return m_told; }

private:
    QStringList m_told;
};

} // namespace platform
