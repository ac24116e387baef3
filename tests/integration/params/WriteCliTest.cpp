// mirelo-cli write, run as a user would run it, against the in-process simulated device.
#include "shell/Texts.h"
#include "support/CliRunner.h"
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

const QString kSamples = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/");

TEST(WriteCli, ExitCodesAndMessages)
{
    struct Case
    {
        const char *name;
        QStringList args;
        QString device;
        int code;
        QString inErr; // a text stderr must hold
        QString inOut;
    };
    const QString demo202 = kSamples + QStringLiteral("demo.202");
    const QString stw = kSamples + QStringLiteral("demo.STW");
    const Case cases[] = {
        {"confirmed", {demo202, QStringLiteral("--password"), QStringLiteral("SERVICE-3187"), QStringLiteral("--yes")},
         demo202, 0, QStringLiteral("Parameter zum Gerät senden? -> Ja"), QStringLiteral("0 Parameter geändert")},
        {"071-083", {stw, QStringLiteral("--password"), QStringLiteral("service-3187"), QStringLiteral("--yes")}, stw, 0,
         QString(), QStringLiteral("Telegramme")},
        {"questions refused", {demo202, QStringLiteral("--password"), QStringLiteral("SERVICE-3187")}, demo202, 2,
         QStringLiteral("-> Nein (ohne --yes)"), QString()},
        {"wrong password", {demo202, QStringLiteral("--password"), QStringLiteral("falsch"), QStringLiteral("--yes")},
         demo202, 2, GetText(45), QString()},
        {"other model", {kSamples + QStringLiteral("demo.101"), QStringLiteral("--password"),
                         QStringLiteral("SERVICE-3187"), QStringLiteral("--yes")},
         demo202, 2, QStringLiteral("passen nicht zusammen!"), QString()},
        {"no file", {kSamples + QStringLiteral("missing.202"), QStringLiteral("--yes")}, demo202, 2, QString(),
         QString()},
        {"two files", {demo202, demo202}, demo202, 2, QStringLiteral("genau eine Parameterdatei"), QString()},
        {"no port", {QStringLiteral("--port"), QStringLiteral("/nonexistent/tty"), demo202, QStringLiteral("--yes")},
         demo202, 1, QStringLiteral("/nonexistent/tty"), QString()},
    };
    for (const Case &c : cases) {
        QStringList args = c.args;
        // --port is a common option: it goes before the command.
        QStringList front;
        const int port = args.indexOf(QStringLiteral("--port"));
        if (port >= 0) {
            front << args.mid(port, 2);
            args.remove(port, 2);
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MIRELO_DATA_DIR"), QStringLiteral(MIRELO_SOURCE_DATA_DIR));
        env.insert(QStringLiteral("MIRELO_SIM_DEVICE"), c.device);
        env.remove(QStringLiteral("MIRELO_SIM_BASE"));
        const CliRun r = RunCli(front + QStringList{QStringLiteral("write")} + args, env, 120000);
        EXPECT_EQ(r.code, c.code) << c.name << "\n" << Show(r);
        if (!c.inErr.isEmpty())
            EXPECT_TRUE(r.err.contains(c.inErr)) << c.name << "\n" << Show(r);
        if (!c.inOut.isEmpty())
            EXPECT_TRUE(r.out.contains(c.inOut)) << c.name << "\n" << Show(r);
        if (c.code != 0)
            EXPECT_TRUE(r.out.isEmpty()) << c.name << "\n" << Show(r);
    }
}

} // namespace
