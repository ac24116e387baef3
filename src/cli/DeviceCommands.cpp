// mirelo-cli read / search: the parameter read and the protocol search of the program,
// run on the same chains as in the window, with the Qt event loop delivering the reports.
#include "cli/Cli.h"
#include "cli/LinkSession.h"
#include "device/DeviceReader.h"
#include "device/ParameterFile.h"
#include "link/Protocol.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <memory>

namespace {

bool TakeMs(QStringList &args, const QString &name, int *value, bool *bad)
{
    QString text;
    bool missing = false;
    if (!TakeOption(args, name, &text, &missing)) {
        *bad = *bad || missing;
        return false;
    }
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0 || v > 60000) {
        *bad = true;
        return false;
    }
    *value = v;
    return true;
}

// Where the read is saved: -o FILE, or -o FOLDER with the program identification (blanks
// and characters a file name cannot hold taken out) as the name; the model extension is
// forced on either by the save.
QString TargetPath(const QString &output, const QString &programId)
{
    if (!QFileInfo(output).isDir())
        return output;
    QString name = programId.trimmed();
    for (QChar &c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QChar(0) || c.isSpace())
            c = QLatin1Char('_');
    if (name.isEmpty())
        name = QStringLiteral("geraet");
    return QDir(output).filePath(name);
}

int read(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    QString output;
    bool missing = false;
    if (!TakeOption(args, QStringLiteral("-o"), &output, &missing) || output.isEmpty()) {
        Err(QStringLiteral("read: -o DATEI oder -o ORDNER fehlt."));
        return ExitInput;
    }
    bool bad = false;
    int timeout = TTeleThread::ReadTimeoutMs;
    TakeMs(args, QStringLiteral("--timeout"), &timeout, &bad);
    if (bad || !args.isEmpty()) {
        Err(bad ? QStringLiteral("read: --timeout erwartet Millisekunden 0..60000.")
                : QStringLiteral("read: unerwartetes Argument ") + args.first());
        return ExitInput;
    }
    const QFileInfo out(output);
    if (!out.isDir() && !out.absoluteDir().exists()) {
        Err(QStringLiteral("read: Ordner nicht gefunden: ") + out.absolutePath());
        return ExitInput;
    }

    LinkSession session(o, prompter, timeout);
    if (!session.OpenWithProtocol())
        return ExitLink;
    // A protocol named on the command line is kept: a failed read is reported as such. Without
    // one, a device that does not answer starts the protocol search as in the window, and the
    // read is made once more at the protocol found.
    std::unique_ptr<ProtocolSearch> search;
    if (!o.ProtocolGiven)
        search = std::make_unique<ProtocolSearch>(session.main);
    DeviceReader reader(session.main, search.get());
    bool ok = LinkSession::Read(reader);
    if (!ok && search && search->Running()) {
        QEventLoop loop;
        bool found = false;
        QObject::connect(search.get(), &ProtocolSearch::Finished, &loop, [&](int, bool f) {
            found = f;
            loop.quit();
        });
        loop.exec();
        if (found) {
            // The search leaves the probe's address behind (FE for the coupler): the read
            // goes to the device, at the address of the options.
            session.main.Init.SlaveAddress = quint8(o.SlaveAddress);
            session.ApplySlave();
            DeviceReader again(session.main, nullptr);
            ok = LinkSession::Read(again);
        }
    }
    if (!ok)
        return ExitLink;
    QString written;
    const QString target = TargetPath(output, session.main.Data.Geraet.ProgramId);
    if (!SaveParameterFile(session.main.Data, target, prompter, &written))
        return ExitInput;
    Out(written);
    return ExitOk;
}

int search(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    bool bad = false;
    int timeout = TTeleThread::ReadTimeoutMs;
    int pause = ProtocolSearch::DefaultPauseMs;
    TakeMs(args, QStringLiteral("--timeout"), &timeout, &bad);
    TakeMs(args, QStringLiteral("--pause"), &pause, &bad);
    if (bad || !args.isEmpty()) {
        Err(bad ? QStringLiteral("search: --timeout und --pause erwarten Millisekunden 0..60000.")
                : QStringLiteral("search: unerwartetes Argument ") + args.first());
        return ExitInput;
    }
    LinkSession session(o, prompter, timeout);
    ProtocolSearch search(session.main);
    search.SetPauseMs(pause);
    QEventLoop loop;
    int found = 0;
    QObject::connect(&search, &ProtocolSearch::Finished, &loop, [&](int protocol, bool ok) {
        found = ok ? protocol : 0;
        loop.quit();
    });
    session.thread.SetPort(o.Port, Protocol(o.Protocol)->Baud);
    if (!session.WaitOpen())
        return ExitLink;
    search.Start();
    if (search.Running())
        loop.exec();
    if (found == 0)
        return ExitLink;
    Out(QStringLiteral("Protokoll %1:%2").arg(found).arg(Protocol(found)->Caption));
    return ExitOk;
}

CommandRegistrar regRead("read",
                         "read -o DATEI|ORDNER [--timeout MS]  Parameter aus dem Gerät lesen und speichern "
                         "(ohne --protocol mit Protokollsuche)",
                         &read);
CommandRegistrar regSearch("search", "search [--pause MS] [--timeout MS]     Protokoll suchen", &search);
} // namespace
