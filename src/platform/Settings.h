#pragma once
#include <QString>
#include <cstdint>
#include <optional>
#include "base/SettingsKeys.h"

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

// Reading and saving by the keys of base/SettingsKeys.h, on GetSetting and SaveSetting: each read
// goes to the store, as every read there does.
namespace settings {

// The stored text, or the default `reader` passes.
QString text(KeyRef key, Reader reader = Reader::Any);
// The stored text; none when the key is missing.
std::optional<QString> stored(KeyRef key);

// Stored text that does not convert (a hand-edited file) raises a type mismatch or overflow error,
// and the reading form decides what follows.
bool read(FlagKey key, Reader reader = Reader::Any);
int16_t read(NumberKey key, Reader reader = Reader::Any);
inline QString read(TextKey key, Reader reader = Reader::Any) { return text(key, reader); }

// What a control shows: text that is no Boolean gives the default.
bool readOrDefault(FlagKey key);
// What a control with a range shows: a number is rounded and taken to the nearest end of
// [minimum, maximum]; text that is no number gives the default.
int readInRange(KeyRef key, int minimum, int maximum);

// "True"/"False", decimal text, and text as given.
void save(FlagKey key, bool value);
void save(NumberKey key, int value);
void save(TextKey key, const QString& value);

// The saves made while one is alive, on this thread, are kept back and go to the store as one save
// when it is committed: the store then holds every one of them, or, when that save fails, is as it
// was; never some of them. Reads meanwhile see the values kept back. commit() raises the runtime
// error a single save raises; left without a commit (an error on the way), nothing is saved. One
// made inside another joins it, and the outer one saves.
class SaveTogether {
public:
    SaveTogether();
    ~SaveTogether();
    SaveTogether(const SaveTogether&) = delete;
    SaveTogether& operator=(const SaveTogether&) = delete;
    void commit();

private:
    bool m_joined;
};

} // namespace settings
