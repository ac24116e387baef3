// The ULVA calibration words per sensor kind, worked out by hand from the formulas, with
// the refusals that keep degenerate or overflowing words from reaching the module.
#include "calibration/UlvaCalibration.h"
#include <gtest/gtest.h>

using namespace Ulva;

TEST(UlvaCalibration, ModeAndFactorPerSensorKind)
{
    const struct
    {
        int kind;
        Mode mode;
        int factor;
        bool selectable;
    } rows[] = {
        {0, Mode::None, 1, false},     {1, Mode::Direkt, 1, true},  {2, Mode::PT100, 1, true},
        {6, Mode::PT100, 1, true},     {4, Mode::NiCrLow, 1, true}, {7, Mode::NiCrNi, 1, true},
        {8, Mode::VariPos, 1, true},   {9, Mode::VariPos, 10, true}, {21, Mode::VariPos, 1, true},
        {22, Mode::VariPos, 10, true}, {14, Mode::VariNeg, 1, true}, {17, Mode::VariNeg, 10, true},
        {24, Mode::VariNeg, 10, true}, {20, Mode::NTC, 1, true},    {18, Mode::None, 1, true},
        {59, Mode::None, 1, true},     {60, Mode::None, 1, false},  {255, Mode::None, 1, false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.kind);
        const ModeChoice m = ModeForKind(r.kind);
        EXPECT_EQ(m.mode, r.mode);
        if (r.mode == Mode::VariPos || r.mode == Mode::VariNeg)
            EXPECT_EQ(m.factor, r.factor);
        EXPECT_EQ(Selectable(r.kind), r.selectable);
    }
}

namespace {
Inputs Caps(int L, int H, int Z = -1)
{
    Inputs in;
    in.L = L;
    in.H = H;
    in.hasL = in.hasH = true;
    if (Z >= 0) {
        in.Z = Z;
        in.hasZ = true;
    }
    return in;
}
Inputs Vari(int L, int H, float vLow, float vHigh, int f, int Z = -1)
{
    Inputs in = Caps(L, H, Z);
    in.vLow = vLow;
    in.vHigh = vHigh;
    in.factor = f;
    return in;
}
Inputs Junction(Inputs in, int channel)
{
    in.channelNumber = channel;
    return in;
}
Inputs Direct(int a, int b, int c)
{
    Inputs in;
    in.a = a;
    in.b = b;
    in.c = c;
    return in;
}
} // namespace

TEST(UlvaCalibration, WordsAndRefusals)
{
    constexpr int ok = -1;
    const struct
    {
        const char *what;
        Mode mode;
        Inputs in;
        int message; // ok, or the GetText index of the refusal
        std::array<quint16, 4> words;
    } rows[] = {
        // PT100: 60 °C low, 20 °C high, 120 °C zero row.
        {"pt100", Mode::PT100, Caps(0x400, 0x300, 0x500), ok, {4096, 1024, 1024, 0}},
        {"pt100 top of word", Mode::PT100, Caps(0x3FFF, 0x3000, 0x4000), ok, {65532, 4, 16380, 0}},
        {"pt100 4L overflows", Mode::PT100, Caps(0x4000, 0x3000, 0x4100), 96, {}},
        {"pt100 Z = L", Mode::PT100, Caps(0x400, 0x300, 0x400), 117, {}},
        {"pt100 L = H", Mode::PT100, Caps(0x400, 0x400, 0x500), 117, {}},
        {"pt100 Z below L", Mode::PT100, Caps(0x500, 0x300, 0x400), 96, {}},
        {"pt100 zero row missing", Mode::PT100, Caps(0x400, 0x300), 96, {}},
        // NiCrLow: 80 °C low row, 10 °C high row; channel 0 = no reference junction.
        {"nicrlow", Mode::NiCrLow, Junction(Caps(0x200, 0x080), 0), ok, {1536, 512, 0, 15}},
        {"nicrlow equal", Mode::NiCrLow, Junction(Caps(0x100, 0x100), 3), ok, {1024, 1024, 0, 2}},
        {"nicrlow reversed", Mode::NiCrLow, Junction(Caps(0x080, 0x200), 0), 96, {}},
        {"nicrlow junction 17", Mode::NiCrLow, Junction(Caps(0x200, 0x080), 17), 96, {}},
        // NiCrNi: 100, 300 and 20 °C.
        {"nicrni", Mode::NiCrNi, Junction(Caps(0x100, 0x300, 0x050), 0), ok, {1024, 3072, 320, 16}},
        {"nicrni junction 16", Mode::NiCrNi, Junction(Caps(0x100, 0x300, 0x050), 16), ok, {1024, 3072, 320, 15}},
        {"nicrni equal points", Mode::NiCrNi, Junction(Caps(0x100, 0x100, 0x050), 1), 117, {}},
        // VariPos: w2 = 4(H - L), w3 = rnd((Vhigh - Vlow) f), w1 = rnd(Vlow f - 4 L w3 / w2).
        {"varipos x10", Mode::VariPos, Vari(0x100, 0x900, 4, 20, 10), ok, {20, 8192, 160, 0}},
        {"varipos zero row", Mode::VariPos, Vari(0x100, 0x900, 4, 20, 10, 0x10), ok, {20, 8192, 160, 64}},
        {"varipos negative w1 wraps", Mode::VariPos, Vari(0x100, 0x200, 0, 100, 1), ok, {65436, 1024, 100, 0}},
        {"varipos w1 7.5 -> 8", Mode::VariPos, Vari(1, 9, 20, 120, 1), ok, {8, 32, 100, 0}},
        {"varipos w1 8.5 -> 8", Mode::VariPos, Vari(1, 9, 21, 121, 1), ok, {8, 32, 100, 0}},
        {"varipos w3 2.5 -> 2", Mode::VariPos, Vari(0, 0x100, 0, 2.5f, 1), ok, {0, 1024, 2, 0}},
        {"varipos w3 3.5 -> 4", Mode::VariPos, Vari(0, 0x100, 0, 3.5f, 1), ok, {0, 1024, 4, 0}},
        // 1.45 in single precision lies above 1.45, in double precision below it.
        {"varipos single precision", Mode::VariPos, Vari(0, 0x100, 0, 1.45f, 10), ok, {0, 1024, 15, 0}},
        {"varipos H = L", Mode::VariPos, Vari(0x200, 0x200, 0, 100, 1), 117, {}},
        {"varipos H < L", Mode::VariPos, Vari(0x300, 0x200, 0, 100, 1), 96, {}},
        {"varipos span negative", Mode::VariPos, Vari(0x100, 0x200, 100, 0, 1), 96, {}},
        {"varipos w1 too large", Mode::VariPos, Vari(0, 0x100, 70000, 70100, 1), 96, {}},
        // VariNeg: w3 = rnd((Vlow - Vhigh) f), w1 = rnd(4 L w3 / w2 + Vlow f).
        {"varineg", Mode::VariNeg, Vari(0x100, 0x200, 0, -10, 1), ok, {10, 1024, 10, 0}},
        {"varineg x10", Mode::VariNeg, Vari(0x100, 0x500, -1, -5, 10), ok, {0, 4096, 40, 0}},
        {"varineg H = L", Mode::VariNeg, Vari(0x100, 0x100, 0, -10, 1), 117, {}},
        {"varineg H < L", Mode::VariNeg, Vari(0x200, 0x100, 0, -10, 1), 96, {}},
        {"varineg presets", Mode::VariNeg, Vari(0x100, 0x200, 0, 100, 1), 96, {}},
        // Direkt: A, B, C and the channel-number field.
        {"direkt", Mode::Direkt, Direct(16384, 32000, 120), ok, {16384, 32000, 120, 0}},
        {"direkt B = 0", Mode::Direkt, Direct(16384, 0, 120), 96, {}},
        {"direkt A too large", Mode::Direkt, Direct(65536, 1, 0), 96, {}},
        {"ntc has no words", Mode::NTC, Caps(0x100, 0x200), 0, {}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        const Result res = Compute(r.mode, r.in);
        EXPECT_EQ(res.ok, r.message == ok);
        if (r.message == ok)
            EXPECT_EQ(res.words, r.words);
        else
            EXPECT_EQ(res.messageIndex, r.message);
    }
}

TEST(UlvaCalibration, TypedInputsMustParse)
{
    const struct
    {
        const char *text;
        bool ok;
        float value;
    } refs[] = {{"2,5", true, 2.5f}, {" 20.1 ", true, 20.1f}, {"-10", true, -10}, {"", false, 0},
                {"  ", false, 0},    {"abc", false, 0},       {"1,2.3", false, 0}, {"inf", false, 0}};
    for (const auto &r : refs) {
        SCOPED_TRACE(r.text);
        float v = -999;
        EXPECT_EQ(ParseReference(QString::fromUtf8(r.text), &v), r.ok);
        EXPECT_FLOAT_EQ(v, r.ok ? r.value : -999.0f);
    }
    const struct
    {
        const char *text;
        bool ok;
        int value;
    } caps[] = {{"0A1F", true, 0xA1F}, {"ffff", true, 0xFFFF}, {"?", false, 0}, {"", false, 0}, {"10000", false, 0}},
      words[] = {{"0", true, 0}, {"65535", true, 65535}, {"65536", false, 0}, {"", false, 0}, {"-1", false, 0},
                 {"1e3", false, 0}};
    for (const auto &r : caps) {
        SCOPED_TRACE(r.text);
        int v = -1;
        EXPECT_EQ(ParseCapture(QString::fromUtf8(r.text), &v), r.ok);
        EXPECT_EQ(v, r.ok ? r.value : -1);
    }
    for (const auto &r : words) {
        SCOPED_TRACE(r.text);
        int v = -1;
        EXPECT_EQ(ParseWord(QString::fromUtf8(r.text), &v), r.ok);
        EXPECT_EQ(v, r.ok ? r.value : -1);
    }
}
