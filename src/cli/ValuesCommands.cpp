// mirelo-cli values / ack: the live actual-value page and the remote acknowledge, run on the
// same poller as the window's page.
#include "cli/Cli.h"
#include "cli/LinkSession.h"
#include "device/DeviceReader.h"
#include "device/ParameterFile.h"
#include "monitor/ValuePoller.h"
#include "params/FormatValue.h"
#include "params/NumberFormat.h"
#include "services/AccessLevels.h"
#include "shell/QuitSignals.h"
#include "shell/Texts.h"
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <cstdio>

namespace {

bool TakeNumber(QStringList &args, const QString &name, int min, int max, int *value, bool *bad)
{
    QString text;
    bool missing = false;
    if (!TakeOption(args, name, &text, &missing)) {
        *bad = *bad || missing;
        return false;
    }
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min || v > max) {
        *bad = true;
        return false;
    }
    *value = v;
    return true;
}

// Reads the identification straight from the device and takes the saved set instead of
// reading the whole memory. The set must come from this very device: its identification
// (program, version, date, F-number) has to match byte for byte.
int TakeSavedSet(LinkSession &session, const QString &path, CliPrompter &prompter)
{
    MainController &main = session.main;
    if (!LoadParameterFile(main.Data, path, prompter))
        return ExitInput;
    quint8 ident[DeviceReader::IdentLength] = {};
    TeleRequester requester;
    if (!session.thread.Push(&requester, TeleDone, quint8(main.Init.SlaveAddress), quint8(main.Init.OwnAddress), 5,
                             DeviceReader::IdentAddress, DeviceReader::IdentLength, ident, sizeof ident))
        return ExitLink;
    TeleReport report;
    if (!requester.Wait(&report, 30000) || !report.Ok()) {
        Err(GetText(72).section(QLatin1Char('.'), 0, 0) + QLatin1Char('.'));
        return ExitLink;
    }
    for (int k = 0; k <= 30; ++k) {
        if (ident[k] != main.Data.Geraet.IdentBlock[size_t(k)]) {
            Err(QStringLiteral("values: %1 stammt nicht von diesem Gerät.").arg(path));
            return ExitInput;
        }
    }
    main.Online = true;
    main.OfflineFile = false;
    main.ParamsLoaded = true;
    main.Data.Identified = true;
    return ExitOk;
}

// A row carries a value unless it is a heading or a label-only line.
bool CarriesValue(const TIstWert &v)
{
    bool ok = false;
    const int code = v.TypeCode.trimmed().toInt(&ok, 16);
    return ok && code != 0x00 && code != 0xF6;
}

class Output
{
public:
    bool Open(const QString &path)
    {
        if (path.isEmpty())
            return m_file.open(stdout, QIODevice::WriteOnly);
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            Err(QStringLiteral("values: %1: %2").arg(path, m_file.errorString()));
            return false;
        }
        return true;
    }
    // Each line reaches the file at once, so an interrupted run leaves only whole lines.
    bool Line(const QString &text)
    {
        const QByteArray bytes = text.toUtf8() + '\n';
        const bool ok = m_file.write(bytes) == bytes.size() && m_file.flush();
        if (!ok)
            Err(QStringLiteral("values: %1: %2").arg(m_file.fileName(), m_file.errorString()));
        return ok;
    }

private:
    QFile m_file;
};

int values(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    QString page = QStringLiteral("IstAna");
    QString outPath;
    QString paramsPath;
    bool missing = false;
    TakeOption(args, QStringLiteral("--page"), &page, &missing);
    TakeOption(args, QStringLiteral("-o"), &outPath, &missing);
    TakeOption(args, QStringLiteral("--params"), &paramsPath, &missing);
    bool bad = missing;
    int count = 1;
    int interval = 1000;
    TakeNumber(args, QStringLiteral("--count"), 0, 1000000, &count, &bad);
    TakeNumber(args, QStringLiteral("--interval"), 50, 3600000, &interval, &bad);
    int timeout = TTeleThread::ReadTimeoutMs;
    TakeNumber(args, QStringLiteral("--timeout"), 0, 60000, &timeout, &bad);
    const bool csv = TakeFlag(args, QStringLiteral("--csv"));
    if (bad || !args.isEmpty()) {
        Err(bad ? QStringLiteral("values: --count erwartet 0.., --interval 50.. und --timeout 0..60000 "
                                 "Millisekunden, --page, -o und --params einen Wert.")
                : QStringLiteral("values: unerwartetes Argument ") + args.first());
        return ExitInput;
    }
    if (!FindValuePage(page)) {
        QStringList codes;
        for (const ValuePageInfo &p : ValuePages())
            codes << p.Code;
        Err(QStringLiteral("values: unbekannte Seite %1 (bekannt: %2).").arg(page, codes.join(QLatin1Char(' '))));
        return ExitInput;
    }
    if (!o.Decimal.isEmpty())
        SetDecimalSeparator(o.Decimal.at(0));

    LinkSession session(o, prompter, timeout);
    MainController &main = session.main;
    if (!session.OpenWithProtocol())
        return ExitLink;
    if (paramsPath.isEmpty()) {
        DeviceReader reader(main, nullptr);
        if (!LinkSession::Read(reader))
            return ExitLink;
    } else if (const int rc = TakeSavedSet(session, paramsPath, prompter); rc != ExitOk) {
        return rc;
    }
    Texts::SetDeviceTypeForTexts(main.Data.State.DeviceType);

    Output out;
    if (!out.Open(outPath))
        return ExitInput;
    TFormatter formatter(main.Data, &prompter);
    ValuePoller poller(main, formatter, nullptr);
    poller.SetInterval(interval);
    QEventLoop loop;
    int rc = ExitOk;
    int polls = 0;
    bool headed = false;
    QObject::connect(&poller, &ValuePoller::PageBuilt, &loop, [&] {
        const DeviceData &d = main.Data;
        const BuiltPage &p = poller.Page();
        if (!poller.Definition().Complete) {
            rc = ExitInput; // the definition reader has said why
            loop.quit();
            return;
        }
        const QString time = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
        bool ok = true;
        if (csv) {
            QStringList cells{QStringLiteral("Zeit")};
            if (!headed) {
                for (int r = 0; r < d.Values.Count(); ++r)
                    if (CarriesValue(d.Values.Item(r)))
                        cells << RowHeading(d.Values.ItemText(r));
                ok = out.Line(cells.join(QLatin1Char(';')));
                headed = true;
            }
            cells = QStringList{time};
            for (int r = 0; r < d.Values.Count() && r < p.Cells.size(); ++r)
                if (CarriesValue(d.Values.Item(r)))
                    cells << p.Cells[r].value(0).trimmed();
            ok = ok && out.Line(cells.join(QLatin1Char(';')));
        } else {
            ok = out.Line(time);
            for (const QStringList &row : p.Cells) {
                const QString line = row.join(QLatin1Char(' ')).trimmed();
                if (ok && !line.isEmpty())
                    ok = out.Line(QStringLiteral("  ") + row.join(QLatin1Char(' ')));
            }
        }
        if (!ok)
            rc = ExitInput;
        if (!ok || (count > 0 && ++polls >= count))
            loop.quit();
    });
    QObject::connect(&poller, &ValuePoller::PollFailed, &loop, [&] {
        rc = ExitLink;
        loop.quit();
    });
    QuitSignals quit;
    QObject::connect(&quit, &QuitSignals::Received, &loop, [&] { loop.quit(); });
    // Chosen from the running loop: a page that ends at once (a broken definition) can quit it.
    QTimer::singleShot(0, &loop, [&] {
        poller.ChoosePage(page);
        // Nothing asked and nothing shown: the link was already lost (reported).
        if (!poller.InFlight() && !poller.TimerActive() && rc == ExitOk && polls == 0) {
            rc = ExitLink;
            loop.quit();
        }
    });
    loop.exec();
    poller.CloseValues();
    if (rc == ExitLink)
        Err(QStringLiteral("values: Das Gerät antwortet nicht mehr."));
    return rc;
}

int ack(const CliOptions &o, CliPrompter &prompter)
{
    QStringList args = o.Args;
    QString password;
    bool missing = false;
    if (!TakeOption(args, QStringLiteral("--password"), &password, &missing) || !args.isEmpty()) {
        Err(args.isEmpty() || missing ? QStringLiteral("ack: --password PW fehlt.")
                                      : QStringLiteral("ack: unerwartetes Argument ") + args.first());
        return ExitInput;
    }
    LinkSession session(o, prompter);
    MainController &main = session.main;
    DeviceReader reader(main, nullptr);
    if (!session.OpenAndRead(reader))
        return ExitLink;
    session.Identify(password);
    if (!MayAcknowledge(main.Access.Level)) {
        Err(QStringLiteral("ack: Die Quittierung ist mit dieser Berechtigung nicht erlaubt."));
        return ExitInput;
    }
    TFormatter formatter(main.Data, &prompter);
    ValuePoller poller(main, formatter, nullptr);
    QEventLoop loop;
    bool done = false;
    bool ok = false;
    QObject::connect(&poller, &ValuePoller::Acknowledged, &loop, [&](bool good) {
        done = true;
        ok = good;
        loop.quit();
    });
    if (!poller.RemoteAcknowledge())
        return ExitLink;
    if (!done)
        loop.exec();
    return ok ? ExitOk : ExitLink;
}

CommandRegistrar regValues("values",
                           "values [--page CODE] [--count N] [--interval MS] [--csv] [-o DATEI] [--params DATEI] [--timeout MS]  "
                           "Istwerte abfragen",
                           &values);
CommandRegistrar regAck("ack", "ack --password PW  Alarme fernquittieren", &ack);
} // namespace
