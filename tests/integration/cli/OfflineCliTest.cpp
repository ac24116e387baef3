// The offline commands of the built mirelo-cli, run as a user would run them.
#include "support/DefinitionFixtures.h"
#include "support/CliRunner.h"
#include "support/ParameterFileFixtures.h"
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

CliRun Cli(const QStringList &args) { return RunCli(args); }

class OfflineCli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        data.write(Fixture::ControllerDefinitionName(), Fixture::ControllerDefinition());
        data.write(Fixture::StwDefinitionName(), Fixture::StwDefinition());
        QByteArray bytes = Fixture::ControllerFile(32, 11);
        bytes[0x10] = char(0x09); // Nennspannung 2305 -> 230.5
        bytes[0x11] = char(0x01);
        bytes[0x12] = char(3);    // Anzahl Versuche
        controller = put(QStringLiteral("anlage.101"), bytes);
    }
    QString put(const QString &name, const QByteArray &bytes)
    {
        const QString path = files.path() + QLatin1Char('/') + name;
        EXPECT_TRUE(Fixture::WriteFile(path, bytes));
        return path;
    }
    CliRun cli(const QStringList &args)
    {
        return Cli(QStringList{QStringLiteral("--data"), QFileInfo(data.zpa()).path(), QStringLiteral("--decimal"),
                               QStringLiteral(".")} +
                   args);
    }

    ScratchDataDir data;
    QTemporaryDir files;
    QString controller;
};

TEST_F(OfflineCli, InfoShowsIdentificationAndDefinition)
{
    const CliRun r = cli({QStringLiteral("info"), controller});
    ASSERT_EQ(r.code, 0) << Show(r);
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    for (const char *expected : {"Modell: *.101", "Gerätetyp: 0", "Programm: Z101 TEST ", "Version: 11",
                                 "F-Nummer: 12345", "Auftrag: 258", "Zugangscode: 18768", "Gerät: Z101 Testgerät"})
        EXPECT_TRUE(lines.contains(QString::fromUtf8(expected))) << expected << "\n" << Show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Definition: ")));
    EXPECT_TRUE(r.out.contains(Fixture::ControllerDefinitionName()));
}

TEST_F(OfflineCli, ListPrintsGroupsAndGridLines)
{
    const CliRun r = cli({QStringLiteral("list"), controller});
    ASSERT_EQ(r.code, 0) << Show(r);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7) << Show(r);
    EXPECT_EQ(lines[0], QStringLiteral("+++ Generator +++"));
    EXPECT_EQ(lines[1], QStringLiteral("  230.5   Nennspannung"));
    EXPECT_EQ(lines[2], QStringLiteral("      3   Anzahl Versuche"));
    EXPECT_EQ(lines[4], QStringLiteral("+++ Schutz +++"));
}

TEST_F(OfflineCli, ListOfOneGroupAndDecimalComma)
{
    CliRun r = Cli({QStringLiteral("--data"), QFileInfo(data.zpa()).path(), QStringLiteral("--decimal"), QStringLiteral(","),
                 QStringLiteral("list"), controller, QStringLiteral("--group"), QStringLiteral("Generator")});
    ASSERT_EQ(r.code, 0) << Show(r);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << Show(r);
    EXPECT_EQ(lines[1], QStringLiteral("  230,5   Nennspannung"));

    r = cli({QStringLiteral("list"), controller, QStringLiteral("--group"), QStringLiteral("Gibtsnicht")});
    EXPECT_EQ(r.code, 2) << Show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Gibtsnicht")));
}

TEST_F(OfflineCli, DiffListsChangedParametersWithBothValues)
{
    QByteArray other = Fixture::ReadFile(controller);
    other[0x10] = char(0x0F); // 0x0FA0 = 4000 -> 400.0
    other[0x11] = char(0xA0);
    other[0x30] = char(other.at(0x30) ^ 0x02); // not the bit "Sperre aktiv" shows (bit 0)
    const QString second = put(QStringLiteral("anders.101"), other);
    CliRun r = cli({QStringLiteral("diff"), controller, second});
    ASSERT_EQ(r.code, 0) << Show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("0810 Nennspannung: 230.5 | 400.0"))) << Show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("1 Parameter unterschiedlich."))) << Show(r);
    EXPECT_FALSE(r.out.contains(QStringLiteral("Sperre"))) << Show(r);

    other[0x30] = char(other.at(0x30) ^ 0x01);
    r = cli({QStringLiteral("diff"), controller, put(QStringLiteral("bit.101"), other)});
    ASSERT_EQ(r.code, 0) << Show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("0830 Sperre aktiv:"))) << Show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("2 Parameter unterschiedlich."))) << Show(r);

    r = cli({QStringLiteral("diff"), controller, controller});
    ASSERT_EQ(r.code, 0) << Show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("0 Parameter unterschiedlich.")));
}

TEST_F(OfflineCli, DiffOfDifferentModelsIsRefused)
{
    const QString stw = put(QStringLiteral("alt.STW"), Fixture::StwFile());
    const CliRun r = cli({QStringLiteral("diff"), controller, stw});
    EXPECT_EQ(r.code, 2) << Show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("verschiedenen Gerätetypen"))) << Show(r);
}

TEST_F(OfflineCli, ConvertRunsTheConversionFileAndSavesWithModelExtension)
{
    data.write(QStringLiteral("101upgrate.ini"),
               QStringLiteral("[11]\nECHO=nie\n[12]\nECHO=Umstellung auf Version 12\nCHANGE=$0812;3,2,1\nVER=12;01.06.2005\n"));
    const QString out = files.path() + QStringLiteral("/neu");
    CliRun r = cli({QStringLiteral("convert"), controller, QStringLiteral("-o"), out});
    ASSERT_EQ(r.code, 0) << Show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Umstellung auf Version 12")));
    EXPECT_FALSE(r.out.contains(QStringLiteral("nie")));
    const QByteArray saved = Fixture::ReadFile(out + QStringLiteral(".101"));
    ASSERT_EQ(saved.size(), 8240);
    EXPECT_EQ(quint8(saved.at(0x12)), 3 * 3 / 2 - 1);
    EXPECT_EQ(quint8(saved.at(8192 + 11)), 12);

    r = cli({QStringLiteral("info"), out + QStringLiteral(".101")});
    ASSERT_EQ(r.code, 0) << Show(r);
    EXPECT_TRUE(r.out.split(QLatin1Char('\n')).contains(QStringLiteral("Version: 12")));
}

TEST_F(OfflineCli, RefusedConversionWritesNothing)
{
    struct Case { const char *file; const char *says; };
    const Case cases[] = {
        {"[12]\nSET=$0810;1\nCHANGE=$0810;1,0,0\n", "Division durch Null"},
        {"[12]\nECHO=x\nBSET=$0812;$F0\n", "Zeile 3: BSET=$0812;$F0"},
        // Converted to a version whose data cannot be read: no date to identify them by.
        {"[12]\nVER=12\n", "Zeile 2: VER=12"},
    };
    const QString out = files.path() + QStringLiteral("/neu");
    for (const Case &c : cases) {
        data.write(QStringLiteral("101upgrate.ini"), QString::fromUtf8(c.file));
        const CliRun r = cli({QStringLiteral("convert"), controller, QStringLiteral("-o"), out});
        EXPECT_EQ(r.code, 2) << Show(r);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says))) << Show(r);
        EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral(".101"))) << c.file;
    }
    const CliRun r = cli({QStringLiteral("convert"), controller});
    EXPECT_EQ(r.code, 2) << Show(r);
}

TEST_F(OfflineCli, InfoWithoutDefinitionShowsIdentificationAndTheFileLookedFor)
{
    const QString file = put(QStringLiteral("fremd.101"), Fixture::ControllerFile(32, 11, "Z101 OTHER"));
    const CliRun r = cli({QStringLiteral("info"), file});
    EXPECT_EQ(r.code, 2) << Show(r);
    const QString looked = data.zpa() + QStringLiteral("/Z101 OTHER-DE.ZPA");
    EXPECT_TRUE(r.err.contains(QStringLiteral("Can't open file ") + looked)) << Show(r);
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    for (const QString &expected : {QStringLiteral("Datei: fremd.101"), QStringLiteral("Modell: *.101"),
                                    QStringLiteral("Programm: Z101 OTHER"), QStringLiteral("Version: 11"),
                                    QStringLiteral("F-Nummer: 12345"), QStringLiteral("Definition: ") + looked})
        EXPECT_TRUE(lines.contains(expected)) << expected.toStdString() << "\n" << Show(r);
}

TEST_F(OfflineCli, BadFilesGiveMessageNamingTheFileAndExit2)
{
    const QString missing = files.path() + QStringLiteral("/fehlt.101");
    const QString truncated = put(QStringLiteral("kurz.101"), Fixture::ControllerFile(16, 11));
    QByteArray big = Fixture::ControllerFile(128, 11);
    big.append('\0');
    const QString oversized = put(QStringLiteral("gross.101"), big);
    const QString noDefinition = put(QStringLiteral("fremd.101"), Fixture::ControllerFile(32, 11, "Z101 OTHER"));
    struct Case { QString file; QString says; };
    const Case cases[] = {
        {missing, QStringLiteral("Fehler beim Öffnen der Datei")},
        {truncated, QStringLiteral("unvollständig")},
        {oversized, QStringLiteral("zu groß")},
        {noDefinition, QStringLiteral("Can't open file")},
    };
    for (const Case &c : cases)
        for (const char *command : {"info", "list"}) {
            const CliRun r = cli({QString::fromUtf8(command), c.file});
            EXPECT_EQ(r.code, 2) << Show(r);
            EXPECT_TRUE(r.err.contains(c.says)) << Show(r);
            EXPECT_TRUE(r.err.contains(QFileInfo(c.file).fileName()) || r.err.contains(QStringLiteral("Z101 OTHER")))
                << Show(r);
            // info describes a file that it could identify (below).
            if (!(c.file == noDefinition && QLatin1String(command) == QLatin1String("info")))
                EXPECT_TRUE(r.out.isEmpty()) << Show(r);
        }
    const CliRun r = cli({QStringLiteral("diff"), controller, missing});
    EXPECT_EQ(r.code, 2) << Show(r);
}

TEST_F(OfflineCli, UnknownExtensionIsReportedThenTheDataDecide)
{
    const QString odd = put(QStringLiteral("sicherung.xyz"), Fixture::ReadFile(controller));
    const CliRun r = cli({QStringLiteral("info"), odd});
    EXPECT_EQ(r.code, 0) << Show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Der Gerätetyp ist im Mirelo nicht vorhanden!"))) << Show(r);
    EXPECT_TRUE(r.out.split(QLatin1Char('\n')).contains(QStringLiteral("Modell: *.101"))) << Show(r);
}

TEST_F(OfflineCli, WrongArgumentsAreUsageErrors)
{
    for (const QStringList &args : {QStringList{QStringLiteral("info")},
                                    QStringList{QStringLiteral("info"), controller, controller},
                                    QStringList{QStringLiteral("diff"), controller},
                                    QStringList{QStringLiteral("list"), controller, QStringLiteral("--group")}}) {
        const CliRun r = cli(args);
        EXPECT_EQ(r.code, 2) << Show(r);
        EXPECT_FALSE(r.err.isEmpty()) << Show(r);
    }
}

TEST(OfflineCliSamples, ShippedSampleIsDescribed)
{
    const QString sample = QStringLiteral(MIRELO_SOURCE_DATA_DIR) + QStringLiteral("/samples/demo.202");
    ASSERT_TRUE(QFileInfo::exists(sample));
    const CliRun r = Cli({QStringLiteral("--data"), QStringLiteral(MIRELO_SOURCE_DATA_DIR), QStringLiteral("info"), sample});
    ASSERT_EQ(r.code, 0) << Show(r);
    EXPECT_TRUE(r.out.split(QLatin1Char('\n')).contains(QStringLiteral("Modell: *.202"))) << Show(r);
}

} // namespace
