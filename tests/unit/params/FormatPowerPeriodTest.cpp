#include "FormatFixture.h"

using namespace fmt_test;

namespace {
// Power and ratio words of a controller with image base 0x0800.
constexpr int kPowerRange = 0x0930 - 0x0800;
constexpr int kRatioS4 = 0x09BC - 0x0800;
constexpr int kRatioS5 = 0x09BE - 0x0800;
constexpr int kRatedPower = 0x08CC - 0x0800;
} // namespace

TEST(FormatPowerDisplay, PrefixFromThePowerRangeWord)
{
    struct Case { int type; int version; int range; int ratio; int rated; int code; std::vector<int> bytes; const char *expected; QChar prefix; };
    const Case cases[] = {
        {0, 0, 4500, 0, 0, 2, {0x04, 0xD2}, "   1234", QLatin1Char('k')},
        {0, 0, 4501, 0, 0, 2, {0x04, 0xD2}, "  12,34", QLatin1Char('M')},
        {8, 12, 9000, 10, 30303, 2, {0x04, 0xD2}, "   1234", QLatin1Char('k')}, // 303 < 304
        {8, 12, 0, 10, 30400, 2, {0x04, 0xD2}, "  12,34", QLatin1Char('M')},
        {8, 11, 5000, 10, 0, 2, {0x04, 0xD2}, "  12,34", QLatin1Char('M')},     // old PA: range word
        {0, 0, 5000, 0, 0, 5, {0xFF, 0xF6}, "  -0,10", QLatin1Char('M')},       // signed first
        {0, 0, 100, 0, 0, 192, {100}, "    500", QLatin1Char('k')},
        {0, 0, 5000, 0, 0, 209, {10}, "   2,00", QLatin1Char('M')},
    };
    for (QChar sep : {QLatin1Char(','), QLatin1Char('.')}) {
        SetDecimalSeparator(sep);
        for (const Case &c : cases) {
            Device dev(c.type, 0x0800, c.version);
            dev.Word(kPowerRange, c.range);
            dev.Word(kRatioS4, c.ratio);
            dev.Word(kRatedPower, c.rated);
            const int i = dev.Add(c.code, QStringLiteral("S12"), QString(), QStringLiteral("0A00"),
                                  QStringLiteral("xW Leistung"));
            dev.Bytes(0x0A00, c.bytes);
            QString expected = QLatin1String(c.expected);
            expected.replace(QLatin1Char(','), sep);
            EXPECT_EQ(dev.Param(i), expected) << c.type << " " << c.code << " " << c.range;
            EXPECT_EQ(dev.d->Params.Item(i).Text, QString(c.prefix) + QStringLiteral("W Leistung"));
        }
    }
    ResetDecimalSeparator();
}

TEST(FormatPowerDisplay, ActualValuesOfCode247KeepTheInteger)
{
    Device dev;
    dev.Word(kPowerRange, 5000);
    const int row = dev.AddValue(QStringLiteral("xW Leistung*0,F7,S12"));
    EXPECT_TRUE(dev.f->FormatActualValue(row, 0xF7, QStringLiteral("04D2")));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("   1234"));
    EXPECT_EQ(dev.d->Values.Item(row).Text, QStringLiteral("MW Leistung"));
}

TEST(FormatPowerDisplay, AnalogPageShowsValues16And17AsPower)
{
    Device dev(5);
    dev.Word(kPowerRange, 5000);
    for (int k = 0; k < 18; ++k)
        dev.AddValue(QStringLiteral("xW Wert*0,5,"));
    SetDecimalSeparator(QLatin1Char(','));
    dev.f->ValuePage = QStringLiteral("IstAna");
    dev.f->FormatActualValue(16, 5, QStringLiteral("04D2"));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("  12,34"));
    dev.f->FormatActualValue(15, 5, QStringLiteral("04D2"));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("   1234"));
    dev.f->ValuePage = QStringLiteral("IstDig");
    dev.f->FormatActualValue(17, 5, QStringLiteral("04D2"));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("   1234"));
    ResetDecimalSeparator();
}

TEST(FormatRatioDisplay, ScaledWhenTheRatioWordIsAboveTheThreshold)
{
    struct Case { int type; int version; const char *key; int ratio; const char *expected; bool cleared; };
    const Case cases[] = {
        {0, 0, "S4", 200, "  12,34", false},
        {0, 0, "S4", 10000, "  123,4", false},
        {0, 0, "S4", 100, "   1234", false},
        {0, 0, "S5", 101, "  12,34", false},
        {29, 0, "S4", 200, "   1234", true},  // the ZEV 291 has no S4 ratio
        {29, 0, "S5", 200, "   1234", true},  // set C has no S5 ratio
        {17, 0, "S4", 200, "  12,34", false},
        {17, 0, "S5", 200, "   1234", true},
        {5, 12, "S4", 766, "   1234", false}, // threshold 766 for SPL/ERSY from version 12
        {5, 12, "S4", 767, "  12,34", false},
        {5, 11, "S4", 500, "  12,34", false},
        {9, 12, "S5", 500, "   1234", false},
    };
    for (QChar sep : {QLatin1Char(','), QLatin1Char('.')}) {
        SetDecimalSeparator(sep);
        for (const Case &c : cases) {
            Device dev(c.type, 0x0800, c.version);
            const int ratioIndex = QLatin1String(c.key) == QLatin1String("S4") ? kRatioS4 : kRatioS5;
            dev.Word(ratioIndex, c.ratio);
            const int i = dev.Add(2, QLatin1String(c.key));
            dev.Bytes(0x0A00, {0x04, 0xD2});
            QString expected = QLatin1String(c.expected);
            expected.replace(QLatin1Char(','), sep);
            EXPECT_EQ(dev.Param(i), expected) << c.type << " " << c.key << " " << c.ratio;
            EXPECT_EQ(dev.d->Geraet.GetWord(ratioIndex), c.cleared ? 0 : c.ratio);
        }
    }
    ResetDecimalSeparator();
}

TEST(FormatRatioDisplay, Z212PaProgramHasNoRatio)
{
    Device dev(22);
    dev.d->Geraet.ProgramId = QStringLiteral("Z212-72 PA");
    dev.Word(kRatioS4, 500);
    const int i = dev.Add(2, QStringLiteral("S4"));
    dev.Bytes(0x0A00, {0x04, 0xD2});
    EXPECT_EQ(dev.Param(i), QStringLiteral("   1234"));
    EXPECT_EQ(dev.d->Geraet.GetWord(kRatioS4), 0);
}

// ZEV 071 - 083 (device type 34): period words at image indexes 0x2C, 0x54, 0x56.
namespace {
struct Period
{
    Device dev{34, 0x0100};
    int Add(int code, const char *key = "", const char *address = "0150")
    {
        return dev.Add(code, QLatin1String(key), QString(), QLatin1String(address));
    }
    QString Show(int i, int raw)
    {
        dev.Word(0x50, raw);
        dev.f->FormattedValue = QString(7, QLatin1Char(' '));
        return dev.Param(i);
    }
};
} // namespace

TEST(FormatPeriodCodes, FrequencyFromAPeriod)
{
    SetDecimalSeparator(QLatin1Char(','));
    struct Case { int n; const char *key; int b2e; int w56; int raw; const char *expected; };
    const Case cases[] = {
        {5000, "", 0, 0, 5000, "  50,00"},
        {5000, "", 0, 0, 4167, "  60,00"},
        {5000, "", 0, 0, 0, "   0,00"},
        {4500, "", 0, 0, 5000, "   0,00"},  // no nominal frequency at exactly 4500
        {8000, "", 0, 0, 8000, "  60,00"},
        {10000, "", 0, 0, 10000, "  50,00"},
        {5000, "S2", 1, 6000, 5000, "  60,00"},
        {5000, "S2", 0, 6000, 5000, "  50,00"},
        {8000, "", 0, 0, 1, "  4,8E5"},
    };
    for (const Case &c : cases) {
        Period p;
        p.dev.Word(0x2C, c.n);
        p.dev.Byte(0x2E, c.b2e);
        p.dev.Word(0x56, c.w56);
        const int i = p.Add(12, c.key);
        EXPECT_EQ(p.Show(i, c.raw), QLatin1String(c.expected)) << c.n << " " << c.raw;
        EXPECT_EQ(p.dev.d->PeriodBase, c.n);
    }
    Period p;
    p.dev.Word(0x2C, 5000);
    const int i = p.Add(12);
    EXPECT_TRUE(p.dev.f->FormatValue(i, 12, QStringLiteral("1388"), QStringLiteral("0150")));
    EXPECT_EQ(p.dev.f->FormattedValue, QStringLiteral("  50,00"));
    EXPECT_TRUE(p.dev.f->FormatValue(i, 12, QStringLiteral("F000"), QStringLiteral("0150")));
    EXPECT_EQ(p.dev.f->FormattedValue, QStringLiteral("   0,00"));
    ResetDecimalSeparator();
}

// A base left behind by another device must not give a plausible number: the period
// codes of a device without a source of its own show that there is nothing to show.
TEST(FormatPeriodCodes, OtherTypesHaveNoPeriodBase)
{
    SetDecimalSeparator(QLatin1Char(','));
    for (int code : {12, 210, 212, 213, 220, 226}) {
        Device dev(0);
        dev.d->PeriodBase = 5000;
        dev.d->PeriodFactor = 100;
        const int i = dev.Add(code);
        dev.Bytes(0x0A00, {0x13, 0x88});
        EXPECT_EQ(dev.Param(i), QStringLiteral("   ----")) << code;
        EXPECT_EQ(dev.d->PeriodBase, 5000);
    }
    ResetDecimalSeparator();
}

TEST(FormatPeriodCodes, Angles)
{
    struct Case { int code; int n; int raw; const char *expected; };
    const Case cases[] = {
        {210, 3600, 1200, "   +/-0"},  {210, 3600, 2400, " +/-120"}, {210, 3600, 0, "+/--120"},
        {210, 3600, 7200, " +/-360"},  {213, 3600, 0, "      0"},   {213, 3600, 7200, "    360"},
        {213, 3600, 1000, "    100"},  {210, 0, 1000, "       "},   {213, 0, 1000, "       "},
    };
    for (const Case &c : cases) {
        Period p;
        p.dev.Word(0x2C, c.n);
        const int i = p.Add(c.code);
        EXPECT_EQ(p.Show(i, c.raw), QLatin1String(c.expected)) << c.code << " " << c.raw;
    }
}

TEST(FormatPeriodCodes, PhaseAngleByVersion)
{
    SetDecimalSeparator(QLatin1Char(','));
    struct Case { int type; int version; const char *program; int n; int raw; const char *expected; };
    const Case cases[] = {
        // One decimal, as the editor takes it.
        {34, 8, "", 10000, 1000, "   45,0"},
        {34, 8, "", 5000, 1000, "   83,6"},
        {34, 7, "", 3600, 1000, "  101,0"},
        {34, 8, "", 10000, 1002, "   45,1"},
        {37, 8, "ZNAE 9408 ", 10000, 1002, "   45,0"},
        {37, 8, "ZNAE 9408 ", 5000, 1001, "   83,7"}, // the 418 case is not rounded
        {34, 8, "", 0, 1000, "      0"},
    };
    for (const Case &c : cases) {
        Device dev(c.type, 0x0100, c.version);
        dev.d->Geraet.ProgramId = QLatin1String(c.program);
        dev.Word(c.type == 37 ? 0x3C : 0x2C, c.n);
        const int i = dev.Add(226, QString(), QString(), QStringLiteral("0150"));
        dev.Word(0x50, c.raw);
        EXPECT_EQ(dev.Param(i), QLatin1String(c.expected)) << c.type << " " << c.n << " " << c.raw;
    }
    ResetDecimalSeparator();
}

TEST(FormatPeriodCodes, SpeedFromAPeriod)
{
    SetDecimalSeparator(QLatin1Char(','));
    Period p;
    p.dev.Word(0x54, 100);
    p.dev.Word(0x56, 6000);
    p.dev.Byte(0x2E, 1);
    const int i = p.Add(212);
    EXPECT_EQ(p.Show(i, 3000), QStringLiteral("    200"));
    EXPECT_EQ(p.Show(i, 7), QStringLiteral("  85714")); // never in exponent notation
    EXPECT_EQ(p.Show(i, 0), QStringLiteral("       "));
    EXPECT_EQ(p.dev.d->PeriodFactor, 100);
    EXPECT_EQ(p.dev.d->PeriodBase, 6000);
    EXPECT_TRUE(p.dev.f->FormatValue(i, 212, QStringLiteral("0BB8"), QStringLiteral("0150")));
    EXPECT_EQ(p.dev.f->FormattedValue, QStringLiteral("    200"));
    EXPECT_TRUE(p.dev.f->FormatValue(i, 212, QStringLiteral("F000"), QStringLiteral("0150")));
    EXPECT_EQ(p.dev.f->FormattedValue, QStringLiteral("      0"));
    p.dev.f->FormattedValue = QStringLiteral("x");
    EXPECT_FALSE(p.dev.f->FormatValue(i, 212, QStringLiteral("0000"), QStringLiteral("0150")));
    EXPECT_EQ(p.dev.f->FormattedValue, QStringLiteral("x"));

    // Speed inputs 1..4 without a pick-up configured.
    const int blocked = p.Add(212, "", "0146");
    p.dev.Byte(0x2E, 0);
    EXPECT_EQ(p.dev.Param(blocked), QStringLiteral("   ----"));
    p.dev.Byte(0x2E, 2);
    p.dev.Word(0x46, 3000);
    EXPECT_EQ(p.dev.Param(blocked), QStringLiteral("    200"));

    Device compact(32, 0x0100);
    compact.Word(0x76, 5000);
    compact.Word(0xA2, 60);
    const int c = compact.Add(212, QString(), QString(), QStringLiteral("0150"));
    compact.Word(0x50, 1000);
    EXPECT_EQ(compact.Param(c), QStringLiteral("    300"));
    ResetDecimalSeparator();
}

TEST(FormatPeriodCodes, SpeedFromPulseTime)
{
    Period p;
    const int i = p.Add(214);
    p.dev.Byte(0x2E, 2);
    EXPECT_EQ(p.Show(i, 1000), QStringLiteral("  10000"));
    p.dev.Byte(0x2E, 0);
    EXPECT_EQ(p.Show(i, 1000), QStringLiteral("    250"));
    p.dev.d->State.DefinitionFile = QStringLiteral("/data/ZPA/A70-018-DE.ZPA");
    EXPECT_EQ(p.Show(i, 1000), QStringLiteral("   2500"));
    EXPECT_EQ(p.Show(i, 0), QStringLiteral("       "));
    p.dev.f->FormattedValue = QStringLiteral("x");
    EXPECT_FALSE(p.dev.f->FormatValue(i, 214, QStringLiteral("03E8"), QStringLiteral("0150")));
}

TEST(FormatPeriodCodes, FrequencyDifference)
{
    for (QChar sep : {QLatin1Char(','), QLatin1Char('.')}) {
        SetDecimalSeparator(sep);
        struct Case { int n; int raw; const char *expected; };
        const Case cases[] = {
            {5000, 0, "   0,00"}, {5000, 100, "   0,98"}, {10000, 0, "  25,00"}, {0, 100, "       "},
        };
        for (const Case &c : cases) {
            Period p;
            p.dev.Word(0x2C, c.n);
            const int i = p.Add(220);
            QString expected = QLatin1String(c.expected);
            expected.replace(QLatin1Char(','), sep);
            EXPECT_EQ(p.Show(i, c.raw), expected) << c.n << " " << c.raw;
        }
        Period p;
        p.dev.Word(0x2C, 5000);
        const int i = p.Add(220);
        EXPECT_TRUE(p.dev.f->FormatValue(i, 220, QStringLiteral("F000"), QStringLiteral("0150")));
        EXPECT_EQ(p.dev.f->FormattedValue, QStringLiteral("  00.00"));
    }
    ResetDecimalSeparator();
}

TEST(FormatPeriodCodes, ActualSpeedAndFrequencyFollowTheSelectorBit)
{
    struct Case { int code; const char *value; quint8 b34; quint8 b38; const char *program; const char *definition; const char *expected; };
    const Case cases[] = {
        {241, "0BB8", 0, 0, "", "", "    167"},
        {241, "0BB8", 0, 1, "", "", "    200"},
        {241, "0000", 0, 0, "", "", "      0"},
        {241, "F000", 0, 0, "", "", "       "},
        {241, "0BB8", 0, 0, "", "ZPA/A70-010-DE.ZPA", "    200"},
        {241, "0BB8", 0, 1, "", "ZPA/A70-018-DE.ZPA", "    167"},
        {242, "03E8", 0, 0, "", "", "    250"},
        {242, "03E8", 0, 1, "", "", "    300"},
        {242, "03E8", 0x80, 0, "017", "", "    300"},
        {242, "03E8", 0, 1, "017", "", "    250"},
        {242, "F000", 0, 0, "", "", "  00.00"},
        {242, "0000", 0, 0, "", "", "       "},
    };
    for (const Case &c : cases) {
        Device dev(34, 0x0100);
        dev.d->Geraet.ProgramId = QLatin1String(c.program);
        dev.d->State.DefinitionFile = QLatin1String(c.definition);
        dev.Word(0x54, 100);
        dev.Word(0x56, 6000);
        dev.Word(0x2C, 5000);
        const int row = dev.AddValue(QStringLiteral(" Drehzahl*0,F1,"));
        dev.f->TelegramByte34 = c.b34;
        dev.f->TelegramByte38 = c.b38;
        dev.f->FormattedValue = QString(7, QLatin1Char(' '));
        dev.f->FormatActualValue(row, c.code, QLatin1String(c.value));
        EXPECT_EQ(dev.f->FormattedValue, QLatin1String(c.expected)) << c.code << " " << c.value << " " << int(c.b38);
    }
}
