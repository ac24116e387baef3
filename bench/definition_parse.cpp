// Time to open a definition of 5000 parameters and read its parameter section, as a
// parameter file load or a change of language does.
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "shell/AnsiCodec.h"
#include "shell/DataDir.h"
#include "shell/Prompter.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    constexpr int kParameters = 5000;
    constexpr int kRuns = 20;

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("ZPA"));
    DataDir::setOverride(dir.path());

    QString text = QStringLiteral("TypStart:\r\nZ101 Bench\r\n$17\r\n8\r\n2\r\n127\r\n1\r\nTypEnd:\r\nParaStart:\r\n");
    for (int i = 0; i < kParameters; ++i) {
        if (i % 50 == 0)
            text += QStringLiteral("+++ Gruppe %1 +++*0000;0;;;#3\r\n").arg(i / 50);
        const int address = 0x0800 + (i * 2) % 0x7F00;
        const QString version = i % 10 == 0 ? QStringLiteral("\u00A712") : QString();
        text += QStringLiteral("  Parameter %1 mit Text*%2;%3;0;1000;V%4\r\n")
                    .arg(i)
                    .arg(address, 4, 16, QLatin1Char('0'))
                    .arg(QStringLiteral("3"))
                    .arg(version);
    }
    text += QStringLiteral("ParaEnd:\r\n");
    const QString path = dir.path() + QStringLiteral("/ZPA/Z101 BENCH-DE.ZPA");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(Ansi::encode(text)) < 0)
        return 1;
    f.close();

    SilentPrompter prompter;
    std::vector<double> times;
    int count = 0;
    for (int run = 0; run < kRuns; ++run) {
        DeviceData d;
        d.Geraet.ProgramId = QStringLiteral("Z101 BENCH");
        d.Geraet.ProgramVersion = 12;
        d.State.ModelPattern = QStringLiteral("*.101");
        d.State.DeviceType = 0;
        QElapsedTimer t;
        t.start();
        const bool opened = OpenDefinition(d, path, prompter);
        const bool complete = ReadParameters(d, prompter);
        times.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!opened || !complete) {
            std::fprintf(stderr, "definition not read\n");
            return 1;
        }
        count = d.Params.Count();
    }
    std::sort(times.begin(), times.end());
    std::printf("definition_parse: %d parameters, OpenDefinition + ReadParameters: median %.2f ms, best %.2f ms, "
                "worst %.2f ms (%d runs)\n",
                count, times[times.size() / 2], times.front(), times.back(), kRuns);
    return 0;
}
