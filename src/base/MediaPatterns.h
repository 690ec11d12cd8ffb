#pragma once
#include <QString>
#include <QStringList>
#include <vector>

// The media pattern list: the classic 30 patterns in their order (two of them twice), then the
// formats most videos and songs come in today, which the engine plays as well.
QString mediaPatternList();

// A play-list entry: the folder, one "/" unless the folder already ends in one, and the name.
QString joinFolderAndName(const QString& folder, const QString& name);

// Matches file names against a semicolon-separated list of wildcard patterns ("*" any run, "?" one
// character), without regard to case. Each pattern counts once however often it is listed. Plain
// "*.ext" patterns are compared as endings, so matching a large tree stays cheap.
class PatternMatcher {
public:
    explicit PatternMatcher(const QString& patternList);
    bool matches(const QString& fileName) const;
    // The distinct patterns, lower case, in the order first listed.
    QStringList patterns() const { return m_patterns; }

private:
    QStringList m_patterns;
    std::vector<QString> m_endings;   // "*.ext" patterns as ".ext"
    std::vector<QString> m_wildcards; // the other patterns
};

// Case-insensitive wildcard match of one name against one pattern ("*" and "?" only).
bool wildcardMatch(const QString& pattern, const QString& name);
