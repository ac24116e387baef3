// The built program ended from outside (kill, Ctrl+C): it saves its settings as a normal
// close does, and a --port given for the run does not reach the file.
#include "shell/IniFile.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {
QString programPath()
{
    return QFileInfo(QStringLiteral(MIRELO_CLI_BINARY)).absolutePath() + QStringLiteral("/mirelo");
}

// True once the process has its own handler for the signal (its event loop will see it).
bool catches(qint64 pid, int number)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:")) {
            bool ok = false;
            const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (mask >> (number - 1)) & 1u;
        }
    return false;
}
} // namespace

TEST(ProgramEnd, SignalSavesTheSettingsWithoutTheRunsPort)
{
    ASSERT_TRUE(QFileInfo(programPath()).isExecutable()) << programPath().toStdString();
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        QTemporaryDir config;
        ASSERT_TRUE(config.isValid());
        const QString ini = config.filePath(QStringLiteral("Mirelo.ini"));
        {
            QFile f(ini);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("[Ini]\r\nSPLASH=0\r\nIDENT=0\r\nAUTOSAVE=1\r\n[Com]\r\nPort=/dev/ttyUSB7\r\n");
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MIRELO_CONFIG_DIR"), config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(programPath(), {QStringLiteral("--port"), QStringLiteral("SIM")});
        ASSERT_TRUE(p.waitForStarted(20000));
        for (int i = 0; i < 600 && p.state() == QProcess::Running && !catches(p.processId(), number); ++i)
            QThread::msleep(100);
        ASSERT_TRUE(catches(p.processId(), number)) << number;
        ::kill(pid_t(p.processId()), number);
        ASSERT_TRUE(p.waitForFinished(60000)) << number;
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << number;
        EXPECT_EQ(p.exitCode(), 0) << number << p.readAllStandardError().constData();

        const IniFile saved(ini);
        // Written by the program: it adds its other sections on saving.
        EXPECT_TRUE(saved.SectionExists(QStringLiteral("AuftragNr"))) << number;
        EXPECT_EQ(saved.ReadString(QStringLiteral("Com"), QStringLiteral("Port"), QString()),
                  QStringLiteral("/dev/ttyUSB7"))
            << number;
    }
}
