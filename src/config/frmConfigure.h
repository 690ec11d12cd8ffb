#pragma once
#include "runtime/Form.h"

// The configuration dialog. For now an empty window that the splash leads to; its controls come
// with the settings screen.
class frmConfigure : public runtime::Form {
    Q_OBJECT
public:
    frmConfigure();

protected:
    void Form_Load() override;
};
