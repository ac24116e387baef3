// The parameter grid without its window: groups, rows, cells, search, kept state.
#include "support/DefinitionFixtures.h"
#include "device/Catalogue.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "device/ParameterFile.h"
#include "params/FormatValue.h"
#include "params/GridModel.h"
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList &l, std::ostream *os)
{
    *os << '{';
    for (const QString &s : l)
        *os << '"' << s.toStdString() << "\" ";
    *os << '}';
}

namespace {

const QString kHead = QStringLiteral("TypStart:\n"
                                     "Z101 Testgerät\n"
                                     "$17\n"
                                     "8\n"
                                     "2\n"
                                     "32\n"
                                     "1\n"
                                     "TypEnd:\n"
                                     "ParaStart:\n");
const QString kTail = QStringLiteral("ParaEnd:\n"
                                     "RelFunkStart:\n"
                                     "nicht belegt*0000\n"
                                     "Sammelalarm*0101\n"
                                     "RelFunkEnd:\n");

// A device whose definition is the given parameter section (lines without the labels).
struct Device
{
    std::unique_ptr<DeviceData> d = std::make_unique<DeviceData>();
    RecordingPrompter prompter;
    std::unique_ptr<TFormatter> f;
    std::unique_ptr<TGridModel> grid;
    bool complete = false;

    explicit Device(const QString &section, int deviceType = 55)
    {
        d->State.ModelPattern = QStringLiteral("*.101");
        TypeFromPattern(*d, prompter);
        const QString text = kHead + section + kTail;
        if (OpenDefinitionData(*d, Ansi::encode(text), QStringLiteral("test.ZPA"), prompter))
            ApplyTypeSettings(*d);
        d->State.DeviceType = deviceType;
        complete = ReadParameterLines(*d, prompter);
        f = std::make_unique<TFormatter>(*d, &prompter);
        grid = std::make_unique<TGridModel>(*d, *f);
    }
    void Byte(int address, int value) { d->Geraet.SetByte(d->State.IndexOf(address), value); }
    void Word(int address, int value) { d->Geraet.SetWord(d->State.IndexOf(address), value); }
    int Group(const QString &name) const
    {
        for (int k = 0; k < d->Def.GroupTable.size(); ++k)
            if (d->Def.GroupTable.at(k).Name == name)
                return k;
        return -1;
    }
};

QStringList Cells(std::initializer_list<const char *> l)
{
    QStringList r;
    for (const char *s : l)
        r << QString::fromUtf8(s);
    return r;
}

// --- cutting one line into cells -------------------------------------------------------

struct SplitCase
{
    const char *line;
    int code;
    Grid::Layout layout;
    const char *group;
    QStringList expected;
};

TEST(GridSplit, CutsLinesByLayoutAndGroup)
{
    using L = Grid::Layout;
    const std::vector<SplitCase> cases = {
        // Two columns: value and blank left, the text without its "- " right.
        {"     42 - Nennspannung", 9, L::TwoColumns, "Generator", Cells({"     42 ", "Nennspannung"})},
        // A text line keeps its words, only the leading blanks go.
        {"        Hinweis: Zeiten", 0, L::TwoColumns, "Generator", Cells({"", "Hinweis: Zeiten"})},
        {"        Hinweis", 0, L::ThreeColumns, "Netz", Cells({"", "", "Hinweis"})},
        // Relay lists: nine blanks dropped, four characters of relay name, the rest.
        {"         K01 Relais Sammelalarm", 222, L::TwoColumns, "Relaisfunktionen",
         Cells({"K01 ", "Relais Sammelalarm"})},
        {"         A13 CAN-Ausgang Flag 0123", 222, L::TwoColumns, "Zusatzinterface über CAN-Bus",
         Cells({"A13 ", "CAN-Ausgang Flag 0123"})},
        {"         K01 Relay Common alarm", 222, L::TwoColumns, "Relay Functions", Cells({"K01 ", "Relay Common alarm"})},
        // The same line in another group is cut as an ordinary line.
        {"         K01 Relais Sammelalarm", 222, L::TwoColumns, "Relais", Cells({"        ", "01 Relais Sammelalarm"})},
        // Three columns: value, five characters of unit, text.
        {"    230 V    Nennspannung Netz", 9, L::ThreeColumns, "Nennwerte", Cells({"    230 ", "V    ", "Nennspannung Netz"})},
        // Analog channels: the first ten characters go, the rest is the text.
        {"  ABCDE    Kanal 1 Druck", 35, L::ThreeColumns, "Analogeingänge", Cells({"", "", " Kanal 1 Druck"})},
        {"  ABCDE    Channel 1", 35, L::ThreeColumns, "Analogue Outputs", Cells({"", "", " Channel 1"})},
        // "Kanal" outside an analog group is an ordinary line.
        {"      1 -    Kanal 1", 9, L::ThreeColumns, "Netzschutz", Cells({"      1 ", "-    ", "Kanal 1"})},
        // English word in a German group: not an analog channel line.
        {"      1 -    Channel 1", 9, L::ThreeColumns, "Analogeingänge", Cells({"      1 ", "-    ", "Channel 1"})},
        {"      7 -CAN_AE 3", 9, L::ThreeColumns, "CAN", Cells({"      7 ", "", "CAN_AE 3"})},
        // Separator rows are cut like any other line.
        {"----------- Zeiten ---", 246, L::TwoColumns, "Generator", Cells({"--------", "- Zeiten ---"})},
        {"----------- Zeiten ---", 246, L::ThreeColumns, "Nennwerte", Cells({"--------", "--- Z", "eiten ---"})},
        // Lines shorter than the cuts give empty cells, never a read past the end.
        {"   1", 9, L::ThreeColumns, "Netz", Cells({"   1", "", ""})},
        {"", 222, L::TwoColumns, "Relaisfunktionen", Cells({"", ""})},
    };
    for (const SplitCase &c : cases) {
        const QStringList got =
            Grid::SplitLine(QString::fromUtf8(c.line), c.code, c.layout, QString::fromUtf8(c.group));
        EXPECT_EQ(got, c.expected) << c.line << " in " << c.group;
        EXPECT_EQ(got.size(), Grid::ColumnCount(c.layout));
    }
}

TEST(GridSplit, LayoutFollowsKeyAndDeviceType)
{
    EXPECT_EQ(Grid::LayoutFor(QStringLiteral("3"), 0), Grid::Layout::ThreeColumns);
    EXPECT_EQ(Grid::LayoutFor(QString(), 0), Grid::Layout::TwoColumns);
    EXPECT_EQ(Grid::LayoutFor(QStringLiteral("2"), 0), Grid::Layout::TwoColumns);
    EXPECT_EQ(Grid::LayoutFor(QString(), 38), Grid::Layout::ThreeColumns);
    EXPECT_EQ(Grid::ColumnWidths(Grid::Layout::TwoColumns), (QVector<int>{50, 300}));
    EXPECT_EQ(Grid::ColumnWidths(Grid::Layout::ThreeColumns), (QVector<int>{50, 40, 272}));
    EXPECT_EQ(Grid::InitialColumnWidths(), (QVector<int>{41, 48, 322}));
}

TEST(GridSplit, SelectorItemAfterRefresh)
{
    struct Case
    {
        int previous, count, expected;
    };
    for (const Case &c : std::vector<Case>{{-1, 5, 0}, {3, 5, 3}, {4, 5, 4}, {5, 5, 0}, {2, 0, -1}, {0, 1, 0}})
        EXPECT_EQ(Grid::SelectorItemAfterRefresh(c.previous, c.count), c.expected) << c.previous << "/" << c.count;
}

// --- grid line -----------------------------------------------------------------------

TEST(GridLine, ValueBlankTextAndTheSpecialForms)
{
    ScratchDataDir dir;
    Device dev(QStringLiteral("+++ Gruppe +++*0800;0;;;\n"
                              "- Anzahl\tVersuche*0812;9;1;5;\n"
                              "- Kennung*0814;1;0;FFFF;\n"
                              "--- Zeiten ---*0800;F6;;;\n"
                              "K01 Relais *0820;DE;;;\n"
                              "Relais 7 frei *0822;DE;;;\n"
                              "- Reserve*0806;FF;;;\n"
                              "- unbekannt*0806;FE;;;\n"));
    ASSERT_TRUE(dev.complete) << dev.prompter.texts().join(QLatin1Char('|')).toStdString();
    dev.Byte(0x0812, 3);
    dev.Word(0x0814, 0x1A2B);
    dev.Word(0x0820, 0x0101);
    dev.Word(0x0822, 0x0999);
    DeviceData &d = *dev.d;
    QStringList slotTexts;
    EXPECT_EQ(Grid::GridLine(d, *dev.f, 1, &slotTexts), QStringLiteral("      3 - AnzahlVersuche")); // tab removed
    EXPECT_EQ(Grid::GridLine(d, *dev.f, 2), QStringLiteral("   1A2B - Kennung"));
    EXPECT_EQ(Grid::GridLine(d, *dev.f, 3), QStringLiteral("----------- Zeiten ---"));
    EXPECT_EQ(Grid::GridLine(d, *dev.f, 4, &slotTexts), QStringLiteral("         K01 Relais Sammelalarm"));
    EXPECT_EQ(Grid::GridLine(d, *dev.f, 5, &slotTexts), QStringLiteral("         Relais 7 frei Flag 0999"));
    EXPECT_EQ(Grid::GridLine(d, *dev.f, 6), QStringLiteral("   ---- - Reserve"));
    EXPECT_EQ(Grid::GridLine(d, *dev.f, 7), QStringLiteral("        - unbekannt")); // no format: 7 blanks
    // The digits of the text name the slot; it takes the text and the function without
    // its first six characters.
    ASSERT_EQ(slotTexts.size(), Grid::FlagPrintSlots);
    EXPECT_EQ(slotTexts.at(1), QStringLiteral("K01 Relais ") + QStringLiteral("Sammelalarm").mid(6));
    EXPECT_EQ(slotTexts.at(7), QStringLiteral("Relais 7 frei 999"));
    // Indexes outside the list give an empty line.
    EXPECT_EQ(Grid::GridLine(d, *dev.f, -1), QString());
    EXPECT_EQ(Grid::GridLine(d, *dev.f, d.Params.Count()), QString());
}

TEST(GridLine, RelaySlotOutsideTheTableIsIgnored)
{
    ScratchDataDir dir;
    Device dev(QStringLiteral("+++ Gruppe +++*0800;0;;;\n"
                              "K101 Relais *0820;DE;;;\n"
                              "Relais ohne Nummer *0820;DE;;;\n"
                              "K99999999999 Relais *0820;DE;;;\n"
                              "K100 Relais *0820;DE;;;\n"));
    ASSERT_TRUE(dev.complete);
    dev.Word(0x0820, 0x0101);
    QStringList slotTexts;
    for (int i = 1; i < dev.d->Params.Count(); ++i)
        Grid::GridLine(*dev.d, *dev.f, i, &slotTexts);
    ASSERT_EQ(slotTexts.size(), Grid::FlagPrintSlots);
    for (int n = 0; n < 100; ++n)
        EXPECT_TRUE(slotTexts.at(n).isEmpty()) << n;
    EXPECT_EQ(slotTexts.at(100), QStringLiteral("K100 Relais alarm"));
}

// --- groups and rows -------------------------------------------------------------------

const QString kTwoGroups = QStringLiteral("+++ Generator +++*0800;0;;;\n"
                                          "- Nennspannung*0810;9;0;250;V\n"
                                          "Hinweis: Zeiten in Sekunden*0800;0;;;\n"
                                          "--- Zeiten ---*0800;F6;;;\n"
                                          "- Kennung*0814;1;0;FFFF;\n"
                                          "+++ Nennwerte +++*0800;0;;;#3\n"
                                          "V    Nennspannung Netz*0820;9;0;250;V\n"
                                          "s    Nachlaufzeit*0822;9;0;250;s\n");

TEST(GridModel, TwoColumnGroupRows)
{
    ScratchDataDir dir;
    Device dev(kTwoGroups);
    ASSERT_TRUE(dev.complete);
    dev.Byte(0x0810, 230);
    dev.Word(0x0814, 0xBEEF);
    TGridModel &g = *dev.grid;
    const int gen = dev.Group(QStringLiteral("Generator"));
    g.FillGroup(gen);
    EXPECT_EQ(g.CurrentLayout(), Grid::Layout::TwoColumns);
    ASSERT_EQ(g.RowCount(), 4);
    struct Expect
    {
        int index;
        QStringList cells;
        bool text, separator;
    };
    const std::vector<Expect> rows = {
        {1, Cells({"    230 ", "Nennspannung"}), false, false},
        {2, Cells({"", "Hinweis: Zeiten in Sekunden"}), true, false},
        {3, Cells({"--------", "- Zeiten ---"}), false, true},
        {4, Cells({"   BEEF ", "Kennung"}), false, false},
    };
    for (int r = 0; r < int(rows.size()); ++r) {
        const GridRow &row = g.Rows().at(r);
        EXPECT_EQ(row.ParameterIndex, rows[r].index) << r;
        EXPECT_EQ(g.ParameterIndexOfRow(r), rows[r].index) << r;
        EXPECT_EQ(row.Cells, rows[r].cells) << r;
        EXPECT_EQ(row.TextLine, rows[r].text) << r;
        EXPECT_EQ(row.Separator, rows[r].separator) << r;
        EXPECT_FALSE(row.Heading);
        EXPECT_EQ(row.Group, gen);
    }
    EXPECT_EQ(g.CurrentHeadingIndex(), 0);
    EXPECT_EQ(g.ParameterIndexOfRow(4), -1);
    EXPECT_EQ(g.ParameterIndexOfRow(-1), -1);
}

TEST(GridModel, ThreeColumnGroupEndsAtTheListEnd)
{
    ScratchDataDir dir;
    Device dev(kTwoGroups);
    ASSERT_TRUE(dev.complete);
    dev.Byte(0x0820, 231);
    dev.Byte(0x0822, 12);
    TGridModel &g = *dev.grid;
    const int nenn = dev.Group(QStringLiteral("Nennwerte"));
    g.FillGroup(nenn);
    EXPECT_EQ(g.CurrentLayout(), Grid::Layout::ThreeColumns);
    ASSERT_EQ(g.RowCount(), 2);
    EXPECT_EQ(g.Rows().at(0).Cells, Cells({"    231 ", "V    ", "Nennspannung Netz"}));
    EXPECT_EQ(g.Rows().at(1).Cells, Cells({"     12 ", "s    ", "Nachlaufzeit"}));
    EXPECT_EQ(g.Rows().at(1).ParameterIndex, 7);
    EXPECT_EQ(g.CurrentHeadingIndex(), 5);
    // An unknown group shows nothing.
    g.FillGroup(7);
    EXPECT_EQ(g.RowCount(), 0);
}

TEST(GridModel, DeviceType38ShowsThreeColumnsEverywhere)
{
    ScratchDataDir dir;
    Device dev(kTwoGroups, 38);
    ASSERT_TRUE(dev.complete);
    dev.grid->FillGroup(dev.Group(QStringLiteral("Generator")));
    EXPECT_EQ(dev.grid->CurrentLayout(), Grid::Layout::ThreeColumns);
    EXPECT_EQ(dev.grid->Rows().at(1).Cells, Cells({"", "", "Hinweis: Zeiten in Sekunden"}));
}

TEST(GridModel, EmptyLinesShiftPositionsButNotTheRows)
{
    ScratchDataDir dir;
    // Two empty lines in the first group: the next headings' positions run two ahead of
    // their list indexes.
    Device dev(QStringLiteral("+++ Eins +++*0800;0;;;\n"
                              "- A*0810;9;0;250;\n"
                              "\n"
                              "- B*0811;9;0;250;\n"
                              "\n"
                              "+++ Zwei +++*0800;0;;;\n"
                              "- C*0812;9;0;250;\n"
                              "- D*0813;9;0;250;\n"
                              "+++ Drei +++*0800;0;;;\n"
                              "- E*0814;9;0;250;\n"));
    ASSERT_TRUE(dev.complete);
    const QVector<GroupEntry> &table = dev.d->Def.GroupTable;
    ASSERT_EQ(table.size(), 3);
    EXPECT_EQ(table.at(1).Start, 5); // position
    TGridModel &g = *dev.grid;
    EXPECT_EQ(g.HeadingIndex(1), 3);  // list index
    EXPECT_EQ(g.HeadingIndex(2), 6);
    struct Case
    {
        const char *group;
        QStringList texts;
        int first;
    };
    for (const Case &c : std::vector<Case>{{"Eins", Cells({"A", "B"}), 1},
                                           {"Zwei", Cells({"C", "D"}), 4},
                                           {"Drei", Cells({"E"}), 7}}) {
        g.FillGroup(dev.Group(QString::fromUtf8(c.group)));
        QStringList texts;
        for (const GridRow &row : g.Rows())
            texts << row.Cells.value(1);
        EXPECT_EQ(texts, c.texts) << c.group;
        ASSERT_GT(g.RowCount(), 0);
        EXPECT_EQ(g.Rows().at(0).ParameterIndex, c.first) << c.group;
    }
}

TEST(GridModel, WithoutGroupsTheListFromIndexOne)
{
    ScratchDataDir dir;
    Device dev(QStringLiteral("Kopf*0800;0;;;\n"
                              "- A*0810;9;0;250;\n"
                              "- B*0811;9;0;250;\n"));
    ASSERT_TRUE(dev.complete);
    TGridModel &g = *dev.grid;
    EXPECT_EQ(g.GroupCount(), 0);
    EXPECT_TRUE(g.SelectorEntries().isEmpty());
    g.FillGroup(-1);
    ASSERT_EQ(g.RowCount(), 2);
    EXPECT_EQ(g.Rows().at(0).ParameterIndex, 1);
    EXPECT_EQ(g.Rows().at(1).Cells.value(1), QStringLiteral("B"));
    EXPECT_EQ(g.CurrentHeadingIndex(), 0);
}

TEST(GridModel, SelectorIsSortedAndKeepsDuplicates)
{
    ScratchDataDir dir;
    Device dev(QStringLiteral("+++ Netz +++*0800;0;;;\n"
                              "+++ Übersicht +++*0800;0;;;\n"
                              "+++ alarme +++*0800;0;;;\n"
                              "+++ Ausgänge +++*0800;0;;;\n"
                              "- X*0810;9;0;250;\n"
                              "+++ Netz +++*0800;0;;;\n"
                              "- Y*0811;9;0;250;\n"
                              "+++ Uhr +++*0800;0;;;\n"));
    ASSERT_TRUE(dev.complete);
    const QVector<GridSelectorEntry> entries = dev.grid->SelectorEntries();
    QStringList names;
    QVector<int> groups;
    for (const GridSelectorEntry &e : entries) {
        names << e.Name;
        groups << e.Group;
    }
    EXPECT_EQ(names, Cells({"alarme", "Ausgänge", "Netz", "Netz", "Übersicht", "Uhr"}));
    EXPECT_EQ(groups, (QVector<int>{2, 3, 0, 4, 1, 5}));
    // Each "Netz" entry shows its own group; an empty group shows no rows.
    dev.grid->FillGroup(entries.at(2).Group);
    EXPECT_EQ(dev.grid->RowCount(), 0);
    dev.grid->FillGroup(entries.at(3).Group);
    ASSERT_EQ(dev.grid->RowCount(), 1);
    EXPECT_EQ(dev.grid->Rows().at(0).Cells.value(1), QStringLiteral("Y"));
    // The last group ends at the end of the list, even when it is empty.
    dev.grid->FillGroup(5);
    EXPECT_EQ(dev.grid->RowCount(), 0);
}

TEST(GridModel, SearchAcrossGroupsUnderHeadings)
{
    ScratchDataDir dir;
    Device dev(kTwoGroups);
    ASSERT_TRUE(dev.complete);
    dev.Byte(0x0810, 230);
    TGridModel &g = *dev.grid;
    g.FillGroup(1);
    g.FillFiltered(QStringLiteral("NENNSPANNUNG"));
    EXPECT_TRUE(g.Filtered());
    EXPECT_EQ(g.CurrentLayout(), Grid::Layout::ThreeColumns);
    ASSERT_EQ(g.RowCount(), 4);
    EXPECT_TRUE(g.Rows().at(0).Heading);
    EXPECT_EQ(g.Rows().at(0).Cells, Cells({"", "", "Generator"}));
    EXPECT_EQ(g.ParameterIndexOfRow(0), -1); // a heading is not edited
    // The two-column row keeps its middle column empty.
    EXPECT_EQ(g.Rows().at(1).Cells, Cells({"    230 ", "", "Nennspannung"}));
    EXPECT_EQ(g.ParameterIndexOfRow(1), 1);
    EXPECT_TRUE(g.Rows().at(2).Heading);
    EXPECT_EQ(g.Rows().at(2).Cells.value(2), QStringLiteral("Nennwerte"));
    EXPECT_EQ(g.Rows().at(3).Cells.value(2), QStringLiteral("Nennspannung Netz"));
    EXPECT_EQ(g.ParameterIndexOfRow(3), 6);

    g.FillFiltered(QStringLiteral("gibt es nicht"));
    EXPECT_EQ(g.RowCount(), 0);
    // Empty search: back to the group chosen before.
    g.FillFiltered(QString());
    EXPECT_FALSE(g.Filtered());
    EXPECT_EQ(g.CurrentGroup(), 1);
    EXPECT_EQ(g.RowCount(), 2);
}

TEST(GridModel, RefillFormatsTheValuesAgain)
{
    ScratchDataDir dir;
    Device dev(kTwoGroups);
    ASSERT_TRUE(dev.complete);
    TGridModel &g = *dev.grid;
    dev.Byte(0x0810, 1);
    g.FillFiltered(QStringLiteral("nennspannung"));
    dev.Byte(0x0810, 99);
    g.Refill();
    EXPECT_TRUE(g.Filtered());
    EXPECT_EQ(g.Rows().at(1).Cells.value(0), QStringLiteral("     99 "));
    g.FillGroup(0);
    dev.Byte(0x0810, 7);
    g.Refill();
    EXPECT_EQ(g.Rows().at(0).Cells.value(0), QStringLiteral("      7 "));
}

TEST(GridModel, TopRowMemory)
{
    ScratchDataDir dir;
    Device dev(kTwoGroups);
    TGridModel &g = *dev.grid;
    g.RememberTopRow(3);
    g.RememberTopRow(0); // a grid at its top keeps what was remembered
    EXPECT_EQ(g.TopRowMemory, 3);
    g.FillGroup(0); // 4 rows: row 3 exists
    EXPECT_EQ(g.TopRowToRestore(), 3);
    g.FillGroup(1); // 2 rows: no row 3
    EXPECT_EQ(g.TopRowToRestore(), 0);
    g.TopRowMemory = 0;
    g.FillGroup(0);
    EXPECT_EQ(g.TopRowToRestore(), 0);
}

// --- the demo data -----------------------------------------------------------------------

class GridModelDemo : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadParameterFile(d, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), prompter))
            << prompter.texts().join(QLatin1Char('|')).toStdString();
        f = std::make_unique<TFormatter>(d, &prompter);
        g = std::make_unique<TGridModel>(d, *f);
    }
    int group(const QString &name) const
    {
        for (int k = 0; k < d.Def.GroupTable.size(); ++k)
            if (d.Def.GroupTable.at(k).Name == name)
                return k;
        return -1;
    }
    DeviceData d;
    RecordingPrompter prompter;
    std::unique_ptr<TFormatter> f;
    std::unique_ptr<TGridModel> g;
};

TEST_F(GridModelDemo, FirstRowsOfTheGroups)
{
    const int anlage = group(QStringLiteral("Anlagendaten"));
    ASSERT_GE(anlage, 0);
    g->FillGroup(anlage);
    ASSERT_GE(g->RowCount(), 15);
    EXPECT_EQ(g->Rows().at(0).Cells.value(1), QStringLiteral("Geräteadresse"));
    EXPECT_EQ(g->Rows().at(0).ParameterIndex, g->HeadingIndex(anlage) + 1);
    // Code 8: the address byte in two hexadecimal digits, right-aligned in the value column.
    const int address = d.Geraet.GetByte(d.State.IndexOf(0x0810));
    EXPECT_EQ(g->Rows().at(0).Cells.value(0),
              QString::number(address, 16).toUpper().rightJustified(2, QLatin1Char('0')).rightJustified(7) +
                  QLatin1Char(' '));
    // The note line and the separator row of the group.
    int note = -1, separator = -1;
    for (int r = 0; r < g->RowCount(); ++r) {
        if (g->Rows().at(r).TextLine && note < 0)
            note = r;
        if (g->Rows().at(r).Separator && separator < 0)
            separator = r;
    }
    ASSERT_GE(note, 0);
    ASSERT_GE(separator, 0);
    EXPECT_TRUE(g->Rows().at(note).Cells.value(1).startsWith(QStringLiteral("Hinweis: Zeiten in Sekunden")));
    EXPECT_EQ(g->Rows().at(separator).Cells.value(0), QStringLiteral("--------"));

    const int nenn = group(QStringLiteral("Nennwerte"));
    g->FillGroup(nenn);
    EXPECT_EQ(g->CurrentLayout(), Grid::Layout::ThreeColumns);
    ASSERT_GT(g->RowCount(), 3);
    EXPECT_EQ(g->Rows().at(0).Cells.value(1), QStringLiteral("V    "));
    EXPECT_EQ(g->Rows().at(0).Cells.value(2), QStringLiteral("Nennspannung Netz"));
    EXPECT_EQ(g->Rows().at(5).Cells.value(1), QStringLiteral("U/min"));
    EXPECT_EQ(g->Rows().at(5).Cells.value(2), QStringLiteral("Nenndrehzahl"));
}

TEST_F(GridModelDemo, RelayGroupFillsThePrintSlots)
{
    const int relays = group(QStringLiteral("Relaisfunktionen"));
    ASSERT_GE(relays, 0);
    g->FillGroup(relays);
    ASSERT_EQ(g->RowCount(), 12);
    for (int r = 0; r < 12; ++r) {
        const QString name = QStringLiteral("K%1 ").arg(r + 1, 2, 10, QLatin1Char('0'));
        EXPECT_EQ(g->Rows().at(r).Cells.value(0), name) << r;
        EXPECT_TRUE(g->Rows().at(r).Cells.value(1).startsWith(QStringLiteral("Relais "))) << r;
        EXPECT_FALSE(g->FlagPrintTexts.at(r + 1).isEmpty()) << r;
        EXPECT_TRUE(g->FlagPrintTexts.at(r + 1).startsWith(name + QStringLiteral("Relais "))) << r;
    }
    // The CAN outputs (A13..A16) are filled only when their group is shown, or for print.
    EXPECT_TRUE(g->FlagPrintTexts.at(13).isEmpty());
    g->FillAllFlagPrintTexts();
    for (int n = 13; n <= 16; ++n)
        EXPECT_TRUE(g->FlagPrintTexts.at(n).startsWith(QStringLiteral("A%1 CAN-Ausgang ").arg(n))) << n;
}

TEST_F(GridModelDemo, EveryParameterBelongsToExactlyOneGroup)
{
    int rows = 0;
    int previousEnd = -1;
    for (int k = 0; k < g->GroupCount(); ++k) {
        g->FillGroup(k);
        rows += g->RowCount() + 1; // with the heading
        EXPECT_EQ(g->FirstIndex(k), g->HeadingIndex(k) + 1);
        if (previousEnd >= 0) {
            EXPECT_EQ(previousEnd, g->HeadingIndex(k)) << k;
        }
        previousEnd = g->EndIndex(k);
        for (const GridRow &row : g->Rows())
            EXPECT_EQ(row.Cells.size(), Grid::ColumnCount(g->CurrentLayout()));
    }
    EXPECT_EQ(rows, d.Params.Count() - g->HeadingIndex(0));
}

TEST_F(GridModelDemo, SearchFindsAcrossTheWholeSet)
{
    g->FillFiltered(QStringLiteral("analogeingang"));
    ASSERT_GT(g->RowCount(), 1);
    EXPECT_TRUE(g->Rows().at(0).Heading);
    int hits = 0;
    for (int r = 0; r < g->RowCount(); ++r) {
        const GridRow &row = g->Rows().at(r);
        if (row.Heading)
            continue;
        ++hits;
        EXPECT_TRUE(d.Params.ItemText(row.ParameterIndex).contains(QStringLiteral("Analogeingang"), Qt::CaseInsensitive));
    }
    int expected = 0;
    for (int i = g->HeadingIndex(0) + 1; i < d.Params.Count(); ++i)
        if (!d.Params.Item(i).Text.contains(QStringLiteral("+++")) &&
            d.Params.ItemText(i).contains(QStringLiteral("analogeingang"), Qt::CaseInsensitive))
            ++expected;
    EXPECT_EQ(hits, expected);
}

} // namespace

namespace {

// Rows are marked against the image as loaded: a changed value is marked, a value put back
// is not, and a new reference clears every mark.
TEST_F(GridModelDemo, ChangedValuesAreMarkedAgainstTheLoadedImage)
{
    g->TakeReference();
    const int k = group(QStringLiteral("Nennwerte"));
    ASSERT_GE(k, 0);
    g->FillGroup(k);
    ASSERT_GT(g->RowCount(), 2);
    for (const GridRow &r : g->Rows())
        EXPECT_FALSE(r.Changed);
    int row = -1;
    for (int r = 0; r < g->RowCount() && row < 0; ++r)
        if (!g->Rows().at(r).TextLine && !g->Rows().at(r).Separator)
            row = r;
    ASSERT_GE(row, 0);
    const int index = g->Rows().at(row).ParameterIndex;
    const long long at = d.State.IndexOf(d.Params.GetAddress(index).trimmed().toLongLong(nullptr, 16));
    const int old = d.Geraet.GetByte(at);
    d.Geraet.SetByte(at, old ^ 0x01);
    g->Refill();
    EXPECT_TRUE(g->Rows().at(row).Changed);
    EXPECT_TRUE(g->ChangedParameters().contains(index));
    int marked = 0;
    for (const GridRow &r : g->Rows())
        marked += r.Changed;
    EXPECT_GE(marked, 1);

    d.Geraet.SetByte(at, old);
    g->Refill();
    EXPECT_FALSE(g->Rows().at(row).Changed);
    EXPECT_TRUE(g->ChangedParameters().isEmpty());

    d.Geraet.SetByte(at, old ^ 0x01);
    g->TakeReference();
    g->Refill();
    EXPECT_FALSE(g->Rows().at(row).Changed);
    g->ClearReference();
    d.Geraet.SetByte(at, old);
    g->Refill();
    EXPECT_FALSE(g->Rows().at(row).Changed);
}

} // namespace
