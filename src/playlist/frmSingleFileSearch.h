#pragma once
#include "playlist/SearchForm.h"

// The single-file search: walks a folder tree for media files, of which the user picks one as the
// file the players loop (Key::VideoFile).
class frmSingleFileSearch : public SearchForm {
    Q_OBJECT
public:
    frmSingleFileSearch();

    runtime::ClickLabel* Label3 = nullptr; // title
    runtime::ClickLabel* Label1 = nullptr; // "Help"
    runtime::ClickLabel* Label2 = nullptr; // "X "
    QPushButton* Command1 = nullptr;       // "&Close and Save Filename"
    QPushButton* cmdCancel = nullptr;      // "C&ancel"

    void Command1_Click();
    void cmdCancel_Click();
    void Label1_Click();
    void Label2_Click();
    void mnuHelp_Click();

    // The help of the "Help" label and of the menu.
    static QString labelHelpText();
    static QString menuHelpText();

protected:
    void useFoundFile(QListWidgetItem* item) override;
    void resetFolders() override;
    QString helpText() const override { return labelHelpText(); }
};
