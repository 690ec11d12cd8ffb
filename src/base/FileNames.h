#pragma once
#include <QByteArray>
#include <QString>

// On Linux a file name is bytes, not necessarily UTF-8: "caf\xe9.mpg" written by a Latin-1 system is
// as good a name as any. The program carries names as QString; these turn bytes into text and back
// without loss. UTF-8 decodes as usual; every byte that is not part of valid UTF-8 becomes the lone
// low surrogate U+DC80 + (byte - 0x80), which valid text never holds, and goes back to that byte.
namespace platform {

QString fileNameText(const QByteArray& bytes);
QByteArray fileNameBytes(const QString& text);

// The name as the user reads it: bytes kept as they were are shown as their Latin-1 characters (the
// likeliest origin of such names), C1 control bytes as U+FFFD.
QString fileNameShown(const QString& text);

} // namespace platform
