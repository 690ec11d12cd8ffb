#pragma once
#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <optional>

class QWidget;
struct xcb_connection_t;

namespace platform {

// Holds the screen while the screen saver runs, as screen-saver daemons do: an active keyboard and
// pointer grab for the whole run, taken on the root window from the start (so input before the first
// window shows is not lost) and moved to the player's window once X shows it; the held windows bypass
// the window manager, so no panel, "above" window or task bar has a say, and they are raised again
// whenever another window is mapped or restacked. Only on X; elsewhere every call does nothing.
class X11ScreenHold : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    X11ScreenHold();
    ~X11ScreenHold() override;

    // Starts holding: grabs on the root window and watches the stacking of top-level windows.
    void begin();
    bool holding() const { return m_holding; }
    // A window to keep above everything; `takesInput` makes it the window the grabs report to. Call
    // before the window is first shown: it is made to bypass the window manager.
    void hold(QWidget* window, bool takesInput);
    // Lets go of everything: the grabs, the watching, the windows.
    void end();

    // Where the pointer rested when holding began; none when the server did not say.
    std::optional<QPoint> startPointer() const { return m_startPointer; }

    bool keyboardHeld() const { return m_keyboardOn != 0; }
    bool pointerHeld() const { return m_pointerOn != 0; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void tryGrabs();
    void scheduleRaise();
    void raiseAll();
    bool isOurs(uint32_t window) const;
    QWidget* inputWindow() const;
    uint32_t viewableInputWindow() const;
    // Both grabs are on the player's window and it is shown.
    bool grabsHeldOnInputWindow() const;
    // Input that came to the root window before the player's window showed goes to that window,
    // in the order it came, once the window is there to act on it.
    void keepEarlyInput(uint8_t type, const void* event);
    void passEarlyInput();

    xcb_connection_t* m_conn = nullptr;
    uint32_t m_root = 0;
    uint32_t m_rootMask = 0;
    uint32_t m_blankCursor = 0;
    bool m_holding = false;
    bool m_filtering = false;
    bool m_toldKeyboard = false;
    bool m_toldPointer = false;
    // The window each grab reports to now; 0 while not held.
    uint32_t m_keyboardOn = 0;
    uint32_t m_pointerOn = 0;
    QList<QPointer<QWidget>> m_windows;
    QPointer<QWidget> m_inputWindow;
    QTimer m_retry;
    QElapsedTimer m_since;
    QTimer m_raise;
    QElapsedTimer m_lastRaise;
    std::optional<QPoint> m_startPointer;
    struct EarlyInput {
        uint8_t type;
        uint8_t detail; // the key or button
        QPoint at;      // on the desktop
    };
    QList<EarlyInput> m_early;
    bool m_passScheduled = false;
};

} // namespace platform
