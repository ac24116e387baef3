// Polls the "IstAna" page of the ZEV 202 demo over a pseudo-terminal against mirelo-sim
// paced like a real line at 9600 baud, with a 1 s timer and the telegram thread, as the
// program polls: the poll period (mean, 99th percentile, drift) at the requests and at the
// answers, the time the page builder takes to turn an answer into the page's rows, and the
// CPU share of this process.
//
// usage: bench_poll_values [SECONDS]   (default 60)
#include "BenchSim.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "device/ParameterFile.h"
#include "link/TeleThread.h"
#include "monitor/ValuePage.h"
#include "params/FormatValue.h"
#include "shell/Prompter.h"
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <sys/resource.h>
#include <vector>

namespace {

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

double Mean(const std::vector<double> &v, size_t from, size_t to)
{
    if (to <= from)
        return 0;
    double s = 0;
    for (size_t i = from; i < to; ++i)
        s += v[i];
    return s / double(to - from);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(3, atoi(argv[1])) : 60;
    const QString sample = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202");

    // The page as the program knows it from the definition.
    DeviceData d;
    SilentPrompter quiet;
    LoadParameterFile(d, sample, quiet);
    const PageDefinition page = LoadPageDefinition(d, QStringLiteral("IstAna"), quiet);
    if (!page.Complete || page.Count <= 0) {
        std::fprintf(stderr, "the demo's definition has no page IstAna\n");
        return 1;
    }
    const int count = page.Count;
    const QString address = QString::number(page.Address, 16).toUpper();

    BenchSim sim({QStringLiteral("--pace"), QStringLiteral("9600"), QStringLiteral("--baud"), QStringLiteral("9600")});
    if (!sim.Ready()) {
        std::fprintf(stderr, "mirelo-sim did not start\n");
        return 1;
    }
    TTeleThread thread;
    thread.SetPort(sim.Link(), QStringLiteral("9600"));
    thread.start();
    QElapsedTimer wait;
    wait.start();
    while (!thread.PortOpen() && wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!thread.PortOpen()) {
        std::fprintf(stderr, "the port did not open\n");
        return 1;
    }

    TeleRequester requester;
    std::vector<quint8> buffer(256, 0);
    TFormatter formatter(d, &quiet);
    QElapsedTimer clock;
    clock.start();
    std::vector<double> sends;      // ms since start, one per request
    std::vector<double> answers;    // ms since start, one per good answer
    std::vector<double> exchangesMs; // request queued .. answer reported
    double pushedAt = 0;
    std::vector<double> buildsUs;   // page built after an answer
    int failed = 0, skipped = 0;
    bool inFlight = false;
    QStringList lastRows;

    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(1000);
    // A repeating timer: a tick while the answer is still out sends nothing, so the period
    // is the timer's and not timer plus exchange.
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (inFlight) {
            ++skipped;
            return;
        }
        pushedAt = double(clock.nsecsElapsed()) / 1e6;
        inFlight = thread.Push(&requester, TeleValues, 0xAE, 0x01, 5, page.Address, quint8(count), buffer.data(),
                               int(buffer.size()));
        if (inFlight)
            sends.push_back(pushedAt);
    });
    QObject::connect(&requester, &TeleRequester::Reported, [&](quint16, quint32 wParam, quint32 lParam) {
        inFlight = false;
        TeleReport r;
        r.wParam = wParam;
        r.lParam = lParam;
        if (!r.Ok()) {
            ++failed;
            return;
        }
        answers.push_back(double(clock.nsecsElapsed()) / 1e6);
        exchangesMs.push_back(answers.back() - pushedAt);
        QElapsedTimer build;
        build.start();
        const BuiltPage built =
            BuildPage(d, formatter, page.Code, QByteArray(reinterpret_cast<const char *>(buffer.data()), count));
        QStringList rows;
        for (const QStringList &cells : built.Cells)
            rows << cells.join(QLatin1Char(' '));
        buildsUs.push_back(double(build.nsecsElapsed()) / 1e3);
        lastRows = rows;
    });

    const double cpu0 = CpuSeconds();
    clock.restart();
    timer.start();
    QTimer::singleShot(seconds * 1000 + 500, &app, &QCoreApplication::quit);
    app.exec();
    timer.stop();
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    thread.Terminate();
    thread.wait(3000);

    // The poll period is the spacing of the requests; the answers' spacing adds the jitter of
    // the exchange itself (the line, the device, a loaded machine) and is shown beside it.
    std::vector<double> periods, answerPeriods;
    for (size_t i = 1; i < sends.size(); ++i)
        periods.push_back(sends[i] - sends[i - 1]);
    for (size_t i = 1; i < answers.size(); ++i)
        answerPeriods.push_back(answers[i] - answers[i - 1]);
    const double mean = Mean(periods, 0, periods.size());
    const double p99 = Percentile(periods, 0.99);
    const size_t half = periods.size() / 2;
    // Drift: the slope of the request times against the poll number, less the 1000 ms wanted;
    // a period that grows or shrinks over the run shows here even when the mean is right.
    double drift = 0;
    if (sends.size() > 2) {
        const double n = double(sends.size());
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (size_t i = 0; i < sends.size(); ++i) {
            sx += double(i);
            sy += sends[i];
            sxx += double(i) * double(i);
            sxy += double(i) * sends[i];
        }
        drift = (n * sxy - sx * sy) / (n * sxx - sx * sx) - 1000.0;
    }

    std::printf("poll_values: page IstAna of demo.202 (%d bytes at %s), 9600 baud over a pty, %d s\n", count,
                qPrintable(address), seconds);
    std::printf("  answers %zu, failed %d, ticks skipped while an answer was out %d\n", answers.size(), failed, skipped);
    std::printf("  poll period mean %.2f ms, 99th percentile %.2f ms (target 1000 ms +/- 2 %%: 980..1020)\n", mean, p99);
    std::printf("  answer spacing mean %.2f ms, 99th percentile %.2f ms (the period plus the exchange's jitter)\n",
                Mean(answerPeriods, 0, answerPeriods.size()), Percentile(answerPeriods, 0.99));
    std::printf("  first half mean %.2f ms, second half %.2f ms, fitted period - 1000 ms: %+.3f ms (no drift: ~0)\n",
                Mean(periods, 0, half), Mean(periods, half, periods.size()), drift);
    std::printf("  exchange (request queued .. answer reported): mean %.1f ms, 99th percentile %.1f ms\n",
                Mean(exchangesMs, 0, exchangesMs.size()), Percentile(exchangesMs, 0.99));
    std::printf("  page built after an answer: mean %.1f us, max %.1f us (target < 2 ms)\n",
                Mean(buildsUs, 0, buildsUs.size()),
                buildsUs.empty() ? 0.0 : *std::max_element(buildsUs.begin(), buildsUs.end()));
    std::printf("  CPU of this process %.3f s in %.1f s: %.2f %% of one core (target < 2 %%)\n", cpu, wall,
                100.0 * cpu / wall);
    if (!lastRows.isEmpty())
        std::printf("  last page: %s | %s | %s\n", qPrintable(lastRows.value(2).simplified()),
                    qPrintable(lastRows.value(4).simplified()), qPrintable(lastRows.value(9).simplified()));
    return answers.size() > 1 ? 0 : 1;
}
