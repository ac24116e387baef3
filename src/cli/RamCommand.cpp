// The protection diagnosis of a connected controller: every field of the RAM list with its label.
#include "cli/Cli.h"
#include "cli/LinkSession.h"
#include "params/ParameterSender.h"
#include "services/AccessLevels.h"
#include "services/RamList.h"
#include "shell/Texts.h"

namespace {

const char *const kUsage = "ram [--reset] --password PW";

// Runs a read or the reset to its end; false when it failed.
bool Await(RamList &ram, bool reset)
{
    return AwaitChain(
        &ram, reset ? &RamList::ResetFinished : &RamList::ReadFinished, [](bool good) { return good; },
        [&] { return reset ? ram.Reset() : ram.Read(); });
}

int ramCommand(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    QString password;
    bool missing = false;
    const bool passwordGiven = TakeOption(args, QStringLiteral("--password"), &password, &missing);
    const bool reset = args.removeAll(QStringLiteral("--reset")) > 0;
    if (missing || !passwordGiven || !args.isEmpty()) {
        Err(QStringLiteral("Aufruf: mirelo-cli [--port PORT] ") + QString::fromUtf8(kUsage));
        return ExitInput;
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
    RamList ram(main, sender);
    QString why;
    if (!ram.Available(&why)) {
        Err(why);
        return ExitInput;
    }
    if (reset) {
        if (!Await(ram, true))
            // Already told; a refusal by the device is the level's or mode's, like a bad input.
            return ram.Refused() ? ExitInput : ExitLink;
        Out(GetText(622));
    }
    if (!Await(ram, false))
        return ExitLink;
    const auto &fields = RamList::Fields();
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i].Address == 0x2E50) {
            Out(QStringLiteral("Zykluszeiten:"));
            for (const QString &line : ram.CycleTimes())
                Out(QStringLiteral("  ") + line.trimmed());
        }
        if (fields[i].Bit == 0)
            Out(RamList::GroupLabel(fields[i]));
        Out((fields[i].Bit >= 0 ? QStringLiteral("  ") : QString()) + fields[i].Label.trimmed() + QLatin1Char(' ') + ram.Values().value(i));
    }
    return ExitOk;
}

CommandRegistrar reg("ram",
                     "--port PORT ram [--reset] --password PW  RAM-Liste 2E2C - 2E9B (Schutzdiagnose) lesen, mit "
                     "--reset vorher die Diagnose zurücksetzen",
                     &ramCommand);

} // namespace
