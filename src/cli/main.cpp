#include "cli/Cli.h"
#include "link/Protocol.h"
#include "shell/DataDir.h"
#include "shell/TextHelpers.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <map>
#include <string>

void RegisterSimPort();

namespace {
struct Command
{
    const char *usage;
    CommandFn fn;
};

std::map<std::string, Command> &commands()
{
    static std::map<std::string, Command> table;
    return table;
}

// Asked for with --help it goes to stdout; after a usage error to stderr.
void usage(bool asked)
{
    auto print = asked ? Out : Err;
    print(QStringLiteral("Aufruf: mirelo-cli [--data DIR] [--lang CODE] [--decimal ,|.] [--port PORT] "
                         "[--protocol N] [--slave ADDR] [--own ADDR] [--retries N] [--dial NUMMER [--init AT...] [--fbed N]] "
                         "BEFEHL ..."));
    print(QStringLiteral(
        "  --protocol N  1: 9600 Baud über einen Datenkoppler PELK/DROS (gelesen und geschrieben wird beim\n"
        "                Gerät hinter dem Koppler, an der Slave-Adresse; den Koppler selbst fragt nur die\n"
        "                Protokollsuche unter FE), 2: 2400 Baud, 3: 2400 Baud an Adresse 70,\n"
        "                4: 9600 Baud (Vorgabe), 5: 9600 Baud über PELK mit Handshake, 6: 19200, 7: 57600.\n"
        "                Ohne --protocol sucht read das Protokoll, wenn das Gerät nicht antwortet.\n"
        "  --slave ADDR  Slave-Adresse des Geräts, 01-FF (Vorgabe AE); gilt auch bei Protokoll 3\n"
        "  --own ADDR    eigene Adresse, 01-FF (Vorgabe 37)\n"
        "  --retries N   wie oft ein auf der Leitung gestörtes Telegramm wiederholt wird, 0 bis %1 (Vorgabe %2)\n"
        "  --dial NUMMER vor dem Befehl über das Modem an --port wählen, danach auflegen\n"
        "  --init AT...  Initialisierung des Modems vor dem Wählen\n"
        "  --fbed N      nach dem Verbinden die FBED-Nummer senden (Änderungen über ein Modem brauchen sie)")
              .arg(Settings::MaxRetries)
              .arg(Settings::DefaultRetries));
    for (const auto &c : commands())
        print(QStringLiteral("  ") + QString::fromUtf8(c.second.usage));
}

bool parseAddress(const QString &text, int *value)
{
    bool ok = false;
    QString t = text.trimmed();
    long long v;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = t.mid(2).toLongLong(&ok, 16);
    else
        v = Text::ParseNumber(t, &ok);
    if (!ok || v < 1 || v > 255)
        return false;
    *value = int(v);
    return true;
}

QString languageSuffix(const QString &code)
{
    const QString c = code.trimmed();
    if (c.compare(QLatin1String("deu"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("-DE");
    if (c.compare(QLatin1String("eng"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("-EN");
    return c.startsWith(QLatin1Char('-')) ? c.toUpper() : QStringLiteral("-") + c.toUpper();
}
} // namespace

CommandRegistrar::CommandRegistrar(const char *name, const char *usageText, CommandFn fn)
{
    commands()[name] = Command{usageText, fn};
}

void Out(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

void Err(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
}

void CliPrompter::error(const QString &text) { Err(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'))); }
void CliPrompter::warning(const QString &text) { Err(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'))); }
void CliPrompter::information(const QString &text)
{
    Err(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
}
bool CliPrompter::question(const QString &text)
{
    Err(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')) +
        (AnswerYes ? QStringLiteral(" -> Ja (--yes)") : QStringLiteral(" -> Nein (ohne --yes)")));
    return AnswerYes;
}

bool TakeOption(QStringList &args, const QString &name, QString *value, bool *missing)
{
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            if (i + 1 >= args.size()) {
                if (missing)
                    *missing = true;
                args.removeAt(i);
                return false;
            }
            *value = args[i + 1];
            args.remove(i, 2);
            return true;
        }
        if (args[i].startsWith(name + QLatin1Char('='))) {
            *value = args[i].mid(name.size() + 1);
            args.removeAt(i);
            return true;
        }
    }
    return false;
}

bool TakeFlag(QStringList &args, const QString &name)
{
    const int i = args.indexOf(name);
    if (i < 0)
        return false;
    args.removeAt(i);
    return true;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mirelo-cli"));
    RegisterSimPort();

    QStringList args = app.arguments().mid(1);
    CliOptions o;
    QString v;
    bool missing = false;
    const QStringList valueOptions = {QStringLiteral("--data"),     QStringLiteral("--lang"),
                                      QStringLiteral("--decimal"),  QStringLiteral("--port"),
                                      QStringLiteral("--protocol"), QStringLiteral("--slave"),
                                      QStringLiteral("--own"),      QStringLiteral("--retries"),
                                      QStringLiteral("--dial"),     QStringLiteral("--init"),
                                      QStringLiteral("--fbed")};
    QMap<QString, QString> given;
    for (const QString &name : valueOptions) {
        if (TakeOption(args, name, &v, &missing))
            given[name] = v;
        if (missing) {
            Err(QStringLiteral("Option %1 braucht einen Wert.").arg(name));
            return ExitInput;
        }
    }
    if (given.contains(QStringLiteral("--data"))) {
        o.DataDir = given[QStringLiteral("--data")];
        if (!QFileInfo(o.DataDir).isDir()) {
            Err(QStringLiteral("Datenordner nicht gefunden: ") + o.DataDir);
            return ExitInput;
        }
        DataDir::setOverride(o.DataDir);
    }
    if (given.contains(QStringLiteral("--lang")))
        o.LanguageSuffix = languageSuffix(given[QStringLiteral("--lang")]);
    if (given.contains(QStringLiteral("--decimal"))) {
        o.Decimal = given[QStringLiteral("--decimal")];
        if (o.Decimal != QLatin1String(",") && o.Decimal != QLatin1String(".")) {
            Err(QStringLiteral("--decimal erwartet \",\" oder \".\"."));
            return ExitInput;
        }
    }
    if (given.contains(QStringLiteral("--port"))) {
        o.Port = given[QStringLiteral("--port")];
        o.PortGiven = true;
    }
    if (given.contains(QStringLiteral("--protocol"))) {
        bool ok = false;
        o.Protocol = given[QStringLiteral("--protocol")].toInt(&ok);
        if (!ok || !Protocol(o.Protocol)) {
            Err(QStringLiteral("--protocol erwartet 1 bis 7."));
            return ExitInput;
        }
        o.ProtocolGiven = true;
    }
    if (given.contains(QStringLiteral("--retries"))) {
        bool ok = false;
        o.Retries = given[QStringLiteral("--retries")].trimmed().toInt(&ok);
        if (!ok || o.Retries < 0 || o.Retries > Settings::MaxRetries) {
            Err(QStringLiteral("--retries erwartet eine Zahl 0 bis %1.").arg(Settings::MaxRetries));
            return ExitInput;
        }
    }
    if (given.contains(QStringLiteral("--slave"))) {
        if (!parseAddress(given[QStringLiteral("--slave")], &o.SlaveAddress)) {
            Err(QStringLiteral("--slave erwartet eine Adresse 01-FF."));
            return ExitInput;
        }
        o.SlaveGiven = true;
    }
    if (given.contains(QStringLiteral("--own")) && !parseAddress(given[QStringLiteral("--own")], &o.OwnAddress)) {
        Err(QStringLiteral("--own erwartet eine Adresse 01-FF."));
        return ExitInput;
    }
    if (given.contains(QStringLiteral("--dial"))) {
        o.Dial = given[QStringLiteral("--dial")].trimmed();
        if (o.Dial.isEmpty() || o.Dial.contains(QLatin1Char('\r'))) {
            Err(QStringLiteral("--dial erwartet eine Rufnummer."));
            return ExitInput;
        }
    }
    if (given.contains(QStringLiteral("--init"))) {
        o.ModemInit = given[QStringLiteral("--init")].trimmed();
        if (o.Dial.isEmpty() || !o.ModemInit.startsWith(QLatin1String("AT"), Qt::CaseInsensitive)) {
            Err(QStringLiteral("--init erwartet einen Modembefehl \"AT...\" und gilt nur mit --dial."));
            return ExitInput;
        }
    }
    if (given.contains(QStringLiteral("--fbed"))) {
        o.Fbed = given[QStringLiteral("--fbed")].trimmed();
        bool ok = false;
        const uint n = o.Fbed.toUInt(&ok);
        if (o.Dial.isEmpty() || !ok || n > 0xFFFF) {
            Err(QStringLiteral("--fbed erwartet eine Zahl 0 bis 65535 und gilt nur mit --dial."));
            return ExitInput;
        }
    }
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        usage(!args.isEmpty());
        return args.isEmpty() ? ExitInput : ExitOk;
    }
    const std::string name = args.takeFirst().toStdString();
    const auto it = commands().find(name);
    if (it == commands().end()) {
        Err(QStringLiteral("Unbekannter Befehl: ") + QString::fromStdString(name));
        usage(false);
        return ExitInput;
    }
    o.Args = args;
    CliPrompter prompter;
    prompter.AnswerYes = TakeFlag(o.Args, QStringLiteral("--yes"));
    return it->second.fn(o, prompter);
}
