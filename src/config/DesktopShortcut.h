#pragma once
#include <QString>

// The text of a desktop entry that starts `program` with no switch, which opens the configuration.
QString desktopEntryText(const QString& name, const QString& program, const QString& icon);
// The Exec value for one program path: quoted and escaped where the path needs it.
QString desktopExecValue(const QString& program);
// Writes `<folder>/<name>.desktop`, executable. False when it could not be written.
bool writeDesktopShortcut(const QString& folder, const QString& name, const QString& program,
                          const QString& icon);
