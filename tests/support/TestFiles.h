#pragma once
#include <QByteArray>
#include <QString>

// Files and forms as the tests of every subsystem check them.
namespace testsupport {

// Writes the bytes as the whole file; a file that cannot be written fails the current test.
void putBytes(const QString& path, const QByteArray& bytes);
// The whole file, or "<missing>" when it cannot be read.
QByteArray bytesOf(const QString& path);
// Runs events until the named form has been unloaded and let go, for at most ms; true once it has.
bool formClosed(const QString& name, int ms = 10000);

} // namespace testsupport
