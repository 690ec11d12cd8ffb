#include "playlist/frmFileLister.h"

#include "base/FolderBrowse.h"
#include "base/FolderWalk.h"
#include "platform/Platform.h"
#include "playlist/BrowseLists.h"
#include "base/MediaPatterns.h"
#include "base/PlayListFile.h"
#include "playlist/PlayList.h"
#include "runtime/Controls.h"
#include "base/Convert.h"
#include "runtime/FormRegistry.h"
#include "base/Guard.h"
#include "base/RuntimeError.h"
#include "platform/Settings.h"
#include <QAction>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QShortcut>

namespace {

const QString kFormName = QStringLiteral("frmFileLister");
const QString kMessageTitle = QStringLiteral("Larkspur Software Lumora Video & Multimedia Screensaver");
constexpr int kInformation = 64;
constexpr int kExclamation = 48;

constexpr settings::TextKey kFolderKey = settings::Key::PathToLastDirectoryFrmFileLister;

} // namespace

frmFileLister::frmFileLister(QWidget* parent) : runtime::Form(kFormName, parent) {
    // No title bar: the label strip is the menu bar and "X " the close box.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Playlist Configuration"));
    createControls();
    createMenus();
    layOut();
    connectHandlers();
}

void frmFileLister::connectHandlers() {
    connect(Command1, &QPushButton::clicked, this, &frmFileLister::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmFileLister::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmFileLister::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmFileLister::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &frmFileLister::Command5_Click);
    connect(File1, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { File1_Click(File1->row(item)); });
    connect(List1, &QListView::clicked, this, [this](const QModelIndex& index) { List1_Click(index.row()); });
    connect(Drive1, &QComboBox::currentIndexChanged, this, &frmFileLister::Drive1_Change);
    connect(Dir1, &FolderList::changed, this, &frmFileLister::Dir1_Change);
    connect(Label2, &runtime::ClickLabel::mouseDown, this, &frmFileLister::Label2_MouseDown);
    connect(Label3, &runtime::ClickLabel::mouseDown, this, &frmFileLister::Label3_MouseDown);
    connect(Label4, &runtime::ClickLabel::clicked, this, &frmFileLister::Label4_Click);
    connect(Label5, &runtime::ClickLabel::clicked, this, &frmFileLister::Label5_Click);
    connect(mnuExit, &QAction::triggered, this, &frmFileLister::mnuExit_Click);
    connect(mnuSearchEntireDriveForVideoFiles, &QAction::triggered, this,
            &frmFileLister::mnuSearchEntireDriveForVideoFiles_Click);
    connect(mnuHelp, &QAction::triggered, this, &frmFileLister::mnuHelp_Click);

    for (QWidget* w : std::initializer_list<QWidget*>{Command2, Command3, Command4, Command5,
                                                      File1->viewport(), List1->viewport()}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    // The lists take the focus themselves, not their viewports.
    File1->installEventFilter(this);
    List1->installEventFilter(this);

    auto* fileMenuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F), this);
    connect(fileMenuKey, &QShortcut::activated, this, [this] {
        runtime::popUpMenu(mnuFile, Label2->mapToGlobal(QPoint(0, Label2->height())));
        mnuFile->setActiveAction(mnuExit);
    });
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* s = new QShortcut(QKeySequence(key), this);
        connect(s, &QShortcut::activated, this, &frmFileLister::pressEnter);
    }
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, Command2, &QPushButton::click);
}

// ---- The play list ----

int frmFileLister::listCount() const {
    return playList().count();
}

QString frmFileLister::listItem(int index) const {
    return playList().entry(index);
}

void frmFileLister::addItem(const QString& entry) {
    playList().append(entry);
}

QString frmFileLister::header() const {
    return Label1->text();
}

void frmFileLister::LoadPlayList() {
    forgetPlayList();
    Label1->setText(playList().header());
}

bool frmFileLister::SavePlayList() {
    PlayListData data = playList().toData();
    data.header = header();
    try {
        writePlayList(playListFilePath(), data);
        return true;
    } catch (const runtime::RuntimeError& e) {
        platform::dialogs().messageBox(
            QStringLiteral("The play list was not saved.\n\n%1").arg(QString::fromUtf8(e.what())),
            kExclamation, kMessageTitle);
        return false;
    }
}

void frmFileLister::applyOrderOptions(ListChange change) {
    const int n = listCount();
    // selected: 1 select, 0 unselect, -1 leave as it is
    auto set = [](runtime::OptionButton* o, bool enabled, int selected) {
        o->setEnabled(enabled);
        if (selected >= 0) o->setChecked(selected == 1);
    };
    switch (change) {
    case ListChange::Load:
        Command1->setEnabled(n > 0);
        if (n == 0) {
            set(optInOrderOfSelection, false, 0);
            set(optInRandomOrder, false, 0);
        } else {
            set(optInOrderOfSelection, true, 1);
            set(optInRandomOrder, n >= 3, 0);
        }
        break;
    case ListChange::AddAll:
    case ListChange::Removal:
        if (n <= 1) {
            set(optInOrderOfSelection, false, 0);
            set(optInRandomOrder, false, 0);
        } else if (n == 2) {
            set(optInOrderOfSelection, true, 1);
            set(optInRandomOrder, false, 0);
        } else if (n == 3) {
            set(optInOrderOfSelection, true, -1);
            set(optInRandomOrder, true, 1);
        } else if (change == ListChange::AddAll) {
            set(optInOrderOfSelection, true, 1);
            set(optInRandomOrder, true, 0);
        }
        break;
    case ListChange::SingleAdd:
    case ListChange::MouseMove:
        // These only ever enable: a list built from empty needs two entries before it can be saved.
        if (n < 2) break;
        if (change == ListChange::MouseMove) Command1->setEnabled(true);
        optInOrderOfSelection->setEnabled(true);
        if (n >= 3) optInRandomOrder->setEnabled(true);
        break;
    }
}

// ---- Loading ----

void frmFileLister::Form_Load() {
    // The list may be in memory already (the configuration dialog counts it): what it holds is shown.
    runtime::skipOnError([&] { Label1->setText(playList().header()); });
    // The header is not for the user's eyes: it takes the colour of the face it sits on.
    runtime::skipOnError([&] {
        QPalette p = Label1->palette();
        p.setColor(QPalette::WindowText, p.color(QPalette::Button));
        Label1->setPalette(p);
    });
    runtime::skipOnError([&] { centreOnScreen(); });
    // Only remembered here: the folder is visited when the window is first shown.
    runtime::skipOnError([&] {
        m_savedFolder = settings::read(kFolderKey);
    });
    runtime::skipOnError([&] { applyOrderOptions(ListChange::Load); });
    runtime::skipOnError([&] {
        if (settings::readOrDefault(settings::Key::PlayInRandomOrder))
            optInRandomOrder->setChecked(true);
    });
}

void frmFileLister::Form_Unload() {
    // Edits not saved go with the editor, as Cancel promises.
    forgetPlayList();
}

void frmFileLister::showEvent(QShowEvent* event) {
    Form::showEvent(event);
    if (!m_browsing && isLoaded()) startBrowsing();
}

void frmFileLister::startBrowsing() {
    m_browsing = true;
    const QString programDrive = platform::files().programDriveRoot();
    {
        const QSignalBlocker quiet(Drive1);
        runtime::skipOnError([&] { Drive1->setDrives(platform::files().drives()); });
        Drive1->setDrive(programDrive);
    }
    Dir1->setRoots(Drive1->roots());
    runtime::skipOnError([&] { Dir1->setPath(programDrive); });
    // A folder that has gone since leaves the list at the drive's root.
    runtime::skipOnError([&] { Dir1->setPath(m_savedFolder); });
}

// ---- Browsing ----

void frmFileLister::Drive1_Change() {
    const QString root = Drive1->drive();
    // The folder list stays where it is when it is on that drive already.
    if (root.isEmpty() || driveRootOf(Drive1->roots(), Dir1->path()) == root) return;
    if (!canReadFolder(root)) {
        platform::dialogs().messageBox(
            QStringLiteral(
                "There is no disc in the disc Drive.  Please place a disc containing multimedia files in "
                "the drive to select files.  Note: The disc will have to be in the drive in order to play "
                "multimedia files added to the playlist from that disc."),
            kInformation, QStringLiteral("Larkspur Software"));
        QString back = driveRootOf(Drive1->roots(), Dir1->path());
        if (back.isEmpty()) back = platform::files().programDriveRoot();
        const QSignalBlocker quiet(Drive1);
        Drive1->setDrive(back);
        return;
    }
    runtime::skipOnError([&] { Dir1->setPath(root); });
}

void frmFileLister::Dir1_Change() {
    File1->setPath(Dir1->path());
}

// ---- Adding and removing ----

// The play list holds 32,767 entries; past that an entry is refused, and the user is told so rather
// than left wondering where the files went.
void frmFileLister::reportFullList(int notAdded, const QString& files) {
    platform::dialogs().messageBox(
        QStringLiteral(
            "The play list is full: it holds at most %1 files, so %2 of the %3 could not be added.")
            .arg(kMaxEntries)
            .arg(notAdded)
            .arg(files),
        kInformation, kMessageTitle);
}

void frmFileLister::File1_Click(int index) {
    if (index < 0 || index >= File1->count()) return;
    const QString entry = joinFolderAndName(File1->path(), File1->fileName(index));
    try {
        addItem(entry);
    } catch (const runtime::RuntimeError&) {
        reportFullList(1, QStringLiteral("files"));
    }
    applyOrderOptions(ListChange::SingleAdd);
}

void frmFileLister::List1_Click(int index) {
    if (index < 0 || index >= listCount()) return;
    playList().removeAt(index);
    applyOrderOptions(ListChange::Removal);
}

void frmFileLister::Command4_Click() {
    if (File1->count() == 0) {
        platform::dialogs().messageBox(
            QStringLiteral(
                "Use this button to add all of the files in the 'Multimedia Files Located' list box to "
                "the 'Multimedia Files To Be Saved In Play List'."),
            kInformation,
            QStringLiteral("'Multimedia Files Located' File List Must Be Populated With Filenames"));
    } else {
        const QString folder = File1->path();
        const QStringList names = File1->fileNames();
        QStringList entries;
        entries.reserve(names.size());
        for (const QString& name : names) entries << joinFolderAndName(folder, name);
        const int added = playList().appendWhileRoom(entries);
        if (added < entries.size()) reportFullList(int(entries.size()) - added, QStringLiteral("files"));
    }
    applyOrderOptions(ListChange::AddAll);
}

void frmFileLister::Command5_Click() {
    // Only the editor's list is emptied: the file and the order setting change when the user saves,
    // so Cancel after clearing by mistake loses nothing. Saved, the empty list is an empty play list.
    playList().clear();
    for (runtime::OptionButton* o : {optInOrderOfSelection, optInRandomOrder}) {
        o->setChecked(false);
        o->setEnabled(false);
    }
}

// ---- Saving and closing ----

bool frmFileLister::saveSettingReported(const std::function<void()>& save) {
    try {
        save();
        return true;
    } catch (const runtime::RuntimeError& e) {
        platform::dialogs().messageBox(
            QStringLiteral("The settings could not be saved.\n\n%1").arg(QString::fromUtf8(e.what())),
            kExclamation, kMessageTitle);
        return false;
    }
}

void frmFileLister::Command1_Click() {
    using settings::Key;
    const QString videoFile = settings::read(Key::VideoFile);
    const QString folder = Dir1->path().isEmpty() ? m_savedFolder : Dir1->path();
    // A save that cannot write stays open with the user's list, and leaves the stored folder as it was.
    const std::optional<QString> folderBefore = settings::stored(kFolderKey);
    if (!saveSettingReported([&] { settings::save(kFolderKey, folder); })) return;
    if (!SavePlayList()) {
        if (folderBefore) runtime::skipOnError([&] { settings::save(kFolderKey, *folderBefore); });
        return;
    }
    // The order and the media file describe the play list just saved: both or neither.
    const bool saved = saveSettingReported([&] {
        settings::SaveTogether together;
        settings::save(Key::PlayInRandomOrder, optInRandomOrder->isChecked());
        settings::save(Key::VideoFile, videoFile);
        together.commit();
    });
    if (!saved) {
        if (folderBefore) runtime::skipOnError([&] { settings::save(kFolderKey, *folderBefore); });
        return;
    }
    CloseWithShrink();
}

void frmFileLister::Command2_Click() {
    CloseWithShrink();
}

void frmFileLister::Label5_Click() {
    CloseWithShrink();
}

void frmFileLister::mnuExit_Click() {
    Unload();
}

// ---- Search, menus and help ----

void frmFileLister::openSearch() {
    // The media search registers itself by name; until it does, nothing opens.
    if (runtime::Form* search = runtime::forms().get(QStringLiteral("frmFileSearch")))
        search->ShowModal(this);
}

void frmFileLister::Command3_Click() {
    openSearch();
}

void frmFileLister::mnuSearchEntireDriveForVideoFiles_Click() {
    openSearch();
}

void frmFileLister::Label2_MouseDown(Qt::MouseButton button, QPoint globalPos) {
    if (button == Qt::LeftButton) runtime::popUpMenu(mnuFile, globalPos);
}

void frmFileLister::Label3_MouseDown(Qt::MouseButton button, QPoint globalPos) {
    if (button == Qt::LeftButton) runtime::popUpMenu(mnuSearch, globalPos);
}

QString frmFileLister::helpText() {
    return QStringList{
        QStringLiteral("1st - Select Drive."),
        QStringLiteral("2nd - Double-Click folders to 'drill' to one containing multimedia files."),
        QStringLiteral("3rd - Click multimedia files listed in top right file list box to add to play "
                       "list box on bottom."),
        QStringLiteral("4th - Click 'Close and Save Play List' button to save the Play List."),
        QStringLiteral("Note: Click files in Play List box to remove."),
        QStringLiteral("You may also click the 'Search Hard Drive' button to scan your hard drive for "
                       "multimedia files.")}
        .join(QStringLiteral("\r\n\r\n"));
}

void frmFileLister::mnuHelp_Click() {
    platform::dialogs().messageBox(helpText(), kInformation,
                                   QStringLiteral("Instructions For Creating A Play List"));
}

void frmFileLister::Label4_Click() {
    mnuHelp_Click();
}

void frmFileLister::OrderControl_MouseMove() {
    applyOrderOptions(ListChange::MouseMove);
}

// ---- Keys, mouse and drawing ----

void frmFileLister::pressEnter() {
    QWidget* focused = focusWidget();
    if (focused == Dir1) {
        Dir1->openHighlighted();
    } else if (focused == File1) {
        File1_Click(File1->currentRow());
    } else if (focused == List1) {
        List1_Click(List1->currentIndex().row());
    } else if (auto* b = qobject_cast<QPushButton*>(focused); b && b->isEnabled()) {
        b->click();
    } else if (Command1->isEnabled()) {
        Command1->click();
    }
}

bool frmFileLister::eventFilter(QObject*, QEvent* event) {
    // The keyboard reaches the same controls by their focus: without it a list could never be saved
    // from the keyboard alone.
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::FocusIn) OrderControl_MouseMove();
    return false;
}

void frmFileLister::paintEvent(QPaintEvent*) {
    // Without a title bar the window draws its own fixed border.
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::Dark), 2));
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}

// ---- The form by name ----

void registerPlaylistForms() {
    runtime::forms().registerForm(kFormName, [] { return new frmFileLister; });
}

frmFileLister* fileLister() {
    if (!runtime::forms().isRegistered(kFormName)) registerPlaylistForms();
    return runtime::forms().load<frmFileLister>(kFormName);
}

void unloadFileLister() {
    runtime::skipOnError([] {
        if (runtime::Form* form = runtime::forms().find(kFormName)) form->Unload();
    });
    forgetPlayList();
}
