#pragma once
#include "runtime/Form.h"

namespace about {

// A window of the about group without a title bar: its own "X " label is the close box, Esc and the
// window manager's close (Alt+F4) do what that box does, and it draws its own raised border.
class BoxedForm : public runtime::Form {
    Q_OBJECT
protected:
    explicit BoxedForm(const QString& name);
    // What the close box does.
    virtual void closeBox() = 0;

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace about
