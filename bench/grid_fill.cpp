// Fills the parameter grid's rows for one generated group of 2000 parameters, as a
// change of the group selector does, and a search over the same set; prints the times.
// Target: a fill well under 50 ms.
#include "device/DeviceData.h"
#include "params/FormatValue.h"
#include "params/GridModel.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>

namespace {

// A mix like a real definition: plain numbers, hexadecimal words, scaled values, bits,
// text lines, separators and relay functions.
const int kCodes[] = {1, 2, 3, 5, 8, 9, 10, 12, 16, 19, 24, 28, 29, 40, 208, 210, 222, 0, 246, 255};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    constexpr int kParameters = 2000;
    constexpr int kPasses = 30;

    DeviceData data;
    data.State.DeviceType = 0;
    data.State.ImageBase = 0x0800;
    data.Geraet.ProgramVersion = 12;
    QRandomGenerator rng(4711);
    for (int i = 0; i < TGeraet::ImageSize; ++i)
        data.Geraet.Image[size_t(i)] = quint8(rng.bounded(256));
    data.PeriodBase = 5000;
    for (int k = 0; k < 300; ++k)
        data.Def.RelayFunctionTable.append({QStringLiteral("Funktion %1").arg(k), QString::asprintf("%04X", k * 3)});

    data.Params.AddFromLine(QStringLiteral("+++ Vorspann +++*0800;0;;;"));
    data.Params.AddFromLine(QStringLiteral("+++ Große Gruppe +++*0800;0;;;#3"));
    data.Def.GroupTable.append({QStringLiteral("Vorspann"), 0, QString()});
    data.Def.GroupTable.append({QStringLiteral("Große Gruppe"), 1, QStringLiteral("3")});
    data.Def.LastGroupIndex = 1;
    const int codeCount = int(sizeof kCodes / sizeof kCodes[0]);
    for (int i = 0; i < kParameters; ++i) {
        const int code = kCodes[rng.bounded(codeCount)];
        const int address = 0x0800 + 2 * int(rng.bounded(0x3F00));
        data.Params.AddFromLine(QStringLiteral("V    Parameter %1 Spannung*%2;%3;0;250;V")
                                    .arg(i)
                                    .arg(address, 4, 16, QLatin1Char('0'))
                                    .arg(code, 0, 16));
    }

    TFormatter formatter(data);
    TGridModel grid(data, formatter);
    grid.FillGroup(1); // warm-up: first use of the locale and the text tables

    QElapsedTimer timer;
    double fillBest = 1e9, fillSum = 0;
    for (int pass = 0; pass < kPasses; ++pass) {
        timer.start();
        grid.FillGroup(1);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        fillBest = std::min(fillBest, ms);
        fillSum += ms;
    }
    const int rows = grid.RowCount();

    double searchSum = 0;
    int hits = 0;
    for (int pass = 0; pass < kPasses; ++pass) {
        timer.start();
        grid.FillFiltered(QStringLiteral("parameter 1"));
        searchSum += double(timer.nsecsElapsed()) / 1e6;
        hits = grid.RowCount();
    }

    std::printf("grid_fill: group of %d rows, %d passes\n", rows, kPasses);
    std::printf("fill: %.3f ms average, %.3f ms best (target < 50 ms): %s\n", fillSum / kPasses, fillBest,
                fillSum / kPasses < 50.0 ? "ok" : "TOO SLOW");
    std::printf("search \"parameter 1\" over all groups: %.3f ms average, %d rows\n", searchSum / kPasses, hits);
    return 0;
}
