#include "SimOptions.h"
#include "SimCoupler.h"

#include "SimDevice.h"
#include "SimLive.h"
#include "SimModem.h"
#include "device/DeviceData.h"
#include "device/ParameterFile.h"
#include "shell/Prompter.h"

namespace {

bool parseHex(QString text, int *value)
{
    text = text.trimmed();
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    else if (text.startsWith(QLatin1Char('$')))
        text = text.mid(1);
    bool ok = false;
    const uint v = text.toUInt(&ok, 16);
    if (!ok || v > 0x7FFFFFFF)
        return false;
    *value = int(v);
    return true;
}

} // namespace

bool ParseSimNumber(const QString &input, int *value)
{
    QString text = input.trimmed();
    if (text.isEmpty())
        return false;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) || text.startsWith(QLatin1Char('$')))
        return parseHex(text, value);
    if (text.endsWith(QLatin1Char('h'), Qt::CaseInsensitive))
        return parseHex(text.left(text.size() - 1), value);
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (ok) {
        if (v < 0)
            return false;
        *value = v;
        return true;
    }
    return parseHex(text, value);
}

QString SimUsage()
{
    return QStringLiteral(
        "usage: mirelo-sim [--device FILE.ext] [--base HEX] [--data DIR] [--pty LINKPATH] [--slave ADDR] [--handshake]\n"
        "                  [--pace BAUD] [--fault KIND:RATE ...] [--seed N] [--log] [--refuse CODE:BYTE ...]\n"
        "                  [--baud BAUD] [--coupler PELK|DROS] [--alarm N ...] [--alarm-period SECONDS]\n"
        "  --device FILE   parameter file loaded into the device memory (default: samples/demo.202 of the data folder)\n"
        "  --base HEX      device address of the file's image (default: the base page of the model's definition,\n"
        "                  0800 when it has none)\n"
        "  --baud BAUD     answer only when the line is set to BAUD (default: any speed)\n"
        "  --coupler KIND  a PELK or DROS data coupler answers at slave address 0xFE; it talks at\n"
        "                  --baud and moves to the speed its configuration names on a take-over\n"
        "  --data DIR      data folder\n"
        "  --pty LINKPATH  serve on a new pseudo-terminal, LINKPATH a symbolic link to it (default: stdin/stdout)\n"
        "  --slave ADDR    own slave address, hexadecimal with 0x, $ or h, else decimal (default 0xAE)\n"
        "  --handshake     send each answer byte after the previous one has been echoed\n"
        "  --pace BAUD     take and send bytes no faster than a line at BAUD (10 bits a byte)\n"
        "  --fault KIND:RATE  inject faults with a chance 0..1 per telegram; KIND is noecho, badecho, silence,\n"
        "                  wrongaddr, truncate, nosum, badsum, refuse (refuse:RATE:BYTE), short, garbage\n"
        "  --seed N        seed of the fault generator and of the live values (default 1)\n"
        "  --alarm N       alarm N of the alarm page is pending at start (repeatable)\n"
        "  --alarm-period SECONDS  one alarm comes every SECONDS (default 240, 0: none)\n"
        "  --converter ADDR:OFFSET:GAIN  raw value of the converter channel at ADDR (hex) is\n"
        "                  OFFSET + GAIN x applied signal (controllers; repeatable)\n"
        "  --log           traffic on stderr\n"
        "  --refuse CODE:BYTE  answer every request with function CODE with the refusal BYTE (hexadecimal)\n"
        "  --mode-not-off  the operating mode is not OFF: every write (codes 4, 20) is refused with F4\n"
        "  --locked        parametrisation locked: every write (codes 4, 20) is refused with F5\n"
        "  --ulva C:OFFSET:GAIN[:SIGNAL]  ULVA module: channel C (1..16) converts raw = OFFSET + GAIN * signal\n"
        "  --modem         a Hayes-style modem in front of the device (AT commands, ATD, +++, ATH)\n"
        "  --modem-dial R  its answer to dialling: connect (CONNECT 9600), busy, no-carrier, no-answer, silent\n"
        "  --modem-guard MS  escape guard time in milliseconds (default 1000)\n"
        "  --modem-drop N  the carrier is lost after N bytes of a connection (NO CARRIER)\n"
        "  --fbed N        the device takes only the FBED number N (code 26; default: any)\n"
        "  --zuvi          fill an empty ZuviDezar block (recipients, prefix, SMS centres, alarms)\n");
}

bool ParseSimOptions(const QStringList &args, SimOptions *o, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        bool inlineValue = false;
        const int eq = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && eq > 0) {
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
            inlineValue = true;
        }
        auto takeValue = [&](QString *out) {
            if (inlineValue) {
                *out = value;
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            *out = args[++i];
            return true;
        };
        static const QStringList withValue = {
            QStringLiteral("--device"), QStringLiteral("--base"), QStringLiteral("--data"),
            QStringLiteral("--pty"), QStringLiteral("--slave"), QStringLiteral("--pace"),
            QStringLiteral("--fault"), QStringLiteral("--seed"), QStringLiteral("--refuse"),
            QStringLiteral("--baud"), QStringLiteral("--coupler"), QStringLiteral("--alarm"),
            QStringLiteral("--alarm-period"), QStringLiteral("--converter"), QStringLiteral("--ulva"),
            QStringLiteral("--modem-dial"), QStringLiteral("--modem-guard"), QStringLiteral("--modem-drop"),
            QStringLiteral("--fbed")};
        if (withValue.contains(arg)) {
            if (!takeValue(&value))
                return fail(arg + QStringLiteral(" needs a value"));
        } else if (inlineValue) {
            return fail(arg + QStringLiteral(" takes no value"));
        }

        if (arg == QLatin1String("--device")) {
            o->device = value;
        } else if (arg == QLatin1String("--base")) {
            if (!parseHex(value, &o->base) || o->base > 0xFFFF)
                return fail(QStringLiteral("--base: \"%1\" is not a hexadecimal address 0..FFFF").arg(value));
            o->baseGiven = true;
        } else if (arg == QLatin1String("--baud")) {
            bool ok = false;
            o->baud = value.toInt(&ok);
            if (!ok || o->baud <= 0)
                return fail(QStringLiteral("--baud: \"%1\" is not a baud rate").arg(value));
        } else if (arg == QLatin1String("--coupler")) {
            o->coupler = value.trimmed().toUpper();
            if (o->coupler != QLatin1String("PELK") && o->coupler != QLatin1String("DROS"))
                return fail(QStringLiteral("--coupler: \"%1\" is neither PELK nor DROS").arg(value));
        } else if (arg == QLatin1String("--modem")) {
            o->modem = true;
        } else if (arg == QLatin1String("--modem-dial")) {
            SimModem::DialResult r;
            if (!SimModem::parseDialResult(value, &r))
                return fail(QStringLiteral("--modem-dial: \"%1\" is not connect, busy, no-carrier, no-answer or silent").arg(value));
            o->modemDial = value.trimmed().toLower();
            o->modem = true;
        } else if (arg == QLatin1String("--modem-guard") || arg == QLatin1String("--modem-drop") ||
                   arg == QLatin1String("--fbed")) {
            bool ok = false;
            const int v = value.toInt(&ok);
            const int limit = arg == QLatin1String("--fbed") ? 0xFFFF : 100000000;
            if (!ok || v < 0 || v > limit)
                return fail(arg + QStringLiteral(": \"%1\" is not a number 0..%2").arg(value).arg(limit));
            if (arg == QLatin1String("--fbed")) {
                o->fbed = v;
            } else {
                (arg == QLatin1String("--modem-guard") ? o->modemGuardMs : o->modemDropAfter) = v;
                o->modem = true;
            }
        } else if (arg == QLatin1String("--data")) {
            o->dataDir = value;
        } else if (arg == QLatin1String("--pty")) {
            if (value.isEmpty())
                return fail(QStringLiteral("--pty needs a path"));
            o->ptyLink = value;
        } else if (arg == QLatin1String("--slave")) {
            if (!ParseSimNumber(value, &o->slave) || o->slave > 0xFF)
                return fail(QStringLiteral("--slave: \"%1\" is not an address 0..255").arg(value));
        } else if (arg == QLatin1String("--handshake")) {
            o->handshake = true;
        } else if (arg == QLatin1String("--pace")) {
            bool ok = false;
            o->pace = value.toInt(&ok);
            if (!ok || o->pace <= 0)
                return fail(QStringLiteral("--pace: \"%1\" is not a baud rate").arg(value));
        } else if (arg == QLatin1String("--fault")) {
            o->faults << value;
            // "--fault a:0.1 b:0.2": further values up to the next option.
            while (!inlineValue && i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--")))
                o->faults << args[++i];
        } else if (arg == QLatin1String("--seed")) {
            bool ok = false;
            o->seed = value.toUInt(&ok);
            if (!ok)
                return fail(QStringLiteral("--seed: \"%1\" is not a number").arg(value));
        } else if (arg == QLatin1String("--log")) {
            o->log = true;
        } else if (arg == QLatin1String("--refuse")) {
            const int colon = value.indexOf(QLatin1Char(':'));
            int code = 0;
            int byte = 0;
            if (colon < 0 || !ParseSimNumber(value.left(colon), &code) || code > 0xFF
                || !parseHex(value.mid(colon + 1), &byte) || byte > 0xFF)
                return fail(QStringLiteral("--refuse: \"%1\" is not CODE:BYTE").arg(value));
            o->refusals.emplace_back(code, byte);
        } else if (arg == QLatin1String("--alarm")) {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < 1)
                return fail(QStringLiteral("--alarm: \"%1\" is not an alarm number 1..").arg(value));
            o->alarms.push_back(n);
        } else if (arg == QLatin1String("--alarm-period")) {
            bool ok = false;
            o->alarmPeriod = value.toInt(&ok);
            if (!ok || o->alarmPeriod < 0)
                return fail(QStringLiteral("--alarm-period: \"%1\" is not a number of seconds").arg(value));
        } else if (arg == QLatin1String("--converter")) {
            o->converters << value;
        } else if (arg == QLatin1String("--ulva")) {
            o->ulva << value;
        } else if (arg == QLatin1String("--mode-not-off")) {
            o->modeNotOff = true;
        } else if (arg == QLatin1String("--locked")) {
            o->locked = true;
        } else if (arg == QLatin1String("--zuvi")) {
            o->zuvi = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            o->help = true;
        } else {
            return fail(QStringLiteral("unknown argument \"%1\"").arg(arg));
        }
    }
    return true;
}

bool ApplySimOptions(const SimOptions &o, SimDevice &device, QString *error)
{
    device.setSlaveAddress(quint8(o.slave));
    device.setHandshake(o.handshake);
    device.setBaud(o.baud);
    device.setCoupler(o.coupler);
    device.setCouplerHook(nullptr);
    // The coupler talks to the PC at --baud (any speed until its first take-over without it).
    if (!o.coupler.isEmpty())
        SimCoupler::attach(device, o.coupler, o.baud);
    device.setSeed(o.seed);
    if (o.fbed >= 0)
        AttachSimFbed(device, o.fbed);
    device.clearFaults();
    for (const QString &f : o.faults) {
        if (!device.addFault(f, error))
            return false;
    }
    for (const auto &r : o.refusals)
        device.setRefusal(quint8(r.first), quint8(r.second));
    // The operating mode is checked before the lock: a device that is running says so first.
    for (quint8 code : {quint8(4), quint8(20)}) {
        if (o.locked)
            device.setRefusal(code, 0xF5);
        if (o.modeNotOff)
            device.setRefusal(code, 0xF4);
    }
    return true;
}

bool ApplySimLiveOptions(const SimOptions &o, SimDevice &device, QString *error)
{
    const std::shared_ptr<SimLive> &live = device.live();
    if (!live) {
        if (o.alarms.empty())
            return true;
        if (error)
            *error = QStringLiteral("--alarm: the device has no actual-value pages");
        return false;
    }
    live->setSeed(o.seed);
    live->setAlarmPeriod(o.alarmPeriod);
    for (int n : o.alarms)
        if (!live->setAlarm(n, error))
            return false;
    return true;
}

bool SimDefinitionBase(const QString &path, int *base, QString *error)
{
    DeviceData d;
    SilentPrompter quiet;
    LoadParameterFile(d, path, quiet);
    // The parameters need not be complete: the base page is all that is wanted here.
    if (!d.Def.DefinitionLoaded) {
        if (error)
            *error = QStringLiteral("%1: no definition of its model found").arg(path);
        return false;
    }
    *base = d.State.ImageBase;
    return true;
}

SimModem::Options SimModemOptions(const SimOptions &o)
{
    SimModem::Options m;
    SimModem::parseDialResult(o.modemDial, &m.dial);
    m.guard = std::chrono::milliseconds(o.modemGuardMs);
    m.dropAfterBytes = o.modemDropAfter;
    return m;
}
