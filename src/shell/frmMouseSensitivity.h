#pragma once
#include "shell/SmallDialog.h"
#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
namespace runtime {
class ClickLabel;
class OptionButton;
class OptionGroup;
} // namespace runtime

// Edits how mouse movement ends the screen saver: the sensitivity, and whether the full-screen
// player ignores movement altogether. Opened modally from the configuration dialog.
class frmMouseSensitivity : public SaveMenuDialog {
    Q_OBJECT
public:
    frmMouseSensitivity();

    static QString helpText();

    QGroupBox* fraSensitivity = nullptr;
    QScrollBar* hscMouseSensitivity = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtMouseSensitivity = nullptr;
    QGroupBox* fraIgnore = nullptr;
    runtime::OptionGroup* ignoreOptions = nullptr;
    runtime::OptionButton* optYesIgnoreMouseMovement = nullptr;
    runtime::OptionButton* optDoNotIgnoreMouseMovement = nullptr;
    QLabel* lblIgnoreMouseMovementMessage = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command1 = nullptr;
    runtime::ClickLabel* Label4 = nullptr;

    void hscMouseSensitivity_Change();
    void txtMouseSensitivity_Change();
    void optYesIgnoreMouseMovement_Click();
    void optDoNotIgnoreMouseMovement_Click();
    void Command2_Click();
    void Command1_Click();
    void Label1_Click();
    void Label4_Click();
    void mnuExitWithoutSavingChanges_Click();
    void mnuExitAndSaveChanges_Click();

protected:
    void Form_Load() override;

private:
    // The number in the box when it is one the scroll bar can take.
    std::optional<int> typedSensitivity() const;
    void saveAndClose();
};
