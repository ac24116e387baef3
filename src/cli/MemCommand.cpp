// The CPU memory of a controller into an S2 file and such a file back into the CPU.
#include "cli/Cli.h"
#include "cli/LinkSession.h"
#include "services/Mem68k.h"
#include "shell/QuitSignals.h"
#include "shell/Texts.h"
#include <QEventLoop>
#include <QFile>
#include <unistd.h>

namespace {

const char *const kUsage = "mem read (--cpu TYP | --area NAME ...) -o DATEI.S2 | mem write DATEI.S2";

int usageError()
{
    Err(QStringLiteral("Aufruf: mirelo-cli [--port PORT] ") + QString::fromUtf8(kUsage));
    return ExitInput;
}

// Progress on a terminal; repetitions always, they show a noisy line before it fails.
void ShowNotes(Mem68kTransfer &transfer)
{
    if (isatty(2))
        QObject::connect(&transfer, &Mem68kTransfer::Note, [](const QString &t) { Err(t); });
    else
        QObject::connect(&transfer, &Mem68kTransfer::Repeated, [](const QString &t) { Err(t); });
}

// Runs the started transfer to its end; Ctrl+C asks it to stop at its next answer, so a
// read never leaves a half-written file.
bool Await(Mem68kTransfer &transfer)
{
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&transfer, &Mem68kTransfer::Finished, &loop, [&](bool good) {
        ok = good;
        loop.quit();
    });
    QuitSignals quit;
    QObject::connect(&quit, &QuitSignals::Received, &transfer, [&] { transfer.RequestAbort(); });
    if (transfer.Running())
        loop.exec();
    return ok;
}

int memRead(const CliOptions &o, CliPrompter &prompter, QStringList args)
{
    QString cpu, target;
    bool missing = false;
    const bool cpuGiven = TakeOption(args, QStringLiteral("--cpu"), &cpu, &missing);
    if (!TakeOption(args, QStringLiteral("-o"), &target, &missing))
        TakeOption(args, QStringLiteral("--output"), &target, &missing);
    QStringList names;
    QString name;
    while (TakeOption(args, QStringLiteral("--area"), &name, &missing))
        names << name;
    if (missing || !args.isEmpty() || target.isEmpty() || cpuGiven == !names.isEmpty())
        return usageError();

    Mem68kAreaFile file;
    if (!file.Load(Mem68kAreaFile::DefaultPath())) {
        Err(Mem68kAreaFile::FileName() + QLatin1Char(' ') + GetText(842));
        return ExitInput;
    }
    for (const QString &problem : file.Problems())
        Err(problem);
    if (cpuGiven) {
        if (!file.CpuTypes().contains(cpu, Qt::CaseInsensitive)) {
            Err(GetText(840).arg(cpu));
            return ExitInput;
        }
        for (const QString &type : file.CpuTypes())
            if (type.compare(cpu, Qt::CaseInsensitive) == 0)
                names = file.AreasOf(type);
    }
    QVector<Mem68kArea> areas;
    for (const QString &n : names) {
        const Mem68kArea *a = file.Find(n);
        if (!a) {
            Err(GetText(841).arg(n));
            return ExitInput;
        }
        areas.push_back(*a);
    }
    if (areas.isEmpty()) {
        Err(GetText(844));
        return ExitInput;
    }

    LinkSession session(o, prompter);
    if (!session.OpenWithProtocol())
        return ExitLink;
    Mem68kTransfer transfer(session.main);
    ShowNotes(transfer);
    if (!transfer.StartRead(areas, target))
        return ExitLink; // told by the prompter
    if (!Await(transfer))
        return ExitLink;
    Out(GetText(848) + QStringLiteral(": ") + target);
    return ExitOk;
}

int memWrite(const CliOptions &o, CliPrompter &prompter, QStringList args)
{
    if (args.size() != 1)
        return usageError();
    const QString path = args.first();
    // The whole file is checked before the line is even opened.
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        Err(GetText(836).arg(path, f.errorString()));
        return ExitInput;
    }
    QVector<Srec::Chunk> records;
    QString why;
    if (!Srec::ParseS2(f.readAll(), &records, &why)) {
        Err(path + QStringLiteral(": ") + why);
        return ExitInput;
    }
    if (Srec::Split(records).isEmpty()) {
        Err(path + QStringLiteral(": ") + GetText(847));
        return ExitInput;
    }

    LinkSession session(o, prompter);
    if (!session.OpenWithProtocol())
        return ExitLink;
    Mem68kTransfer transfer(session.main);
    ShowNotes(transfer);
    if (!transfer.StartWrite(records) || !Await(transfer))
        return ExitLink;
    Out(QString::number(records.size()) + QLatin1Char(' ') + GetText(846) + QStringLiteral(", ") + GetText(849));
    return ExitOk;
}

int memCommand(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    if (args.isEmpty())
        return usageError();
    const QString sub = args.takeFirst();
    if (sub == QLatin1String("read"))
        return memRead(o, prompter, args);
    if (sub == QLatin1String("write"))
        return memWrite(o, prompter, args);
    return usageError();
}

CommandRegistrar reg("mem",
                     "--port PORT mem read (--cpu TYP | --area NAME ...) -o DATEI.S2  Speicherbereiche der 68K-CPU "
                     "als S2-Datei holen; --port PORT mem write DATEI.S2  S2-Datei in die CPU schreiben",
                     &memCommand);

} // namespace
