#include "base/MediaPatterns.h"

QString mediaPatternList() {
    return QStringLiteral(
               "*.mpg;*.avi;*.mpe;*.vid;*.wmv;*.mpeg;*.asf;*.wma;*.wav;*.mp3;*.mpv;*.asx;*.wax;*.m3u;*.wpl;*."
               "wvx;"
               "*.wmx;*.dvr-ms;*.mid;*.rmi;*.midi;*.m1v;*.mp2;*.mpa;*.snd;*.au;*.aif;*.asf;*.wm;*.wma") +
           QStringLiteral(
               ";*.mp4;*.m4v;*.mkv;*.webm;*.mov;*.ogv;*.ts;*.m2ts;*.flac;*.ogg;*.opus;*.m4a;*.aac");
}

QString joinFolderAndName(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

namespace {

QChar fold(QChar c) {
    return c.toCaseFolded();
}

// Iterative "*"/"?" matching with one backtrack point: linear for the patterns media lists use.
bool matchFrom(const QString& p, const QString& s) {
    qsizetype pi = 0, si = 0, star = -1, mark = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == u'*') {
            star = pi++;
            mark = si;
        } else if (pi < p.size() && (p[pi] == u'?' || fold(p[pi]) == fold(s[si]))) {
            ++pi;
            ++si;
        } else if (star >= 0) {
            pi = star + 1;
            si = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*')
        ++pi;
    return pi == p.size();
}

} // namespace

bool wildcardMatch(const QString& pattern, const QString& name) {
    return matchFrom(pattern, name);
}

PatternMatcher::PatternMatcher(const QString& patternList) {
    for (const QString& raw : patternList.split(u';', Qt::SkipEmptyParts)) {
        const QString p = raw.trimmed().toCaseFolded();
        if (p.isEmpty() || m_patterns.contains(p)) continue;
        m_patterns << p;
        const QString rest = p.mid(1);
        if (p.startsWith(u'*') && !rest.contains(u'*') && !rest.contains(u'?') && rest.startsWith(u'.'))
            m_endings.push_back(rest);
        else
            m_wildcards.push_back(p);
    }
}

bool PatternMatcher::matches(const QString& fileName) const {
    for (const QString& e : m_endings)
        if (fileName.size() >= e.size() && fileName.endsWith(e, Qt::CaseInsensitive)) return true;
    for (const QString& w : m_wildcards)
        if (matchFrom(w, fileName)) return true;
    return false;
}
