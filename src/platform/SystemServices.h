#pragma once
#include <cstdint>
#include <QString>

// The platform identifier: 1 where the screen saver asks for the password itself, 2 where the
// desktop's locker does; 0 until ReadPlatformId has run.
extern uint32_t PlatformId;
void ReadPlatformId();

constexpr uint32_t HKEY_CURRENT_USER = 0x80000001u;

// One registry value as text; every failure gives "". A 32-bit number comes back formatted with at
// least three digits and cut to three characters ("001" for 1).
QString ReadRegistryString(uint32_t root, const QString& subkey, const QString& valueName);

// The screen-saver password switch: the leading number of the registry text, 0 when missing.
int16_t readPasswordFlag();

// True when a file (not a folder) matches the path, which may hold the wildcards * and ?. Hidden
// files count. A bad path is false, never an error.
bool FileExists(const QString& path);
