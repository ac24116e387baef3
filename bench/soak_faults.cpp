// "Parameter aus Gerät" of the ZEV 202 demo, again and again, over a pseudo-terminal against
// mirelo-sim disturbing 2 % of the telegrams: the share of reads that complete, the bytes that
// differ from the device's memory (must be 0), and any read that hangs (must be none).
//
//   bench_soak_faults [EXCHANGES] [--retries N] [--timeout MS] [--seed N] [--limit S]
//                     [--fault KIND:RATE ...]
//
// EXCHANGES (default 10000) is the number of telegram exchanges to run at least; a read of
// the demo takes about 130. --timeout is the one-byte read time-out of the line (default 30 ms
// instead of 805, so that silences cost little time), --limit the wall time after which one
// read counts as hung (default 120 s). Without --fault the line noise is the simulator's nine
// kinds of line disturbance at 0.22 % each; refusals by the device are not noise and are
// not repeated, add "refuse:RATE" to see what they cost.
#include "BenchMain.h"
#include "BenchSim.h"
#include "device/DeviceReader.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include "shell/PrgInit.h"
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QTimer>
#include <cstdio>

namespace {

// Counts what the user would have been told instead of printing hundreds of boxes.
class CountingPrompter : public Prompter
{
public:
    QMap<QString, int> Warnings;
    void error(const QString &t) override { ++Warnings[t]; }
    void warning(const QString &t) override { ++Warnings[t]; }
    void information(const QString &) override {}
    bool question(const QString &) override { return false; }
};

struct Options
{
    long long exchanges = 10000;
    int retries = Settings::DefaultRetries;
    int timeoutMs = 30;
    quint32 seed = 1;
    int limitS = 120;
    QStringList faults;
};

bool Parse(const QStringList &args, Options *o)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto next = [&](long long *value, long long min, long long max) {
            bool ok = false;
            if (i + 1 < args.size())
                *value = args[++i].toLongLong(&ok);
            return ok && *value >= min && *value <= max;
        };
        long long v = 0;
        if (a == QLatin1String("--retries")) {
            if (!next(&v, 0, Settings::MaxRetries))
                return false;
            o->retries = int(v);
        } else if (a == QLatin1String("--timeout")) {
            if (!next(&v, 1, 60000))
                return false;
            o->timeoutMs = int(v);
        } else if (a == QLatin1String("--seed")) {
            if (!next(&v, 0, 0xFFFFFFFFLL))
                return false;
            o->seed = quint32(v);
        } else if (a == QLatin1String("--limit")) {
            if (!next(&v, 1, 86400))
                return false;
            o->limitS = int(v);
        } else if (a == QLatin1String("--fault")) {
            while (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--")))
                o->faults << args[++i];
            if (o->faults.isEmpty())
                return false;
        } else {
            bool ok = false;
            o->exchanges = a.toLongLong(&ok);
            if (!ok || o->exchanges < 1)
                return false;
        }
    }
    if (o->faults.isEmpty())
        for (const char *kind : {"noecho", "badecho", "silence", "wrongaddr", "truncate", "nosum", "badsum", "short",
                                 "garbage"})
            o->faults << QStringLiteral("%1:0.0022").arg(QLatin1String(kind));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options o;
    if (!Parse(app.arguments().mid(1), &o)) {
        std::fprintf(stderr, "usage: bench_soak_faults [EXCHANGES] [--retries 0..%d] [--timeout MS] [--seed N] "
                             "[--limit S] [--fault KIND:RATE ...]\n",
                     Settings::MaxRetries);
        return 2;
    }
    QStringList simArgs = {QStringLiteral("--seed"), QString::number(o.seed), QStringLiteral("--fault")};
    simArgs += o.faults;
    BenchSim sim(simArgs);
    if (!sim.Ready()) {
        std::fprintf(stderr, "mirelo-sim did not start\n");
        return 1;
    }
    QFile sampleFile(QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"));
    if (!sampleFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "the demo file cannot be read\n");
        return 1;
    }
    const QByteArray sample = sampleFile.readAll();

    CountingPrompter prompter;
    MainController main(prompter);
    TTeleThread thread;
    thread.SetReadTimeout(o.timeoutMs);
    if (!ConnectAt57600(main, thread, prompter, sim.Link()))
        return 1;
    main.Settings.Retries = o.retries;
    long long exchanges = 0, repetitions = 0;
    QObject::connect(&main, &MainController::LogLine, [&](const QString &kind, const QString &text) {
        if (kind == QLatin1String("DatenVKEnde") && (text.startsWith(QLatin1String("R :")) ||
                                                     text.startsWith(QLatin1String("RE:"))))
            ++exchanges;
    });
    QObject::connect(&main, &MainController::ExchangeRepeated, [&](const QString &) { ++repetitions; });

    DeviceReader reader(main, nullptr);
    constexpr quint8 kFill = 0xA5;
    long long reads = 0, completed = 0, wrongBytes = 0, brokenImages = 0, hangs = 0;
    QElapsedTimer total;
    total.start();
    while (exchanges < o.exchanges) {
        main.Data.Geraet.Image.fill(kFill);
        const auto before = main.Data.Geraet.Image;
        QEventLoop loop;
        bool ok = false, ended = false;
        const auto done = QObject::connect(&reader, &DeviceReader::Finished, &loop, [&](bool complete) {
            ok = complete;
            ended = true;
            loop.quit();
        });
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        ++reads;
        reader.ReadFromDevice();
        if (reader.Running()) {
            limit.start(o.limitS * 1000);
            loop.exec();
        } else {
            ended = true;
        }
        QObject::disconnect(done);
        if (!ended) {
            ++hangs;
            std::fprintf(stderr, "read %lld did not end within %d s\n", reads, o.limitS);
            break;
        }
        if (!ok) {
            brokenImages += main.Data.Geraet.Image == before ? 0 : 1;
            continue;
        }
        ++completed;
        const int length = main.Data.State.PageCount * 256; // the demo's image starts at 0800
        for (int i = 0; i < length && i < sample.size(); ++i)
            wrongBytes += main.Data.Geraet.Image[size_t(i)] == quint8(sample[i]) ? 0 : 1;
    }
    const double seconds = double(total.elapsed()) / 1000.0;
    std::printf("soak_faults: ZEV 202 demo over a pty, faults %s, seed %u, repetitions %d, time-out %d ms\n",
                qPrintable(o.faults.join(QLatin1Char(' '))), o.seed, o.retries, o.timeoutMs);
    std::printf("  exchanges %lld (repeated %lld), reads %lld, completed %lld = %.1f %% (target >= 95 %%)\n", exchanges,
                repetitions, reads, completed, reads ? 100.0 * double(completed) / double(reads) : 0.0);
    std::printf("  wrong bytes in completed reads %lld (must be 0), images changed by failed reads %lld (must be 0)\n",
                wrongBytes, brokenImages);
    std::printf("  hung reads %lld (must be 0, limit %d s), wall time %.1f s\n", hangs, o.limitS, seconds);
    for (auto it = prompter.Warnings.constBegin(); it != prompter.Warnings.constEnd(); ++it)
        std::printf("  told the user %d x: %s\n", it.value(), qPrintable(QString(it.key()).replace(QLatin1Char('\r'), QLatin1Char(' '))));
    return hangs == 0 && wrongBytes == 0 && brokenImages == 0 ? 0 : 1;
}
