#include "shell/XscreensaverList.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>
#include <cstdio>

namespace {

const QString kEntry = QStringLiteral("\t\t\t\tlumora --root\t\t\t\t\t    \\n\\\n");

// The "programs:" resource of a file in xscreensaver's format: where its value starts (after the
// name and the blanks) and ends (the first line that does not end in a backslash). -1 when absent.
struct Resource {
    qsizetype nameAt = -1;
    qsizetype valueAt = -1;
    qsizetype end = -1;
};

Resource findPrograms(const QString& text, const QString& name) {
    Resource r;
    static const QRegularExpression line(QStringLiteral("^[ \\t]*(\\*?programs)[ \\t]*:"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(1) != name) continue;
        r.nameAt = m.capturedStart();
        r.valueAt = m.capturedEnd();
        while (r.valueAt < text.size() && (text[r.valueAt] == u' ' || text[r.valueAt] == u'\t')) ++r.valueAt;
        qsizetype at = r.valueAt;
        for (;;) {
            const qsizetype nl = text.indexOf(u'\n', at);
            if (nl < 0) {
                r.end = text.size();
                break;
            }
            if (nl == 0 || text[nl - 1] != u'\\') {
                r.end = nl + 1;
                break;
            }
            at = nl + 1;
        }
        return r;
    }
    return r;
}

// An entry runs Lumora when its command, after an optional "-" (disabled), a visual and a quoted
// name, is the program.
bool listsLumora(const QString& value) {
    static const QRegularExpression entry(
        QStringLiteral("(^|\\\\n|\\n)[\\s\\\\]*-?\\s*([A-Za-z]+:\\s*)?(\"[^\"]*\"\\s*)?(\\S*/)?lumora(\\s|\\\\|$)"));
    return entry.match(value).hasMatch();
}

// A list whose value starts on the line of its name goes on the next line, after Lumora's.
QString listWithLumoraFirst(const QString& value) {
    if (value.startsWith(QLatin1String("\\\n"))) return QStringLiteral("programs:\t\t\\\n") + kEntry + value.mid(2);
    const bool sameLine = !value.isEmpty() && !value.startsWith(u'\n');
    return QStringLiteral("programs:\t\t\\\n") + kEntry + (sameLine ? QStringLiteral("\t\t\t\t") : QString()) + value;
}

} // namespace

std::optional<QString> withLumoraListed(const QString& current, const QString& defaults) {
    const Resource mine = findPrograms(current, QStringLiteral("programs"));
    if (mine.nameAt >= 0) {
        const QString value = current.mid(mine.valueAt, mine.end - mine.valueAt);
        if (listsLumora(value)) return std::nullopt;
        return current.left(mine.nameAt) + listWithLumoraFirst(value) + current.mid(mine.end);
    }
    // No list of the user's: xscreensaver's own list, with Lumora first, added to what is there.
    QString list;
    const Resource theirs = findPrograms(defaults, QStringLiteral("*programs"));
    if (theirs.nameAt >= 0) list = listWithLumoraFirst(defaults.mid(theirs.valueAt, theirs.end - theirs.valueAt));
    else list = QStringLiteral("programs:\t\t\\\n") + kEntry.left(kEntry.size() - 2) + u'\n';
    if (!list.endsWith(u'\n')) list += u'\n';
    QString out = current;
    if (!out.isEmpty() && !out.endsWith(u'\n')) out += u'\n';
    return out + list;
}

int addLumoraToXscreensaver() {
    const QString path = QDir::homePath() + QStringLiteral("/.xscreensaver");
    QString current;
    QFile in(path);
    if (in.exists()) {
        if (!in.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "lumora: %s cannot be read: %s\n", qPrintable(path), qPrintable(in.errorString()));
            return 1;
        }
        current = QString::fromUtf8(in.readAll());
        in.close();
    }
    QString defaults;
    for (const char* d : {"/etc/X11/app-defaults/XScreenSaver", "/usr/share/X11/app-defaults/XScreenSaver"}) {
        QFile f(QString::fromLatin1(d));
        if (f.open(QIODevice::ReadOnly)) {
            defaults = QString::fromUtf8(f.readAll());
            break;
        }
    }
    const std::optional<QString> listed = withLumoraListed(current, defaults);
    if (!listed) {
        std::printf("Lumora is already in xscreensaver's list of display modes (%s).\n", qPrintable(path));
        return 0;
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(listed->toUtf8()) < 0 || !out.commit()) {
        std::fprintf(stderr, "lumora: %s cannot be written: %s\n", qPrintable(path), qPrintable(out.errorString()));
        return 1;
    }
    std::printf("Lumora is now first in xscreensaver's list of display modes (%s).\n"
                "Restart xscreensaver (xscreensaver-command -restart) and pick Lumora in xscreensaver-settings.\n",
                qPrintable(path));
    return 0;
}
