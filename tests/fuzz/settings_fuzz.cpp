// The settings reader and writer on arbitrary bytes: nothing may crash; a file read, written and read
// again gives the same map for every key; and a value the program sets, whatever its characters,
// reads back as set while every other value stays as it was.
#include "base/SettingsFormat.h"

#include <QBuffer>
#include <QSettings>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using Map = QSettings::SettingsMap;

bool readBytes(const QByteArray& bytes, Map& map) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return platform::readLumoraSettings(buffer, map);
}

QByteArray shown(const QString& text) {
    return text.toUtf8().toPercentEncoding(" /\\=;#[]");
}

QByteArray shown(const QVariant& value) {
    return value.isValid() ? shown(value.toString()) : QByteArray("<missing>");
}

[[noreturn]] void fail(const char* what, const QByteArray& written) {
    std::fprintf(stderr, "%s\nwritten text: %s\n", what, written.toPercentEncoding(" /\\=;#[]").constData());
    std::abort();
}

QByteArray writeMap(const Map& map) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!platform::writeLumoraSettings(buffer, map)) fail("the writer refused a map", QByteArray());
    return buffer.data();
}

// Every key of either map with the same value in both.
void compare(const Map& expected, const Map& actual, const QByteArray& written, const char* step) {
    QStringList keys = expected.keys() + actual.keys();
    keys.removeDuplicates();
    for (const QString& key : keys) {
        const QVariant want = expected.value(key), got = actual.value(key);
        if (want != got) {
            std::fprintf(stderr, "%s: key %s\n  expected: %s\n  read:     %s\n", step, shown(key).constData(),
                         shown(want).constData(), shown(got).constData());
            fail("maps differ", written);
        }
    }
}

// The values of [lumora], without the text that rides along.
Map settingsOf(const Map& map) {
    Map settings;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        if (it.key().startsWith(QLatin1String("lumora/"))) settings.insert(it.key(), it.value());
    return settings;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    Map first;
    if (!readBytes(input, first)) return 0; // refused (too large): nothing was read to keep

    const QByteArray written = writeMap(first);
    Map second;
    if (!readBytes(written, second)) fail("the written text cannot be read", written);
    compare(first, second, written, "read, write, read");

    // A value taken from the input's last bytes, set on one of the file's own keys or on a new one.
    QStringList ours;
    for (auto it = first.cbegin(); it != first.cend(); ++it)
        if (it.key().startsWith(QLatin1String("lumora/"))) ours << it.key();
    const QString key = ours.isEmpty() ? QStringLiteral("lumora/FuzzedValue") : ours[qsizetype(size % size_t(ours.size()))];
    const qsizetype tail = std::min<qsizetype>(input.size(), 64);
    const QString value = QString::fromUtf8(input.right(tail));
    Map changed = first;
    changed.insert(key, value);
    const QByteArray saved = writeMap(changed);
    Map third;
    if (!readBytes(saved, third)) fail("the saved text cannot be read", saved);
    // The file's text rides along in the map and changes with the save; the settings are compared.
    compare(settingsOf(changed), settingsOf(third), saved, "set one value, write, read");
    return 0;
}
