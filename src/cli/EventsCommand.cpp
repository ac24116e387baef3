// The event memory of a connected controller: print it, save it as an EVN file, print a
// saved file, or clear the memory.
#include "cli/Cli.h"
#include "cli/LinkSession.h"
#include "services/AccessLevels.h"
#include "services/EventMemory.h"
#include "shell/Texts.h"

namespace {

const char *const kUsage = "events [-o FILE.EVN] | events --file FILE.EVN | events --clear --password PW [--yes]";

void Print(const QString &header, const QVector<EventLine> &lines)
{
    Out(header);
    for (const EventLine &l : lines)
        Out(l.Text.trimmed().leftJustified(Evn::TextWidth) + QLatin1Char(' ') + QString::number(l.Colour));
    Out(GetText(151) + QLatin1Char(' ') + QString::number(lines.size()));
}

template <typename Signal, typename Start>
bool Await(EventMemory &events, Signal signal, Start start, QString *why = nullptr)
{
    return AwaitChain(
        &events, signal,
        [why](bool good, const QString &reason) {
            if (why)
                *why = reason;
            return good;
        },
        start);
}

int eventsCommand(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    QString out, file, password;
    bool missing = false;
    const bool toFile = TakeOption(args, QStringLiteral("-o"), &out, &missing);
    const bool fromFile = TakeOption(args, QStringLiteral("--file"), &file, &missing);
    const bool passwordGiven = TakeOption(args, QStringLiteral("--password"), &password, &missing);
    const bool clear = args.removeAll(QStringLiteral("--clear")) > 0;
    if (missing || !args.isEmpty() || int(toFile) + int(fromFile) + int(clear) > 1 || (clear && !passwordGiven)) {
        Err(QStringLiteral("Aufruf: mirelo-cli [--port PORT] ") + QString::fromUtf8(kUsage));
        return ExitInput;
    }

    if (fromFile) {
        // A saved file is shown as saved: its lines were rewritten when they were read.
        Evn::Header id{};
        QVector<EventLine> lines;
        QString why;
        if (!Evn::Load(file, &id, &lines, &why)) {
            Err(why);
            return ExitInput;
        }
        Print(GetText(180) + QLatin1Char(' ') + EventMemory::HeaderText(id), lines);
        return ExitOk;
    }

    LinkSession session(o, prompter);
    MainController &main = session.main;
    DeviceReader reader(main, nullptr);
    if (!session.OpenAndRead(reader))
        return ExitLink;
    main.ParamsLoaded = true;
    main.Online = true;
    if (passwordGiven)
        session.Identify(password);
    EventMemory events(main);
    QString why;
    if (clear) {
        if (!events.ClearAllowed(&why)) {
            Err(why);
            return ExitInput;
        }
        if (!prompter.question(GetText(646)))
            return ExitInput;
        if (!Await(events, &EventMemory::Cleared, [&] { return events.Clear(); }, &why))
            // Already told; a refusal (mode not OFF, locked) is the user's to mend, like a bad input.
            return why == GetText(42) || why == GetText(129) ? ExitInput : ExitLink;
        Out(GetText(647));
        return ExitOk;
    }
    if (!events.Available(&why)) {
        Err(why);
        return ExitInput;
    }
    if (!Await(events, &EventMemory::Finished, [&] { return events.Read(); }))
        return ExitLink;
    const QVector<EventLine> lines = EventMemory::ForDisplay(events.Lines(), main.Data.State.DeviceType);
    if (toFile) {
        if (!Evn::Save(out, events.Identification(), lines, &why)) {
            Err(why);
            return ExitInput;
        }
        Out(GetText(151) + QLatin1Char(' ') + QString::number(lines.size()) + QStringLiteral(" -> ") + out);
        return ExitOk;
    }
    Print(EventMemory::HeaderText(events.Identification()), lines);
    return ExitOk;
}

CommandRegistrar reg("events",
                     "--port PORT events [-o FILE.EVN]  Ereignisspeicher lesen (ausgeben oder als EVN speichern); "
                     "events --file FILE.EVN  gespeicherte Datei ausgeben; events --clear --password PW [--yes]  "
                     "Ereignisspeicher löschen",
                     &eventsCommand);

} // namespace
