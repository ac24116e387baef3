// Printed and exported lists, checked line by line.
#include "support/DefinitionFixtures.h"
#include "device/Catalogue.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "monitor/PrintLayout.h"
#include "params/FormatValue.h"
#include "shell/AnsiCodec.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Print::Kind;
using Print::Target;

Print::Header SampleHeader(const QString &project = QStringLiteral("Anlage 1"))
{
    return {project,      QStringLiteral("12345"),      QStringLiteral("02.03.99"), QStringLiteral("Z101 Testgerät"),
            QStringLiteral("Z101 TEST "), 11, QStringLiteral("01.06.05"), false, QString()};
}

Print::Closing SampleClosing(bool fromFile)
{
    return {fromFile ? QStringLiteral("09.12.26 10:15") : QString(), QStringLiteral("Baldren"),
            QStringLiteral("Musterstadt"), QStringLiteral("09.12.26 14:00")};
}

const QString SampleFileLine = QStringLiteral("      Datei ist gespeichert am 09.12.26 10:15");

QStringList Rows(int n)
{
    QStringList rows;
    for (int i = 1; i <= n; ++i)
        rows << QStringLiteral("   %1 V - Parameter %1").arg(i);
    return rows;
}

TEST(PrintLayout, SixtyParametersBreakAfterTheFiftyFifthRow)
{
    const Print::Pages pages =
        Print::Layout(SampleHeader(), Rows(60), SampleClosing(true), Kind::Parameters, Target::File);
    ASSERT_EQ(pages.size(), 2);
    const QStringList header = Print::HeaderLines(SampleHeader());
    for (int p = 0; p < 2; ++p) {
        const QStringList &page = pages.at(p);
        ASSERT_EQ(page.size(), Print::PageLines) << p;
        EXPECT_EQ(page.mid(0, 3), header) << p;
        EXPECT_EQ(page.at(58), QString()) << p;
        EXPECT_EQ(page.at(59), QString(35, QLatin1Char(' ')) + QStringLiteral("Seite %1").arg(p + 1)) << p;
    }
    // Page 1: rows 1..55 on lines 4..58.
    EXPECT_EQ(pages[0].mid(3, 55), Rows(55));
    // Page 2: rows 56..60 on lines 4..8, the file line after two empty lines, padding,
    // the closing lines on 57 and 58.
    EXPECT_EQ(pages[1].mid(3, 5), Rows(60).mid(55));
    EXPECT_EQ(pages[1].at(8), QString());
    EXPECT_EQ(pages[1].at(9), QString());
    EXPECT_EQ(pages[1].at(10), SampleFileLine);
    for (int line = 12; line <= 56; ++line)
        EXPECT_EQ(pages[1].at(line - 1), QString()) << line;
    EXPECT_EQ(pages[1].at(56), QStringLiteral("      Baldren"));
    EXPECT_EQ(pages[1].at(57), QStringLiteral("      Musterstadt 09.12.26 14:00"));
    EXPECT_EQ(Print::Flatten(pages).size(), 120);
}

TEST(PrintLayout, ClosingPartThatDoesNotFitStartsANewPage)
{
    struct Case
    {
        int rows;
        bool fromFile;
        int pages;
    };
    // Lines 4..56 hold 53 rows before the closing lines; the file line needs three more.
    const Case cases[] = {{0, false, 1},  {53, false, 1}, {54, false, 2}, {50, true, 1},
                          {51, true, 2},  {55, true, 2},  {56, false, 2}, {108, false, 2},
                          {109, false, 3}};
    for (const Case &c : cases) {
        const Print::Pages pages =
            Print::Layout(SampleHeader(), Rows(c.rows), SampleClosing(c.fromFile), Kind::Parameters, Target::File);
        ASSERT_EQ(pages.size(), c.pages) << c.rows << ' ' << c.fromFile;
        const QStringList &last = pages.last();
        ASSERT_EQ(last.size(), Print::PageLines) << c.rows;
        EXPECT_EQ(last.at(56), QStringLiteral("      Baldren")) << c.rows;
        EXPECT_EQ(last.at(59), Print::FooterLine(c.pages)) << c.rows;
        EXPECT_EQ(Print::Flatten(pages).filter(QStringLiteral("Parameter")).size(), c.rows);
        // Sets read from a device have no file line.
        EXPECT_EQ(Print::Flatten(pages).filter(QStringLiteral("Datei ist gespeichert am")).size(), c.fromFile ? 1 : 0);
    }
}

TEST(PrintLayout, HeaderKeepsSeventySevenColumnsAndOneBlank)
{
    struct Case
    {
        int nameLength;
        int shownLength;
    };
    // "Projekt: " (9) + right part "F-Number 12345   F-Date 02.03.99" (32) leave 36
    // columns: the name plus at least one blank.
    const Case cases[] = {{0, 0}, {8, 8}, {35, 35}, {36, 35}, {80, 35}};
    for (const Case &c : cases) {
        const QString name = QString(c.nameLength, QLatin1Char('N'));
        const QStringList h = Print::HeaderLines(SampleHeader(name));
        ASSERT_EQ(h.size(), 3);
        EXPECT_EQ(h[0].size(), Print::Columns) << c.nameLength;
        EXPECT_TRUE(h[0].startsWith(QStringLiteral("Projekt: ") + QString(c.shownLength, QLatin1Char('N')) +
                                    QLatin1Char(' ')))
            << h[0].toStdString();
        EXPECT_TRUE(h[0].endsWith(QStringLiteral("F-Number 12345   F-Date 02.03.99"))) << c.nameLength;
    }
    Print::Header granted = SampleHeader();
    EXPECT_EQ(Print::HeaderLines(granted)[1], QStringLiteral("Z101 Testgerät     PrgVersion Z101 TEST /11    PrgDate 01.06.05"));
    granted.AccessGranted = true;
    granted.AccessCode = QStringLiteral("00456");
    EXPECT_TRUE(Print::HeaderLines(granted)[1].endsWith(QStringLiteral("01.06.05   Ident 00456")));
    EXPECT_EQ(Print::HeaderLines(granted)[2], QString(77, QLatin1Char('-')));
}

TEST(PrintLayout, AlarmListHasNoFootersAndNoPadding)
{
    const QStringList grid = {
        QStringLiteral("        +++ Generator +++"),
        QStringLiteral("    Ein - Alarm Überspannung"),
        QStringLiteral("    Aus - Warnung Unterspannung"),
        QStringLiteral("        +++ Alarme ohne Einträge +++"), // a group without alarm rows
        QStringLiteral("        +++ Fernquittierung +++"),
        QStringLiteral("    Ein - Alarm Fernquittierbar"),
        QStringLiteral("        +++ Netz +++"),
        QStringLiteral("    Ein - ++ Alarm Sammel"),
        QStringLiteral("    Aus - Alarm Netzausfall"),
        QStringLiteral("    Ein - Alarm Netzfrequenz"),
    };
    const QStringList body = Print::AlarmBody(grid);
    const QStringList expected = {QString(), grid[0], grid[1], QString(), grid[6], grid[8], grid[9]};
    EXPECT_EQ(body, expected);

    const QStringList many = Rows(70);
    const Print::Pages pages = Print::Layout(SampleHeader(), many, SampleClosing(true), Kind::Alarms, Target::File);
    ASSERT_EQ(pages.size(), 1);
    // Header, body, file block (3), closing (2), one empty line; no footer.
    EXPECT_EQ(pages[0].mid(3, 70), many);
    EXPECT_EQ(pages[0].mid(73), QStringList({QString(), QString(), SampleFileLine, QStringLiteral("      Baldren"),
                                             QStringLiteral("      Musterstadt 09.12.26 14:00"), QString()}));
    // The printer puts one more blank before the time.
    const Print::Pages printed = Print::Layout(SampleHeader(), {}, SampleClosing(true), Kind::Alarms, Target::Printer);
    EXPECT_EQ(printed.first().at(5), QStringLiteral("      Datei ist gespeichert am  09.12.26 10:15"));
}

TEST(PrintFiles, NamesSuffixesAndWriteFailure)
{
    struct Case
    {
        const char *name;
        Kind kind;
        const char *result;
    };
    const Case cases[] = {{"Anlage 1", Kind::Connections, "Anlage 1.ANS"},
                          {"Anlage 1", Kind::Parameters, "Anlage 1.TXT"},
                          {"/tmp/x.txt", Kind::Parameters, "/tmp/x.txt"},
                          {"/tmp.d/liste", Kind::Alarms, "/tmp.d/liste.TXT"}};
    for (const Case &c : cases)
        EXPECT_EQ(Print::WithSuffix(QString::fromUtf8(c.name), c.kind), QString::fromUtf8(c.result)) << c.name;
    EXPECT_EQ(Print::ProposedFileName(QStringLiteral("Anlage 1"), Kind::Connections), QStringLiteral("Anlage 1.ANS"));

    QTemporaryDir dir;
    const QString missing = dir.path() + QStringLiteral("/fehlt/liste.TXT");
    QString error;
    EXPECT_FALSE(Print::WriteTextFile(missing, {QStringLiteral("a")}, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Die Datei \"") + missing + QStringLiteral("\" konnte nicht")))
        << error.toStdString();
    EXPECT_FALSE(error.section(QLatin1Char('\r'), 1).trimmed().isEmpty()) << error.toStdString(); // the reason
}

// The connection list takes its "&&" slots from the set loaded now.
TEST(PrintConnections, SlotsComeFromTheLoadedList)
{
    ScratchDataDir dir;
    auto d = std::make_unique<DeviceData>();
    RecordingPrompter prompter;
    d->State.ModelPattern = QStringLiteral("*.101");
    TypeFromPattern(*d, prompter);
    const QString text = QStringLiteral("TypStart:\nZ101 Testgerät\n$17\n8\n2\n32\n1\nTypEnd:\n"
                                        "ParaStart:\n"
                                        "+++ Relaisfunktionen +++*0800;0;;;\n"
                                        "K01 Relais *0820;DE;;;\n"
                                        "K02 Relais *0822;DE;;;\n"
                                        "ParaEnd:\n"
                                        "RelFunkStart:\nnicht belegt*0000\nSammelalarm*0101\nRelFunkEnd:\n"
                                        "PrintStart:\n"
                                        "Klemme 10: &&\n"
                                        "Klemme 11\n"
                                        "Klemme 12: &&\n"
                                        "Klemme 13: &&\n"
                                        "PrintEnd:\n");
    ASSERT_TRUE(OpenDefinitionData(*d, Ansi::encode(text), QStringLiteral("test.ZPA"), prompter));
    ApplyTypeSettings(*d);
    ASSERT_TRUE(ReadParameterLines(*d, prompter));
    TFormatter f(*d, &prompter);
    d->Geraet.SetWord(d->State.IndexOf(0x0820), 0x0101);
    d->Geraet.SetWord(d->State.IndexOf(0x0822), 0x0000);
    bool ok = false;
    const QStringList body = Print::ConnectionBody(*d, f, prompter, &ok);
    ASSERT_TRUE(ok);
    const QStringList expected = {QStringLiteral("Klemme 10: K01 Relais alarm"), QStringLiteral("Klemme 11"),
                                  QStringLiteral("Klemme 12: K02 Relais belegt"), QStringLiteral("Klemme 13: ")};
    EXPECT_EQ(body, expected);

    // More "&&" lines than slots: the ones beyond the last slot stay without a text.
    QStringList &lines = d->Def.DefinitionLines;
    const int start = lines.indexOf(QStringLiteral("PrintStart:"));
    ASSERT_GE(start, 0);
    lines = lines.mid(0, start + 1);
    for (int i = 1; i <= 103; ++i)
        lines << QStringLiteral("Zeile %1: &&").arg(i);
    lines << QStringLiteral("PrintEnd:");
    const QStringList many = Print::ConnectionBody(*d, f, prompter, &ok);
    ASSERT_EQ(many.size(), 103);
    EXPECT_EQ(many[0], QStringLiteral("Zeile 1: K01 Relais alarm"));
    EXPECT_EQ(many[100], QStringLiteral("Zeile 101: "));
    EXPECT_EQ(many[102], QStringLiteral("Zeile 103: "));

    // Without a template: the definition's message and no lines.
    d->Def.DefinitionLines = d->Def.DefinitionLines.mid(0, d->Def.DefinitionLines.indexOf(QStringLiteral("PrintStart:")));
    EXPECT_TRUE(Print::ConnectionBody(*d, f, prompter, &ok).isEmpty());
    EXPECT_FALSE(ok);
    ASSERT_FALSE(prompter.messages.isEmpty());
    EXPECT_TRUE(prompter.messages.last().text.startsWith(QStringLiteral("Label \"PrintStart:\" missing")));
}

} // namespace
