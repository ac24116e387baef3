// mirelo-cli events against the simulator on a pty: print, save and reprint, clear, refusals.
#include "shell/Texts.h"
#include "support/CliRunner.h"
#include "support/SimPty.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

CliRun Events(const QString &port, const QStringList &args)
{
    return RunCli(QStringList{QStringLiteral("--data"), QStringLiteral(MIRELO_SOURCE_DATA_DIR), QStringLiteral("--port"),
                              port, QStringLiteral("events")} +
                  args);
}

} // namespace

TEST(EventsCli, PrintsSavesReloadsAndClears)
{
    const QString data = QStringLiteral(MIRELO_SOURCE_DATA_DIR);
    QTemporaryDir dir;
    // The demo set says the device has an event memory; a copy without that bit says not.
    const QString set = data + QStringLiteral("/samples/demo.202");
    const QString noEvents = dir.filePath(QStringLiteral("noevents.202"));
    {
        QFile in(set);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        QByteArray bytes = in.readAll();
        ASSERT_TRUE(bytes[0x09B3 - 0x0800] & 0x40);
        bytes[0x09B3 - 0x0800] = char(bytes[0x09B3 - 0x0800] & ~0x40);
        QFile out(noEvents);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    SimPty sim({QStringLiteral("--data"), data, QStringLiteral("--device"), set});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    SimPty refusing({QStringLiteral("--data"), data, QStringLiteral("--device"), set, QStringLiteral("--mode-not-off")});
    ASSERT_TRUE(refusing.isRunning()) << refusing.error().toStdString();
    SimPty without({QStringLiteral("--data"), data, QStringLiteral("--device"), noEvents});
    ASSERT_TRUE(without.isRunning()) << without.error().toStdString();
    const QString evn = dir.filePath(QStringLiteral("a.EVN"));
    QFile bad(dir.filePath(QStringLiteral("bad.EVN")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("1\r\n2\r\n");
    bad.close();
    const QString pw = QStringLiteral("service-3187");
    const QString dev = sim.linkPath();
    const QString all = GetText(151) + QStringLiteral(" 127\n");

    const CliRun shown = Events(dev, {});
    ASSERT_EQ(shown.code, 0) << Show(shown);
    EXPECT_TRUE(shown.out.contains(all)) << Show(shown);
    const CliRun saved = Events(dev, {QStringLiteral("-o"), evn});
    ASSERT_EQ(saved.code, 0) << Show(saved);
    const CliRun reloaded = Events(dev, {QStringLiteral("--file"), evn});
    ASSERT_EQ(reloaded.code, 0) << Show(reloaded);
    // The same event lines, only the header says where they came from.
    EXPECT_EQ(reloaded.out.section(QLatin1Char('\n'), 1), shown.out.section(QLatin1Char('\n'), 1));
    EXPECT_TRUE(reloaded.out.startsWith(GetText(180))) << Show(reloaded);

    const struct
    {
        const char *name;
        QString port;
        QStringList args;
        int code;
        QString inOut, inErr;
    } cases[] = {
        {"not asked yes", dev, {"--clear", "--password", pw}, 2, QString(), GetText(646)},
        {"refused", refusing.linkPath(), {"--clear", "--password", pw, "--yes"}, 2, QString(), GetText(42)},
        {"customer level", dev, {"--clear", "--password", "falsch", "--yes"}, 2, QString(), GetText(644)},
        {"no password", dev, {"--clear"}, 2, QString(), QStringLiteral("Aufruf")},
        {"bad file", dev, {"--file", bad.fileName()}, 2, QString(), GetText(640)},
        {"still full", dev, {}, 0, all, QString()},
        {"cleared", dev, {"--clear", "--password", pw, "--yes"}, 0, GetText(647), QString()},
        {"empty", dev, {}, 0, GetText(151) + QStringLiteral(" 0\n"), QString()},
        {"no event memory", without.linkPath(), {}, 2, QString(), GetText(147)},
        {"no line", QStringLiteral("/nonexistent/tty"), {}, 1, QString(), QStringLiteral("/nonexistent/tty")},
    };
    for (const auto &c : cases) {
        const CliRun r = Events(c.port, c.args);
        EXPECT_EQ(r.code, c.code) << c.name << Show(r);
        if (!c.inOut.isEmpty())
            EXPECT_TRUE(r.out.contains(c.inOut)) << c.name << Show(r);
        if (!c.inErr.isEmpty())
            EXPECT_TRUE(r.err.contains(c.inErr)) << c.name << Show(r);
    }
}
