#pragma once
#include "runtime/Controls.h"
#include "runtime/Form.h"
#include <QPointer>
#include <functional>

class QAction;
class QDialogButtonBox;
class QLayout;
class QMenu;
class QMenuBar;
class QPushButton;
namespace runtime {
class ClickLabel;
}

// What the small modal dialogs of the configuration dialog share: a fixed client size given in twips
// that grows when the fonts need more room, Enter and Escape for the OK and Cancel buttons, and a
// shrink-and-close that the fixed size does not hold back.
class SmallDialog : public runtime::Form {
    Q_OBJECT
protected:
    SmallDialog(const QString& name, const QString& title);

    // Controls carry their names, so that they can be found by them.
    template <class T> static T* named(T* control, const char* name) {
        control->setObjectName(QString::fromLatin1(name));
        return control;
    }
    // A label that works as a button ("Help").
    static runtime::ClickLabel* buttonLabel(const QString& caption, const char* name);

    // OK and Cancel, named as given, in a button box; they take Enter and Escape (setDialogButtons).
    QDialogButtonBox* okCancelButtons(const QString& okCaption, const char* okName, QPushButton*& ok,
                                      const char* cancelName, QPushButton*& cancel);

    // Fixes the client area at the given size, or at what `layout` needs where that is more.
    void fixClientSize(QLayout* layout, int widthTwips, int heightTwips);
    void setDialogButtons(QPushButton* ok, QPushButton* cancel);
    // CloseWithShrink with the size let go first; a dialog already shrinking ignores it.
    void closeWithShrink();
    // Runs the saves; when the store refuses one, says so and returns false, so the dialog stays.
    bool saveSettings(const std::function<void()>& saves);
    // A notice with the exclamation icon, under the program's title.
    static void notice(const QString& text);

    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointer<QPushButton> m_ok;
    QPointer<QPushButton> m_cancel;
};

// A small dialog with a menu bar: File, and the "X" label that closes the dialog in the bar's top
// right corner. The dialog fills File and puts the bar on its layout.
class MenuDialog : public SmallDialog {
    Q_OBJECT
public:
    QMenuBar* menuBar = nullptr;
    QMenu* mnuFile = nullptr;
    runtime::ClickLabel* Label1 = nullptr;

protected:
    MenuDialog(const QString& name, const QString& title);
};

// A menu dialog that keeps settings: File has its two ways out.
class SaveMenuDialog : public MenuDialog {
    Q_OBJECT
public:
    QAction* mnuExitWithoutSavingChanges = nullptr;
    QAction* mnuExitAndSaveChanges = nullptr;

protected:
    SaveMenuDialog(const QString& name, const QString& title);
};
