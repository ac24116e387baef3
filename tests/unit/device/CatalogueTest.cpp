#include "support/DefinitionFixtures.h"
#include "device/Catalogue.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <array>
#include <cstring>
#include <memory>
#include <random>
#include <set>

namespace {

std::set<int> Range(int lo, int hi)
{
    std::set<int> s;
    for (int i = lo; i <= hi; ++i)
        s.insert(i);
    return s;
}

std::set<int> Join(std::initializer_list<std::set<int>> parts)
{
    std::set<int> s;
    for (const auto &p : parts)
        s.insert(p.begin(), p.end());
    return s;
}

// Every test sees dates as dd.MM.yyyy, whatever the machine's locale says.
class Catalogue : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetDateFormat(QStringLiteral("dd.MM.yyyy"));
        d = std::make_unique<DeviceData>();
    }
    void TearDown() override { SetDateFormat(QString()); }

    // A controller identification block: program id, version, dates, numbers.
    void controllerBlock(const char *programId, int version)
    {
        auto &b = d->Geraet.IdentBlock;
        b.fill(0);
        std::memcpy(b.data(), programId, std::min<size_t>(10, std::strlen(programId)));
        b[11] = quint8(version);
        b[12] = 'a';
        b[13] = 24; b[14] = 12; b[15] = 99;   // program date 24.12.1999
        b[16] = 0x12; b[17] = 0x34;           // order number middle and low
        b[18] = 0x01; b[19] = 0x02;           // production number 258
        b[20] = 1; b[21] = 3; b[22] = 5;      // production date 01.03.2005
        b[23] = 0x05;                         // order number high
    }

    ScratchDataDir dir;
    RecordingPrompter prompter;
    std::unique_ptr<DeviceData> d;
};

} // namespace

TEST(CatalogueTable, ThirtyFourEntriesInOrder)
{
    const QStringList &t = ExtensionTable();
    ASSERT_EQ(t.size(), 34);
    for (const QString &e : t)
        EXPECT_EQ(e.size(), 4) << e.toStdString();
    EXPECT_EQ(t.at(0), QStringLiteral(".101"));
    EXPECT_EQ(t.at(13), QStringLiteral(".aaa"));
    EXPECT_EQ(t.at(20), QStringLiteral(".IW#"));
    EXPECT_EQ(t.at(29), QStringLiteral(".SY0"));
    EXPECT_EQ(t.at(33), QStringLiteral(".ORN"));
}

TEST(CatalogueTable, Families)
{
    struct Family
    {
        const char *name;
        bool (*test)(int);
        std::set<int> members;
    } families[] = {
        {"Controller", IsControllerType, Join({Range(0, 31), {52, 53, 54}})},
        {"Compact", IsCompactType, {32, 33}},
        {"SplErsy", IsSplErsyType, {5, 6, 23, 24}},
        {"Pa", IsPaType, {8, 9, 10, 25, 26, 27}},
        {"TransferSwitch", IsTransferSwitchType, {52, 53, 54}},
        {"A", InSetA, {0, 1, 2, 3, 4, 12, 14}},
        {"B", InSetB, Join({Range(5, 11), {13}, Range(15, 31), {52, 53, 54}})},
        {"C", InSetC, {17, 18, 20, 21, 29, 30, 31, 52}},
        {"D", InSetD, Join({Range(14, 18), {20, 21, 22, 52, 53, 54}})},
        {"E", InSetE, Join({Range(14, 18), {20, 21, 22, 29, 30, 31}})},
        {"F", InSetF, Join({Range(15, 18), {20, 21, 22}})},
    };
    for (const Family &f : families)
        for (int t = -3; t <= 300; ++t)
            EXPECT_EQ(f.test(t), f.members.count(t) == 1) << f.name << " type " << t;
    // Every controller type is in exactly one of sets A and B.
    for (int t = 0; t <= 55; ++t)
        if (IsControllerType(t)) {
            EXPECT_NE(InSetA(t), InSetB(t)) << t;
        }
}

TEST(CatalogueTable, PatternExtension)
{
    EXPECT_EQ(PatternExtension(QStringLiteral("*.202")), QStringLiteral(".202"));
    EXPECT_EQ(PatternExtension(QStringLiteral("/home/a.b/Anlage 7.STW")), QStringLiteral(".STW"));
    EXPECT_EQ(PatternExtension(QStringLiteral("/home/a.b/Anlage")), QString());
    EXPECT_EQ(PatternExtension(QStringLiteral("C:\\x.y\\Anlage")), QString());
    EXPECT_EQ(PatternExtension(QString()), QString());
    EXPECT_EQ(PatternExtension(QStringLiteral("a.b.c")), QStringLiteral(".c"));
}

TEST_F(Catalogue, TypeFromPatternOverAllEntries)
{
    struct Case
    {
        const char *pattern;
        const char *programId;
        int version;
        int before;
        int expected;
    } cases[] = {
        {"*.101", "Z101      ", 0, 55, 0},
        {"*.101", "Z101-FBED ", 0, 55, 1},
        {"*.102", "", 0, 55, 2},
        {"*.111", "", 0, 55, 3},
        {"*.112", "", 0, 55, 4},
        {"*.201", "Z201 FBED ", 0, 55, 7},
        {"*.201", "Z201 SPL03", 0, 55, 5},
        {"*.201", "Z201 ERSY3", 0, 55, 6},
        {"*.201", "Z201 XYZ  ", 0, 44, 44},
        {"*.202", "Z202 FBED ", 0, 55, 11},
        {"*.202", "Z202 INSL ", 29, 55, 13},
        {"*.202", "Z202 INSL ", 30, 55, 12},
        {"*.202", "Z202 PA003", 0, 55, 8},
        {"*.202", "Z202 PA004", 0, 55, 9},
        {"*.202", "Z202 PAHSY", 0, 55, 10},
        {"*.202", "Z202      ", 0, 3, 3},
        {"*.211", "Z211-41N  ", 0, 55, 14},
        {"*.211", "Z211-71N  ", 0, 55, 15},
        {"*.211", "Z211-71SPL", 0, 55, 16},
        {"*.211", "Z211 NP   ", 0, 55, 17},
        {"*.211", "Z211 NC   ", 0, 55, 18},
        {"*.211", "Z211      ", 0, 7, 7},
        {"*.212", "Z212 NP   ", 0, 55, 20},
        {"*.212", "Z212 NC   ", 0, 55, 21},
        {"*.212", "Z212-72 PA", 0, 55, 22},
        {"*.212", "Z212-72   ", 0, 55, 19},
        {"*.251", "Z251 SPL03", 0, 55, 23},
        {"*.251", "Z251 ERSY3", 0, 55, 24},
        {"*.251", "Z251      ", 0, 9, 9},
        {"*.252", "Z252 INSL ", 0, 55, 28},
        {"*.252", "Z252 PA004", 0, 55, 26},
        {"*.252", "Z252 PAHSY", 0, 55, 27},
        {"*.252", "Z252      ", 0, 1, 1},
        {"*.291", "", 0, 55, 29},
        {"*.292", "", 0, 55, 30},
        {"*.293", "", 0, 55, 31},
        {"*.aaa", "", 0, 55, 41},
        {"*.1ZE", "", 0, 55, 32},
        {"*.2ZE", "", 0, 55, 33},
        {"*.STW", "", 0, 55, 34},
        {"*.ULV", "", 0, 55, 35},
        {"*.VMX", "", 0, 55, 36},
        {"*.NAE", "", 0, 55, 37},
        {"*.IW#", "", 0, 55, 38},
        {"*.IW3", "", 0, 55, 42},
        {"*.GRW", "", 0, 55, 43},
        {"*.VDS", "", 0, 55, 44},
        {"*.MS3", "", 0, 55, 45},
        {"*.711", "", 0, 55, 46},
        {"*.WK1", "", 0, 55, 47},
        {"*.WK2", "", 0, 55, 48},
        {"*.LRE", "", 0, 55, 49},
        {"*.SY0", "", 0, 12, 12},
        {"*.LRM", "", 0, 55, 51},
        {"*.IW0", "", 0, 55, 39},
        {"*.ZLR", "", 0, 55, 40},
        {"*.ORN", "L-ORN S   ", 0, 55, 53},
        {"*.ORN", "L-ORN U   ", 0, 55, 54},
        {"*.ORN", "L-ORN     ", 0, 55, 52},
        {"", "", 0, 3, 55},
        {"Anlage", "", 0, 3, 55},
    };
    std::set<QString> seen;
    for (const Case &c : cases) {
        prompter.clear();
        d->State.ModelPattern = QString::fromLatin1(c.pattern);
        d->Geraet.ProgramId = QString::fromLatin1(c.programId);
        d->Geraet.ProgramVersion = c.version;
        d->State.DeviceType = c.before;
        TypeFromPattern(*d, prompter);
        EXPECT_EQ(d->State.DeviceType, c.expected) << c.pattern << " " << c.programId;
        EXPECT_TRUE(prompter.messages.isEmpty()) << c.pattern;
        seen.insert(PatternExtension(d->State.ModelPattern));
    }
    for (const QString &e : ExtensionTable())
        EXPECT_EQ(seen.count(e), 1u) << "entry not covered: " << e.toStdString();
}

TEST_F(Catalogue, UnknownExtensionKeepsTheType)
{
    for (const char *pattern : {"*.AAA", "*.202 ", "*.20", "*.2021", "*.stw", "x."}) {
        prompter.clear();
        d->State.ModelPattern = QString::fromLatin1(pattern);
        d->State.DeviceType = 41;
        TypeFromPattern(*d, prompter);
        EXPECT_EQ(d->State.DeviceType, 41) << pattern;
        EXPECT_TRUE(prompter.has(QStringLiteral("error"), QStringLiteral("Der Gerätetyp ist im Mirelo nicht vorhanden!")))
            << pattern;
    }
}

TEST(CatalogueDates, YearRule)
{
    struct Case
    {
        int byte;
        int year;
    } cases[] = {{99, 1999}, {5, 2005}, {80, 1980}, {79, 2079}, {0, 2000}, {120, 2020}, {255, 2155}};
    for (const Case &c : cases)
        EXPECT_EQ(YearFromByte(c.byte), c.year) << c.byte;
}

TEST(CatalogueDates, FormattingAndInvalidDates)
{
    SetDateFormat(QStringLiteral("dd.MM.yyyy"));
    QString s;
    EXPECT_TRUE(FormatDeviceDate(24, 12, 99, &s));
    EXPECT_EQ(s, QStringLiteral("24.12.1999"));
    EXPECT_TRUE(FormatDeviceDate(29, 2, 100, &s)); // 2000 is a leap year
    EXPECT_EQ(s, QStringLiteral("29.02.2000"));
    SetDateFormat(QStringLiteral("yyyy-MM-dd"));
    EXPECT_TRUE(FormatDeviceDate(1, 3, 5, &s));
    EXPECT_EQ(s, QStringLiteral("2005-03-01"));
    for (auto dmy : {std::array<int, 3>{0, 1, 99}, {32, 1, 99}, {1, 0, 99}, {1, 13, 99}, {29, 2, 99}, {31, 4, 5}})
        EXPECT_FALSE(FormatDeviceDate(dmy[0], dmy[1], dmy[2], &s)) << dmy[0] << "." << dmy[1];
    SetDateFormat(QString());
    EXPECT_EQ(DateFormat(), QLocale::system().dateFormat(QLocale::ShortFormat));
}

TEST(CatalogueVersions, SuffixTableBoundaries)
{
    struct Case
    {
        std::initializer_list<int> types;
        std::initializer_list<std::pair<int, const char *>> versions;
    } cases[] = {
        {{5, 23}, {{0, "_v5"}, {5, "_v5"}, {6, "_v8"}, {8, "_v8"}, {9, "_v12"}, {12, "_v12"}, {13, "_v13"},
                   {14, "_v14"}, {15, "_v16"}, {16, "_v16"}, {17, ""}, {99, ""}}},
        {{6, 24}, {{0, "_v5"}, {5, "_v5"}, {6, "_v12"}, {12, "_v12"}, {13, "_v16"}, {16, "_v16"}, {17, ""}}},
        // "Z202 INSL" version 29 (type 13) has no suffix: the table, not an older note of "_v12".
        {{13, 28}, {{0, "_v12"}, {12, "_v12"}, {13, "_v16"}, {16, "_v16"}, {17, ""}, {29, ""}}},
        {{9, 10, 26, 27}, {{0, "_v8"}, {8, "_v8"}, {9, "_v10"}, {10, "_v10"}, {11, "_v11"}, {12, "_v13"}, {13, "_v13"}, {14, ""}}},
        // The plain L-ORN has a table of its own up to version 2 and then follows its family.
        {{52}, {{0, ""}, {1, ""}, {2, "_v2"}, {3, "_v3"}, {4, "_v5"}, {5, "_v5"}, {6, ""}, {100, ""}}},
        {{53, 54}, {{0, "_v2"}, {2, "_v2"}, {3, "_v3"}, {4, "_v5"}, {5, "_v5"}, {6, ""}, {40, ""}}},
        {{0, 8, 12, 34, 35, 36, 55}, {{0, ""}, {5, ""}, {12, ""}, {30, ""}}},
    };
    for (const Case &c : cases)
        for (int type : c.types)
            for (const auto &v : c.versions)
                EXPECT_EQ(VersionSuffix(type, v.first), QString::fromLatin1(v.second)) << type << " v" << v.first;
}

TEST_F(Catalogue, VmxIsKnownByItsFirstWord)
{
    controllerBlock("Z202 PA004", 14);
    d->Geraet.IdentBlock[0] = 0x01;
    d->Geraet.IdentBlock[1] = 0x92;
    d->Geraet.ProgramVersion = 7;
    const IdentifyResult r = IdentifyDevice(*d, 1, nullptr, 0, false, prompter);
    EXPECT_EQ(r.kind, IdentifyResult::Identified);
    EXPECT_TRUE(d->Identified);
    EXPECT_EQ(d->State.ModelPattern, QStringLiteral("*.VMX"));
    EXPECT_EQ(d->State.DeviceType, 36);
    EXPECT_TRUE(d->State.VmxMode);
    EXPECT_EQ(d->Geraet.ProgramId, QStringLiteral("VMX       "));
    EXPECT_EQ(d->Geraet.ProgramVersion, 0);
    EXPECT_TRUE(d->Geraet.FNumber.isEmpty());
    EXPECT_EQ(d->State.AccessCode, DefaultAccessCode());
    EXPECT_EQ(DefaultAccessCode().size(), 4);
}

TEST_F(Catalogue, VmxPatternWinsOverTheBlockOnlyByItsOwnExtension)
{
    struct Case { const char *pattern; int type; };
    const Case cases[] = {
        {"C:\\ANLAGE.VMX", 36},
        {"*.VMX", 36},
        // A folder name with ".VMX" in it says nothing about the file.
        {"/HOME/X/KUNDE.VMX-ALT/ANLAGE.202", 9},
        {"/HOME/X/ANLAGE.VMX.202", 9},
    };
    for (const Case &c : cases) {
        d = std::make_unique<DeviceData>();
        controllerBlock("Z202 PA004", 14);
        d->State.ModelPattern = QString::fromLatin1(c.pattern);
        ASSERT_EQ(IdentifyDevice(*d, 1, nullptr, 0, true, prompter).kind, IdentifyResult::Identified) << c.pattern;
        EXPECT_EQ(d->State.DeviceType, c.type) << c.pattern;
        EXPECT_EQ(d->State.VmxMode, c.type == 36) << c.pattern;
    }
}

TEST_F(Catalogue, ControllerFromBlockAndImage)
{
    controllerBlock("Z202 PA004", 14);
    d->State.ImageBase = 0x800;
    d->Geraet.SetWord(0x0A, 1234);  // access code word at 0x080A
    d->Geraet.SetByte(0x0C, 240);   // mains factor
    d->Geraet.SetByte(0x0D, 60);    // generator factor
    const IdentifyResult r = IdentifyDevice(*d, 1, nullptr, 0, false, prompter);
    ASSERT_EQ(r.kind, IdentifyResult::Identified) << prompter.texts().join('\n').toStdString();
    EXPECT_EQ(d->State.ModelPattern, QStringLiteral("*.202"));
    EXPECT_EQ(d->State.DeviceType, 9);
    EXPECT_EQ(d->Geraet.ProgramId, QStringLiteral("Z202 PA004"));
    EXPECT_EQ(d->Geraet.ProgramVersion, 14);
    EXPECT_EQ(d->Geraet.ProgramDate, QStringLiteral("24.12.1999"));
    EXPECT_EQ(d->Geraet.FDate, QStringLiteral("01.03.2005"));
    EXPECT_EQ(d->Geraet.FNumber, QStringLiteral("00258"));
    EXPECT_EQ(d->State.AccessCode, QStringLiteral("01234"));
    EXPECT_EQ(d->State.MainsFactor, 240);
    EXPECT_EQ(d->State.GenFactor, 60);
    EXPECT_EQ(d->OrderNumber, 0x05 * 65536 + 0x12 * 256 + 0x34);
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(Catalogue, OtherDeviceKinds)
{
    struct Case
    {
        const char *programId;
        int imageWord11; // word at image index 11
        const char *pattern;
        int type;
        const char *accessCode;
        int orderNumber;
    } cases[] = {
        {"L-ORN S   ", 0, "*.ORN", 53, "00000", 0x051234},
        {"L-ORN     ", 0, "*.ORN", 52, "00000", 0x051234},
        {"Z1ZE 091  ", 0, "*.1ZE", 32, "1234", 0},
        {"XIW#      ", 7, "*.IW#", 38, "1799", 0},
        {"XULV 9611 ", 0, "*.ULV", 35, "01234", 0},
    };
    for (const Case &c : cases) {
        d = std::make_unique<DeviceData>();
        controllerBlock(c.programId, 3);
        d->Geraet.SetWord(11, 1799);
        prompter.clear();
        ASSERT_EQ(IdentifyDevice(*d, 1, nullptr, 0, true, prompter).kind, IdentifyResult::Identified) << c.programId;
        EXPECT_EQ(d->State.ModelPattern, QString::fromLatin1(c.pattern)) << c.programId;
        EXPECT_EQ(d->State.DeviceType, c.type) << c.programId;
        // Controllers take the code from the (here empty) image word; the default code
        // stays for the others, padded to five.
        const QString expected = c.type == 35 ? DefaultAccessCode().rightJustified(5, QLatin1Char('0'))
                                              : QString::fromLatin1(c.accessCode);
        EXPECT_EQ(d->State.AccessCode, expected) << c.programId;
        EXPECT_EQ(d->OrderNumber, c.orderNumber) << c.programId;
    }
}

TEST_F(Catalogue, UnknownModelFromDeviceKeepsType)
{
    controllerBlock("Z999 TEST ", 3);
    d->State.DeviceType = 55;
    EXPECT_EQ(IdentifyDevice(*d, 1, nullptr, 0, true, prompter).kind, IdentifyResult::Identified);
    EXPECT_EQ(d->State.ModelPattern, QStringLiteral("*.999"));
    EXPECT_EQ(d->State.DeviceType, 55);
    EXPECT_TRUE(prompter.has(QStringLiteral("error"), QStringLiteral("Der Gerätetyp ist im Mirelo nicht vorhanden!")));
}

TEST_F(Catalogue, InvalidControllerDatesEndIdentification)
{
    for (int dateByte : {13, 20}) {
        controllerBlock("Z202 PA004", 14);
        d->Geraet.IdentBlock[size_t(dateByte + 1)] = 13; // month 13
        prompter.clear();
        d->Identified = true;
        EXPECT_EQ(IdentifyDevice(*d, 1, nullptr, 0, true, prompter).kind, IdentifyResult::Failed) << dateByte;
        EXPECT_FALSE(d->Identified);
        EXPECT_TRUE(prompter.has(QStringLiteral("error"), DateConversionErrorText()));
    }
}

TEST_F(Catalogue, ZnaeFromFileAndFromDevice)
{
    controllerBlock("ZNAE 01   ", 2);
    d->Geraet.SetByte(0x7E, 0x01 | 0x20);
    d->Geraet.SetByte(0x7F, 80);
    ASSERT_EQ(IdentifyDevice(*d, 1, nullptr, 0, true, prompter).kind, IdentifyResult::Identified);
    EXPECT_EQ(d->State.ModelPattern, QStringLiteral("*.NAE"));
    EXPECT_EQ(d->State.DeviceType, 37);
    EXPECT_EQ(d->ProtectionText, QStringLiteral("U V "));
    EXPECT_EQ(d->State.MainsFactor, 80);
    // The ZNAE keeps the default code as it is (only padded to four).
    EXPECT_EQ(d->State.AccessCode, DefaultAccessCode());

    // A ZNAE file is known by its type even when the block names something else.
    d = std::make_unique<DeviceData>();
    controllerBlock("Z202 PA004", 14);
    d->State.DeviceType = 37;
    const IdentifyResult r = IdentifyDevice(*d, 1, nullptr, 0, false, prompter);
    ASSERT_EQ(r.kind, IdentifyResult::NeedsSecondRequest);
    EXPECT_EQ(r.address, 0x017E);
    EXPECT_EQ(r.count, 2);
    EXPECT_FALSE(d->Identified);
    const quint8 answer[] = {0x0C, 240};
    EXPECT_EQ(IdentifyDevice(*d, 2, answer, 2, false, prompter).kind, IdentifyResult::Identified);
    EXPECT_EQ(d->ProtectionText, QStringLiteral("F "));
    EXPECT_EQ(d->State.MainsFactor, 240);
    EXPECT_TRUE(d->Identified);
}

TEST_F(Catalogue, CompactStwFromBlock)
{
    auto &b = d->Geraet.IdentBlock;
    b[16] = 0x00; b[17] = 0xAB;                 // access code
    b[18] = 0x30; b[19] = 0x39;                 // production number 12345
    b[20] = 2; b[21] = 2; b[22] = 95;           // production date
    b[23] = 7; b[24] = 4; b[25] = 31; b[26] = 2; b[27] = 90; // program 007 v4, invalid date
    for (int k = 28; k < 32; ++k)
        b[size_t(k)] = quint8(k);
    ASSERT_EQ(IdentifyDevice(*d, 1, nullptr, 0, true, prompter).kind, IdentifyResult::Identified);
    EXPECT_EQ(d->State.ModelPattern, QStringLiteral("*.STW"));
    EXPECT_EQ(d->State.DeviceType, 34);
    EXPECT_EQ(d->State.AccessCode, QStringLiteral("00AB"));
    EXPECT_EQ(d->Geraet.FNumber, QStringLiteral("12345"));
    EXPECT_EQ(d->Geraet.FDate, QStringLiteral("02.02.1995"));
    EXPECT_EQ(d->Geraet.ProgramId, QStringLiteral("007"));
    EXPECT_EQ(d->Geraet.ProgramVersion, 4);
    EXPECT_EQ(d->Geraet.ProgramDate, QStringLiteral("1.1.1928"));
    // Bytes 16..31 of the block land at image 0x100..0x10F.
    EXPECT_EQ(d->Geraet.GetByte(0x101), 0xAB);
    EXPECT_EQ(d->Geraet.GetByte(0x10F), 31);
    EXPECT_EQ(d->Geraet.GetByte(0x110), 0);
}

TEST_F(Catalogue, CompactStwFromImageAndSecondRequest)
{
    auto &b = d->Geraet.IdentBlock;
    b[16] = 0x1F; b[17] = 0x00;
    b[20] = 1; b[21] = 1; b[22] = 1;
    d->Geraet.SetByte(0xA0, 12);
    d->Geraet.SetByte(0xA1, 3);
    d->Geraet.SetByte(0xA2, 5);
    d->Geraet.SetByte(0xA3, 6);
    d->Geraet.SetByte(0xA4, 97);
    d->State.VmxMode = true; // a VMX file left the flag on: no copy into the image
    ASSERT_EQ(IdentifyDevice(*d, 1, nullptr, 0, true, prompter).kind, IdentifyResult::Identified);
    EXPECT_EQ(d->State.AccessCode, QStringLiteral("1F00"));
    EXPECT_EQ(d->Geraet.ProgramId, QStringLiteral("012"));
    EXPECT_EQ(d->Geraet.ProgramVersion, 3);
    EXPECT_EQ(d->Geraet.ProgramDate, QStringLiteral("05.06.1997"));
    EXPECT_EQ(d->Geraet.GetByte(0x100), 0);

    // Invalid date in the image of a file: conversion error.
    d->Geraet.SetByte(0xA3, 0);
    prompter.clear();
    EXPECT_EQ(IdentifyDevice(*d, 1, nullptr, 0, true, prompter).kind, IdentifyResult::Failed);
    EXPECT_TRUE(prompter.has(QStringLiteral("error"), DateConversionErrorText()));

    // Connected: the second request brings the identification.
    prompter.clear();
    const IdentifyResult r = IdentifyDevice(*d, 1, nullptr, 0, false, prompter);
    ASSERT_EQ(r.kind, IdentifyResult::NeedsSecondRequest);
    EXPECT_EQ(r.address, 0x01A0);
    EXPECT_EQ(r.count, 8);
    const quint8 answer[8] = {81, 9, 15, 8, 3, 0, 0, 0};
    ASSERT_EQ(IdentifyDevice(*d, 2, answer, 8, false, prompter).kind, IdentifyResult::Identified);
    EXPECT_EQ(d->Geraet.ProgramId, QStringLiteral("081"));
    EXPECT_EQ(d->Geraet.ProgramVersion, 9);
    EXPECT_EQ(d->Geraet.ProgramDate, QStringLiteral("15.08.2003"));
    EXPECT_TRUE(d->Identified);

    // A short answer reads as zeros: no such date.
    EXPECT_EQ(IdentifyDevice(*d, 2, answer, 2, false, prompter).kind, IdentifyResult::Failed);
}

TEST_F(Catalogue, SecondStepWithoutRequestFails)
{
    d->State.DeviceType = 9;
    const quint8 answer[2] = {1, 2};
    EXPECT_EQ(IdentifyDevice(*d, 2, answer, 2, false, prompter).kind, IdentifyResult::Failed);
    EXPECT_EQ(IdentifyDevice(*d, 2, nullptr, 0, false, prompter).kind, IdentifyResult::Failed);
}

TEST_F(Catalogue, SelectDefinitionBuildsNamesAndAppliesTypeSettings)
{
    const QString typ = QStringLiteral("TypStart:\nGeraet\n$91\n8\n6\n16\n0;0;3\nTypEnd:\n");
    struct Case
    {
        const char *pattern;
        const char *programId;
        int version;
        const char *fileName; // as stored, in a different letter case than built
        int type;
        bool vindel;
    } cases[] = {
        {"*.202", "Z202 INSL ", 12, "z202 insl -de_v12.zpa", 13, true},
        {"*.202", "Z202 INSL ", 29, "z202 insl -DE.zpa", 13, true},
        {"*.202", "Z202 INSL ", 30, "z202 insl -DE.zpa", 12, true},
        {"*.201", "Z201 SPL03", 8, "Z201 SPL03-DE_v8.ZPA", 5, false},
        {"*.stw", "081", 9, "a70-081-DE.ZPA", 34, false},
        {"*.ORN", "L-ORN S   ", 4, "L-ORN S   -DE_v5.ZPA", 53, false},
        {"*.ORN", "L-ORN S   ", 9, "L-ORN S   -DE.ZPA", 53, true},
    };
    for (const Case &c : cases) {
        dir.write(QString::fromLatin1(c.fileName), typ);
        d = std::make_unique<DeviceData>();
        d->State.ModelPattern = QString::fromLatin1(c.pattern);
        d->Geraet.ProgramId = QString::fromLatin1(c.programId);
        d->Geraet.ProgramVersion = c.version;
        prompter.clear();
        ASSERT_TRUE(SelectDefinition(*d, prompter)) << c.fileName << prompter.texts().join('\n').toStdString();
        EXPECT_EQ(d->State.DeviceType, c.type);
        EXPECT_EQ(QFileInfo(d->State.DefinitionFile).fileName(), QString::fromLatin1(c.fileName));
        EXPECT_TRUE(d->Def.DefinitionLoaded);
        EXPECT_EQ(d->State.BasePage, QStringLiteral("8"));
        EXPECT_EQ(d->State.ImageBase, 0x800);
        EXPECT_EQ(d->State.PageCount, 16);
        EXPECT_EQ(d->Def.MenuFlags, 0x91);
        EXPECT_EQ(d->Def.OptionFlags, 6);
        EXPECT_EQ(d->Def.ClockKind, QStringLiteral("3"));
        EXPECT_EQ(d->Def.VindelOption, c.vindel) << c.fileName;
        EXPECT_EQ(d->Def.TypLines.value(0), QStringLiteral("Geraet"));
    }
}

TEST_F(Catalogue, VmxDefinitionName)
{
    dir.write(QStringLiteral("VMX       -DE.ZPA"), QStringLiteral("TypStart:\nVMX\n0\n0\n0\n4\n1\nTypEnd:\n"));
    d->State.ModelPattern = QStringLiteral("anlage.vmx");
    d->Geraet.ProgramId = QStringLiteral("whatever");
    ASSERT_TRUE(SelectDefinition(*d, prompter)) << prompter.texts().join('\n').toStdString();
    EXPECT_EQ(d->Geraet.ProgramId, QStringLiteral("VMX       "));
    EXPECT_TRUE(d->State.VmxMode);
    EXPECT_TRUE(d->Def.ClockKind.isEmpty());
    EXPECT_FALSE(d->Def.VindelOption);
    EXPECT_EQ(d->Def.MessageFile, QString());
}

TEST_F(Catalogue, FailedOpenLeavesDefinitionNotLoaded)
{
    d->State.ModelPattern = QStringLiteral("*.101");
    d->Geraet.ProgramId = QStringLiteral("Z101 NONE ");
    d->Def.DefinitionLoaded = true;
    d->State.ImageBase = 0x1234;
    EXPECT_FALSE(SelectDefinition(*d, prompter));
    EXPECT_FALSE(d->Def.DefinitionLoaded);
    EXPECT_EQ(d->State.ImageBase, 0x1234);
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_EQ(prompter.messages.at(0).text, QStringLiteral("Can't open file ") + d->State.DefinitionFile);
}

TEST_F(Catalogue, PlainTransferSwitchFromVersion3NeverBorrowsTheDefinitionShownBefore)
{
    // The definition of the device shown before, and of an older L-ORN.
    const QString other = dir.write(QStringLiteral("Z202 PA004-DE.ZPA"), QStringLiteral("TypStart:\nZ\n1\n8\n0\n4\n1\nTypEnd:\n"));
    dir.write(QStringLiteral("L-ORN     -DE_v2.ZPA"), QStringLiteral("TypStart:\nL\n1\n8\n0\n4\n1\nTypEnd:\n"));
    struct Case { int version; const char *looked; bool present; };
    const Case cases[] = {
        {3, "L-ORN     -DE_v3.ZPA", false},
        {4, "L-ORN     -DE_v5.ZPA", true},
        {7, "L-ORN     -DE.ZPA", false},
    };
    for (const Case &c : cases) {
        const QString looked = dir.zpa() + QLatin1Char('/') + QString::fromLatin1(c.looked);
        if (c.present)
            dir.write(QString::fromLatin1(c.looked), QStringLiteral("TypStart:\nL5\n1\n8\n0\n4\n1\nTypEnd:\n"));
        d = std::make_unique<DeviceData>();
        d->State.DefinitionFile = other; // as after showing a ZEV 202
        d->State.ModelPattern = QStringLiteral("*.ORN");
        d->Geraet.ProgramId = QStringLiteral("L-ORN     ");
        d->Geraet.ProgramVersion = c.version;
        prompter.clear();
        EXPECT_EQ(SelectDefinition(*d, prompter), c.present) << c.version;
        EXPECT_EQ(d->State.DeviceType, 52);
        EXPECT_EQ(d->State.DefinitionFile, looked) << c.version;
        EXPECT_EQ(d->Def.DefinitionLoaded, c.present);
        if (c.present) {
            EXPECT_EQ(d->Def.TypLines.value(0), QStringLiteral("L5"));
            EXPECT_TRUE(prompter.messages.isEmpty());
        } else {
            // The message names the file that was looked for.
            EXPECT_TRUE(prompter.has(QStringLiteral("warning"), QStringLiteral("Can't open file ") + looked)) << c.version;
            EXPECT_TRUE(d->Def.TypLines.isEmpty());
        }
    }
}

TEST_F(Catalogue, SpecialBuildWithLowerCaseEntryKeepsItsType)
{
    // Identified as ".aaa" (type 41) ...
    d->State.ModelPattern = QStringLiteral("*.aaa");
    TypeFromPattern(*d, prompter);
    ASSERT_EQ(d->State.DeviceType, 41);
    // ... but choosing the definition upper-cases the pattern first.
    SelectDefinition(*d, prompter);
    EXPECT_EQ(d->State.DeviceType, 41);
    EXPECT_TRUE(prompter.has(QStringLiteral("error"), QStringLiteral("Der Gerätetyp ist im Mirelo nicht vorhanden!")));
}

TEST_F(Catalogue, DeviceTextsNeverLeaveTheDefinitionFolder)
{
    d->State.ModelPattern = QStringLiteral("*.101");
    d->Geraet.ProgramId = QStringLiteral("../../etc/x");
    d->LanguageSuffix = QStringLiteral("\\y");
    SelectDefinition(*d, prompter);
    EXPECT_EQ(QFileInfo(d->State.DefinitionFile).absolutePath(), QFileInfo(dir.zpa()).absoluteFilePath());
    EXPECT_EQ(QFileInfo(d->State.DefinitionFile).fileName(), QStringLiteral(".._.._etc_x_y.ZPA"));
}

TEST(CatalogueFuzz, RandomIdentificationBlocks)
{
    ScratchDataDir dir;
    SetDateFormat(QStringLiteral("d.M.yyyy"));
    std::mt19937 rng(0xC0FFEEu);
    int identified = 0;
    for (int iter = 0; iter < 3000; ++iter) {
        DeviceData d;
        for (auto &b : d.Geraet.IdentBlock)
            b = quint8(rng() & 0xFF);
        // Bias towards the interesting first bytes and sane dates.
        switch (iter % 4) {
        case 0: d.Geraet.IdentBlock[0] = 0; break;
        case 1: std::memcpy(d.Geraet.IdentBlock.data(), "Z202 PA004", 10); break;
        case 2: std::memcpy(d.Geraet.IdentBlock.data(), "L-ORN S   ", 10); break;
        default: break;
        }
        if (rng() % 2) {
            for (int base : {13, 20, 25})
                d.Geraet.IdentBlock[size_t(base)] = quint8(1 + rng() % 28), d.Geraet.IdentBlock[size_t(base + 1)] = quint8(1 + rng() % 12);
        }
        for (int k = 0; k < 64; ++k)
            d.Geraet.SetByte(int(rng() % 0x1000), int(rng() & 0xFF));
        d.State.ImageBase = int(rng() % 3) * 0x800;
        d.State.DeviceType = int(rng() % 60);
        const bool fromFile = rng() % 2;
        SilentPrompter prompter;
        IdentifyResult r = IdentifyDevice(d, 1, nullptr, 0, fromFile, prompter);
        if (r.kind == IdentifyResult::NeedsSecondRequest) {
            ASSERT_FALSE(fromFile);
            ASSERT_TRUE((r.address == 0x01A0 && r.count == 8) || (r.address == 0x017E && r.count == 2));
            quint8 answer[8];
            for (quint8 &a : answer)
                a = quint8(rng() & 0xFF);
            r = IdentifyDevice(d, 2, answer, int(rng() % 9), fromFile, prompter);
            ASSERT_NE(r.kind, IdentifyResult::NeedsSecondRequest);
        }
        ASSERT_EQ(d.Identified, r.kind == IdentifyResult::Identified);
        if (r.kind == IdentifyResult::Identified) {
            ++identified;
            ASSERT_GE(d.State.AccessCode.size(), 4);
            ASSERT_GE(d.Geraet.FNumber.size(), d.State.VmxMode ? 0 : 5);
        }
        ASSERT_TRUE(d.State.DeviceType >= 0 && d.State.DeviceType <= 59);
        SelectDefinition(d, prompter);
        ASSERT_TRUE(d.State.DefinitionFile.isEmpty()
                    || QFileInfo(d.State.DefinitionFile).absolutePath() == QFileInfo(dir.zpa()).absoluteFilePath())
            << d.State.DefinitionFile.toStdString();
    }
    SetDateFormat(QString());
    EXPECT_GT(identified, 500);
}
