#include "device/Definition.h"
#include "device/DeviceData.h"
#include "monitor/ValuePage.h"
#include "params/FormatValue.h"
#include "shell/Texts.h"
#include "support/ScriptedPrompter.h"
#include <gtest/gtest.h>
#include <memory>

namespace {

class ValuePageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        d = std::make_unique<DeviceData>();
        d->Geraet.ProgramId = QStringLiteral("Z202 PA004");
        d->State.DeviceType = 1;
        d->State.ImageBase = 0x0800;
        fmt = std::make_unique<TFormatter>(*d);
    }
    void define(const QString &text) { d->Def.DefinitionLines = SplitDefinitionLines(text); }
    PageDefinition load(const QString &page) { return LoadPageDefinition(*d, page, prompter); }
    BuiltPage build(const QString &page, const QByteArray &answer) { return BuildPage(*d, *fmt, page, answer); }
    void setWord(int address, int value) { d->Geraet.SetWord(d->State.IndexOf(address), value); }
    void setByte(int address, int value) { d->Geraet.SetByte(d->State.IndexOf(address), value); }

    std::unique_ptr<DeviceData> d;
    std::unique_ptr<TFormatter> fmt;
    ScriptedPrompter prompter;
};

TEST(ValuePageTables, RawValueClassesCoverTheirRanges)
{
    struct Case
    {
        int code;
        RawClass cls;
    } cases[] = {
        {0x00, RawClass::None},   {0x01, RawClass::Word},      {0x07, RawClass::Word},     {0x08, RawClass::Byte},
        {0x0B, RawClass::Byte},   {0x0C, RawClass::Word},      {0x0E, RawClass::Word},     {0x0F, RawClass::Byte},
        {0x17, RawClass::Byte},   {0x18, RawClass::Word},      {0x1B, RawClass::Byte},     {0x1C, RawClass::Unknown},
        {0x28, RawClass::Byte},   {0x2A, RawClass::Unknown},   {0x37, RawClass::Byte},     {0x38, RawClass::Unknown},
        {0x40, RawClass::Word},   {0x58, RawClass::Word},      {0x59, RawClass::Unknown},  {0x75, RawClass::Word},
        {0xC0, RawClass::Unknown}, {0xC1, RawClass::Byte},     {0xD2, RawClass::Word},     {0xD3, RawClass::Byte},
        {0xDC, RawClass::Word},   {0xF2, RawClass::Word},      {0xF5, RawClass::Byte},     {0xF6, RawClass::LabelOnly},
        {0xF7, RawClass::Triple}, {0xF8, RawClass::Unknown},   {0xFF, RawClass::EmptyText},
    };
    for (const Case &c : cases)
        EXPECT_EQ(int(RawValueClass(c.code)), int(c.cls)) << std::hex << c.code;
}

TEST(ValuePageTables, ChannelKindRuleAndPageLayout)
{
    // Channel 1 keeps its kind where the module's definition puts "Kanal 01 Sensor".
    EXPECT_EQ(ChannelKindIndex(1), 0x20);
    EXPECT_EQ(ChannelKindIndex(16), 0x2F);
    EXPECT_EQ(ChannelKindIndex(0), -1);
    EXPECT_EQ(ChannelKindIndex(17), -1);
    struct Case
    {
        int kind, own, expected;
    } kinds[] = {{0, 2, 5}, {3, 2, 6}, {17, 2, 6}, {18, 2, 2}, {20, 2, 5}, {24, 2, 6},
                 {25, 2, 2}, {59, 2, 2}, {60, 2, 5}, {63, 2, 5}, {64, 2, 2}, {255, 2, 2}};
    for (const Case &c : kinds)
        EXPECT_EQ(ChannelTypeCode(c.kind, c.own), c.expected) << c.kind;
    EXPECT_EQ(PageColumns(QStringLiteral("IstSon"), 35), 2);
    EXPECT_EQ(PageColumns(QStringLiteral("IstSon"), 1), 3);
    EXPECT_EQ(PageColumns(QStringLiteral("IstAla"), 1), 2);
    EXPECT_EQ(PageColumns(QStringLiteral("IstCANAna"), 1), 3);
    EXPECT_EQ(ValuePages().size(), 10);
    EXPECT_EQ(RowHeading(QStringLiteral("V   -Netzspannung L1 ")), QStringLiteral("Netzspannung L1 [V]"));
    EXPECT_EQ(RowHeading(QStringLiteral("    -Drehzahl")), QStringLiteral("Drehzahl"));
}

TEST_F(ValuePageTest, HeaderGivesTheReadAndBadCountsAreRefused)
{
    struct Case
    {
        QString header;
        bool ok;
        quint32 address;
        int count;
    } cases[] = {
        {QStringLiteral("Werte*0A00,48"), true, 0x0A00, 48},
        {QStringLiteral("*2100,1"), true, 0x2100, 1},
        {QStringLiteral("Werte*2100,251"), true, 0x2100, 251},
        {QStringLiteral("Werte*2100,252"), false, 0, 0},
        {QStringLiteral("Werte*2100,0"), false, 0, 0},
        {QStringLiteral("Werte 2100,8"), false, 0, 0},
    };
    for (const Case &c : cases) {
        prompter.Errors.clear();
        define(QStringLiteral("IstAnaStart:\n") + c.header + QStringLiteral("\nV   -U*04,02,S5\nIstAnaEnd:\n"));
        const PageDefinition def = load(QStringLiteral("IstAna"));
        EXPECT_EQ(def.Complete, c.ok) << c.header.toStdString();
        EXPECT_EQ(def.Address, c.address);
        EXPECT_EQ(def.Count, c.count);
        EXPECT_EQ(d->Values.Count(), c.ok ? 1 : 0);
        EXPECT_EQ(prompter.Errors.size(), c.ok ? 0 : 1);
    }
    // A broken row line leaves an empty page, not half of one.
    define(QStringLiteral("IstEinStart:\nE*2100,8\nA*00,10,0\nkaputt\nIstEinEnd:\n"));
    EXPECT_FALSE(load(QStringLiteral("IstEin")).Complete);
    EXPECT_EQ(d->Values.Count(), 0);
    EXPECT_EQ(prompter.Errors.last(), QStringLiteral("Error 5kaputtEnd:"));
}

TEST_F(ValuePageTest, WordRowSplitsItsLabelAndTakesThePrefix)
{
    define(QStringLiteral("IstAnaStart:\nW*0A00,48\nV   -Spannung*04,02,S5\n    -Kopf*00,00,0\n"
                          "    -Drehzahl*06,02,0\nNurText*08,02,0\nV   -Weit*2F,02,0\nIstAnaEnd:\n"));
    ASSERT_TRUE(load(QStringLiteral("IstAna")).Complete);
    QByteArray answer(48, '\0');
    answer[4] = 0x01;
    answer[5] = 0x02;
    answer[6] = 0x27;
    answer[7] = 0x0F;
    setWord(0x09BE, 101); // ratio above 100: kilo
    BuiltPage p = build(QStringLiteral("IstAna"), answer);
    ASSERT_EQ(p.Columns, 3);
    ASSERT_EQ(p.Cells.size(), 5);
    EXPECT_EQ(p.Cells[0][0].trimmed(), QStringLiteral("2.58")); // 258 V shown in kV
    EXPECT_EQ(p.Cells[0][1], QStringLiteral("kV   "));
    EXPECT_EQ(p.Cells[0][2], QStringLiteral("Spannung"));
    // A heading row: only its label, whole, in the text column.
    EXPECT_EQ(p.Cells[1][0].trimmed(), QString());
    EXPECT_EQ(p.Cells[1][2], QStringLiteral("    -Kopf"));
    EXPECT_EQ(p.PrintLines[1], QStringLiteral("        ") + QStringLiteral("    -Kopf"));
    // Type 1 is no dash device: 0x270F is a number; the blank unit stays blank.
    EXPECT_EQ(p.Cells[2][0].trimmed(), QStringLiteral("9999"));
    EXPECT_EQ(p.Cells[2][1], QStringLiteral("    "));
    EXPECT_EQ(p.Cells[3][1], QString());
    EXPECT_EQ(p.Cells[3][2], QStringLiteral("NurText"));
    // A word at offset 0x2F would need byte 0x30: blank value.
    EXPECT_EQ(p.Cells[4][0].trimmed(), QString());

    d->State.DeviceType = 20;
    p = build(QStringLiteral("IstAna"), answer);
    EXPECT_EQ(p.Cells[2][0], QStringLiteral("     ----"));
    EXPECT_EQ(p.Cells[2][1], QStringLiteral("----"));
    // A short answer blanks the rows it does not reach.
    p = build(QStringLiteral("IstAna"), answer.left(5));
    EXPECT_EQ(p.Cells[0][0].trimmed(), QString());
    EXPECT_EQ(p.Cells[0][2], QStringLiteral("Spannung"));
}

TEST_F(ValuePageTest, LabelOnlyUnknownAndHiddenRowsKeepNoStalePrintLine)
{
    define(QStringLiteral("IstSonStart:\nS*2200,16\n    -Nur Text*00,F6,0\n    -Unbekannt*01,C0,0\n"
                          "    -Byte*02,08,0\nIstSonEnd:\n"));
    ASSERT_TRUE(load(QStringLiteral("IstSon")).Complete);
    QByteArray answer(16, '\0');
    answer[1] = 0x55;
    answer[2] = 0x07;
    const BuiltPage p = build(QStringLiteral("IstSon"), answer);
    ASSERT_EQ(p.Cells.size(), 3);
    EXPECT_EQ(p.Cells[0][2], QStringLiteral("    -Nur Text"));
    EXPECT_EQ(p.Cells[0][0], QString());
    EXPECT_EQ(p.PrintLines[0], QString());
    EXPECT_EQ(p.Cells[1][0], QStringLiteral("       "));
    EXPECT_EQ(p.Cells[1][2], QStringLiteral("Unbekannt"));
    EXPECT_EQ(p.Cells[2][0].trimmed(), QStringLiteral("07"));
    EXPECT_TRUE(p.ValuesPresent);
}

TEST_F(ValuePageTest, CanRowMasks)
{
    QString text = QStringLiteral("IstCANStart:\nC*2300,40\n");
    for (int r = 0; r < 20; ++r)
        text += QStringLiteral("    -CAN AW%1*%2,08,0\n").arg(r % 8).arg(r, 2, 16, QLatin1Char('0'));
    define(text + QStringLiteral("IstCANEnd:\n"));
    ASSERT_TRUE(load(QStringLiteral("IstCAN")).Complete);
    const QByteArray answer(40, '\x01');
    auto filled = [&] {
        const BuiltPage p = build(QStringLiteral("IstCAN"), answer);
        QList<int> rows;
        for (int r = 0; r < p.Cells.size(); ++r)
            if (!p.Cells[r][0].isEmpty())
                rows << r;
        return rows;
    };
    // Old firmware: two mask bytes at 0x0E40.
    d->State.DeviceType = 3;
    d->Geraet.ProgramVersion = 26;
    setByte(0x0E40, 0x05);
    setByte(0x0E41, 0x00);
    EXPECT_EQ(filled(), (QList<int>{0, 1, 3}));
    // Newer firmware: four mask bytes at 0x0E4C.
    d->Geraet.ProgramVersion = 27;
    setByte(0x0E4C, 0x00);
    setByte(0x0E4D, 0x80);
    setByte(0x0E4E, 0x08);
    EXPECT_EQ(filled(), (QList<int>{0, 16}));
    // Type 20: "AW0".."AW6" rows are hidden, AW7 shows.
    d->State.DeviceType = 20;
    EXPECT_EQ(filled(), (QList<int>{7, 15}));
}

TEST_F(ValuePageTest, AlarmPageTakesTheAlarmTextsWithinTheTable)
{
    QString text = QStringLiteral("IstAlaStart:\nA*21A0,16\nZustände*00,00,0\n");
    for (int r = 1; r < 92; ++r)
        text += QStringLiteral("- Eigen %1*00,10,0\n").arg(r);
    define(text + QStringLiteral("IstAlaEnd:\n"));
    ResetFreeAlarmTexts();
    ASSERT_TRUE(load(QStringLiteral("IstAla")).Complete);
    ASSERT_EQ(d->Values.Count(), 92);
    EXPECT_EQ(d->Values.Item(0).Text, QStringLiteral("Zustände"));
    EXPECT_EQ(d->Values.Item(1).Text, QStringLiteral("- 1="));
    EXPECT_EQ(d->Values.Item(20).Text, QStringLiteral("- Batterie Unterspannung"));
    EXPECT_EQ(d->Values.Item(88).Text, QStringLiteral("- Sammelstörung aller Alarme"));
    EXPECT_EQ(d->Values.Item(89).Text, QStringLiteral("- Eigen 89"));
    // Devices outside the alarm-table families keep the definition's labels.
    d->State.DeviceType = 34;
    load(QStringLiteral("IstAla"));
    EXPECT_EQ(d->Values.Item(1).Text, QStringLiteral("- Eigen 1"));
}

TEST_F(ValuePageTest, FreeAlarmTextsDoNotOutliveTheirDevice)
{
    SetZltText(0, QStringLiteral("Ölstand A"));
    SetZltText(50, QStringLiteral("Tür offen A"));
    SetZltText(120, QStringLiteral("angehängt"));
    SetZltText(19, QStringLiteral("Batterie"));
    ResetFreeAlarmTexts();
    const QStringList &z = CL_ZLT().Consts;
    ASSERT_EQ(z.size(), 88);
    EXPECT_EQ(z.at(0), QStringLiteral("1="));
    EXPECT_EQ(z.at(50), QStringLiteral("51"));
    // A fixed entry carries its translation or the definition's own wording: it stays.
    EXPECT_EQ(z.at(19), QStringLiteral("Batterie"));
    SetZltText(19, QStringLiteral("Batterie Unterspannung"));
}

TEST_F(ValuePageTest, RelayFunctionsPerDeviceFamily)
{
    d->Def.RelayFunctionTable = {{QStringLiteral("Sammelalarm"), QStringLiteral("0001")},
                                 {QStringLiteral("Analog 7"), QStringLiteral("7")}};
    struct Case
    {
        int type, row, imageIndex, value;
        bool byte;
        QString expected;
    } cases[] = {
        {2, 1, 0x094C - 0x800, 0x0012, false, QStringLiteral("Flag 0012")},
        {2, 1, 0x094C - 0x800, 0x0001, false, QStringLiteral("Sammelalarm")},
        {2, 29, 0x0978 - 0x800, 0x00AB, false, QStringLiteral("Flag 00AB")},
        {2, 46, 0x0998 - 0x800, 0x0001, false, QStringLiteral("Sammelalarm")},
        {2, 5, 0x094C - 0x800, 0x0001, false, QString()},
        {2, 30, 0x094C - 0x800, 0x0001, false, QString()},
        {2, 47, 0x094C - 0x800, 0x0001, false, QString()},
        {34, 26, 0xDA, 0x0001, false, QStringLiteral("Sammelalarm")},
        {34, 2, 0xB0, 0x0001, false, QString()},
        {33, 10, 0xDC, 0x1234, false, QStringLiteral("Flag 1234")},
        {35, 1, 0x20, 7, true, QStringLiteral("Analog 7")},
        {35, 16, 0x2F, 9, true, QStringLiteral("Flag 9")},
        {35, 17, 0x30, 7, true, QString()},
        {40, 1, 0x094C - 0x800, 0x0001, false, QString()},
    };
    for (const Case &c : cases) {
        d->Geraet.Clear();
        d->State.DeviceType = c.type;
        if (c.byte)
            d->Geraet.SetByte(c.imageIndex, c.value);
        else
            d->Geraet.SetWord(c.imageIndex, c.value);
        EXPECT_EQ(RelayFunctionText(*d, c.row), c.expected) << c.type << " row " << c.row;
    }
}

TEST_F(ValuePageTest, OutputPageSuffixesSkipPlaceholdersAndSomeTypes)
{
    define(QStringLiteral("IstRelStart:\nR*21E4,4\nKopf*00,00,0\nRelais K01: *00,10,0\nIstRelEnd:\n"));
    setWord(0x094C, 0x0012);
    load(QStringLiteral("IstRel"));
    EXPECT_EQ(d->Values.Item(0).Text, QStringLiteral("Kopf"));
    EXPECT_EQ(d->Values.Item(1).Text, QStringLiteral("Relais K01: Flag 0012"));
    d->State.DeviceType = 17;
    load(QStringLiteral("IstRel"));
    EXPECT_EQ(d->Values.Item(1).Text, QStringLiteral("Relais K01: "));
}

TEST_F(ValuePageTest, ModuleChannelKindIsDecidedAtEveryBuild)
{
    d->State.DeviceType = 35;
    d->State.ImageBase = 0;
    d->Def.AnalogFunctionTexts.insert(3, QStringLiteral("PT100 3-Leiter"));
    define(QStringLiteral("IstAnaStart:\nA*00B0,4\n    -Kanal 01: *00,02,0\n    -Kanal 02: *02,02,0\nIstAnaEnd:\n"));
    d->Geraet.SetByte(0x20, 3);
    d->Geraet.SetByte(0x21, 18);
    load(QStringLiteral("IstAna"));
    EXPECT_EQ(d->Values.Item(0).Text, QStringLiteral("    -Kanal 01: PT100 3-Leiter"));
    EXPECT_EQ(d->Values.Item(1).Text, QStringLiteral("    -Kanal 02: "));
    const QByteArray answer = QByteArray::fromHex("00fa00fa");
    build(QStringLiteral("IstAna"), answer);
    // The list keeps the definition's code; a later change of kind is seen at once.
    EXPECT_EQ(d->Values.GetTypeCode(0), QStringLiteral("02"));
    const QString asKind3 = build(QStringLiteral("IstAna"), answer).Cells[0][0];
    d->Geraet.SetByte(0x20, 18);
    const QString asOwn = build(QStringLiteral("IstAna"), answer).Cells[0][0];
    EXPECT_EQ(asOwn.trimmed(), QStringLiteral("250"));
    EXPECT_NE(asKind3, asOwn);
}

TEST_F(ValuePageTest, SpecialAlarmRowsAreRelabelledOnlyWhereTheyExist)
{
    d->Geraet.ProgramId = QStringLiteral("Z212-72 PA");
    QString text = QStringLiteral("IstAlaStart:\nA*21A0,8\nZustände der Alarme*00,00,0\n");
    for (int r = 1; r < 30; ++r)
        text += QStringLiteral("- A %1*00,10,0\n").arg(r);
    define(text + QStringLiteral("IstAlaEnd:\n"));
    d->State.DeviceType = 34; // keeps its own alarm labels
    load(QStringLiteral("IstAla"));
    const BuiltPage p = build(QStringLiteral("IstAla"), QByteArray(8, '\0'));
    ASSERT_EQ(p.Cells.size(), 30);
    EXPECT_EQ(p.Cells[27][1], QStringLiteral("- Alarm27"));
    EXPECT_EQ(p.Cells[29][1], QStringLiteral("- Alarm29"));
    EXPECT_EQ(p.Cells[28][1], QStringLiteral("- A 28"));
}

} // namespace
