#include "playlist/SearchLists.h"

#include "base/FolderWalk.h"
#include "base/MediaPatterns.h"
#include "base/RuntimeError.h"
#include <QApplication>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

bool pathIsUnder(const QString& path, const QString& root) {
    if (root.isEmpty()) return false;
    if (root == QLatin1String("/")) return path.startsWith(u'/');
    const QString r = root.endsWith(u'/') ? root.chopped(1) : root;
    return path == r || path.startsWith(r + u'/');
}

// ---- Folder list ----

namespace {

constexpr int kDepthRole = Qt::UserRole + 1;

// Each folder a step to the right of the one it lies in. The names stay as they are, so typing a
// name finds its folder.
class FolderIndent : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        o.rect.adjust(indent(o, index), 0, 0, 0);
        QStyledItemDelegate::paint(painter, o, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(option, index), 0);
    }

private:
    static int indent(const QStyleOptionViewItem& option, const QModelIndex& index) {
        return index.data(kDepthRole).toInt() * option.fontMetrics.averageCharWidth() * 2;
    }
};

} // namespace

FolderListBox::FolderListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new FolderIndent(this));
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { openHighlighted(); });
}

void FolderListBox::setPath(const QString& folder) {
    QString clean = folder;
    while (clean.size() > 1 && clean.endsWith(u'/'))
        clean.chop(1);
    const FolderListing listing = listFolder(clean, QString());
    if (!listing.ok)
        throw runtime::RuntimeError(runtime::ErrorKind::Failed,
                                    QStringLiteral("%1: %2").arg(clean, listing.error));
    fill(clean, listing.subfolders);
    if (clean != m_path) {
        m_path = clean;
        emit pathChanged();
    }
}

void FolderListBox::showFolder(const QString& folder, const QStringList& subfolders) {
    fill(folder, subfolders);
}

QString FolderListBox::highlightedPath() const {
    const QListWidgetItem* item = currentItem();
    return item && item->isSelected() ? item->data(kPathRole).toString() : m_path;
}

void FolderListBox::fill(const QString& folder, const QStringList& subfolders) {
    m_shown = folder;
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    setUpdatesEnabled(false);
    clear();
    // The folders from the drive's root, each a step further in, down to the folder itself.
    QString root = QStringLiteral("/");
    for (const QString& r : m_roots)
        if (pathIsUnder(folder, r) && r.size() > root.size()) root = r;
    const QStringList parts = folder.mid(root.size()).split(u'/', Qt::SkipEmptyParts);
    QString at = root;
    auto add = [this](const QIcon& icon, const QString& name, const QString& path, int depth) {
        auto* item = new QListWidgetItem(icon, name, this);
        item->setData(kPathRole, path);
        item->setData(kDepthRole, depth);
        return item;
    };
    QListWidgetItem* current = add(open, root, at, 0);
    for (int i = 0; i < parts.size(); ++i) {
        at = joinFolderAndName(at, parts[i]);
        current = add(open, parts[i], at, i + 1);
    }
    m_firstSubfolder = count();
    for (const QString& sub : subfolders)
        add(closed, sub, joinFolderAndName(at, sub), int(parts.size()) + 1);
    setCurrentItem(current);
    setUpdatesEnabled(true);
    scrollToItem(current, QAbstractItemView::PositionAtTop);
}

void FolderListBox::openHighlighted() {
    const QString target = highlightedPath();
    if (target == m_path && m_shown == m_path) return;
    try {
        setPath(target);
    } catch (const runtime::RuntimeError&) {
        // A folder that cannot be read stays closed; the highlight goes back to where the list is.
        fill(m_path, listFolder(m_path, QString()).subfolders);
        QApplication::beep();
    }
}

void FolderListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openHighlighted();
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

// ---- File list ----

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void FileListBox::setPath(const QString& folder) {
    m_path = folder;
    refresh();
}

void FileListBox::setPattern(const QString& pattern) {
    for (QChar c : pattern)
        if (c == u'/' || c.category() == QChar::Other_Control)
            throw runtime::RuntimeError(runtime::ErrorKind::InvalidValue,
                                        QStringLiteral("Invalid property value"));
    m_pattern = pattern;
    refresh();
}

void FileListBox::refresh() {
    clear();
    if (m_path.isEmpty() || m_pattern.isEmpty()) return;
    addItems(listFolder(m_path, m_pattern).files);
}

// ---- Drive list ----

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    // The same width whatever the drives are called, so the window keeps its layout.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(18);
    for (const platform::Drive& d : platform::files().drives()) {
        const QString caption =
            d.name.isEmpty() || d.name == d.root ? d.root : QStringLiteral("%1   [%2]").arg(d.root, d.name);
        addItem(caption, d.root);
    }
}

QStringList DriveListBox::roots() const {
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << itemData(i).toString();
    return out;
}

QString DriveListBox::drive() const {
    return currentData().toString();
}

bool DriveListBox::setDriveOf(const QString& path) {
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        if (pathIsUnder(path, root) && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best < 0) return false;
    setCurrentIndex(best);
    return true;
}
