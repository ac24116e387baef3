// "Parameter zum Gerät" of the ZEV 202 demo (32 pages) over a pseudo-terminal against
// mirelo-sim paced like a real line: ratio of the measured time of the writing to the time
// the bytes of its exchanges need on the line.
#include "BenchMain.h"
#include "BenchSim.h"
#include "device/DeviceReader.h"
#include "device/ParameterFile.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "params/ParameterSender.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include <QEventLoop>

namespace {
// Bytes on the line for one write of n data bytes: the request (slave address, own address,
// L, code, two address bytes, the data, checksum), the echo of the slave address, answer
// byte 1 and its echo, answer bytes 2..4 and the answer checksum.
int WriteLineBytes(int n) { return (7 + n) + 1 + 1 + 1 + 3 + 1; }
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int baud = 57600;
    BenchSim sim({QStringLiteral("--pace"), QString::number(baud), QStringLiteral("--baud"), QString::number(baud)});
    if (!sim.Ready()) {
        std::fprintf(stderr, "mirelo-sim did not start\n");
        return 1;
    }
    PrintPrompter prompter(true);
    MainController main(prompter);
    if (!LoadParameterFile(main.Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), prompter)) {
        std::fprintf(stderr, "the demo did not load\n");
        return 1;
    }
    main.ParamsLoaded = true;
    main.OfflineFile = true;
    main.Access.Level = QStringLiteral("Fer");
    TTeleThread thread;
    if (!ConnectAt57600(main, thread, prompter, sim.Link()))
        return 1;

    DeviceReader reader(main, nullptr);
    ParameterSender sender(main, reader);
    QEventLoop loop;
    bool ok = false;
    qint64 writeStartNs = -1;
    qint64 writeEndNs = 0;
    QElapsedTimer t;
    QObject::connect(&main, &MainController::ProgressShown, [&] {
        if (writeStartNs < 0)
            writeStartNs = t.nsecsElapsed();
    });
    QObject::connect(&sender, &ParameterSender::TransferFinished, &loop, [&](bool done) {
        writeEndNs = t.nsecsElapsed();
        ok = done;
        loop.quit();
    });
    t.start();
    sender.SendParameterSet();
    if (sender.Running())
        loop.exec();
    if (!ok || writeStartNs < 0) {
        std::fprintf(stderr, "the transfer failed\n");
        return 1;
    }
    // The first telegram goes out when the first progress is shown: its time on the line
    // belongs to the writing, the time before it to identification and comparison.
    const DeviceState &s = main.Data.State;
    const auto plan = ParameterSender::TransferPlan(s.DeviceType, s.ImageBase, s.PageCount, true, true);
    long long bytes = 0;
    for (const auto &step : plan)
        bytes += WriteLineBytes(step.Count);
    const int block = DeviceReader::BlockSizeFor(s.DeviceType, s.VmxMode);
    const long long compareBytes = ReadLineBytes(DeviceReader::IdentLength) +
                                   (long long)(s.PageCount * 256 / block) * ReadLineBytes(block);
    const double line = double(bytes) * 10.0 / baud;
    const double measured = double(writeEndNs - writeStartNs) / 1e9;
    const double before = double(writeStartNs) / 1e9;
    std::printf("write_device: ZEV 202, %d write telegrams (%d data bytes) at %d baud (%lld bytes on the line)\n",
                sender.TelegramCount(), sender.DataBytesSent(), baud, bytes);
    std::printf("  measured %.3f s for the writing, line time %.3f s, ratio %.3f (target <= 1.1)\n", measured, line,
                measured / line);
    std::printf("  identification and comparison read before it: %.3f s (line time %.3f s)\n", before,
                double(compareBytes) * 10.0 / baud);
    return 0;
}
