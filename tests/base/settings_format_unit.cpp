#include "base/FileNames.h"
#include "base/SettingsFormat.h"
#include "base/SettingsKeys.h"
#include <QSet>
#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <random>

using platform::readLumoraSettings;
using platform::writeLumoraSettings;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

// Bytes of a literal, embedded zeros included.
template <qsizetype N> QByteArray bytes(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

struct Read {
    bool ok = false;
    QSettings::SettingsMap map;
    // The values of [lumora] by key in lower case, as the program looks them up.
    QHash<QString, QString> values() const {
        QHash<QString, QString> v;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            if (it.key().startsWith(QLatin1String("lumora/")))
                v.insert(it.key().mid(7).toCaseFolded(), it.value().toString());
        return v;
    }
    std::optional<QString> value(const QString& key) const {
        const auto v = values();
        const auto it = v.constFind(key.toCaseFolded());
        return it == v.constEnd() ? std::nullopt : std::optional<QString>(*it);
    }
};

Read readBytes(const QByteArray& text) {
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    Read r;
    r.ok = readLumoraSettings(buffer, r.map);
    return r;
}

std::optional<QByteArray> writeMap(const QSettings::SettingsMap& map) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!writeLumoraSettings(buffer, map)) return std::nullopt;
    return buffer.data();
}

// What a save of these values does to the text.
QByteArray saveInto(const QByteArray& text, const QList<QPair<QString, QString>>& changes) {
    Read r = readBytes(text);
    EXPECT_TRUE(r.ok);
    for (const auto& [key, value] : changes) {
        // The program writes a key under the spelling the file has, as the backend does.
        QString mapKey = QStringLiteral("lumora/") + key;
        for (auto it = r.map.cbegin(); it != r.map.cend(); ++it)
            if (it.key().compare(mapKey, Qt::CaseInsensitive) == 0) mapKey = it.key();
        r.map.insert(mapKey, value);
    }
    return writeMap(r.map).value_or(QByteArray("<refused>"));
}

} // namespace

// Every hand-written oddity reads as the text that is there, and a save changes the written keys
// only: in place, or after the last key of the section.
TEST(SettingsFormat, HandWrittenFileReadsLiterallyAndASaveChangesOnlyTheWrittenKeys) {
    const QByteArray original = bytes("; Lumora settings, shared with the lab machines\n"
                                      "# edit with care = really\n"
                                      "\n"
                                      "TopLevel=before any section\n"
                                      "[Display]\n"
                                      "VideoFile=/not/ours.mpg\n"
                                      "MouseSensitivity = 99\n"
                                      "\n"
                                      "[Lumora]   ; the program's own\r\n"
                                      "  AbsoluteFullScreenDisplayMode = True  \r\n"
                                      "VideoFile=/media/clips/a,b;c.mpg\n"
                                      "PathToLastDirectory=C:\\Videos\\\n"
                                      "NextKeyAfterBackslash=still here\n"
                                      "Green_Level=\"unclosed\n"
                                      "Blue_Level=200\n"
                                      "Title=a,b\n"
                                      "Spaced=a, b\n"
                                      "Note=x;y ; z\n"
                                      "Hash=#1 = one\n"
                                      "Quoted=\"hello\"\n"
                                      "Windows=C:\\temp\\new\n"
                                      "Latin=/home/j\xfcrgen/Filme\n"
                                      "Utf8=/home/j\xc3\xbcrgen/\xe2\x80\x93.mpg\n"
                                      "  ; indented comment = with equals\n"
                                      "odd line without an equals sign\n"
                                      "[lumora\n"
                                      "UnknownKey = kept as it is\n"
                                      "Empty=\n"
                                      "gradon=0\n"
                                      "GRADON=1\n"
                                      "mousesensitivity=12\n"
                                      "\n"
                                      "[other]\n"
                                      "GradOn=7\n"
                                      "trailing=no final newline");
    const Read r = readBytes(original);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(platform::fileNameShown(*r.value(QStringLiteral("Latin"))), QString::fromUtf8("/home/jürgen/Filme"));
    const QList<QPair<QString, std::optional<QString>>> expected{
        {QStringLiteral("AbsoluteFullScreenDisplayMode"), QStringLiteral("True")},
        {QStringLiteral("VideoFile"), QStringLiteral("/media/clips/a,b;c.mpg")},
        {QStringLiteral("PathToLastDirectory"), QStringLiteral("C:\\Videos\\")},
        {QStringLiteral("NextKeyAfterBackslash"), QStringLiteral("still here")},
        {QStringLiteral("Green_Level"), QStringLiteral("\"unclosed")},
        {QStringLiteral("Blue_Level"), QStringLiteral("200")},
        {QStringLiteral("Title"), QStringLiteral("a,b")},
        {QStringLiteral("Spaced"), QStringLiteral("a, b")},
        {QStringLiteral("Note"), QStringLiteral("x;y ; z")},
        {QStringLiteral("Hash"), QStringLiteral("#1 = one")},
        {QStringLiteral("Quoted"), QStringLiteral("\"hello\"")},
        {QStringLiteral("Windows"), QStringLiteral("C:\\temp\\new")},
        // A path in another encoding keeps its bytes, and reads as the user wrote it.
        {QStringLiteral("Latin"), platform::fileNameText("/home/j\xfcrgen/Filme")},
        {QStringLiteral("Utf8"), QString::fromUtf8("/home/jürgen/–.mpg")},
        {QStringLiteral("UnknownKey"), QStringLiteral("kept as it is")},
        {QStringLiteral("Empty"), QString()},
        // A key given twice takes the later value; a key of another section is not ours.
        {QStringLiteral("GradOn"), QStringLiteral("1")},
        {QStringLiteral("MouseSensitivity"), QStringLiteral("12")},
        {QStringLiteral("TopLevel"), std::nullopt},
        {QStringLiteral("trailing"), std::nullopt},
        {QStringLiteral("odd line without an equals sign"), std::nullopt},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(r.value(key), value) << qPrintable(key);
    EXPECT_EQ(r.values().size(), 18) << "one entry for a key given twice, none for odd lines";

    // Reading and writing back without a change gives the very same bytes.
    EXPECT_EQ(writeMap(r.map), original);

    // The same value again, changed values in another case, a new key.
    QByteArray expectedText = original;
    expectedText.replace("  AbsoluteFullScreenDisplayMode = True  \r\n",
                         "  AbsoluteFullScreenDisplayMode = False\r\n");
    expectedText.replace("GRADON=1\n", "GRADON=0\n");
    expectedText.replace("mousesensitivity=12\n", "mousesensitivity=20\nWidthOfScreenResolution=1280\n");
    expectedText.replace("Latin=/home/j\xfcrgen/Filme\n", "Latin=/home/j\xc3\xa4rgen\n");
    const QByteArray saved =
        saveInto(original, {{QStringLiteral("Blue_Level"), QStringLiteral("200")},
                            {QStringLiteral("absolutefullscreendisplaymode"), QStringLiteral("False")},
                            {QStringLiteral("GradOn"), QStringLiteral("0")},
                            {QStringLiteral("MouseSensitivity"), QStringLiteral("20")},
                            {QStringLiteral("WidthOfScreenResolution"), QStringLiteral("1280")},
                            {QStringLiteral("Latin"), QString::fromUtf8("/home/järgen")}});
    EXPECT_EQ(saved, expectedText) << saved.toStdString();
    const Read again = readBytes(saved);
    EXPECT_EQ(again.value(QStringLiteral("GradOn")), QStringLiteral("0"));
    EXPECT_EQ(again.value(QStringLiteral("WidthOfScreenResolution")), QStringLiteral("1280"));
    EXPECT_EQ(again.value(QStringLiteral("Latin")), QString::fromUtf8("/home/järgen"));
    EXPECT_EQ(again.value(QStringLiteral("PathToLastDirectory")), QStringLiteral("C:\\Videos\\"));

    // A name of such bytes chosen in the program is stored as those bytes, and reads back the same.
    const QString chosen = platform::fileNameText("/media/caf\xe9.mpg");
    const QByteArray withBytes = saveInto(original, {{QStringLiteral("VideoFile"), chosen}});
    EXPECT_TRUE(withBytes.contains("\nVideoFile=/media/caf\xe9.mpg\n")) << withBytes.toStdString();
    EXPECT_EQ(readBytes(withBytes).value(QStringLiteral("VideoFile")), chosen);
}

// Where a new key goes, and which line end it gets, in files of every shape.
TEST(SettingsFormat, NewKeysFollowTheSectionOrStartOneWithTheFilesLineEnds) {
    const QList<QPair<QByteArray, QByteArray>> cases{
        {"", "[lumora]\nK=v\n"},
        {"\xEF\xBB\xBF", "\xEF\xBB\xBF[lumora]\nK=v\n"},
        {"# only a comment", "# only a comment\n[lumora]\nK=v\n"},
        {"[other]\r\nx=1", "[other]\r\nx=1\r\n[lumora]\r\nK=v\r\n"},
        {"[lumora]", "[lumora]\nK=v\n"},
        {"[lumora]\n\n; trailing comment\n", "[lumora]\nK=v\n\n; trailing comment\n"},
        {"\xEF\xBB\xBF[LUMORA]\r\nA=1\r\n", "\xEF\xBB\xBF[LUMORA]\r\nA=1\r\nK=v\r\n"},
        {"[lumora]\rA=1\rB=2", "[lumora]\rA=1\rB=2\rK=v\r"},
        {"[lumora]\nA=1\n[x]\n[ Lumora ] # again\nB=2\n\n[y]\n",
         "[lumora]\nA=1\n[x]\n[ Lumora ] # again\nB=2\nK=v\n\n[y]\n"},
        {"[lumora]\nA=1\n[lumora] not a header\nB=2\n", "[lumora]\nA=1\n[lumora] not a header\nB=2\nK=v\n"},
    };
    for (const auto& [before, after] : cases) {
        SCOPED_TRACE(before.toStdString());
        EXPECT_EQ(saveInto(before, {{QStringLiteral("K"), QStringLiteral("v")}}), after);
        const Read r = readBytes(after);
        EXPECT_EQ(r.value(QStringLiteral("k")), QStringLiteral("v"));
    }
    // The byte-order mark is not part of the first line: its header counts.
    EXPECT_EQ(readBytes("\xEF\xBB\xBF[LUMORA]\r\nA=1\r\n").value(QStringLiteral("A")), QStringLiteral("1"));
    // Line ends of every kind separate lines; CR alone too.
    const Read mixed = readBytes("[lumora]\rA=1\r\nB=2\nC=3");
    EXPECT_EQ(mixed.value(QStringLiteral("A")), QStringLiteral("1"));
    EXPECT_EQ(mixed.value(QStringLiteral("B")), QStringLiteral("2"));
    EXPECT_EQ(mixed.value(QStringLiteral("C")), QStringLiteral("3"));
}

// Whatever the program stores comes back exactly, and stays one line of the file.
TEST(SettingsFormat, EveryValueTheProgramWritesReadsBackExactly) {
    QStringList values{
        QString(),
        QStringLiteral(" "),
        QStringLiteral("  padded  "),
        QStringLiteral("\tTabbed\t"),
        QStringLiteral("a=b=c"),
        QStringLiteral("="),
        QStringLiteral("x;y ; z"),
        QStringLiteral("a,b,,c"),
        QStringLiteral("a, b"),
        QStringLiteral("\"quoted\""),
        QStringLiteral("\"a,b\""),
        QStringLiteral("\"unclosed"),
        QStringLiteral("ends in a backslash\\"),
        QStringLiteral("\\"),
        QStringLiteral("c:\\\\dir"),
        QStringLiteral("C:\\temp\\new"),
        QStringLiteral("say \\\"hi\\\""),
        QStringLiteral("@"),
        QStringLiteral("@@x"),
        QStringLiteral("@Invalid()"),
        QStringLiteral("\"x;y\", z"),
        QStringLiteral("\\:"),
        QStringLiteral("\\:looks escaped\\n"),
        QStringLiteral("\\s\\x41"),
        QStringLiteral("line one\nline two"),
        QStringLiteral("\r\n"),
        QStringLiteral("cr\ronly"),
        QStringLiteral("#not a comment"),
        QStringLiteral(";not a comment"),
        QStringLiteral("[lumora]"),
        QStringLiteral("Key=Value"),
        QString::fromUtf8("/home/jürgen/Filme/Sommer, 2023 – Ö.mpg"),
        QString::fromUtf8("\xef\xbb\xbf"
                          "starts with a byte-order mark"),
        QString::fromUtf8("emoji \xf0\x9f\x8e\xac"),
        QString(QChar(0xD800)) + QStringLiteral("lone surrogates") + QChar(0xDFFF),
        QString(300, QLatin1Char('x')),
    };
    QString controls;
    for (char16_t c = 0; c < 0x20; ++c)
        controls += QChar(c);
    values << controls << controls + QStringLiteral("0f");
    QSettings::SettingsMap map;
    for (int i = 0; i < values.size(); ++i)
        map.insert(QStringLiteral("lumora/Key%1").arg(i), values[i]);
    const std::optional<QByteArray> text = writeMap(map);
    ASSERT_TRUE(text);
    // One header and one line a key, whatever the values hold.
    EXPECT_EQ(text->count('\n'), values.size() + 1) << text->toStdString();
    EXPECT_FALSE(text->contains('\r'));
    const Read r = readBytes(*text);
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(r.value(QStringLiteral("Key%1").arg(i)), values[i]) << i << ": " << qPrintable(values[i]);
    // Plain values stay plain to read and edit.
    EXPECT_TRUE(text->contains("\nKey4=a=b=c\n"));
    EXPECT_TRUE(text->contains("\nKey11=\"unclosed\n"));
    EXPECT_TRUE(text->contains("\nKey15=C:\\temp\\new\n"));

    // Written into a hand-written file, and read again after someone adds comments around them.
    QByteArray edited = saveInto("; mine\n[lumora]\nKeep=1\n", {{QStringLiteral("Padded"), values[2]},
                                                                {QStringLiteral("Lines"), values[24]}});
    edited.replace("Keep=1\n", "Keep=1\n# a comment\n\n");
    EXPECT_EQ(readBytes(edited).value(QStringLiteral("Padded")), values[2]);
    EXPECT_EQ(readBytes(edited).value(QStringLiteral("Lines")), values[24]);
}

// A value starting with the escape mark is read escaped only when every escape is sound.
TEST(SettingsFormat, BrokenEscapedValuesReadLiterally) {
    const QList<QPair<QByteArray, QString>> cases{
        {"\\:a\\sb\\s", QStringLiteral("a b ")},  {"\\:\\x41\\u00e9\\\\", QString::fromUtf8("Aé\\")},
        {"\\:a\\", QStringLiteral("\\:a\\")},     {"\\:\\q", QStringLiteral("\\:\\q")},
        {"\\:\\x4", QStringLiteral("\\:\\x4")},   {"\\:\\u12g4", QStringLiteral("\\:\\u12g4")},
        {"\\:\\x+1", QStringLiteral("\\:\\x+1")}, {"\\: x \\s", QStringLiteral(" x  ")},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(readBytes("[lumora]\nK=" + text + "\n").value(QStringLiteral("K")), value)
            << text.toStdString();
}

// Files that QSettings' INI format wrote for earlier versions read as those versions read them.
TEST(SettingsFormat, FilesOfEarlierVersionsReadTheSame) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString old = dir.path() + QStringLiteral("/old.ini");
    const QStringList texts{
        QStringLiteral("plain"),
        QString(),
        QStringLiteral("a, b"),
        QStringLiteral("x;y"),
        QStringLiteral("a=b"),
        QStringLiteral("c:\\dir\\"),
        QStringLiteral("\\\\server\\share"),
        QStringLiteral("\"q\""),
        QStringLiteral(" lead"),
        QStringLiteral("trail "),
        QStringLiteral("@x"),
        QStringLiteral("@@y"),
        QStringLiteral("@Invalid()"),
        QString::fromUtf8("é ü – Ö"),
        QStringLiteral("/media/Sommer, 2023; alles/clip.mpg"),
        QStringLiteral("semi;colon, and \"quotes\" \\ too"),
    };
    {
        QSettings s(old, QSettings::IniFormat);
        for (int i = 0; i < texts.size(); ++i)
            s.setValue(QStringLiteral("lumora/Text%1").arg(i), texts[i]);
        // A hand-written list that those versions rewrote as one.
        s.setValue(QStringLiteral("lumora/List"),
                   QStringList{QStringLiteral("x;y"), QStringLiteral("z"), QStringLiteral("@w")});
        s.sync();
        ASSERT_EQ(s.status(), QSettings::NoError);
    }
    QFile f(old);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    const Read r = readBytes(text);
    for (int i = 0; i < texts.size(); ++i)
        EXPECT_EQ(r.value(QStringLiteral("Text%1").arg(i)), texts[i]) << qPrintable(texts[i]) << "\n"
                                                                      << text.toStdString();
    EXPECT_EQ(r.value(QStringLiteral("List")), QStringLiteral("x;y, z, @w"));
    // Such a file survives a save of another key byte for byte and still reads the same.
    const QByteArray saved = saveInto(text, {{QStringLiteral("GradOn"), QStringLiteral("1")}});
    EXPECT_TRUE(saved.startsWith(text)) << saved.toStdString();
    EXPECT_EQ(saved.mid(text.size()), QByteArray("GradOn=1\n"));
    EXPECT_EQ(readBytes(saved).value(QStringLiteral("Text7")), QStringLiteral("\"q\""));
}

// The text of the file rides in the map under a key that no key of the file can become.
TEST(SettingsFormat, TheFileTextKeyNeverMeetsAKeyOfTheFile) {
    const Read r = readBytes("%file=top level\n[lumora]\n%file=mine\n%refused=no\n[%file]\nx=1\n");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.value(QStringLiteral("%file")), QStringLiteral("mine"));
    EXPECT_EQ(r.value(QStringLiteral("%refused")), QStringLiteral("no"));
    int outside = 0;
    for (auto it = r.map.cbegin(); it != r.map.cend(); ++it)
        outside += !it.key().startsWith(QLatin1String("lumora/"));
    EXPECT_EQ(outside, 1) << "only the file's text lies outside the group";
    const QByteArray saved =
        saveInto("[lumora]\n%file=mine\n", {{QStringLiteral("%file"), QStringLiteral("changed")}});
    EXPECT_EQ(saved, QByteArray("[lumora]\n%file=changed\n"));

    // Keys that could not be read back as themselves are refused, not written wrong.
    for (const QString& key :
         {QStringLiteral("other/Key"), QStringLiteral("NoGroup"), QStringLiteral("lumora/"),
          QStringLiteral("lumora/a=b"), QStringLiteral("lumora/ lead"), QStringLiteral("lumora/trail\t"),
          QStringLiteral("lumora/;x"), QStringLiteral("lumora/#x"), QStringLiteral("lumora/[x]"),
          QStringLiteral("lumora/a/b"), QStringLiteral("lumora/two\nlines")}) {
        QSettings::SettingsMap map;
        map.insert(key, QStringLiteral("v"));
        EXPECT_FALSE(writeMap(map)) << qPrintable(key);
    }
    QSettings::SettingsMap fine;
    fine.insert(QStringLiteral("LUMORA/Key with spaces inside"), QStringLiteral("v"));
    EXPECT_EQ(writeMap(fine), QByteArray("[lumora]\nKey with spaces inside=v\n"));
}

// Reading stops past 1 MiB: the reader neither grows without bound nor takes part of a file.
TEST(SettingsFormat, AFileOverOneMebibyteIsNotRead) {
    QByteArray text = "[lumora]\nMouseSensitivity=33\n";
    const QByteArray exact = text + QByteArray(platform::kMaxSettingsFileBytes - text.size(), '\n');
    EXPECT_TRUE(readBytes(exact).ok);
    EXPECT_EQ(readBytes(exact).value(QStringLiteral("MouseSensitivity")), QStringLiteral("33"));
    const Read over = readBytes(exact + ';');
    EXPECT_FALSE(over.ok);
    EXPECT_TRUE(over.map.isEmpty());
}

// Random files made of the pieces that trip readers up: reading and writing back gives the same
// bytes, and after changes every key reads back as set.
TEST(SettingsFormat, RandomFilesRoundTrip) {
    const QList<QByteArray> pieces{"[lumora]", "[Lumora] ;c",
                                   "[other]",  "[lumora",
                                   "]",        "Key",
                                   "key",      "KEY",
                                   "Other",    "=",
                                   " = ",      "value",
                                   "\\",       "\\:",
                                   "\\s",      "\\x4",
                                   "\\u00e9",  "\"",
                                   ",",        ", ",
                                   ";",        "#",
                                   " ",        "\t",
                                   "\r",       "\n",
                                   "\n",       "\n",
                                   "\r\n",     "\xEF\xBB\xBF",
                                   "\xff",     "\xc3\xa9",
                                   "\xc3",     "@",
                                   "@@",       "%file",
                                   "/",        QByteArray(1, '\0')};
    const QStringList awkward{QString(),
                              QStringLiteral(" x "),
                              QStringLiteral("a\nb"),
                              QStringLiteral("\"a,b\""),
                              QStringLiteral("\\:"),
                              QStringLiteral("c:\\\\d"),
                              QStringLiteral("plain"),
                              QString::fromUtf8("é"),
                              QStringLiteral("=;#[]")};
    const QStringList newKeys{QStringLiteral("Key"), QStringLiteral("NewOne"), QStringLiteral("other"),
                              QStringLiteral("Fresh")};
    std::mt19937 rng(20240611);
    for (int round = 0; round < 3000; ++round) {
        QByteArray text;
        const int n = int(rng() % 40);
        for (int i = 0; i < n; ++i)
            text += pieces[rng() % pieces.size()];
        SCOPED_TRACE(text.toStdString());
        Read r = readBytes(text);
        ASSERT_TRUE(r.ok);
        ASSERT_EQ(writeMap(r.map), text);

        QHash<QString, QString> expected = r.values();
        for (auto it = r.map.begin(); it != r.map.end(); ++it)
            if (it.key().startsWith(QLatin1String("lumora/")) && rng() % 2) {
                it.value() = awkward[rng() % awkward.size()];
                expected[it.key().mid(7).toCaseFolded()] = it.value().toString();
            }
        const QString added = newKeys[rng() % newKeys.size()];
        if (!expected.contains(added.toCaseFolded())) {
            const QString v = awkward[rng() % awkward.size()];
            r.map.insert(QStringLiteral("lumora/") + added, v);
            expected[added.toCaseFolded()] = v;
        }
        const std::optional<QByteArray> saved = writeMap(r.map);
        ASSERT_TRUE(saved);
        EXPECT_EQ(readBytes(*saved).values(), expected) << saved->toStdString();
    }
}

// Two keys that the store takes for one (names compare without case) would overwrite each other, and
// a name the file cannot carry would fail every save of it.
TEST(SettingsKeys, EveryKeyHasItsOwnNameAndTheFileCarriesEachOne) {
    QSet<QString> folded;
    QSettings::SettingsMap map;
    for (const settings::KeyInfo& k : settings::kKeys) {
        const QString name = settings::nameOf(settings::KeyRef{k.id});
        EXPECT_FALSE(folded.contains(name.toCaseFolded())) << qPrintable(name);
        folded.insert(name.toCaseFolded());
        map.insert(QStringLiteral("lumora/") + name, name + QStringLiteral(" value"));
    }
    const std::optional<QByteArray> written = writeMap(map);
    ASSERT_TRUE(written) << "a key name the file refuses";
    const Read back = readBytes(*written);
    ASSERT_TRUE(back.ok);
    for (const settings::KeyInfo& k : settings::kKeys) {
        const QString name = settings::nameOf(settings::KeyRef{k.id});
        EXPECT_EQ(back.value(name), name + QStringLiteral(" value"));
    }

    // One default per reader and key, and only where the reader differs.
    QSet<QPair<int, int>> readers;
    for (const settings::ReaderDefault& d : settings::kReaderDefaults) {
        const QPair<int, int> pair{int(d.id), int(d.reader)};
        EXPECT_FALSE(readers.contains(pair)) << int(d.id);
        readers.insert(pair);
        EXPECT_NE(d.fallback.text, settings::kKeys[std::size_t(d.id)].fallback.text) << int(d.id);
    }
}
