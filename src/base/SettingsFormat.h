#pragma once
#include <QSettings>
#include <QString>

class QIODevice;

namespace platform {

// The settings file, a text that people also write, read and pass around by hand:
//
//   - One "Key=Value" a line in the section [lumora]. The value is all the text after the first
//     "=", without the blanks (spaces, tabs) at either end, taken literally: no quotes, escapes,
//     lists or comments inside it. Section and key names compare without case; a key given twice
//     takes the later value. A line whose first non-blank character is ";" or "#" is a comment.
//     Lines end in LF, CR LF or CR; a UTF-8 byte-order mark at the start is allowed. A name that
//     is not valid UTF-8 is read as Latin-1; such a value keeps its bytes, as a file name does
//     (platform/FileNames.h), and is written back as those bytes.
//   - A save keeps every line it does not change exactly as it was: comments, blank lines, other
//     sections, keys the program does not know, lines it cannot make sense of. A changed value is
//     replaced on its own line; a new key goes after the last key of the [lumora] section, which
//     is added at the end when there is none. No line is ever removed.
//   - A value that a plain line cannot carry (blanks at an end, a line break or another control
//     character) is written as "\:" followed by the text with \\, \n, \r, \t, \s (a space),
//     \xHH and \uHHHH escapes. A value starting with "\:" is read that way only when all its
//     escapes are sound.
//   - Files of earlier versions were QSettings INI files: there a value with , ; = or blanks at an
//     end was quoted, \ and " were escaped, a leading @ doubled, a list joined by ", ". A value
//     written exactly in that form (and only such a value) still reads as that version wrote it;
//     the program writes a value that could be mistaken for it in the "\:" form.
//
// In the map, the values of [lumora] are under "lumora/<Key>". The text of the file rides along
// under a key with no group, which no key of the file can become; readers of the group never see
// it, and the writer takes the lines it keeps from it.
bool readLumoraSettings(QIODevice& device, QSettings::SettingsMap& map);
// False when a key cannot be stored in the file (outside the group "lumora", empty, with "/",
// "=", a line break, blanks at an end, or a first character that would make the line something
// else) or the device does not take the text.
bool writeLumoraSettings(QIODevice& device, const QSettings::SettingsMap& map);

// A settings file larger than this is not read and never replaced.
inline constexpr qint64 kMaxSettingsFileBytes = 1024 * 1024;

} // namespace platform
