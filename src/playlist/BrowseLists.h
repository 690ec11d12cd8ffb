#pragma once
#include "platform/Platform.h"
#include <QComboBox>
#include <QListWidget>

// The three lists with which the play-list editor and the searches browse the file systems: drives,
// folders and matching files. Names are read by their bytes (base/FileNames.h): each row shows a name
// as the user reads it and keeps the name itself.

// The mounted file systems, each shown as its mount point and, when it has one, its name.
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);
    // Lists the drives without a change signal.
    void setDrives(const QList<platform::Drive>& drives);
    // The chosen drive's root; "" when none is listed.
    QString drive() const;
    QStringList roots() const;
    // Chooses the drive with that root, listing it first when it was not listed.
    void setDrive(const QString& root);
    // Chooses the drive that holds `path` (the longest root when mounts nest); false when none does.
    bool setDriveOf(const QString& path);
};

// The folders from the drive's root down to the current one, each a step further in, then its
// subfolders. A click highlights a folder; a double click or Enter opens it.
class FolderList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kPathRole = Qt::UserRole;
    static constexpr int kLevelRole = Qt::UserRole + 1; // steps below the drive's root

    explicit FolderList(QWidget* parent = nullptr);
    // Where chains of folders start: the drives' roots ("/" when none holds the path).
    void setRoots(const QStringList& roots) { m_roots = roots; }
    QString path() const { return m_path; }
    // Reads the folder again, lists it and emits changed(). A folder that cannot be read raises
    // runtime::RuntimeError (Failed) and changes nothing.
    void setPath(const QString& folder);
    // The highlighted folder; the path itself when nothing is highlighted.
    QString highlightedPath() const;
    // Opens the highlighted folder. One that cannot be read stays closed, with a beep, and the
    // highlight goes back to the path; false then.
    bool openHighlighted();
    // Shows a folder a search has entered, with the subfolders it read, without reading the disk
    // again and without a change of path.
    void showFolder(const QString& folder, const QStringList& subfolders);
    QString shownFolder() const { return m_shown; }
    // Subfolders shown under the folder.
    int subfolderCount() const { return count() - m_firstSubfolder; }

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill(const QString& folder, const QStringList& subfolders);

    QStringList m_roots;
    QString m_path;
    QString m_shown;
    int m_firstSubfolder = 0;
};

// The files of one folder that match a pattern list, by name.
class FileList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kNameRole = Qt::UserRole;

    explicit FileList(QWidget* parent = nullptr);
    QString path() const { return m_path; }
    QString pattern() const { return m_pattern; }
    // Lists the folder's matching files; a folder that cannot be read lists none.
    void setPath(const QString& folder);
    // Semicolon-separated wildcards, the media patterns at first. One with a "/" or a control
    // character, which no file name could match, raises runtime::RuntimeError (InvalidValue).
    void setPattern(const QString& pattern);
    // The file name of a row; "" when there is no such row.
    QString fileName(int row) const;
    QStringList fileNames() const;

private:
    void refresh();
    QString m_path;
    QString m_pattern;
};
