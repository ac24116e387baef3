// The arithmetic of the choice, bit-word, label-text, fault-coding and relay dialogs.
#include "params/EditRequests.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

std::array<QString, 20> Filled(int count)
{
    std::array<QString, 20> o;
    for (int i = 0; i < count; ++i)
        o[size_t(i)] = QStringLiteral("Option %1").arg(i + 1);
    return o;
}

TEST(Choice8, ChecksOnShowAndUnchangedResult)
{
    struct Case
    {
        int filled; // options 0..filled-1 have a text
        int emptyOption;
        int current, checked, result;
    };
    const Case cases[] = {
        {8, -1, 0x42, 0x42, 0x42},
        // Two bits of one radio group: the later button stays checked.
        {8, -1, 0x03, 0x02, 0x02},
        {8, -1, 0x35, 0x24, 0x24},
        // Cb_2 clears everything else.
        {8, -1, 0xC2, 0x80, 128},
        // Empty options neither show nor check.
        {8, 1, 0x42, 0x40, 0x40},
        {2, -1, 0xFF, 0x02, 0x02},
        {8, -1, 0x00, 0x00, 0x00},
    };
    for (const Case &c : cases) {
        Choice8Request r;
        r.Options = Filled(c.filled);
        if (c.emptyOption >= 0)
            r.Options[size_t(c.emptyOption)].clear();
        r.Current = c.current;
        EXPECT_EQ(r.CheckedOnShow(), c.checked) << std::hex << c.current;
        EXPECT_EQ(Choice8Request::Result(r.CheckedOnShow()), c.result) << std::hex << c.current;
    }
    Choice8Request r;
    r.Options = Filled(8);
    r.Options[5].clear();
    EXPECT_EQ(r.VisibleControls(), 0xDF);
}

TEST(Choice8, ResultOfCheckedControls)
{
    const std::pair<int, int> cases[] = {
        {0x81, 128}, {0xFF, 128}, {0x05, 4}, {0x0F, 8}, {0x30, 32}, {0x10, 16}, {0x51, 81}, {0x40, 64}, {0, 0},
    };
    for (auto [mask, byte] : cases)
        EXPECT_EQ(Choice8Request::Result(mask), byte) << std::hex << mask;
}

TEST(Choice16, PreselectionByProgramVersion)
{
    struct Case
    {
        int version, current, radio;
        bool cb17, cb18, cb1, cb2;
        int unchanged; // the byte OK hands back without a change
    };
    const Case cases[] = {
        // From version 30 on the upper bits are plain flags and no option is preselected.
        {30, 0xF3, -1, true, true, true, true, 0xF0},
        {45, 0x03, -1, false, false, false, false, 0x00},
        // Older: option k by its code (codes 2, 4, 6, ... here), flags from the bits.
        {29, 0x54, 1, true, false, true, false, 0x54},
        {11, 0x2E, 6, false, true, false, false, 0x2E},
        // Bit 7 alone.
        {29, 0xD4, -1, false, false, false, true, 128},
        // No option carries the code: nothing checked.
        {29, 0x13, -1, true, false, false, false, 0x10},
    };
    for (const Case &c : cases) {
        Choice16Request r;
        r.ProgramVersion = c.version;
        r.Current = c.current;
        for (int k = 0; k < 16; ++k)
            r.OptionCodes[size_t(k)] = k < 8 ? 2 * (k + 1) : -1;
        const Choice16Request::Checks s = r.OnShow();
        EXPECT_EQ(s.Radio, c.radio) << c.version << ' ' << c.current;
        EXPECT_EQ(s.Cb17, c.cb17) << c.current;
        EXPECT_EQ(s.Cb18, c.cb18) << c.current;
        EXPECT_EQ(s.Cb1, c.cb1) << c.current;
        EXPECT_EQ(s.Cb2, c.cb2) << c.current;
        EXPECT_EQ(r.Result(s), c.unchanged) << c.current;
    }
}

TEST(Choice16, ResultOfChecks)
{
    Choice16Request r;
    r.OptionCodes = {0x1, 0x2, 0x3, 0xA, -1};
    using C = Choice16Request::Checks;
    const C optionAndCb2{3, false, true, false, true}, unreadable{4, false, false, true, false};
    r.ProgramVersion = 30;
    EXPECT_EQ(r.Result(optionAndCb2), 0xAA);
    EXPECT_EQ(r.Result(unreadable), 0x40);
    r.ProgramVersion = 29;
    EXPECT_EQ(r.Result(optionAndCb2), 128); // exactly, whatever else is checked
}

TEST(RadioChoice, VisibilityAndResult)
{
    RadioChoiceRequest r;
    r.Options[0] = QStringLiteral("Sammelstörung");
    r.Options[1] = QStringLiteral("reserviert");
    r.Options[2] = QStringLiteral("Relais (Reserviert 2)");
    r.Options[4] = QStringLiteral("Hupe");
    r.Options[17] = QStringLiteral("Letzte");
    r.Options[18] = QStringLiteral("Keine Taste"); // beyond the 18 buttons
    const bool visible[] = {true, false, false, false, true};
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(r.Visible(k), visible[k]) << k;
    EXPECT_TRUE(r.Visible(17));
    EXPECT_FALSE(r.Visible(18));
    r.OptionCount = 8;
    EXPECT_FALSE(r.Visible(17));

    r.OptionCodes[4] = 0x1C;
    r.OptionCodes[5] = -1;
    EXPECT_EQ(r.Result(4), 0x1C);
    EXPECT_EQ(r.Result(-1), 0);
    EXPECT_EQ(r.Result(5), 0);
}

TEST(BitWord, ChecksAndResult)
{
    const std::pair<int, int> cases[] = {
        {0x8003, 0x8002}, {0x0001, 0x0000}, {0xFFFF, 0xFFFE}, {0x4010, 0x4010}, {0, 0}, {-5, 0},
        // Above 16 bits the subtraction leaves every box checked.
        {0x10000, 0xFFFE},
    };
    for (auto [current, checked] : cases) {
        BitWordRequest r;
        r.Current = current;
        EXPECT_EQ(r.CheckedOnShow(), checked) << std::hex << current;
        EXPECT_EQ(BitWordRequest::Result(r.CheckedOnShow()), checked) << std::hex << current;
    }
    EXPECT_EQ(BitWordRequest::Result(0xFFFF), 0xFFFE);
}

TEST(LabelText, SplitsTheCurrentText)
{
    struct Case
    {
        const char *current;
        int length;
        const char *prefix, *line1, *line2;
    };
    const Case cases[] = {
        {"05|abc|12345678|Rest|", 32, "05", "abc", "12345678"},
        // Five blanks and eleven characters fill the first half of the record.
        {"12|Öldruck zu niedrig!|Abschaltung sofort jetzt|", 32, "12", "Öldruck zu ", "Abschaltung sofo"},
        {"3|Generatorschutz|x|", 24, "3", "Generatorsc", "x"},
        {"3|Generatorschutz|x|", 9, "3", "Gene", "x"},
        {"07||", 32, "07", "", ""},
        {"ohne Trenner", 32, "ohne Trenner", "", ""},
    };
    for (const Case &c : cases) {
        LabelTextRequest r;
        r.CurrentText = QString::fromUtf8(c.current);
        r.RecordLength = c.length;
        EXPECT_EQ(r.Prefix(), QString::fromUtf8(c.prefix)) << c.current;
        EXPECT_EQ(r.Line1(), QString::fromUtf8(c.line1)) << c.current;
        EXPECT_EQ(r.Line2(), QString::fromUtf8(c.line2)) << c.current;
    }
}

TEST(LabelText, Record)
{
    struct Case
    {
        const char *line1, *line2, *record;
    };
    const Case cases[] = {
        {"abc", "12345678", "     abc        12345678        "},
        {"", "", "            #05                 "},
        {"", "Zeile", "                Zeile           "},
        // Lines longer than their halves never push the record past 32 characters.
        {"ABCDEFGHIJKLMNOP", "0123456789abcdefXY", "     ABCDEFGHIJK0123456789abcdef"},
    };
    LabelTextRequest r;
    r.CurrentText = QStringLiteral("05|alt|alt|");
    for (const Case &c : cases)
        EXPECT_EQ(r.Record(QString::fromUtf8(c.line1), QString::fromUtf8(c.line2)), QString::fromUtf8(c.record))
            << c.line1 << '/' << c.line2;
}

TEST(FaultCoding, PreselectionFromTheLetters)
{
    struct Case
    {
        const char *letters;
        bool arVisible;
        int vu, i0, ar, sw;
    };
    const Case cases[] = {
        {"A-V-S-I", true, 0, 0, 0, 0},
        {"R-U-W-0", true, 1, 1, 1, 1},
        {"A-U-S-0", true, 1, 1, 0, 0},
        {"V-W-I", false, 0, 0, 0, 1}, // no A/R byte
        {"R", true, 1, 1, 1, 1},     // reduced: only A/R shown
    };
    for (const Case &c : cases) {
        FaultCodingRequest r;
        r.Letters = QString::fromUtf8(c.letters);
        const FaultFlags f = r.OnShow();
        EXPECT_EQ(r.ArVisible(), c.arVisible) << c.letters;
        EXPECT_EQ(f.VU, c.vu) << c.letters;
        EXPECT_EQ(f.I0, c.i0) << c.letters;
        EXPECT_EQ(f.AR, c.ar) << c.letters;
        EXPECT_EQ(f.SW, c.sw) << c.letters;
    }
}

TEST(FaultCoding, Legend)
{
    const QString legend = QStringLiteral("V - verzögert   U - unverzögert\rI - Gen. bleibt ein   0 - Gen. aus");
    const QString withContact = QStringLiteral("A - Make-contact   R - Break-contact\rV - verzögert");
    struct Case
    {
        QString legend;
        int type;
        bool reduced;
        QString shown;
    };
    const Case cases[] = {
        {legend, 20, false, legend},
        {legend, 31, false, QStringLiteral("V - verzögert   U - unverzögert\rI - Warnung II aus   0 - Warnung II ein")},
        {withContact, 52, true, QStringLiteral("A - Make-contact   R - Break-contact")},
        {legend, 53, true, QStringLiteral("Fehlerkodierung:\rA - Arbeitsstrom   R - Ruhestrom")},
        {withContact, 53, false, withContact},
    };
    for (const Case &c : cases) {
        FaultCodingRequest r;
        r.Legend = c.legend;
        r.DeviceType = c.type;
        r.Reduced = c.reduced;
        EXPECT_EQ(r.ShownLegend(), c.shown) << c.type;
    }
}

TEST(FaultCoding, ItemsOfTheFourthBoxByDefinition)
{
    const QStringList generator = {QStringLiteral("Gen. bleibt ein"), QStringLiteral("Gen. aus")};
    for (auto [file, isGenerator] : {std::pair{"Z101_V30.ZPA", true}, {"A70-010_V2.ZPA", false}, {"XA70-025", false}}) {
        FaultCodingRequest r;
        r.DefinitionFile = QLatin1String(file);
        EXPECT_EQ(r.Items(3) == generator, isGenerator) << file;
        EXPECT_EQ(r.Items(3).size(), 2) << file;
    }
}

} // namespace
