// Formats every parameter of a generated 5000-parameter list over a full image, as the
// grid and the printout do, and prints the time of one full pass.
#include "device/DeviceData.h"
#include "params/FormatValue.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cstdio>

namespace {

struct Kind
{
    int code;
    const char *key;
    const char *max;
};

// A mix weighted like a controller definition: many scaled and yes/no values, some
// codes that look at other image words, alarm texts and relay functions.
const Kind kKinds[] = {
    {1, "", ""},      {2, "", ""},       {2, "S4", ""},   {2, "S6", ""},    {2, "S12", ""},  {3, "", ""},
    {4, "", ""},      {5, "", ""},       {6, "", ""},     {7, "", ""},      {8, "", ""},     {9, "", ""},
    {10, "", ""},     {11, "", ""},      {12, "", ""},    {13, "", ""},     {14, "", ""},    {15, "", ""},
    {16, "", ""},     {19, "", ""},      {23, "", ""},    {24, "", ""},     {26, "5", "A2"}, {27, "", ""},
    {28, "2", "3"},   {29, "4", ""},     {32, "20", ""},  {33, "04", ""},   {34, "", ""},    {35, "20", ""},
    {40, "", ""},     {41, "", ""},      {48, "", ""},    {64, "", ""},     {80, "", ""},    {86, "", ""},
    {96, "", ""},     {99, "", ""},      {100, "", ""},   {104, "", ""},    {112, "", ""},   {114, "", ""},
    {192, "", ""},    {193, "", ""},     {208, "", ""},   {209, "", ""},    {210, "", ""},   {211, "", ""},
    {212, "", ""},    {213, "", ""},     {214, "", ""},   {216, "", ""},    {217, "", ""},   {219, "", ""},
    {220, "", ""},    {221, "", ""},     {222, "", ""},   {223, "", ""},    {225, "", ""},   {226, "", ""},
    {228, "", ""},    {0, "", ""},       {246, "", ""},   {255, "", ""},
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    constexpr int kParameters = 5000;
    constexpr int kPasses = 50;

    DeviceData data;
    data.State.DeviceType = 0;
    data.State.ImageBase = 0x0800;
    data.Geraet.ProgramVersion = 12;
    QRandomGenerator rng(4711);
    for (int i = 0; i < TGeraet::ImageSize; ++i)
        data.Geraet.Image[size_t(i)] = quint8(rng.bounded(256));
    // Printable alarm texts and a plausible period base.
    for (int i = 0x200; i < 0x600; ++i)
        data.Geraet.Image[size_t(i)] = quint8('A' + rng.bounded(26));
    data.Geraet.SetWord(0x2C, 5000);
    data.PeriodBase = 5000;
    for (int k = 0; k < 300; ++k)
        data.Def.RelayFunctionTable.append({QStringLiteral("Funktion %1").arg(k), QString::asprintf("%04X", k * 3)});

    data.Params.AddFromLine(QStringLiteral("+++ Gruppe +++*;0;;;"));
    const int kindCount = int(sizeof kKinds / sizeof kKinds[0]);
    for (int i = 1; i < kParameters; ++i) {
        const Kind &k = kKinds[rng.bounded(kindCount)];
        const int address = 0x0800 + 2 * int(rng.bounded(0x3F00));
        data.Params.AddFromLine(QStringLiteral(" Parameter %1*%2;%3;%4;%5;V")
                                    .arg(i)
                                    .arg(address, 4, 16, QLatin1Char('0'))
                                    .arg(k.code, 0, 16)
                                    .arg(QLatin1String(k.key), QLatin1String(k.max)));
    }

    TFormatter formatter(data);
    // Warm-up pass (first use of the locale, text tables).
    qint64 checksum = 0;
    for (int i = 0; i < data.Params.Count(); ++i)
        checksum += formatter.FormatParameter(i).size();

    QElapsedTimer timer;
    timer.start();
    for (int pass = 0; pass < kPasses; ++pass)
        for (int i = 0; i < data.Params.Count(); ++i)
            checksum += formatter.FormatParameter(i).size();
    const double ms = double(timer.nsecsElapsed()) / 1e6 / kPasses;

    std::printf("format_values: %d parameters, %d passes\n", data.Params.Count(), kPasses);
    std::printf("time per full pass: %.3f ms (%.2f us per value)\n", ms, ms * 1000.0 / data.Params.Count());
    std::printf("checksum: %lld\n", static_cast<long long>(checksum));
    return 0;
}
