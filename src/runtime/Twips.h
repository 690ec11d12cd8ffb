#pragma once
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace runtime {

// Dialog geometry is kept in twips: 1440 to the inch, 15 to a pixel at 96 dpi.
constexpr int kTwipsPerPixel = 15;

inline int twipsToPixels(double twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }
inline int pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

// The screen the program covers; while it draws inside another program's window, that window.
inline QSize& hostScreenPixels() {
    static QSize size;
    return size;
}

inline QSize screenPixels() {
    if (hostScreenPixels().isValid()) return hostScreenPixels();
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().size() : QSize(640, 480);
}
// Where the screen's top left corner lies on the desktop: the primary monitor need not be the
// left one. Inside another program's window, that window's corner.
inline QPoint screenOrigin() {
    if (hostScreenPixels().isValid()) return QPoint();
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().topLeft() : QPoint();
}
inline double screenWidthTwips() { return screenPixels().width() * double(kTwipsPerPixel); }
inline double screenHeightTwips() { return screenPixels().height() * double(kTwipsPerPixel); }
inline double twipsPerPixelX() { return kTwipsPerPixel; }
inline double twipsPerPixelY() { return kTwipsPerPixel; }

} // namespace runtime
