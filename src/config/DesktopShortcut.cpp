#include "config/DesktopShortcut.h"

#include "base/Escapes.h"
#include <QFile>
#include <QSaveFile>

namespace {

// Characters that make a desktop entry's Exec argument need quotes.
bool needsQuotes(const QString& s) {
    for (QChar c : s)
        if (QStringLiteral(" \t\n\"'\\><~|&;$*?#()`").contains(c)) return true;
    return s.isEmpty();
}

// Line breaks and backslashes escaped for a string value of a desktop entry.
QString escapeValue(const QString& s) {
    QString out;
    for (QChar c : s) {
        const QString escape = platform::backslashEscape(c);
        if (escape.isEmpty())
            out += c;
        else
            out += escape;
    }
    return out;
}

} // namespace

QString desktopExecValue(const QString& program) {
    QString arg;
    if (needsQuotes(program)) {
        arg = QStringLiteral("\"");
        for (QChar c : program) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') arg += u'\\';
            arg += c;
        }
        arg += u'"';
    } else {
        arg = program;
    }
    // A lone % would start a field code.
    arg.replace(QStringLiteral("%"), QStringLiteral("%%"));
    return escapeValue(arg);
}

QString desktopEntryText(const QString& name, const QString& program, const QString& icon) {
    QString t;
    t += QStringLiteral("[Desktop Entry]\n");
    t += QStringLiteral("Type=Application\n");
    t += QStringLiteral("Version=1.0\n");
    t += QStringLiteral("Name=") + escapeValue(name) + u'\n';
    t += QStringLiteral("Comment=Choose what the screen saver plays and how\n");
    t += QStringLiteral("Exec=") + desktopExecValue(program) + u'\n';
    t += QStringLiteral("TryExec=") + escapeValue(program) + u'\n';
    if (!icon.isEmpty()) t += QStringLiteral("Icon=") + escapeValue(icon) + u'\n';
    t += QStringLiteral("Terminal=false\n");
    t += QStringLiteral("Categories=Settings;DesktopSettings;\n");
    return t;
}

bool writeDesktopShortcut(const QString& folder, const QString& name, const QString& program,
                          const QString& icon) {
    if (folder.isEmpty()) return false;
    QSaveFile file(folder + u'/' + name + QStringLiteral(".desktop"));
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(desktopEntryText(name, program, icon).toUtf8());
    if (!file.commit()) return false;
    // Desktops start only entries that are marked executable.
    return QFile::setPermissions(file.fileName(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                      QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                      QFile::ExeOther);
}
