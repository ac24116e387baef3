// The numeric editors with keys, device words and access restrictions, and the yes/no editors.
#include "EditTestSupport.h"
#include "shell/Texts.h"

using namespace edit_test;

namespace {

class EditCodes : public ::testing::Test
{
protected:
    void TearDown() override { ResetDecimalSeparator(); }
};

// --- Code 2 -------------------------------------------------------------------------------

TEST_F(EditCodes, Code2BaudRatesAreOneByteByTable)
{
    struct Row
    {
        const char *key;
        double typed;
        int stored;
    } rows[] = {{"S6", 1200, 210}, {"S6", 4800, 192}, {"S6", 15625, 18}, {"S6", 62500, 0},
                {"S7", 2400, 210}, {"S7", 9600, 192}, {"S7", 62500, 9}};
    for (const Row &r : rows) {
        Bench b;
        const int i = Param(b, 2, r.key, "62500");
        b.SetByte(0x0A00, 0x77);
        b.SetByte(0x0A01, 0x55);
        EXPECT_EQ(b.Edit(i, {r.typed}), EditResult::Written) << r.key << " " << r.typed;
        EXPECT_EQ(b.Byte(0x0A00), r.stored) << r.key << " " << r.typed;
        EXPECT_EQ(b.Byte(0x0A01), 0x55) << "one byte only";
        EXPECT_TRUE(b.host.Dependencies.empty());
    }
    Bench b;
    const int i = Param(b, 2, "S6", "62500");
    b.Edit(i, {1});
    EXPECT_EQ(b.Last().Hint, QStringLiteral("Gültige Eingabe: 1200, 2400, 4800, 15625, 62500 Baud"));
}

TEST_F(EditCodes, Code2RateNotInTheListIsNotStored)
{
    Bench b;
    const int i = Param(b, 2, "S7", "62500");
    b.SetByte(0x0A00, 0x42);
    EXPECT_EQ(b.Edit(i, {3000}), EditResult::Rejected);
    EXPECT_EQ(b.Byte(0x0A00), 0x42);
    EXPECT_EQ(b.prompter.Errors, QStringList{GetText(128)});
}

TEST_F(EditCodes, Code2LimitsFromDeviceWords)
{
    Bench b;
    b.d().Geraet.SetWord(0x68, 100);
    const int i = Param(b, 2, "S1", "0", "0A00", "V");
    EXPECT_EQ(b.Edit(i, {150}), EditResult::Written) << Messages(b);
    EXPECT_FLOAT_EQ(b.Last().Minimum, 100);
    EXPECT_FLOAT_EQ(b.Last().Maximum, 177);
    EXPECT_EQ(b.Last().Hint, QStringLiteral("Gültige Eingabe: 100 - 177 V"));
    EXPECT_EQ(b.Word(0x0A00), 150);
    ASSERT_EQ(b.host.Dependencies.size(), 1u);
    EXPECT_EQ(b.host.Dependencies[0], std::make_pair(QStringLiteral("0A00"), 0));
}

TEST_F(EditCodes, Code2VoltageLimitsByFactorAndRatio)
{
    struct Row
    {
        const char *key;
        int factor, n, d, d2;
        float lo, hi;
        int decimals;
        double typed;
        int stored;
    } rows[] = {
        {"S4", 138, 0, 0, 0, 150, 300, 0, 230, 230},
        {"S4", 60, 0, 0, 0, 40, 150, 0, 100, 100},
        {"S4", 240, 0, 0, 0, 260, 520, 0, 400, 400},
        {"S4", 250, 0, 0, 0, 325, 650, 0, 400, 400},
        {"S4", 138, 5000, 100, 0, 7.5f, 15, 2, 10.25, 1025},
        // Ratios up to 100 leave the unit in volts: the limits stay volts too.
        {"S4", 138, 50, 10, 0, 750, 1500, 0, 1000, 1000},
        {"S4", 138, 100, 100, 0, 150, 300, 0, 231, 231},
        {"S4", 138, 101, 100, 0, 0.1515f, 0.303f, 2, 0.2, 20},
        {"S4", 138, 20000, 100, 0, 30, 60, 1, 45.5, 455},
        {"S5", 138, 5000, 999, 100, 7.5f, 15, 2, 10, 1000}, // not large-ratio: D from 0x09C2
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.key << " factor " << r.factor << " N " << r.n);
        Bench b;
        const bool mains = QString::fromUtf8(r.key) == QLatin1String("S4");
        b.SetByte(mains ? 0x080C : 0x080D, r.factor);
        b.SetWord(mains ? 0x09BC : 0x09BE, r.n);
        b.SetWord(0x09C0, r.d);
        b.SetWord(0x09C2, r.d2);
        const int i = Param(b, 2, r.key, "0", "0A00", "V");
        EXPECT_EQ(b.Edit(i, {r.typed}), EditResult::Written) << Messages(b);
        EXPECT_FLOAT_EQ(b.Last().Minimum, r.lo);
        EXPECT_FLOAT_EQ(b.Last().Maximum, r.hi);
        EXPECT_EQ(b.Last().Decimals, r.decimals);
        EXPECT_EQ(b.Word(0x0A00), r.stored);
        EXPECT_EQ(mains ? b.d().State.MainsFactor : b.d().State.GenFactor, r.factor);
    }
}

TEST_F(EditCodes, Code2LargeRatioDeviceKeepsSmallRatiosUnscaled)
{
    Bench b(9);
    b.d().Geraet.IdentBlock[11] = 12;
    b.SetByte(0x080C, 138);
    b.SetWord(0x09BC, 500);
    b.SetWord(0x09C0, 100);
    const int i = Param(b, 2, "S4", "0");
    b.Edit(i, {});
    // 150 × 500 / 100 without the division by 1000; N ≤ 766 gives no decimals here.
    EXPECT_FLOAT_EQ(b.Last().Minimum, 750);
    EXPECT_FLOAT_EQ(b.Last().Maximum, 1500);
    EXPECT_EQ(b.Last().Decimals, 0);
}

TEST_F(EditCodes, Code2WrongFactorOrZeroDivisorEndsWithoutDialog)
{
    Bench b;
    b.SetByte(0x080C, 100);
    const int i = Param(b, 2, "S4", "0");
    EXPECT_EQ(b.Edit(i, {200}), EditResult::Rejected);
    EXPECT_TRUE(b.dialogs.Requests.empty());
    EXPECT_EQ(b.prompter.Errors, QStringList{QStringLiteral("Factor is wrong.")});

    Bench z;
    z.SetByte(0x080C, 138);
    z.SetWord(0x09BC, 5000);
    const int j = Param(z, 2, "S4", "0");
    EXPECT_EQ(z.Edit(j, {200}), EditResult::Rejected);
    EXPECT_TRUE(z.dialogs.Requests.empty());
    EXPECT_EQ(z.prompter.Errors, QStringList{GetText(128)});
}

TEST_F(EditCodes, Code2CanRateNeedsALevelAndAListedRate)
{
    Bench b;
    const int i = Param(b, 2, "C0", "500");
    EXPECT_EQ(b.Edit(i, {125}), EditResult::Refused);
    EXPECT_EQ(b.prompter.Infos, QStringList{QStringLiteral("Nur für berechtigtes Personal")});
    EXPECT_TRUE(b.dialogs.Requests.empty());

    for (const char *level : {"Cus", "Fac", "Fer"}) {
        Bench ok;
        ok.access.Level = QString::fromUtf8(level);
        const int j = Param(ok, 2, "C0", "500");
        EXPECT_EQ(ok.Edit(j, {125}), EditResult::Written) << level;
        EXPECT_EQ(ok.Word(0x0A00), 125);
    }
    Bench bad;
    bad.access.Level = QStringLiteral("Cus");
    const int k = Param(bad, 2, "C0", "500");
    bad.SetWord(0x0A00, 250);
    EXPECT_EQ(bad.Edit(k, {30}), EditResult::Rejected);
    EXPECT_EQ(bad.prompter.Errors, QStringList{QStringLiteral("Factor is wrong.")});
    EXPECT_EQ(bad.Word(0x0A00), 250);
}

TEST_F(EditCodes, Code2PowerSwitchesToHundredthsAboveTheBound)
{
    Bench low;
    low.SetWord(0x0930, 4500);
    const int i = Param(low, 2, "S12", "500", "0A00", "kW");
    EXPECT_EQ(low.Edit(i, {300}), EditResult::Written);
    EXPECT_EQ(low.Last().Hint, QStringLiteral("Gültige Eingabe: 0 - 500 kW"));
    EXPECT_EQ(low.Last().Decimals, 0);
    EXPECT_EQ(low.Word(0x0A00), 300);

    Bench high;
    high.SetWord(0x0930, 4501);
    const int j = Param(high, 2, "S12", "50000", "0A00", "kW");
    EXPECT_EQ(high.Edit(j, {12.34}), EditResult::Written);
    EXPECT_FLOAT_EQ(high.Last().Maximum, 500);
    EXPECT_EQ(high.Last().Decimals, 2);
    EXPECT_EQ(high.Last().Hint, QStringLiteral("Gültige Eingabe: 0 - 500"));
    EXPECT_EQ(high.Word(0x0A00), 1234);

    // PA devices from version 12 compare ratio × rated mains current / 1000 with 304.
    Bench pa(8, 12);
    pa.SetWord(0x0930, 1000);
    pa.SetWord(0x08CC, 1000);
    pa.SetWord(0x09BC, 304);
    const int k = Param(pa, 2, "S12", "50000");
    pa.Edit(k, {});
    EXPECT_EQ(pa.Last().Decimals, 2);
}

TEST_F(EditCodes, Code2SpeedSensorNoteComesFirstOnControllers)
{
    Bench b(3);
    const int i = Param(b, 2, "0", "100", "08C0");
    b.Edit(i, {});
    EXPECT_EQ(b.prompter.Infos.size(), 1);
    Bench other(34);
    const int j = Param(other, 2, "0", "100", "08C0");
    other.Edit(j, {});
    EXPECT_TRUE(other.prompter.Infos.isEmpty());
}

// --- Codes 4, 5, 7, 8 -----------------------------------------------------------------------

TEST_F(EditCodes, Code4HardwareKeyNeedsFerAndSnapsToFiftyOrSixty)
{
    Bench b;
    const int i = Param(b, 4, "SW", "99", "0A00", "Hz");
    EXPECT_EQ(b.Edit(i, {57}), EditResult::Refused);
    EXPECT_EQ(b.prompter.Errors, QStringList{GetText(105)});
    EXPECT_TRUE(b.dialogs.Requests.empty());

    for (auto [typed, stored] : {std::pair<double, int>{57, 6000}, {56, 6000}, {55.99, 5000}, {50, 5000}}) {
        Bench f;
        f.access.Level = QStringLiteral("Fer");
        const int j = Param(f, 4, "SW", "99", "0A00", "Hz");
        EXPECT_EQ(f.Edit(j, {typed}), EditResult::Written);
        EXPECT_EQ(f.Last().Hint, QStringLiteral("Gültige Eingabe: 50 - 60 Hz"));
        EXPECT_EQ(f.Word(0x0A00), stored) << typed;
        EXPECT_EQ(f.d().Params.GetMin(j), QStringLiteral("SW")); // the key is put back
        EXPECT_EQ(f.d().Params.GetMax(j), QStringLiteral("60"));
    }
    Bench plain;
    const int k = Param(plain, 4, "0", "100");
    EXPECT_EQ(plain.Edit(k, {12.34}), EditResult::Written);
    EXPECT_EQ(plain.Last().Decimals, 2);
    EXPECT_EQ(plain.Word(0x0A00), 1234);
}

TEST_F(EditCodes, Code5RangesByConfigurationBits)
{
    struct Row
    {
        const char *key;
        int bitsAddress, bits;
        float lo, hi;
        const char *hint;
        double typed;
        int stored;
    } rows[] = {
        {"S1", 0x09B3, 0x04, -5000, 5000, "Gültige Eingabe: -5 000 bis +5 000", -100, 65436},
        {"S1", 0x09B3, 0x08, 0, 10000, "Gültige Eingabe: 0  bis +10 000", 9999, 9999},
        {"S3", 0x0C78, 0x02, -5000, 5000, "Gültige Eingabe: -5 000 bis +5 000", -1, 65535},
        {"S3", 0x0C78, 0x04, 0, 10000, "Gültige Eingabe: 0  bis +10 000", 10, 10},
    };
    for (const Row &r : rows) {
        Bench b;
        b.SetByte(r.bitsAddress, r.bits);
        const int i = Param(b, 5, r.key, "0");
        EXPECT_EQ(b.Edit(i, {r.typed}), EditResult::Written) << r.key << Messages(b);
        EXPECT_FLOAT_EQ(b.Last().Minimum, r.lo);
        EXPECT_FLOAT_EQ(b.Last().Maximum, r.hi);
        EXPECT_EQ(b.Last().Hint, QString::fromUtf8(r.hint));
        EXPECT_EQ(b.Word(0x0A00), r.stored);
    }
    // Neither bit: there is no range to offer.
    Bench none;
    const int j = Param(none, 5, "S1", "0");
    EXPECT_EQ(none.Edit(j, {1}), EditResult::Rejected);
    EXPECT_TRUE(none.dialogs.Requests.empty());

    Bench plain;
    const int k = Param(plain, 5, "-300", "300");
    EXPECT_EQ(plain.Edit(k, {-300}), EditResult::Written);
    EXPECT_EQ(plain.Word(0x0A00), 65236);

    Bench power;
    power.SetWord(0x0930, 10);
    const int p = Param(power, 5, "S12", "400", "0A00", "kW");
    EXPECT_EQ(power.Edit(p, {-200}), EditResult::Written);
    EXPECT_EQ(power.Last().Hint, QStringLiteral("Gültige Eingabe: -200 - 400 kW"));
    EXPECT_EQ(power.Word(0x0A00), 65336);
    EXPECT_TRUE(power.host.Dependencies.empty());
}

TEST_F(EditCodes, Code7IsATwosComplementWordInHundredths)
{
    Bench b;
    const int i = Param(b, 7, "-10", "10");
    EXPECT_EQ(b.Edit(i, {-1.5}), EditResult::Written);
    EXPECT_EQ(b.Last().Decimals, 2);
    EXPECT_EQ(b.Word(0x0A00), 0xFF6A);
}

TEST_F(EditCodes, Code8DeviceAddressIsProtectedAndHexadecimal)
{
    Bench b;
    const int i = Param(b, 8, "GA", "F0");
    EXPECT_EQ(b.Edit(i, {0x1F}), EditResult::Refused);
    EXPECT_EQ(b.prompter.Errors, QStringList{QStringLiteral("Dieser Parameter ist geschützt.")});

    Bench c;
    c.access.Level = QStringLiteral("Cus");
    c.SetByte(0x0A00, 0xAE);
    const int j = Param(c, 8, "GA", "F0");
    EXPECT_EQ(c.Edit(j, {0x1F}), EditResult::Written);
    EXPECT_TRUE(c.Last().Hex);
    EXPECT_FLOAT_EQ(c.Last().Start, 0xAE);
    EXPECT_FLOAT_EQ(c.Last().Minimum, 1);
    EXPECT_FLOAT_EQ(c.Last().Maximum, 240);
    EXPECT_TRUE(c.Last().Hint.startsWith(QStringLiteral("Gültige Eingabe: 1 - 240")));
    EXPECT_EQ(c.Byte(0x0A00), 0x1F);
    // Every later edit is the same edit: the key, its access check and the decimal 240.
    EXPECT_EQ(c.d().Params.GetMin(j), QStringLiteral("GA"));
    EXPECT_EQ(c.d().Params.GetMax(j), QStringLiteral("F0"));
    EXPECT_EQ(c.Edit(j, {240}), EditResult::Written);
    EXPECT_FLOAT_EQ(c.Last().Maximum, 240);
    EXPECT_EQ(c.Byte(0x0A00), 0xF0);
    c.access.Level = QStringLiteral("Fac");
    EXPECT_EQ(c.Edit(j, {0x20}), EditResult::Refused);
    EXPECT_EQ(c.Byte(0x0A00), 0xF0);

    Bench h;
    const int k = Param(h, 8, "10", "FF");
    EXPECT_EQ(h.Edit(k, {0x05}), EditResult::Written);
    EXPECT_FLOAT_EQ(h.Last().Minimum, 16);
    EXPECT_FLOAT_EQ(h.Last().Maximum, 255);
    EXPECT_EQ(h.Byte(0x0A00), 16); // the dialog clamps to the limits
}

// --- Code 9 ---------------------------------------------------------------------------------

TEST_F(EditCodes, Code9KeyS1ReopensForTheGap)
{
    Bench b;
    const int i = Param(b, 9, "S1", "63");
    EXPECT_EQ(b.Edit(i, {40, 60, 24}), EditResult::Written);
    EXPECT_EQ(b.dialogs.Requests.size(), 3u);
    EXPECT_EQ(b.Byte(0x0A00), 24);
    EXPECT_EQ(b.Last().Hint, QStringLiteral("Gültige Eingabe: 0 - 24 und 61 - 63"));
    ASSERT_EQ(b.host.Dependencies.size(), 1u);
    EXPECT_EQ(b.host.Dependencies[0].second, 24);

    Bench c;
    const int j = Param(c, 9, "S1", "63");
    EXPECT_EQ(c.Edit(j, {61}), EditResult::Written);
    EXPECT_EQ(c.Byte(0x0A00), 61);

    Bench cancel;
    const int k = Param(cancel, 9, "S1", "63");
    cancel.SetByte(0x0A00, 7);
    EXPECT_EQ(cancel.Edit(k, {30}), EditResult::Cancelled);
    EXPECT_EQ(cancel.Byte(0x0A00), 7);
}

TEST_F(EditCodes, Code9FactorKeysNeedFer)
{
    for (const char *key : {"SU", "SI"}) {
        Bench b;
        const int i = Param(b, 9, key, "250");
        EXPECT_EQ(b.Edit(i, {60}), EditResult::Refused) << key;
        EXPECT_EQ(b.prompter.Errors, QStringList{GetText(105)});
    }
    struct Row
    {
        const char *key;
        double typed;
        EditResult result;
        bool message;
    } rows[] = {{"SU", 240, EditResult::Written, false}, {"SU", 100, EditResult::Rejected, true},
                {"SI", 5, EditResult::Written, false},   {"SI", 3, EditResult::Rejected, false},
                {"SI", 1, EditResult::Written, false}};
    for (const Row &r : rows) {
        Bench b;
        b.access.Level = QStringLiteral("Fer");
        b.SetByte(0x0A00, 0x99);
        const int i = Param(b, 9, r.key, "250");
        EXPECT_EQ(b.Edit(i, {r.typed}), r.result) << r.key << " " << r.typed;
        EXPECT_EQ(b.Byte(0x0A00), r.result == EditResult::Written ? int(r.typed) : 0x99);
        EXPECT_EQ(b.prompter.Errors.size(), r.message ? 1 : 0);
        if (r.message)
            EXPECT_EQ(b.prompter.Errors.at(0), QStringLiteral("Factor is wrong."));
    }
}

TEST_F(EditCodes, Code9RatedVoltageFactorsAreCheckedAndKept)
{
    struct Row
    {
        const char *address;
        double typed;
        bool written;
    } rows[] = {{"080C", 80, true},  {"080C", 1, true},   {"080C", 100, false},
                {"080D", 250, true}, {"080D", 1, false},  {"080D", 139, false}};
    for (const Row &r : rows) {
        Bench b;
        const int address = QString::fromUtf8(r.address).toInt(nullptr, 16);
        b.SetByte(address, 138);
        const int i = Param(b, 9, "0", "255", r.address);
        EXPECT_EQ(b.Edit(i, {r.typed}), r.written ? EditResult::Written : EditResult::Rejected)
            << r.address << " " << r.typed;
        const int expected = r.written ? int(r.typed) : 138;
        EXPECT_EQ(b.Byte(address), expected);
        EXPECT_EQ(address == 0x080C ? b.d().State.MainsFactor : b.d().State.GenFactor, expected);
        EXPECT_TRUE(b.prompter.Errors.isEmpty()); // refused silently
    }
}

// --- Codes 10, 11, 12 -------------------------------------------------------------------------

TEST_F(EditCodes, Codes10And11)
{
    Bench b;
    const int i = Param(b, 10, "0", "25,5");
    EXPECT_EQ(b.Edit(i, {2.5}), EditResult::Written);
    EXPECT_EQ(b.Last().Decimals, 1);
    EXPECT_EQ(b.Byte(0x0A00), 25);

    Bench t;
    const int j = Param(t, 11, "0", "2550");
    EXPECT_EQ(t.Edit(j, {154}), EditResult::Written);
    EXPECT_EQ(t.Last().Decimals, -1);
    EXPECT_EQ(t.Byte(0x0A00), 15);
}

TEST_F(EditCodes, Code12FrequencyBecomesAPeriodCount)
{
    struct Row
    {
        int type;
        int periodBase;
        const char *key;
        const char *level;
        double typed;
        int stored;
    } rows[] = {
        {34, 8000, "S1", "", 57.3, 8333},  // snapped to 60
        {34, 8000, "S1", "", 55.9, 10000}, // snapped to 50
        {34, 4000, "0", "", 50, 5000},
        {37, 9000, "SW", "Fac", 60, 8333},
        {32, 100, "45", "", 50, 5000},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << " key " << r.key << " typed " << r.typed);
        Bench b(r.type);
        b.access.Level = QString::fromUtf8(r.level);
        b.d().Geraet.SetWord(r.type == 34 ? 0x2C : r.type == 37 ? 0x3C : 0x76, r.periodBase);
        const int i = Param(b, 12, r.key, "65", "0A00", "Hz");
        EXPECT_EQ(b.Edit(i, {r.typed}), EditResult::Written) << Messages(b);
        EXPECT_EQ(b.d().PeriodBase, r.periodBase);
        EXPECT_EQ(b.Word(0x0A00), r.stored);
        ASSERT_EQ(b.host.Dependencies.size(), 1u);
        EXPECT_EQ(b.host.Dependencies[0].second, r.stored);
        EXPECT_EQ(b.d().Params.GetMin(i), QString::fromUtf8(r.key));
    }
    Bench sw(34);
    const int i = Param(sw, 12, "SW", "60");
    EXPECT_EQ(sw.Edit(i, {50}), EditResult::Refused);
    EXPECT_EQ(sw.prompter.Errors, QStringList{GetText(105)});

    // "S2" on type 34 with the ratio bits takes its constant from the image.
    Bench s2(34);
    s2.d().Geraet.SetWord(0x2C, 8000);
    s2.d().Geraet.SetByte(0x2E, 1);
    s2.d().Geraet.SetWord(0x56, 6000);
    const int j = Param(s2, 12, "S2", "65", "0A00", "Hz");
    EXPECT_EQ(s2.Edit(j, {48}), EditResult::Written);
    EXPECT_FLOAT_EQ(s2.Last().Minimum, 47);
    EXPECT_EQ(s2.Last().Hint, QStringLiteral("Gültige Eingabe: 47 - 65 Hz"));
    EXPECT_EQ(s2.Word(0x0A00), 6250);
}

// --- Code 14 and 24 ----------------------------------------------------------------------------

TEST_F(EditCodes, Code14RangeFollowsTheKindOfTheInput)
{
    struct Row
    {
        const char *address;
        int kind;
        float lo, hi;
        int decimals;
        double typed;
        int stored;
    } rows[] = {
        {"0DC0", 9, -3200, 3200, 1, -12.5, 65411},
        {"0DC0", 2, 50, 900, 0, 100, 100},
        {"08E0", 2, -5, 5000, 0, 100, 100}, // below 0x0DC0: the definition's limits
        {"0DC0", 10, -320, 320, 2, -1.5, 65386},
        {"0DC0", 5, 0, 5, 1, 2.5, 25},
        {"0DC0", 8, 40, 120, 0, 50, 50},
        {"0DC0", 34, -5000, 5000, 0, -1, 65535},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.address << " kind " << r.kind);
        Bench b;
        const int address = QString::fromUtf8(r.address).toInt(nullptr, 16);
        b.SetByte(0x08DC, r.kind); // the kind byte of both addresses
        const int i = Param(b, 14, "-5", "5000", r.address, "mA");
        const EditResult result = b.Edit(i, {r.typed});
        ASSERT_EQ(result, EditResult::Written) << Messages(b);
        EXPECT_EQ(b.d().AnalogInputKind, r.kind);
        EXPECT_FLOAT_EQ(b.Last().Minimum, r.lo);
        EXPECT_FLOAT_EQ(b.Last().Maximum, r.hi);
        EXPECT_EQ(b.Last().Decimals, r.decimals);
        EXPECT_EQ(b.Word(address), r.stored);
    }
}

TEST_F(EditCodes, Code14KindFifteenWithFullRangeStartsAtZero)
{
    Bench b;
    b.SetByte(0x08DC, 15);
    const int i = Param(b, 14, "-32000", "32000", "08E0");
    b.Edit(i, {});
    ASSERT_EQ(b.dialogs.Requests.size(), 1u) << Messages(b);
    EXPECT_EQ(b.Last().Hint, QStringLiteral("Gültige Eingabe: 0 - 32000"));
    EXPECT_FLOAT_EQ(b.Last().Minimum, 0);
}

TEST_F(EditCodes, Code24Volts)
{
    Bench b;
    b.SetByte(0x09B3, 0x04);
    const int i = Param(b, 24, "S1", "0");
    EXPECT_EQ(b.Edit(i, {-1.234}), EditResult::Written) << Messages(b);
    EXPECT_EQ(b.Last().Hint, QStringLiteral("Gültige Eingabe: -5 Volt bis +5 Volt"));
    EXPECT_EQ(b.Last().Decimals, 3);
    EXPECT_EQ(b.Word(0x0A00), 65536 - 1234);

    Bench c;
    c.SetByte(0x09B3, 0x08);
    const int j = Param(c, 24, "S1", "0");
    EXPECT_EQ(c.Edit(j, {7.5}), EditResult::Written);
    EXPECT_EQ(c.Last().Hint, QStringLiteral("Gültige Eingabe: 0 Volt bis +10 Volt"));
    EXPECT_EQ(c.Word(0x0A00), 7500);
}

} // namespace
