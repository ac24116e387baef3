// Operating hours and starts of a connected controller: shown, and written with read-back.
#include "cli/Cli.h"
#include "cli/LinkSession.h"
#include "params/ParameterSender.h"
#include "services/AccessLevels.h"
#include "services/OperatingHours.h"
#include "shell/Texts.h"

namespace {

const char *const kUsage = "hours [--set-hours H] [--set-starts N] --password PW";

using Counter = OperatingHours::Counter;

// Runs one read or write of the counters to its end; false when it failed.
bool Await(OperatingHours &hours, bool write, Counter c, const QString &text, quint32 *value)
{
    return AwaitChain(
        &hours, write ? &OperatingHours::WriteFinished : &OperatingHours::ReadFinished,
        [value](bool good, Counter, quint32 v) {
            *value = v;
            return good;
        },
        [&] { return write ? hours.Write(c, text) : hours.Read(c); });
}

int hoursCommand(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    QString password, setHours, setStarts;
    bool missing = false;
    const bool passwordGiven = TakeOption(args, QStringLiteral("--password"), &password, &missing);
    const bool hoursGiven = TakeOption(args, QStringLiteral("--set-hours"), &setHours, &missing);
    const bool startsGiven = TakeOption(args, QStringLiteral("--set-starts"), &setStarts, &missing);
    if (missing || !passwordGiven || !args.isEmpty()) {
        Err(QStringLiteral("Aufruf: mirelo-cli [--port PORT] ") + QString::fromUtf8(kUsage));
        return ExitInput;
    }
    // A bad value is refused before the device is even asked.
    for (const QString *text : {hoursGiven ? &setHours : nullptr, startsGiven ? &setStarts : nullptr}) {
        quint32 v = 0;
        QString error;
        if (text && !OperatingHours::ParseValue(*text, &v, &error)) {
            Err(error);
            return ExitInput;
        }
    }

    LinkSession session(o, prompter);
    MainController &main = session.main;
    DeviceReader reader(main, nullptr);
    if (!session.OpenAndRead(reader))
        return ExitLink;
    main.ParamsLoaded = true;
    main.Online = true;
    session.Identify(password);

    ParameterSender sender(main, reader);
    OperatingHours hours(main, sender);
    QString why;
    if (!hours.Available(&why)) {
        Err(why);
        return ExitInput;
    }
    const struct
    {
        bool given;
        Counter counter;
        QString text;
    } writes[] = {{hoursGiven, Counter::Hours, setHours}, {startsGiven, Counter::Starts, setStarts}};
    for (const auto &w : writes) {
        if (!w.given)
            continue;
        quint32 shown = 0;
        if (!Await(hours, true, w.counter, w.text, &shown))
            // Already told; a refusal by the device is the level's or mode's, like a bad input.
            return hours.Refused() ? ExitInput : ExitLink;
    }
    quint32 h = 0, s = 0;
    if (!Await(hours, false, Counter::Hours, QString(), &h) || !Await(hours, false, Counter::Starts, QString(), &s))
        return ExitLink;
    Out(QStringLiteral("Betriebsstunden: %1 h").arg(h));
    Out(QStringLiteral("Anzahl Starts: %1").arg(s));
    return ExitOk;
}

CommandRegistrar reg("hours",
                     "--port PORT hours [--set-hours H] [--set-starts N] --password PW  Betriebsstunden und Starts "
                     "lesen oder (mit Rücklesen) schreiben",
                     &hoursCommand);

} // namespace
