#include "playlist/frmFileSearch.h"

#include "platform/Platform.h"
#include "playlist/PlayList.h"
#include "playlist/frmFileLister.h"
#include "runtime/Controls.h"
#include "base/RuntimeError.h"
#include <QAction>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>

namespace {

constexpr int kInformation = 64;

const QString kNothingFound = QStringLiteral("Use this button to add all of the files in the 'Multimedia "
                                             "Files Found' list box to the file list box in the "
                                             "window behind this search window.");
const QString kNothingFoundTitle =
    QStringLiteral("'Multimedia Files Found' File List Must Be Populated With Filenames");

void reportFullPlayList(int notAdded) {
    frmFileLister::reportFullList(notAdded, QStringLiteral("found files"));
}

} // namespace

frmFileSearch::frmFileSearch()
    : SearchForm(
          QStringLiteral("frmFileSearch"),
          {QStringLiteral("Search For Multimedia Files"), QStringLiteral("Searching In Folder:"),
           QStringLiteral("Multimedia File Extensions to search for:"),
           QStringLiteral("Multimedia Files Found:                        (Click filenames once to add to "
                          "window behind this one.)"),
           "Label1", "Label2", "Label3"}) {
    Label1 = titleLabel();
    Label2 = helpLabel();
    Label3 = closeLabel();
    auto button = [](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    Command3 = button("Command3", QStringLiteral("&Add All Files"));
    // Alt+F opens the File menu; the button takes the next letter of its caption.
    Command1 = button("Command1", QStringLiteral("F&inished"));
    Command2 = button("Command2", QStringLiteral("&Cancel"));
    buttonRow()->insertWidget(2, Command3);
    buttonRow()->addWidget(Command1);
    buttonRow()->addWidget(Command2);
    setCancelButton(Command2);

    connect(Command1, &QPushButton::clicked, this, &frmFileSearch::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmFileSearch::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmFileSearch::Command3_Click);
    connect(Label2, &runtime::ClickLabel::clicked, this, &frmFileSearch::Label2_Click);
    connect(Label3, &runtime::ClickLabel::clicked, this, &frmFileSearch::Label3_Click);
    connect(mnuHelp, &QAction::triggered, this, &frmFileSearch::mnuHelp_Click);
}

QString frmFileSearch::helpText() const {
    return QStringLiteral(
        "This utility is designed to help find all of the multimedia files on your hard drive with the "
        "extensions listed in the text box.  To limit the types of files to be searched for, you may double "
        "click the file extensions text box and enter the extension to which you wish to limit the search, "
        "such as ' *.avi '.  The default file extensions will return the next time the window is opened or "
        "when you click the 'Reset' button.  'Drill' by double-clicking on the folder you wish to start "
        "from, "
        "or the process will start from the root folder of the drive that holds the screen saver, such as "
        "' / '.  Double-click the filenames that appear to add them to the Playlist Configurator window, "
        "which is behind this one.  "
        "Click the 'Finished' button to return to the Play List Configurator.");
}

void frmFileSearch::Command1_Click() {
    closeSearch();
}
void frmFileSearch::Command2_Click() {
    closeSearch();
}
void frmFileSearch::Label3_Click() {
    closeSearch();
}
void frmFileSearch::Label2_Click() {
    showHelp(helpText());
}
void frmFileSearch::mnuHelp_Click() {
    showHelp(helpText());
}

void frmFileSearch::useFoundFile(QListWidgetItem* item) {
    if (!item) return;
    const QString entry = foundPath(item);
    try {
        playList().append(entry);
    } catch (const runtime::RuntimeError&) {
        reportFullPlayList(1);
    }
}

void frmFileSearch::Command3_Click() {
    if (lstFoundFiles->count() == 0) {
        platform::dialogs().messageBox(kNothingFound, kInformation, kNothingFoundTitle);
        return;
    }
    frmFileLister* lister = fileLister();
    if (!lister) return;
    QStringList entries;
    entries.reserve(lstFoundFiles->count());
    for (int i = 0; i < lstFoundFiles->count(); ++i) entries << foundPath(lstFoundFiles->item(i));
    const int added = playList().appendWhileRoom(entries);
    if (added < entries.size()) reportFullPlayList(int(entries.size()) - added);
    lister->applyOrderOptions(frmFileLister::ListChange::AddAll);
}

void frmFileSearch::resetFolders() {
    goToProgramDrive();
}
