#include "playlist/BrowseLists.h"

#include "base/FileNames.h"
#include "base/FolderBrowse.h"
#include "base/FolderWalk.h"
#include "base/MediaPatterns.h"
#include "base/RuntimeError.h"
#include <QApplication>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

// ---- Drive list ----

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    // The same width whatever the drives are called, so the window keeps its layout.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(14);
}

void DriveList::setDrives(const QList<platform::Drive>& drives) {
    const QSignalBlocker quiet(this);
    clear();
    for (const platform::Drive& d : drives) {
        const QString caption =
            d.name.isEmpty() || d.name == d.root ? d.root : d.root + QStringLiteral("  [") + d.name + u']';
        addItem(platform::fileNameShown(caption), d.root);
    }
}

QString DriveList::drive() const {
    return currentIndex() >= 0 ? currentData().toString() : QString();
}

QStringList DriveList::roots() const {
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << itemData(i).toString();
    return out;
}

void DriveList::setDrive(const QString& root) {
    int i = findData(root);
    if (i < 0) {
        insertItem(0, platform::fileNameShown(root), root);
        i = 0;
    }
    setCurrentIndex(i);
}

bool DriveList::setDriveOf(const QString& path) {
    const QString root = driveRootOf(roots(), path);
    if (root.isEmpty()) return false;
    for (int i = 0; i < count(); ++i)
        if (cleanFolderPath(itemData(i).toString()) == root) {
            setCurrentIndex(i);
            return true;
        }
    return false;
}

// ---- Folder list ----

namespace {

// Each folder two average characters to the right of the one it lies in, so the steps grow with the
// font. The names stay as they are, so typing a name finds its folder.
class FolderIndent : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o(option);
        o.rect.setLeft(o.rect.left() + indent(option, index));
        QStyledItemDelegate::paint(painter, o, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(option, index), 0);
    }

private:
    static int indent(const QStyleOptionViewItem& option, const QModelIndex& index) {
        return index.data(FolderList::kLevelRole).toInt() * option.fontMetrics.averageCharWidth() * 2;
    }
};

QString lastStep(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new FolderIndent(this));
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { openHighlighted(); });
}

void FolderList::setPath(const QString& folder) {
    const QString clean = cleanFolderPath(folder);
    const FolderListing listing = listFolder(clean, QString());
    if (!listing.ok)
        throw runtime::RuntimeError(runtime::ErrorKind::Failed,
                                    QStringLiteral("%1: %2").arg(folder, listing.error));
    m_path = clean;
    fill(clean, listing.subfolders);
    emit changed();
}

void FolderList::showFolder(const QString& folder, const QStringList& subfolders) {
    fill(cleanFolderPath(folder), subfolders);
}

QString FolderList::highlightedPath() const {
    const QListWidgetItem* item = currentItem();
    return item && item->isSelected() ? item->data(kPathRole).toString() : m_path;
}

bool FolderList::openHighlighted() {
    try {
        setPath(highlightedPath());
        return true;
    } catch (const runtime::RuntimeError&) {
        QApplication::beep();
        if (!m_path.isEmpty()) fill(m_path, listFolder(m_path, QString()).subfolders);
        return false;
    }
}

void FolderList::fill(const QString& folder, const QStringList& subfolders) {
    m_shown = folder;
    const QStringList chain = folderChain(driveRootOf(m_roots, folder), folder);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [this](const QIcon& icon, const QString& name, const QString& path, int level) {
        auto* item = new QListWidgetItem(icon, platform::fileNameShown(name), this);
        item->setData(kPathRole, path);
        item->setData(kLevelRole, level);
        return item;
    };
    setUpdatesEnabled(false);
    clear();
    QListWidgetItem* current = nullptr;
    for (int i = 0; i < chain.size(); ++i)
        current = add(open, i == 0 ? chain[i] : lastStep(chain[i]), chain[i], i);
    m_firstSubfolder = count();
    for (const QString& sub : subfolders)
        add(closed, sub, joinFolderAndName(chain.last(), sub), int(chain.size()));
    setCurrentItem(current);
    setUpdatesEnabled(true);
    // The open folder at the top, its subfolders below it in view.
    scrollToItem(current, QAbstractItemView::PositionAtTop);
}

void FolderList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openHighlighted();
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

// ---- File list ----

FileList::FileList(QWidget* parent) : QListWidget(parent), m_pattern(mediaPatternList()) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void FileList::setPath(const QString& folder) {
    m_path = cleanFolderPath(folder);
    refresh();
}

void FileList::setPattern(const QString& pattern) {
    for (QChar c : pattern)
        if (c == u'/' || c.category() == QChar::Other_Control)
            throw runtime::RuntimeError(runtime::ErrorKind::InvalidValue,
                                        QStringLiteral("Invalid property value"));
    m_pattern = pattern;
    refresh();
}

void FileList::refresh() {
    clear();
    if (m_path.isEmpty() || m_pattern.isEmpty()) return;
    for (const QString& name : listFolder(m_path, m_pattern).files) {
        auto* item = new QListWidgetItem(platform::fileNameShown(name), this);
        item->setData(kNameRole, name);
    }
}

QString FileList::fileName(int row) const {
    const QListWidgetItem* i = item(row);
    return i ? i->data(kNameRole).toString() : QString();
}

QStringList FileList::fileNames() const {
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << fileName(i);
    return out;
}
