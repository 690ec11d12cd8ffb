#pragma once
#include "runtime/Form.h"
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace testsupport {

// Stands in for a form that the one under test opens: once shown it notes its owner and whether it
// was shown modally, then does what the stand-in is for (`shown()`), which ends by closing it.
// Each stand-in keeps its own notes.
template <class Self> class RecordingForm : public runtime::Form {
public:
    explicit RecordingForm(const QString& name) : Form(name) {}
    static inline QList<QPointer<QWidget>> owners;
    static inline QList<bool> modal;

protected:
    virtual void shown() = 0;
    void Form_Load() override {
        QTimer::singleShot(0, this, [this] {
            owners << parentWidget();
            modal << (windowModality() == Qt::ApplicationModal && isVisible());
            shown();
        });
    }
};

} // namespace testsupport
