#pragma once
#include <QString>
#include <optional>

// xscreensaver lists only the display modes named in the "programs:" list of ~/.xscreensaver, and a
// new user has no such file until a setting is changed and saved. These put Lumora in that list.

// The file's text with Lumora first in its list. `current` is the file as it stands (empty when there
// is none); `defaults` is xscreensaver's app-defaults file, whose list a new file starts from so the
// user keeps every other display mode. Nothing when Lumora is listed already.
std::optional<QString> withLumoraListed(const QString& current, const QString& defaults);

// Does it for the user of $HOME, saying on standard output what was done; the exit status.
int addLumoraToXscreensaver();
