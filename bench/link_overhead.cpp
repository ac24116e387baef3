// Software overhead of one telegram exchange: 1000 reads of 64 bytes over a pty against
// mirelo-sim without pacing, so that the line itself takes no time.
#include "BenchSim.h"
#include "link/SyncLink.h"
#include <QElapsedTimer>
#include <algorithm>
#include <vector>


int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    BenchSim sim({});
    if (!sim.Ready()) {
        std::fprintf(stderr, "mirelo-sim did not start\n");
        return 1;
    }
    SyncLink::Settings s;
    s.Port = sim.Link();
    SyncLink link(s);
    QString error;
    if (!link.Open(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QByteArray data;
    for (int i = 0; i < 20; ++i) // warm-up
        link.Read(0x0800, 64, &data);
    std::vector<double> times;
    times.reserve(1000);
    QElapsedTimer t;
    for (int i = 0; i < 1000; ++i) {
        t.start();
        const TeleReport r = link.Read(quint32(0x0800 + 64 * (i % 128)), 64, &data);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (!r.Ok()) {
            std::fprintf(stderr, "exchange %d failed: %s\n", i, qPrintable(SyncLink::FailureText(r)));
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("link_overhead: 1000 reads of 64 bytes over a pty, unpaced\n");
    std::printf("  median per exchange: %.3f ms (target < 0.3 ms)\n", times[500]);
    std::printf("  90th percentile:     %.3f ms\n", times[900]);
    std::printf("  fastest:             %.3f ms\n", times.front());
    return 0;
}
