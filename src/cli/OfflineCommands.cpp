// Commands that work on parameter files alone, without a device.
#include "cli/Cli.h"
#include "device/Catalogue.h"
#include "device/DeviceData.h"
#include "device/ParameterFile.h"
#include "params/FormatValue.h"
#include "params/GridModel.h"
#include "shell/TextHelpers.h"
#include <QHash>
#include <algorithm>
#include <iterator>
#include <memory>

namespace {

std::unique_ptr<DeviceData> NewData(const CliOptions &o)
{
    auto d = std::make_unique<DeviceData>();
    d->LanguageSuffix = o.LanguageSuffix;
    if (!o.Decimal.isEmpty())
        SetDecimalSeparator(o.Decimal.at(0));
    return d;
}

// The messages of a refused file have been shown by the loader.
bool Load(DeviceData &d, const QString &path, CliPrompter &prompter) { return LoadParameterFile(d, path, prompter); }

bool ExpectArgs(const QStringList &args, int count, const char *usage)
{
    if (args.size() == count)
        return true;
    Err(QStringLiteral("Aufruf: mirelo-cli ") + QString::fromUtf8(usage));
    return false;
}

int info(const CliOptions &o, CliPrompter &prompter)
{
    if (!ExpectArgs(o.Args, 1, "info DATEI"))
        return ExitInput;
    auto d = NewData(o);
    FileIdentity id;
    const bool complete = LoadParameterFile(*d, o.Args.at(0), prompter, &id);
    // A file that was identified is described even when its definition is missing or
    // broken: which definition it needs is what the user has to know then.
    if (!id.Identified)
        return ExitInput;
    Out(QStringLiteral("Datei: ") + id.FileName);
    Out(QStringLiteral("Gerät: ") + id.DeviceName);
    Out(QStringLiteral("Modell: ") + id.ModelPattern);
    Out(QStringLiteral("Gerätetyp: ") + QString::number(id.DeviceType));
    Out(QStringLiteral("Programm: ") + id.ProgramId);
    Out(QStringLiteral("Version: ") + QString::number(id.ProgramVersion));
    Out(QStringLiteral("Programmdatum: ") + id.ProgramDate);
    Out(QStringLiteral("F-Nummer: ") + id.FNumber);
    Out(QStringLiteral("Fertigungsdatum: ") + id.FDate);
    Out(QStringLiteral("Auftrag: ") + QString::number(id.OrderNumber));
    Out(QStringLiteral("Zugangscode: ") + id.AccessCode);
    Out(QStringLiteral("Definition: ") + id.DefinitionFile);
    return complete ? ExitOk : ExitInput;
}

int list(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    QString group;
    bool missing = false;
    const bool oneGroup = TakeOption(args, QStringLiteral("--group"), &group, &missing);
    if (missing) {
        Err(QStringLiteral("Option --group braucht einen Wert."));
        return ExitInput;
    }
    if (!ExpectArgs(args, 1, "list DATEI [--group NAME]"))
        return ExitInput;
    auto d = NewData(o);
    if (!Load(*d, args.at(0), prompter))
        return ExitInput;
    TFormatter f(*d, &prompter);
    TGridModel grid(*d, f);
    auto rows = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            Out(Grid::GridLine(*d, f, i));
    };
    if (grid.GroupCount() == 0) {
        if (oneGroup) {
            Err(QStringLiteral("Die Datei hat keine Parametergruppen: ") + group);
            return ExitInput;
        }
        // Without groups the grid shows the list from its second line on.
        rows(1, d->Params.Count());
        return ExitOk;
    }
    bool found = false;
    for (int k = 0; k < grid.GroupCount(); ++k) {
        if (oneGroup && grid.GroupName(k) != group)
            continue;
        found = true;
        Out(QStringLiteral("+++ ") + grid.GroupName(k) + QStringLiteral(" +++"));
        rows(grid.FirstIndex(k), grid.EndIndex(k));
    }
    if (!found) {
        Err(QStringLiteral("Parametergruppe nicht gefunden: ") + group);
        return ExitInput;
    }
    return ExitOk;
}

// The codes whose value is one byte; all others that have a value take a word.
bool IsByteCode(int code)
{
    static const int kBytes[] = {8,   9,   10,  11,  15,  16,  17,  18,  19,  20,  21,  22,  23,  26,
                                 27,  28,  40,  41,  48,  49,  50,  51,  52,  53,  54,  55,  192, 193,
                                 208, 209, 211, 219, 221, 223, 228};
    return std::find(std::begin(kBytes), std::end(kBytes), code) != std::end(kBytes);
}

bool IsBitCode(int code)
{
    return (code >= 16 && code <= 23) || (code >= 48 && code <= 55) || code == 29 || (code >= 64 && code <= 73) ||
           (code >= 80 && code <= 88) || (code >= 114 && code <= 117);
}

// The bytes of the image a parameter's value is made of. Empty for rows without a value.
QByteArray RawBytes(const DeviceData &d, int i)
{
    const int code = d.Params.GetTypeCode(i);
    if (code == 0 || code == 246 || code == 255)
        return QByteArray();
    bool ok = false;
    const long long address = d.Params.GetAddress(i).trimmed().toLongLong(&ok, 16);
    if (!ok)
        return QByteArray();
    const long long index = d.State.IndexOf(address);
    int count = IsByteCode(code) ? 1 : 2;
    if (code == 32 || code == 35) // alarm label: the text up to its last character
        count = std::max(1, std::min(256, d.Params.GetMin(i).trimmed().toInt() + 1));
    QByteArray bytes;
    for (int k = 0; k < count; ++k)
        bytes.append(char(d.Geraet.GetByte(index + k)));
    return bytes;
}

QString ParameterKey(const DeviceData &d, int i)
{
    return d.Params.GetAddress(i).trimmed().toUpper() + QLatin1Char(';') + QString::number(d.Params.GetTypeCode(i)) +
           QLatin1Char(';') + d.Params.GetMin(i);
}

int diff(const CliOptions &o, CliPrompter &prompter)
{
    if (!ExpectArgs(o.Args, 2, "diff DATEI1 DATEI2"))
        return ExitInput;
    auto a = NewData(o);
    auto b = NewData(o);
    if (!Load(*a, o.Args.at(0), prompter) || !Load(*b, o.Args.at(1), prompter))
        return ExitInput;
    if (a->State.ModelPattern != b->State.ModelPattern || a->State.DeviceType != b->State.DeviceType) {
        Err(QStringLiteral("Die Dateien gehören zu verschiedenen Gerätetypen: %1 (%2) und %3 (%4)")
                .arg(a->State.ModelPattern)
                .arg(a->State.DeviceType)
                .arg(b->State.ModelPattern)
                .arg(b->State.DeviceType));
        return ExitInput;
    }
    // Same definition: rows correspond one to one. Different firmware generations: a
    // parameter is the same when address, code and key agree; rows that only one of the
    // definitions has are not compared.
    const bool sameDefinition =
        a->State.DefinitionFile == b->State.DefinitionFile && a->Params.Count() == b->Params.Count();
    QHash<QString, int> inB;
    if (!sameDefinition)
        for (int j = b->Params.Count() - 1; j >= 0; --j)
            inB.insert(ParameterKey(*b, j), j);

    TFormatter fa(*a, &prompter);
    TFormatter fb(*b, &prompter);
    int differences = 0;
    for (int i = 0; i < a->Params.Count(); ++i) {
        const int j = sameDefinition ? i : inB.value(ParameterKey(*a, i), -1);
        if (j < 0)
            continue;
        const int code = a->Params.GetTypeCode(i);
        QString va, vb;
        bool differs;
        if (code == 33 || IsBitCode(code)) {
            // The fault coding is spread over four bytes at a stride the formatter knows;
            // a yes/no parameter is one bit of a byte or word whose other bits belong to
            // other rows. Both differ exactly when their shown value does.
            va = fa.FormatParameter(i);
            vb = fb.FormatParameter(j);
            differs = va != vb;
        } else {
            const QByteArray ra = RawBytes(*a, i);
            differs = !ra.isEmpty() && ra != RawBytes(*b, j);
            if (differs) {
                va = fa.FormatParameter(i);
                vb = fb.FormatParameter(j);
            }
        }
        if (!differs)
            continue;
        ++differences;
        Out(QStringLiteral("%1 %2: %3 | %4")
                .arg(a->Params.GetAddress(i).trimmed(), a->Params.ItemText(i).trimmed(), va.trimmed(), vb.trimmed()));
    }
    Out(QStringLiteral("%1 Parameter unterschiedlich.").arg(differences));
    return ExitOk;
}

int convert(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    QString out;
    bool missing = false;
    bool given = TakeOption(args, QStringLiteral("-o"), &out, &missing);
    if (!given && !missing)
        given = TakeOption(args, QStringLiteral("--output"), &out, &missing);
    if (!given || out.isEmpty()) {
        Err(QStringLiteral("Aufruf: mirelo-cli convert DATEI -o ZIEL"));
        return ExitInput;
    }
    if (!ExpectArgs(args, 1, "convert DATEI -o ZIEL"))
        return ExitInput;
    auto d = NewData(o);
    if (!Load(*d, args.at(0), prompter))
        return ExitInput;
    QStringList echo;
    if (!ConvertConfiguration(*d, prompter, &echo))
        return ExitInput;
    for (const QString &line : echo)
        Out(line);
    QString written;
    if (!SaveParameterFile(*d, out, prompter, &written))
        return ExitInput;
    Out(QStringLiteral("Gespeichert: ") + written);
    return ExitOk;
}

CommandRegistrar regInfo("info", "info DATEI                Kennung, Modell und Definition einer Parameterdatei", &info);
CommandRegistrar regList("list", "list DATEI [--group NAME] Parameter einer Datei wie im Raster zeigen", &list);
CommandRegistrar regDiff("diff", "diff DATEI1 DATEI2        Parameter zeigen, deren Werte sich unterscheiden", &diff);
CommandRegistrar regConvert("convert", "convert DATEI -o ZIEL     Datei mit ZPA\\101upgrate.ini konvertieren und speichern",
                            &convert);

} // namespace
