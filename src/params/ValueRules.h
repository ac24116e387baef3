#pragma once
#include <QString>

struct DeviceData;

// One rule per numeric type code: how its raw value is shown, how a typed value becomes the
// raw value and where its limits come from. The formatter and the editor both take these
// rules, so that a value typed into the editor is the value the grid shows afterwards.
namespace ValueRules {

struct Context
{
    const DeviceData &Data;
    QString Key;          // the parameter's Min text
    long long OldRaw = 0; // the raw value before an edit (codes keeping bits of it)

    int WordAt(long long imageIndex) const;
    int ByteAt(long long imageIndex) const;
};

struct Rule
{
    int Width;    // bytes in the image
    int Decimals; // shown and typed; -1: an integer typed in steps of ten
    bool Signed;  // the raw value is two's complement
    // The number shown for a raw value.
    double (*Shown)(long long raw, const Context &);
    // The raw value for a typed value (before it is fitted to the width).
    long long (*Raw)(float value, const Context &);
    // Limits derived from the device instead of the definition line (nullptr: the line's).
    bool (*Limits)(const Context &, float &lo, float &hi) = nullptr;
    // False when the device lacks what the rule needs (nullptr: always usable).
    bool (*Usable)(const Context &) = nullptr;
};

// The rule of a code, or nullptr when the code is shown or edited by a rule of its own.
const Rule *Find(int code);

// The display text of a raw value: fixed-point with the rule's decimals, or an integer.
QString Text(const Rule &rule, long long raw, const Context &ctx);
// The raw value written for a typed value; false when it does not fit the rule's width.
bool RawOf(const Rule &rule, float value, const Context &ctx, int &raw);
// A raw value fitted to a width: false when it lies outside what the width can hold
// (signed: -2^(8w-1) .. 2^(8w)-1, so that a two's-complement word is accepted both ways).
bool Fit(long long value, int width, bool isSigned, int &raw);

// A number as the grid shows it: fixed-point with the given decimals (at most 4 significant
// digits, as every value), or an integer; never in exponent notation.
QString Number(double value, int decimals);

// Analog switching points (codes 216, 224 and their actual values): one decimal while the
// measuring range Q is at most 254, else whole units, both shown and typed.
int AnalogDecimals(double q);
// Period-coded angles (code 226) are shown and typed with one decimal.
constexpr int AngleDecimals = 1;

// The constant of the speed limit (code 214): speed = constant / raw.
double SpeedConstant(const DeviceData &data);

// Voltage ratio keys "S4"/"S5" of code 2: whether the device counts as a large-ratio device,
// and the decimals the value is shown and typed with (0: volts, 1 or 2: kilovolts).
bool LargeRatioDevice(const DeviceData &data);
int RatioDecimals(const DeviceData &data, int ratio);
// The threshold above which the ratio turns the unit into kilovolts.
int RatioThreshold(const DeviceData &data);

// Power display (key "S12"): true when the device's power is shown in MW (two decimals of
// the raw value in hundredths), false for kW as an integer.
bool PowerInMegawatt(const DeviceData &data);

// The period base of the period-coded values (codes 12, 210, 213, 220, 226); false when the
// device type has no source for it. The value is never guessed from an earlier device.
bool PeriodBase(const DeviceData &data, int &base);
// Base and factor of the speed codes 212 (and 241 without selector); false without a source.
bool PeriodPair(const DeviceData &data, int &base, int &factor);

} // namespace ValueRules
