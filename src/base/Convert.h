#pragma once
#include <cstdint>
#include <QString>

namespace runtime {

// Real to integer, ties to the even neighbour.
double roundHalfEven(double value);
// Ranges raise an overflow error.
int16_t toInt16(double value);
int32_t toInt32(double value);

// The leading number of a text: blanks, tabs and line feeds are skipped anywhere, reading stops at
// the first character that cannot continue the number, and no number gives 0.
double leadingNumber(const QString& text);

// Strict numeric text (surrounding blanks allowed); anything else is a type mismatch.
double textToNumber(const QString& text);
int16_t textToInt16(const QString& text);
int32_t textToInt32(const QString& text);

// A stored value for a control with a range: numeric text is rounded and taken to the nearest end of
// [minimum, maximum]; text that is no number (empty included) gives `fallback`.
int fitToRange(const QString& text, int minimum, int maximum, int fallback);
// A stored Boolean for an option or check box: text that is neither gives `fallback`.
bool boolOr(const QString& text, bool fallback);

// "True"/"False" in any case, or numeric text (0 is False); other text is a type mismatch.
bool textToBool(const QString& text);
inline QString boolToText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

} // namespace runtime
