#pragma once
#include "runtime/Form.h"

// Where the single media file is chosen: the file-open dialog or a search. For now an empty window
// that the configuration dialog opens.
class frmChooseOrSearch : public runtime::Form {
    Q_OBJECT
public:
    frmChooseOrSearch();

protected:
    void Form_Load() override;
};
