#pragma once
// Starts mirelo-sim on a pseudo-terminal for a benchmark and stops it again.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <cstdio>

class BenchSim
{
public:
    explicit BenchSim(const QStringList &extraArgs)
    {
        m_link = QDir::tempPath() + QStringLiteral("/mirelo-bench-%1").arg(QCoreApplication::applicationPid());
        QStringList args = {QStringLiteral("--pty"), m_link, QStringLiteral("--device"),
                            QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202")};
        args += extraArgs;
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(MIRELO_SIM_BINARY), args);
        QElapsedTimer t;
        t.start();
        while (!QFileInfo::exists(m_link) && t.elapsed() < 10000)
            QThread::msleep(10);
    }
    ~BenchSim()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }
    bool Ready() const { return QFileInfo::exists(m_link); }
    QString Link() const { return m_link; }

private:
    QString m_link;
    QProcess m_process;
};
