#include "device/Definition.h"
#include "device/DeviceData.h"
#include "device/ParameterFile.h"
#include "support/DefinitionFixtures.h"
#include "support/ParameterFileFixtures.h"
#include "shell/Texts.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList Lines(const char *text) { return SplitDefinitionLines(QString::fromUtf8(text)); }

// A record at base 0x0800 with 32 pages, the version given and a file of 8240 bytes.
ConversionWork Work(int version = 11)
{
    ConversionWork w;
    w.Geraet.ProgramVersion = version;
    w.ImageBase = 0x0800;
    w.PageCount = 32;
    w.FileLength = 8240;
    return w;
}

int Byte(const ConversionWork &w, int address) { return w.Geraet.GetByte(address - w.ImageBase); }

TEST(Conversion, SectionsAboveTheVersionRunInFileOrder)
{
    struct Case { int version; QStringList echoes; int value; };
    // Section 13 stands before 12 in the file: file order decides, not the number.
    const char *file = "ECHO=vor allen Abschnitten\n"
                       "[11]\nECHO=elf\nSET=$0810;11\n"
                       "[13]\nECHO=dreizehn\nSET=$0810;13\n"
                       "[12]\nECHO=zwölf\nSET=$0810;12\n";
    const Case cases[] = {
        {11, {QStringLiteral("dreizehn"), QStringLiteral("zwölf")}, 12},
        {12, {QStringLiteral("dreizehn")}, 13},
        {10, {QStringLiteral("elf"), QStringLiteral("dreizehn"), QStringLiteral("zwölf")}, 12},
        {13, {}, 0},
    };
    for (const Case &c : cases) {
        ConversionWork w = Work(c.version);
        RecordingPrompter p;
        ASSERT_TRUE(RunConversion(Lines(file), w, p)) << c.version;
        EXPECT_EQ(w.EchoTexts, c.echoes) << c.version;
        EXPECT_EQ(Byte(w, 0x0810), c.value) << c.version;
        EXPECT_TRUE(p.messages.isEmpty());
    }
}

TEST(Conversion, SectionNumbersMayBeHexWithBlanksAndTrailingText)
{
    ConversionWork w = Work(11);
    RecordingPrompter p;
    ASSERT_TRUE(RunConversion(Lines("[ $0C ] neu\nECHO=zwölf\n[kein]\nECHO=nie\n[11]\nECHO=elf\n"), w, p));
    EXPECT_EQ(w.EchoTexts, QStringList{QStringLiteral("zwölf")});
}

TEST(Conversion, ChangeScalesTheByteModulo256)
{
    struct Case { int before; const char *args; int after; };
    const Case cases[] = {
        {10, "3,2,1", 14},   // the documented example
        {7, "1,2,0", 3},     // truncated division
        {255, "2,1,0", 254}, // 510 mod 256
        {0, "1,1,1", 255},   // below zero wraps
        {100, "$10,$20,0", 50},
    };
    for (const Case &c : cases) {
        ConversionWork w = Work();
        w.Geraet.SetByte(0x10, c.before);
        RecordingPrompter p;
        const QString file = QStringLiteral("[12]\nCHANGE=$0810;%1\n").arg(QString::fromUtf8(c.args));
        ASSERT_TRUE(RunConversion(SplitDefinitionLines(file), w, p)) << c.args;
        EXPECT_EQ(Byte(w, 0x0810), c.after) << c.args;
    }
}

TEST(Conversion, MissingOrUnreadableNumberFieldRefusesTheLineNamingTheField)
{
    struct Case { const char *line; const char *reason; };
    const Case cases[] = {
        // Read as -1 these wrote 0xFF and 2 instead of 1.
        {"BSET=$0810;$F0", "Im Befehl BSET fehlt Feld 3 (ODER-Maske)."},
        {"CHANGE=$0810;3,2", "Im Befehl CHANGE fehlt Feld 4 (Subtrahend)."},
        {"CHANGE=$0810;3,,1", "Im Befehl CHANGE fehlt Feld 3 (Divisor)."},
        {"CHANGE=$0810;x,1,0", "Im Befehl CHANGE ist Feld 2 (Multiplikator) ungültig: x"},
        {"BSET=$0810;$F0,  ", "Im Befehl BSET fehlt Feld 3 (ODER-Maske)."},
        {"COPY=$0800;$0900", "Im Befehl COPY fehlt Feld 3 (Anzahl)."},
        {"COPY=$0800;zwei;3", "Im Befehl COPY ist Feld 2 (Ziel) ungültig: zwei"},
        {"SET=$0810", "Im Befehl SET fehlt Feld 2 (Wert)."},
        {"SET=$0810;1,,2", "Im Befehl SET fehlt Feld 3 (Wert)."},
        // Read as 0 this moved the whole image to base 0.
        {"BASE=abc", "Im Befehl BASE ist Feld 1 (neue Basis) ungültig: abc"},
        {"VER=12", "Im Befehl VER fehlt Feld 2 (Datum)."},
        {"VER=;1.1.2005", "Im Befehl VER fehlt Feld 1 (Version)."},
        {"VER=300;1.1.2005", "Im Befehl VER ist Feld 1 (Version) ungültig: 300"},
        {"VER=12;31.02.2005", "Im Befehl VER ist Feld 2 (Datum) ungültig: 31.02.2005"},
        {"VER=12;1.6", "Im Befehl VER ist Feld 2 (Datum) ungültig: 1.6"},
    };
    for (const Case &c : cases) {
        ConversionWork w = Work();
        w.Geraet.SetByte(0x10, 10);
        RecordingPrompter p;
        const QString line = QString::fromUtf8(c.line);
        EXPECT_FALSE(RunConversion(SplitDefinitionLines(QStringLiteral("[12]\n") + line + QLatin1Char('\n')), w, p))
            << c.line;
        ASSERT_EQ(p.messages.size(), 1) << c.line;
        EXPECT_EQ(p.messages[0].kind, QStringLiteral("error"));
        EXPECT_TRUE(p.messages[0].text.startsWith(QString::fromUtf8(c.reason) + QStringLiteral("\rZeile 2: ") + line))
            << p.messages[0].text.toStdString();
        EXPECT_FALSE(w.VersionSeen) << c.line;
    }
    // Blanks inside a field and text after the date are no reason to refuse.
    ConversionWork w = Work();
    RecordingPrompter p;
    EXPECT_TRUE(RunConversion(Lines("[12]\nBSET=$0810; $F0 , $01 \nVER= 12 ;1.6.2005;Rest\n"), w, p))
        << p.texts().join('|').toStdString();
}

TEST(Conversion, ChangeWithHugeNumbersStaysDefined)
{
    ConversionWork w = Work();
    w.Geraet.SetByte(0x10, 255);
    RecordingPrompter p;
    ASSERT_TRUE(RunConversion(Lines("[12]\nCHANGE=$0810;9223372036854775807,1,0\n"), w, p));
    // 255 * (2^63 - 1) = ...FF01 in its low byte after the wrap.
    EXPECT_EQ(Byte(w, 0x0810), 0x01);
}

TEST(Conversion, DivisionByZeroStopsWithMessageNamingTheLine)
{
    ConversionWork w = Work();
    RecordingPrompter p;
    EXPECT_FALSE(RunConversion(Lines("[12]\nSET=$0810;5\nCHANGE=$0810;3,0,1\n"), w, p));
    ASSERT_EQ(p.messages.size(), 1);
    EXPECT_EQ(p.messages[0].kind, QStringLiteral("error"));
    EXPECT_TRUE(p.messages[0].text.contains(QStringLiteral("Division durch Null")));
    EXPECT_TRUE(p.messages[0].text.contains(QStringLiteral("Zeile 3: CHANGE=$0810;3,0,1")));
}

TEST(Conversion, CopyRunsByteByByteUpwards)
{
    ConversionWork w = Work();
    for (int k = 0; k < 6; ++k)
        w.Geraet.SetByte(k, k + 1);
    RecordingPrompter p;
    ASSERT_TRUE(RunConversion(Lines("[12]\nCOPY=$0800;$0900;3\nCOPY=$0800;$0801;4\n"), w, p));
    EXPECT_EQ(Byte(w, 0x0900), 1);
    EXPECT_EQ(Byte(w, 0x0902), 3);
    EXPECT_EQ(Byte(w, 0x0903), 0);
    // Overlapping upwards: the first byte runs through the whole target.
    for (int a = 0x0800; a <= 0x0804; ++a)
        EXPECT_EQ(Byte(w, a), 1) << a;
    EXPECT_EQ(Byte(w, 0x0805), 6);
}

TEST(Conversion, SetWritesNumbersAndQuotedTexts)
{
    ConversionWork w = Work();
    RecordingPrompter p;
    ASSERT_TRUE(RunConversion(Lines("[12]\nSET=$0812;1,$FF,\"AB\",\"\",300,\"x y\"\n"), w, p));
    const int expected[] = {1, 0xFF, 'A', 'B', 300 & 0xFF, 'x', ' ', 'y'};
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(Byte(w, 0x0812 + k), expected[k]) << k;
}

TEST(Conversion, SetWithFieldThatIsNoNumberStopsWithConversionError)
{
    ConversionWork w = Work();
    RecordingPrompter p;
    EXPECT_FALSE(RunConversion(Lines("[12]\nSET=$0812;1,zwei,3\n"), w, p));
    ASSERT_EQ(p.messages.size(), 1);
    EXPECT_TRUE(p.messages[0].text.startsWith(ConversionErrorText(QStringLiteral("zwei"))));
    EXPECT_TRUE(p.messages[0].text.contains(QStringLiteral("Zeile 2")));
}

TEST(Conversion, BsetMasksThenSets)
{
    ConversionWork w = Work();
    w.Geraet.SetByte(0x20, 0x3C);
    RecordingPrompter p;
    ASSERT_TRUE(RunConversion(Lines("[12]\nBSET=$0820;$F0,$01\n"), w, p));
    EXPECT_EQ(Byte(w, 0x0820), 0x31);
}

TEST(Conversion, BaseMovesDataUpAndFillsBelowWithFF)
{
    ConversionWork w = Work();
    for (int i = 0; i < 8240; ++i)
        w.Geraet.SetByte(i, (i * 13 + 5) & 0xFF);
    const TGeraet before = w.Geraet;
    RecordingPrompter p;
    ASSERT_TRUE(RunConversion(Lines("[12]\nBASE=$0700\n"), w, p));
    EXPECT_EQ(w.ImageBase, 0x0700);
    EXPECT_EQ(w.FileLength, 8448); // (8240 + 256) with the low byte cleared
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(w.Geraet.GetByte(i), 0xFF) << i;
    for (int i = 0; i < 8240; ++i)
        ASSERT_EQ(w.Geraet.GetByte(i + 256), before.GetByte(i)) << i;
    // The identification is where the new file length says.
    EXPECT_EQ(IdentPosition(w.FileLength), 8192 + 256);
    // Device addresses keep their bytes after the move.
    EXPECT_EQ(Byte(w, 0x0810), before.GetByte(0x10));
}

TEST(Conversion, BaseThatIsNotLowerChangesNothing)
{
    ConversionWork w = Work();
    w.Geraet.SetByte(0, 0x42);
    RecordingPrompter p;
    ASSERT_TRUE(RunConversion(Lines("[12]\nBASE=$0800\nBASE=$0900\n"), w, p));
    EXPECT_EQ(w.ImageBase, 0x0800);
    EXPECT_EQ(w.FileLength, 8240);
    EXPECT_EQ(w.Geraet.GetByte(0), 0x42);
}

TEST(Conversion, AddressesOutsideTheImageAreRefusedNamingTheLine)
{
    const char *lines[] = {
        "COPY=$0700;$0900;4",    // source below the image
        "COPY=$0800;$87FE;4",    // target runs over the end
        "COPY=$0800;$0900;-5",   // negative count
        "CHANGE=$8800;1,1,0",    // just above the image
        "SET=$87FF;1,2",         // second byte beyond the end
        "SET=$87FE;\"ABC\"",     // text beyond the end
        "BSET=$07FF;$FF,$00",    // just below
        "BSET=nix;1,2",          // not a number counts as 0: below the image
        "BASE=-256",             // a negative base names no memory
    };
    for (const char *line : lines) {
        ConversionWork w = Work();
        RecordingPrompter p;
        const QString file = QStringLiteral("[12]\n") + QString::fromUtf8(line) + QLatin1Char('\n');
        EXPECT_FALSE(RunConversion(SplitDefinitionLines(file), w, p)) << line;
        ASSERT_EQ(p.messages.size(), 1) << line;
        EXPECT_TRUE(p.messages[0].text.contains(QStringLiteral("Zeile 2: ") + QString::fromUtf8(line))) << line;
    }
    // The last byte of the image is still in it.
    RecordingPrompter p;
    ConversionWork v = Work();
    EXPECT_TRUE(RunConversion(Lines("[12]\nSET=$87FF;7\n"), v, p));
    EXPECT_EQ(v.Geraet.GetByte(32767), 7);
}

TEST(Conversion, BaseThatWouldPushDataOutOfTheImageIsRefused)
{
    ConversionWork w = Work();
    w.PageCount = 127; // 32560 bytes of data: one page more does not fit
    w.FileLength = 32560;
    w.Geraet.SetByte(0, 0x42);
    RecordingPrompter p;
    EXPECT_FALSE(RunConversion(Lines("[12]\nBASE=$0700\n"), w, p));
    ASSERT_EQ(p.messages.size(), 1);
    EXPECT_TRUE(p.messages[0].text.contains(QStringLiteral("Zeile 2: BASE=$0700")));
    // With room for it, the same move succeeds.
    ConversionWork v = Work();
    v.PageCount = 126;
    EXPECT_TRUE(RunConversion(Lines("[12]\nBASE=$0700\n"), v, p));
}

TEST(Conversion, LastVerSetsVersionDateAndIdentificationBytes)
{
    ConversionWork w = Work(11);
    RecordingPrompter p;
    ASSERT_TRUE(RunConversion(Lines("[12]\nVER=12;01.02.2003\n[13]\nVER=13;24.12.2009;Rest\n"), w, p));
    EXPECT_EQ(w.Geraet.ProgramVersion, 13);
    EXPECT_EQ(w.Geraet.ProgramDate, QStringLiteral("24.12.2009"));
    const int pos = 8192;
    EXPECT_EQ(w.Geraet.GetByte(pos + 11), 13);
    EXPECT_EQ(w.Geraet.GetByte(pos + 12), 32);
    EXPECT_EQ(w.Geraet.GetByte(pos + 13), 24);
    EXPECT_EQ(w.Geraet.GetByte(pos + 14), 12);
    EXPECT_EQ(w.Geraet.GetByte(pos + 15), 9);
}

TEST(Conversion, NamesAreComparedExactlyAndOthersIgnored)
{
    ConversionWork w = Work();
    RecordingPrompter p;
    ASSERT_TRUE(RunConversion(Lines("[12]\nset=$0810;1\nSET =$0811;1\nFOO=1\nohne Gleichheitszeichen\n\nSET=$0812;9\n"),
                              w, p));
    EXPECT_EQ(Byte(w, 0x0810), 0);
    EXPECT_EQ(Byte(w, 0x0811), 0);
    EXPECT_EQ(Byte(w, 0x0812), 9);
}

// The whole command on loaded data, with a definition and a conversion file on disk.
class ConvertConfigurationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        data.write(Fixture::ControllerDefinitionName(), Fixture::ControllerDefinition());
        path = files.path() + QStringLiteral("/anlage.101");
        ASSERT_TRUE(Fixture::WriteFile(path, Fixture::ControllerFile(32, 11)));
        ASSERT_TRUE(LoadParameterFile(d, path, prompter));
        prompter.clear();
    }
    void conversionFile(const char *text) { data.write(QStringLiteral("101upgrate.ini"), QString::fromUtf8(text)); }

    ScratchDataDir data;
    QTemporaryDir files;
    QString path;
    RecordingPrompter prompter;
    DeviceData d;
};

TEST_F(ConvertConfigurationTest, ConvertedDataAreReadAgainAndSurviveSaving)
{
    conversionFile("[11]\nSET=$0810;99\n[12]\nECHO=Umstellung auf Version 12\nCHANGE=$0810;3,2,1\nVER=12;01.06.2005\n");
    d.Geraet.SetByte(0x10, 10);
    ASSERT_TRUE(ConvertConfiguration(d, prompter)) << prompter.texts().join('|').toStdString();
    EXPECT_EQ(d.Geraet.GetByte(0x10), 14);
    EXPECT_EQ(d.Geraet.ProgramVersion, 12);
    EXPECT_EQ(d.Geraet.IdentBlock[11], 12); // identification taken again from the image
    EXPECT_TRUE(d.Def.ParametersComplete);
    EXPECT_EQ(d.Params.Count(), 7); // the list read again replaces the one shown before
    EXPECT_TRUE(prompter.has(QStringLiteral("information"), QStringLiteral("Umstellung auf Version 12\n\r")));

    QString written;
    ASSERT_TRUE(SaveParameterFile(d, files.path() + QStringLiteral("/neu"), prompter, &written));
    DeviceData e;
    ASSERT_TRUE(LoadParameterFile(e, written, prompter));
    EXPECT_EQ(e.Geraet.ProgramVersion, 12);
    EXPECT_EQ(e.Geraet.GetByte(0x10), 14);
}

TEST_F(ConvertConfigurationTest, EchoTextsGoToTheCallerWhenAskedFor)
{
    conversionFile("[12]\nECHO=eins\nECHO=zwei\n");
    QStringList echo;
    ASSERT_TRUE(ConvertConfiguration(d, prompter, &echo));
    EXPECT_EQ(echo, (QStringList{QStringLiteral("eins"), QStringLiteral("zwei")}));
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(ConvertConfigurationTest, RefusedCommandLeavesEarlierCommandsUndone)
{
    conversionFile("[12]\nSET=$0810;1,2,3\nVER=12;1.1.2010\nCOPY=$0800;$9000;2\n");
    const TGeraet before = d.Geraet;
    const int length = d.FileLength;
    EXPECT_FALSE(ConvertConfiguration(d, prompter));
    EXPECT_EQ(d.Geraet.Image, before.Image);
    EXPECT_EQ(d.Geraet.ProgramVersion, 11);
    EXPECT_EQ(d.FileLength, length);
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("Zeile 4: COPY=$0800;$9000;2")));
    EXPECT_TRUE(d.Def.ParametersComplete);
}

TEST_F(ConvertConfigurationTest, DivisionByZeroChangesNothing)
{
    conversionFile("[12]\nSET=$0810;10\nCHANGE=$0810;1,0,0\n");
    const TGeraet before = d.Geraet;
    EXPECT_FALSE(ConvertConfiguration(d, prompter));
    EXPECT_EQ(d.Geraet.Image, before.Image);
}

TEST_F(ConvertConfigurationTest, MissingConversionFileIsNamed)
{
    const TGeraet before = d.Geraet;
    EXPECT_FALSE(ConvertConfiguration(d, prompter));
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].text.startsWith(QStringLiteral("Error 6 ")));
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("101upgrate.ini")));
    EXPECT_EQ(d.Geraet.Image, before.Image);
}

TEST(ConvertConfigurationReRead, UnreadableResultKeepsTheSetShownBeforeAndSaysWhy)
{
    // An alarm text that only the broken new version would overwrite.
    const QString broken = Fixture::ControllerDefinition().replace(
        QStringLiteral("ParaEnd:\n"), QStringLiteral("1. Neuer Alarm*0902;30;0;21;§12\nParaEnd:§92\n"));
    struct Case
    {
        const char *file;
        const char *programId;
        int version;
        QString definitionName;
        QString definition;
        const char *conversion;
        QString reason;
    };
    const Case cases[] = {
        // A ZEV 202 PA004 of version 9 needs the "_v10" definition, which is not there.
        {"a.202", "Z202 PA004", 8, QStringLiteral("Z202 PA004-DE_v8.ZPA"), Fixture::ControllerDefinition(),
         "[9]\nECHO=neu\nVER=9;01.06.2006\n", QStringLiteral("Can't open file %1/Z202 PA004-DE_v10.ZPA")},
        // The definition has no parameter end for version 12.
        {"a.101", Fixture::kProgramId, 11, Fixture::ControllerDefinitionName(), broken,
         "[12]\nECHO=neu\nSET=$0810;1\nVER=12;01.06.2006\n", QStringLiteral("Label \"ParaEnd:\" missing in file ")},
    };
    for (const Case &c : cases) {
        ScratchDataDir data;
        QTemporaryDir files;
        data.write(c.definitionName, c.definition);
        data.write(QStringLiteral("101upgrate.ini"), QString::fromUtf8(c.conversion));
        const QString path = files.path() + QLatin1Char('/') + QLatin1String(c.file);
        ASSERT_TRUE(Fixture::WriteFile(path, Fixture::ControllerFile(32, c.version, c.programId)));
        DeviceData d;
        RecordingPrompter prompter;
        ASSERT_TRUE(LoadParameterFile(d, path, prompter)) << prompter.texts().join('|').toStdString();
        prompter.clear();
        CL_ZLT().Consts[21] = QStringLiteral("alter Alarm");
        const TGeraet before = d.Geraet;
        const QString definitionBefore = d.State.DefinitionFile;
        const int countBefore = d.Params.Count();
        const QString textBefore = d.Params.ItemText(1);

        EXPECT_FALSE(ConvertConfiguration(d, prompter)) << c.file;
        EXPECT_EQ(d.Geraet.Image, before.Image) << c.file;
        EXPECT_EQ(d.Geraet.IdentBlock, before.IdentBlock);
        EXPECT_EQ(d.Geraet.ProgramVersion, c.version);
        EXPECT_EQ(d.State.DefinitionFile, definitionBefore);
        EXPECT_TRUE(d.Def.ParametersComplete);
        EXPECT_TRUE(d.Def.DefinitionLoaded);
        EXPECT_EQ(d.Params.Count(), countBefore);
        EXPECT_EQ(d.Params.ItemText(1), textBefore);
        EXPECT_EQ(CL_ZLT().Consts.at(21), QStringLiteral("alter Alarm"));
        // One message with the reason; the closing texts of a conversion that did not
        // take effect are not shown.
        ASSERT_EQ(prompter.messages.size(), 1) << prompter.texts().join('|').toStdString();
        const QString text = prompter.messages[0].text;
        EXPECT_EQ(prompter.messages[0].kind, QStringLiteral("error"));
        EXPECT_TRUE(text.startsWith(QStringLiteral("Die konvertierten Daten (Version %1) lassen sich nicht lesen:\r")
                                        .arg(c.version + 1)))
            << text.toStdString();
        EXPECT_TRUE(text.contains(c.reason.contains(QLatin1String("%1")) ? c.reason.arg(data.zpa()) : c.reason))
            << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral("die bisherigen Daten bleiben unverändert."))) << text.toStdString();
    }
}

TEST(ConvertConfigurationEmpty, NothingLoadedWarns)
{
    DeviceData d;
    RecordingPrompter p;
    EXPECT_FALSE(ConvertConfiguration(d, p));
    EXPECT_TRUE(p.has(QStringLiteral("warning"), GetText(40)));
}

} // namespace
