#include "playlist/SearchForm.h"

#include "base/FileNames.h"
#include "platform/Platform.h"
#include "base/MediaPatterns.h"
#include "playlist/BrowseLists.h"
#include "playlist/FilmPictures.h"
#include "runtime/Controls.h"
#include "base/Guard.h"
#include "base/RuntimeError.h"
#include <QAction>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kInformation = 64;
constexpr int kOkOnly = 0;
const QString kApplicationTitle = QStringLiteral("Lumora");

const QString kListFull = QStringLiteral(
    "The list box is full or you have run out of memory. Searching has been discontinued.  Please select "
    "folders one at a time or drill deeper into the directory tree to continue search.");

// One message for all the folders a walk could not read, after it: a search of a whole system meets
// dozens, and a message for each would stop the user at every one.
QString unreadableMessage(const WalkEnd& end) {
    QString text = end.unreadableCount == 1
                       ? QStringLiteral("1 folder could not be searched and was passed over:\n")
                       : QStringLiteral("%1 folders could not be searched and were passed over:\n")
                             .arg(end.unreadableCount);
    for (const QString& folder : end.unreadable)
        text += u'\n' + folder;
    const int more = end.unreadableCount - int(end.unreadable.size());
    if (more > 0) text += QStringLiteral("\n... and %1 more.").arg(more);
    return text;
}

// The 40 x 40 picture beside the title: a film frame under a magnifying glass, drawn, not shipped.
QPixmap searchPicture() {
    return drawnPicture(40, 40, [](QPainter& p) {
        drawFilmStrip(p, QRectF(2, 6, 26, 22), QColor(30, 34, 90), QColor(240, 240, 240), 4, 6, QSizeF(3, 3));
        p.setBrush(QColor(250, 200, 80));
        p.drawRect(QRectF(6, 13, 18, 8));
        p.setBrush(QColor(120, 200, 255, 120));
        p.setPen(QPen(QColor(60, 60, 60), 3));
        p.drawEllipse(QPointF(24, 21), 9, 9);
        p.setPen(QPen(QColor(60, 60, 60), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(31, 28), QPointF(37, 35));
    });
}

template <class T> T* named(T* control, const char* name) {
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

} // namespace

QString searchPatternText() {
    return mediaPatternList();
}

QString searchHelpTitle() {
    return QStringLiteral("Larkspur Software") + QStringLiteral(" Lumora Video & Multimedia Screensaver");
}

SearchForm::SearchForm(const QString& name, const Captions& captions) : runtime::Form(name) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(captions.title);
    m_walk = new FolderWalk(this);
    createControls(captions);
    layOut();
    connectHandlers();
}

void SearchForm::createControls(const Captions& captions) {
    menuBar = named(new QMenuBar(this), "menuBar");
    mnuFile = named(menuBar->addMenu(QStringLiteral("&File")), "mnuFile");
    mnuExit = named(mnuFile->addAction(QStringLiteral("E&xit")), "mnuExit");
    mnuHelp = named(menuBar->addAction(QStringLiteral("&Help")), "mnuHelp");

    m_close = named(new runtime::ClickLabel(QStringLiteral("X ")), captions.closeLabel);
    m_close->setToolTip(QStringLiteral("Cancel/Close"));
    m_close->setCursor(Qt::PointingHandCursor);
    m_close->setContentsMargins(8, 0, 4, 0);
    QFont bold = m_close->font();
    bold.setBold(true);
    m_close->setFont(bold);
    menuBar->setCornerWidget(m_close, Qt::TopRightCorner);

    m_title = named(new runtime::ClickLabel(captions.title), captions.titleLabel);
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSizeF(font().pointSizeF() * 1.5);
    arial.setBold(true);
    m_title->setFont(arial);
    m_help = named(new runtime::ClickLabel(QStringLiteral("Help")), captions.helpLabel);
    m_help->setCursor(Qt::PointingHandCursor);
    QFont underlined = m_help->font();
    underlined.setUnderline(true);
    m_help->setFont(underlined);
    Image1 = named(new QLabel, "Image1");
    Image1->setPixmap(searchPicture());

    fraDrive = named(new QGroupBox(QStringLiteral("Drive to search:")), "fraDrive");
    fraFolder = named(new QGroupBox(captions.folderFrame), "fraFolder");
    fraSearchSpec = named(new QGroupBox(captions.patternFrame), "fraSearchSpec");
    fraFoundFiles = named(new QGroupBox(captions.foundFrame), "fraFoundFiles");

    drvList = named(new DriveList, "drvList");
    runtime::skipOnError([this] { drvList->setDrives(platform::files().drives()); });
    dirList = named(new FolderList, "dirList");
    dirList->setRoots(drvList->roots());
    txtSearchSpec = named(new QLineEdit(searchPatternText()), "txtSearchSpec");
    filList = named(new FileList(this), "filList");
    filList->hide();
    lstFoundFiles = named(new QListWidget, "lstFoundFiles");
    lstFoundFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lstFoundFiles->setUniformItemSizes(true);
    lblCount = named(new QLabel(QStringLiteral("0")), "lblCount");

    auto button = [](const char* name, const QString& caption) {
        auto* b = named(new QPushButton(caption), name);
        b->setAutoDefault(false);
        return b;
    };
    cmdSearch = button("cmdSearch", QStringLiteral("&Start Search"));
    cmdExit = button("cmdExit", QStringLiteral("Sto&p Search"));
    cmdExit->hide();
    cmdReset = button("cmdReset", QStringLiteral("&Reset / Clear"));
}

void SearchForm::layOut() {
    auto* root = new QVBoxLayout(this);
    root->setMenuBar(menuBar);
    root->setContentsMargins(8, 4, 8, 8);
    root->setSpacing(6);

    auto* header = new QHBoxLayout;
    header->addWidget(Image1);
    header->addWidget(m_title, 1);
    header->addWidget(m_help, 0, Qt::AlignTop);
    root->addLayout(header);

    auto* drive = new QVBoxLayout(fraDrive);
    drive->setContentsMargins(8, 4, 8, 6);
    drive->addWidget(drvList);
    auto* patternBox = new QVBoxLayout(fraSearchSpec);
    patternBox->setContentsMargins(8, 4, 8, 6);
    patternBox->addWidget(txtSearchSpec);
    auto* folder = new QVBoxLayout(fraFolder);
    folder->setContentsMargins(6, 4, 6, 6);
    folder->addWidget(dirList);
    dirList->setMinimumHeight(90);
    auto* found = new QVBoxLayout(fraFoundFiles);
    found->setContentsMargins(6, 4, 6, 6);
    found->addWidget(lstFoundFiles);
    lstFoundFiles->setMinimumHeight(90);

    // Left the folders, right where to search and for what; the found files across the window below.
    auto* right = new QVBoxLayout;
    right->addWidget(fraDrive);
    right->addWidget(fraSearchSpec);
    auto* countRow = new QHBoxLayout;
    auto* countCaption = named(new QLabel(QStringLiteral("Files found:")), "lblCountCaption");
    countRow->addWidget(countCaption);
    countRow->addWidget(lblCount, 1);
    right->addLayout(countRow);
    right->addStretch(1);
    auto* upper = new QHBoxLayout;
    upper->addWidget(fraFolder, 1);
    upper->addLayout(right, 1);
    root->addLayout(upper, 1);
    root->addWidget(fraFoundFiles, 1);

    // "&Start Search" and "Sto&p Search" share one place: only one of them is ever shown.
    auto* startStop = new QGridLayout;
    startStop->setContentsMargins(0, 0, 0, 0);
    startStop->addWidget(cmdSearch, 0, 0);
    startStop->addWidget(cmdExit, 0, 0);
    const int width = std::max(cmdSearch->sizeHint().width(), cmdExit->sizeHint().width());
    cmdSearch->setMinimumWidth(width);
    cmdExit->setMinimumWidth(width);
    m_buttons = new QHBoxLayout;
    m_buttons->addLayout(startStop);
    m_buttons->addWidget(cmdReset);
    m_buttons->addStretch(1);
    root->addLayout(m_buttons);
}

void SearchForm::connectHandlers() {
    connect(cmdSearch, &QPushButton::clicked, this, &SearchForm::cmdSearch_Click);
    connect(cmdExit, &QPushButton::clicked, this, &SearchForm::cmdExit_Click);
    connect(cmdReset, &QPushButton::clicked, this, &SearchForm::cmdReset_Click);
    connect(drvList, &QComboBox::currentIndexChanged, this, &SearchForm::drvList_Change);
    connect(dirList, &FolderList::changed, this, &SearchForm::dirList_Change);
    connect(txtSearchSpec, &QLineEdit::textChanged, this, &SearchForm::txtSearchSpec_Change);
    connect(mnuExit, &QAction::triggered, this, &SearchForm::mnuExit_Click);
    connect(lstFoundFiles, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        // A double click is one click for the list, as the help promises.
        if (m_secondClick) {
            m_secondClick = false;
            return;
        }
        lstFoundFiles_Click(item);
    });
    lstFoundFiles->viewport()->installEventFilter(this);
    lstFoundFiles->installEventFilter(this);
    txtSearchSpec->installEventFilter(this);
    dirList->installEventFilter(this);

    connect(m_walk, &FolderWalk::entered, this, &SearchForm::walk_Entered);
    connect(m_walk, &FolderWalk::found, this, &SearchForm::walk_Found);
    connect(m_walk, &FolderWalk::finished, this, &SearchForm::walk_Finished);
}

// ---- Loading and closing ----

void SearchForm::Form_Load() {
    runtime::skipOnError([this] { filList->setPattern(txtSearchSpec->text()); });
    goToProgramDrive();
    txtSearchSpec->setCursorPosition(0);
    runtime::skipOnError([this] {
        layout()->activate();
        // The lists take what room the screen has, down to their least: the window fits a small screen
        // (or a large scale) whole.
        QSize size = sizeHint();
        if (const QScreen* s = screen()) size = size.boundedTo(s->availableGeometry().size() * 0.92);
        resize(size.expandedTo(minimumSizeHint()));
        centreOnScreen();
    });
}

void SearchForm::Form_Unload() {
    endWalk();
}

void SearchForm::goToProgramDrive() {
    const QString root = platform::files().programDriveRoot();
    runtime::skipOnError([&] { dirList->setPath(root); });
    setDriveQuietly(root);
}

void SearchForm::endWalk() {
    m_searching = false;
    m_walk->abandon();
}

void SearchForm::closeSearch() {
    endWalk();
    CloseWithShrink();
}

void SearchForm::mnuExit_Click() {
    endWalk();
    Unload();
}

void SearchForm::showHelp(const QString& text) {
    platform::dialogs().messageBox(text, kInformation, searchHelpTitle());
}

// ---- Start, Stop and Reset ----

void SearchForm::showIdle() {
    const bool hadFocus = cmdExit->hasFocus();
    cmdSearch->show();
    cmdExit->hide();
    if (hadFocus) cmdSearch->setFocus();
}

void SearchForm::cmdSearch_Click() {
    if (m_searching) return;
    // A stopped walk may still be closing its folders: what it has left comes first, and its end does
    // not take the folder list away from where the user has gone since.
    if (m_walk->isRunning()) {
        const QString here = dirList->path();
        if (!m_walk->finish(200)) m_walk->abandon();
        if (dirList->path() != here) setFolderQuietly(here);
    }
    const bool hadFocus = cmdSearch->hasFocus();
    cmdSearch->hide();
    cmdExit->show();
    if (hadFocus) cmdExit->setFocus();

    // A folder highlighted but not opened is opened first, so the user sees where the search starts.
    const QString highlighted = dirList->highlightedPath();
    if (highlighted != dirList->path()) {
        runtime::skipOnError([&] { dirList->setPath(highlighted); });
        showIdle();
        return;
    }
    if (txtSearchSpec->text().isEmpty()) txtSearchSpec->setText(QStringLiteral("*.mpg"));
    runtime::skipOnError([this] { filList->setPattern(txtSearchSpec->text()); });

    m_startFolder = dirList->path();
    m_searching = true;
    WalkOptions options;
    options.start = m_startFolder;
    options.patterns = txtSearchSpec->text();
    options.capacity = kMaxFound - lstFoundFiles->count();
    m_walk->start(options);
}

void SearchForm::cmdExit_Click() {
    showIdle();
    m_searching = false;
    m_walk->stop();
}

void SearchForm::lstFoundFiles_Click(QListWidgetItem* item) {
    // A click stops the walk first, whatever else it does.
    cmdExit_Click();
    useFoundFile(item);
}

void SearchForm::cmdReset_Click() {
    endWalk();
    lstFoundFiles->clear();
    lblCount->setText(QStringLiteral("0"));
    txtSearchSpec->setText(searchPatternText());
    txtSearchSpec->setCursorPosition(0);
    resetFolders();
    txtSearchSpec->setFocus();
    showIdle();
}

void SearchForm::walk_Entered(const QString& folder, const QStringList& subfolders) {
    // The folder list follows the walk; once stopped, it waits for the walk to bring it back.
    if (m_searching) dirList->showFolder(folder, subfolders);
}

namespace {
constexpr int kFoundPathRole = Qt::UserRole;
}

QString SearchForm::foundPath(const QListWidgetItem* item) {
    if (!item) return QString();
    const QVariant path = item->data(kFoundPathRole);
    return path.isValid() ? path.toString() : item->text();
}

void SearchForm::walk_Found(const QStringList& paths) {
    // Only names that are not UTF-8 read otherwise than they are; the rest go in as they come.
    qsizetype plain = 0; // the first path not added yet
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString shown = platform::fileNameShown(paths[i]);
        if (shown == paths[i]) continue;
        lstFoundFiles->addItems(paths.mid(plain, i - plain));
        auto* item = new QListWidgetItem(shown, lstFoundFiles);
        item->setData(kFoundPathRole, paths[i]);
        plain = i + 1;
    }
    lstFoundFiles->addItems(paths.mid(plain));
    lblCount->setText(u' ' + QString::number(lstFoundFiles->count()));
}

void SearchForm::walk_Finished(const WalkEnd& end) {
    m_searching = false;
    showIdle();
    // The walk leaves the folder list where it started.
    setFolderQuietly(m_startFolder);
    runtime::skipOnError([this] { filList->setPath(dirList->path()); });
    QPointer<SearchForm> self(this);
    if (end.full) platform::dialogs().messageBox(kListFull, kOkOnly, kApplicationTitle);
    if (self && end.unreadableCount > 0)
        platform::dialogs().messageBox(unreadableMessage(end), kOkOnly, kApplicationTitle);
}

void SearchForm::setFolderQuietly(const QString& folder) {
    if (folder.isEmpty()) return;
    if (!runtime::skipOnError([&] { dirList->setPath(folder); }))
        dirList->showFolder(dirList->path(), {}); // gone meanwhile: stay where the list was
}

void SearchForm::setDriveQuietly(const QString& path) {
    m_settingDrive = true;
    drvList->setDriveOf(path);
    m_settingDrive = false;
}

// ---- Drive, folder and pattern boxes ----

void SearchForm::drvList_Change() {
    if (m_settingDrive) return;
    try {
        dirList->setPath(drvList->drive());
    } catch (const runtime::RuntimeError&) {
        // A drive that cannot be read (an empty disc drive): back to the drive the folder list is on.
        setDriveQuietly(dirList->path());
    }
}

void SearchForm::dirList_Change() {
    runtime::skipOnError([this] { filList->setPath(dirList->path()); });
}

void SearchForm::dirList_LostFocus() {
    const QString highlighted = dirList->highlightedPath();
    if (highlighted != dirList->path()) runtime::skipOnError([&] { dirList->setPath(highlighted); });
}

void SearchForm::txtSearchSpec_Change() {
    try {
        filList->setPattern(txtSearchSpec->text());
    } catch (const runtime::RuntimeError& e) {
        if (e.kind() != runtime::ErrorKind::InvalidValue) return;
        // The character just typed cannot be in a pattern: take it back.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Backspace, Qt::NoModifier);
        QCoreApplication::sendEvent(txtSearchSpec, &press);
        QCoreApplication::sendEvent(txtSearchSpec, &release);
        QCoreApplication::processEvents();
    }
}

void SearchForm::txtSearchSpec_GotFocus() {
    // After the click that gave the focus has placed the cursor.
    QTimer::singleShot(0, txtSearchSpec, &QLineEdit::selectAll);
}

// ---- Keys and events ----

void SearchForm::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Escape && m_cancel) {
            m_cancel->click();
            return;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            // Enter presses the focused button, or else starts (or stops) the search.
            auto* focused = qobject_cast<QPushButton*>(focusWidget());
            if (!focused || !focused->isVisible()) focused = cmdSearch->isVisible() ? cmdSearch : cmdExit;
            focused->click();
            return;
        }
    }
    runtime::Form::keyPressEvent(event);
}

bool SearchForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lstFoundFiles->viewport() && event->type() == QEvent::MouseButtonPress) {
        m_secondClick = false;
    } else if (watched == lstFoundFiles->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        m_secondClick =
            lstFoundFiles->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint()) != nullptr;
    } else if (watched == lstFoundFiles && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && lstFoundFiles->currentItem()) {
            lstFoundFiles->currentItem()->setSelected(true);
            lstFoundFiles_Click(lstFoundFiles->currentItem());
            return true;
        }
    } else if (watched == txtSearchSpec && event->type() == QEvent::FocusIn) {
        txtSearchSpec_GotFocus();
    } else if (watched == dirList && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Another window coming up (a message, a menu) is not leaving the list.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) dirList_LostFocus();
    }
    return runtime::Form::eventFilter(watched, event);
}
