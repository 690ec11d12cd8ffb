#include "about/BoxedForm.h"

#include "about/AboutLook.h"
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

namespace about {

BoxedForm::BoxedForm(const QString& name) : Form(name) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
}

void BoxedForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        closeBox();
        return;
    }
    Form::keyPressEvent(event);
}

void BoxedForm::closeEvent(QCloseEvent* event) {
    // Back to the configuration dialog rather than out of the program. Queued, as the shrink lets
    // events run.
    if (isLoaded() && !isUnloading()) {
        event->ignore();
        QTimer::singleShot(0, this, [this] { closeBox(); });
        return;
    }
    Form::closeEvent(event);
}

void BoxedForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintWindowBorder(p, this);
}

} // namespace about
