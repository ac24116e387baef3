#pragma once
// Runs the built mirelo-cli as a user would, for the command-line tests.
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <string>

struct CliRun
{
    int code = -1;
    QString out;
    QString err;
};

inline CliRun RunCli(const QStringList &args,
                     const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
                     int timeoutMs = 90000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(MIRELO_CLI_BINARY), args);
    CliRun r;
    if (!p.waitForStarted(20000) || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.err = QStringLiteral("mirelo-cli did not finish");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline std::string Show(const CliRun &r)
{
    return QStringLiteral("exit %1\nstdout:\n%2\nstderr:\n%3").arg(r.code).arg(r.out, r.err).toStdString();
}
