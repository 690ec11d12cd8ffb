#include "base/SettingsFormat.h"

#include "base/Escapes.h"
#include "base/FileNames.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QList>
#include <QStringDecoder>
#include <QStringList>
#include <optional>

namespace platform {

namespace {

const QString kGroup = QStringLiteral("lumora");
// Keys without a group: every key read from a file lies in the group, so a file cannot make these.
const QString kFileKey = QStringLiteral("%file");
const QString kEscapedMark = QStringLiteral("\\:");

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QByteArrayView trimBlanks(QByteArrayView bytes) {
    qsizetype from = 0, to = bytes.size();
    while (from < to && isBlank(bytes[from]))
        ++from;
    while (to > from && isBlank(bytes[to - 1]))
        --to;
    return bytes.sliced(from, to - from);
}

// UTF-8 when the bytes are valid UTF-8, Latin-1 otherwise.
QString decodeText(QByteArrayView bytes, bool* wasUtf8 = nullptr) {
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    const bool ok = !utf8.hasError();
    if (wasUtf8) *wasUtf8 = ok;
    return ok ? text : QString::fromLatin1(bytes);
}

bool hasLoneSurrogate(const QString& s) {
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        else if (s[i].isSurrogate())
            return true;
    }
    return false;
}

int hexDigit(QChar c) {
    if (c >= u'0' && c <= u'9') return c.unicode() - '0';
    if (c >= u'a' && c <= u'f') return c.unicode() - 'a' + 10;
    if (c >= u'A' && c <= u'F') return c.unicode() - 'A' + 10;
    return -1;
}

// The text after "\:"; nothing when an escape is not one of ours.
std::optional<QString> unescapeValue(QStringView s) {
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size()) return std::nullopt;
        switch (s[i].unicode()) {
        case '\\':
            out += u'\\';
            break;
        case 'n':
            out += u'\n';
            break;
        case 'r':
            out += u'\r';
            break;
        case 't':
            out += u'\t';
            break;
        case 's':
            out += u' ';
            break;
        case 'x':
        case 'u': {
            const qsizetype digits = s[i] == u'x' ? 2 : 4;
            if (i + digits >= s.size()) return std::nullopt;
            char16_t code = 0;
            for (qsizetype d = 1; d <= digits; ++d) {
                const int v = hexDigit(s[i + d]);
                if (v < 0) return std::nullopt;
                code = char16_t(code * 16 + v);
            }
            out += QChar(code);
            i += digits;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

QString escapeValue(const QString& s) {
    // Spaces at the end would be trimmed away on reading; those at the start follow the mark.
    qsizetype trailing = s.size();
    while (trailing > 0 && s[trailing - 1] == u' ')
        --trailing;
    QString out = kEscapedMark;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        const QString escape = backslashEscape(s[i]);
        if (!escape.isEmpty())
            out += escape;
        else if (c == u' ' && i >= trailing)
            out += QStringLiteral("\\s");
        else if (c < 0x20)
            out += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
        else if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            out += s[i];
            out += s[++i];
        } else if (QChar::isSurrogate(c))
            out += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
        else
            out += s[i];
    }
    return out;
}

// How QSettings' INI format wrote one text of a value.
QString iniForm(const QString& text) {
    const QString t = text.startsWith(u'@') ? u'@' + text : text;
    QString body;
    body.reserve(t.size() + 2);
    for (QChar c : t) {
        if (c == u'\\' || c == u'"') body += u'\\';
        body += c;
    }
    const bool quoted = t.contains(u';') || t.contains(u',') || t.contains(u'=') || body.startsWith(u' ') ||
                        body.endsWith(u' ');
    return quoted ? u'"' + body + u'"' : body;
}

// The text that earlier versions, which wrote the file with QSettings' INI format, read from a
// value that this format wrote. Nothing unless the value is exactly in that form, so a value
// written by hand keeps its quotes and backslashes. Control characters are left out on purpose:
// "C:\temp" is a hand-written folder far more often than an old tab.
std::optional<QString> earlierVersionText(const QString& raw) {
    QStringList items;
    const qsizetype n = raw.size();
    qsizetype i = 0;
    for (;;) {
        QString item;
        const bool quoted = i < n && raw[i] == u'"';
        if (quoted) ++i;
        for (;;) {
            if (i == n) {
                if (quoted) return std::nullopt;
                break;
            }
            const QChar c = raw[i];
            if (c.unicode() < 0x20) return std::nullopt;
            if (c == u'\\') {
                if (i + 1 == n || (raw[i + 1] != u'\\' && raw[i + 1] != u'"')) return std::nullopt;
                item += raw[i + 1];
                i += 2;
                continue;
            }
            if (c == u'"') {
                if (!quoted) return std::nullopt;
                ++i;
                break;
            }
            if (c == u',' && !quoted) break;
            item += c;
            ++i;
        }
        if (item.startsWith(QStringLiteral("@@"))) item.remove(0, 1);
        items << item;
        if (i == n) break;
        if (QStringView(raw).sliced(i).left(2) != QStringLiteral(", ")) return std::nullopt;
        i += 2;
    }
    QStringList written;
    for (const QString& item : items)
        written << iniForm(item);
    if (written.join(QStringLiteral(", ")) != raw) return std::nullopt;
    return items.join(QStringLiteral(", "));
}

QString valueFromText(QByteArrayView bytes) {
    bool utf8 = false;
    decodeText(bytes, &utf8);
    // A value that is not UTF-8 is most likely a path in another encoding: its bytes are kept, so it
    // names the same file and is written back as it was.
    const QString text = utf8 ? decodeText(bytes) : fileNameText(bytes.toByteArray());
    if (text.startsWith(kEscapedMark))
        if (auto v = unescapeValue(QStringView(text).sliced(kEscapedMark.size()))) return *v;
    if (utf8)
        if (auto v = earlierVersionText(text)) return *v;
    return text;
}

bool needsEscape(const QString& value) {
    if (value.isEmpty()) return false;
    if (isBlank(value.front()) || isBlank(value.back())) return true;
    for (QChar c : value)
        if (c.unicode() < 0x20) return true;
    if (value.startsWith(kEscapedMark)) return true;
    // Bytes of a name that is not UTF-8 go back as those bytes; other lone surrogates need escapes.
    if (hasLoneSurrogate(value) && fileNameText(fileNameBytes(value)) != value) return true;
    const auto earlier = earlierVersionText(value);
    return earlier && *earlier != value;
}

QByteArray encodeValue(const QString& value) {
    return needsEscape(value) ? escapeValue(value).toUtf8() : fileNameBytes(value);
}

// A key that reads back as itself from a "Key=Value" line in the group.
bool storableKey(const QString& key) {
    if (key.isEmpty() || isBlank(key.front()) || isBlank(key.back())) return false;
    const QChar first = key.front();
    if (first == u';' || first == u'#' || first == u'[') return false;
    for (QChar c : key)
        if (c == u'/' || c == u'=' || c == u'\n' || c == u'\r') return false;
    return !hasLoneSurrogate(key);
}

// One line of the file, as offsets into its text so that a file of many short lines costs no
// more than its own size.
struct Line {
    enum Kind { Other, Section, Entry };
    qsizetype at = 0;      // where the line starts
    qsizetype size = 0;    // without its line end
    qsizetype endSize = 0; // "\n" or "\r" 1, "\r\n" 2, a last line without one 0
    Kind kind = Other;
    bool ours = false; // a [lumora] header, or a key inside such a section
    QString key;
    QString value;
    qsizetype valueAt = 0; // where the value's text starts, from the start of the line
};

void classify(QByteArrayView t, Line& line, bool& inOurs) {
    qsizetype i = 0;
    while (i < t.size() && isBlank(t[i]))
        ++i;
    if (i == t.size() || t[i] == ';' || t[i] == '#') return;
    if (t[i] == '[') {
        const qsizetype close = t.indexOf(']', i + 1);
        if (close < 0) return;
        // A comment may follow the header; anything else makes it a line of its own kind.
        const QByteArrayView rest = trimBlanks(t.sliced(close + 1));
        if (!rest.isEmpty() && rest[0] != ';' && rest[0] != '#') return;
        line.kind = Line::Section;
        inOurs =
            decodeText(trimBlanks(t.sliced(i + 1, close - i - 1))).compare(kGroup, Qt::CaseInsensitive) == 0;
        line.ours = inOurs;
        return;
    }
    const qsizetype eq = t.indexOf('=', i);
    if (eq < 0) return;
    const QString key = decodeText(trimBlanks(t.sliced(i, eq - i)));
    // QSettings would take a "/" for a group of its own.
    if (key.isEmpty() || key.contains(u'/')) return;
    qsizetype v = eq + 1;
    while (v < t.size() && isBlank(t[v]))
        ++v;
    line.kind = Line::Entry;
    line.ours = inOurs;
    line.key = key;
    line.valueAt = v;
    line.value = valueFromText(trimBlanks(t.sliced(v)));
}

qsizetype bomSize(QByteArrayView data) {
    return data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
}

// Calls f(line) for each line of the file, in order.
template <class F> void forEachLine(QByteArrayView data, F&& f) {
    bool inOurs = false;
    qsizetype pos = bomSize(data);
    while (pos < data.size()) {
        qsizetype end = pos;
        while (end < data.size() && data[end] != '\n' && data[end] != '\r')
            ++end;
        Line line;
        line.at = pos;
        line.size = end - pos;
        if (end < data.size())
            line.endSize = data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n' ? 2 : 1;
        classify(data.sliced(pos, line.size), line, inOurs);
        f(line);
        pos = end + line.endSize;
    }
}

QByteArray readAtMost(QIODevice& device, qint64 limit, bool* failed) {
    QByteArray data;
    *failed = false;
    // Chunks the size of a small file, not of the limit: a read must not cost a megabyte each time.
    constexpr qint64 kChunk = 16 * 1024;
    while (data.size() <= limit) {
        const QByteArray part = device.read(qMin(kChunk, limit + 1 - data.size()));
        if (part.isEmpty()) break;
        data += part;
    }
    if (auto* file = qobject_cast<QFileDevice*>(&device); file && file->error() != QFileDevice::NoError)
        *failed = true;
    return data;
}

} // namespace

bool readLumoraSettings(QIODevice& device, QSettings::SettingsMap& map) {
    if (!device.isReadable()) return false;
    bool failed = false;
    const QByteArray data = readAtMost(device, kMaxSettingsFileBytes, &failed);
    if (failed || data.size() > kMaxSettingsFileBytes) return false;
    // A key given twice, in whatever case, takes its later value and spelling.
    QHash<QString, QString> mapKeyOf;
    forEachLine(data, [&](const Line& line) {
        if (line.kind != Line::Entry || !line.ours) return;
        const QString folded = line.key.toCaseFolded();
        if (auto it = mapKeyOf.constFind(folded); it != mapKeyOf.constEnd()) map.remove(*it);
        const QString mapKey = kGroup + u'/' + line.key;
        mapKeyOf.insert(folded, mapKey);
        map.insert(mapKey, line.value);
    });
    map.insert(kFileKey, data);
    return true;
}

bool writeLumoraSettings(QIODevice& device, const QSettings::SettingsMap& map) {
    const QByteArray data = map.value(kFileKey).toByteArray();
    // First pass: where each key's value stands, where new keys go, which line end the file uses.
    struct Current {
        qsizetype line = -1;
        QString value;
    };
    QHash<QString, Current> current; // by folded key
    qsizetype insertAfter = -1;      // the last line of the last [lumora] section's header and keys
    QByteArray newline;
    qsizetype index = 0;
    forEachLine(data, [&](const Line& line) {
        if (line.kind == Line::Entry && line.ours)
            current.insert(line.key.toCaseFolded(), {index, line.value});
        if (line.ours) insertAfter = index;
        if (newline.isEmpty() && line.endSize) newline = data.sliced(line.at + line.size, line.endSize);
        ++index;
    });
    if (newline.isEmpty()) newline = "\n";

    struct Wanted {
        QString key;
        QString value;
    };
    QStringList order;
    QHash<QString, Wanted> wanted;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it.key() == kFileKey) continue;
        const qsizetype slash = it.key().indexOf(u'/');
        if (slash < 0 || QStringView(it.key()).left(slash).compare(kGroup, Qt::CaseInsensitive) != 0)
            return false;
        const QString key = it.key().mid(slash + 1);
        if (!storableKey(key) || !it.value().canConvert<QString>()) return false;
        const Wanted w{key, it.value().toString()};
        const QString folded = key.toCaseFolded();
        auto found = wanted.find(folded);
        if (found == wanted.end()) {
            order << folded;
            wanted.insert(folded, w);
            continue;
        }
        // One key in two spellings: the one the file has, and a change to it, which wins.
        const auto now = current.constFind(folded);
        if (now != current.constEnd() && found->value == now->value) *found = w;
    }
    QByteArray added;
    for (const QString& folded : order)
        if (!current.contains(folded)) {
            const Wanted& w = wanted[folded];
            added += w.key.toUtf8() + '=' + encodeValue(w.value) + newline;
        }

    // Second pass: every line as it was, but for the values that change.
    QByteArray out;
    out.reserve(data.size() + added.size() + 64);
    out += QByteArrayView(data).first(bomSize(data));
    index = 0;
    bool lastLineEnded = true;
    forEachLine(data, [&](const Line& line) {
        const QByteArrayView text = QByteArrayView(data).sliced(line.at, line.size + line.endSize);
        const QString folded = line.kind == Line::Entry && line.ours ? line.key.toCaseFolded() : QString();
        const auto w = folded.isEmpty() ? wanted.constEnd() : wanted.constFind(folded);
        if (w != wanted.constEnd() && current.value(folded).line == index && w->value != line.value) {
            out += text.first(line.valueAt);
            out += encodeValue(w->value);
            out += text.sliced(line.size);
        } else {
            out += text;
        }
        lastLineEnded = line.endSize != 0;
        if (index == insertAfter && !added.isEmpty()) {
            if (!lastLineEnded) out += newline;
            out += added;
            lastLineEnded = true;
        }
        ++index;
    });
    if (insertAfter < 0 && !added.isEmpty()) {
        if (!lastLineEnded) out += newline;
        out += '[' + kGroup.toUtf8() + ']' + newline + added;
    }
    return device.write(out) == out.size();
}

} // namespace platform
