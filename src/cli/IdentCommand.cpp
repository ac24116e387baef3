#include "cli/Cli.h"
#include "link/SyncLink.h"
#include "shell/AnsiCodec.h"
#include "shell/TextHelpers.h"

namespace {
int ident(const CliOptions &o, CliPrompter &prompter)
{
    if (!o.Args.isEmpty()) {
        Err(QStringLiteral("ident: unerwartetes Argument ") + o.Args.first());
        return ExitInput;
    }
    SyncLink::Settings s;
    s.Port = o.Port;
    s.Protocol = o.Protocol;
    s.SlaveAddress = o.SlaveAddress;
    s.OwnAddress = o.OwnAddress;
    SyncLink link(s, &prompter);
    QString error;
    if (!link.Open(&error))
        return Err(error), ExitLink;
    QByteArray block;
    const TeleReport r = link.Read(0x0030, 48, &block);
    if (!r.Ok()) {
        Err(SyncLink::FailureText(r));
        return ExitLink;
    }
    for (int row = 0; row < block.size(); row += 16) {
        QString hex, text;
        for (int i = row; i < row + 16 && i < block.size(); ++i) {
            const quint8 b = quint8(block[i]);
            hex += Text::ByteToHex(b) + QLatin1Char(' ');
            text += (b >= 0x20 && b != 0x7F) ? Ansi::fromByte(b) : QStringLiteral(".");
        }
        Out(Text::ToHex(quint32(0x0030 + row), 4) + QStringLiteral(": ") + hex + QLatin1Char(' ') + text);
    }
    return ExitOk;
}

CommandRegistrar reg("ident", "ident                     Kennung (48 Bytes ab 0030) lesen und zeigen", &ident);
} // namespace
