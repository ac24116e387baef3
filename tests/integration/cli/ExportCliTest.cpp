// "mirelo-cli export": the printed lists of a parameter file as text and as PDF.
#include "support/CliRunner.h"
#include "support/DefinitionFixtures.h"
#include "support/ParameterFileFixtures.h"
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Sixty list lines: a heading, 53 values, the alarm group with three alarms and two relays.
QString Definition()
{
    QString t = QStringLiteral("TypStart:\nZ101 Testgerät\n$17\n8\n2\n32\n1\nTypEnd:\nParaStart:\n"
                               "+++ Generator +++*0000;0;;;\n");
    for (int i = 1; i <= 53; ++i)
        t += QStringLiteral("  Wert %1*0810;3;0;600;V\n").arg(i);
    t += QStringLiteral("+++ Alarme +++*0000;0;;;\n"
                        "  Alarm Überspannung*0830;10;0;1;\n"
                        "  Alarm Unterspannung*0830;10;0;1;\n"
                        "  Alarm Netzausfall*0830;10;0;1;\n"
                        "K01 Relais *0820;DE;;;\n"
                        "K02 Relais *0822;DE;;;\n"
                        "ParaEnd:\n"
                        "RelFunkStart:\nnicht belegt*0000\nSammelalarm*0101\nRelFunkEnd:\n"
                        "PrintStart:\n"
                        "Klemme 10: &&\n"
                        "Klemme 11 (frei)\n"
                        "Klemme 12: &&\n"
                        "PrintEnd:\n");
    return t;
}

class ExportCli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        data.write(Fixture::ControllerDefinitionName(), Definition());
        QByteArray bytes = Fixture::ControllerFile(32, 11);
        bytes[0x20] = char(0x01); // K01: Sammelalarm
        bytes[0x21] = char(0x01);
        bytes[0x22] = char(0x00); // K02: nicht belegt
        bytes[0x23] = char(0x00);
        file = files.path() + QStringLiteral("/anlage.101");
        ASSERT_TRUE(Fixture::WriteFile(file, bytes));
        QFile ini(files.path() + QStringLiteral("/Mirelo.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Ini]\r\nZeile1=Baldren Service\r\nZeile2=Musterstadt\r\n");
    }
    CliRun cli(const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MIRELO_CONFIG_DIR"), files.path());
        return RunCli(QStringList{QStringLiteral("--data"), QFileInfo(data.zpa()).path()} + args, env);
    }
    QStringList textLines(const QString &path)
    {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    QString out(const QString &name) const { return files.path() + QLatin1Char('/') + name; }

    ScratchDataDir data;
    QTemporaryDir files;
    QString file;
};

// Text and PDF of the same sixty-line set; the other lists by their options.
TEST_F(ExportCli, ListsAsTextAndPdf)
{
    struct Case
    {
        QStringList options;
        const char *target;
        int lines;
        int lineIndex;
        const char *text;
    };
    const Case cases[] = {
        {{QStringLiteral("--project"), QStringLiteral("Anlage 1")}, "liste.txt", 120, 63, "   Alarm Überspannung"},
        {{QStringLiteral("--alarms")}, "alarme", 14, 7, "   Alarm Netzausfall"},
        {{QStringLiteral("--connections")}, "anschluss.ANS", 60, 5, "Klemme 12: K02 Relais belegt"},
    };
    for (const Case &c : cases) {
        const QString target = out(QString::fromUtf8(c.target));
        const CliRun r = cli(QStringList{QStringLiteral("export"), file} + c.options + QStringList{QStringLiteral("-o"), target});
        ASSERT_EQ(r.code, 0) << Show(r);
        const QStringList lines = textLines(target);
        ASSERT_EQ(lines.size(), c.lines) << c.target;
        EXPECT_TRUE(lines[c.lineIndex].endsWith(QString::fromUtf8(c.text))) << lines[c.lineIndex].toStdString();
    }
    const QStringList list = textLines(out(QStringLiteral("liste.txt")));
    EXPECT_TRUE(list[0].startsWith(QStringLiteral("Projekt: Anlage 1 ")));
    EXPECT_TRUE(list[57].endsWith(QStringLiteral("+++ Alarme +++"))); // the 55th row, then the footer
    EXPECT_EQ(list[59].trimmed(), QStringLiteral("Seite 1"));
    EXPECT_EQ(list[116], QStringLiteral("      Baldren Service"));
    EXPECT_TRUE(textLines(out(QStringLiteral("alarme")))[0].startsWith(QStringLiteral("Projekt: anlage "))); // file name

    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        GTEST_SKIP() << "poppler-utils missing (scripts/deps.sh installs them)";
    const QString pdf = out(QStringLiteral("liste.pdf"));
    const CliRun r = cli({QStringLiteral("export"), file, QStringLiteral("--project"), QStringLiteral("Anlage (1)"),
                          QStringLiteral("-o"), pdf});
    ASSERT_EQ(r.code, 0) << Show(r);
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString meta = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(meta.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n")))) << meta.toStdString();
    EXPECT_TRUE(meta.contains(QRegularExpression(QStringLiteral("Title:\\s+Anlage \\(1\\)")))) << meta.toStdString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QStringList pages = QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'));
    ASSERT_GE(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Projekt: Anlage (1)")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Z101 Testgerät")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Seite 1")));
    EXPECT_FALSE(pages[0].contains(QStringLiteral("Alarm Netzausfall")));
    EXPECT_TRUE(pages[1].contains(QStringLiteral("Alarm Netzausfall")));
    EXPECT_TRUE(pages[1].contains(QStringLiteral("Seite 2")));
}

TEST_F(ExportCli, BadInputChangesNothing)
{
    const QString kept = out(QStringLiteral("kept.txt"));
    {
        QFile f(kept);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("alt\n");
    }
    struct Case
    {
        QStringList args;
        const char *message;
    };
    const Case cases[] = {
        {{QStringLiteral("export"), file}, "Aufruf"},
        {{QStringLiteral("export"), file, QStringLiteral("--alarms"), QStringLiteral("--connections"),
          QStringLiteral("-o"), kept},
         "Aufruf"},
        {{QStringLiteral("export"), out(QStringLiteral("fehlt.101")), QStringLiteral("-o"), kept}, ""},
        {{QStringLiteral("export"), file, QStringLiteral("-o"), out(QStringLiteral("kein/ordner.txt"))},
         "konnte nicht geschrieben werden"},
    };
    for (const Case &c : cases) {
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.code, 2) << Show(r);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << Show(r);
        EXPECT_FALSE(r.err.isEmpty());
    }
    QFile f(kept);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("alt\n"));
}

} // namespace
