#include "FormatFixture.h"

using namespace fmt_test;

namespace {
QString show(Device &dev, int i)
{
    dev.f->FormattedValue = QString(7, QLatin1Char(' '));
    return dev.Param(i);
}
} // namespace

TEST(FormatAnalog, SwitchingPointsWithAndWithoutLiveZero)
{
    SetDecimalSeparator(QLatin1Char(','));
    struct Case { const char *address; int b6f; int q; const char *expected; };
    const Case cases[] = {
        // Shown with the decimals the editor takes: one up to a range of 254, else none.
        {"0176", 0x04, 147, "  100,0"}, // 4..20 mA: (147 - 49) * 200 / 196
        {"0176", 0x00, 147, "  120,0"}, // 0..20 mA: 147 * 200 / 245
        {"016C", 0x08, 147, "  120,0"}, // the other input's bit does not count
        {"0176", 0x04, 50, "    1,0"},
        {"0140", 0x08, 245, "    490"},
        {"0140", 0x08, 49, "      0"},
        {"0141", 0x08, 0, "   -122"},
        {"0150", 0x04, 147, "   ----"}, // not an analog switching point: no scale
    };
    for (const Case &c : cases) {
        Device dev(34, 0x0100);
        dev.Word(0x74, 200);
        dev.Word(0x42, 490);
        dev.Byte(0x6F, c.b6f);
        const int i = dev.Add(216, QString(), QString(), QLatin1String(c.address));
        dev.Bytes(QString::fromLatin1(c.address).toInt(nullptr, 16), {c.q});
        EXPECT_EQ(show(dev, i), QLatin1String(c.expected)) << c.address << " " << c.q;
    }
    ResetDecimalSeparator();
}

TEST(FormatAnalog, PointerToTheSwitchingPoint)
{
    SetDecimalSeparator(QLatin1Char(','));
    Device dev(34, 0x0100);
    dev.Word(0x74, 200);
    const int i = dev.Add(224, QString(), QString(), QStringLiteral("017A"));
    dev.Word(0x7A, 0x0090);
    dev.Byte(0x90, 98);
    dev.Byte(0x6F, 0x04);
    EXPECT_EQ(show(dev, i), QStringLiteral("  100,0"));
    dev.Byte(0x6F, 0x00);
    EXPECT_EQ(show(dev, i), QStringLiteral("   80,0"));
    dev.Word(0x7A, 0x9000); // points beyond the image
    EXPECT_EQ(show(dev, i), QStringLiteral("      ?"));
    ResetDecimalSeparator();
}

TEST(FormatAnalog, ActualAnalogValues)
{
    SetDecimalSeparator(QLatin1Char(','));
    struct Case { int code; const char *value; int b5d; int b6f; const char *expected; };
    const Case cases[] = {
        {240, "59", 0, 0, "     40"},
        {245, "59", 0, 0, "    100"},   // from the byte at 0x7A
        {245, "59", 0x10, 0, "     40"},
        {243, "93", 0, 0x04, "     49"},
        {243, "93", 0, 0x00, "   78,4"},
        {244, "93", 0, 0x08, "     49"},
        {243, "", 0, 0x04, "       "},
    };
    for (const Case &c : cases) {
        Device dev(34, 0x0100);
        dev.Word(0x42, 196);
        dev.Word(0x74, 196);
        dev.Byte(0x7A, 149);
        dev.Byte(0x5D, c.b5d);
        dev.Byte(0x6F, c.b6f);
        const int row = dev.AddValue(QStringLiteral(" Analog*0,F0,"));
        dev.f->FormattedValue = QString(7, QLatin1Char(' '));
        dev.f->FormatActualValue(row, c.code, QLatin1String(c.value));
        EXPECT_EQ(dev.f->FormattedValue, QLatin1String(c.expected)) << c.code << " " << c.value;
    }
    Device dev(34, 0x0100);
    dev.Word(0x42, 196);
    dev.Byte(0x7A, 149);
    EXPECT_TRUE(dev.f->FormatValue(1, 240, QString(), QString()));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("    100"));
    ResetDecimalSeparator();
}

TEST(FormatAnalog, ScaledByteOffset49)
{
    Device dev(34, 0x0100);
    dev.Word(0x42, 196);
    const int i = dev.Add(211, QString(), QString(), QStringLiteral("0150"));
    const int s2 = dev.Add(211, QStringLiteral("S2"), QString(), QStringLiteral("0150"));
    dev.Byte(0x50, 149);
    EXPECT_EQ(show(dev, i), QStringLiteral("    100"));
    EXPECT_EQ(show(dev, s2), QStringLiteral("    149"));
}

TEST(FormatAnalog, IndirectValueFormattedByTheKindOfItsInput)
{
    SetDecimalSeparator(QLatin1Char(','));
    struct Case { const char *address; int kindIndex; int kind; const char *key; std::vector<int> word; const char *expected; };
    const Case cases[] = {
        {"08E0", 0xDC, 1, "", {0xFF, 0xF6}, "    -10"},
        {"08E2", 0xDC, 5, "", {0x00, 0x7B}, "   12,3"},
        {"0DC4", 0xDC, 9, "", {0xFF, 0xF6}, "   -1,0"},
        {"08EE", 0xDF, 10, "", {0xFF, 0xFF}, "  -0,01"},
        {"0DEC", 0x5E1, 2, "S6", {0xC9, 0x00}, "   2400"},
        {"08E0", 0xDC, 0, "", {0x00, 0x01}, "   ----"},
        {"0DC5", 0xDC, 1, "", {0x00, 0x01}, "   ----"}, // between two inputs: no kind
        {"08E0", 0xDC, 99, "", {0x00, 0x01}, "       "},
    };
    for (const Case &c : cases) {
        Device dev(0, 0x0800);
        dev.Byte(c.kindIndex, c.kind);
        const int i = dev.Add(14, QLatin1String(c.key), QString(), QLatin1String(c.address));
        dev.Bytes(QString::fromLatin1(c.address).toInt(nullptr, 16), c.word);
        EXPECT_EQ(show(dev, i), QLatin1String(c.expected)) << c.address << " kind " << c.kind;
        EXPECT_EQ(dev.d->AnalogInputKind, QLatin1String(c.address) == QLatin1String("0DC5") ? 0 : c.kind);
    }
    // An actual value names its input by offset from the image base.
    Device dev(0, 0x0800);
    dev.Byte(0xDC, 1);
    const int row = dev.AddValue(QStringLiteral(" Analog*0,E,"));
    dev.f->FormatActualValue(row, 14, QStringLiteral("E0"));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("    224"));
    ResetDecimalSeparator();
}

TEST(FormatEdgeCases, AddressOutsideTheImageShowsQuestionMark)
{
    Device dev; // image base 0x0800
    const int below = dev.Add(4, QString(), QString(), QStringLiteral("0700"));
    const int lastByte = dev.Add(9, QString(), QString(), QStringLiteral("87FF"));
    const int lastWord = dev.Add(4, QString(), QString(), QStringLiteral("87FF"));
    const int beyond = dev.Add(16, QString(), QString(), QStringLiteral("FFFF"));
    dev.Byte(0x7FFF, 9);
    EXPECT_EQ(dev.Param(below), QStringLiteral("      ?"));
    EXPECT_EQ(dev.Param(lastByte), QStringLiteral("      9"));
    EXPECT_EQ(dev.Param(lastWord), QStringLiteral("      ?")); // its low byte would be outside
    EXPECT_EQ(dev.Param(beyond), QStringLiteral("      ?"));
}

TEST(FormatEdgeCases, Address0800IsAlwaysTheFirstImageByte)
{
    Device dev(34, 0x0100);
    dev.Byte(0, 0x42);
    dev.Byte(0x700, 0x01);
    const int i = dev.Add(9, QString(), QString(), QStringLiteral("0800"));
    EXPECT_EQ(dev.Param(i), QStringLiteral("     66"));
}

TEST(FormatEdgeCases, NumbersThatAreNoNumbersGiveAConversionError)
{
    struct Case { int code; const char *key; const char *max; const char *value; const char *address; };
    const Case cases[] = {
        {4, "", "", "XYZ", "0A00"},
        {4, "", "", "123456789", "0A00"}, // more than 32 bits
        {4, "", "", "", "ZZ"},
        {4, "", "", "", ""},
        {29, "Q", "", "", "0A00"},
        {28, "1", "x", "", "0A00"},
        {28, "", "8", "", "0A00"},
        {26, "G", "", "", "0A00"},
        {32, "2O", "", "", "0A00"},
        {33, "-", "", "", "0A00"},
    };
    for (const Case &c : cases) {
        Device dev;
        const int i = dev.Add(c.code, QLatin1String(c.key), QLatin1String(c.max), QLatin1String(c.address));
        dev.f->FormattedValue = QStringLiteral("kept");
        EXPECT_FALSE(dev.f->FormatValue(i, c.code, QLatin1String(c.value), QLatin1String(c.address))) << c.code;
        EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("kept")) << c.code;
        ASSERT_EQ(dev.prompter.errors.size(), 1) << c.code << " " << c.key << " " << c.value;
    }
    // Without a prompter the value just keeps its text.
    Device quiet;
    quiet.f->SetPrompter(nullptr);
    quiet.f->FormattedValue = QStringLiteral("kept");
    EXPECT_FALSE(quiet.f->FormatValue(1, 4, QStringLiteral("nope"), QStringLiteral("0A00")));
    EXPECT_EQ(quiet.f->FormattedValue, QStringLiteral("kept"));
}

TEST(FormatEdgeCases, ValueTextsInsteadOfTheImage)
{
    SetDecimalSeparator(QLatin1Char(','));
    Device dev;
    dev.Bytes(0x0A00, {0x12, 0x34});
    const int i = dev.Add(6);
    EXPECT_TRUE(dev.f->FormatValue(i, 6, QStringLiteral("FFF6"), QStringLiteral("0A00")));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("   -1,0"));
    EXPECT_TRUE(dev.f->FormatValue(i, 1, QStringLiteral("ab"), QString()));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("   00AB"));
    // Code 34 turns a negative 32-bit text positive.
    const int row = dev.AddValue(QStringLiteral(" Zaehler*0,22,"));
    EXPECT_TRUE(dev.f->FormatActualValue(row, 34, QStringLiteral("FFFFFFFF")));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("      1"));
    ResetDecimalSeparator();
}

TEST(FormatEdgeCases, CounterHiddenWithoutItsOption)
{
    Device dev;
    const int i = dev.Add(34, QString(), QString(), QStringLiteral("08B2"));
    dev.Bytes(0x08B2, {0x00, 0x07});
    EXPECT_EQ(dev.Param(i), QStringLiteral("   ----"));
    dev.Bytes(0x0870, {0x02});
    EXPECT_EQ(dev.Param(i), QStringLiteral("      7"));
}

TEST(FormatEdgeCases, TemperatureHiddenOnSomeSpeedControllers)
{
    SetDecimalSeparator(QLatin1Char(','));
    Device dev(34, 0x0100);
    const int i = dev.Add(219, QString(), QString(), QStringLiteral("0150"));
    dev.Byte(0x5D, 0x10);
    EXPECT_EQ(dev.Param(i), QStringLiteral("    2,5"));
    dev.d->State.DefinitionFile = QStringLiteral("/data/ZPA/A70-021-DE.ZPA");
    EXPECT_EQ(dev.Param(i), QStringLiteral("   ----"));
    dev.Byte(0x5D, 0x00);
    EXPECT_EQ(dev.Param(i), QStringLiteral("    2,5"));
    ResetDecimalSeparator();
}

TEST(FormatEdgeCases, ActualValuesUseTheirOwnFormatAsKey)
{
    Device dev;
    dev.AddValue(QStringLiteral(" Baud*0,2,S6"));
    dev.AddValue(QStringLiteral(" Baud*0,2,S7"));
    dev.AddValue(QStringLiteral(" Relais*0,1A,3"));
    dev.AddValue(QStringLiteral(" Feld*0,1C,4"));
    // Row 0 is an actual value too, not parameter 0.
    EXPECT_TRUE(dev.f->FormatActualValue(0, 2, QStringLiteral("C900")));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("   2400"));
    EXPECT_TRUE(dev.f->FormatValue(-1, 2, QStringLiteral("C000")));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("   9600"));
    EXPECT_TRUE(dev.f->FormatValue(-2, 26, QStringLiteral("13")));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("     Ja"));
    EXPECT_TRUE(dev.f->FormatValue(-3, 28, QStringLiteral("A5")));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("     10"));
}

TEST(FormatEdgeCases, IndexesOutsideTheListsAreHarmless)
{
    Device dev;
    EXPECT_TRUE(dev.f->FormatValue(999, 2, QStringLiteral("10")));
    EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("     16"));
    EXPECT_EQ(dev.Param(999), QStringLiteral("       "));
    EXPECT_EQ(dev.Param(-5), QStringLiteral("       "));
    dev.f->FormatValue(-999, 26, QStringLiteral("1"));
    EXPECT_EQ(dev.prompter.errors.size(), 1); // an empty key is no mask
}

TEST(FormatEdgeCases, ScenariosFromTheGrid)
{
    SetDecimalSeparator(QLatin1Char(','));
    Device dev;
    const int a = dev.Add(6);
    dev.Bytes(0x0A00, {0xFF, 0xF6});
    EXPECT_EQ(dev.Param(a), QStringLiteral("   -1,0"));
    const int b = dev.Add(86);
    dev.Bytes(0x0A00, {0x80, 0x00});
    EXPECT_EQ(dev.Param(b), QStringLiteral("   Nein"));
    dev.Bytes(0x0A00, {0xC0, 0x00});
    EXPECT_EQ(dev.Param(b), QStringLiteral("     Ja"));
    ResetDecimalSeparator();
}
