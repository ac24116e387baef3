#include "calibration/CalibrationMath.h"
#include <QByteArray>
#include <algorithm>

namespace Calib {

int Average3(int a, int b, int c)
{
    // Raw words are unsigned 16-bit values: the sum cannot overflow an int.
    return (a + b + c) / 3;
}

QVector<int> Words(const quint8 *bytes, int count)
{
    QVector<int> out;
    for (int i = 0; i + 1 < count; i += 2)
        out.append(int(bytes[i]) << 8 | int(bytes[i + 1]));
    return out;
}

Limit CheckLimits(const QVector<int> &values, int min, int max)
{
    for (int v : values)
        if (v < min)
            return Limit::TooSmall;
    for (int v : values)
        if (v > max)
            return Limit::TooLarge;
    return Limit::Ok;
}

int FirstOutside(const QVector<int> &values, int min, int max)
{
    for (int i = 0; i < values.size(); ++i)
        if (values[i] < min || values[i] > max)
            return i;
    return -1;
}

bool DifferencesLargeEnough(const QVector<int> &first, const QVector<int> &second, int f7, QVector<int> *differences)
{
    const int need = MinimumDifference(f7);
    bool ok = first.size() == second.size() && !first.isEmpty();
    QVector<int> d;
    for (int i = 0; i < second.size(); ++i) {
        const int diff = second[i] - (i < first.size() ? first[i] : 0);
        d.append(diff);
        if (diff < need)
            ok = false;
    }
    if (differences)
        *differences = d;
    return ok;
}

namespace {
void AppendWord(QByteArray &out, int w)
{
    out.append(char(quint8(w >> 8)));
    out.append(char(quint8(w)));
}
} // namespace

QByteArray ThreeChannelWords(const QVector<int> &first, const QVector<int> &second)
{
    QByteArray out;
    for (int i = 0; i < first.size() && i < second.size(); ++i) {
        AppendWord(out, first[i]);
        AppendWord(out, second[i] - first[i]);
    }
    return out;
}

QByteArray OneChannelWord(int second)
{
    QByteArray out;
    AppendWord(out, second);
    return out;
}

QByteArray BytePairs(const QVector<int> &first, const QVector<int> &second)
{
    QByteArray out;
    for (int i = 0; i < first.size() && i < second.size(); ++i) {
        out.append(char(quint8(first[i])));
        out.append(char(quint8(second[i])));
    }
    return out;
}

QByteArray PhaseBytes(const QVector<int> &differences)
{
    QByteArray out;
    for (int d : differences) {
        out.append(char(quint8(d / 256)));
        out.append(char(quint8(d % 256)));
    }
    return out;
}

PhaseResult EvaluatePhases(const QVector<int> &values, int period, bool shifted)
{
    PhaseResult r;
    r.Values = values;
    if (values.size() != 6)
        return r;
    if (shifted) {
        const int u = period / 3;
        r.Values[1] -= u;
        r.Values[4] -= u;
        r.Values[2] -= 2 * u;
        r.Values[5] -= 2 * u;
        r.AllowedSpread = 2500;
    }
    for (int v : r.Values)
        if (2 * period < v)
            return r;
    for (int &v : r.Values)
        if (v > period)
            v -= period;
    const int m = std::max(0, *std::max_element(r.Values.begin(), r.Values.end()));
    for (int v : r.Values)
        r.Differences.append(m - v);
    for (int d : r.Differences)
        if (d > r.AllowedSpread)
            return r;
    r.Accepted = r.Differences[0] >= 0;
    return r;
}

QVector<int> PhaseDifferences9x(const QVector<int> &words)
{
    QVector<int> out;
    if (words.isEmpty())
        return out;
    const int m = std::max(0, *std::max_element(words.begin(), words.end()));
    for (int w : words)
        out.append(m - w);
    return out;
}

} // namespace Calib
