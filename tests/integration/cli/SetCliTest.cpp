// mirelo-cli set: offline edits of a parameter file through the editors, as a user runs it.
#include "shell/Texts.h"
#include "support/CliRunner.h"
#include "support/SimPty.h"
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using CliResult = CliRun;

class SetCli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        file = dir.path() + QStringLiteral("/anlage.202");
        ASSERT_TRUE(QFile::copy(QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), file));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        original = Bytes(file);
        ASSERT_FALSE(original.isEmpty());
    }

    CliResult cli(const QStringList &args)
    {
        return RunCli(QStringList{QStringLiteral("--data"), QStringLiteral(MIRELO_SOURCE_DATA_DIR),
                                  QStringLiteral("--decimal"), QStringLiteral(",")} +
                      args);
    }

    static QByteArray Bytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The grid line of the parameter at `address` as `list` prints it.
    QString Line(const QString &path, const QString &text)
    {
        const CliResult r = cli({QStringLiteral("list"), path});
        EXPECT_EQ(r.code, 0) << Show(r);
        for (const QString &line : r.out.split(QLatin1Char('\n')))
            if (line.contains(text))
                return line;
        return QString();
    }

    // Image byte at a device address of the 202 (the file starts at 0x0800).
    static int At(const QByteArray &bytes, int address) { return quint8(bytes.at(address - 0x0800)); }

    QTemporaryDir dir;
    QString file;
    QByteArray original;
};

TEST_F(SetCli, WritesTheValueIntoANewFileAndLeavesTheSourceAlone)
{
    const QString out = dir.path() + QStringLiteral("/neu.202");
    const QString before = Line(file, QStringLiteral("Nachlaufzeit"));
    const CliResult r = cli({QStringLiteral("set"), file, QStringLiteral("082C=12,5"), QStringLiteral("-o"), out});
    ASSERT_EQ(r.code, 0) << Show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("-> 12,5"))) << Show(r);
    EXPECT_EQ(Bytes(file), original);
    const QByteArray written = Bytes(out);
    ASSERT_EQ(written.size(), original.size());
    EXPECT_EQ(At(written, 0x082C) * 256 + At(written, 0x082D), 125);
    // Only the two bytes of the value differ.
    int differences = 0;
    for (int k = 0; k < written.size(); ++k)
        differences += written.at(k) != original.at(k);
    EXPECT_LE(differences, 2);
    const QString after = Line(out, QStringLiteral("Nachlaufzeit"));
    EXPECT_TRUE(after.contains(QStringLiteral("12,5"))) << after.toStdString();
    EXPECT_NE(after, before);
}

TEST_F(SetCli, WithoutOutputTheFileItselfIsSaved)
{
    const CliResult r = cli({QStringLiteral("set"), file, QStringLiteral("0814=4800"), QStringLiteral("0870:10=Nein"),
                       QStringLiteral("0840=-1.5")});
    ASSERT_EQ(r.code, 0) << Show(r);
    const QByteArray now = Bytes(file);
    EXPECT_EQ(At(now, 0x0814), 192);          // baud rate by table, one byte
    EXPECT_EQ(At(now, 0x0815), At(original, 0x0815));
    EXPECT_EQ(At(now, 0x0870) & 0x01, 0);     // "Pickup vorhanden" cleared
    EXPECT_EQ(At(now, 0x0870) & 0xFE, At(original, 0x0870) & 0xFE);
    EXPECT_EQ(At(now, 0x0840) * 256 + At(now, 0x0841), 0x10000 - 150);
    EXPECT_TRUE(Line(file, QStringLiteral("Drehzahlstatik")).contains(QStringLiteral("-1,5")));

    const CliResult yes = cli({QStringLiteral("set"), file, QStringLiteral("0870:10=Ja")});
    ASSERT_EQ(yes.code, 0) << Show(yes);
    EXPECT_EQ(At(Bytes(file), 0x0870) & 0x01, 1);
}

TEST_F(SetCli, RefusedValuesWriteNothing)
{
    struct Row
    {
        const char *assignment;
        const char *message;
    } rows[] = {
        {"082C=700", "Gültige Eingabe: 0.0 - 600.0 s"}, // the dialog would clamp it
        {"082C=abc", "Nicht möglich!"},
        {"082C=", "Nicht möglich!"},
        {"0818=125", "Nur für berechtigtes Personal"},
        {"0810=20", "Dieser Parameter ist geschützt."},
        {"080C=138", "Dieser Parameter erfordert eine Hardwareänderung."},
        {"0816=3000", "Nicht möglich!"},
        {"0870:10=vielleicht", "Ja / Nein"},
        {"081B=5", "Mehrere Parameter an Adresse 081B"},
        {"0999=1", "Parameter nicht gefunden"},
        {"087C:1D=1", "Mehrere Parameter"},
    };
    for (const Row &r : rows) {
        const CliResult run = cli({QStringLiteral("set"), file, QString::fromUtf8(r.assignment)});
        EXPECT_EQ(run.code, 2) << r.assignment << "\n" << Show(run);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(r.message))) << r.assignment << "\n" << Show(run);
        EXPECT_EQ(Bytes(file), original) << r.assignment;
    }
}

TEST_F(SetCli, PasswordUnlocksProtectedParameters)
{
    const CliResult cus = cli({QStringLiteral("set"), file, QStringLiteral("0818=125"), QStringLiteral("0810=1F"),
                               QStringLiteral("--password"), QStringLiteral("kunde-2958")});
    ASSERT_EQ(cus.code, 0) << Show(cus);
    QByteArray now = Bytes(file);
    EXPECT_EQ(At(now, 0x0818) * 256 + At(now, 0x0819), 125);
    EXPECT_EQ(At(now, 0x0810), 0x1F); // the device address is typed in hexadecimal

    // A level that is not the customer's keeps the device address locked.
    const CliResult fer = cli({QStringLiteral("set"), file, QStringLiteral("0810=20"), QStringLiteral("--password"),
                               QStringLiteral("FERTIGUNG-6620")});
    EXPECT_EQ(fer.code, 2) << Show(fer);
    EXPECT_EQ(Bytes(file), now);

    const CliResult factor = cli({QStringLiteral("set"), file, QStringLiteral("080C=100"), QStringLiteral("--password"),
                                  QStringLiteral("FERTIGUNG-6620")});
    EXPECT_EQ(factor.code, 2) << Show(factor);
    EXPECT_TRUE(factor.err.contains(QStringLiteral("Factor is wrong."))) << Show(factor);
    EXPECT_EQ(Bytes(file), now);

    const CliResult wrong = cli({QStringLiteral("set"), file, QStringLiteral("0818=250"), QStringLiteral("--password"),
                                 QStringLiteral("falsch")});
    EXPECT_EQ(wrong.code, 2) << Show(wrong);
    EXPECT_EQ(Bytes(file), now);
}

TEST_F(SetCli, OneRefusedAssignmentStopsTheWholeCommand)
{
    const QString out = dir.path() + QStringLiteral("/neu.202");
    const CliResult r = cli({QStringLiteral("set"), file, QStringLiteral("082C=10"), QStringLiteral("082C=9999"),
                       QStringLiteral("-o"), out});
    EXPECT_EQ(r.code, 2) << Show(r);
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(Bytes(file), original);
}

TEST_F(SetCli, HexadecimalAndBitFieldEditors)
{
    const CliResult r = cli({QStringLiteral("set"), file, QStringLiteral("0812=1a2B"), QStringLiteral("081B:28=5")});
    ASSERT_EQ(r.code, 0) << Show(r);
    const QByteArray now = Bytes(file);
    EXPECT_EQ(At(now, 0x0812) * 256 + At(now, 0x0813), 0x1A2B);
    EXPECT_EQ(At(now, 0x081B) & 0x0F, 5);
    EXPECT_EQ(At(now, 0x081B) & 0xF0, At(original, 0x081B) & 0xF0);
}

TEST_F(SetCli, UsageErrors)
{
    for (const QStringList &args : {QStringList{QStringLiteral("set")}, QStringList{QStringLiteral("set"), file},
                                    QStringList{QStringLiteral("set"), file, QStringLiteral("082C")},
                                    QStringList{QStringLiteral("set"), file, QStringLiteral("082C=1"),
                                                QStringLiteral("-o")}}) {
        const CliResult r = cli(args);
        EXPECT_EQ(r.code, 2) << args.join(QLatin1Char(' ')).toStdString() << Show(r);
    }
    const CliResult missing = cli({QStringLiteral("set"), dir.path() + QStringLiteral("/fehlt.202"), QStringLiteral("082C=1")});
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(Bytes(file), original);
}

// Online: the device behind a pty is read, the value written and read back; what the
// device refuses and what the editor refuses exits 2, a missing line 1.
TEST_F(SetCli, OnlineWritesWithReadBackAndReportsRefusals)
{
    const QString data = QStringLiteral(MIRELO_SOURCE_DATA_DIR);
    SimPty sim({QStringLiteral("--data"), data});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    SimPty refusing({QStringLiteral("--data"), data, QStringLiteral("--mode-not-off")});
    ASSERT_TRUE(refusing.isRunning()) << refusing.error().toStdString();
    const QString pw = QStringLiteral("service-3187");
    struct Case
    {
        const char *name;
        QString port;
        QStringList args;
        int code;
        QString inOut;
        QString inErr;
    };
    const Case cases[] = {
        {"written", sim.linkPath(), {QStringLiteral("082C=20"), QStringLiteral("0870:10=Ja")}, 0,
         QStringLiteral("-> 20,0"), QString()},
        {"out of limits", sim.linkPath(), {QStringLiteral("082C=9999")}, 2, QString(), QStringLiteral("600")},
        {"wrong password", sim.linkPath(), {QStringLiteral("082C=30")}, 2, QString(), GetText(45)},
        {"mode not off", refusing.linkPath(), {QStringLiteral("082C=30")}, 2, QString(), GetText(42)},
        {"no line", QStringLiteral("/nonexistent/tty"), {QStringLiteral("082C=30")}, 1, QString(),
         QStringLiteral("/nonexistent/tty")},
    };
    for (const Case &c : cases) {
        const QString password = QLatin1String(c.name) == QLatin1String("wrong password") ? QStringLiteral("falsch") : pw;
        const CliResult r = cli(QStringList{QStringLiteral("--port"), c.port, QStringLiteral("set"),
                                            QStringLiteral("--password"), password} +
                                c.args);
        EXPECT_EQ(r.code, c.code) << c.name << Show(r);
        if (!c.inOut.isEmpty()) {
            EXPECT_TRUE(r.out.contains(c.inOut)) << c.name << Show(r);
        }
        if (!c.inErr.isEmpty()) {
            EXPECT_TRUE(r.err.contains(c.inErr)) << c.name << Show(r);
        }
    }
    // The device keeps the first case's values and nothing of the refused ones.
    const QString out = dir.path() + QStringLiteral("/gelesen.202");
    const CliResult read = cli({QStringLiteral("--port"), sim.linkPath(), QStringLiteral("read"), QStringLiteral("-o"), out});
    ASSERT_EQ(read.code, 0) << Show(read);
    const QByteArray device = Bytes(out);
    ASSERT_GT(device.size(), 0x0871 - 0x0800);
    EXPECT_EQ(At(device, 0x082C) * 256 + At(device, 0x082D), 200);
    EXPECT_EQ(At(device, 0x0870) & 0x01, 0x01);
}

} // namespace
