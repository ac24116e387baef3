// mirelo-cli coupler against a simulated coupler on a pty, whose speed really changes.
#include "shell/Texts.h"
#include "support/CliRunner.h"
#include "support/SimPty.h"
#include <gtest/gtest.h>

TEST(CouplerCli, FindsTheCouplerSetsTheDeviceSpeedAndRefusesBadInput)
{
    // The coupler starts at 1200 baud towards the PC: only "PC Connect" reaches it, and
    // afterwards it answers at 9600.
    SimPty sim({QStringLiteral("--coupler"), QStringLiteral("PELK"), QStringLiteral("--baud"), QStringLiteral("1200")});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    const QString dev = sim.linkPath();
    const QString shown = GetText(154) + QStringLiteral(": ");
    const struct
    {
        const char *name;
        QString port;
        QStringList args;
        int code;
        QString inOut;
        QString inErr;
    } cases[] = {
        {"unknown speed", dev, {"--set-baud", "300"}, 2, QString(), GetText(761).arg(QStringLiteral("300"))},
        {"no speed", dev, {"--set-baud"}, 2, QString(), QStringLiteral("--set-baud")},
        {"found and set", dev, {"--pc-connect", "--set-baud", "4800"}, 0, shown + QStringLiteral("4800 BPS"), QString()},
        {"read at 9600", dev, {}, 0, shown + QStringLiteral("4800 BPS"), QString()},
        {"set again", dev, {"--set-baud", "62500"}, 0, shown + QStringLiteral("62500 BPS"), QString()},
        {"no line", QStringLiteral("/nonexistent/tty"), {}, 1, QString(), QStringLiteral("/nonexistent/tty")},
    };
    for (const auto &c : cases) {
        const CliRun r = RunCli(QStringList{QStringLiteral("--port"), c.port, QStringLiteral("coupler")} + c.args);
        EXPECT_EQ(r.code, c.code) << c.name << Show(r);
        if (!c.inOut.isEmpty())
            EXPECT_TRUE(r.out.contains(c.inOut)) << c.name << Show(r);
        if (!c.inErr.isEmpty())
            EXPECT_TRUE(r.err.contains(c.inErr)) << c.name << Show(r);
    }
}
