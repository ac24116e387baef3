#include "support/DefinitionFixtures.h"
#include "device/Catalogue.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>
#include <memory>
#include <random>

namespace {

// Type settings of a controller with base page 8 (ImageBase 0x800) and 32 pages.
QString TypSection(const QString &menuFlags = QStringLiteral("$2F"), const QString &pages = QStringLiteral("32"),
                   const QString &basePage = QStringLiteral("8"))
{
    return QStringLiteral("TypStart:\nZ101 Demo\n") + menuFlags + QLatin1Char('\n') + basePage + QStringLiteral("\n2\n") + pages
           + QStringLiteral("\n0;0;3\nTypEnd:\n");
}

// A ZEV 101 (type 0) whose definition file is "Z101 DEMO -DE.ZPA".
class DefinitionReader : public ::testing::Test
{
protected:
    void SetUp() override
    {
        d = std::make_unique<DeviceData>();
        d->Geraet.ProgramId = QStringLiteral("Z101 DEMO ");
        d->Geraet.ProgramVersion = 12;
        d->State.ModelPattern = QStringLiteral("*.101");
        d->LanguageSuffix = QStringLiteral("-DE");
    }
    QString writeDefinition(const QString &body, const QString &typ = TypSection())
    {
        return dir.write(QStringLiteral("Z101 DEMO -DE.ZPA"), typ + body);
    }
    void setImageText(int address, const QByteArray &bytes, int imageBase)
    {
        for (int k = 0; k < bytes.size(); ++k)
            d->Geraet.SetByte(address - imageBase + k, quint8(bytes.at(k)));
    }

    ScratchDataDir dir;
    RecordingPrompter prompter;
    std::unique_ptr<DeviceData> d;
};

} // namespace

TEST(DefinitionLines, LineEndsOfAllKinds)
{
    struct Case
    {
        QString text;
        QStringList lines;
    } cases[] = {
        {QStringLiteral("a\r\nb"), {"a", "b"}},
        {QStringLiteral("a\nb\n"), {"a", "b"}},
        {QStringLiteral("a\rb\r"), {"a", "b"}},
        {QStringLiteral("a\r\r\nb"), {"a", "", "b"}},
        {QStringLiteral("a\n\r\nb"), {"a", "", "b"}},
        {QStringLiteral("\n"), {""}},
        {QString(), {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SplitDefinitionLines(c.text), c.lines) << c.text.toStdString();
}

TEST(DefinitionLines, VersionFilter)
{
    struct Case
    {
        QString line;
        int version;
        bool kept;
        QString result;
    } cases[] = {
        {QStringLiteral("P*0810;3;0;600;V§12"), 12, true, QStringLiteral("P*0810;3;0;600;V")},
        {QStringLiteral("P*0810;3;0;600;V§12"), 11, false, {}},
        {QStringLiteral("P*0810;3;0;600;V§92"), 11, true, QStringLiteral("P*0810;3;0;600;V")},
        {QStringLiteral("P*0810;3;0;600;V§92"), 12, false, {}},
        {QStringLiteral("x §80"), 80, true, QStringLiteral("x ")},
        {QStringLiteral("x §80"), 79, false, {}},
        {QStringLiteral("x §81"), 0, true, QStringLiteral("x ")},
        {QStringLiteral("x §81"), 1, false, {}},
        {QStringLiteral("x§ 7 "), 7, true, QStringLiteral("x")},
        {QStringLiteral("§0"), 0, true, QString()},
    };
    for (const Case &c : cases) {
        QStringList lines{QStringLiteral("before"), c.line, QStringLiteral("after")};
        ASSERT_TRUE(FilterVersionLines(lines, c.version)) << c.line.toStdString();
        const QStringList expected = c.kept ? QStringList{QStringLiteral("before"), c.result, QStringLiteral("after")}
                                            : QStringList{QStringLiteral("before"), QStringLiteral("after")};
        EXPECT_EQ(lines, expected) << c.line.toStdString() << " v" << c.version;
    }
}

TEST(DefinitionLines, ConsecutiveRemovedLinesAreAllChecked)
{
    QStringList lines{QStringLiteral("a§20"), QStringLiteral("b§20"), QStringLiteral("c§5"), QStringLiteral("d§21")};
    ASSERT_TRUE(FilterVersionLines(lines, 10));
    EXPECT_EQ(lines, (QStringList{QStringLiteral("c")}));
}

TEST(DefinitionLines, VersionThatIsNoNumberIsReported)
{
    for (const QString &line : {QStringLiteral("x§abc"), QStringLiteral("x§12§3"), QStringLiteral("x§"),
                                QStringLiteral("x§99999999999")}) {
        QStringList lines{line};
        QString bad = QStringLiteral("unset");
        EXPECT_FALSE(FilterVersionLines(lines, 10, &bad)) << line.toStdString();
        EXPECT_EQ(bad, line.mid(line.indexOf(QChar(0xA7)) + 1).trimmed());
    }
}

TEST(DefinitionLines, LabelsIgnoreTrailingWhiteSpaceButNotLeadingBlanks)
{
    const QStringList lines{QStringLiteral(" ParaStart:"), QStringLiteral("ParaStart: \t"), QStringLiteral("pArAsTaRt:")};
    EXPECT_EQ(FindStartLabel(lines, QStringLiteral("ParaStart:")), 1);
    EXPECT_EQ(FindStartLabel(lines, QStringLiteral("ParaStart:"), 2), 2);
    EXPECT_EQ(FindStartLabel(lines, QStringLiteral("TypStart:")), -1);
    struct Case { const char *line; bool ends; };
    const Case cases[] = {
        {"ParaEnd:", true}, {"ParaEnd: ", true}, {"ParaEnd:\t \t", true},
        {" ParaEnd:", false}, {"paraend: ", false}, {"ParaEnd", false}, {"ParaEnd: x", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsEndLabel(QString::fromUtf8(c.line), QStringLiteral("ParaEnd:")), c.ends) << c.line;
}

TEST(DefinitionTypeSettings, DecodesLines)
{
    struct Case
    {
        QStringList lines;
        bool ok;
        int menu, base, options, pages;
        QString clock;
    } cases[] = {
        {{"N", "$17", "8", "2", "32", "0;0;3"}, true, 0x17, 8, 2, 32, "3"},
        {{"N", "23", "$10", "6", "0", "1"}, true, 23, 16, 6, 256, ""},
        {{"N", "1", "0", "0", "5"}, true, 1, 0, 0, 5, ""},
        {{"N", "1", "0", "0", "5", "a;b"}, true, 1, 0, 0, 5, ""},
        {{"N", "1", "0", "0", "5", "a;b;2;x"}, true, 1, 0, 0, 5, "2"},
        {{"N", "x", "0", "0", "5"}, false, 0, 0, 0, 0, ""},
        {{"N", "1", "0", "0"}, false, 0, 0, 0, 0, ""},
        {{"N", "1", "0", "0", "$"}, false, 0, 0, 0, 0, ""},
        {{"N", "1", "99999999999", "0", "5"}, false, 0, 0, 0, 0, ""},
    };
    for (const Case &c : cases) {
        TypeSettings ts;
        QString bad;
        ASSERT_EQ(ParseTypeSettings(c.lines, &ts, &bad), c.ok) << c.lines.join('|').toStdString();
        if (!c.ok)
            continue;
        EXPECT_EQ(ts.MenuFlags, c.menu);
        EXPECT_EQ(ts.BasePage, c.base);
        EXPECT_EQ(ts.OptionFlags, c.options);
        EXPECT_EQ(ts.PageCount, c.pages);
        EXPECT_EQ(ts.ClockKind, c.clock);
    }
}

TEST_F(DefinitionReader, MissingFileWarnsAndLeavesNothingBehind)
{
    d->Def.DefinitionLines = QStringList{QStringLiteral("old")};
    const QString path = dir.zpa() + QStringLiteral("/nope.ZPA");
    EXPECT_FALSE(OpenDefinition(*d, path, prompter));
    EXPECT_TRUE(prompter.has(QStringLiteral("warning"), QStringLiteral("Can't open file ") + path));
    EXPECT_TRUE(d->Def.DefinitionLines.isEmpty());
}

TEST_F(DefinitionReader, MissingTypeLabelNamesTheProgramId)
{
    const QString path = writeDefinition(QStringLiteral("ParaStart:\nParaEnd:\n"), QString());
    EXPECT_FALSE(OpenDefinition(*d, path, prompter));
    EXPECT_TRUE(prompter.has(QStringLiteral("error"), QStringLiteral("Label \"TypStart:\" missing in file Z101 DEMO ")));
}

TEST_F(DefinitionReader, TypeSectionLabels)
{
    // Lower-case start label found; a lower-case end label is just another line.
    const QString path = writeDefinition(QString(), QStringLiteral("typstart:\nN\n1\n8\n0\n4\n1\ntypend:\nx\nTypEnd:\ny\n"));
    ASSERT_TRUE(OpenDefinition(*d, path, prompter)) << prompter.texts().join('\n').toStdString();
    EXPECT_EQ(d->Def.TypLines,
              (QStringList{"N", "1", "8", "0", "4", "1", "typend:", "x"}));
}

TEST_F(DefinitionReader, TypeSectionEndsAtEndOfFileAndHoldsAtMost32Lines)
{
    QString typ = QStringLiteral("TypStart:\nN\n1\n8\n0\n4\n");
    for (int i = 0; i < 40; ++i)
        typ += QStringLiteral("extra\n");
    const QString path = writeDefinition(QString(), typ);
    ASSERT_TRUE(OpenDefinition(*d, path, prompter));
    EXPECT_EQ(d->Def.TypLines.size(), 32);
}

TEST_F(DefinitionReader, BadTypeLinesAndPageCountsAreRefused)
{
    struct Case
    {
        QString typ;
        QString message;
    } cases[] = {
        {QStringLiteral("TypStart:\nN\nabc\n8\n0\n4\nTypEnd:\n"), QStringLiteral("'abc' ist kein gültiger Integerwert")},
        {QStringLiteral("TypStart:\nN\n1\n8\n0\nTypEnd:\n"), QStringLiteral("'' ist kein gültiger Integerwert")},
        {QStringLiteral("TypStart:\nN\n1\n8\n0\n0\nTypEnd:\n"), QStringLiteral("Error P1, Seitenzahl ungültig: 0 ")},
        {QStringLiteral("TypStart:\nN\n1\n8\n0\n128\nTypEnd:\n"), QStringLiteral("Error P1, Seitenzahl ungültig: 128 ")},
        {QStringLiteral("TypStart:\nN\n1\n8\n0\n-1\nTypEnd:\n"), QStringLiteral("Error P1, Seitenzahl ungültig: -1 ")},
        {QStringLiteral("TypStart:\nN\n1\n256\n0\n4\nTypEnd:\n"), QStringLiteral("Error P2, Basisseite ungültig: 256 ")},
    };
    for (const Case &c : cases) {
        prompter.clear();
        const QString path = writeDefinition(QStringLiteral("ParaStart:\nParaEnd:\n"), c.typ);
        EXPECT_FALSE(OpenDefinition(*d, path, prompter)) << c.typ.toStdString();
        const QString expected = c.message.startsWith(QLatin1String("Error P")) ? c.message + path : c.message;
        EXPECT_TRUE(prompter.has(QStringLiteral("error"), expected)) << prompter.texts().join('\n').toStdString();
        EXPECT_TRUE(d->Def.DefinitionLines.isEmpty());
    }
    prompter.clear();
    const QString path = writeDefinition(QStringLiteral("ParaStart:\nParaEnd:\n"), TypSection("1", "127"));
    EXPECT_TRUE(OpenDefinition(*d, path, prompter));
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(DefinitionReader, AnsiAndUtf8FilesReadAlike)
{
    const QString body = QStringLiteral("ParaStart:\n+++ Überwachung +++*0000;0;;;\nSpannung*0810;3;0;600;V§12\nParaEnd:\n");
    QString text = TypSection() + body;
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    for (const QByteArray &bytes : {Ansi::encode(text), text.toUtf8()}) {
        dir.writeBytes(QStringLiteral("Z101 DEMO -DE.ZPA"), bytes);
        prompter.clear();
        ASSERT_TRUE(ReadParameters(*d, prompter)) << prompter.texts().join('\n').toStdString();
        ASSERT_EQ(d->Params.Count(), 2);
        EXPECT_EQ(d->Def.GroupTable.at(0).Name, QStringLiteral("Überwachung"));
        EXPECT_EQ(d->Params.GetUnit(1), QStringLiteral("V"));
    }
}

TEST_F(DefinitionReader, ParametersGroupsAndPositions)
{
    writeDefinition(QStringLiteral("parastart:\n"
                                   "+++ Generator +++*0000;0;;;#3\n"
                                   "  Nennspannung*0810;3;0;600;V\n"
                                   "\n"
                                   "  +++ Netz +++  *0000;0;;;\n"
                                   "  Anzahl*0812;9;1;5;\n"
                                   "Nur neu*0814;9;1;5;§13\n"
                                   "Nur alt*0814;9;1;5;§93\n"
                                   "ParaEnd:\n"));
    ASSERT_TRUE(ReadParameters(*d, prompter)) << prompter.texts().join('\n').toStdString();
    EXPECT_TRUE(prompter.messages.isEmpty());
    EXPECT_TRUE(d->Def.ParametersComplete);
    // Four visible lines and the version 12 variant; the empty line holds a position.
    ASSERT_EQ(d->Params.Count(), 5);
    EXPECT_EQ(d->Params.Item(4).Text, QStringLiteral("Nur alt"));
    EXPECT_EQ(d->Def.ParameterLineCount, 7);
    ASSERT_EQ(d->Def.GroupTable.size(), 2);
    EXPECT_EQ(d->Def.LastGroupIndex, 1);
    EXPECT_EQ(d->Def.GroupTable.at(0).Name, QStringLiteral("Generator"));
    EXPECT_EQ(d->Def.GroupTable.at(0).Start, 0);
    EXPECT_EQ(d->Def.GroupTable.at(0).Layout, QStringLiteral("3"));
    EXPECT_EQ(d->Def.GroupTable.at(1).Name, QStringLiteral("Netz"));
    EXPECT_TRUE(d->Def.GroupTable.at(1).Layout.isEmpty());
    // Header of "Netz" is list item 2 but position 3.
    EXPECT_EQ(d->Params.Item(2).Text, QStringLiteral("  +++ Netz +++  "));
    EXPECT_EQ(d->Def.GroupTable.at(1).Start, 3);
    // Type settings applied by the reopen.
    EXPECT_EQ(d->State.ImageBase, 0x800);
    EXPECT_EQ(d->State.PageCount, 32);
    EXPECT_EQ(d->Def.MenuFlags, 0x2F);
    EXPECT_EQ(d->Def.ClockKind, QStringLiteral("3"));
}

TEST_F(DefinitionReader, HandEditedLabelsWithTrailingBlanksAndLinesOfBlanks)
{
    // Every label followed by blanks or a tab, and a line of blanks among the parameters.
    writeDefinition(QStringLiteral("ParaStart: \n+++ Generator +++*0000;0;;;\n   \n  Nennspannung*0810;3;0;600;V\n"
                                   "ParaEnd: \t\nRelFunkStart:  \nSammelalarm*0101\nRelFunkEnd: \n"
                                   "IstAnaStart: \nKopf*0900,4\nU*0,1,2\nIstAnaEnd: \n"
                                   "PrintStart: \nKopf\nPrintEnd: \nSPWStart: \nA*1;2\nSPWEnd: \n"),
                    QStringLiteral("TypStart: \nZ101 Demo\n$10\n8\n2\n32\n1\nTypEnd: \nkein Typ mehr\n"));
    ASSERT_TRUE(ReadParameters(*d, prompter)) << prompter.texts().join('\n').toStdString();
    EXPECT_EQ(d->Def.TypLines.size(), 6);
    ASSERT_EQ(d->Params.Count(), 2);
    // The line of blanks holds a position like an empty line.
    EXPECT_EQ(d->Def.ParameterLineCount, 4);
    EXPECT_TRUE(d->Def.RelayFunctionsLoaded);
    EXPECT_EQ(d->Def.RelayFunctionTable.size(), 1);
    int count = 0;
    EXPECT_TRUE(ReadActualValuePage(*d, QStringLiteral("IstAna"), prompter, nullptr, &count));
    EXPECT_EQ(d->Values.Count(), 1);
    QStringList print;
    EXPECT_EQ(ReadPrintTemplate(*d, {}, &print, prompter), 2);
    EXPECT_EQ(print, (QStringList{"Kopf", "PrintEnd:"}));
    QVector<SetPointRow> rows;
    EXPECT_TRUE(ReadSetPointTable(*d, &rows, prompter));
    EXPECT_EQ(rows.size(), 1);
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.texts().join('\n').toStdString();
}

TEST_F(DefinitionReader, LayoutKeyOnlyAfterTheStar)
{
    writeDefinition(QStringLiteral("ParaStart:\n+++ A#1 +++*0000;0;;;\n+++ B +++*0000;0;;;#\n+++ C +++*0000;0;#x;#5;\nParaEnd:\n"));
    ASSERT_TRUE(ReadParameters(*d, prompter));
    ASSERT_EQ(d->Def.GroupTable.size(), 3);
    EXPECT_EQ(d->Def.GroupTable.at(0).Layout, QString());
    EXPECT_EQ(d->Def.GroupTable.at(0).Name, QStringLiteral("A#1"));
    EXPECT_EQ(d->Def.GroupTable.at(1).Layout, QString());
    EXPECT_EQ(d->Def.GroupTable.at(2).Layout, QStringLiteral("x"));
}

TEST_F(DefinitionReader, MoreGroupsThanTheSelectorHoldsStayRows)
{
    QString body = QStringLiteral("ParaStart:\n");
    for (int i = 0; i < 80; ++i)
        body += QStringLiteral("+++ G%1 +++*0000;0;;;\n").arg(i);
    body += QStringLiteral("ParaEnd:\n");
    writeDefinition(body);
    ASSERT_TRUE(ReadParameters(*d, prompter));
    EXPECT_EQ(d->Params.Count(), 80);
    EXPECT_EQ(d->Def.GroupTable.size(), MaxGroups);
    EXPECT_EQ(d->Def.LastGroupIndex, MaxGroups - 1);
    EXPECT_EQ(d->Def.GroupTable.last().Start, MaxGroups - 1);
}

TEST_F(DefinitionReader, SectionFailures)
{
    struct Case
    {
        QString body;
        QString message; // %1 = definition path named in messages
        int items;
    } cases[] = {
        {QStringLiteral("ParaStart:\nA*0810;3;0;1;\nparaend:\nParaEnd:\n"),
         QStringLiteral("Label \"*\" missing in paraend: %1"), 1},
        {QStringLiteral("ParaStart:\nA*0810;3;0;1;\nB*0812;xyz;0;1;\nParaEnd:\n"),
         QStringLiteral("'$xyz' ist kein gültiger Integerwert"), 1},
        {QStringLiteral("ParaStart:\nA*0810\nParaEnd:\n"), QStringLiteral("'$' ist kein gültiger Integerwert"), 0},
        {QStringLiteral("ParaStart:\nA*0810;3;0;1;\n"), QStringLiteral("Label \"ParaEnd:\" missing in file %1"), 1},
        {QStringLiteral("Para:\nA*0810;3;0;1;\nParaEnd:\n"), QStringLiteral("Label \"ParaStart:\" missing in file %1"), 0},
    };
    for (const Case &c : cases) {
        prompter.clear();
        d->State.DefinitionFile = QStringLiteral("/earlier/definition.ZPA");
        writeDefinition(c.body);
        d->Def.ParametersComplete = true;
        EXPECT_FALSE(ReadParameters(*d, prompter)) << c.body.toStdString();
        EXPECT_FALSE(d->Def.ParametersComplete);
        EXPECT_EQ(d->Params.Count(), c.items) << c.body.toStdString();
        // Messages name the definition as it was when the reading started.
        const QString expected = QString(c.message).replace(QLatin1String("%1"), QLatin1String("/earlier/definition.ZPA"));
        EXPECT_TRUE(prompter.has(QStringLiteral("error"), expected))
            << prompter.texts().join('\n').toStdString();
    }
}

TEST_F(DefinitionReader, UnopenableDefinitionReportsTheMissingLabel)
{
    d->State.DefinitionFile = QStringLiteral("old.ZPA");
    d->Def.DefinitionLines = QStringList{QStringLiteral("ParaStart:"), QStringLiteral("A*0810;3;0;1;"), QStringLiteral("ParaEnd:")};
    EXPECT_FALSE(ReadParameters(*d, prompter));
    ASSERT_EQ(prompter.messages.size(), 2);
    EXPECT_EQ(prompter.messages.at(0).kind, QStringLiteral("warning"));
    EXPECT_TRUE(prompter.messages.at(0).text.startsWith(QLatin1String("Can't open file ")));
    EXPECT_EQ(prompter.messages.at(1).text, QStringLiteral("Label \"ParaStart:\" missing in file old.ZPA"));
    EXPECT_EQ(d->Params.Count(), 0);
}

TEST_F(DefinitionReader, AlarmParametersFillTheAlarmTexts)
{
    // Base page 4: both text areas (0x0600.., 0x0A00..) lie in the image.
    setImageText(0x0AA0, QByteArray("05 = Oel  Druck   niedrig") + QByteArray(7, '\0'), 0x400);
    setImageText(0x0600 + 2 * 32, QByteArray("50 = Tuer offen") + QByteArray(17, ' '), 0x400);
    const QString zlt70 = CL_ZLT().Consts.at(70);
    const QString body = QStringLiteral("ParaStart:\n"
                                        "Alarm 5*0900;31;0;5;\n"
                                        "xx Oeldruck fest*0902;32;0;20;\n"
                                        "Eingang 50*0904;37;0;50;\n"
                                        "Status*0906;30;0;70;\n"
                                        "Kein Alarmtyp*0908;38;0;5;\n"
                                        "Text als Max*090A;30;0;abc;\n"
                                        "ParaEnd:\n");
    writeDefinition(body, TypSection(QStringLiteral("1"), QStringLiteral("32"), QStringLiteral("4")));
    ASSERT_TRUE(ReadParameters(*d, prompter)) << prompter.texts().join('\n').toStdString();
    ASSERT_EQ(d->State.ImageBase, 0x400);
    // Drop 5, then every double blank once: three blanks become two.
    EXPECT_EQ(CL_ZLT().Consts.at(5), QStringLiteral("Oel Druck  niedrig"));
    EXPECT_EQ(d->Params.Item(0).Text, QStringLiteral(" -Oel Druck  niedrig"));
    EXPECT_EQ(CL_ZLT().Consts.at(20), QStringLiteral("Oeldruck fest"));
    EXPECT_EQ(d->Params.Item(1).Text, QStringLiteral("xx Oeldruck fest"));
    // 17 trailing blanks: eight pairs reduced, one left over.
    EXPECT_EQ(CL_ZLT().Consts.at(50), QStringLiteral("Tuer offen") + QString(9, QLatin1Char(' ')));
    EXPECT_EQ(d->Params.Item(2).Text, QStringLiteral(" -Tuer offen") + QString(9, QLatin1Char(' ')));
    EXPECT_EQ(CL_ZLT().Consts.at(70), zlt70);
    EXPECT_EQ(d->Params.Item(3).Text, QStringLiteral("Status"));
    EXPECT_EQ(d->Params.Item(4).Text, QStringLiteral("Kein Alarmtyp"));
    EXPECT_EQ(CL_ZLT().Consts.size(), 88);

    // Base page 8: the input texts at 0x0600 lie below the image and read as empty.
    writeDefinition(body, TypSection(QStringLiteral("1"), QStringLiteral("32"), QStringLiteral("8")));
    ASSERT_TRUE(ReadParameters(*d, prompter));
    EXPECT_EQ(CL_ZLT().Consts.at(50), QString());
    EXPECT_EQ(d->Params.Item(2).Text, QStringLiteral(" -"));
}

TEST_F(DefinitionReader, FixedAlarmTextCutDependsOnType)
{
    struct Case
    {
        QString pattern;
        QString programId;
        int version;
        int type;
        QString expected;
    } cases[] = {
        {QStringLiteral("*.101"), QStringLiteral("Z101 DEMO "), 12, 0, QStringLiteral("Motor Fehlstart")},
        {QStringLiteral("*.202"), QStringLiteral("Z202 PA004"), 14, 9, QStringLiteral(" Motor Fehlstart")},
        {QStringLiteral("*.202"), QStringLiteral("Z202 INSL "), 29, 13, QStringLiteral(" Motor Fehlstart")},
        {QStringLiteral("*.212"), QStringLiteral("Z212 XX   "), 12, 19, QStringLiteral("Motor Fehlstart")},
        // Not a controller: alarm lines are ordinary parameters.
        {QStringLiteral("*.1ZE"), QStringLiteral("Z1ZE DEMO "), 12, 32, QStringLiteral("Motor Fehlstart")},
    };
    for (const Case &c : cases) {
        CL_ZLT().Consts[21] = QStringLiteral("Motor Fehlstart");
        d->State.ModelPattern = c.pattern;
        d->Geraet.ProgramId = c.programId;
        d->Geraet.ProgramVersion = c.version;
        const QString name = c.programId + QStringLiteral("-DE") + VersionSuffix(c.type, c.version) + QStringLiteral(".ZPA");
        dir.write(name, TypSection() + QStringLiteral("ParaStart:\n1. Motor Fehlstart*0902;30;0;21;\nParaEnd:\n"));
        prompter.clear();
        ASSERT_TRUE(ReadParameters(*d, prompter)) << c.programId.toStdString() << prompter.texts().join('\n').toStdString();
        EXPECT_EQ(d->State.DeviceType, c.type);
        const QString expected = c.type == 32 ? QStringLiteral("Motor Fehlstart") : c.expected;
        EXPECT_EQ(CL_ZLT().Consts.at(21), expected) << c.programId.toStdString();
    }
}

TEST_F(DefinitionReader, RelayFunctionsFollowMenuBitFour)
{
    const QString body = QStringLiteral("ParaStart:\nA*0810;3;0;1;\nParaEnd:\nRelFunkStart:\nSammelalarm*01ab\nBetrieb*0102\nRelFunkEnd:\n");
    writeDefinition(body, TypSection(QStringLiteral("$10")));
    ASSERT_TRUE(ReadParameters(*d, prompter));
    ASSERT_TRUE(d->Def.RelayFunctionsLoaded);
    ASSERT_EQ(d->Def.RelayFunctionTable.size(), 2);
    EXPECT_EQ(d->Def.RelayFunctionTable.at(0).Text, QStringLiteral("Sammelalarm"));
    EXPECT_EQ(d->Def.RelayFunctionTable.at(0).Key, QStringLiteral("01AB"));

    writeDefinition(body, TypSection(QStringLiteral("$0F")));
    ASSERT_TRUE(ReadParameters(*d, prompter));
    EXPECT_FALSE(d->Def.RelayFunctionsLoaded);
    EXPECT_TRUE(d->Def.RelayFunctionTable.isEmpty());
}

TEST_F(DefinitionReader, RelayFunctionFailures)
{
    struct Case
    {
        QString section;
        QString kind;
        QString message;
        int entries;
    } cases[] = {
        {QString(), QStringLiteral("error"), QStringLiteral("Error F4 Z101 DEMO "), 0},
        {QStringLiteral("RelFunkStart:\nA*0001\nkein Stern\nB*0002\nRelFunkEnd:\n"), QStringLiteral("information"),
         QStringLiteral("Error 5, RelFunkEnd"), 1},
        {QStringLiteral("RelFunkStart:\nA*0001\n"), QStringLiteral("information"), QStringLiteral("Error 5, RelFunkEnd"), 1},
    };
    for (const Case &c : cases) {
        prompter.clear();
        writeDefinition(QStringLiteral("ParaStart:\nParaEnd:\n") + c.section, TypSection(QStringLiteral("$10")));
        EXPECT_TRUE(ReadParameters(*d, prompter));
        EXPECT_FALSE(d->Def.RelayFunctionsLoaded);
        EXPECT_EQ(d->Def.RelayFunctionTable.size(), c.entries);
        EXPECT_TRUE(prompter.has(c.kind, c.message)) << prompter.texts().join('\n').toStdString();
    }
}

TEST_F(DefinitionReader, RelayTableKeepsAtMost301Entries)
{
    QString section = QStringLiteral("RelFunkStart:\n");
    for (int i = 0; i < 320; ++i)
        section += QStringLiteral("F%1*%2\n").arg(i).arg(i, 4, 16, QLatin1Char('0'));
    section += QStringLiteral("RelFunkEnd:\n");
    writeDefinition(section);
    OpenDefinition(*d, dir.zpa() + QStringLiteral("/Z101 DEMO -DE.ZPA"), prompter);
    EXPECT_TRUE(ReadRelayFunctions(*d, prompter));
    EXPECT_EQ(d->Def.RelayFunctionTable.size(), MaxRelayFunctions);
}

TEST_F(DefinitionReader, AnalogModuleNamesItsInputs)
{
    d->Geraet.ProgramId = QStringLiteral("U9611     ");
    d->State.ModelPattern = QStringLiteral("*.ulv");
    // Analog functions of inputs 1 and 2 at image bytes 32 and 33.
    d->Geraet.SetByte(32, 7);
    d->Geraet.SetByte(33, 200);
    dir.write(QStringLiteral("U9611     -DE.ZPA"),
              TypSection() + QStringLiteral("AnaFunkStart:\n Druck*7\n Temperatur*401\nzu gross*402\nAnaFunkEnd:\n"
                                            "ParaStart:\n+++ Eingaenge +++*0000;0;;;\nEingang 1*0020;3;0;1;\n"
                                            "Eingang 2*0021;3;0;1;\nParaEnd:\n"));
    ASSERT_TRUE(ReadParameters(*d, prompter)) << prompter.texts().join('\n').toStdString();
    EXPECT_EQ(d->State.DeviceType, 35);
    EXPECT_EQ(d->Def.AnalogFunctionTexts.size(), 2);
    EXPECT_EQ(d->Params.Item(1).Text, QStringLiteral("Eingang 1 Druck"));
    EXPECT_EQ(d->Params.Item(2).Text, QStringLiteral("Eingang 2"));
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(DefinitionReader, AnalogFunctionFailures)
{
    d->Def.DefinitionLines = QStringList{QStringLiteral("AnaFunkStart:"), QStringLiteral("A*1"), QStringLiteral("B"),
                                         QStringLiteral("C*2"), QStringLiteral("AnaFunkEnd:")};
    EXPECT_FALSE(ReadAnalogFunctions(*d, prompter));
    EXPECT_TRUE(prompter.has(QStringLiteral("error"), QStringLiteral("Error 5, RelFunkEnd")));
    EXPECT_EQ(d->Def.AnalogFunctionTexts.size(), 1);
    prompter.clear();
    d->Def.DefinitionLines.clear();
    EXPECT_FALSE(ReadAnalogFunctions(*d, prompter));
    EXPECT_TRUE(prompter.has(QStringLiteral("error"), QStringLiteral("Error F4 Z101 DEMO ")));
}

TEST_F(DefinitionReader, ActualValuePage)
{
    d->Def.DefinitionLines = SplitDefinitionLines(QStringLiteral(
        "istanastart:\nAnalogwerte*1A0,24\nSpannung L1*00,05,S4,x\nStrom*02,3,\nIstAnaEnd:\n"
        "IstEinStart:\nEingaenge 12\nIstEinEnd:\n"
        "IstRelStart:\nAusgaenge*0100,10\nRelais 1*00,1,1\nkaputt\nIstRelEnd:\n"
        "IstSonStart:\nSonstiges*0100,300\nIstSonEnd:\n"
        "IstBefStart:\nBefehle*01G0,3\nIstBefEnd:\n"
        "IstCANStart:\nCAN*0100,5\nA*00,1,1\n"));
    QString address;
    int count = -1;
    ASSERT_TRUE(ReadActualValuePage(*d, QStringLiteral("IstAna"), prompter, &address, &count));
    EXPECT_EQ(address, QStringLiteral("01A0"));
    EXPECT_EQ(count, 24);
    ASSERT_EQ(d->Values.Count(), 2);
    EXPECT_EQ(d->Values.Item(0).TypeCode, QStringLiteral("05"));
    EXPECT_EQ(d->Values.Item(0).Format, QStringLiteral("S4,x"));

    struct Case
    {
        QString page;
        QString message;
        int items;
    } cases[] = {
        {QStringLiteral("IstAla"), QStringLiteral("Error 04 Z101 DEMO "), 0},
        {QStringLiteral("IstEin"), QStringLiteral("Error 5 Actual Values"), 0},
        {QStringLiteral("IstRel"), QStringLiteral("Error 5kaputtEnd:"), 1},
        {QStringLiteral("IstSon"), QStringLiteral("Error 5 Actual Values"), 0},
        {QStringLiteral("IstBef"), QStringLiteral("'01G0' ist kein gültiger Integerwert"), 0},
        {QStringLiteral("IstCAN"), QStringLiteral("Error 5IstCANEnd:"), 1},
    };
    for (const Case &c : cases) {
        prompter.clear();
        EXPECT_FALSE(ReadActualValuePage(*d, c.page, prompter, &address, &count)) << c.page.toStdString();
        EXPECT_TRUE(prompter.has(QStringLiteral("error"), c.message)) << prompter.texts().join('\n').toStdString();
        EXPECT_EQ(d->Values.Count(), c.items) << c.page.toStdString();
    }
}

TEST_F(DefinitionReader, PrintTemplateFillsSlots)
{
    d->Def.DefinitionLines = SplitDefinitionLines(QStringLiteral(
        "PrintStart:\nKopf\nRelais 1: &&\nPrintEnd\nRelais 2 &&x&&\nPrintEnd:\nnicht mehr &&\n"));
    QStringList flagTexts;
    for (int i = 0; i < 101; ++i)
        flagTexts.append(QStringLiteral("S%1").arg(i));
    QStringList lines;
    EXPECT_EQ(ReadPrintTemplate(*d, flagTexts, &lines, prompter), 4);
    EXPECT_EQ(lines, (QStringList{"Kopf", "Relais 1: S1", "Relais 2 x&&S2", "PrintEnd:"}));

    // Fewer flagTexts than "&&" lines: the missing flagTexts are empty.
    EXPECT_EQ(ReadPrintTemplate(*d, QStringList{QStringLiteral("S0")}, &lines, prompter), 4);
    EXPECT_EQ(lines.at(1), QStringLiteral("Relais 1: "));

    d->Def.DefinitionLines.clear();
    EXPECT_EQ(ReadPrintTemplate(*d, flagTexts, &lines, prompter), 0);
    EXPECT_TRUE(prompter.has(QStringLiteral("error"), QStringLiteral("Label \"PrintStart:\" missing in file Z101 DEMO ")));
}

TEST_F(DefinitionReader, FactorySetting)
{
    d->Def.MessageFile = QStringLiteral("/x/def.ZPA");
    d->Params.AddFromLine(QStringLiteral("Erster*0800;3;0;1;"));
    struct Case
    {
        QString line;
        bool ok;
        QString message;
    } cases[] = {
        {QStringLiteral("Werkseinstellung laden?*7c00;0800;1a0"), true, {}},
        {QStringLiteral("Ohne Stern"), false, QStringLiteral("Error K3, * in  Ohne Stern /x/def.ZPA")},
        {QStringLiteral("Frage*7C00"), false, QStringLiteral("Error K4, ; missing in Erster\r/x/def.ZPA")},
        {QStringLiteral("Frage*7C00;0800"), false, QStringLiteral("Error K4, ; missing in Erster\r/x/def.ZPA")},
        {QStringLiteral("Frage*7C00;0800;zz"), false, QStringLiteral("'zz' ist kein gültiger Integerwert")},
    };
    for (const Case &c : cases) {
        prompter.clear();
        d->Def.DefinitionLines = QStringList{QStringLiteral("WerkStart:"), c.line};
        FactorySetting fs;
        ASSERT_EQ(ReadFactorySetting(*d, &fs, prompter), c.ok) << c.line.toStdString();
        if (c.ok) {
            EXPECT_EQ(fs.Question, QStringLiteral("Werkseinstellung laden?"));
            EXPECT_EQ(fs.Source, QStringLiteral("7C00"));
            EXPECT_EQ(fs.Target, QStringLiteral("0800"));
            EXPECT_EQ(fs.Count, 0x1A0);
        } else {
            EXPECT_TRUE(prompter.has(QStringLiteral("error"), c.message)) << prompter.texts().join('|').toStdString();
        }
    }
    prompter.clear();
    d->Def.DefinitionLines = QStringList{QStringLiteral("WerkStart:")};
    EXPECT_FALSE(ReadFactorySetting(*d, nullptr, prompter));
    EXPECT_TRUE(prompter.has(QStringLiteral("error"), QStringLiteral("Error K3, * in   /x/def.ZPA")));
    d->Def.DefinitionLines.clear();
    EXPECT_FALSE(ReadFactorySetting(*d, nullptr, prompter));
    EXPECT_TRUE(prompter.has(QStringLiteral("error"), QStringLiteral("Error K2 Z101 DEMO ")));
}

TEST_F(DefinitionReader, SetPointTable)
{
    d->Def.DefinitionLines = SplitDefinitionLines(QStringLiteral(
        "SPWStart:\nSpannung\tL1*2260;2;2400;0810;0812;100;900;50\n"
        "Viele*a;b;c;d;e;f;g;h;i;j\nWenige*a;b\nKeins*nur\nSPWEnd:\n"));
    QVector<SetPointRow> rows;
    ASSERT_TRUE(ReadSetPointTable(*d, &rows, prompter));
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows.at(0).Name, QStringLiteral("SpannungL1"));
    EXPECT_EQ(rows.at(0).Columns, (QStringList{"2260", "2", "2400", "0810", "0812", "100", "900", "50"}));
    EXPECT_EQ(rows.at(1).Columns, (QStringList{"a", "b", "c", "d", "e", "f", "g", "j"}));
    EXPECT_EQ(rows.at(2).Columns, (QStringList{"a", "", "", "", "", "", "", "b"}));
    EXPECT_EQ(rows.at(3).Columns, (QStringList{"", "", "", "", "", "", "", "nur"}));

    d->Def.DefinitionLines = QStringList{QStringLiteral("SPWStart:"), QStringLiteral("A*1;2"), QStringLiteral("kaputt")};
    EXPECT_FALSE(ReadSetPointTable(*d, &rows, prompter));
    EXPECT_EQ(rows.size(), 1);
    EXPECT_TRUE(prompter.has(QStringLiteral("warning"), QStringLiteral("Error 5 SPWEnd:")));
    d->Def.DefinitionLines.clear();
    EXPECT_FALSE(ReadSetPointTable(*d, &rows, prompter));
    EXPECT_TRUE(prompter.has(QStringLiteral("error"), QStringLiteral("Error 04 Z101 DEMO ")));
}

TEST(AlarmTexts, BuiltInTableAndSetZltText)
{
    const QStringList saved = CL_ZLT().Consts;
    const QStringList &z = CL_ZLT().Consts;
    ASSERT_EQ(z.size(), 88);
    EXPECT_EQ(z.at(0), QStringLiteral("1="));
    EXPECT_EQ(z.at(18), QStringLiteral("19="));
    EXPECT_EQ(z.at(19), QStringLiteral("Batterie Unterspannung"));
    EXPECT_EQ(z.at(23), QStringLiteral("Leistungsregler gestört "));
    EXPECT_EQ(z.at(47), QStringLiteral("Generator Überfrequenz"));
    EXPECT_EQ(z.at(48), QStringLiteral("49"));
    EXPECT_EQ(z.at(63), QStringLiteral("64"));
    EXPECT_EQ(z.at(64), QStringLiteral("Aggregat verfuegbar"));
    EXPECT_EQ(z.at(68), QStringLiteral("Betriebsart 0ff"));
    EXPECT_EQ(z.at(78), QStringLiteral("Reserve"));
    EXPECT_EQ(z.at(87), QStringLiteral("Sammelstörung aller Alarme"));

    SetZltText(5, QStringLiteral("fünf"));
    SetZltText(88, QStringLiteral("neu"));
    SetZltText(500, QStringLiteral("weit"));
    SetZltText(-1, QStringLiteral("nie"));
    EXPECT_EQ(z.at(5), QStringLiteral("fünf"));
    ASSERT_EQ(z.size(), 90);
    EXPECT_EQ(z.at(88), QStringLiteral("neu"));
    EXPECT_EQ(z.at(89), QStringLiteral("weit"));
    CL_ZLT().Consts = saved;
}

namespace {

const char *const kFuzzBase =
    "Kopfzeile ohne Bedeutung\n"
    "TypStart:\nZ101 Fuzz\n$3F\n8\n6\n32\n0;0;3\nTypEnd:\n"
    "AnaFunkStart:\nDruck*1\nTemperatur*2\nAnaFunkEnd:\n"
    "ParaStart:\n"
    "+++ Generator +++*0000;0;;;#3\n"
    "Nennspannung*0810;3;0;600;V\n"
    "Alarm 1*0900;31;0;1;\n"
    "xx Fest*0902;32;0;25;\n"
    "Eingang*0904;37;0;49;\n"
    "\n"
    "+++ Netz +++*0000;0;;;\n"
    "Neu*0812;9;1;5;§13\n"
    "Alt*0812;9;1;5;§93\n"
    "Relais*0814;DE;0;1;\n"
    "ParaEnd:\n"
    "RelFunkStart:\nSammelalarm*0101\nBetrieb*0102\nRelFunkEnd:\n"
    "IstAnaStart:\nAnalog*0100,24\nU*00,05,S4\nI*02,3,S5\nIstAnaEnd:\n"
    "IstRelStart:\nAusgaenge*0200,4\nR1*00,1,1\nIstRelEnd:\n"
    "PrintStart:\nKopf\nRelais &&\nPrintEnd\nPrintEnd:\n"
    "WerkStart:\nLaden?*7C00;0800;20\n"
    "SPWStart:\nU1*2260;2;2400;0810;0812;100;900;50\nSPWEnd:\n";

const char *const kFuzzTokens[] = {"TypStart:", "TypEnd:", "ParaStart:", "ParaEnd:", "paraend:", "RelFunkStart:",
                                   "RelFunkEnd:", "AnaFunkStart:", "AnaFunkEnd:", "IstAnaStart:", "IstAnaEnd:",
                                   "PrintStart:", "PrintEnd:", "PrintEnd", "WerkStart:", "SPWStart:", "SPWEnd:",
                                   "+++", "*", ";", ",", "#", "\xA7", "&&", "$", "", "0", "127", "128", "-1",
                                   "\t", "\r", "\n", "\xC3", "\xFF", "*0A00;30;0;18;", "*0600;37;0;63;"};

QByteArray RandomBytes(std::mt19937 &rng, int max)
{
    QByteArray b;
    const int n = int(rng() % unsigned(max + 1));
    for (int i = 0; i < n; ++i)
        b.append(char(rng() & 0xFF));
    return b;
}

QByteArray Token(std::mt19937 &rng) { return QByteArray(kFuzzTokens[rng() % (sizeof(kFuzzTokens) / sizeof(*kFuzzTokens))]); }

QByteArray Mutate(std::mt19937 &rng)
{
    QList<QByteArray> lines = QByteArray(kFuzzBase).split('\n');
    const int mutations = 1 + int(rng() % 6);
    for (int m = 0; m < mutations && !lines.isEmpty(); ++m) {
        const int i = int(rng() % unsigned(lines.size()));
        switch (rng() % 8) {
        case 0: lines.removeAt(i); break;
        case 1: lines.insert(i, lines.at(i)); break;
        case 2: lines.insert(i, Token(rng)); break;
        case 3:
            if (!lines[i].isEmpty())
                lines[i][int(rng() % unsigned(lines[i].size()))] = char(rng() & 0xFF);
            break;
        case 4: lines[i].insert(int(rng() % unsigned(lines[i].size() + 1)), RandomBytes(rng, 12)); break;
        case 5: lines.swapItemsAt(i, int(rng() % unsigned(lines.size()))); break;
        case 6: lines[i].append("\xA7" + QByteArray::number(int(rng() % 200) - 20)); break;
        default: lines[i] = Token(rng) + lines[i] + Token(rng); break;
        }
    }
    return lines.join(rng() % 3 == 0 ? "\r\n" : (rng() % 2 ? "\n" : "\r"));
}

} // namespace

TEST(DefinitionFuzz, RandomAndMutatedFilesKeepTablesConsistent)
{
    ScratchDataDir dir;
    std::mt19937 rng(0x5EED1234u);
    const char *const patterns[] = {"*.101", "*.202", "*.ULV", "*.1ZE", "*.STW"};
    const char *const pages[] = {"IstAna", "IstRel", "IstAla", "IstSpw"};
    int completed = 0;
    for (int iter = 0; iter < 3000; ++iter) {
        QByteArray bytes;
        if (iter % 5 == 0) {
            bytes = RandomBytes(rng, 1500);
        } else if (iter % 5 == 1) {
            for (int k = int(rng() % 60); k > 0; --k)
                bytes += Token(rng) + (rng() % 2 ? RandomBytes(rng, 8) : QByteArray("\n"));
        } else {
            bytes = Mutate(rng);
        }
        DeviceData d;
        d.State.ModelPattern = QString::fromLatin1(patterns[rng() % 5]);
        d.Geraet.ProgramVersion = int(rng() % 40);
        d.Geraet.ProgramId = d.State.ModelPattern == QLatin1String("*.STW") ? QStringLiteral("081") : QStringLiteral("Z1 FUZZ   ");
        for (int k = 0; k < 64; ++k)
            d.Geraet.SetByte(int(rng() % 0x1000), int(rng() & 0xFF));
        SilentPrompter prompter;
        bool complete = false;
        if (iter % 25 == 0) {
            // The whole way through the file system now and then ...
            const QString name = (d.State.ModelPattern == QLatin1String("*.STW") ? QStringLiteral("A70-") : QString())
                                 + d.Geraet.ProgramId + QStringLiteral("-DE.ZPA");
            dir.writeBytes(name, bytes);
            complete = ReadParameters(d, prompter);
        } else {
            // ... and in memory otherwise, which is what keeps a few thousand runs quick.
            TypeFromPattern(d, prompter);
            if (OpenDefinitionData(d, bytes, QStringLiteral("fuzz.ZPA"), prompter)) {
                ASSERT_TRUE(ApplyTypeSettings(d));
            }
            complete = ReadParameterLines(d, prompter);
        }
        const DefinitionTables &def = d.Def;
        ASSERT_EQ(complete, def.ParametersComplete);
        ASSERT_LE(def.GroupTable.size(), MaxGroups);
        ASSERT_EQ(def.LastGroupIndex, int(def.GroupTable.size()) - 1);
        for (int g = 0; g < def.GroupTable.size(); ++g) {
            // A group starts at or after the list index of its header, in order.
            ASSERT_GE(def.GroupTable.at(g).Start, g) << iter;
            if (g > 0) {
                ASSERT_GT(def.GroupTable.at(g).Start, def.GroupTable.at(g - 1).Start) << iter;
            }
            ASSERT_LE(def.GroupTable.at(g).Layout.size(), 1);
            if (complete) {
                ASSERT_LT(def.GroupTable.at(g).Start, def.ParameterLineCount - 1) << iter;
            }
        }
        if (complete) {
            ++completed;
            ASSERT_LE(d.Params.Count(), def.ParameterLineCount - 1) << iter;
        }
        ASSERT_LE(def.RelayFunctionTable.size(), MaxRelayFunctions);
        for (int key : def.AnalogFunctionTexts.keys())
            ASSERT_TRUE(key >= 0 && key <= MaxAnalogFunction);
        ASSERT_EQ(CL_ZLT().Consts.size(), 88);
        for (int i = 0; i < d.Params.Count(); ++i) {
            d.Params.ItemText(i);
            d.Params.GetUnit(i);
        }
        if (def.DefinitionLoaded) {
            ASSERT_GE(d.State.PageCount, 1);
            ASSERT_LE(d.State.PageCount, MaxPageCount);
            ASSERT_TRUE(d.State.ImageBase >= 0 && d.State.ImageBase <= 255 * 256);
        }

        for (const char *page : pages) {
            QString address;
            int count = -1;
            if (ReadActualValuePage(d, QString::fromLatin1(page), prompter, &address, &count)) {
                ASSERT_TRUE(count >= 0 && count <= 255);
                ASSERT_EQ(address.size(), 4);
            }
            for (int i = 0; i < d.Values.Count(); ++i)
                d.Values.ItemText(i);
        }
        QStringList printLines;
        const int printed = ReadPrintTemplate(d, QStringList{QStringLiteral("a"), QStringLiteral("b")}, &printLines, prompter);
        ASSERT_EQ(printed, printLines.size());
        FactorySetting fs;
        if (ReadFactorySetting(d, &fs, prompter)) {
            ASSERT_TRUE(fs.Count >= 0 && fs.Count <= 0xFFFF);
        }
        QVector<SetPointRow> rows;
        ReadSetPointTable(d, &rows, prompter);
        for (const SetPointRow &r : rows)
            ASSERT_EQ(r.Columns.size(), 8);
        ReadRelayFunctions(d, prompter);
        ReadAnalogFunctions(d, prompter);
    }
    // The mutations must leave enough files intact for the invariants to mean something.
    EXPECT_GT(completed, 300);
}
