// mirelo-cli --dial against mirelo-sim --modem on a pty: the modem's answers stand for the
// carrier there. A read over the modem, the modem refusing, the carrier lost in the middle.
#include "shell/Texts.h"
#include "support/CliRunner.h"
#include "support/SimPty.h"
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

CliRun OverModem(const QString &port, const QStringList &modem, const QStringList &command)
{
    return RunCli(QStringList{QStringLiteral("--data"), QStringLiteral(MIRELO_SOURCE_DATA_DIR), QStringLiteral("--port"),
                              port, QStringLiteral("--protocol"), QStringLiteral("4")} +
                  modem + command);
}

} // namespace

TEST(ModemCli, DialsReadsAndHangsUp)
{
    const QString data = QStringLiteral(MIRELO_SOURCE_DATA_DIR);
    SimPty sim({QStringLiteral("--data"), data, QStringLiteral("--modem")});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    const QStringList dial = {QStringLiteral("--dial"), QStringLiteral("0123"), QStringLiteral("--init"),
                              QStringLiteral("AT E0 Q0")};

    // Twice: the second call finds the modem hung up and back at its commands.
    for (const char *name : {"first.202", "second.202"}) {
        SCOPED_TRACE(name);
        const QString file = out.filePath(QLatin1String(name));
        const CliRun r = OverModem(sim.linkPath(), dial, {QStringLiteral("read"), QStringLiteral("-o"), file});
        EXPECT_EQ(r.code, 0) << Show(r);
        EXPECT_TRUE(QFileInfo(file).size() > 0) << Show(r);
        EXPECT_FALSE(r.err.contains(GetText(723))) << "the carrier dropped after ATH" << Show(r);
    }
}

TEST(ModemCli, RefusalsAndALostCarrierEndTheCommand)
{
    const QString data = QStringLiteral(MIRELO_SOURCE_DATA_DIR);
    SimPty busy({QStringLiteral("--data"), data, QStringLiteral("--modem-dial"), QStringLiteral("busy")});
    ASSERT_TRUE(busy.isRunning()) << busy.error().toStdString();
    SimPty dropping({QStringLiteral("--data"), data, QStringLiteral("--modem-drop"), QStringLiteral("60")});
    ASSERT_TRUE(dropping.isRunning()) << dropping.error().toStdString();
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    const QString file = out.filePath(QStringLiteral("set.202"));
    const QStringList read = {QStringLiteral("read"), QStringLiteral("-o"), file};
    // No repetitions: a dead telephone line is not noise.
    const QStringList dial = {QStringLiteral("--retries"), QStringLiteral("0"), QStringLiteral("--dial"),
                              QStringLiteral("0123")};
    const struct
    {
        const char *name;
        QString port;
        QStringList modem;
        int code;
        QStringList inErr;
    } cases[] = {
        {"busy", busy.linkPath(), dial, 1, {GetText(722).arg(QStringLiteral("BUSY")), GetText(729)}},
        {"init refused", dropping.linkPath(), dial + QStringList{QStringLiteral("--init"), QStringLiteral("AT#")}, 1,
         {GetText(722).arg(QStringLiteral("ERROR")), GetText(729)}},
        {"carrier lost", dropping.linkPath(), dial, 1, {GetText(182)}},
        {"init without dial", dropping.linkPath(), {QStringLiteral("--init"), QStringLiteral("ATZ")}, 2, {QStringLiteral("--init")}},
        {"init not a command", dropping.linkPath(), dial + QStringList{QStringLiteral("--init"), QStringLiteral("hallo")}, 2, {QStringLiteral("--init")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = OverModem(c.port, c.modem, read);
        EXPECT_EQ(r.code, c.code) << Show(r);
        for (const QString &text : c.inErr)
            EXPECT_TRUE(r.err.contains(text)) << text.toStdString() << Show(r);
        EXPECT_FALSE(QFileInfo::exists(file)) << "nothing half written";
    }
}

TEST(ModemCli, FbedNumberAfterConnecting)
{
    SimPty sim({QStringLiteral("--data"), QStringLiteral(MIRELO_SOURCE_DATA_DIR), QStringLiteral("--modem"),
                QStringLiteral("--fbed"), QStringLiteral("4711")});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    const struct
    {
        const char *fbed;
        int code;
        QString inErr;
    } cases[] = {{"4711", 0, QString()}, {"4712", 1, GetText(45)}, {"70000", 2, QStringLiteral("--fbed")}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fbed);
        const CliRun r = OverModem(sim.linkPath(),
                                   {QStringLiteral("--dial"), QStringLiteral("0123"), QStringLiteral("--fbed"),
                                    QString::fromLatin1(c.fbed)},
                                   {QStringLiteral("ident")});
        EXPECT_EQ(r.code, c.code) << Show(r);
        if (!c.inErr.isEmpty())
            EXPECT_TRUE(r.err.contains(c.inErr)) << Show(r);
    }
}
