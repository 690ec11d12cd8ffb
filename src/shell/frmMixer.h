#pragma once
#include "shell/SmallDialog.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QPushButton;
namespace runtime {
class ClickLabel;
}

// Whether the players mute their sound; the volume itself is the desktop's. Opened modally from the
// configuration dialog.
class frmMixer : public MenuDialog {
    Q_OBJECT
public:
    frmMixer();

    static QString helpText();

    QAction* mnuClose = nullptr;
    QGroupBox* fraVolume = nullptr;
    QCheckBox* chkVolMute = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    runtime::ClickLabel* Label3 = nullptr;

    void Command1_Click();
    void Command2_Click();
    void Label1_Click();
    void Label3_Click();
    void mnuClose_Click();

protected:
    void Form_Load() override;

private:
    void saveAndClose();
};
