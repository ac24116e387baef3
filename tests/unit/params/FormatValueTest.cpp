#include "FormatFixture.h"
#include "shell/Texts.h"

using namespace fmt_test;

// Parameters at device address 0x0A00 of a set-A controller (image base 0x0800).

TEST(FormatValue, HexadecimalAndIntegerCodes)
{
    RunTable({
        {1, "", "", {0x00, 0xAB}, "   00AB"},
        {1, "", "", {0xFF, 0xFF}, "   FFFF"},
        {8, "", "", {0x0A, 0xFF}, "     0A"},
        {40, "", "", {0xA7}, "      7"},
        {41, "", "", {0xA7}, "      A"},
        {9, "", "", {7, 0xFF}, "      7"},   // one byte only
        {11, "", "", {25}, "    250"},
        {5, "", "", {0xFF, 0xF6}, "    -10"},
        {5, "", "", {0x7F, 0xFF}, "  32767"},
        {5, "", "", {0x80, 0x00}, " -32768"},
        {27, "", "", {0x80}, "   -128"},
        {27, "", "", {0x7F}, "    127"},
        {192, "", "", {51}, "    255"},
        {209, "", "", {255}, "   5100"},
        {215, "", "", {0x01, 0x02}, "    258"}, // read as a word like the editor writes it
        {103, "", "", {0x00, 0x00}, "    -10"},
        {103, "", "", {0x00, 0x03}, "     50"},
        {34, "", "", {0x12, 0x34}, "   4660"},
        {2, "", "", {0x12, 0x34}, "   4660"},
        {2, "S9", "", {0x12, 0x34}, "   4660"},
    });
}

TEST(FormatValue, PlainWordsInTheGrid)
{
    // 194 and 207 (access code, delivery hours) have a rule: the grid shows it rather than
    // an empty value.
    Device dev;
    dev.Bytes(0x0A00, {0xFF, 0xFF});
    for (int code : {194, 207}) {
        const int i = dev.Add(code);
        EXPECT_EQ(dev.Param(i), QStringLiteral("  65535")) << code;
        EXPECT_TRUE(dev.f->FormatValue(i, code, QString(), QStringLiteral("0A00")));
        EXPECT_EQ(dev.f->FormattedValue, QStringLiteral("  65535")) << code;
    }
}

TEST(FormatValue, ScaledDecimalCodes)
{
    RunTable({
        {3, "", "", {0x00, 0x7B}, "   12,3"},
        {3, "", "", {0x30, 0x39}, " 1235,0"},   // 1234.5 cut to four digits
        {3, "", "", {0xFF, 0xFF}, " 6554,0"},
        {10, "", "", {5}, "    0,5"},
        {6, "", "", {0xFF, 0xF6}, "   -1,0"},
        {6, "", "", {0x80, 0x00}, "-3277,0"},
        {15, "", "", {0}, "    0,1"},
        {15, "", "", {255}, "   25,6"},
        {193, "", "", {0}, "    0,2"},
        {4, "", "", {0x04, 0xD2}, "  12,34"},
        {4, "", "", {0x30, 0x39}, " 123,50"},
        {4, "", "", {0x00, 0x05}, "   0,05"},
        {7, "", "", {0xFF, 0xFF}, "  -0,01"},
        {13, "", "", {0x80, 0x01}, "   0,00"}, // the top bit is dropped, not a sign
        {13, "", "", {0x27, 0x10}, "   1,00"},
        {13, "", "", {0x00, 0x32}, "   0,01"},
        {24, "", "", {0xFC, 0x18}, " -1,000"},
        {24, "", "", {0x04, 0xD2}, "  1,234"},
        {96, "", "", {0x00, 0x01}, "    0,0"},
        {96, "", "", {0x00, 0x03}, "    0,1"},
        {97, "", "", {0x01, 0xF4}, "   10,0"},
    });
}

TEST(FormatValue, RoundedCodesGoToTheEvenNeighbour)
{
    RunTable({
        {98, "", "", {0x00, 25}, "      2"},   // 2.5
        {98, "", "", {0x00, 35}, "      4"},   // 3.5
        {99, "", "", {0x00, 100}, "    0,4"},
        {101, "", "", {0x00, 63}, "    100"},
        {102, "", "", {0x00, 3}, "      4"},
        {102, "", "", {0x00, 4}, "      5"},
        {104, "", "", {0x01, 0x00}, "   1,00"},
        {104, "", "", {0x00, 0x03}, "   0,01"},
        {112, "", "", {0x00, 0x05}, "   0,10"},
        {113, "", "", {0x01, 0x80}, "      2"}, // 1.5
        {113, "", "", {0x02, 0x80}, "      2"}, // 2.5
        {219, "", "", {0}, "    2,5"},
        {219, "", "", {1}, "    2,6"},
        {219, "", "", {2}, "    2,8"},         // 27.5 tenths
        {219, "", "", {4}, "    3,0"},
        {228, "", "", {100}, "   15,5"},
        {228, "", "", {255}, "   35,6"},
        {221, "", "", {255}, "     60"},
        {221, "", "", {6}, "      1"},
        {208, "", "", {5}, "      0"},
        {208, "", "", {6}, "    141"},
        {208, "", "", {255}, "    276"},
        {223, "", "", {10}, "      0"},
        {223, "", "", {11}, "    144"},
    });
}

TEST(FormatValue, CodesScaledByTheWordAt0100)
{
    // Image index 0x100 is the calibration word, not the device address 0x0100.
    RunTable({{100, "", "", {0x00, 0x03}, "      3"}, {105, "", "", {0x00, 25}, "    2,5"}}, 0, 0,
             [](Device &dev) { dev.Word(0x100, 4000); });
    RunTable({{100, "", "", {0x00, 0x05}, "      2"}}, 0, 0, [](Device &dev) { dev.Word(0x100, 2000); });
}

TEST(FormatValue, VoltageFactorsScaleCodes208And223)
{
    RunTable({{208, "", "", {255}, "    120"}, {223, "", "", {255}, "    160"}}, 0, 0, [](Device &dev) {
        dev.d->State.MainsFactor = 60;
        dev.d->State.GenFactor = 80;
    });
}

TEST(FormatValue, YesNoCodes)
{
    RunTable({
        {16, "", "", {0x01}, "     Ja"},
        {16, "", "", {0xFE}, "   Nein"},
        {23, "", "", {0x80}, "     Ja"},
        {23, "", "", {0x7F}, "   Nein"},
        {48, "", "", {0x01, 0x00}, "     Ja"}, // alarm parameters: one byte like 16..23
        {55, "", "", {0x80, 0x00}, "     Ja"},
        {29, "3", "", {0x00, 0x08}, "     Ja"},
        {29, "F", "", {0x80, 0x00}, "     Ja"},
        {29, "0", "", {0xFF, 0xFF}, "   Nein"},
        {29, "10", "", {0xFF, 0xFF}, "   Nein"},
        {64, "", "", {0x00, 0x01}, "     Ja"},
        {73, "", "", {0x02, 0x00}, "     Ja"},
        {73, "", "", {0x00, 0xFF}, "   Nein"},
        {80, "", "", {0x04, 0x00}, "     Ja"},
        {85, "", "", {0x80, 0x00}, "     Ja"},
        {85, "", "", {0x40, 0x00}, "   Nein"},
        {86, "", "", {0x80, 0x00}, "   Nein"},
        {86, "", "", {0xC0, 0x00}, "     Ja"},
        {87, "", "", {0x0C, 0x00}, "     Ja"},
        {88, "", "", {0x00, 0xC0}, "     Ja"},
        {88, "", "", {0x00, 0x40}, "   Nein"},
        {114, "", "", {0x00, 0x10}, "     Ja"},
        {114, "", "", {0x00, 0x30}, "   Nein"},
        {115, "", "", {0x00, 0x20}, "     Ja"},
        {116, "", "", {0x00, 0x40}, "     Ja"},
        {117, "", "", {0x00, 0x80}, "     Ja"},
        {117, "", "", {0x00, 0xC0}, "   Nein"},
    });
}

TEST(FormatValue, YesNoIndexFollowsTheBit)
{
    Device dev;
    const int a = dev.Add(17);
    dev.Bytes(0x0A00, {0x02});
    dev.Param(a);
    EXPECT_EQ(dev.f->YesNoIndex, QStringLiteral("0"));
    dev.Bytes(0x0A00, {0xFD});
    dev.Param(a);
    EXPECT_EQ(dev.f->YesNoIndex, QStringLiteral("1"));
    const int b = dev.Add(29, QStringLiteral("20"));
    dev.Bytes(0x0A00, {0xFF, 0xFF});
    dev.f->YesNoIndex = QStringLiteral("0");
    dev.Param(b);
    EXPECT_EQ(dev.f->YesNoIndex, QStringLiteral("1"));
}

TEST(FormatValue, BitFieldsAndNibbles)
{
    RunTable({
        {28, "2", "3", {0xBC}, "      7"},
        {28, "4", "4", {0xA5}, "     10"},
        {28, "0", "8", {0xFF}, "    255"},
        {28, "0", "9", {0xFF}, "    255"},  // wider than a byte: the byte
        {28, "40", "8", {0xFF}, "      0"}, // beyond the byte: nothing left
        {28, "7", "1", {0x80}, "      1"},
    });
}

TEST(FormatValue, OutputAssignmentOnSetA)
{
    RunTable({
        {26, "5", "", {0x07}, "     Ja"},
        {26, "5", "", {0x02}, "   Nein"},
        {26, "3", "A2", {0x13}, "     Ja"},  // number of the output in the low nibble
        {26, "3", "A2", {0x07}, "   Nein"},  // bits would match, number does not
        {26, "0", "", {0x80}, "   Nein"},    // 128 with no mask: not assigned
        {26, "0", "", {0x05}, "     Ja"},
        {26, "0", "A2", {0x00}, "     Ja"},
        {26, "10", "A2", {0x10}, "     Ja"}, // mask above 15: bit test
        {26, "10", "A2", {0x20}, "   Nein"},
        {26, "11", "A2", {0x23}, "   Nein"},
    });
}

TEST(FormatValue, OutputAssignmentOnSetBCountsToEighteen)
{
    RunTable({
        {26, "11", "A2", {0x11}, "     Ja"},
        {26, "11", "A2", {0x23}, "     Ja"}, // 35 mod 18 = 17
        {26, "3", "A2", {0x13}, "   Nein"},  // 19 mod 18 = 1
        {26, "3", "A2", {0x15}, "     Ja"},
    },
             5);
}

TEST(FormatValue, OutputAssignmentNeedsAControllerFamily)
{
    Device dev(32);
    const int i = dev.Add(26, QStringLiteral("1"));
    dev.Bytes(0x0A00, {0x01});
    EXPECT_EQ(dev.Param(i), QStringLiteral("       "));
}

TEST(FormatValue, BaudRatesFromTheHighByte)
{
    RunTable({
        {2, "S6", "", {0xC9, 0x00}, "   2400"},
        {2, "S6", "", {0x00, 0x55}, "  62500"},
        {2, "S6", "", {0x12, 0x00}, "  15625"},
        {2, "S6", "", {0x1C, 0x00}, "  15625"},
        {2, "S6", "", {0xC0, 0x00}, "   4800"},
        {2, "S6", "", {0xD2, 0x00}, "   1200"},
        {2, "S6", "", {0x01, 0x00}, "      0"},
        {2, "S7", "", {0x09, 0x00}, "  62500"},
        {2, "S7", "", {0xC0, 0x00}, "   9600"},
        {2, "S7", "", {0xC9, 0x00}, "   4800"},
        {2, "S7", "", {0xD2, 0x00}, "   2400"},
        {2, "S7", "", {0x00, 0x00}, "      0"},
    });
}

TEST(FormatValue, SeparatorRowsAndUnknownCodesLeaveTheText)
{
    Device dev;
    for (int code : {246, 200, 42, 0}) {
        const int i = dev.Add(code);
        dev.f->FormattedValue = QStringLiteral("before");
        EXPECT_EQ(dev.f->FormatValue(i, code, QString(), QStringLiteral("0A00")), code == 0) << code;
        EXPECT_EQ(dev.f->FormattedValue, code == 0 ? QStringLiteral("   ----") : QStringLiteral("before")) << code;
    }
    const int t = dev.Add(0xFF);
    EXPECT_EQ(dev.Param(t), QStringLiteral("   ----"));
}
