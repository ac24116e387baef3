// mirelo-cli values and ack, run as a user would run them.
#include "support/CliRunner.h"
#include "support/EventWait.h"
#include "support/SimPty.h"
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kSamples = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/");

QProcessEnvironment Env(const QString &simDevice = kSamples + QStringLiteral("demo.202"))
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MIRELO_DATA_DIR"), QStringLiteral(MIRELO_SOURCE_DATA_DIR));
    env.insert(QStringLiteral("MIRELO_SIM_DEVICE"), simDevice);
    env.remove(QStringLiteral("MIRELO_SIM_BASE"));
    return env;
}

CliRun Cli(const QStringList &args) { return RunCli(args, Env()); }

QStringList FileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(f.readAll());
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!text.endsWith(QLatin1Char('\n')))
        return {QStringLiteral("<cut line>")};
    lines.removeLast();
    return lines;
}

TEST(ValuesCli, CsvHasAHeaderAndOneLinePerPoll)
{
    const CliRun r = Cli({QStringLiteral("--decimal"), QStringLiteral(","), QStringLiteral("values"),
                          QStringLiteral("--csv"), QStringLiteral("--count"), QStringLiteral("3"),
                          QStringLiteral("--interval"), QStringLiteral("100")});
    ASSERT_EQ(r.code, 0) << Show(r);
    const QStringList lines = r.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 4) << Show(r);
    const QStringList head = lines.first().split(QLatin1Char(';'));
    EXPECT_EQ(head.value(0), QStringLiteral("Zeit"));
    EXPECT_EQ(head.value(1), QStringLiteral("Netzspannung L1-N [V]"));
    EXPECT_TRUE(head.contains(QStringLiteral("Drehzahl [U/m]")));
    EXPECT_FALSE(head.contains(QStringLiteral("Analogwerte Netz/Generator"))) << "headings carry no value";
    QDateTime previous;
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList cells = lines[i].split(QLatin1Char(';'));
        EXPECT_EQ(cells.size(), head.size()) << lines[i].toStdString();
        const QDateTime t = QDateTime::fromString(cells.value(0), Qt::ISODateWithMs);
        ASSERT_TRUE(t.isValid()) << cells.value(0).toStdString();
        if (previous.isValid())
            EXPECT_GE(previous.msecsTo(t), 80);
        previous = t;
        for (const QString &c : cells)
            EXPECT_EQ(c, c.trimmed());
        EXPECT_TRUE(cells.value(4).contains(QLatin1Char(','))) << "frequency with the separator of --decimal";
    }
}

TEST(ValuesCli, TextShowsThePageAsTheGridDoes)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("ein.txt"));
    const CliRun r = Cli({QStringLiteral("values"), QStringLiteral("--page"), QStringLiteral("IstEin"),
                          QStringLiteral("-o"), out});
    ASSERT_EQ(r.code, 0) << Show(r);
    const QStringList lines = FileLines(out);
    ASSERT_GE(lines.size(), 17);
    EXPECT_TRUE(QDateTime::fromString(lines.first(), Qt::ISODateWithMs).isValid());
    EXPECT_TRUE(lines.filter(QStringLiteral("Eingang 01: Notstop")).size() == 1) << lines.join('\n').toStdString();
}

TEST(ValuesCli, BadInputIsRefused)
{
    QTemporaryDir dir;
    struct Case
    {
        QStringList args;
        QString message;
    } cases[] = {
        {{QStringLiteral("values"), QStringLiteral("--page"), QStringLiteral("IstXyz")}, QStringLiteral("IstXyz")},
        {{QStringLiteral("values"), QStringLiteral("--count"), QStringLiteral("-1")}, QStringLiteral("--count")},
        {{QStringLiteral("values"), QStringLiteral("--interval"), QStringLiteral("x")}, QStringLiteral("--interval")},
        {{QStringLiteral("values"), QStringLiteral("überzählig")}, QStringLiteral("überzählig")},
        {{QStringLiteral("values"), QStringLiteral("--params"), kSamples + QStringLiteral("demo.101")},
         QStringLiteral("demo.101 stammt nicht")},
        {{QStringLiteral("ack")}, QStringLiteral("--password")},
        {{QStringLiteral("ack"), QStringLiteral("--password"), QStringLiteral("IDS-1104")},
         QStringLiteral("nicht erlaubt")},
    };
    for (const Case &c : cases) {
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, 2) << Show(r);
        EXPECT_TRUE(r.err.contains(c.message)) << Show(r);
        EXPECT_TRUE(r.out.isEmpty()) << Show(r);
    }
}

TEST(ValuesCli, SavedSetOfTheSameDeviceStartsWithoutReading)
{
    const CliRun r = Cli({QStringLiteral("values"), QStringLiteral("--params"), kSamples + QStringLiteral("demo.202"),
                          QStringLiteral("--csv")});
    ASSERT_EQ(r.code, 0) << Show(r);
    EXPECT_EQ(r.out.trimmed().split(QLatin1Char('\n')).size(), 2);
}

TEST(ValuesCli, AcknowledgeWithAnAllowedLevel)
{
    const CliRun r = Cli({QStringLiteral("ack"), QStringLiteral("--password"), QStringLiteral("SERVICE-3187")});
    EXPECT_EQ(r.code, 0) << Show(r);
}

// Over a real line: a device that goes away ends the run with exit 1 and whole lines kept;
// an interrupt ends it cleanly.
TEST(ValuesCli, EndsCleanlyWhenTheDeviceGoesOrTheUserStops)
{
    struct Case
    {
        bool stopDevice;
        int exitCode;
    } cases[] = {{true, 1}, {false, 0}};
    for (const Case &c : cases) {
        SimPty sim({QStringLiteral("--device"), kSamples + QStringLiteral("demo.202")});
        ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("werte.csv"));
        QProcess p;
        p.setProcessEnvironment(Env());
        p.start(QStringLiteral(MIRELO_CLI_BINARY),
                {QStringLiteral("--port"), sim.linkPath(), QStringLiteral("values"), QStringLiteral("--csv"),
                 QStringLiteral("--count"), QStringLiteral("0"), QStringLiteral("--interval"), QStringLiteral("100"),
                 QStringLiteral("--timeout"), QStringLiteral("20"), QStringLiteral("-o"), out});
        ASSERT_TRUE(p.waitForStarted(20000));
        ASSERT_TRUE(WaitUntil([&] { return FileLines(out).size() >= 3; }, 60000)) << FileLines(out).join('\n').toStdString();
        if (c.stopDevice)
            sim.stop();
        else
            p.terminate();
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), c.exitCode) << QString::fromUtf8(p.readAllStandardError()).toStdString();
        const QStringList lines = FileLines(out);
        ASSERT_GE(lines.size(), 3);
        const int columns = int(lines.first().count(QLatin1Char(';')));
        for (const QString &line : lines)
            EXPECT_EQ(line.count(QLatin1Char(';')), columns);
    }
}

} // namespace
