#pragma once
#include "runtime/Form.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace runtime {
class OptionButton;
class OptionGroup;
} // namespace runtime

// The play-list editor. Loaded hidden it is also the in-memory home of the play list: players and
// the configuration dialog read List1 through fileLister(), and its load reads the playlist file.
class frmFileLister : public runtime::Form {
    Q_OBJECT
public:
    static constexpr int kMaxEntries = 32767; // counts and positions are 16-bit

    // What just changed the list; each sets the order options and the save button its own way.
    enum class ListChange { Load, AddAll, Removal, SingleAdd, MouseMove };

    explicit frmFileLister(QWidget* parent = nullptr);

    QListWidget* List1 = nullptr;
    QLabel* Label1 = nullptr; // carries the playlist file's header line
    runtime::OptionButton* optInOrderOfSelection = nullptr;
    runtime::OptionButton* optInRandomOrder = nullptr;
    QPushButton* Command1 = nullptr; // save

    int listCount() const;
    // "" when the index is out of range.
    QString listItem(int index) const;
    // Appends an entry; a full list raises runtime::RuntimeError (Overflow) and stays as it was.
    void addItem(const QString& entry);
    QString header() const;

    // Replaces the header by line 1 of the playlist file and appends its entries to List1.
    void LoadPlayList();
    // Writes the header and List1 to the playlist file. A failed write is reported to the user and
    // returns false; the list and the file stay as they were.
    bool SavePlayList();

    // Sets the order options (and, for Load and MouseMove, the save button) for the current count
    // as the given kind of change requires.
    void applyOrderOptions(ListChange change);

protected:
    void Form_Load() override;

private:
    runtime::OptionGroup* m_orderGroup = nullptr;
};

void registerPlaylistForms();
// The play-list form, loaded hidden on first use; null only when it could not be loaded.
frmFileLister* fileLister();
// Unloads the play-list form when it is loaded; errors are ignored.
void unloadFileLister();
