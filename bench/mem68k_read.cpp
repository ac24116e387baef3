// The 68K window's read of a 64 KB area from mirelo-sim paced like a real line at 57600
// baud over a pty: the whole chain (thread, reports, S-record lines, the file) against the
// time the bytes themselves need on the line.
#include "BenchSim.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "services/Mem68k.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {
class StderrPrompter : public SilentPrompter
{
public:
    void error(const QString &t) override { std::fprintf(stderr, "%s\n", qPrintable(t)); }
    void warning(const QString &t) override { error(t); }
};
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // "0" as argument: the simulator unpaced, so that only the program's own time per block shows.
    const bool paced = !(argc > 1 && QByteArray(argv[1]) == "0");
    BenchSim sim(paced ? QStringList{QStringLiteral("--pace"), QStringLiteral("57600")} : QStringList{});
    if (!sim.Ready()) {
        std::fprintf(stderr, "mirelo-sim did not start\n");
        return 1;
    }
    StderrPrompter prompter;
    MainController main(prompter);
    TTeleThread thread;
    thread.SetPrompter(&prompter);
    main.SetThread(&thread);
    main.Init.PortName = sim.Link();
    ProtocolSearch::ChooseProtocol(main, 7); // 57600 baud
    QElapsedTimer wait;
    wait.start();
    while (thread.OpenAttempts() == 0 && wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!thread.PortOpen()) {
        std::fprintf(stderr, "%s did not open\n", qPrintable(sim.Link()));
        return 1;
    }
    QTemporaryDir dir;
    Mem68kTransfer transfer(main);
    auto run = [&](const Mem68kArea &area, const QString &file) {
        QEventLoop loop;
        bool ok = false;
        auto c = QObject::connect(&transfer, &Mem68kTransfer::Finished, &loop, [&](bool good) {
            ok = good;
            loop.quit();
        });
        if (transfer.StartRead({area}, file))
            loop.exec();
        QObject::disconnect(c);
        return ok;
    };
    if (!run({QStringLiteral("warm-up"), 0x40000, 64}, dir.path() + QStringLiteral("/w.S2")))
        return 1;
    const Mem68kArea area{QStringLiteral("Texte"), 0x40000, 0x10000};
    const QString file = dir.path() + QStringLiteral("/texte.S2");
    QElapsedTimer t;
    t.start();
    if (!run(area, file))
        return 1;
    const double measured = double(t.nsecsElapsed()) / 1e9;
    // Bytes on the line per block: request (slave address, 8 bytes, checksum), its echo,
    // answer byte 1 and its echo, answer bytes 2..L (L = 68) and the checksum.
    const int blocks = int(area.Length / Srec::MaxBlock);
    const int bytes = 10 + 1 + 1 + 1 + 67 + 1;
    const double line = double(blocks) * bytes * 10.0 / 57600.0;
    std::printf("mem68k_read: 64 KB in %d blocks of 64 bytes at 57600 baud over a pty%s, file %lld bytes\n", blocks,
                paced ? "" : " (simulator unpaced)", static_cast<long long>(QFileInfo(file).size()));
    if (!paced) {
        std::printf("  measured %.3f s, %.3f ms per block of software and pty\n", measured, measured * 1000 / blocks);
        return 0;
    }
    std::printf("  measured %.3f s, line time %.3f s (%d bytes both ways), ratio %.3f (target <= 1.1)\n", measured, line,
                blocks * bytes, measured / line);
    return 0;
}
