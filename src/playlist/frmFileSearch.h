#pragma once
#include "playlist/SearchForm.h"

// The media search: walks a folder tree for media files, which the user adds to the play-list
// editor's list one by one with a click or all at once.
class frmFileSearch : public SearchForm {
    Q_OBJECT
public:
    frmFileSearch();

    runtime::ClickLabel* Label1 = nullptr; // title
    runtime::ClickLabel* Label2 = nullptr; // "Help"
    runtime::ClickLabel* Label3 = nullptr; // "X "
    QPushButton* Command3 = nullptr;       // "&Add All Files"
    QPushButton* Command1 = nullptr;       // "&Finished"
    QPushButton* Command2 = nullptr;       // "&Cancel"

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Label2_Click();
    void Label3_Click();
    void mnuHelp_Click();

protected:
    void useFoundFile(QListWidgetItem* item) override;
    void resetFolders() override;
    QString helpText() const override;
};
