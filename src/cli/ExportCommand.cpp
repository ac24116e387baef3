// The printed lists of a parameter file as text or PDF.
#include "cli/Cli.h"
#include "device/DeviceData.h"
#include "device/ParameterFile.h"
#include "monitor/PrintLayout.h"
#include "params/FormatValue.h"
#include "shell/PrgInit.h"
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

namespace {

const char *const kUsage = "export DATEI [--connections | --alarms] [--project NAME] -o ZIEL";

int exportList(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    QString out, project;
    bool missing = false;
    const bool haveOut = TakeOption(args, QStringLiteral("-o"), &out, &missing);
    const bool haveProject = TakeOption(args, QStringLiteral("--project"), &project, &missing);
    const bool connections = TakeFlag(args, QStringLiteral("--connections"));
    const bool alarms = TakeFlag(args, QStringLiteral("--alarms"));
    if (missing || !haveOut || args.size() != 1 || (connections && alarms) ||
        args.first().startsWith(QLatin1String("--"))) {
        Err(QStringLiteral("Aufruf: mirelo-cli ") + QString::fromUtf8(kUsage));
        return ExitInput;
    }
    const QString file = args.first();
    const Print::Kind kind = connections ? Print::Kind::Connections
                             : alarms    ? Print::Kind::Alarms
                                         : Print::Kind::Parameters;
    // Without --project the file's own name stands for the project, as a user would
    // mostly answer the question.
    if (!haveProject)
        project = QFileInfo(file).completeBaseName();

    DeviceData d;
    d.LanguageSuffix = o.LanguageSuffix;
    if (!o.Decimal.isEmpty())
        SetDecimalSeparator(o.Decimal.at(0));
    if (!LoadParameterFile(d, file, prompter))
        return ExitInput;
    TFormatter f(d, &prompter);

    QStringList body;
    switch (kind) {
    case Print::Kind::Connections: {
        bool ok = false;
        body = Print::ConnectionBody(d, f, prompter, &ok);
        if (!ok)
            return ExitInput;
        break;
    }
    case Print::Kind::Alarms:
        body = Print::AlarmBody(Print::ParameterBody(d, f));
        break;
    default:
        body = Print::ParameterBody(d, f);
        break;
    }

    TPrgInit init;
    ProgramSettings settings;
    ReadSettings(init, settings);
    Print::Closing closing;
    closing.FileTime = d.FileTime; // a set from a file always carries its time
    closing.Zeile1 = settings.Zeile1;
    closing.Zeile2 = settings.Zeile2;
    closing.Now = QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);

    const bool pdf = out.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    const Print::Pages pages = Print::Layout(Print::HeaderFrom(d, project, false), body, closing, kind,
                                             pdf ? Print::Target::Printer : Print::Target::File);
    QString error;
    const bool written = pdf ? Print::WriteFile(out, Print::PdfDocument(pages, project), &error)
                             : Print::WriteTextFile(out, Print::Flatten(pages), &error);
    if (!written) {
        prompter.error(error);
        return ExitInput;
    }
    return ExitOk;
}

CommandRegistrar reg("export", "export DATEI [--connections | --alarms] [--project NAME] -o ZIEL  Liste als Text oder PDF",
                     &exportList);

} // namespace
