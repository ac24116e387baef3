// The trend chart with 8 series over 24 hours at one sample a second: the time to append
// one sample to the record and the time to redraw the chart (decimated view and an
// offscreen render into an image), against the targets of 1 ms and 50 ms.
#include "monitor/TrendRecord.h"
#include "monitor/ui/Diagramm.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QtMath>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Figures
{
    double meanMs = 0;
    double maxMs = 0;
    double p99Ms = 0; // a shared machine stops a process now and then: the rare ones apart
};

template <typename F> Figures Measure(int runs, F &&f)
{
    Figures r;
    QElapsedTimer t;
    std::vector<double> all;
    all.reserve(size_t(runs));
    for (int i = 0; i < runs; ++i) {
        t.start();
        f(i);
        const double ms = t.nsecsElapsed() / 1e6;
        all.push_back(ms);
        r.meanMs += ms;
        r.maxMs = std::max(r.maxMs, ms);
    }
    r.meanMs /= runs;
    std::sort(all.begin(), all.end());
    r.p99Ms = all[size_t(std::min<double>(runs - 1, runs * 0.99))];
    return r;
}

void Report(const char *what, const Figures &f, double targetMs)
{
    std::printf("%-44s mean %8.3f ms  99%% %8.3f ms  max %8.3f ms  (target < %g ms: %s)\n", what, f.meanMs,
                f.p99Ms, f.maxMs, targetMs, f.meanMs < targetMs ? "met" : "MISSED");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kSeries = 8;
    constexpr int kSamples = 86400;

    QStringList titles;
    for (int k = 0; k < kSeries; ++k)
        titles << QStringLiteral("Messwert %1 [V]").arg(k + 1);
    Trend::Record record;
    record.Reset(titles);
    record.Reserve(kSamples); // as a start with a recording length of 24 h does
    const QDateTime start(QDate(2026, 12, 9), QTime(8, 0));
    // The grid's texts as the poller writes them, with a comma and the odd unavailable value.
    QVector<QStringList> texts(64);
    for (int v = 0; v < texts.size(); ++v)
        for (int k = 0; k < kSeries; ++k)
            texts[v] << (v % 61 == 60 ? QStringLiteral("   ----")
                                      : QStringLiteral("%1,%2").arg(200 + 10 * k + v % 17).arg(v % 10));
    const Figures append =
        Measure(kSamples, [&](int i) { record.Append(start.addSecs(i), texts.at(i % texts.size())); });

    TTrendChart chart;
    chart.resize(1000, 600);
    chart.show();
    QApplication::processEvents();
    chart.SetRecord(&record);
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    auto redraw = [&] {
        chart.Redraw();
        image.fill(Qt::white);
        QPainter p(&image);
        chart.render(&p);
    };
    const double end = double(start.addSecs(kSamples - 1).toMSecsSinceEpoch());
    constexpr int kRuns = 30;
    chart.SetXRange(end - 3600 * 1000.0, end);
    const Figures lastHour = Measure(kRuns, [&](int) { redraw(); });
    chart.SetXRange(double(start.toMSecsSinceEpoch()), end);
    const Figures wholeDay = Measure(kRuns, [&](int) { redraw(); });

    const Figures decimateOnly = Measure(kRuns, [&](int) {
        for (int k = 0; k < kSeries; ++k)
            Trend::Decimate(record.SeriesAt(k), double(start.toMSecsSinceEpoch()), end, 800);
    });
    const Figures renderOnly = Measure(kRuns, [&](int) {
        image.fill(Qt::white);
        QPainter p(&image);
        chart.render(&p);
    });
    std::printf("trend chart: %d series x %d samples, chart %dx%d\n", kSeries, record.Samples(), chart.width(),
                chart.height());
    Report("append one sample (record line and points)", append, 1);
    Report("redraw, last hour shown", lastHour, 50);
    Report("redraw, whole day shown", wholeDay, 50);
    Report("  of which decimation, whole day", decimateOnly, 50);
    Report("  of which rendering, whole day", renderOnly, 50);
    return append.meanMs < 1 && lastHour.meanMs < 50 && wholeDay.meanMs < 50 ? 0 : 1;
}
