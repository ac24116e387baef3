// Offline change of parameter values in a parameter file, through the same editors as the grid.
#include "cli/Cli.h"
#include "device/DeviceData.h"
#include "device/ParameterFile.h"
#include "params/EditDispatcher.h"
#include "params/FormatValue.h"
#include "services/AccessLevels.h"
#include "shell/Texts.h"
#include <memory>

namespace {

const char *const kUsage = "set DATEI ADR[:TYP]=WERT [...] [-o ZIEL] [--password PW]";

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

// Offline: no pending actions, no grid, no link. The dependency rules are not part of
// this command.
class CommandLineHost : public EditHost
{
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
    if (missing || identMissing || (outGiven && out.isEmpty()) || args.size() < 2) {
        Err(QStringLiteral("Aufruf: mirelo-cli ") + QString::fromUtf8(kUsage));
        return ExitInput;
    }
    const QString file = args.takeFirst();
    for (const QString &a : args)
        if (!a.contains(QLatin1Char('=')) || a.startsWith(QLatin1Char('='))) {
            Err(QStringLiteral("Zuweisung ADR=WERT erwartet: ") + a);
            return ExitInput;
        }

    auto d = std::make_unique<DeviceData>();
    d->LanguageSuffix = o.LanguageSuffix;
    if (!o.Decimal.isEmpty())
        SetDecimalSeparator(o.Decimal.at(0));
    if (!LoadParameterFile(*d, file, prompter))
        return ExitInput;
    Texts::SetDeviceTypeForTexts(d->State.DeviceType);

    AccessState access;
    if (identGiven)
        AcceptIdent(access, ident, d->State.AccessCode);
    d->AccessLevel = access.Level.isEmpty() ? d->AccessLevel : access.Level;

    TFormatter formatter(*d, &prompter);
    CommandLineDialogs dialogs;
    CommandLineHost host;
    EditDispatcher editor(*d, formatter, access, prompter, dialogs, host);

    // Every assignment must pass before anything is written.
    for (const QString &a : args) {
        const int eq = a.indexOf(QLatin1Char('='));
        const QString target = a.left(eq);
        QString problem;
        const int index = FindParameter(*d, target, &problem);
        if (index < 0) {
            Err(problem);
            return ExitInput;
        }
        dialogs.Value = a.mid(eq + 1);
        dialogs.Refusal.clear();
        dialogs.Asked = 0;
        const QString before = formatter.FormatParameter(index).trimmed();
        const EditResult result = editor.StartEdit(index);
        const QString name = target.trimmed() + QLatin1Char(' ') + d->Params.ItemText(index).trimmed();
        if (result != EditResult::Written) {
            if (result == EditResult::NoEditor || result == EditResult::NotAvailable)
                Err(QStringLiteral("%1: dieser Parameter kann hier nicht geändert werden (Typcode %2).")
                        .arg(name)
                        .arg(QString::number(d->Params.GetTypeCode(index), 16).toUpper()));
            else if (!dialogs.Refusal.isEmpty())
                Err(name + QStringLiteral(": ") + dialogs.Refusal);
            else if (editor.LastMessage.isEmpty())
                // A silent refusal of the editor still needs a word on the command line.
                Err(name + QStringLiteral(": ") + GetText(128).trimmed());
            // Other refusals were shown by the editor through the prompter.
            return ExitInput;
        }
        Out(name + QStringLiteral(": ") + before + QStringLiteral(" -> ") +
            formatter.FormatParameter(index).trimmed());
    }

    QString written;
    if (!SaveParameterFile(*d, outGiven ? out : file, prompter, &written))
        return ExitInput;
    Out(QStringLiteral("Gespeichert: ") + written);
    return ExitOk;
}

CommandRegistrar regSet("set", "set DATEI ADR[:TYP]=WERT [...] [-o ZIEL] [--password PW]  Parameterwerte offline ändern",
                        &set);

} // namespace
