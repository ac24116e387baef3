#pragma once
#include <QString>
#include <array>

// The arithmetic of the ULVA module's channel calibration: which capture screen a sensor
// kind gets, and the four calibration words computed from the captured converter values and
// the typed reference values. Pure functions, no device and no window.
namespace Ulva {

enum class Mode { None, Direkt, PT100, NiCrLow, NiCrNi, VariPos, VariNeg, NTC };

struct ModeChoice
{
    Mode mode = Mode::None;
    int factor = 1; // VariPos and VariNeg only: 1 or 10
};

// The capture screen of a sensor kind; Mode::None for kinds that are not calibrated.
ModeChoice ModeForKind(int kind);
// Whether a channel of this kind can be chosen in the channel list at all.
inline bool Selectable(int kind) { return kind != 0 && kind < 60; }
QString ModeName(Mode mode);

// Module addresses (image index = device address on this module).
constexpr int KindAddress = 0x0020;                       // + c
inline int PresentWordsAddress(int c) { return 0x0030 + 8 * c; } // A, B, C
inline int BlockAddress(int c) { return 0x0130 + 8 * c; }        // w1..w4, written here
inline int LiveAddress(int c) { return 0x00B0 + 2 * c; }
constexpr int OutputValueAddress = 0x0050;
constexpr int BasicModeAddress = 0x0057;
constexpr int BasicModeOn = 0x34;
constexpr int ChannelCount = 16;

// What the capture screen holds when "Übertragen" is pressed. Captured values are the
// converter words (L low row, H high row, Z zero row); a row not captured has its flag off.
struct Inputs
{
    int L = 0, H = 0, Z = 0;
    bool hasL = false, hasH = false, hasZ = false;
    // Reference values as ParseNumber gives them: single precision.
    float vLow = 0, vHigh = 0;
    int factor = 1;
    int channelNumber = 0; // reference junction (NiCr modes); Ed_1 otherwise
    int a = 0, b = 0, c = 0; // "Direkt"
};

struct Result
{
    bool ok = false;
    // GetText index of the refusal: 96 (captured values wrong), 117 (points too close).
    int messageIndex = 0;
    std::array<quint16, 4> words{};
};

// Round to the nearest whole number, a half to the even neighbour.
double RoundHalfEven(double x);

// The four words, or a refusal. Every check runs before anything is computed: a division by
// zero, a word outside 0..65535 or a degenerate span is refused, never written.
Result Compute(Mode mode, const Inputs &in);

// A captured field: four hexadecimal digits as the live value shows them; "?" (not captured)
// and anything else is false.
bool ParseCapture(const QString &text, int *value);
// A typed reference (decimal, "." or ","); empty or not a number is false, never 0.
bool ParseReference(const QString &text, float *value);
// A typed word for "Direkt" (whole number 0..65535); empty or not a number is false.
bool ParseWord(const QString &text, int *value);

} // namespace Ulva
