// mirelo-cli read and search, run as a user would run them.
#include "support/CliRunner.h"
#include "support/SimPty.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

CliRun Cli(const QStringList &args, const QString &simDevice = QString())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MIRELO_DATA_DIR"), QStringLiteral(MIRELO_SOURCE_DATA_DIR));
    if (!simDevice.isEmpty())
        env.insert(QStringLiteral("MIRELO_SIM_DEVICE"), simDevice);
    else
        env.remove(QStringLiteral("MIRELO_SIM_DEVICE"));
    env.remove(QStringLiteral("MIRELO_SIM_BASE"));
    return RunCli(args, env);
}

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString kSamples = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/");

TEST(DeviceCli, ReadIntoAFolderNamesTheFileAfterTheProgram)
{
    struct Case
    {
        const char *sample;
        const char *name;
    } cases[] = {{"demo.202", "Z202_PA004.202"}, {"demo.STW", "071.STW"}, {"demo.101", "Z101_STD01.101"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sample);
        QTemporaryDir dir;
        const CliRun r = Cli({QStringLiteral("read"), QStringLiteral("--port"), QStringLiteral("SIM"),
                              QStringLiteral("-o"), dir.path()},
                             kSamples + QString::fromLatin1(c.sample));
        ASSERT_EQ(r.code, 0) << Show(r);
        const QString expected = QDir(dir.path()).filePath(QString::fromLatin1(c.name));
        EXPECT_EQ(QFileInfo(r.out.trimmed()).absoluteFilePath(), QFileInfo(expected).absoluteFilePath());
        EXPECT_EQ(Contents(expected), Contents(kSamples + QString::fromLatin1(c.sample)));
    }
}

TEST(DeviceCli, ReadToAFileForcesTheModelExtension)
{
    QTemporaryDir dir;
    const CliRun r = Cli({QStringLiteral("read"), QStringLiteral("-o"), dir.filePath(QStringLiteral("set1"))});
    ASSERT_EQ(r.code, 0) << Show(r);
    EXPECT_EQ(Contents(dir.filePath(QStringLiteral("set1.202"))), Contents(kSamples + QStringLiteral("demo.202")));
}

TEST(DeviceCli, ReadOverAPseudoTerminalAtTheGivenProtocol)
{
    SimPty sim({QStringLiteral("--device"), kSamples + QStringLiteral("demo.ULV"), QStringLiteral("--baud"),
                QStringLiteral("2400")});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("ulva"));
    // At 9600 the device hears nothing: a link failure, and no file.
    CliRun r = Cli({QStringLiteral("read"), QStringLiteral("--port"), sim.linkPath(), QStringLiteral("--protocol"),
                    QStringLiteral("4"), QStringLiteral("--timeout"), QStringLiteral("20"), QStringLiteral("-o"), target});
    EXPECT_EQ(r.code, 1) << Show(r);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    r = Cli({QStringLiteral("read"), QStringLiteral("--port"), sim.linkPath(), QStringLiteral("--protocol"),
             QStringLiteral("2"), QStringLiteral("-o"), target});
    ASSERT_EQ(r.code, 0) << Show(r);
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral(".ULV")));
}

TEST(DeviceCli, BadInputIsRefusedBeforeTheDeviceIsAsked)
{
    QTemporaryDir dir;
    const QStringList bad[] = {
        {QStringLiteral("read")},
        {QStringLiteral("read"), QStringLiteral("-o")},
        {QStringLiteral("read"), QStringLiteral("-o"), dir.filePath(QStringLiteral("no/such/folder/x"))},
        {QStringLiteral("read"), QStringLiteral("-o"), dir.path(), QStringLiteral("extra")},
        {QStringLiteral("read"), QStringLiteral("-o"), dir.path(), QStringLiteral("--timeout"), QStringLiteral("x")},
        {QStringLiteral("search"), QStringLiteral("--pause"), QStringLiteral("-5")},
        {QStringLiteral("--retries"), QStringLiteral("11"), QStringLiteral("read"), QStringLiteral("-o"), dir.path()},
        {QStringLiteral("--retries"), QStringLiteral("-1"), QStringLiteral("read"), QStringLiteral("-o"), dir.path()},
        {QStringLiteral("--retries"), QStringLiteral("zwei"), QStringLiteral("read"), QStringLiteral("-o"), dir.path()},
        {QStringLiteral("read"), QStringLiteral("-o"), dir.path(), QStringLiteral("--retries")},
    };
    for (const QStringList &args : bad) {
        const CliRun r = Cli(args);
        EXPECT_EQ(r.code, 2) << args.join(QLatin1Char(' ')).toStdString() << "\n" << Show(r);
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}

TEST(DeviceCli, ReadSearchesTheProtocolOnlyWhenNoneIsGiven)
{
    SimPty sim({QStringLiteral("--slave"), QStringLiteral("0x70")}); // reached by protocol 3 only
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("set"));
    const QStringList common = {QStringLiteral("--port"), sim.linkPath(), QStringLiteral("--retries"),
                                QStringLiteral("0"), QStringLiteral("read"), QStringLiteral("--timeout"),
                                QStringLiteral("20"), QStringLiteral("-o"), target};
    // A protocol given is kept, and no search is promised.
    CliRun r = Cli(QStringList{QStringLiteral("--protocol"), QStringLiteral("4")} + common);
    EXPECT_EQ(r.code, 1) << Show(r);
    EXPECT_FALSE(r.err.contains(QStringLiteral("Protokoll wird gesucht"))) << Show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Keine Datenverbindung."))) << Show(r);
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral(".202")));
    // Without one, the search the message announces runs, and the read is made at what it found.
    r = Cli(common);
    ASSERT_EQ(r.code, 0) << Show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Protokoll wird gesucht"))) << Show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("ZEV GNr $70"))) << Show(r);
    EXPECT_EQ(Contents(target + QStringLiteral(".202")), Contents(kSamples + QStringLiteral("demo.202")));
}

TEST(DeviceCli, ExplicitAddressesWinAndProtocolOneAsksTheDevice)
{
    struct Case
    {
        const char *name;
        QStringList sim;
        QStringList options;
    };
    const Case cases[] = {
        {"--slave over protocol 3", {QStringLiteral("--slave"), QStringLiteral("0x33")},
         {QStringLiteral("--protocol"), QStringLiteral("3"), QStringLiteral("--slave"), QStringLiteral("0x33")}},
        // Behind a coupler: ident and read both reach the controller, not the coupler at FE.
        {"protocol 1", {QStringLiteral("--coupler"), QStringLiteral("PELK")}, {QStringLiteral("--protocol"), QStringLiteral("1")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SimPty sim(c.sim);
        ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
        const QStringList link = QStringList{QStringLiteral("--port"), sim.linkPath()} + c.options;
        CliRun r = Cli(link + QStringList{QStringLiteral("ident")});
        ASSERT_EQ(r.code, 0) << Show(r);
        EXPECT_TRUE(r.out.startsWith(QStringLiteral("0030: 5A 32 30 32 20 50 41 30 30 34"))) << Show(r); // "Z202 PA004"
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("set"));
        r = Cli(link + QStringList{QStringLiteral("read"), QStringLiteral("--timeout"), QStringLiteral("50"),
                                   QStringLiteral("-o"), target});
        ASSERT_EQ(r.code, 0) << Show(r);
        EXPECT_EQ(Contents(target + QStringLiteral(".202")), Contents(kSamples + QStringLiteral("demo.202")));
    }
}

TEST(DeviceCli, AnUnopenablePortIsALinkFailure)
{
    QTemporaryDir dir;
    const CliRun r = Cli({QStringLiteral("read"), QStringLiteral("--port"), dir.filePath(QStringLiteral("nope")),
                          QStringLiteral("-o"), dir.path()});
    EXPECT_EQ(r.code, 1) << Show(r);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(DeviceCli, SearchPrintsTheProtocolFoundOrFails)
{
    SimPty sim({QStringLiteral("--baud"), QStringLiteral("9600")});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    CliRun r = Cli({QStringLiteral("search"), QStringLiteral("--port"), sim.linkPath(), QStringLiteral("--timeout"),
                    QStringLiteral("20"), QStringLiteral("--pause"), QStringLiteral("10")});
    ASSERT_EQ(r.code, 0) << Show(r);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Protokoll 4:"))) << Show(r);

    SimPty silent({QStringLiteral("--baud"), QStringLiteral("19200")});
    ASSERT_TRUE(silent.isRunning()) << silent.error().toStdString();
    r = Cli({QStringLiteral("search"), QStringLiteral("--port"), silent.linkPath(), QStringLiteral("--timeout"),
             QStringLiteral("20"), QStringLiteral("--pause"), QStringLiteral("10")});
    EXPECT_EQ(r.code, 1) << Show(r);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(QStringLiteral("Kein Protokoll gefunden."))) << Show(r);
}

} // namespace
