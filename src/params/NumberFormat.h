#pragma once
#include <QChar>
#include <QString>

// Number texts as the parameter grid and the actual-value pages show them.
namespace NumberFormat {

// The decimal separator of every number shown: the one of the PC's regional settings
// unless overridden (tests, the command-line option --decimal).
QChar DecimalSeparator();
void SetDecimalSeparator(QChar separator);
// Back to the regional setting.
void ResetDecimalSeparator();

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
// Not-a-number and infinities give 0.
long long RoundHalfEven(double x);

// "Fixed d": at most 4 significant digits and at most d decimals, written with exactly
// d decimals (missing digits as 0); more than 4 digits before the point switch to the
// scientific form of General. Halves of the last kept digit round away from zero.
QString Fixed(double value, int decimals);

// "General": the shortest text with at most 4 significant digits; scientific form
// (mantissa, "E", exponent: 1,235E5, 1E-6) for magnitudes of 10000 and more or below
// 0.00001.
QString General(double value);

// As above with an explicit separator (the formatter's internal re-reading of a General
// text uses ".").
QString Fixed(double value, int decimals, QChar separator);
QString General(double value, QChar separator);

} // namespace NumberFormat

// The names the rest of the program uses.
inline void SetDecimalSeparator(QChar separator) { NumberFormat::SetDecimalSeparator(separator); }
inline void ResetDecimalSeparator() { NumberFormat::ResetDecimalSeparator(); }
inline QChar DecimalSeparator() { return NumberFormat::DecimalSeparator(); }
