#pragma once
#include "platform/Platform.h"
#include "base/MediaPatterns.h"
#include <QComboBox>
#include <QListWidget>

// The three lists with which a form browses the file systems: drives, folders and matching files.

// The mounted file systems, each shown as its mount point and name.
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);
    void setDrives(const QList<platform::Drive>& drives);
    // The chosen drive's root; "" when none is listed.
    QString drive() const;
    // Chooses the drive with that root, listing it first when it was not listed.
    void setDrive(const QString& root);
    QStringList roots() const;
};

// The folders above the current one, from its drive's root down, then its subfolders. A click
// highlights a folder; a double-click or Enter opens it.
class FolderList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int LevelRole = Qt::UserRole + 1;

    explicit FolderList(QWidget* parent = nullptr);
    // Where chains of folders start: the drives' roots.
    void setRoots(const QStringList& roots) { m_roots = roots; }
    QString path() const { return m_path; }
    // Lists the folder and emits changed(). A folder that does not exist raises runtime::RuntimeError
    // (Failed) and changes nothing.
    void setPath(const QString& folder);
    // Full paths of the listed subfolders, in their order.
    QStringList subfolders() const;
    // The folder the highlight is on.
    QString highlightedPath() const;
    // Opens the highlighted folder; false when it could not be opened.
    bool openHighlighted();

signals:
    void changed();

private:
    QStringList m_roots;
    QString m_path;
    int m_chainSize = 0; // the folders above the subfolders, the current one included
};

// The matching files of one folder, by name. Each row shows the name as the user reads it and keeps
// the name itself (which need not be UTF-8, platform/FileNames.h) for adding to a play list.
class FileList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int NameRole = Qt::UserRole;

    explicit FileList(QWidget* parent = nullptr);
    void setPattern(const QString& patternList);
    QString path() const { return m_path; }
    // Lists the folder's matching files; an unreadable folder lists none.
    void setPath(const QString& folder);
    // The file name of a row; "" when there is no such row.
    QString fileName(int row) const;
    QStringList fileNames() const;

private:
    void refresh();
    PatternMatcher m_matcher;
    QString m_path;
};
