#pragma once
#include "base/PlayListModel.h"
#include "runtime/Form.h"
#include <QPoint>
#include <functional>

class QAction;
class QGroupBox;
class QLabel;
class QListView;
class QMenu;
class QPushButton;
class DriveList;
class FileList;
class FolderList;

namespace runtime {
class ClickLabel;
class OptionButton;
class OptionGroup;
} // namespace runtime

// The play-list editor: a view and editor of the play list in memory (playlist/PlayList.h), which it
// writes to the play-list file when the user saves. Unloading it forgets unsaved edits. Its drive,
// folder and file lists are filled only once it is shown, so a hidden load never waits on a file
// system.
class frmFileLister : public runtime::Form {
    Q_OBJECT
public:
    static constexpr int kMaxEntries = PlayListModel::kMaxEntries;

    // What just changed the list; each sets the order options and the save button its own way.
    enum class ListChange { Load, AddAll, Removal, SingleAdd, MouseMove };

    explicit frmFileLister(QWidget* parent = nullptr);

    QGroupBox* Frame1 = nullptr; // drive
    QGroupBox* Frame2 = nullptr; // folder
    QGroupBox* Frame3 = nullptr; // files located
    QGroupBox* Frame4 = nullptr; // play list
    QGroupBox* Frame5 = nullptr; // order
    DriveList* Drive1 = nullptr;
    FolderList* Dir1 = nullptr;
    FileList* File1 = nullptr;
    QListView* List1 = nullptr; // shows the play list in memory
    runtime::OptionButton* optInOrderOfSelection = nullptr;
    runtime::OptionButton* optInRandomOrder = nullptr;
    QPushButton* Command1 = nullptr; // save
    QPushButton* Command2 = nullptr; // cancel
    QPushButton* Command3 = nullptr; // search
    QPushButton* Command4 = nullptr; // add all
    QPushButton* Command5 = nullptr; // clear all
    runtime::ClickLabel* Label2 = nullptr;
    runtime::ClickLabel* Label3 = nullptr;
    runtime::ClickLabel* Label4 = nullptr;
    runtime::ClickLabel* Label5 = nullptr;
    QLabel* Label1 = nullptr; // carries the playlist file's header line
    QLabel* Image1 = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuSearch = nullptr;
    QAction* mnuSearchEntireDriveForVideoFiles = nullptr;
    QAction* mnuHelp = nullptr;

    // The play list in memory, as List1 shows it.
    int listCount() const;
    // "" when the index is out of range.
    QString listItem(int index) const;
    // Appends an entry; a full list raises runtime::RuntimeError (Overflow) and stays as it was.
    void addItem(const QString& entry);
    QString header() const;

    // Reads the playlist file again into the list in memory: its header and its entries.
    void LoadPlayList();
    // Writes the header and the list in memory to the playlist file. A failed write is reported to the user and
    // returns false; the list and the file stay as they were.
    bool SavePlayList();

    // Sets the order options (and, for Load and MouseMove, the save button) for the current count
    // as the given kind of change requires.
    void applyOrderOptions(ListChange change);

    // Handlers
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void File1_Click(int index);
    void List1_Click(int index);
    void Drive1_Change();
    void Dir1_Change();
    // Moving the mouse over Command2 to Command5, File1 or List1, or the focus entering one of them.
    void OrderControl_MouseMove();
    void Label2_MouseDown(Qt::MouseButton button, QPoint globalPos);
    void Label3_MouseDown(Qt::MouseButton button, QPoint globalPos);
    void Label4_Click();
    void Label5_Click();
    void mnuExit_Click();
    void mnuSearchEntireDriveForVideoFiles_Click();
    void mnuHelp_Click();

    // The instructions that Help shows.
    static QString helpText();
    // Tells the user that `notAdded` of the `files` ("files", "found files") did not fit the full list.
    static void reportFullList(int notAdded, const QString& files);

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void layOut();
    void connectHandlers();
    // The first showing lists the drives and goes to the saved folder.
    void startBrowsing();
    void openSearch();
    void pressEnter();
    // False after telling the user that the store could not be written.
    bool saveSettingReported(const std::function<void()>& save);

    runtime::OptionGroup* m_orderGroup = nullptr;
    bool m_browsing = false;
    QString m_savedFolder; // read at load, visited at the first showing
};

void registerPlaylistForms();
// The play-list form, loaded hidden on first use; null only when it could not be loaded.
frmFileLister* fileLister();
// Unloads the play-list form when it is loaded and forgets the play list's unsaved edits; errors are
// ignored.
void unloadFileLister();
