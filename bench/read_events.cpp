// Reading a full event ring (127 records) of the ZEV 202 demo over a pseudo-terminal against
// mirelo-sim paced like a 9600-baud line: ratio of the measured time to the time the bytes
// of the exchanges need on the line (both directions, 10 bits a byte).
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
    BenchSim sim({QStringLiteral("--pace"), QString::number(baud), QStringLiteral("--baud"), QString::number(baud)});
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
    // The demo set does not say it has an event memory; the simulated controller has a full ring.
    auto &d = main.Data;
    const int feature = d.State.IndexOf(EventMemory::FeatureAddress);
    d.Geraet.SetByte(feature, d.Geraet.GetByte(feature) | EventMemory::FeatureBit);

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
    std::printf("read_events: ZEV 202, pointers + year + %d records at %d baud (%lld bytes on the line)\n", records,
                baud, bytes);
    std::printf("  measured %.3f s, line time %.3f s, ratio %.3f (target <= 1.1)\n", measured, line, measured / line);
    return 0;
}
