// "Parameter aus Gerät" of the ZEV 202 demo (32 pages) over a pseudo-terminal against
// mirelo-sim paced like a real line: ratio of the measured time to the time the bytes of
// the exchanges need on the line.
#include "BenchMain.h"
#include "BenchSim.h"
#include "device/DeviceReader.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include <QEventLoop>


int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int baud = 57600;
    BenchSim sim({QStringLiteral("--pace"), QString::number(baud), QStringLiteral("--baud"), QString::number(baud)});
    if (!sim.Ready()) {
        std::fprintf(stderr, "mirelo-sim did not start\n");
        return 1;
    }
    PrintPrompter prompter;
    MainController main(prompter);
    TTeleThread thread;
    if (!ConnectAt57600(main, thread, prompter, sim.Link()))
        return 1;

    DeviceReader reader(main, nullptr);
    QEventLoop loop;
    bool ok = false;
    qint64 linePhaseNs = 0;
    QElapsedTimer t;
    QObject::connect(&main, &MainController::ProgressHidden, [&] {
        if (linePhaseNs == 0)
            linePhaseNs = t.nsecsElapsed();
    });
    QObject::connect(&reader, &DeviceReader::Finished, &loop, [&](bool complete) {
        ok = complete;
        loop.quit();
    });
    t.start();
    reader.ReadFromDevice();
    if (reader.Running())
        loop.exec();
    const double total = double(t.nsecsElapsed()) / 1e9;
    if (!ok) {
        std::fprintf(stderr, "the read failed\n");
        return 1;
    }
    const int blocks = reader.BlockCount();
    const long long bytes = ReadLineBytes(DeviceReader::IdentLength) + (long long)blocks * ReadLineBytes(reader.BlockSize());
    const double line = double(bytes) * 10.0 / baud;
    const double measured = double(linePhaseNs) / 1e9;
    std::printf("read_device: ZEV 202, identification + %d blocks of %d bytes at %d baud (%lld bytes on the line)\n",
                blocks, reader.BlockSize(), baud, bytes);
    std::printf("  measured %.3f s until the last block, line time %.3f s, ratio %.3f (target <= 1.05)\n", measured,
                line, measured / line);
    std::printf("  whole command with the definition read and the parameters shown: %.3f s\n", total);
    return 0;
}
