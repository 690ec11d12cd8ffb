#pragma once
#include "base/PlayListModel.h"
#include <QString>

// "lumoraplus.ini" where this program keeps it (base/PlayListFile.h says where).
QString playListFilePath();

// The play list in memory, read from the play-list file on first use: the players, the rotation and
// the configuration dialog read it, the editor and the media search edit it. The object lives as long
// as the program, so a view may hold it.
PlayListModel& playList();
// Forgets the list in memory with any unsaved edits; the next use reads the file again.
void forgetPlayList();
