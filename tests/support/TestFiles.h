#pragma once
#include <QByteArray>
#include <QString>

// Files and forms as the tests of every subsystem check them.
namespace testsupport {

// The caption of the players' form, by which the tests find it.
inline const QString kMainForm = QStringLiteral("Screen Saver Main Form");

// Writes the bytes as the whole file; a file that cannot be written fails the current test.
void putBytes(const QString& path, const QByteArray& bytes);
// The whole file, or "<missing>" when it cannot be read.
QByteArray bytesOf(const QString& path);
// Runs events until the named form has been unloaded and let go, for at most ms; true once it has.
bool formClosed(const QString& name, int ms = 10000);

// A disk of its own, and a small one, on a folder: a tmpfs of `kib` KiB mounted over it for as long as
// this lives. Mounting takes root; where it fails, whyNot() says why and the folder is left as it was.
class SmallDisk {
public:
    explicit SmallDisk(const QString& folder, int kib = 64);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return m_whyNot.isEmpty(); }
    QString whyNot() const { return m_whyNot; }
    // Takes all its room but `leftFree` bytes (whole pages) with a file of its own; true when exactly
    // that much is left.
    bool fill(qint64 leftFree = 0);
    // Gives the room back.
    void empty();
    qint64 freeBytes() const;

private:
    QString m_folder;
    QString m_whyNot;
};

} // namespace testsupport
