// Reading 128 blocks of 64 bytes from mirelo-sim paced like a real line at 57600 baud:
// ratio of the measured time to the time the bytes themselves need on the line.
#include "BenchSim.h"
#include "link/SyncLink.h"
#include <QElapsedTimer>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int baud = argc > 1 ? atoi(argv[1]) : 57600;
    BenchSim sim({QStringLiteral("--pace"), QString::number(baud)});
    if (!sim.Ready()) {
        std::fprintf(stderr, "mirelo-sim did not start\n");
        return 1;
    }
    SyncLink::Settings s;
    s.Port = sim.Link();
    s.Protocol = 7; // 57600 baud
    SyncLink link(s);
    QString error;
    if (!link.Open(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QByteArray data;
    link.Read(0x0800, 64, &data); // warm-up
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 128; ++i) {
        const TeleReport r = link.Read(quint32(0x0800 + 64 * i), 64, &data);
        if (!r.Ok()) {
            std::fprintf(stderr, "block %d failed: %s\n", i, qPrintable(SyncLink::FailureText(r)));
            return 1;
        }
    }
    const double measured = double(t.nsecsElapsed()) / 1e9;
    // Bytes on the line per exchange: request (slave address, 6 bytes, checksum), its
    // echo, answer byte 1 and its echo, answer bytes 2..L (L = 68) and the checksum.
    const int bytes = 8 + 1 + 1 + 1 + 67 + 1;
    const double line = 128.0 * bytes * 10.0 / baud;
    std::printf("link_paced: 128 blocks of 64 bytes at %d baud\n", baud);
    std::printf("  measured %.3f s, line time %.3f s, ratio %.3f (target <= 1.053, i.e. 95 %% of line rate)\n",
                measured, line, measured / line);
    return 0;
}
