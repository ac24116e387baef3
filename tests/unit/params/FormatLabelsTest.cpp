#include "FormatFixture.h"

using namespace fmt_test;

namespace {
QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

void text(Device &dev, long index, const QByteArray &bytes)
{
    for (int k = 0; k < bytes.size(); ++k)
        dev.Byte(index + k, quint8(bytes[k]));
}
} // namespace

TEST(FormatAlarmLabel, SetAControllerNumbersFromTheRecordPosition)
{
    for (int base : {0x0000, 0x0800}) {
        Device dev(0, base);
        const int i = dev.Add(32, QStringLiteral("20"), QString(), QString::number(base + 0x220, 16));
        text(dev, 0x220 + 5, "Oeldruck niedrig");
        EXPECT_EQ(dev.Param(i), blanks(10) + QStringLiteral(" Alarm 02|Oeldruck ni|edrig|")) << base;
    }
}

TEST(FormatAlarmLabel, SetBRenumbersOnceAndTwiceFromVersion30)
{
    struct Case { int type; int version; int index; const char *number; };
    const Case cases[] = {
        {5, 0, 512, "49"},   // 0 -> 48
        {5, 30, 512, "17"},  // 0 -> 48 -> 16
        {5, 0, 1792, "09"},  // 40 -> 8
        {15, 0, 512, "01"},  // set F keeps its numbering
        {0, 30, 1792, "41"}, // set A never renumbers
        {52, 0, 544, "50"},
    };
    for (const Case &c : cases) {
        Device dev(c.type, 0, c.version);
        const int i = dev.Add(32, QStringLiteral("5"), QString(), QString::number(c.index, 16));
        dev.Byte(c.index + 5, 'X');
        EXPECT_EQ(dev.Param(i), blanks(10) + QStringLiteral(" Alarm %1|X|").arg(QLatin1String(c.number)))
            << c.type << "/" << c.version << "/" << c.index;
    }
}

TEST(FormatAlarmLabel, ChannelLabelsAndFixedCanChannels)
{
    Device a(0, 0);
    const int k = a.Add(35, QStringLiteral("5"), QString(), QStringLiteral("0400"));
    a.Byte(0x405, 'X');
    EXPECT_EQ(a.Param(k), blanks(10) + QStringLiteral("   Kanal33|X|"));

    // PA controllers name the four fixed channels CAN_AE (and renumber them as set B).
    Device pa(8, 0);
    const int c = pa.Add(35, QStringLiteral("5"), QString(), QStringLiteral("0590"));
    pa.Byte(0x595, 'Y');
    EXPECT_EQ(pa.Param(c), blanks(10) + QStringLiteral("CAN_AE03|Y|"));

    // A key below 5 still shows one character.
    const int one = pa.Add(35, QStringLiteral("2"), QString(), QStringLiteral("05B0"));
    pa.Byte(0x5B5, 'Z');
    EXPECT_EQ(pa.Param(one), blanks(10) + QStringLiteral("CAN_AE04|Z|"));
}

TEST(FormatAlarmLabel, CanChannelPlaceholderGetsTheNumber)
{
    Device pa(8, 0);
    const int c = pa.Add(35, QStringLiteral("20"), QString(), QStringLiteral("0570"));
    text(pa, 0x575, "Ein     #  abcde");
    EXPECT_EQ(pa.Param(c), blanks(10) + QStringLiteral("CAN_AE02|Ein     #02  |abcde|"));
}

TEST(FormatAlarmLabel, RecordAtTheEndOfTheImageReadsBlanksBeyondIt)
{
    Device dev(0, 0);
    const int i = dev.Add(32, QStringLiteral("30"), QString(), QStringLiteral("7FF0"));
    text(dev, 0x7FF5, "ABCDEFGHIJK");
    EXPECT_EQ(dev.Param(i), blanks(10) + QStringLiteral(" Alarm 1008|ABCDEFGHIJK|") + blanks(15) + QLatin1Char('|'));
}

TEST(FormatAlarmLabel, RecordBytesAreWindows1252)
{
    Device dev(0, 0);
    const int i = dev.Add(32, QStringLiteral("8"), QString(), QStringLiteral("0200"));
    text(dev, 0x205, "\xD6l \x80");
    EXPECT_EQ(dev.Param(i), blanks(10) + QString::fromUtf8(" Alarm 01|Öl €|"));
}

TEST(FormatFaultCoding, LettersFromFourStridedBytes)
{
    struct Case { std::vector<int> offsets; const char *mask; int value; const char *expected; };
    // Stride 6 (set A, version 0): b2 at +0, b4 at +6, b1 at +12, b3 at +18.
    const Case cases[] = {
        {{}, "04", 0x04, "A-U-W-0"},
        {{0, 6, 12, 18}, "04", 0x04, "R-V-S-I"},
        {{6, 12}, "04", 0x04, "R-U-W-I"},
        {{0, 18}, "04", 0x04, "A-V-S-0"},
        {{0, 6, 12, 18}, "06", 0x04, "A-U-W-0"}, // every bit of the mask must be set
        {{0, 6, 12, 18}, "06", 0x0E, "R-V-S-I"},
    };
    for (const Case &c : cases) {
        Device dev;
        const int i = dev.Add(33, QLatin1String(c.mask));
        for (int off : c.offsets)
            dev.Byte(0x200 + off, c.value);
        EXPECT_EQ(dev.Param(i), QLatin1String(c.expected)) << c.expected;
    }
}

TEST(FormatFaultCoding, StrideByFamilyVersionAndProgram)
{
    Device v30(0, 0x0800, 30); // set A from version 30: stride 8
    const int a = v30.Add(33, QStringLiteral("01"));
    v30.Byte(0x200 + 12, 1);
    EXPECT_EQ(v30.Param(a), QStringLiteral("A-U-W-0"));
    v30.Byte(0x200 + 16, 1);
    EXPECT_EQ(v30.Param(a), QStringLiteral("R-U-W-0"));

    Device wk(47);
    wk.d->Geraet.ProgramId = QStringLiteral("ZWK1 MAN01");
    const int w = wk.Add(33, QStringLiteral("01"));
    wk.Byte(0x200 + 8, 1);
    wk.Byte(0x200 + 4, 1);
    EXPECT_EQ(wk.Param(w), QStringLiteral("R-U-W-I"));

    // The relocated fault table of three ZEV 101 programs from version 30.
    Device spl(0, 0x0800, 30);
    spl.d->Geraet.ProgramId = QStringLiteral("Z101 SPL03");
    const int s = spl.Add(33, QStringLiteral("01"), QString(), QStringLiteral("0DD3"));
    spl.Byte(1491 + 16, 1);
    EXPECT_EQ(spl.Param(s), QStringLiteral("A-U-W-0"));
    spl.Byte(179 + 16, 1);
    EXPECT_EQ(spl.Param(s), QStringLiteral("R-U-W-0"));
}

TEST(FormatFaultCoding, TransferSwitchShowsOnlyTheFirstLetterBelowMas)
{
    Device dev(52);
    const int i = dev.Add(33, QStringLiteral("01"));
    for (int off : {0, 6, 12, 18})
        dev.Byte(0x200 + off, 1);
    EXPECT_EQ(dev.Param(i), QStringLiteral("      R"));
    dev.d->AccessLevel = QStringLiteral("Mas");
    EXPECT_EQ(dev.Param(i), QStringLiteral("R-V-S-I"));
}

TEST(FormatFaultCoding, BaseOutsideTheImageShowsQuestionMark)
{
    Device dev;
    const int i = dev.Add(33, QStringLiteral("01"), QString(), QStringLiteral("87F0"));
    EXPECT_EQ(dev.Param(i), QStringLiteral("      ?"));
}

TEST(FormatFaultCoding, MaskBytesSelectedByAddress)
{
    struct Case { int type; int code; const char *address; std::vector<std::pair<int, int>> bytes; const char *expected; };
    const Case cases[] = {
        {0, 217, "0104", {{0x61, 0x04}, {0x65, 0x04}}, "A-U-S-0"},
        {0, 217, "0104", {}, "R-U-W-0"},
        {0, 217, "0104", {{0x61, 0xFB}, {0x63, 0xFB}}, "R-U-W-0"},
        {0, 225, "0180", {{0x60, 0x80}, {0x62, 0x80}, {0x64, 0x80}, {0x66, 0x80}}, "A-V-S-I"},
        {32, 217, "0101", {{0x81, 0x01}}, "A-U-W-0"},
        {32, 217, "0101", {{0x61, 0x01}}, "R-U-W-0"},
        {32, 225, "0110", {{0x86, 0x10}}, "R-U-W-I"},
        {0, 218, "0102", {{0x69, 0x02}, {0x6B, 0x02}}, "  V-W-I"},
        {0, 218, "0103", {{0x69, 0xFF}}, "       "}, // no bit of that address
    };
    for (const Case &c : cases) {
        Device dev(c.type);
        const int i = dev.Add(c.code, QString(), QString(), QLatin1String(c.address));
        for (const auto &b : c.bytes)
            dev.Byte(b.first, b.second);
        EXPECT_EQ(dev.Param(i), QLatin1String(c.expected)) << c.code << " " << c.address;
    }
}

TEST(FormatRelayFunction, TextFromTheTableOrFlagNumber)
{
    Device dev;
    dev.d->Def.RelayFunctionTable = {{QStringLiteral("Hupe ein"), QStringLiteral("001A")},
                                     {QStringLiteral("Sammelalarm"), QStringLiteral("0100")}};
    const int i = dev.Add(222);
    dev.Bytes(0x0A00, {0x00, 0x1A});
    EXPECT_EQ(dev.Param(i), QStringLiteral("Hupe ein")); // not left-filled
    dev.Bytes(0x0A00, {0x01, 0x00});
    EXPECT_EQ(dev.Param(i), QStringLiteral("Sammelalarm"));
    dev.Bytes(0x0A00, {0x00, 0x1B});
    EXPECT_EQ(dev.Param(i), QStringLiteral("Flag 001B"));

    // Index 0 and value texts have no relay text.
    dev.f->FormattedValue = QStringLiteral("x");
    EXPECT_FALSE(dev.f->FormatValue(0, 222, QString(), QStringLiteral("0A00")));
    EXPECT_FALSE(dev.f->FormatValue(i, 222, QStringLiteral("001A"), QStringLiteral("0A00")));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("x"));
}
