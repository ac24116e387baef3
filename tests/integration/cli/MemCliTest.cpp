// mirelo-cli mem against the simulator on a pty: areas by CPU type or by name into an S2
// file, a file made by srec_cat written and read back, bad input and dead lines.
#include "SimMem68k.h"
#include "shell/Texts.h"
#include "support/CliRunner.h"
#include "support/SimPty.h"
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

CliRun Mem(const QString &port, const QStringList &args)
{
    return RunCli(QStringList{QStringLiteral("--data"), QStringLiteral(MIRELO_SOURCE_DATA_DIR), QStringLiteral("--port"),
                              port, QStringLiteral("mem")} +
                  args);
}

bool SrecCat(const QStringList &args, QByteArray *out = nullptr)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable(QStringLiteral("srec_cat")), args);
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    if (out)
        *out = p.readAllStandardOutput();
    return true;
}

} // namespace

TEST(MemCli, ReadsAreasWritesFilesAndRefusesBadInput)
{
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("srec_cat")).isEmpty()) << "package srecord";
    const QString data = QStringLiteral(MIRELO_SOURCE_DATA_DIR);
    SimPty sim({QStringLiteral("--data"), data});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    QTemporaryDir dir;
    auto path = [&](const char *name) { return dir.path() + QLatin1Char('/') + QLatin1String(name); };

    // 4 KB of random bytes for the area "Stack" (0x10F000), as srec_cat writes them.
    QByteArray random(0x1000, 0);
    QRandomGenerator gen(4242);
    for (char &c : random)
        c = char(gen.bounded(256));
    {
        QFile f(path("random.bin"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(random);
    }
    ASSERT_TRUE(SrecCat({path("random.bin"), "-binary", "-offset", "0x10F000", "-o", path("made.S2"), "-motorola",
                         "-address-length=3"}));
    {
        QFile f(path("bad.S2"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("S00600004844521B\r\nS207001000010203E3\r\n");
    }

    const QString dev = sim.linkPath();
    const struct
    {
        const char *name;
        QStringList args;
        int code;
        QString inOut, inErr;
    } cases[] = {
        {"by cpu type", {"read", "--cpu", "zev 2xx diagnose", "-o", path("cpu.S2")}, 0, GetText(848), {}},
        {"file into the cpu", {"write", path("made.S2")}, 0, GetText(849), {}},
        {"read back", {"read", "--area", "Stack", "--area", "Vektoren", "-o", path("back.S2")}, 0, GetText(848), {}},
        {"unknown cpu", {"read", "--cpu", "Z80", "-o", path("x.S2")}, 2, {}, GetText(840).arg("Z80")},
        {"unknown area", {"read", "--area", "Nirgends", "-o", path("x.S2")}, 2, {}, GetText(841).arg("Nirgends")},
        {"cpu and area", {"read", "--cpu", "ZEV 101-112", "--area", "RAM", "-o", path("x.S2")}, 2, {}, "Aufruf"},
        {"no target", {"read", "--area", "RAM"}, 2, {}, "Aufruf"},
        {"bad checksum", {"write", path("bad.S2")}, 2, {}, GetText(820).arg(2).arg(QString())},
        {"no such file", {"write", path("none.S2")}, 2, {}, path("none.S2")},
        {"no sub-command", {}, 2, {}, "Aufruf"},
    };
    for (const auto &c : cases) {
        const CliRun r = Mem(dev, c.args);
        EXPECT_EQ(r.code, c.code) << c.name << Show(r);
        if (!c.inOut.isEmpty())
            EXPECT_TRUE(r.out.contains(c.inOut)) << c.name << Show(r);
        if (!c.inErr.isEmpty())
            EXPECT_TRUE(r.err.contains(c.inErr)) << c.name << Show(r);
    }
    EXPECT_FALSE(QFile::exists(path("x.S2")));

    // What went in comes back out, byte for byte; the area beside it is the device's own.
    QByteArray back;
    ASSERT_TRUE(SrecCat({path("back.S2"), "-motorola", "-crop", "0x10F000", "0x110000", "-offset", "-0x10F000", "-o",
                         "-", "-binary"},
                        &back));
    EXPECT_EQ(back, random);
    QByteArray vectors;
    ASSERT_TRUE(SrecCat({path("back.S2"), "-motorola", "-crop", "0", "0x400", "-o", "-", "-binary"}, &vectors));
    ASSERT_EQ(vectors.size(), 0x400);
    for (int a : {0, 1, 0x3FF})
        EXPECT_EQ(quint8(vectors[a]), SimMem68k::pattern(quint32(a))) << a;
}

TEST(MemCli, ABrokenLineEndsWithExitOneAndNoFile)
{
    const QString data = QStringLiteral(MIRELO_SOURCE_DATA_DIR);
    SimPty broken({QStringLiteral("--data"), data, QStringLiteral("--fault"), QStringLiteral("badsum:1")});
    ASSERT_TRUE(broken.isRunning()) << broken.error().toStdString();
    QTemporaryDir dir;
    const QString target = dir.path() + QStringLiteral("/dead.S2");
    const CliRun r = RunCli({QStringLiteral("--data"), data, QStringLiteral("--port"), broken.linkPath(),
                             QStringLiteral("--retries"), QStringLiteral("1"), QStringLiteral("mem"), QStringLiteral("read"),
                             QStringLiteral("--area"), QStringLiteral("Vektoren"), QStringLiteral("-o"), target});
    EXPECT_EQ(r.code, 1) << Show(r);
    EXPECT_TRUE(r.err.contains(GetText(831).left(GetText(831).indexOf(QLatin1Char('%'))))) << Show(r);
    EXPECT_TRUE(r.err.contains(GetText(450).arg(1).arg(1).left(14))) << "the repetition is told" << Show(r);
    EXPECT_FALSE(QFile::exists(target));
    const CliRun none = RunCli({QStringLiteral("--data"), data, QStringLiteral("--port"), QStringLiteral("/nonexistent/tty"),
                                QStringLiteral("mem"), QStringLiteral("read"), QStringLiteral("--area"),
                                QStringLiteral("RAM"), QStringLiteral("-o"), target});
    EXPECT_EQ(none.code, 1) << Show(none);
    EXPECT_FALSE(QFile::exists(target));
}
