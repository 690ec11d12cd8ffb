#include "base/FileNames.h"

namespace platform {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isEscapedByte(char16_t c) {
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

// The length of the valid UTF-8 sequence at `i`, 0 when there is none: no overlong forms, no
// surrogates, nothing beyond U+10FFFF.
qsizetype validSequence(const QByteArray& b, qsizetype i) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(b[k]); };
    const unsigned char c = at(i);
    const qsizetype left = b.size() - i;
    const auto cont = [&](qsizetype k) { return (at(k) & 0xC0) == 0x80; };
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return left >= 2 && cont(i + 1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (left < 3 || !cont(i + 1) || !cont(i + 2)) return 0;
        if (c == 0xE0 && at(i + 1) < 0xA0) return 0;  // overlong
        if (c == 0xED && at(i + 1) >= 0xA0) return 0; // a surrogate
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (left < 4 || !cont(i + 1) || !cont(i + 2) || !cont(i + 3)) return 0;
        if (c == 0xF0 && at(i + 1) < 0x90) return 0; // overlong
        if (c == 0xF4 && at(i + 1) >= 0x90) return 0; // beyond U+10FFFF
        return 4;
    }
    return 0;
}

} // namespace

QString fileNameText(const QByteArray& bytes) {
    // Decoded in place: no byte gives more than one UTF-16 unit but a four-byte sequence, which
    // gives two, so the text is never longer than the bytes. A long line of foreign bytes costs one
    // allocation, not one for each run between them.
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    qsizetype o = 0;
    const auto at = [&](qsizetype k) { return char32_t(static_cast<unsigned char>(bytes[k])); };
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype n = validSequence(bytes, i);
        const char32_t c = at(i);
        if (n == 0) {
            out[o++] = QChar(char16_t(kEscapeBase + c));
        } else if (n == 1) {
            out[o++] = QChar(char16_t(c));
        } else if (n == 2) {
            out[o++] = QChar(char16_t(((c & 0x1F) << 6) | (at(i + 1) & 0x3F)));
        } else if (n == 3) {
            out[o++] = QChar(char16_t(((c & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) | (at(i + 2) & 0x3F)));
        } else {
            const char32_t code = ((c & 0x07) << 18) | ((at(i + 1) & 0x3F) << 12) | ((at(i + 2) & 0x3F) << 6) |
                                  (at(i + 3) & 0x3F);
            out[o++] = QChar(QChar::highSurrogate(code));
            out[o++] = QChar(QChar::lowSurrogate(code));
        }
        i += n > 0 ? n : 1;
    }
    text.truncate(o);
    return text;
}

QByteArray fileNameBytes(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        // A low surrogate after a high one is half of a real character.
        if (!isEscapedByte(c) || (i > 0 && QChar::isHighSurrogate(text[i - 1].unicode()))) continue;
        bytes += QStringView(text).mid(run, i - run).toUtf8();
        bytes += char(c - kEscapeBase);
        run = i + 1;
    }
    bytes += QStringView(text).mid(run).toUtf8();
    return bytes;
}

QString fileNameShown(const QString& text) {
    QString shown = text; // shares the text until a byte is found
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!isEscapedByte(c) || (i > 0 && QChar::isHighSurrogate(text[i - 1].unicode()))) continue;
        const char16_t byte = c - kEscapeBase;
        shown[i] = byte >= 0xA0 ? QChar(byte) : QChar(QChar::ReplacementCharacter);
    }
    return shown;
}

} // namespace platform
