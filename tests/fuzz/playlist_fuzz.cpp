// The play-list reader on arbitrary bytes: it must never crash, and what it reads must survive the
// writer: read, write, read again gives the same header and entries.
#include "base/PlayListFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The reader takes a path, so every input goes through a file in one folder for the whole run.
const QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        std::abort();
    }
    return dir;
}

void putBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::abort();
    }
}

// Long texts are cut in the middle: the lengths and both ends tell enough.
QByteArray shown(const QString& text) {
    const QByteArray encoded = text.toUtf8().toPercentEncoding(" /\\");
    const QByteArray cut = encoded.size() <= 240 ? encoded : encoded.left(120) + " ... " + encoded.right(120);
    return QByteArray::number(text.size()) + " characters: " + cut;
}

[[noreturn]] void mismatch(const char* what, const QByteArray& first, const QByteArray& second) {
    std::fprintf(stderr, "%s differs after writing and reading again:\n  read:  %s\n  again: %s\n", what,
                 first.constData(), second.constData());
    std::abort();
}

// Lines near the reader's 64 KiB line limit are out of reach of small inputs, so an input that starts
// with 0xFE is a recipe: its second byte n sets a length of 65,536 + n - 128, and each 0xFF in the
// rest, up to three of them, stands for a run of that many "x" (more would only slow the search down).
// Any other input is the file itself.
QByteArray fileBytes(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (size < 2 || data[0] != 0xFE) return input;
    const QByteArray run(65536 + data[1] - 128, 'x');
    QByteArray file;
    int runs = 0;
    for (qsizetype i = 2; i < input.size(); ++i) {
        if (uchar(input[i]) == 0xFF && runs < 3) {
            file += run;
            ++runs;
        } else {
            file += input[i];
        }
    }
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString input = scratch().filePath(QStringLiteral("input.ini"));
    const QString output = scratch().filePath(QStringLiteral("out/lumoraplus.ini"));
    putBytes(input, fileBytes(data, size));

    const PlayListData first = readPlayList(input);
    writePlayList(output, first);
    const PlayListData second = readPlayList(output);

    if (second.header != first.header) mismatch("header", shown(first.header), shown(second.header));
    if (second.entries.size() != first.entries.size())
        mismatch("entry count", QByteArray::number(first.entries.size()),
                 QByteArray::number(second.entries.size()));
    for (qsizetype i = 0; i < first.entries.size(); ++i)
        if (second.entries[i] != first.entries[i])
            mismatch(qPrintable(QStringLiteral("entry %1").arg(i + 1)), shown(first.entries[i]), shown(second.entries[i]));
    return 0;
}
