#include "playlist/BrowseLists.h"

#include "base/FileNames.h"
#include "playlist/FolderBrowse.h"
#include "base/RuntimeError.h"
#include <QApplication>
#include <QFileInfo>
#include <QStyle>
#include <QStyledItemDelegate>

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    // Long mount points and labels must not widen the form.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(14);
}

void DriveList::setDrives(const QList<platform::Drive>& drives) {
    const QSignalBlocker quiet(this);
    clear();
    for (const platform::Drive& d : drives) {
        const QString shown =
            d.name.isEmpty() || d.name == d.root ? d.root : d.root + QStringLiteral("  [") + d.name + u']';
        addItem(shown, d.root);
    }
}

QString DriveList::drive() const {
    return currentIndex() >= 0 ? currentData().toString() : QString();
}

void DriveList::setDrive(const QString& root) {
    int i = findData(root);
    if (i < 0) {
        insertItem(0, root, root);
        i = 0;
    }
    setCurrentIndex(i);
}

QStringList DriveList::roots() const {
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << itemData(i).toString();
    return out;
}

namespace {

// Indents each folder by its depth, as a folder list draws its tree.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o(option);
        o.rect.setLeft(o.rect.left() + indent(index));
        QStyledItemDelegate::paint(painter, o, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
    }

private:
    static int indent(const QModelIndex& index) { return 12 * index.data(FolderList::LevelRole).toInt(); }
};

} // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new IndentDelegate(this));
    connect(this, &QListWidget::itemActivated, this, [this] { openHighlighted(); });
}

void FolderList::setPath(const QString& folder) {
    const QString p = cleanFolderPath(folder);
    if (!isFolder(p))
        throw runtime::RuntimeError(runtime::ErrorKind::Failed,
                                    QStringLiteral("Path not found: %1").arg(folder));
    m_path = p;
    const QStringList chain = folderChain(driveRootOf(m_roots, p), p);
    const QStringList below = listSubfolders(p);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    clear();
    for (int i = 0; i < chain.size(); ++i) {
        const QString name = i == 0 ? chain[i] : QFileInfo(chain[i]).fileName();
        auto* item = new QListWidgetItem(open, platform::fileNameShown(name), this);
        item->setData(PathRole, chain[i]);
        item->setData(LevelRole, i);
    }
    for (const QString& sub : below) {
        auto* item = new QListWidgetItem(closed, platform::fileNameShown(QFileInfo(sub).fileName()), this);
        item->setData(PathRole, sub);
        item->setData(LevelRole, int(chain.size()));
    }
    m_chainSize = int(chain.size());
    setCurrentRow(m_chainSize - 1);
    emit changed();
}

QStringList FolderList::subfolders() const {
    QStringList out;
    for (int i = m_chainSize; i < count(); ++i)
        out << item(i)->data(PathRole).toString();
    return out;
}

QString FolderList::highlightedPath() const {
    const QListWidgetItem* item = currentItem();
    return item ? item->data(PathRole).toString() : m_path;
}

bool FolderList::openHighlighted() {
    try {
        setPath(highlightedPath());
        return true;
    } catch (const runtime::RuntimeError&) {
        return false;
    }
}

FileList::FileList(QWidget* parent) : QListWidget(parent), m_matcher(mediaPatternList()) {}

void FileList::setPattern(const QString& patternList) {
    m_matcher = PatternMatcher(patternList);
    refresh();
}

void FileList::setPath(const QString& folder) {
    m_path = cleanFolderPath(folder);
    refresh();
}

void FileList::refresh() {
    clear();
    if (m_path.isEmpty()) return;
    for (const QString& name : listMatchingFiles(m_path, m_matcher)) {
        auto* item = new QListWidgetItem(platform::fileNameShown(name), this);
        item->setData(NameRole, name);
    }
}

QString FileList::fileName(int row) const {
    const QListWidgetItem* i = item(row);
    return i ? i->data(NameRole).toString() : QString();
}

QStringList FileList::fileNames() const {
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << fileName(i);
    return out;
}
