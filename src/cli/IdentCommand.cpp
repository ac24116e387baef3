#include "cli/Cli.h"
#include "cli/LinkSession.h"
#include "shell/AnsiCodec.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"

namespace {
const QString kAction = QStringLiteral("KennungZeigen");

int ident(const CliOptions &o, CliPrompter &prompter)
{
    if (!o.Args.isEmpty()) {
        Err(QStringLiteral("ident: unerwartetes Argument ") + o.Args.first());
        return ExitInput;
    }
    // The same session as "read", so that both ask the same device: with protocol 1 that is
    // the controller behind the data coupler at the slave address, not the coupler at FE,
    // which only the protocol search and the coupler's own settings talk to.
    LinkSession session(o, prompter);
    if (!session.OpenWithProtocol())
        return ExitLink;
    MainController &main = session.main;
    QEventLoop loop;
    TeleReport result;
    bool reported = false;
    main.RegisterAction(kAction, [&](const TeleReport &r) {
        result = r;
        reported = true;
        loop.quit();
    });
    main.SetRepeatable(kAction);
    main.SetPendingAction(kAction);
    main.LinkBusy = true;
    if (!main.Push(5, 0x0030, 48)) {
        Err(QStringLiteral("ident: die Anfrage wurde nicht angenommen."));
        return ExitLink;
    }
    if (!reported)
        loop.exec();
    main.RegisterAction(kAction, nullptr);
    if (!result.Ok())
        return ExitLink; // the dispatch has shown the link failure
    for (int row = 0; row < 48; row += 16) {
        QString hex, text;
        for (int i = row; i < row + 16; ++i) {
            const quint8 b = main.WorkImage[TelePos::AddrHigh + i];
            hex += Text::ByteToHex(b) + QLatin1Char(' ');
            text += (b >= 0x20 && b != 0x7F) ? Ansi::fromByte(b) : QStringLiteral(".");
        }
        Out(Text::ToHex(quint32(0x0030 + row), 4) + QStringLiteral(": ") + hex + QLatin1Char(' ') + text);
    }
    return ExitOk;
}

CommandRegistrar reg("ident", "ident                     Kennung (48 Bytes ab 0030) lesen und zeigen", &ident);
} // namespace
