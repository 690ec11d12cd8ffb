#include "base/PlayListModel.h"

#include "base/FileNames.h"
#include "base/RuntimeError.h"

PlayListModel::PlayListModel(QObject* parent) : QAbstractListModel(parent) {}

int PlayListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant PlayListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count()) return {};
    const QString& entry = m_entries[index.row()];
    if (role == Qt::DisplayRole) return platform::fileNameShown(entry);
    if (role == EntryRole) return entry;
    return {};
}

QString PlayListModel::entry(int index) const {
    return index >= 0 && index < count() ? m_entries[index] : QString();
}

void PlayListModel::append(const QString& entry) {
    if (count() >= kMaxEntries)
        throw runtime::RuntimeError(runtime::ErrorKind::Overflow, QStringLiteral("The play list is full"));
    beginInsertRows(QModelIndex(), count(), count());
    m_entries << entry;
    endInsertRows();
}

int PlayListModel::appendWhileRoom(const QStringList& entries) {
    const int added = int(qMin<qsizetype>(entries.size(), kMaxEntries - count()));
    if (added <= 0) return 0;
    beginInsertRows(QModelIndex(), count(), count() + added - 1);
    m_entries.append(entries.mid(0, added));
    endInsertRows();
    return added;
}

void PlayListModel::removeAt(int index) {
    if (index < 0 || index >= count()) return;
    beginRemoveRows(QModelIndex(), index, index);
    m_entries.removeAt(index);
    endRemoveRows();
}

void PlayListModel::clear() {
    beginResetModel();
    m_entries.clear();
    endResetModel();
}

void PlayListModel::load(const PlayListData& data) {
    beginResetModel();
    m_header = data.header;
    m_entries = data.entries.mid(0, kMaxEntries);
    endResetModel();
}
