#pragma once
#include "base/MonitorUse.h"
#include "shell/SmallDialog.h"

class QGroupBox;
class QPushButton;
namespace runtime {
class OptionButton;
class OptionGroup;
} // namespace runtime

// How a run of the screen saver uses the monitors beyond the primary one. Opened modally from the
// configuration dialog; OK stores the choice, Cancel and the close boxes store nothing.
class frmMonitors : public SaveMenuDialog {
    Q_OBJECT
public:
    frmMonitors();

    QGroupBox* fraMonitors = nullptr;
    runtime::OptionGroup* monitorOptions = nullptr;
    runtime::OptionButton* optPrimaryMonitor = nullptr;
    runtime::OptionButton* optSameOnEvery = nullptr;
    runtime::OptionButton* optEachItsOwn = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command1 = nullptr;

    void Command2_Click();
    void Command1_Click();
    void Label1_Click();
    void mnuExitWithoutSavingChanges_Click();
    void mnuExitAndSaveChanges_Click();

    // The use the selected option stands for.
    playback::MonitorUse chosenUse() const;

protected:
    void Form_Load() override;

private:
    runtime::OptionButton* optionFor(playback::MonitorUse use) const;
    void saveAndClose();
};
