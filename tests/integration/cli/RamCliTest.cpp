// mirelo-cli ram against the simulator on a pty: every field with its label, the reset, refusals.
#include "shell/Texts.h"
#include "support/CliRunner.h"
#include "support/SimPty.h"
#include <gtest/gtest.h>

namespace {

CliRun Ram(const QString &port, const QStringList &args)
{
    return RunCli(QStringList{QStringLiteral("--data"), QStringLiteral(MIRELO_SOURCE_DATA_DIR), QStringLiteral("--port"),
                              port, QStringLiteral("ram")} +
                  args);
}

} // namespace

TEST(RamCli, PrintsEveryFieldAndResetsTheDiagnosis)
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
        QStringList inOut;
        QString inErr;
    } cases[] = {
        {"read", dev, {"--password", pw}, 0,
         {QStringLiteral("EEPROM Programmierungen: 412\n"), QStringLiteral("NuL1aus. neuer Wert: 2301\n"),
          QStringLiteral("Zykluszeiten:\n  08  0D  12"), QStringLiteral("NausBit, Auslösebits Netz:\n  Bit 0, Netzunterspannung: 1\n"),
          QStringLiteral("  Bit 6, Netz Vektorsprung: 1\n"), QStringLiteral("Interruptfrequenz: 1000\n")},
         QString()},
        {"refused reset", refusing.linkPath(), {"--password", pw, "--reset"}, 2, {}, GetText(42)},
        {"reset", dev, {"--password", pw, "--reset"}, 0,
         {GetText(622) + QLatin1Char('\n'), QStringLiteral("NuL1aus. neuer Wert: 0\n"),
          QStringLiteral("EEPROM Programmierungen: 412\n")},
         QString()},
        {"no password", dev, {}, 2, {}, QStringLiteral("Aufruf")},
        {"wrong level", dev, {"--password", "falsch"}, 2, {}, GetText(621)},
        {"no line", QStringLiteral("/nonexistent/tty"), {"--password", pw}, 1, {}, QStringLiteral("/nonexistent/tty")},
    };
    for (const auto &c : cases) {
        const CliRun r = Ram(c.port, c.args);
        EXPECT_EQ(r.code, c.code) << c.name << Show(r);
        for (const QString &text : c.inOut)
            EXPECT_TRUE(r.out.contains(text)) << c.name << ": " << text.toStdString() << Show(r);
        if (!c.inErr.isEmpty())
            EXPECT_TRUE(r.err.contains(c.inErr)) << c.name << Show(r);
    }
    // The refused reset left that device's diagnosis as it was.
    const CliRun after = Ram(refusing.linkPath(), {QStringLiteral("--password"), pw});
    EXPECT_EQ(after.code, 0) << Show(after);
    EXPECT_TRUE(after.out.contains(QStringLiteral("NuL1aus. neuer Wert: 2301\n"))) << Show(after);
}
