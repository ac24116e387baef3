// The far end of the line dies: the port is closed and the user told once, the dead line
// costs no CPU, and the line comes back with the device.
#include "link/SyncLink.h"
#include "link/TeleThread.h"
#include "shell/Texts.h"
#include "support/ScriptedPrompter.h"
#include "support/SimPty.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

qint64 Micros(const rusage &u)
{
    return qint64(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000 + u.ru_utime.tv_usec + u.ru_stime.tv_usec;
}

void Spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

TEST(DeadLine, VanishedDeviceClosesThePortTellsOnceAndComesBackWithIt)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/line");
    auto sim = std::make_unique<SimPty>(QStringList(), path);
    ASSERT_TRUE(sim->isRunning()) << sim->error().toStdString();
    ScriptedPrompter prompter;
    SyncLink::Settings s;
    s.Port = path;
    s.ReadTimeoutMs = 40;
    SyncLink link(s, &prompter);
    ASSERT_TRUE(link.Open(nullptr));
    QByteArray data;
    ASSERT_TRUE(link.Read(0x0800, 16, &data).Ok());
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QThread::msleep(500); // an idle line: the worker waits on it
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(Micros(after) - Micros(before), 5000) << "an idle line must cost below 1 % of a core";

    sim.reset(); // the far end closes while the line is idle
    QElapsedTimer t;
    t.start();
    while ((link.Thread().PortOpen() || prompter.Errors.isEmpty()) && t.elapsed() < 5000)
        Spin(5);
    ASSERT_FALSE(link.Thread().PortOpen());
    getrusage(RUSAGE_SELF, &before);
    QThread::msleep(500); // only the worker runs meanwhile
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(Micros(after) - Micros(before), 5000) << "a dead line must cost below 1 % of a core";
    ASSERT_EQ(prompter.Errors.size(), 1);
    EXPECT_EQ(prompter.Errors.first(), GetText(420) + path);

    EXPECT_FALSE(link.Read(0x0800, 16, &data).Ok());
    sim = std::make_unique<SimPty>(QStringList(), path); // plugged in again
    ASSERT_TRUE(sim->isRunning()) << sim->error().toStdString();
    const TeleReport back = link.Read(0x0800, 16, &data);
    EXPECT_TRUE(back.Ok()) << SyncLink::FailureText(back).toStdString();
    EXPECT_TRUE(link.Thread().PortOpen());
    EXPECT_EQ(prompter.Errors.size(), 1) << "told once, not at every request";
}

// The simulator is killed in the middle of `mirelo-cli read`: the command ends with exit 1
// and the message naming the port, and burns no CPU after the line died.
TEST(DeadLine, CliReadEndsWithExit1WhenTheDeviceDiesMidRead)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/line");
    // Paced like a slow line, so that the read is still running when the device dies.
    SimPty sim({QStringLiteral("--device"), QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"),
                QStringLiteral("--pace"), QStringLiteral("1200")},
               path);
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();

    const QByteArray cli = QByteArrayLiteral(MIRELO_CLI_BINARY);
    const QByteArray out = QFile::encodeName(dir.path() + QStringLiteral("/out.202"));
    const QByteArray errFile = QFile::encodeName(dir.path() + QStringLiteral("/stderr.txt"));
    const QByteArray port = QFile::encodeName(path);
    const char *argv[] = {cli.constData(), "--port", port.constData(), "read", "-o", out.constData(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::setenv("MIRELO_DATA_DIR", MIRELO_SOURCE_DATA_DIR, 1);
    ::unsetenv("MIRELO_SIM_DEVICE");
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char **>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    QThread::msleep(2500);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the read ended before the device died";
    // The child's CPU time so far, from /proc (user + system, in clock ticks).
    const auto cpuTicks = [pid] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return qint64(-1);
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : qint64(-1);
    };
    const qint64 ticksAtKill = cpuTicks();
    ASSERT_GE(ticksAtKill, 0);
    sim.stop();
    QElapsedTimer t;
    t.start();
    rusage usage{};
    pid_t done = 0;
    while ((done = wait4(pid, &status, WNOHANG, &usage)) == 0 && t.elapsed() < 60000)
        QThread::msleep(20);
    if (done == 0) {
        ::kill(pid, SIGKILL);
        wait4(pid, &status, 0, &usage);
        FAIL() << "mirelo-cli hangs on a dead line";
    }
    const double wallSeconds = t.elapsed() / 1000.0;
    const double cpuAfterKill = double(Micros(usage)) / 1e6 - double(ticksAtKill) / double(sysconf(_SC_CLK_TCK));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_LT(wallSeconds, 30.0) << "within the time-outs";
    // Generous: ending the program (sanitizer leak check included) takes some CPU; a
    // spinning worker would take the whole wait.
    EXPECT_LT(cpuAfterKill, 0.3 + 0.05 * wallSeconds) << "after " << wallSeconds << " s";
    std::printf("dead line: ended %.2f s after the kill, %.3f s CPU\n", wallSeconds, cpuAfterKill);
    QFile err(QString::fromLocal8Bit(errFile));
    ASSERT_TRUE(err.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(err.readAll());
    EXPECT_TRUE(text.contains(GetText(420) + path)) << text.toStdString();
    EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(out)));
}

} // namespace
