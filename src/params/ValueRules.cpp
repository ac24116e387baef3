#include "params/ValueRules.h"
#include "device/Catalogue.h"
#include "device/DeviceData.h"
#include "params/NumberFormat.h"
#include <algorithm>
#include <cmath>
#include <map>

using NumberFormat::RoundHalfEven;

namespace ValueRules {

int Context::WordAt(long long imageIndex) const { return Data.Geraet.GetWord(imageIndex); }
int Context::ByteAt(long long imageIndex) const { return Data.Geraet.GetByte(imageIndex); }

namespace {

// The editors compute in single precision; the rounding of such an intermediate is part of
// the stored value.
long long R(float x) { return RoundHalfEven(double(x)); }
double Rd(double x) { return double(RoundHalfEven(x)); }
long long s16(long long r) { return r > 32767 ? r - 65536 : r; }
long long s8(long long r) { return r > 127 ? r - 256 : r; }

bool hasWord100(const Context &c) { return c.WordAt(0x100) != 0; }

double mainsShown(long long r, const Context &c)
{
    const double m = c.Data.State.MainsFactor;
    return r > 5 ? Rd(m + double(r) * m / 255.0) : 0;
}
double genShown(long long r, const Context &c)
{
    const double g = c.Data.State.GenFactor;
    return r > 10 ? Rd(g + double(r) * g / 255.0) : 0;
}
bool factorLimits(int factor, float &lo, float &hi)
{
    lo = float(R(float(factor) * 1.08f));
    hi = float(2 * factor);
    return true;
}

using Table = std::map<int, Rule>;

Table buildTable()
{
    Table t;
    auto tenths = [](long long r, const Context &) { return double(r) / 10.0; };
    auto timesTen = [](float v, const Context &) { return R(v * 10); };
    auto plain = [](long long r, const Context &) { return double(r); };
    auto asTyped = [](float v, const Context &) { return R(v); };

    t[3] = {2, 1, false, tenths, timesTen};
    t[10] = {1, 1, false, tenths, timesTen};
    t[6] = {2, 1, true, [](long long r, const Context &) { return double(s16(r)) / 10.0; }, timesTen};
    t[15] = {1, 1, false, [](long long r, const Context &) { return double(r + 1) / 10.0; },
             [](float v, const Context &) { return R(std::max(0.0f, v - 0.1f) * 10); }};
    t[193] = {1, 1, false, [](long long r, const Context &) { return double(r + 2) / 10.0; },
              [](float v, const Context &) { return R(std::max(0.0f, v - 0.2f) * 10); }};
    t[99] = {2, 1, false, [](long long r, const Context &) { return Rd(double(r) / 25.6) / 10.0; },
             [](float v, const Context &) { return R(v * 256); }};
    t[105] = {2, 1, false,
              [](long long r, const Context &c) { return Rd(double(c.WordAt(0x100)) * double(r) / 4000.0) / 10.0; },
              [](float v, const Context &c) { return R(v * 40000 / float(c.WordAt(0x100))); }, nullptr,
              hasWord100};
    t[219] = {1, 1, false, [](long long r, const Context &) { return Rd((double(r) / 8.0 + 2.5) * 10.0) / 10.0; },
              [](float v, const Context &) { return R((v - 2.5f) * 8); }};
    t[228] = {1, 1, false,
              [](long long r, const Context &) { return Rd((double(r) * 0.1296 + 2.55) * 10.0) / 10.0; },
              [](float v, const Context &) { return R((v - 2.55f) / 0.1296f); }};
    t[4] = {2, 2, false, [](long long r, const Context &) { return double(r) / 100.0; },
            [](float v, const Context &) { return R(v * 100); }};
    t[7] = {2, 2, true, [](long long r, const Context &) { return double(s16(r)) / 100.0; },
            [](float v, const Context &) { return R(v * 100); }};
    // Bit 15 is a flag of its own beside the ten-thousandths: an edit keeps it as it was.
    t[13] = {2, 2, false, [](long long r, const Context &) { return double(r & 0x7FFF) / 10000.0; },
             [](float v, const Context &c) {
                 const long long x = R(v * 10000);
                 return x < 0 || x > 0x7FFF ? -1 : x | (c.OldRaw & 0x8000);
             }};
    t[104] = {2, 2, false, [](long long r, const Context &) { return Rd(double(r) / 2.56) / 100.0; },
              [](float v, const Context &) { return R(v * 256); }};
    t[112] = {2, 2, false, [](long long r, const Context &) { return Rd(double(r) * 2.0) / 100.0; },
              [](float v, const Context &) { return R(v * 50); }};
    t[24] = {2, 3, true, [](long long r, const Context &) { return double(s16(r)) / 1000.0; },
             [](float v, const Context &) { return R(v * 1000); }};
    t[96] = t[97] = {2, 1, false, [](long long r, const Context &) { return double(r) / 50.0; },
                     [](float v, const Context &) { return R(v * 50); }};

    t[5] = {2, 0, true, [](long long r, const Context &) { return double(s16(r)); }, asTyped};
    t[27] = {1, 0, true, [](long long r, const Context &) { return double(s8(r)); }, asTyped};
    t[192] = {1, 0, false, [](long long r, const Context &) { return double(r * 5); },
              [](float v, const Context &) { return R(v / 5); }};
    t[209] = {1, 0, false, [](long long r, const Context &) { return double(r * 20); },
              [](float v, const Context &) { return R(v / 20); }};
    t[194] = t[207] = t[215] = {2, 0, false, plain, asTyped};
    t[208] = {1, 0, false, mainsShown,
              [](float v, const Context &c) {
                  const float m = float(c.Data.State.MainsFactor);
                  return R((v - m) * 255 / m);
              },
              [](const Context &c, float &lo, float &hi) { return factorLimits(c.Data.State.MainsFactor, lo, hi); },
              [](const Context &c) { return c.Data.State.MainsFactor != 0; }};
    t[223] = {1, 0, false, genShown,
              [](float v, const Context &c) {
                  const float g = float(c.Data.State.GenFactor);
                  return R((v - g) * 255 / g);
              },
              [](const Context &c, float &lo, float &hi) { return factorLimits(c.Data.State.GenFactor, lo, hi); },
              [](const Context &c) { return c.Data.State.GenFactor != 0; }};
    t[221] = {1, 0, false, [](long long r, const Context &) { return Rd(double(r) * 60.0 / 255.0); },
              [](float v, const Context &) { return R(v * 255 / 60); }};
    t[9] = {1, 0, false, plain, asTyped};
    t[11] = {1, -1, false, [](long long r, const Context &) { return double(r * 10); },
             [](float v, const Context &) { return (long long)std::trunc(v / 10); }};
    t[98] = {2, 0, false, [](long long r, const Context &) { return Rd(double(r) / 10.0); }, timesTen};
    t[100] = {2, 0, false,
              [](long long r, const Context &c) { return Rd(double(c.WordAt(0x100)) * double(r) / 4000.0); },
              [](float v, const Context &c) { return R(v * 4000 / float(c.WordAt(0x100))); }, nullptr, hasWord100};
    t[101] = {2, 0, false, [](long long r, const Context &) { return Rd(double(r) / 0.63); },
              [](float v, const Context &) { return R(v * 0.63f); }};
    t[102] = {2, 0, false, [](long long r, const Context &) { return Rd(double(r) / 0.8); },
              [](float v, const Context &) { return R(v * 0.8f); }};
    t[103] = {2, 0, false, [](long long r, const Context &) { return double(r * 20 - 10); },
              [](float v, const Context &) { return R((v + 10) / 20); }};
    t[113] = {2, 0, false, [](long long r, const Context &) { return Rd(double(r) / 256.0); },
              [](float v, const Context &) { return R(v * 256); }};
    t[34] = {2, 0, false, plain, asTyped};
    return t;
}

} // namespace

const Rule *Find(int code)
{
    static const Table table = buildTable();
    const auto it = table.find(code);
    return it == table.end() ? nullptr : &it->second;
}

QString Number(double value, int decimals)
{
    if (decimals <= 0)
        return QString::number(RoundHalfEven(value));
    // Five digits before the point would turn the fixed form into exponent notation.
    if (std::fabs(value) >= 9999.5)
        return QString::number(RoundHalfEven(value));
    return NumberFormat::Fixed(value, decimals);
}

int AnalogDecimals(double q) { return q <= 254 ? 1 : 0; }

QString Text(const Rule &rule, long long raw, const Context &ctx) { return Number(rule.Shown(raw, ctx), rule.Decimals); }

bool Fit(long long value, int width, bool isSigned, int &raw)
{
    const long long span = width == 1 ? 0x100 : 0x10000;
    const long long lowest = isSigned ? -span / 2 : 0;
    if (value < lowest || value >= span)
        return false;
    raw = int(value < 0 ? value + span : value);
    return true;
}

bool RawOf(const Rule &rule, float value, const Context &ctx, int &raw)
{
    return Fit(rule.Raw(value, ctx), rule.Width, rule.Signed, raw);
}

bool LargeRatioDevice(const DeviceData &data)
{
    return (IsSplErsyType(data.State.DeviceType) || IsPaType(data.State.DeviceType)) &&
           data.Geraet.IdentBlock[11] >= 12;
}

int RatioThreshold(const DeviceData &data) { return LargeRatioDevice(data) ? 766 : 100; }

int RatioDecimals(const DeviceData &data, int ratio)
{
    // The same threshold puts the "k" before the unit: above it the value is in kilovolts.
    if (ratio <= RatioThreshold(data))
        return 0;
    return ratio >= 10000 ? 1 : 2;
}

bool PowerInMegawatt(const DeviceData &data)
{
    // The power of these devices follows the transformer: ratio times rated mains current,
    // both of which the unit of the value depends on.
    const DeviceState &st = data.State;
    const TGeraet &g = data.Geraet;
    if (IsPaType(st.DeviceType) && g.ProgramVersion > 11) {
        const long long p = (long long)g.GetWord(st.IndexOf(0x09BC)) * g.GetWord(st.IndexOf(0x08CC)) / 1000;
        return p >= 304;
    }
    return g.GetWord(st.IndexOf(0x0930)) >= 4501;
}

double SpeedConstant(const DeviceData &data)
{
    if (data.State.DefinitionFile.contains(QLatin1String("A70-018")))
        return 2.5e6;
    return (data.Geraet.GetByte(0x2E) & 0x02) ? 1e7 : 2.5e5;
}

bool PeriodBase(const DeviceData &data, int &base)
{
    const int type = data.State.DeviceType;
    if (type == 34)
        base = data.Geraet.GetWord(0x2C);
    else if (type == 37)
        base = data.Geraet.GetWord(0x3C);
    else if (IsCompactType(type))
        base = data.Geraet.GetWord(0x76);
    else
        return false;
    return true;
}

bool PeriodPair(const DeviceData &data, int &base, int &factor)
{
    const int type = data.State.DeviceType;
    if (type == 34) {
        base = data.Geraet.GetWord(0x56);
        factor = data.Geraet.GetWord(0x54);
    } else if (IsCompactType(type)) {
        base = data.Geraet.GetWord(0x76);
        factor = data.Geraet.GetWord(0xA2);
    } else {
        return false;
    }
    return true;
}

} // namespace ValueRules
