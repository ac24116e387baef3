// mirelo-cli clock, run as a user would: on the in-process device and over a pty whose
// device refuses writes.
#include "shell/Texts.h"
#include "support/CliRunner.h"
#include "support/SimPty.h"
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QProcessEnvironment Env()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MIRELO_DATA_DIR"), QStringLiteral(MIRELO_SOURCE_DATA_DIR));
    env.insert(QStringLiteral("MIRELO_SIM_DEVICE"), QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"));
    env.remove(QStringLiteral("MIRELO_SIM_BASE"));
    return env;
}

TEST(ClockCli, ShowsAndSetsTheDeviceClock)
{
    const QRegularExpression deviceLine(QRegularExpression::escape(GetText(121)) +
                                        QStringLiteral(" \\d\\d\\.\\d\\d\\.(20)?\\d\\d \\d\\d:\\d\\d:\\d\\d\\n"));
    const struct
    {
        const char *name;
        QStringList args;
        int code;
        const char *inErr;
    } cases[] = {
        {"show", {QStringLiteral("clock")}, 0, ""},
        {"set", {QStringLiteral("clock"), QStringLiteral("--set")}, 0, ""},
        {"bad argument", {QStringLiteral("clock"), QStringLiteral("--sett")}, 2, "--sett"},
        {"no port", {QStringLiteral("--port"), QStringLiteral("/nonexistent/tty"), QStringLiteral("clock")}, 1,
         "/nonexistent/tty"},
    };
    for (const auto &c : cases) {
        const CliRun r = RunCli(c.args, Env(), 120000);
        EXPECT_EQ(r.code, c.code) << c.name << "\n" << Show(r);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.inErr))) << c.name << "\n" << Show(r);
        if (c.code == 0) {
            EXPECT_TRUE(deviceLine.match(r.out).hasMatch()) << c.name << "\n" << Show(r);
            EXPECT_TRUE(r.out.contains(GetText(120) + QLatin1Char(' '))) << c.name << "\n" << Show(r);
        } else {
            EXPECT_TRUE(r.out.isEmpty()) << c.name << "\n" << Show(r);
        }
    }
}

TEST(ClockCli, RefusedSetIsAFailure)
{
    const struct
    {
        const char *flag;
        QString text;
    } cases[] = {{"--mode-not-off", GetText(42)}, {"--locked", GetText(129).trimmed()}};
    for (const auto &c : cases) {
        SimPty sim({QString::fromLatin1(c.flag)});
        ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
        const CliRun r = RunCli({QStringLiteral("--port"), sim.linkPath(), QStringLiteral("--protocol"),
                                 QStringLiteral("4"), QStringLiteral("clock"), QStringLiteral("--set")},
                                Env(), 120000);
        EXPECT_EQ(r.code, 1) << c.flag << "\n" << Show(r);
        EXPECT_TRUE(r.err.contains(c.text)) << c.flag << "\n" << Show(r);
        EXPECT_FALSE(r.out.contains(GetText(121))) << c.flag << "\n" << Show(r);
    }
}

} // namespace
