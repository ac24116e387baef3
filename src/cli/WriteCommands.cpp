// mirelo-cli write: "Parameter zum Gerät" of a parameter file, on the same chain as the
// window, with the Qt event loop delivering the reports.
#include "cli/Cli.h"
#include "cli/LinkSession.h"
#include "device/DeviceReader.h"
#include "device/ParameterFile.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "params/ParameterSender.h"
#include "shell/MainController.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

namespace {

// The command line's prompter with the password given for the "Ident" dialog.
class WritePrompter : public Prompter
{
public:
    WritePrompter(CliPrompter &inner, const QString &password) : m_inner(inner), m_password(password) {}
    void error(const QString &t) override { m_inner.error(t); }
    void warning(const QString &t) override { m_inner.warning(t); }
    void information(const QString &t) override { m_inner.information(t); }
    bool question(const QString &t) override
    {
        const bool yes = m_inner.question(t);
        Refused = Refused || !yes;
        return yes;
    }
    bool inputText(const QString &, QString &value) override
    {
        // Offered once; a second offer would only repeat the same password.
        if (m_used)
            return false;
        m_used = true;
        value = m_password;
        return true;
    }
    bool Refused = false;

private:
    CliPrompter &m_inner;
    QString m_password;
    bool m_used = false;
};

int write(const CliOptions &o, CliPrompter &cli)
{
    QStringList args = o.Args;
    QString password;
    bool missing = false;
    TakeOption(args, QStringLiteral("--password"), &password, &missing);
    if (missing || args.size() != 1) {
        Err(missing ? QStringLiteral("write: --password braucht einen Wert.")
                    : QStringLiteral("write: genau eine Parameterdatei erwartet."));
        return ExitInput;
    }
    WritePrompter prompter(cli, password);
    LinkSession session(o, prompter);
    MainController &main = session.main;
    if (!LoadParameterFile(main.Data, args.first(), prompter))
        return ExitInput;
    main.ParamsLoaded = true;
    main.OfflineFile = true;
    if (!session.OpenWithProtocol())
        return ExitLink;

    DeviceReader reader(main, nullptr);
    ParameterSender sender(main, reader);
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&sender, &ParameterSender::TransferFinished, &loop, [&](bool done) {
        ok = done;
        loop.quit();
    });
    sender.SendParameterSet();
    if (sender.Running())
        loop.exec();
    if (ok) {
        Out(QStringLiteral("%1 Telegramme, %2 Bytes gesendet, %3 Parameter geändert")
                .arg(sender.TelegramCount())
                .arg(sender.DataBytesSent())
                .arg(sender.Changes().size()));
        return ExitOk;
    }
    return sender.LinkFailed() ? ExitLink : ExitInput;
}

CommandRegistrar regWrite("write", "write DATEI --password PW [--yes]    Parameter zum Gerät senden", &write);
} // namespace
