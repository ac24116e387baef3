// Reading a full event ring (127 records) of the ZEV 202 demo over a pseudo-terminal against
// mirelo-sim paced like a 9600-baud line: ratio of the measured time to the time the bytes
// of the exchanges need on the line (both directions, 10 bits a byte).
// With --unpaced the simulator answers at once: what is measured then is what the program,
// the pty and the scheduler add to each exchange.
#include "BenchMain.h"
#include "BenchSim.h"
#include "device/DeviceReader.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "services/EventMemory.h"
#include "shell/MainController.h"
#include <QEventLoop>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int baud = 9600;
    const bool paced = !app.arguments().contains(QStringLiteral("--unpaced"));
    QStringList simArgs = {QStringLiteral("--baud"), QString::number(baud)};
    if (paced)
        simArgs << QStringLiteral("--pace") << QString::number(baud);
    BenchSim sim(simArgs);
    if (!sim.Ready()) {
        std::fprintf(stderr, "mirelo-sim did not start\n");
        return 1;
    }
    PrintPrompter prompter;
    MainController main(prompter);
    TTeleThread thread;
    main.Init.PortName = sim.Link();
    thread.SetPrompter(&prompter);
    main.SetThread(&thread);
    ProtocolSearch::ChooseProtocol(main, 4); // " 4 9600 GNr. (Slave Adresse)"
    QElapsedTimer wait;
    wait.start();
    while (thread.OpenAttempts() == 0 && wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!thread.PortOpen()) {
        std::fprintf(stderr, "the port did not open\n");
        return 1;
    }

    // The parameters first: the event read needs the device type and the clock kind.
    DeviceReader reader(main, nullptr);
    {
        QEventLoop loop;
        bool ok = false;
        QObject::connect(&reader, &DeviceReader::Finished, &loop, [&](bool complete) {
            ok = complete;
            loop.quit();
        });
        reader.ReadFromDevice();
        if (reader.Running())
            loop.exec();
        if (!ok) {
            std::fprintf(stderr, "the parameter read failed\n");
            return 1;
        }
    }
    main.ParamsLoaded = true;
    main.Online = true;

    EventMemory events(main);
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&events, &EventMemory::Finished, &loop, [&](bool good, const QString &) {
        ok = good;
        loop.quit();
    });
    QElapsedTimer t;
    t.start();
    if (!events.Read()) {
        std::fprintf(stderr, "the event read did not start\n");
        return 1;
    }
    loop.exec();
    const double measured = double(t.nsecsElapsed()) / 1e9;
    const int records = events.Lines().size();
    if (!ok || records != EventMemory::MaxRecords) {
        std::fprintf(stderr, "the event read failed (%d records)\n", records);
        return 1;
    }
    // The pointers, the year byte of the clock and one code-53 answer of 60 bytes a record.
    const long long bytes =
        ReadLineBytes(4) + ReadLineBytes(1) + (long long)records * ReadLineBytes(EventMemory::AnswerSize);
    const double line = double(bytes) * 10.0 / baud;
    const int exchanges = 2 + records;
    std::printf("read_events: ZEV 202, pointers + year + %d records at %d baud%s (%lld bytes on the line)\n", records,
                baud, paced ? "" : ", simulator unpaced", bytes);
    std::printf("  measured %.3f s, line time %.3f s, ratio %.3f (target <= 1.1)\n", measured, line, measured / line);
    if (paced)
        std::printf("  %.2f ms an exchange beyond the line time of its bytes\n", (measured - line) * 1000.0 / exchanges);
    else
        std::printf("  %.2f ms an exchange with an answer at once\n", measured * 1000.0 / exchanges);
    return 0;
}
