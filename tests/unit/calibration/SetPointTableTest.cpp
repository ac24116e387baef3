// The calibration table of a definition: read and checked before anything is measured.
#include "calibration/SetPointTable.h"
#include "device/DeviceData.h"
#include "support/DefinitionFixtures.h"
#include <gtest/gtest.h>
#include <memory>
#include <random>

namespace {
std::unique_ptr<DeviceData> WithLines(const QStringList &lines)
{
    auto d = std::make_unique<DeviceData>();
    d->Def.DefinitionLines = lines;
    d->Geraet.ProgramId = QStringLiteral("Z101 STD01");
    return d;
}
const QString kGood = QStringLiteral("V anlegen (Punkt 1)*2260;6;1800;1820;1822;200;30000;2000");
} // namespace

TEST(SetPointTable, ReadsTheFieldsOfEachLine)
{
    RecordingPrompter p;
    auto d = WithLines({QStringLiteral("ParaEnd:"), QStringLiteral("spwstart:"), kGood,
                              QStringLiteral("\tBatterie*$22A0;2;1840;1844;1846;100;4000;500"), QStringLiteral("SPWEnd:")});
    QVector<SetPointItem> items;
    ASSERT_TRUE(SetPointTable::Read(*d, false, &items, p)) << p.texts().join('|').toStdString();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].Prompt, QStringLiteral("V anlegen (Punkt 1)"));
    EXPECT_EQ(items[0].Source, QStringLiteral("2260"));
    EXPECT_EQ(items[0].RawAddress, 0x2260);
    EXPECT_EQ(items[0].Kind, 6);
    EXPECT_EQ(items[0].WriteAddress, 0x1800);
    EXPECT_EQ(items[0].FirstNominal, 0x1820);
    EXPECT_EQ(items[0].SecondNominal, 0x1822);
    EXPECT_EQ(items[0].Min, 200);
    EXPECT_EQ(items[0].Max, 30000);
    EXPECT_EQ(items[0].MinDiff, 2000);
    EXPECT_EQ(items[1].Prompt, QStringLiteral("Batterie"));
    EXPECT_EQ(items[1].RawAddress, 0x22A0);
    EXPECT_TRUE(p.messages.isEmpty());
}

TEST(SetPointTable, BadTablesAreRefusedNamingLineAndField)
{
    const struct
    {
        const char *name;
        QStringList lines;
        bool nineX;
        QString error;
        bool warned;
    } rows[] = {
        {"no section", {QStringLiteral("ParaStart:")}, false, GetText(850), false},
        {"line without star", {QStringLiteral("SPWStart:"), kGood, QStringLiteral("kaputt"), QStringLiteral("SPWEnd:")},
         false, GetText(851).arg(2), true},
        {"no end label", {QStringLiteral("SPWStart:"), kGood}, false, GetText(851).arg(2), true},
        {"missing field", {QStringLiteral("SPWStart:"), QStringLiteral("x*2260;6;1800;1820;1822;200;30000"),
                           QStringLiteral("SPWEnd:")},
         false,
         GetText(853).arg(1).arg(6).arg(QString()), true}, // the last text counts as f7
        {"f5 not a number", {QStringLiteral("SPWStart:"), kGood, QStringLiteral("x*2260;6;1800;1820;1822;2O0;30000;2000"),
                             QStringLiteral("SPWEnd:")},
         false, GetText(853).arg(2).arg(5).arg(QStringLiteral("2O0")), true},
        {"address not hexadecimal", {QStringLiteral("SPWStart:"), QStringLiteral("x*22G0;6;1800;1820;1822;1;2;3"),
                                     QStringLiteral("SPWEnd:")},
         false, GetText(853).arg(1).arg(0).arg(QStringLiteral("22G0")), true},
        {"kind unknown to the 101", {QStringLiteral("SPWStart:"), QStringLiteral("x*2260;3;1800;1820;1822;1;2;3"),
                                     QStringLiteral("SPWEnd:")},
         false, GetText(853).arg(1).arg(1).arg(QStringLiteral("3")), true},
        {"kind unknown to the 9x", {QStringLiteral("SPWStart:"), QStringLiteral("x*2260;2;1800;1820;1822;1;2;3"),
                                    QStringLiteral("SPWEnd:")},
         true, GetText(853).arg(1).arg(1).arg(QStringLiteral("2")), true},
    };
    for (const auto &r : rows) {
        RecordingPrompter p;
        auto d = WithLines(r.lines);
        QVector<SetPointItem> items{SetPointItem{}};
        EXPECT_FALSE(SetPointTable::Read(*d, r.nineX, &items, p)) << r.name;
        EXPECT_TRUE(items.isEmpty()) << r.name;
        EXPECT_TRUE(p.has(QStringLiteral("error"), r.error)) << r.name << ": " << p.texts().join('|').toStdString();
        EXPECT_EQ(p.has(QStringLiteral("warning"), QStringLiteral("Error 5 SPWEnd:")), r.warned) << r.name;
    }
}

TEST(SetPointTable, AtMostSeventeenItems)
{
    for (int n : {17, 18}) {
        QStringList lines{QStringLiteral("SPWStart:")};
        for (int i = 0; i < n; ++i)
            lines << kGood;
        lines << QStringLiteral("SPWEnd:");
        RecordingPrompter p;
        auto d = WithLines(lines);
        QVector<SetPointItem> items;
        EXPECT_EQ(SetPointTable::Read(*d, false, &items, p), n <= 17) << n;
        EXPECT_EQ(items.size(), n <= 17 ? n : 0);
        EXPECT_EQ(p.has(QStringLiteral("error"), GetText(852).arg(18).arg(17)), n == 18);
    }
}

TEST(SetPointTable, SurvivesMutatedLines)
{
    // Mutations of a good table: every result is either refused or a table of known kinds.
    std::mt19937 rng(7);
    const QString alphabet = QStringLiteral("0123456789ABCDEFG;*$- \tx");
    for (int round = 0; round < 300; ++round) {
        QStringList lines{QStringLiteral("SPWStart:")};
        const int n = int(rng() % 20);
        for (int i = 0; i < n; ++i) {
            QString line = kGood;
            for (int m = int(rng() % 4); m > 0; --m) {
                const int at = int(rng() % uint(line.size()));
                if (rng() % 2)
                    line[at] = alphabet[int(rng() % uint(alphabet.size()))];
                else
                    line.remove(at, 1);
            }
            lines << line;
        }
        if (rng() % 4)
            lines << QStringLiteral("SPWEnd:");
        RecordingPrompter p;
        auto d = WithLines(lines);
        QVector<SetPointItem> items;
        if (SetPointTable::Read(*d, round % 2 == 1, &items, p)) {
            EXPECT_LE(items.size(), SetPointTable::MaxItems);
            for (const SetPointItem &it : items)
                EXPECT_TRUE(SetPointTable::KindKnown(it.Kind, round % 2 == 1));
        } else {
            EXPECT_TRUE(items.isEmpty());
            EXPECT_FALSE(p.messages.isEmpty());
        }
    }
}
