#pragma once
#include <QString>

// The program's settings, application "larkspur", section "lumora"; every value is text.
// GetSetting never fails: a missing key gives the default. SaveSetting raises a runtime error when
// the store cannot be written.
QString GetSetting(const QString& key, const QString& defaultValue);
void SaveSetting(const QString& key, const QString& value);

// The Windows directory: the program's data folder, "c:\windows" when the system gives none.
QString GetWindows();
// The default media file: GetWindows() followed by "/lumora.mpg".
QString defaultMediaPath();
