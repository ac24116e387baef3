#include <sys/prctl.h>
// mirelo-sim: a simulated device on a pseudo-terminal (or stdin/stdout) for tests and demos.
#include "SimClock.h"
#include "SimDevice.h"
#include "SimConverter.h"
#include "SimCounters.h"
#include "SimMainsTest.h"
#include "SimRam.h"
#include "SimMem68k.h"
#include "SimEvents.h"
#include "SimService.h"
#include "SimZuvi.h"
#include "SimZuviModem.h"
#include "SimLive.h"
#include "SimOptions.h"
#include "SimPort.h"
#include "SimServer.h"
#include "SimUlva.h"
#include "shell/DataDir.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_stop = 0;

int SpeedToBaud(speed_t speed)
{
    switch (speed) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

void onSignal(int)
{
    g_stop = 1;
}

void complain(const QString &text)
{
    std::fprintf(stderr, "mirelo-sim: %s\n", text.toLocal8Bit().constData());
}

struct Pty
{
    int master = -1;
    int slave = -1;
    QByteArray slaveName;
    QByteArray link;

    ~Pty()
    {
        if (!link.isEmpty()) {
            // Remove the link only while it still points at this terminal.
            char target[4096];
            const ssize_t n = readlink(link.constData(), target, sizeof target - 1);
            if (n > 0 && QByteArray(target, int(n)) == slaveName)
                unlink(link.constData());
        }
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
    }
};

bool openPty(const QString &linkPath, Pty *pty, QString *error)
{
    pty->master = posix_openpt(O_RDWR | O_NOCTTY);
    if (pty->master < 0 || grantpt(pty->master) != 0 || unlockpt(pty->master) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    const char *name = ptsname(pty->master);
    if (!name) {
        *error = QStringLiteral("no name for the pseudo-terminal");
        return false;
    }
    pty->slaveName = name;
    // Keeping the slave side open ourselves means the master never reads EIO when the
    // program under test closes its end, so the device survives reconnections.
    pty->slave = ::open(name, O_RDWR | O_NOCTTY);
    if (pty->slave < 0) {
        *error = QStringLiteral("cannot open %1: %2").arg(QString::fromLocal8Bit(name), QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    termios tio{};
    if (tcgetattr(pty->slave, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        tcsetattr(pty->slave, TCSANOW, &tio);
    }
    const QByteArray link = QFile::encodeName(linkPath);
    struct stat st{};
    if (lstat(link.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            *error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath);
            return false;
        }
        unlink(link.constData());
    }
    if (symlink(name, link.constData()) != 0) {
        *error = QStringLiteral("cannot create the link %1: %2").arg(linkPath, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    pty->link = link;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Paced bytes are due every few hundred microseconds; the default timer slack would
    // stretch every wait.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    SimOptions options;
    QString error;
    if (!ParseSimOptions(args, &options, &error)) {
        complain(error);
        std::fputs(SimUsage().toLocal8Bit().constData(), stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(SimUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!options.dataDir.isEmpty())
        DataDir::setOverride(options.dataDir);

    std::shared_ptr<SimDevice> device;
    if (!options.device.isEmpty()) {
        device = std::make_shared<SimDevice>();
        // A name that is not a file here may be one below the data folder ("samples/demo.202").
        QString path = options.device;
        if (!QFileInfo(path).isFile())
            path = DataDir::resolve(options.device);
        int base = options.base;
        if (!options.baseGiven && !SimDefinitionBase(path, &base, &error)) {
            complain(error + QStringLiteral(" (image placed at %1)").arg(base, 4, 16, QLatin1Char('0')));
            error.clear();
        }
        if (!device->loadParameterFile(path, base, &error)) {
            complain(error);
            return 2;
        }
        // A model without pages still answers everything else.
        SimLive::attach(*device, SimLive::forFile(path, options.seed));
        // A controller (image at 0x0800) counts its operating hours and starts, runs a
        // mains-failure test when told to and keeps its diagnosis block.
        if (base == 0x0800) {
            SimCounters::attach(*device, std::make_shared<SimCounters>());
            SimMainsTest::attach(*device, std::make_shared<SimMainsTest>());
            SimRam::attach(*device);
            SimEvents::attach(*device);
            SimService::attach(*device);
            auto converter = SimConverter::forController();
            for (const QString &c : options.converters)
                if (!converter->configure(c, &error)) {
                    complain(error);
                    return 2;
                }
            SimConverter::attach(*device, converter);
            SimMem68k::attach(*device);
            SimZuviModem::attach(*device);
        }
        SimClock::attachNew(*device);
        // The analog module measures applied signals and drives its outputs.
        if (path.endsWith(QLatin1String(".ULV"), Qt::CaseInsensitive)) {
            auto ulva = std::make_shared<SimUlva>();
            for (const QString &model : options.ulva)
                if (!ulva->parseModel(model, &error)) {
                    complain(error);
                    return 2;
                }
            SimUlva::attach(*device, ulva);
        }
    } else {
        device = SimPort::createDefaultDevice(&error);
        if (!error.isEmpty())
            complain(error + QStringLiteral(" (serving a made-up identification instead)"));
    }
    // Parameter reads must give back the loaded file unchanged unless asked otherwise.
    if (options.zuvi)
        SimZuvi::attach(*device);
    if (!ApplySimOptions(options, *device, &error) || !ApplySimLiveOptions(options, *device, &error)) {
        complain(error);
        return 2;
    }

    // The stop signals are blocked except while waiting in ppoll(), so none is lost between
    // testing the flag and starting to wait.
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigset_t blocked;
    sigset_t waitMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);

    Pty pty;
    int inFd = STDIN_FILENO;
    int outFd = STDOUT_FILENO;
    if (!options.ptyLink.isEmpty()) {
        if (!openPty(options.ptyLink, &pty, &error)) {
            complain(error);
            return 1;
        }
        inFd = outFd = pty.master;
        std::printf("%s\n", pty.slaveName.constData());
        std::fflush(stdout);
    }

    SimServer server(*device, inFd, outFd);
    server.setPace(options.pace);
    if ((options.baud > 0 || !options.coupler.isEmpty()) && pty.slave >= 0) {
        // Both ends of a pty share one terminal setting: what the program set is seen here.
        const int slaveFd = pty.slave;
        server.setLineBaud([slaveFd] {
            termios tio{};
            if (tcgetattr(slaveFd, &tio) != 0)
                return 0;
            return SpeedToBaud(cfgetospeed(&tio));
        });
    }
    if (options.log)
        server.setLog(stderr);
    SimModem modem(SimModemOptions(options));
    if (options.modem)
        server.setModem(&modem);
    server.run(&g_stop, &waitMask);
    if (options.log) {
        const SimDevice::Counters &c = device->counters();
        std::fprintf(stderr, "mirelo-sim: %llu requests, %llu answers, %llu rejected, %llu faults\n",
                     (unsigned long long)c.requests, (unsigned long long)c.answers,
                     (unsigned long long)c.rejected, (unsigned long long)c.faults);
    }
    return 0;
}
