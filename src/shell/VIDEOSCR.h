#pragma once
#include <cstdint>
#include <QString>
#include <QStringList>

// The program's entry module: the switch dispatch and the values it shares with the forms.
namespace VIDEOSCR {

extern int64_t PreviewHostWindow;
extern int16_t TwipsPerPixelX;
extern int16_t TwipsPerPixelY;

constexpr const char* kMainFormCaption = "Screen Saver Main Form";

// Runs once with the argument string (the switch and what follows it, e.g. "/p 1234").
void Main(const QString& arguments);

// The player forms /s shows, in order, as the display-mode settings say: the floating player once for
// each partial mode that is on, then the full-screen player when its mode is on.
QStringList playerFormsToShow();

// Why the display-mode settings cannot be played as they stand: they name none ("names no display
// mode") or more than one ("names several display modes (...)"); empty when they name one.
QString displayModeFault();

// Plays inside the window of a screen-saver daemon (or another host) instead of on the screen: the
// player fills the window and follows its size, the daemon keeps the keyboard, the mouse and the
// pointer, and the program ends when the window goes. False, with a line on standard error, when the
// window cannot be drawn in.
bool RunHosted(int64_t hostWindow);

// True when no top-level window bears the caption.
bool NoWindowWithCaption(const QString& caption);

// The window handle after the first two characters: the leading number, rounded, or "0x" and hex
// digits as X tools write window ids; 0 when none or when it does not fit a window handle.
int64_t readHandle(const QString& arguments);

// The screen size in pixels, as Main stores it.
int16_t screenWidthPixels();
int16_t screenHeightPixels();

} // namespace VIDEOSCR

// Registers every form the program reaches by name.
void registerProgramForms();
