#include "base/Convert.h"

#include <cmath>
#include <limits>
#include "base/RuntimeError.h"

namespace runtime {

double roundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    return std::nearbyint(value); // the default rounding mode is to nearest, ties to even
}

static double checkedRound(double value, double lo, double hi) {
    double r = roundHalfEven(value);
    if (!std::isfinite(r) || r < lo || r > hi)
        throw RuntimeError(ErrorKind::Overflow, QStringLiteral("Overflow"));
    return r;
}

int16_t toInt16(double value) { return static_cast<int16_t>(checkedRound(value, -32768.0, 32767.0)); }

int32_t toInt32(double value) {
    return static_cast<int32_t>(checkedRound(value, -2147483648.0, 2147483647.0));
}

static bool isSkipped(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

double leadingNumber(const QString& text) {
    QString digits;
    bool seenDigit = false, seenPoint = false, seenExp = false, expDigit = false;
    for (QChar c : text) {
        if (isSkipped(c)) continue;
        if (c.isDigit() && c.unicode() < 128) {
            digits += c;
            if (seenExp) expDigit = true;
            else seenDigit = true;
        } else if ((c == u'+' || c == u'-') && (digits.isEmpty() || (seenExp && digits.back().toLower() == u'e'))) {
            digits += c;
        } else if (c == u'.' && !seenPoint && !seenExp) {
            digits += c;
            seenPoint = true;
        } else if ((c == u'e' || c == u'E' || c == u'd' || c == u'D') && seenDigit && !seenExp) {
            digits += u'e';
            seenExp = true;
        } else {
            break;
        }
    }
    if (!seenDigit) return 0.0;
    // An exponent mark without digits is not part of the number.
    if (seenExp && !expDigit) {
        int e = digits.lastIndexOf(u'e');
        digits.truncate(e);
    }
    bool ok = false;
    double v = digits.toDouble(&ok);
    return ok ? v : 0.0;
}

double textToNumber(const QString& text) {
    QString t = text.trimmed();
    bool ok = false;
    double v = t.toDouble(&ok);
    if (!ok || t.isEmpty()) {
        if (t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0) return -1.0;
        if (t.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0) return 0.0;
        throw RuntimeError(ErrorKind::TypeMismatch, QStringLiteral("Type mismatch"));
    }
    if (!std::isfinite(v)) throw RuntimeError(ErrorKind::Overflow, QStringLiteral("Overflow"));
    return v;
}

int16_t textToInt16(const QString& text) { return toInt16(textToNumber(text)); }
int32_t textToInt32(const QString& text) { return toInt32(textToNumber(text)); }

int fitToRange(const QString& text, int minimum, int maximum, int fallback) {
    double v = 0;
    try {
        v = textToNumber(text);
    } catch (const RuntimeError&) {
        return fallback;
    }
    if (std::isnan(v)) return fallback;
    if (v <= minimum) return minimum;
    if (v >= maximum) return maximum;
    return static_cast<int>(roundHalfEven(v));
}

bool boolOr(const QString& text, bool fallback) {
    try {
        return textToBool(text);
    } catch (const RuntimeError&) {
        return fallback;
    }
}

bool textToBool(const QString& text) {
    QString t = text.trimmed();
    if (t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0) return false;
    bool ok = false;
    double v = t.toDouble(&ok);
    if (!ok || t.isEmpty() || std::isnan(v))
        throw RuntimeError(ErrorKind::TypeMismatch, QStringLiteral("Type mismatch"));
    return v != 0.0;
}

} // namespace runtime
