// mirelo-cli clock: the device clock as the clock window shows it, and setting it to the
// PC's time.
#include "cli/Cli.h"
#include "cli/LinkSession.h"
#include "device/DeviceReader.h"
#include "services/DeviceClock.h"
#include <QEventLoop>
#include <QTimer>

namespace {

// One read of the clock; false when it failed (the reason went to stderr).
bool ReadClock(DeviceClock &clock, QString *shown)
{
    QEventLoop loop;
    bool ok = false;
    QString why;
    auto a = QObject::connect(&clock, &DeviceClock::DeviceTimeRead, &loop, [&](const QString &t) {
        *shown = t;
        ok = true;
        loop.quit();
    });
    auto b = QObject::connect(&clock, &DeviceClock::ReadFailed, &loop, [&](const QString &t) {
        why = t;
        loop.quit();
    });
    if (clock.Tick())
        loop.exec();
    else
        why = QStringLiteral("die Anfrage wurde nicht angenommen.");
    QObject::disconnect(a);
    QObject::disconnect(b);
    if (!ok)
        Err(QStringLiteral("clock: ") + why);
    return ok;
}

int clockCommand(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    const bool set = TakeFlag(args, QStringLiteral("--set"));
    if (!args.isEmpty()) {
        Err(QStringLiteral("clock: unerwartetes Argument ") + args.first());
        return ExitInput;
    }
    LinkSession session(o, prompter);
    if (!session.OpenWithProtocol())
        return ExitLink;
    // The clock kind comes from the definition of the device, as for the menu entry: the
    // parameters are read first.
    DeviceReader reader(session.main, nullptr);
    if (!LinkSession::Read(reader))
        return ExitLink;
    if (session.main.Data.Def.ClockKind.isEmpty()) {
        Err(QStringLiteral("clock: das Gerät hat keine Uhr."));
        return ExitLink;
    }
    DeviceClock clock(session.main);
    if (set) {
        QEventLoop loop;
        bool ok = false;
        QObject::connect(&clock, &DeviceClock::SetFinished, &loop, [&](bool done, const QString &) {
            ok = done;
            loop.quit();
        });
        clock.RequestSet();
        if (!clock.Tick()) {
            Err(QStringLiteral("clock: die Anfrage wurde nicht angenommen."));
            return ExitLink;
        }
        loop.exec();
        if (!ok)
            return ExitLink; // the prompter has said why
    }
    QString shown;
    if (!ReadClock(clock, &shown))
        return ExitLink;
    Out(shown);
    Out(DeviceClock::PcText(clock.Now()));
    return ExitOk;
}

CommandRegistrar reg("clock", "clock [--set]             Uhrzeit des Gerätes zeigen (--set: auf die Zeit des PC stellen)",
                     &clockCommand);
} // namespace
