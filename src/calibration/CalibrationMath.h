#pragma once
#include <QString>
#include <QVector>
#include <QtGlobal>

// The arithmetic of the converter calibration of the controllers: averaging of the raw
// readings, the limit and difference checks, and the bytes of the calibration words.
// Everything is integer arithmetic on the raw converter values, truncated as the
// controller itself computes.
namespace Calib {

// The truncated mean of three readings of one word.
int Average3(int a, int b, int c);

// Big-endian words of a read answer (count bytes; an odd last byte is ignored).
QVector<int> Words(const quint8 *bytes, int count);

enum class Limit { Ok, TooSmall, TooLarge };
// Whether every value lies within [min, max]; a value below min is reported before one above max.
Limit CheckLimits(const QVector<int> &values, int min, int max);
// Index of the first value outside [min, max], -1 when all lie within.
int FirstOutside(const QVector<int> &values, int min, int max);

// The smallest difference between the two points that is accepted. A difference of zero or
// less would make the controller divide by zero or turn the characteristic round, whatever
// the definition's minimum says.
inline int MinimumDifference(int f7) { return f7 < 1 ? 1 : f7; }
// Whether every second-point value exceeds its first-point value by at least
// MinimumDifference(f7). differences receives second - first per channel.
bool DifferencesLargeEnough(const QVector<int> &first, const QVector<int> &second, int f7,
                            QVector<int> *differences = nullptr);

// Calibration words of the three-channel kind: per channel the first-point word and the
// difference second - first, high byte first (12 data bytes).
QByteArray ThreeChannelWords(const QVector<int> &first, const QVector<int> &second);
// The one-channel kind keeps only the second point's word (2 data bytes).
QByteArray OneChannelWord(int second);
// 9x byte kinds: per channel the first-point byte and the second-point byte.
QByteArray BytePairs(const QVector<int> &first, const QVector<int> &second);
// Phase corrections: each difference as high byte, low byte (12 data bytes).
QByteArray PhaseBytes(const QVector<int> &differences);

// The phase-angle evaluation of a second point: six phase values and the period word.
struct PhaseResult
{
    bool Accepted = false;  // false: measure again
    QVector<int> Values;    // after the shift and the reduction by the period
    QVector<int> Differences; // largest value (at least 0) minus each value
    int AllowedSpread = 500;
};
// shifted: the inputs lie 120 degrees apart (rated voltages whose phases the controller
// measures from one zero crossing): phases 2 and 5 lose a third of the period, 3 and 6 two.
PhaseResult EvaluatePhases(const QVector<int> &values, int period, bool shifted);

// 9x phase corrections: the largest of the six words (at least 0) minus each word.
QVector<int> PhaseDifferences9x(const QVector<int> &words);
// A 9x phase reading is unusable (read again) when a word exceeds this.
constexpr int PhaseReadingLimit = 40000;

// Attempts at a second point per item before "Simulation prüfen".
constexpr int AttemptLimit = 21;

} // namespace Calib
