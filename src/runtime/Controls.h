#pragma once
#include <QLabel>
#include <QList>
#include <QPoint>
#include <QRadioButton>
#include <functional>

class QMenu;

namespace runtime {

// An option button: a click selects it, and a selected one stays selected when clicked again.
// Exclusivity comes from its OptionGroup, which lets a group start with none selected.
class OptionGroup;

class OptionButton : public QRadioButton {
    Q_OBJECT
public:
    explicit OptionButton(const QString& caption, QWidget* parent = nullptr);

protected:
    void nextCheckState() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class OptionGroup;
    OptionGroup* m_group = nullptr;
};

// Options of which at most one is selected. Selecting one, by the user or from code, clears the
// others before the selected one's own handlers run; clearing one selects nothing else.
class OptionGroup : public QObject {
    Q_OBJECT
public:
    explicit OptionGroup(QObject* parent = nullptr) : QObject(parent) {}
    // Makes the group one Tab stop, the selected option (or the first while none is), with the
    // arrow keys moving the selection within it. Call before adding the options.
    void setOneTabStop() { m_oneTabStop = true; }
    // Connect an option's handlers after adding it, so that they see the group already settled.
    void add(OptionButton* option);
    OptionButton* selected() const;

private:
    friend class OptionButton;
    void settleTabStop();
    // The usable option `step` places on from `from`, going round; null when there is none.
    OptionButton* neighbour(OptionButton* from, int step) const;
    QList<OptionButton*> m_options;
    bool m_oneTabStop = false;
};

// Connects `handler` to the option's selection, the way an option's click event runs: whenever it
// becomes selected, whether the user clicked it or code selected it.
void onSelected(OptionButton* option, QObject* context, std::function<void()> handler);

// A label that reports presses and releases with their button, and a left click.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(const QString& caption, QWidget* parent = nullptr);

signals:
    void mouseDown(Qt::MouseButton button, QPoint globalPos);
    void mouseUp(Qt::MouseButton button, QPoint globalPos);
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_leftDown = false;
};

// Runs `handler` with the button whenever a mouse button is released over `control`, after the
// control has handled the release itself (so a left click has already clicked). Presses and
// releases of the other buttons stop at the control: they never reach the window behind it.
void onMouseUp(QWidget* control, std::function<void(Qt::MouseButton)> handler);

// Pops the menu up at a point of the screen without waiting for it to close.
void popUpMenu(QMenu* menu, QPoint globalPos);

// Shows the wait cursor over the whole program until the object goes, and lets it show at once.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Draws the keyboard focus frame over a control whose style shows none (a scroll bar) or shows the
// same with the focus and without (the default button): every Tab stop must show where it is.
void drawFocusFrame(QWidget* control);

template <class Control> class ShowsFocus : public Control {
public:
    using Control::Control;

protected:
    void paintEvent(QPaintEvent* event) override {
        Control::paintEvent(event);
        if (this->hasFocus()) drawFocusFrame(this);
    }
};

} // namespace runtime
