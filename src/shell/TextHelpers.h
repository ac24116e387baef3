#pragma once
#include <QString>

// Small text tools shared by the line parsers of definition, settings and conversion files.
namespace Text {

// All blanks removed.
QString RemoveSpaces(const QString &s);

// Text up to the separator; the field and its separator are removed from line.
// Without separator the whole rest is the field and line becomes empty.
QString SplitAt(QString &line, QChar sep);

// Next field as a number: "$" prefix for hexadecimal, else decimal. Blanks are ignored.
// Not a number gives 0, an empty line -1.
long long NextField(QString &line, QChar sep);

// Reads "$hex" or decimal; ok reports whether the whole text was a number. Blanks ignored.
long long ParseNumber(const QString &text, bool *ok = nullptr);

// Hexadecimal digits of the text, other characters ignored.
quint32 HexToInt(const QString &s);

// Byte as two upper-case hexadecimal digits.
QString ByteToHex(int b);

// Value as `digits` upper-case hexadecimal digits.
QString ToHex(quint32 v, int digits);

} // namespace Text
