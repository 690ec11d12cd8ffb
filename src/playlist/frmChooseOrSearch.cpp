#include "playlist/frmChooseOrSearch.h"

#include "runtime/Twips.h"

frmChooseOrSearch::frmChooseOrSearch() : Form(QStringLiteral("frmChooseOrSearch")) {
    setWindowTitle(QStringLiteral("Choose or Search for a Media File"));
    resize(runtime::twipsToPixels(6000), runtime::twipsToPixels(3000));
}

void frmChooseOrSearch::Form_Load() { centreOnScreen(); }
