#include "runtime/Controls.h"
#include <QStyleOptionFocusRect>
#include <QStyle>
#include <QPushButton>
#include <QPainter>

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

namespace runtime {

OptionButton::OptionButton(const QString& caption, QWidget* parent) : QRadioButton(caption, parent) {
    setAutoExclusive(false);
}

void OptionButton::nextCheckState() {
    setChecked(true);
}

void OptionButton::keyPressEvent(QKeyEvent* event) {
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        step = -1;
        break;
    case Qt::Key_Down:
    case Qt::Key_Right:
        step = 1;
        break;
    default:
        break;
    }
    if (!m_group || step == 0 || event->modifiers() & ~Qt::KeypadModifier) {
        QRadioButton::keyPressEvent(event);
        return;
    }
    // Within a group the arrows select, as they do in any desktop's option groups; the focus
    // goes along so that Tab leaves from the new choice.
    if (OptionButton* next = m_group->neighbour(this, step)) {
        next->setFocus(Qt::OtherFocusReason);
        next->click();
    }
    event->accept();
}

void OptionGroup::add(OptionButton* option) {
    m_options << option;
    if (m_oneTabStop) option->m_group = this;
    connect(option, &QAbstractButton::toggled, this, [this, option](bool on) {
        if (on)
            for (OptionButton* other : m_options)
                if (other != option && other->isChecked()) other->setChecked(false);
        if (m_oneTabStop) settleTabStop();
    });
    connect(option, &QObject::destroyed, this, [this, option] { m_options.removeAll(option); });
    if (m_oneTabStop) settleTabStop();
}

void OptionGroup::settleTabStop() {
    OptionButton* stop = selected();
    if (!stop && !m_options.isEmpty()) stop = m_options.first();
    for (OptionButton* o : m_options) {
        const Qt::FocusPolicy policy =
            o == stop ? Qt::FocusPolicy(o->focusPolicy() | Qt::TabFocus)
                      : Qt::FocusPolicy(o->focusPolicy() & ~Qt::TabFocus);
        o->setFocusPolicy(policy);
    }
}

OptionButton* OptionGroup::neighbour(OptionButton* from, int step) const {
    const qsizetype n = m_options.size();
    const qsizetype at = m_options.indexOf(from);
    if (at < 0) return nullptr;
    for (qsizetype k = 1; k < n; ++k) {
        OptionButton* o = m_options[((at + step * k) % n + n) % n];
        if (o->isVisible() && o->isEnabled()) return o;
    }
    return nullptr;
}

OptionButton* OptionGroup::selected() const {
    for (OptionButton* o : m_options)
        if (o->isChecked()) return o;
    return nullptr;
}

void onSelected(OptionButton* option, QObject* context, std::function<void()> handler) {
    QObject::connect(option, &QAbstractButton::toggled, context, [handler = std::move(handler)](bool on) {
        if (on) handler();
    });
}

ClickLabel::ClickLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_leftDown = true;
    event->accept();
    emit mouseDown(event->button(), event->globalPosition().toPoint());
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    QPointer<ClickLabel> self(this);
    const bool click =
        event->button() == Qt::LeftButton && m_leftDown && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) m_leftDown = false;
    emit mouseUp(event->button(), event->globalPosition().toPoint());
    if (self && click) emit clicked();
}

namespace {

class MouseUpHook : public QObject {
public:
    MouseUpHook(QWidget* control, std::function<void(Qt::MouseButton)> handler)
        : QObject(control), m_control(control), m_handler(std::move(handler)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_control) return false;
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            return static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
            // Queued, so the control finishes its own release (and click) first.
            QTimer::singleShot(0, m_control, [this, button] { m_handler(button); });
            return button != Qt::LeftButton;
        }
        return false;
    }

private:
    QWidget* m_control;
    std::function<void(Qt::MouseButton)> m_handler;
};

} // namespace

void onMouseUp(QWidget* control, std::function<void(Qt::MouseButton)> handler) {
    control->installEventFilter(new MouseUpHook(control, std::move(handler)));
}

void popUpMenu(QMenu* menu, QPoint globalPos) {
    menu->popup(globalPos);
}

WaitCursor::WaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
}

WaitCursor::~WaitCursor() {
    QApplication::restoreOverrideCursor();
}

void drawFocusFrame(QWidget* control) {
    QPainter p(control);
    QStyleOptionFocusRect focus;
    focus.initFrom(control);
    // Shown from the start, not only once a key has moved the focus: the first stop must show too.
    focus.state |= QStyle::State_KeyboardFocusChange;
    // Inside a button's bevel; along a scroll bar's edge.
    const int inset = qobject_cast<QPushButton*>(control) ? 3 : 1;
    focus.rect = control->rect().adjusted(inset, inset, -inset, -inset);
    focus.backgroundColor = control->palette().color(QPalette::Button);
    control->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, control);
}

} // namespace runtime
