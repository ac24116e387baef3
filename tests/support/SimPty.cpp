#include "SimPty.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#ifndef MIRELO_SIM_BINARY
#error "MIRELO_SIM_BINARY must name the mirelo-sim program"
#endif

SimPty::SimPty(const QStringList &extraArgs, const QString &linkPath, int startTimeoutMs)
{
    if (linkPath.isEmpty()) {
        m_dir = std::make_unique<QTemporaryDir>();
        m_link = m_dir->filePath(QStringLiteral("simlink"));
    } else {
        m_link = linkPath;
    }
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(QStringLiteral(MIRELO_SIM_BINARY), QStringList{QStringLiteral("--pty"), m_link} + extraArgs);
    if (!m_process->waitForStarted(startTimeoutMs)) {
        m_error = QStringLiteral("mirelo-sim did not start: ") + m_process->errorString();
        return;
    }
    // The simulator makes the link, then prints the terminal's name: wait for both.
    QDeadlineTimer deadline(startTimeoutMs);
    QByteArray out;
    while (!deadline.hasExpired()) {
        if (m_process->state() != QProcess::Running) {
            m_error = QStringLiteral("mirelo-sim ended at start with code %1").arg(m_process->exitCode());
            return;
        }
        m_process->waitForReadyRead(20);
        out += m_process->readAllStandardOutput();
        if (out.contains('\n') && QFileInfo(m_link).isSymLink()) {
            m_slave = QString::fromLocal8Bit(out.left(out.indexOf('\n'))).trimmed();
            return;
        }
    }
    m_error = QStringLiteral("mirelo-sim made no link %1 in time").arg(m_link);
}

SimPty::~SimPty()
{
    stop();
}

bool SimPty::isRunning() const
{
    return m_error.isEmpty() && m_process && m_process->state() == QProcess::Running;
}

int SimPty::stop(int timeoutMs)
{
    if (!m_process)
        return m_exitCode;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(timeoutMs)) {
            m_process->kill();
            m_process->waitForFinished(timeoutMs);
        }
    }
    m_exitCode = m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
    m_process.reset();
    return m_exitCode;
}
