#pragma once
#include <cstdint>
#include <QMap>
#include <QString>
#include <QStringList>

// What the program was started with: the classic switch ("/s", "/c", "/p 1234", "/a 1234"), and the
// options a screen-saver daemon passes to a hack ("--root", "--window-id ID") together with the ones
// its settings dialog writes for the user.
struct CommandLine {
    // The switch and its handle as one text, for VIDEOSCR::Main.
    QString classicSwitch;
    bool help = false;
    // Put Lumora in the list of display modes of the user's ~/.xscreensaver, and end.
    bool addToXscreensaver = false;
    // Drawing into a window the daemon gives: --root or --window-id.
    bool hosted = false;
    // The window to draw in; 0 with --root when the daemon named none (the root window is meant).
    int64_t hostWindow = 0;
    // Settings that hold for this run only, by key; the settings file is not changed.
    QMap<QString, QString> overrides;
    // One line each for standard error: a window named that is no window.
    QStringList warnings;
    // What was not understood (an unknown switch or option, a value out of range): nothing runs.
    QString refused;
};

// `screensaverWindow` is $XSCREENSAVER_WINDOW. Options take one dash or two, and a value either as
// the next argument or after "=".
CommandLine parseCommandLine(const QStringList& arguments, const QString& screensaverWindow);

// A window id as daemons write them: "0x" and hex digits, or decimal. 0 when it names no window.
int64_t parseWindowId(const QString& text);

// The --help text.
QString usageText();

// The one line on standard error for a command line that was not understood.
QString refusalLine(const QString& refused);
