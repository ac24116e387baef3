// Changes of parameter values, in a parameter file or in the connected device, through the
// same editors and dependency rules as the grid.
#include "cli/Cli.h"
#include "cli/LinkSession.h"
#include "device/DeviceData.h"
#include "device/DeviceReader.h"
#include "device/ParameterFile.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "params/EditSession.h"
#include "params/FormatValue.h"
#include "params/ParameterSender.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <memory>

namespace {

const char *const kUsage = "set DATEI ADR[:TYP]=WERT [...] [-o ZIEL] [--password PW]";
const char *const kOnlineUsage = "set --password PW ADR[:TYP]=WERT [...]";

// Answers the editor's dialogs with the value given on the command line. A value the
// numeric dialog would clamp to its limits is refused instead: on the command line nobody
// sees the slider jump.
class CommandLineDialogs : public EditDialogs
{
public:
    QString Value;
    QString Refusal; // why the value was not taken (empty: taken or not asked)
    int Asked = 0;

    bool AskNumber(const NumberRequest &request, float &value) override
    {
        if (++Asked > 1) {
            // The editor asks again only when it did not accept the first answer.
            Refusal = request.Hint.trimmed();
            return false;
        }
        double typed;
        bool ok = false;
        if (request.Hex) {
            QString t = Value.trimmed();
            if (t.startsWith(QLatin1Char('$')))
                t.remove(0, 1);
            typed = double(t.toLongLong(&ok, 16));
            ok = ok && t.size() <= 8;
        } else {
            typed = ParseEditNumber(Value, &ok);
        }
        if (!ok) {
            Refusal = GetText(128);
            return false;
        }
        if (!request.InRange(typed)) {
            Refusal = request.Hint.trimmed();
            return false;
        }
        value = request.Clamp(typed);
        return true;
    }

    bool AskYesNo(const YesNoRequest &request, int &index) override
    {
        ++Asked;
        const QString v = Value.trimmed();
        if (v.compare(QLatin1String("Ja"), Qt::CaseInsensitive) == 0 ||
            v.compare(request.YesText.trimmed(), Qt::CaseInsensitive) == 0)
            index = 0;
        else if (v.compare(QLatin1String("Nein"), Qt::CaseInsensitive) == 0 ||
                 v.compare(request.NoText.trimmed(), Qt::CaseInsensitive) == 0)
            index = 1;
        else {
            Refusal = request.Hint.trimmed();
            return false;
        }
        return true;
    }
};

// "ADR" or "ADR:TYP" (TYP the type code in hexadecimal as in the definition line, to pick
// one of several parameters at one address).
int FindParameter(const DeviceData &d, const QString &target, QString *problem)
{
    QString address = target.trimmed();
    int code = -1;
    const int colon = address.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        bool ok = false;
        code = address.mid(colon + 1).trimmed().toInt(&ok, 16);
        if (!ok) {
            *problem = QStringLiteral("Ungültiger Typcode: ") + target;
            return -1;
        }
        address = address.left(colon).trimmed();
    }
    QList<int> found;
    for (int i = 0; i < d.Params.Count(); ++i) {
        const int c = d.Params.GetTypeCode(i);
        if (c == 0 || c == 246)
            continue;
        if (d.Params.GetAddress(i).trimmed().compare(address, Qt::CaseInsensitive) != 0)
            continue;
        if (code >= 0 && c != code)
            continue;
        found << i;
    }
    if (found.isEmpty()) {
        *problem = QStringLiteral("Parameter nicht gefunden: ") + target;
        return -1;
    }
    if (found.size() > 1) {
        QStringList codes;
        for (int i : found)
            codes << QString::number(d.Params.GetTypeCode(i), 16).toUpper();
        *problem = QStringLiteral("Mehrere Parameter an Adresse %1 (Typcodes %2): ADR:TYP angeben.")
                       .arg(address, codes.join(QStringLiteral(", ")));
        return -1;
    }
    return found.first();
}

// One assignment through the editor. Offline the image holds the value when this returns;
// online the write, its read-back and any dependent telegrams are waited for.
int Assign(EditSession &session, MainController &main, ParameterSender *sender, CommandLineDialogs &dialogs,
           TFormatter &formatter, const QString &assignment)
{
    DeviceData &d = main.Data;
    const int eq = assignment.indexOf(QLatin1Char('='));
    const QString target = assignment.left(eq);
    QString problem;
    const int index = FindParameter(d, target, &problem);
    if (index < 0) {
        Err(problem);
        return ExitInput;
    }
    dialogs.Value = assignment.mid(eq + 1);
    dialogs.Refusal.clear();
    dialogs.Asked = 0;
    const QString before = formatter.FormatParameter(index).trimmed();
    const QString name = target.trimmed() + QLatin1Char(' ') + d.Params.ItemText(index).trimmed();

    bool failed = false;
    QMetaObject::Connection failure;
    if (sender)
        failure = QObject::connect(sender, &ParameterSender::WriteFailed, [&failed] { failed = true; });
    const EditResult result = session.Edit(index);
    if (result == EditResult::Sent || session.Busy()) {
        QEventLoop loop;
        QObject::connect(&session, &EditSession::EditEnded, &loop, &QEventLoop::quit);
        if (session.Busy())
            loop.exec();
    }
    if (sender)
        QObject::disconnect(failure);
    if (failed)
        return sender && sender->LinkFailed() ? ExitLink : ExitInput;

    const bool ok = result == EditResult::Written || result == EditResult::Sent || result == EditResult::Finished;
    if (!ok) {
        // A cancel without a question asked: the editor needs a dialog this command
        // does not answer (choices, texts, codings).
        if (result == EditResult::NoEditor || (result == EditResult::Cancelled && dialogs.Asked == 0))
            Err(QStringLiteral("%1: dieser Parameter kann hier nicht geändert werden (Typcode %2).")
                    .arg(name)
                    .arg(QString::number(d.Params.GetTypeCode(index), 16).toUpper()));
        else if (!dialogs.Refusal.isEmpty())
            Err(name + QStringLiteral(": ") + dialogs.Refusal);
        else if (session.Editor().LastMessage.isEmpty())
            // A silent refusal of the editor still needs a word on the command line.
            Err(name + QStringLiteral(": ") + GetText(128).trimmed());
        // Other refusals were shown by the editor through the prompter.
        return ExitInput;
    }
    Out(name + QStringLiteral(": ") + before + QStringLiteral(" -> ") + formatter.FormatParameter(index).trimmed());
    return ExitOk;
}

bool Assignments(const QStringList &args)
{
    for (const QString &a : args)
        if (!a.contains(QLatin1Char('=')) || a.startsWith(QLatin1Char('='))) {
            Err(QStringLiteral("Zuweisung ADR=WERT erwartet: ") + a);
            return false;
        }
    return true;
}

// Online: the device is read, then every assignment is written with read-back, in order.
// A refused or failed assignment stops there; those before it stay written.
int setOnline(const CliOptions &o, CliPrompter &prompter, const QStringList &args, const QString &password)
{
    LinkSession session(o, prompter);
    MainController &main = session.main;
    DeviceReader reader(main, nullptr);
    if (!session.OpenAndRead(reader))
        return ExitLink;
    session.Identify(password);

    ParameterSender sender(main, reader);
    TFormatter formatter(main.Data, &prompter);
    CommandLineDialogs dialogs;
    EditSession edits(main, &sender, formatter, dialogs);
    for (const QString &a : args) {
        const int rc = Assign(edits, main, &sender, dialogs, formatter, a);
        if (rc != ExitOk)
            return rc;
    }
    return ExitOk;
}

int set(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    QString out;
    bool missing = false;
    bool outGiven = TakeOption(args, QStringLiteral("-o"), &out, &missing);
    if (!outGiven && !missing)
        outGiven = TakeOption(args, QStringLiteral("--output"), &out, &missing);
    QString ident;
    bool identMissing = false;
    // The password (or the device's ident number) unlocks the protected parameters.
    const bool identGiven = TakeOption(args, QStringLiteral("--password"), &ident, &identMissing);
    if (!o.Decimal.isEmpty())
        SetDecimalSeparator(o.Decimal.at(0));

    if (o.PortGiven) {
        // Online: no file; the device is the set.
        if (missing || identMissing || outGiven || !identGiven || args.isEmpty()) {
            Err(QStringLiteral("Aufruf: mirelo-cli --port PORT ") + QString::fromUtf8(kOnlineUsage));
            return ExitInput;
        }
        if (!Assignments(args))
            return ExitInput;
        return setOnline(o, prompter, args, ident);
    }

    if (missing || identMissing || (outGiven && out.isEmpty()) || args.size() < 2) {
        Err(QStringLiteral("Aufruf: mirelo-cli ") + QString::fromUtf8(kUsage));
        return ExitInput;
    }
    const QString file = args.takeFirst();
    if (!Assignments(args))
        return ExitInput;

    MainController main(prompter);
    DeviceData &d = main.Data;
    d.LanguageSuffix = o.LanguageSuffix;
    if (!LoadParameterFile(d, file, prompter))
        return ExitInput;
    main.ParamsLoaded = true;
    main.OfflineFile = true;
    Texts::SetDeviceTypeForTexts(d.State.DeviceType);
    if (identGiven)
        AcceptIdent(main.Access, ident, d.State.AccessCode);
    d.AccessLevel = main.Access.Level.isEmpty() ? d.AccessLevel : main.Access.Level;

    TFormatter formatter(d, &prompter);
    CommandLineDialogs dialogs;
    EditSession session(main, nullptr, formatter, dialogs);
    // Every assignment must pass before anything is written.
    for (const QString &a : args) {
        const int rc = Assign(session, main, nullptr, dialogs, formatter, a);
        if (rc != ExitOk)
            return rc;
    }

    QString written;
    if (!SaveParameterFile(d, outGiven ? out : file, prompter, &written))
        return ExitInput;
    Out(QStringLiteral("Gespeichert: ") + written);
    return ExitOk;
}

CommandRegistrar regSet("set",
                        "set DATEI ADR[:TYP]=WERT [...] [-o ZIEL] [--password PW]  Parameterwerte offline ändern\n"
                        "  --port PORT set --password PW ADR[:TYP]=WERT [...]  im Gerät ändern (mit Rücklesen)",
                        &set);

} // namespace
