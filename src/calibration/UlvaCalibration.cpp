#include "calibration/UlvaCalibration.h"
#include "params/EditDispatcher.h"
#include <cmath>
#include <cfenv>

namespace Ulva {

namespace {
constexpr int kWrong = 96;   // "Erfasste Werte nicht korrekt."
constexpr int kTooClose = 117; // "Differenz zwischen Abgleichpunkten zu klein."

Result Refuse(int index)
{
    Result r;
    r.messageIndex = index;
    return r;
}

bool InWord(double v) { return v >= 0 && v <= 65535; }

Result Words(double w1, double w2, double w3, double w4)
{
    if (!InWord(w1) || !InWord(w2) || !InWord(w3) || !InWord(w4))
        return Refuse(kWrong);
    Result r;
    r.ok = true;
    r.words = {quint16(w1), quint16(w2), quint16(w3), quint16(w4)};
    return r;
}
} // namespace

ModeChoice ModeForKind(int kind)
{
    switch (kind) {
    case 1: return {Mode::Direkt, 1};
    case 2: case 3: case 5: case 6: return {Mode::PT100, 1};
    case 4: return {Mode::NiCrLow, 1};
    case 7: return {Mode::NiCrNi, 1};
    case 8: case 10: case 21: return {Mode::VariPos, 1};
    case 9: case 11: case 12: case 13: case 22: return {Mode::VariPos, 10};
    case 14: case 16: case 23: return {Mode::VariNeg, 1};
    case 15: case 17: case 24: return {Mode::VariNeg, 10};
    case 20: return {Mode::NTC, 1};
    default: return {Mode::None, 1};
    }
}

QString ModeName(Mode mode)
{
    switch (mode) {
    case Mode::Direkt: return QStringLiteral("Direkt");
    case Mode::PT100: return QStringLiteral("PT100");
    case Mode::NiCrLow: return QStringLiteral("NiCrLow");
    case Mode::NiCrNi: return QStringLiteral("NiCrNi");
    case Mode::VariPos: return QStringLiteral("VariPos");
    case Mode::VariNeg: return QStringLiteral("VariNeg");
    case Mode::NTC: return QStringLiteral("NTC");
    case Mode::None: break;
    }
    return QString();
}

double RoundHalfEven(double x)
{
    // nearbyint follows the rounding mode; the default one is to nearest, ties to even,
    // but another part of the process may have changed it.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(x);
    std::fesetround(saved);
    return r;
}

Result Compute(Mode mode, const Inputs &in)
{
    const double L = in.L, H = in.H, Z = in.Z;
    switch (mode) {
    case Mode::PT100:
        if (!in.hasL || !in.hasH || !in.hasZ)
            return Refuse(kWrong);
        // Equal points make the module's span word 0 and its division meaningless.
        if (in.Z == in.L || in.L == in.H)
            return Refuse(kTooClose);
        return Words(4 * L, 4 * Z - 4 * L, 4 * L - 4 * H, 0);
    case Mode::NiCrLow: {
        if (!in.hasL || !in.hasH || in.channelNumber < 0 || in.channelNumber > 16)
            return Refuse(kWrong);
        // 80 °C must read above 10 °C; reversed captures would write two zero words.
        if (in.H > in.L)
            return Refuse(kWrong);
        const double w1 = in.H < in.L ? 4 * (L - H) : 4 * L;
        // No reference junction is 15 here but 16 for NiCrNi: both are what the module
        // expects of these kinds, so they are kept as they are.
        const int w4 = in.channelNumber == 0 ? 15 : in.channelNumber - 1;
        return Words(w1, 4 * H, 0, w4);
    }
    case Mode::NiCrNi: {
        if (!in.hasL || !in.hasH || !in.hasZ || in.channelNumber < 0 || in.channelNumber > 16)
            return Refuse(kWrong);
        // The module interpolates between the 100 °C and the 300 °C point.
        if (in.L == in.H)
            return Refuse(kTooClose);
        const int w4 = in.channelNumber == 0 ? 16 : in.channelNumber - 1;
        return Words(4 * L, 4 * H, 4 * Z, w4);
    }
    case Mode::VariPos:
    case Mode::VariNeg: {
        if (!in.hasL || !in.hasH)
            return Refuse(kWrong);
        // Both checks come before w1, whose formula divides by w2.
        if (in.H == in.L)
            return Refuse(kTooClose);
        if (in.H < in.L)
            return Refuse(kWrong);
        const double f = in.factor;
        const double vLow = in.vLow, vHigh = in.vHigh;
        const double w2 = 4 * (H - L);
        const double w3 = RoundHalfEven(mode == Mode::VariPos ? (vHigh - vLow) * f : (vLow - vHigh) * f);
        if (!InWord(w3))
            return Refuse(kWrong);
        double w1 = mode == Mode::VariPos ? RoundHalfEven(vLow * f - 4 * L * w3 / w2)
                                          : RoundHalfEven(4 * L * w3 / w2 + vLow * f);
        if (w1 < 0)
            w1 += 65536;
        return Words(w1, w2, w3, in.hasZ ? 4 * Z : 0);
    }
    case Mode::Direkt:
        // The module shows (data * A) / B - C.
        if (in.b == 0)
            return Refuse(kWrong);
        return Words(in.a, in.b, in.c, in.channelNumber);
    case Mode::NTC:
    case Mode::None:
        break;
    }
    // No calibration words are defined for NTC channels.
    return Refuse(0);
}

bool ParseCapture(const QString &text, int *value)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 4)
        return false;
    bool ok = false;
    const int v = t.toInt(&ok, 16);
    if (!ok || v < 0)
        return false;
    *value = v;
    return true;
}

bool ParseReference(const QString &text, float *value)
{
    bool ok = false;
    const double v = ParseEditNumber(text, &ok);
    if (!ok || text.trimmed().isEmpty())
        return false;
    *value = float(v);
    return std::isfinite(*value);
}

bool ParseWord(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || v < 0 || v > 65535)
        return false;
    *value = v;
    return true;
}

} // namespace Ulva
