#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// Runs `mirelo-sim --pty LINK ...` as a child process for tests that need a real serial line.
// The constructor waits until the link exists; the destructor stops the child (SIGTERM, then
// SIGKILL when it does not end) and reaps it.
class SimPty
{
public:
    // extraArgs go after --pty LINK (e.g. {"--handshake", "--slave", "0x70"}). With an empty
    // linkPath the link is made in a fresh temporary folder.
    explicit SimPty(const QStringList &extraArgs = {}, const QString &linkPath = QString(), int startTimeoutMs = 10000);
    ~SimPty();
    SimPty(const SimPty &) = delete;
    SimPty &operator=(const SimPty &) = delete;

    bool isRunning() const;
    QString linkPath() const { return m_link; }
    // The terminal the link points to, as the simulator printed it.
    QString slavePath() const { return m_slave; }
    // Why the start failed (empty when it worked).
    QString error() const { return m_error; }
    // Stops the child now; returns its exit code (-1 when it had to be killed or crashed).
    int stop(int timeoutMs = 5000);

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    QString m_link;
    QString m_slave;
    QString m_error;
    int m_exitCode = -1;
};
