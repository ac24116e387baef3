#include "link/ProtocolSearch.h"
#include "link/Protocol.h"
#include "link/TeleThread.h"
#include "shell/AnsiCodec.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QTimer>

namespace {
const QString kAction = QStringLiteral("ProtokollSuchen");
} // namespace

const ProtocolSearch::Probe *ProtocolSearch::ProbeOf(int protocol)
{
    static const Probe kProbes[LastProtocol] = {
        {QStringLiteral("9600"), false, 0xFE, 32}, // data coupler identification
        {QStringLiteral("2400"), false, 0xAE, 4},
        {QStringLiteral("2400"), false, 0x70, 4},
        {QStringLiteral("9600"), false, 0xAE, 4},
        {QStringLiteral("9600"), true, 0xAE, 4},
    };
    return protocol >= FirstProtocol && protocol <= LastProtocol ? &kProbes[protocol - 1] : nullptr;
}

ProtocolSearch::ProtocolSearch(MainController &main, QObject *parent) : QObject(parent), m_main(main)
{
    m_main.RegisterAction(kAction, [this](const TeleReport &report) {
        // A late report of a search that has ended (or was never started here) is not ours.
        if (m_cancelled)
            Finish(false, true);
        else if (m_running)
            Step(2, report);
    });
}

ProtocolSearch::~ProtocolSearch()
{
    ++m_generation;
    m_main.RegisterAction(kAction, nullptr);
}

bool ProtocolSearch::ChooseProtocol(MainController &main, int entry)
{
    const ProtocolEntry *p = Protocol(entry);
    if (!p)
        return false;
    main.Init.BaudText = p->Baud;
    if (main.Thread())
        main.Thread()->SetPort(main.Init.PortName, p->Baud);
    SetHandshake(p->Handshake);
    main.Settings.Handshake = p->Handshake;
    main.WorkImage[TelePos::Slave] = quint8(ProtocolSlave(entry, main.Init.SlaveAddress));
    main.Settings.Protocol = p->StoredNumber;
    return true;
}

QString ProtocolSearch::CouplerText(const tyTelegramm &image)
{
    QString text = QStringLiteral("\r");
    for (int pos = 22; pos <= 31; ++pos)
        text += Ansi::fromByte(image[pos]);
    text += QStringLiteral("Version ") + QString::number(image[33]) + QStringLiteral(" / ") +
            QString::number(image[35]) + QLatin1Char('.') + QString::number(image[36]);
    return text;
}

void ProtocolSearch::Start()
{
    // Another speed or address would cut the modem off from the device it is connected to.
    if (m_main.ModemOnline) {
        m_main.UserPrompter().information(GetText(730));
        return;
    }
    ++m_generation;
    m_running = true;
    m_cancelled = false;
    m_protocol = FirstProtocol;
    Step(1);
}

void ProtocolSearch::Cancel()
{
    if (!m_running || m_cancelled)
        return;
    if (m_probeOut) {
        // The probe on the line ends at once with its failure report, which ends the
        // search: nothing stays queued or pending behind it.
        m_cancelled = true;
        if (m_main.Thread())
            m_main.Thread()->Abort();
        return;
    }
    Finish(false, true);
}

void ProtocolSearch::LogStep(int step)
{
    emit m_main.LogLine(QStringLiteral("D"),
                        QStringLiteral("ProtokollSuchen ") + QString::number(m_protocol) + QLatin1Char(',') +
                            QString::number(step));
    m_main.LinkBusy = false;
    m_main.SetPendingAction(kAction);
}

void ProtocolSearch::Step(int step, const TeleReport &report)
{
    const Probe *probe = ProbeOf(m_protocol);
    if (!probe || !m_running)
        return;
    LogStep(step);
    if (step == 1) {
        const QString trying = m_protocol == 1 ? GetText(103) : GetText(73) + QString::number(m_protocol);
        emit m_main.StatusText(4, trying);
        emit m_main.ProgressShown(GetText(431) + QStringLiteral(": ") + Protocol(m_protocol)->Caption.trimmed(),
                                  FirstProtocol - 1, LastProtocol, m_protocol - 1);
        m_main.Settings.Protocol = m_protocol;
        m_main.Init.BaudText = probe->Baud;
        if (m_main.Thread())
            m_main.Thread()->SetPort(m_main.Init.PortName, probe->Baud);
        SetHandshake(probe->Handshake);
        m_main.Settings.Handshake = probe->Handshake;
        m_main.Init.SlaveAddress = probe->SlaveAddress;
        // The thread keeps the probe queued while it reopens the port at the new speed.
        const int generation = m_generation;
        if (m_protocol == 4 && m_protocol4WaitMs > 0)
            QTimer::singleShot(m_protocol4WaitMs, this, [this, generation] { SendProbe(generation); });
        else
            SendProbe(generation);
        return;
    }
    m_probeOut = false;

    Prompter &prompter = m_main.UserPrompter();
    switch (m_protocol) {
    case 1: {
        // A success report alone does not prove a coupler: the answer at 0xFE must carry
        // a coupler's name. Anything else answering there (or an empty answer) is not one.
        const QString text = CouplerText(m_main.WorkImage);
        const bool dros = text.contains(QLatin1String("DROS"));
        const bool pelk = text.contains(QLatin1String("PELK"));
        if (!report.Ok() || (!dros && !pelk)) {
            NextProtocol();
            return;
        }
        if (dros)
            prompter.information(GetText(102) + text + QStringLiteral(".200") +
                                 QString::number(m_main.WorkImage[37]));
        if (pelk)
            prompter.information(GetText(153) + text + QStringLiteral(".19") + QString::number(m_main.WorkImage[37]));
        emit m_main.ProgressHidden();
        emit m_main.StatusText(4, QString());
        End(true);
        return;
    }
    case 2:
    case 3:
    case 4:
        if (!report.Ok()) {
            NextProtocol();
            return;
        }
        prompter.information(GetText(62) + QLatin1Char('\r') + Protocol(m_protocol)->Caption);
        emit m_main.StatusText(4, QString());
        End(true);
        return;
    default:
        if (report.Ok())
            prompter.information(GetText(62) + QLatin1Char('\r') + Protocol(m_protocol)->Caption);
        else
            prompter.information(GetText(71));
        emit m_main.ProgressHidden();
        emit m_main.StatusText(4, QString());
        End(report.Ok());
        return;
    }
}

void ProtocolSearch::SendProbe(int generation)
{
    if (generation != m_generation || !m_running)
        return;
    const Probe *probe = ProbeOf(m_protocol);
    m_probeOut = m_main.Push(5, 0x0030, probe->Count, TeleDone, probe->SlaveAddress, m_main.Init.OwnAddress);
    if (!m_probeOut) {
        // Refused (no line, queue full): no report will come, so count it as a failed probe.
        TeleReport failed;
        failed.wParam = quint32(255) << 16;
        QTimer::singleShot(0, this, [this, generation, failed] {
            if (generation == m_generation && m_running)
                Step(2, failed);
        });
    }
}

void ProtocolSearch::NextProtocol()
{
    ++m_protocol;
    const int generation = m_generation;
    QTimer::singleShot(m_pauseMs, this, [this, generation] {
        if (generation == m_generation && m_running)
            Step(1);
    });
}

void ProtocolSearch::Finish(bool found, bool cancelled)
{
    if (cancelled) {
        m_probeOut = false;
        m_cancelled = false;
        ++m_generation;
        emit m_main.ProgressHidden();
        emit m_main.StatusText(4, GetText(430));
        emit m_main.LogLine(QStringLiteral("D"), GetText(430));
    }
    End(found);
}

void ProtocolSearch::End(bool found)
{
    m_running = false;
    emit m_main.ProgressHidden();
    // The search is over: nothing is pending any more (a success report leaves the pending
    // action set, which would route the next unrelated report back here).
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    emit Finished(m_protocol, found);
}
