#pragma once
#include "base/FolderWalk.h"
#include "runtime/Form.h"

class DriveList;
class FileList;
class FolderList;
class QAction;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QMenuBar;
class QPushButton;
namespace runtime {
class ClickLabel;
}

// What the media search and the single-file search share: the drive, folder and pattern boxes, the
// walk with its Start and Stop, the found list and its counter, Reset, help and closing.
class SearchForm : public runtime::Form {
    Q_OBJECT
public:
    static constexpr int kMaxFound = 32767; // the found list's count is 16-bit

    QMenuBar* menuBar = nullptr;
    QMenu* mnuFile = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuHelp = nullptr;

    QGroupBox* fraDrive = nullptr;
    QGroupBox* fraFolder = nullptr;
    QGroupBox* fraSearchSpec = nullptr;
    QGroupBox* fraFoundFiles = nullptr;
    DriveList* drvList = nullptr;
    FolderList* dirList = nullptr;
    QLineEdit* txtSearchSpec = nullptr;
    FileList* filList = nullptr;
    QListWidget* lstFoundFiles = nullptr;
    QLabel* lblCount = nullptr;
    QPushButton* cmdSearch = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdReset = nullptr;
    QLabel* Image1 = nullptr;

    // True while a walk runs and has not been told to stop ("Sto&p Search" is shown).
    bool searching() const { return m_searching; }
    // The walk has not handed over everything yet (it may be unwinding after a stop).
    bool walkRunning() const { return m_walk->isRunning(); }

    void cmdSearch_Click();
    void cmdExit_Click();
    void lstFoundFiles_Click(QListWidgetItem* item);
    void drvList_Change();
    void dirList_Change();
    void dirList_LostFocus();
    void txtSearchSpec_Change();
    void txtSearchSpec_GotFocus();
    void mnuExit_Click();

protected:
    struct Captions {
        QString title;        // the window's and the title label's
        QString folderFrame;  // the folder list's frame
        QString patternFrame; // the pattern box's frame
        QString foundFrame;   // the found list's frame
        const char* titleLabel;
        const char* helpLabel;
        const char* closeLabel;
    };
    SearchForm(const QString& name, const Captions& captions);

    runtime::ClickLabel* titleLabel() const { return m_title; }
    runtime::ClickLabel* helpLabel() const { return m_help; }
    runtime::ClickLabel* closeLabel() const { return m_close; }
    // The row of buttons under the found list, for the form's own buttons after the shared ones.
    QHBoxLayout* buttonRow() const { return m_buttons; }
    // The button Escape presses.
    void setCancelButton(QPushButton* button) { m_cancel = button; }

    // What a click (or Enter) on a found file does once the walk has been stopped.
    virtual void useFoundFile(QListWidgetItem* item) = 0;
    // The full path a found entry stands for; its text shows it as the user reads it.
    static QString foundPath(const QListWidgetItem* item);
    // Reset puts the folder and drive lists back its own way.
    virtual void resetFolders() = 0;
    virtual QString helpText() const = 0;

    void cmdReset_Click();
    void showHelp(const QString& text);
    // Clears the search flag: the walk ends, and nothing of it reaches the window any more.
    void endWalk();
    // Every way out but "E&xit": the walk ends, then the window shrinks away.
    void closeSearch();
    // Buttons as idle: "&Start Search" shown, "Sto&p Search" hidden.
    void showIdle();
    // Moves the folder list and the drive list to the root of the program's drive.
    void goToProgramDrive();

    void Form_Load() override;
    void Form_Unload() override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls(const Captions& captions);
    void layOut();
    void connectHandlers();
    void walk_Entered(const QString& folder, const QStringList& subfolders);
    void walk_Found(const QStringList& paths);
    void walk_Finished(const WalkEnd& end);
    void setFolderQuietly(const QString& folder);
    void setDriveQuietly(const QString& path);

    runtime::ClickLabel* m_title = nullptr;
    runtime::ClickLabel* m_help = nullptr;
    runtime::ClickLabel* m_close = nullptr;
    QHBoxLayout* m_buttons = nullptr;
    QPushButton* m_cancel = nullptr;
    FolderWalk* m_walk = nullptr;
    QString m_startFolder;
    bool m_searching = false;
    bool m_settingDrive = false;
    bool m_secondClick = false;
};

// The pattern text the searches start with, and return to on Reset.
QString searchPatternText();
// The title of the searches' help boxes.
QString searchHelpTitle();
