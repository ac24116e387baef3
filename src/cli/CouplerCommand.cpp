// mirelo-cli coupler: the data coupler's speed towards the controller, setting it, and
// "PC Connect".
#include "cli/Cli.h"
#include "cli/LinkSession.h"
#include "link/Coupler.h"
#include <QEventLoop>

namespace {

int couplerCommand(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    QString baudText;
    bool missing = false;
    const bool set = TakeOption(args, QStringLiteral("--set-baud"), &baudText, &missing);
    const bool connect = TakeFlag(args, QStringLiteral("--pc-connect"));
    if (missing) {
        Err(QStringLiteral("coupler: --set-baud braucht eine Baudrate."));
        return ExitInput;
    }
    if (!args.isEmpty()) {
        Err(QStringLiteral("coupler: unerwartetes Argument ") + args.first());
        return ExitInput;
    }
    int index = -1;
    if (set) {
        bool ok = false;
        const int baud = baudText.trimmed().toInt(&ok);
        index = ok ? Coupler::IndexOfBaud(baud) : -1;
        if (index < 0) {
            Err(GetText(761).arg(baudText));
            return ExitInput;
        }
    }
    LinkSession session(o, prompter);
    if (!session.OpenWithProtocol())
        return ExitLink;
    Coupler coupler(session.main);
    QEventLoop loop;
    bool ok = false;
    int code = -1;
    QObject::connect(&coupler, &Coupler::BaudRead, &loop, [&](bool good, int c) {
        if (good)
            code = c;
    });
    QObject::connect(&coupler, &Coupler::PcConnectFinished, &loop, [&](bool good) {
        ok = good;
        loop.quit();
    });
    QObject::connect(&coupler, &Coupler::SetFinished, &loop, [&](bool good) {
        ok = good;
        loop.quit();
    });
    auto readDone = QObject::connect(&coupler, &Coupler::BaudRead, &loop, [&](bool good, int) {
        ok = good;
        loop.quit();
    });
    bool started;
    if (connect || set)
        QObject::disconnect(readDone);
    if (connect)
        started = coupler.PcConnect();
    else if (set)
        started = coupler.SetDeviceBaud(Coupler::Speeds()[size_t(index)].code);
    else
        started = coupler.ReadBaud();
    if (started)
        loop.exec();
    // "PC Connect" followed by a change runs the change at the speed it found.
    if (started && ok && connect && set) {
        ok = false;
        if (coupler.SetDeviceBaud(Coupler::Speeds()[size_t(index)].code))
            loop.exec();
    }
    if (!ok)
        return ExitLink; // the prompter has said why
    const int shown = Coupler::IndexOfCode(code);
    Out(GetText(154) + QStringLiteral(": ") +
        (shown >= 0 ? Coupler::Caption(shown) : QStringLiteral("? (%1)").arg(code)));
    return ExitOk;
}

CommandRegistrar reg("coupler",
                     "coupler [--set-baud B] [--pc-connect]  Datenkoppler: Baudrate zum Gerät lesen oder setzen "
                     "(--pc-connect: PC-Seite suchen und auf 9600 stellen)",
                     &couplerCommand);
} // namespace
