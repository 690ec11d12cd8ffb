#pragma once
#include "platform/Platform.h"
#include <QComboBox>
#include <QListWidget>

// The folder list of the searches: the folders from its drive's root down to its path, each under the
// one above, then the path's subfolders. A click highlights a folder, a double click or Enter moves into it.
class FolderListBox : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kPathRole = Qt::UserRole;

    explicit FolderListBox(QWidget* parent = nullptr);

    // Where chains of folders start: the drives' roots ("/" when none holds the path).
    void setRoots(const QStringList& roots) { m_roots = roots; }
    QString path() const { return m_path; }
    // Moves into `folder` and lists it. Raises a runtime error (and stays where it is) when the folder
    // cannot be read.
    void setPath(const QString& folder);
    // The highlighted folder; the path itself when nothing else is highlighted.
    QString highlightedPath() const;
    // Shows a folder the walk has entered, with the subfolders it read, without reading the disk
    // again and without a change of path.
    void showFolder(const QString& folder, const QStringList& subfolders);
    QString shownFolder() const { return m_shown; }
    // Subfolders shown under the folder.
    int subfolderCount() const { return count() - m_firstSubfolder; }

signals:
    // The path has changed.
    void pathChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill(const QString& folder, const QStringList& subfolders);
    void openHighlighted();

    QStringList m_roots;
    QString m_path;
    QString m_shown;
    int m_firstSubfolder = 0;
};

// The hidden file list that follows the folder list: the files of its path that match its pattern.
class FileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    QString pattern() const { return m_pattern; }
    // Re-lists. A folder that cannot be read lists nothing.
    void setPath(const QString& folder);
    // Raises an invalid-value runtime error for a pattern no file name could match: one with a "/"
    // or a control character in it.
    void setPattern(const QString& pattern);

private:
    void refresh();
    QString m_path;
    QString m_pattern;
};

// The drive list: the mounted file systems the platform gives, each by its mount point and name.
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);

    QString drive() const; // the mount point chosen, "" when none
    QStringList roots() const;
    // Chooses the drive whose mount point is the longest start of `path`; false when none is.
    bool setDriveOf(const QString& path);
};

// Whether `path` lies on or under the folder `root`.
bool pathIsUnder(const QString& path, const QString& root);
