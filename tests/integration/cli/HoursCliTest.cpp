// mirelo-cli hours against the simulator on a pty: shown, written with read-back, refused.
#include "shell/Texts.h"
#include "support/CliRunner.h"
#include "support/SimPty.h"
#include <gtest/gtest.h>

namespace {

CliRun Hours(const QString &port, const QStringList &args)
{
    return RunCli(QStringList{QStringLiteral("--data"), QStringLiteral(MIRELO_SOURCE_DATA_DIR), QStringLiteral("--port"),
                              port, QStringLiteral("hours")} +
                  args);
}

} // namespace

TEST(HoursCli, WritesWithReadBackAndRefusesWhatItMust)
{
    const QString data = QStringLiteral(MIRELO_SOURCE_DATA_DIR);
    SimPty sim({QStringLiteral("--data"), data});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    SimPty refusing({QStringLiteral("--data"), data, QStringLiteral("--mode-not-off")});
    ASSERT_TRUE(refusing.isRunning()) << refusing.error().toStdString();
    const QString pw = QStringLiteral("service-3187");
    const QString dev = sim.linkPath();
    const struct
    {
        const char *name;
        QString port;
        QStringList args;
        int code;
        QString inOut;
        QString inErr;
    } cases[] = {
        {"written", dev, {"--password", pw, "--set-hours", "66051", "--set-starts", "70000"}, 0,
         QStringLiteral("Betriebsstunden: 66051 h\nAnzahl Starts: 70000\n"), QString()},
        {"kept by the device", dev, {"--password", pw}, 0, QStringLiteral("Anzahl Starts: 70000"), QString()},
        {"out of range", dev, {"--password", pw, "--set-starts", "16777216"}, 2, QString(), GetText(610)},
        {"no password", dev, {"--set-hours", "1"}, 2, QString(), QStringLiteral("Aufruf")},
        {"wrong level", dev, {"--password", "falsch", "--set-hours", "1"}, 2, QString(), GetText(615)},
        {"mode not off", refusing.linkPath(), {"--password", pw, "--set-hours", "1"}, 2, QString(), GetText(42)},
        {"no line", QStringLiteral("/nonexistent/tty"), {"--password", pw}, 1, QString(),
         QStringLiteral("/nonexistent/tty")},
    };
    for (const auto &c : cases) {
        const CliRun r = Hours(c.port, c.args);
        EXPECT_EQ(r.code, c.code) << c.name << Show(r);
        if (!c.inOut.isEmpty())
            EXPECT_TRUE(r.out.contains(c.inOut)) << c.name << Show(r);
        if (!c.inErr.isEmpty())
            EXPECT_TRUE(r.err.contains(c.inErr)) << c.name << Show(r);
    }
    // The refused write left the other device's counter as it was.
    const CliRun after = Hours(refusing.linkPath(), {QStringLiteral("--password"), pw});
    EXPECT_EQ(after.code, 0) << Show(after);
    EXPECT_FALSE(after.out.contains(QStringLiteral("Betriebsstunden: 1 h"))) << Show(after);
}
