#include "config/frmConfigure.h"

#include "runtime/Twips.h"

frmConfigure::frmConfigure() : Form(QStringLiteral("frmConfigure")) {
    setWindowTitle(QStringLiteral("Lumora Video & Multimedia Screensaver"));
    resize(runtime::twipsToPixels(9000), runtime::twipsToPixels(6600));
}

void frmConfigure::Form_Load() { centreOnScreen(); }
