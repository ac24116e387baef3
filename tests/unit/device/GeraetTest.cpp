#include "device/Geraet.h"
#include <gtest/gtest.h>

TEST(Geraet, FreshRecordIsEmpty)
{
    TGeraet g;
    EXPECT_EQ(g.ProgramVersion, 0);
    EXPECT_TRUE(g.ProgramId.isEmpty());
    EXPECT_TRUE(std::all_of(g.Image.begin(), g.Image.end(), [](quint8 b) { return b == 0; }));
}

TEST(Geraet, WordsAreBigEndianAndUnsigned)
{
    TGeraet g;
    g.SetWord(10, 0x1234);
    EXPECT_EQ(g.GetByte(10), 0x12);
    EXPECT_EQ(g.GetByte(11), 0x34);
    g.SetByte(20, 0xFF);
    g.SetByte(21, 0xFE);
    EXPECT_EQ(g.GetWord(20), 65534);
}

TEST(Geraet, OutOfRangeIndexesNeverTouchMemory)
{
    TGeraet g;
    struct Case { long long index; };
    for (long long idx : {-1LL, -1000LL, 32768LL, 40000LL}) {
        EXPECT_EQ(g.SetByte(idx, 0x55), 0) << idx;
        EXPECT_EQ(g.GetByte(idx), 0) << idx;
        EXPECT_FALSE(g.SetWord(idx, 0x1234)) << idx;
        EXPECT_EQ(g.GetWord(idx), 0) << idx;
    }
    // A word starting at the last byte would spill over the end: refused whole.
    EXPECT_FALSE(g.SetWord(32767, 0xABCD));
    EXPECT_EQ(g.GetByte(32767), 0);
    EXPECT_TRUE(g.SetWord(32766, 0xABCD));
    EXPECT_EQ(g.GetWord(32766), 0xABCD);
}

#include "device/DeviceData.h"

namespace {

struct ParamLineCase
{
    const char *line;
    bool ok;
    const char *text, *address;
    int type;
    const char *min, *max, *unit;
};

TEST(ParameterListe, LinesAreSplitFieldByField)
{
    const ParamLineCase cases[] = {
        {"  Nennspannung*0810;3;0;600;V", true, "  Nennspannung", "0810", 3, "0", "600", "V"},
        {"Anzahl*0812;9;1;5;", true, "Anzahl", "0812", 9, "1", "5", ""},
        {"Ende nach Typ*0814;1A", true, "Ende nach Typ", "0814", 0x1A, "", "", ""},
        {"Mit Rest*0816;2;S4;x;kW;ignoriert;mehr", true, "Mit Rest", "0816", 2, "S4", "x", "kW"},
        {"Typ mit Blanks*0818; 1 0;0;1;", true, "Typ mit Blanks", "0818", 0x10, "0", "1", ""},
        {"Nur Adresse*0820", false, "", "", 0, "", "", ""},
        {"Kein Hex*0822;XY;0;1;", false, "", "", 0, "", "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        TParameterListe list;
        bool ok = true;
        TParameter *p = list.AddFromLine(QString::fromUtf8(c.line), &ok);
        EXPECT_EQ(ok, c.ok);
        if (!c.ok) {
            EXPECT_EQ(p, nullptr);
            EXPECT_EQ(list.Count(), 0);
            continue;
        }
        ASSERT_EQ(list.Count(), 1);
        EXPECT_EQ(list.ItemText(0), QString::fromUtf8(c.text));
        EXPECT_EQ(list.GetAddress(0), QString::fromUtf8(c.address));
        EXPECT_EQ(list.GetTypeCode(0), c.type);
        EXPECT_EQ(list.GetMin(0), QString::fromUtf8(c.min));
        EXPECT_EQ(list.GetMax(0), QString::fromUtf8(c.max));
        EXPECT_EQ(list.GetUnit(0), QString::fromUtf8(c.unit));
    }
}

TEST(ParameterListe, OnlyTheLowByteOfTheTypeCodeCounts)
{
    TParameterListe list;
    list.AddFromLine(QStringLiteral("X*0800;1F3;0;1;"));
    EXPECT_EQ(list.Item(0).TypeCode, 0x1F3);
    EXPECT_EQ(list.GetTypeCode(0), 0xF3);
}

TEST(IstwerteListe, FormatKeepsEveryFurtherComma)
{
    TIstwerteListe list;
    list.AddFromLine(QStringLiteral("Spannung L1*1A, 5 ,S4,x"));
    EXPECT_EQ(list.GetOffset(0), QStringLiteral("1A"));
    EXPECT_EQ(list.GetTypeCode(0), QStringLiteral("5"));
    EXPECT_EQ(list.Item(0).Format, QStringLiteral("S4,x"));
    EXPECT_EQ(list.ItemText(0), QStringLiteral("Spannung L1"));
}

struct PrefixCase
{
    const char *key;
    int ratio;
    int deviceType;
    int version;
    bool kilo;
};

TEST(UnitPrefix, RatioWordAboveTheThresholdGivesKilo)
{
    const PrefixCase cases[] = {
        {"S5", 767, 25, 12, true},  {"S5", 766, 25, 12, false}, {"S5", 101, 25, 11, true},
        {"S5", 100, 25, 11, false}, {"S4", 767, 5, 14, true},   {"S4", 500, 5, 14, false},
        {"S4", 500, 0, 14, true},   {"S2", 5000, 5, 14, false}, {"", 5000, 5, 14, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3 %4").arg(c.key).arg(c.ratio).arg(c.deviceType).arg(c.version).toStdString());
        DeviceData d;
        d.State.ImageBase = 0x0800;
        d.State.DeviceType = c.deviceType;
        d.Geraet.IdentBlock[11] = quint8(c.version);
        const int address = QLatin1String(c.key) == QLatin1String("S5") ? 0x09BE : 0x09BC;
        d.Geraet.SetWord(address - 0x0800, c.ratio);
        d.Params.AddFromLine(QStringLiteral("Leistung*0900;2;%1;0;W").arg(QLatin1String(c.key)));
        d.Values.AddFromLine(QStringLiteral("Leistung*00,2,%1").arg(QLatin1String(c.key)));
        const QString prefix = c.kilo ? QStringLiteral("k") : QString();
        EXPECT_EQ(d.Params.ItemText(0), prefix + QStringLiteral("Leistung"));
        EXPECT_EQ(d.Params.GetUnit(0), prefix + QStringLiteral("W"));
        EXPECT_EQ(d.Values.ItemText(0), prefix + QStringLiteral("Leistung"));
        // The stored text is never changed.
        EXPECT_EQ(d.Params.Item(0).Text, QStringLiteral("Leistung"));
    }
}

TEST(UnitPrefix, RatioWordOutsideTheImageReadsAsZero)
{
    DeviceData d;
    d.State.ImageBase = 0x4000; // 0x09BE lies below the image
    d.State.DeviceType = 0;
    d.Params.AddFromLine(QStringLiteral("Leistung*4000;2;S5;0;W"));
    EXPECT_EQ(d.Params.ItemText(0), QStringLiteral("Leistung"));
}

} // namespace
