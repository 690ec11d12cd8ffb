#include "playlist/frmSingleFileSearch.h"

#include "platform/Platform.h"
#include "playlist/BrowseLists.h"
#include "runtime/Controls.h"
#include "base/Guard.h"
#include "base/RuntimeError.h"
#include "platform/Settings.h"
#include <QAction>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>

namespace {
constexpr int kInformation = 64;
constexpr int kExclamation = 48;
} // namespace

frmSingleFileSearch::frmSingleFileSearch()
    : SearchForm(QStringLiteral("frmSingleFileSearch"),
                 {QStringLiteral("Search For Single Multimedia File"),
                  QStringLiteral("Drill To Folder From Which To Begin Search"),
                  QStringLiteral("Multimedia File Extensions to search:"),
                  QStringLiteral("Multimedia files found:"), "Label3", "Label1", "Label2"}) {
    Label3 = titleLabel();
    Label1 = helpLabel();
    Label2 = closeLabel();
    Command1 = new QPushButton(QStringLiteral("&Close and Save Filename"));
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    cmdCancel = new QPushButton(QStringLiteral("C&ancel"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    buttonRow()->addWidget(Command1);
    buttonRow()->addWidget(cmdCancel);
    setCancelButton(cmdCancel);

    connect(Command1, &QPushButton::clicked, this, &frmSingleFileSearch::Command1_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSingleFileSearch::cmdCancel_Click);
    connect(Label1, &runtime::ClickLabel::clicked, this, &frmSingleFileSearch::Label1_Click);
    connect(Label2, &runtime::ClickLabel::clicked, this, &frmSingleFileSearch::Label2_Click);
    connect(mnuHelp, &QAction::triggered, this, &frmSingleFileSearch::mnuHelp_Click);
}

QString frmSingleFileSearch::labelHelpText() {
    return QStringLiteral(
        "This utility is designed to help find all of the multimedia files on your hard drive with the "
        "extensions listed in the text box and then choose only one.  To limit the types of files to be "
        "searched for, you may double click the file extensions text box and enter the extension to which "
        "you "
        "wish to limit the search, such as ' *.avi '.  'Drill' to specific folders by double-clicking on the "
        "folder you wish to start from, or the process will start from the root folder.  The Windows "
        "directory typically has a VERY large number of subfolders, which will take an EXTREMELY long time "
        "to "
        "search.  Therefore, it is generally best to begin searching from a specific folder.  Click the "
        "filename in the list that you wish to use in the screensaver.  Next, Click the 'Close and Save "
        "Filename' button to use that file in the program.");
}

QString frmSingleFileSearch::menuHelpText() {
    return QStringLiteral(
        "This utility is designed to help find all of the multimedia files on your hard drive with the "
        "extensions listed in the text box and then choose only one.  To limit the types of files to be "
        "searched for, you may double click the file extensions text box and enter the extension to which "
        "you "
        "wish to limit the search, such as ' *.avi '.  The default file extensions will return the next time "
        "the window is opened or when you click the 'Reset' button.  'Drill' by double-clicking on the "
        "folder "
        "you wish to start from, or the process will start from the root folder of the drive that holds "
        "the screen saver, such as ' / '.  Click the filename in the list that you wish to use in the "
        "screensaver.  Next, Click the "
        "'Close and Save Filename' button to use that file in the program.");
}

void frmSingleFileSearch::Command1_Click() {
    endWalk();
    const QList<QListWidgetItem*> selected = lstFoundFiles->selectedItems();
    if (!selected.isEmpty()) {
        try {
            settings::save(settings::Key::VideoFile, foundPath(selected.first()));
        } catch (const runtime::RuntimeError& e) {
            // The choice stays on the screen, so the user can try again or cancel.
            platform::dialogs().messageBox(
                QStringLiteral("The file name was not saved.\n\n%1").arg(QString::fromUtf8(e.what())),
                kExclamation, searchHelpTitle());
            return;
        }
    } else {
        platform::dialogs().messageBox(QStringLiteral("No media file was selected."), kInformation,
                                       QStringLiteral("No selection made."));
    }
    CloseWithShrink();
}

void frmSingleFileSearch::cmdCancel_Click() {
    closeSearch();
}
void frmSingleFileSearch::Label2_Click() {
    closeSearch();
}
void frmSingleFileSearch::Label1_Click() {
    showHelp(labelHelpText());
}
void frmSingleFileSearch::mnuHelp_Click() {
    showHelp(menuHelpText());
}

void frmSingleFileSearch::useFoundFile(QListWidgetItem* item) {
    // The clicked file becomes the choice; nothing is added anywhere.
    if (item) lstFoundFiles->setCurrentItem(item);
}

void frmSingleFileSearch::resetFolders() {
    // The folder list stays where the user drilled to; the drive list follows it.
    runtime::skipOnError([this] {
        const QString folder = dirList->path();
        QSignalBlocker quiet(drvList);
        drvList->setDriveOf(folder);
    });
}
