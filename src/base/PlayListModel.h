#pragma once
#include "base/PlayListFile.h"
#include <QAbstractListModel>
#include <QString>
#include <QStringList>

// The play list in memory: the play-list file's header and entries. The players and the rotation read
// it, the editor shows and edits it, and it is written back only when the user saves.
class PlayListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int kMaxEntries = 32767; // counts and positions are 16-bit
    // An entry as the file system names it; the display role shows it as the user reads it.
    static constexpr int EntryRole = Qt::UserRole;

    explicit PlayListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int count() const { return int(m_entries.size()); }
    // "" when the index is out of range.
    QString entry(int index) const;
    const QStringList& entries() const { return m_entries; }
    QString header() const { return m_header; }
    void setHeader(const QString& header) { m_header = header; }

    // Appends an entry; a full list raises runtime::RuntimeError (Overflow) and stays as it was.
    void append(const QString& entry);
    // Appends entries in order until the list is full; returns how many were added.
    int appendWhileRoom(const QStringList& entries);
    // Out-of-range indexes are ignored.
    void removeAt(int index);
    void clear();

    // Takes the header and the entries (those past the limit are left out); the data as it would be written.
    void load(const PlayListData& data);
    PlayListData toData() const { return {m_header, m_entries}; }

private:
    QString m_header;
    QStringList m_entries;
};
