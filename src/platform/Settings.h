#pragma once
#include <QString>

// The program's settings, application "larkspur", section "lumora"; every value is text.
// GetSetting never fails: a missing key gives the default. SaveSetting raises a runtime error when
// the store cannot be written.
QString GetSetting(const QString& key, const QString& defaultValue);
void SaveSetting(const QString& key, const QString& value);

// When the settings file is left alone (too large, or unreadable) and the defaults are used: what
// the user is told about it, once, as the configuration starts; empty while the settings are in use.
QString settingsLeftAloneNotice();
// True while the settings file is left alone: the program's own writes are then not attempted.
bool settingsLeftAlone();

// The Windows directory: the program's data folder, "c:\windows" when the system gives none.
QString GetWindows();
// The default media file: GetWindows() followed by "/lumora.mpg".
QString defaultMediaPath();
