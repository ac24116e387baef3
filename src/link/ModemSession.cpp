#include "link/ModemSession.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"
#include <algorithm>

namespace {
const QString kModemTest = QStringLiteral("ModemTest");
const QString kIdentFbed = QStringLiteral("IdentFBED");
constexpr quint32 kModemFlags = 0x0871;
constexpr int kImagePos = 22;
constexpr quint8 kFbedAccepted = 0x9A;
constexpr quint8 kFbedRefused = 0xF5;
// How long DTR stays down when the modem did not hang up on "ATH".
constexpr int kDtrDropMs = 500;
} // namespace

ModemSession::ModemSession(MainController &main, QObject *parent) : QObject(parent), m_main(main)
{
    m_poll.setInterval(100);
    connect(&m_poll, &QTimer::timeout, this, &ModemSession::PollAnswers);
    m_awaitTimer.setSingleShot(true);
    connect(&m_awaitTimer, &QTimer::timeout, this, [this] {
        PollAnswers(); // an answer that has just come in still counts
        if (m_await != Await::None)
            EndAwait(false, QString(), true);
    });
    m_hangTimer.setSingleShot(true);
    connect(&m_hangTimer, &QTimer::timeout, this, &ModemSession::HangStep);
    connect(&m_main, &MainController::StateChanged, this, [this] {
        // A device read while the carrier is on was identified over this connection; one
        // shown before (read directly, or from a file) was not.
        if (m_main.Online && !m_wasOnline && m_main.ModemOnline && !m_main.OfflineFile)
            m_readOverLink = true;
        if (!m_main.Online || m_main.OfflineFile)
            m_readOverLink = false;
        m_wasOnline = m_main.Online;
        CheckOrderNumber();
    });
}

ModemSession::~ModemSession()
{
    if (m_thread) {
        m_thread->OnCTS = m_thread->OnDSR = m_thread->OnRing = m_thread->OnDCD = nullptr;
        m_thread->OnRTS = m_thread->OnDTR = nullptr;
    }
}

void ModemSession::Attach(TTeleThread *thread)
{
    m_thread = thread;
    if (!thread)
        return;
    // The thread keeps RTS and DTR on until told otherwise; the port may have opened before
    // the hooks were in place.
    m_lines[RTS] = m_lines[DTR] = true;
    // The input lines come in the GUI thread, RTS and DTR also from the worker when it
    // opens the port: each is handed to this object's thread.
    auto hook = [this](Line line) {
        return [this, line](bool on) {
            QMetaObject::invokeMethod(this, [this, line, on] { OnLine(line, on); }, Qt::AutoConnection);
        };
    };
    thread->OnDCD = hook(DCD);
    thread->OnDSR = hook(DSR);
    thread->OnRing = hook(RI);
    thread->OnCTS = hook(CTS);
    thread->OnRTS = hook(RTS);
    thread->OnDTR = hook(DTR);
}

void ModemSession::OnLine(Line line, bool on)
{
    m_lines[line] = on;
    emit LineChanged(line, on);
    if (line == DCD)
        SetCarrier(on);
}

void ModemSession::SetCarrier(bool on)
{
    const bool changed = m_main.ModemOnline != on;
    m_main.ModemOnline = on;
    if (!on) {
        m_readOverLink = false;
        SetFbed(false);
        if (m_hangStep != 0)
            EndHangUp(true);
    } else if (m_await == Await::Dial) {
        EndAwait(true, QStringLiteral("CONNECT"), false);
    }
    if (changed) {
        Log(on ? QStringLiteral("DCD On Line") : QStringLiteral("DCD Off Line"));
        emit OnlineChanged(on);
        m_main.UpdateMenus();
    }
}

void ModemSession::CheckOrderNumber()
{
    if (!m_main.ModemOnline || !m_readOverLink || m_main.Access.FbedAccepted)
        return;
    const int order = m_main.Data.OrderNumber;
    const auto &orders = m_main.Settings.OrderNumbers;
    if (order != 0 && std::find(orders.begin(), orders.end(), order) != orders.end())
        SetFbed(true);
}

void ModemSession::SetFbed(bool on)
{
    if (m_main.Access.FbedAccepted == on)
        return;
    m_main.Access.FbedAccepted = on;
    emit FbedChanged(on);
    m_main.UpdateMenus();
}

void ModemSession::Log(const QString &text) { emit m_main.LogLine(QStringLiteral("D"), text); }

bool ModemSession::LineIdle() const
{
    return m_thread && m_thread->PortOpen() && m_thread->Idle() && !m_main.LinkBusy && m_hangStep == 0 &&
           m_stepName.isEmpty();
}

bool ModemSession::SendCommand(ModemText::Mode mode, const QString &line)
{
    const QByteArray bytes = ModemText::CommandBytes(mode, line);
    if (bytes.isEmpty())
        return false;
    if (!LineIdle()) {
        m_main.UserPrompter().warning(GetText(724));
        return false;
    }
    // What the modem said before belongs to earlier commands, not to this one.
    const Await waiting = m_await;
    m_await = Await::None;
    PollAnswers();
    m_await = waiting;
    m_splitter.Clear();
    for (char c : bytes) {
        if (!m_thread->WriteByte(quint8(c))) {
            m_main.UserPrompter().error(GetText(728));
            return false;
        }
    }
    Log(QStringLiteral("Modem: ") + QString::fromLatin1(bytes).trimmed());
    if (bytes.startsWith("AT")) {
        m_await = mode == ModemText::Mode::Dial ? Await::Dial : Await::Command;
        m_awaitTimer.start(m_await == Await::Dial ? m_dialTimeoutMs : m_answerTimeoutMs);
        m_poll.start();
    }
    return true;
}

void ModemSession::RememberShown() { m_shown = m_main.Settings.Modem; }

QString ModemSession::InitOffer() const
{
    const QString *s = ModemText::InitStringFor(m_main.Init.BaudText, m_main.Settings.Modem);
    return s ? *s : QString();
}

bool ModemSession::Enter(ModemText::Mode mode, const QString &line)
{
    auto keep = [this](QString &inUse, const QString &shown, QString &toSave, const QString &value) {
        inUse = value;
        if (value != shown && m_main.UserPrompter().question(GetText(149) + QLatin1Char('?')))
            toSave = value;
    };
    // An empty line sends nothing and keeps every string as it is.
    if (line.isEmpty())
        return false;
    ModemStrings &use = m_main.Settings.Modem;
    ModemStrings &save = m_main.Settings.ModemToSave;
    switch (mode) {
    case ModemText::Mode::Dial:
        keep(use.LastManualNumber, m_shown.LastManualNumber, save.LastManualNumber, line);
        return SendCommand(mode, line);
    case ModemText::Mode::Init: {
        QString *slot = ModemText::InitStringFor(m_main.Init.BaudText, use);
        if (!slot)
            return false;
        keep(*slot, *ModemText::InitStringFor(m_main.Init.BaudText, m_shown), *ModemText::InitStringFor(m_main.Init.BaudText, save),
             line);
        return SendCommand(mode, line);
    }
    case ModemText::Mode::Command:
        return SendCommand(mode, line);
    case ModemText::Mode::None:
        break;
    }
    return false;
}

bool ModemSession::Dial(const QString &number)
{
    return !number.trimmed().isEmpty() && SendCommand(ModemText::Mode::Dial, number.trimmed());
}

void ModemSession::SetWatching(bool on)
{
    m_watching = on;
    if (on)
        m_poll.start();
    else if (m_await == Await::None && m_hangStep == 0)
        m_poll.stop();
}

void ModemSession::PollAnswers()
{
    const QString text = ReceivedText::Take();
    if (text.isEmpty())
        return;
    emit AnswerText(text);
    for (const QString &line : m_splitter.Add(text))
        OnAnswerLine(line);
}

void ModemSession::OnAnswerLine(const QString &line)
{
    const ModemText::Answer a = ModemText::Classify(line);
    if (m_await == Await::Dial) {
        if (a == ModemText::Answer::Connect)
            EndAwait(true, line, false);
        else if (ModemText::EndsDialling(a))
            EndAwait(false, line, false);
    } else if (m_await == Await::Command) {
        if (a == ModemText::Answer::Ok || a == ModemText::Answer::Connect)
            EndAwait(true, line, false);
        else if (a == ModemText::Answer::Error)
            EndAwait(false, line, false);
    }
}

void ModemSession::EndAwait(bool ok, const QString &answer, bool timedOut)
{
    const Await was = m_await;
    m_await = Await::None;
    m_awaitTimer.stop();
    if (!m_watching && m_hangStep == 0)
        m_poll.stop();
    if (!ok)
        m_main.UserPrompter().warning(timedOut ? GetText(721) : GetText(722).arg(answer));
    if (was == Await::Dial)
        emit DialEnded(ok, answer);
    else if (was == Await::Command)
        emit CommandEnded(ok, answer);
}

bool ModemSession::HangUp()
{
    if (!m_main.ModemOnline || m_hangStep != 0)
        return false;
    if (!LineIdle()) {
        m_main.UserPrompter().warning(GetText(724));
        return false;
    }
    // The modem takes "+++" as the way back to its commands only after a quiet line; the
    // values and the clock hold their requests meanwhile.
    m_main.LinkBusy = true;
    m_hangBusy = true;
    m_main.UpdateMenus();
    m_hangStep = 1;
    m_hangTimer.start(m_guardMs);
    return true;
}

void ModemSession::HangStep()
{
    auto write = [this](const char *text) {
        for (const char *p = text; *p; ++p)
            if (!m_thread || !m_thread->WriteByte(quint8(*p)))
                return false;
        return true;
    };
    switch (m_hangStep) {
    case 1:
        if (m_thread && !m_thread->Idle()) {
            m_hangTimer.start(m_guardMs); // a request still ran: the line must be quiet again
            return;
        }
        if (!write("+++"))
            return EndHangUp(false);
        m_hangStep = 2;
        m_hangTimer.start(m_escapeWaitMs);
        return;
    case 2:
        if (!write("ATH\r"))
            return EndHangUp(false);
        m_hangStep = 3;
        m_hangTimer.start(m_dropWaitMs);
        return;
    case 3:
        // Still a carrier: a modem hangs up when DTR drops.
        Log(QStringLiteral("Modem: DTR aus"));
        if (m_thread)
            m_thread->SetDTR(false);
        m_hangStep = 4;
        m_hangTimer.start(kDtrDropMs);
        return;
    case 4:
        if (m_thread)
            m_thread->SetDTR(true);
        m_hangStep = 5;
        m_hangTimer.start(kDtrDropMs);
        return;
    default:
        EndHangUp(!m_lines[DCD]);
        return;
    }
}

void ModemSession::EndHangUp(bool gone)
{
    const int step = m_hangStep;
    m_hangStep = 0;
    m_hangTimer.stop();
    if (step == 4 && m_thread)
        m_thread->SetDTR(true);
    if (m_hangBusy) {
        m_hangBusy = false;
        m_main.LinkBusy = false;
        m_main.UpdateMenus();
    }
    if (!m_watching && m_await == Await::None)
        m_poll.stop();
    if (!gone)
        m_main.UserPrompter().warning(GetText(723));
    emit HungUp(gone);
}

bool ModemSession::ChangeBaud(const QString &baud)
{
    if (!LineIdle()) {
        m_main.UserPrompter().warning(GetText(724));
        return false;
    }
    m_thread->SetPort(QString(), baud);
    m_main.Init.BaudText = baud;
    return true;
}

bool ModemSession::PushOwn(quint8 code, quint32 address, quint8 count, int pos)
{
    if (m_thread && m_thread->Push(this, TeleDone, quint8(m_main.SlaveForRequest()), m_main.Init.OwnAddress, code,
                                   address, count, m_image.At(pos), tyTelegramm::Capacity(pos)))
        return true;
    // Never queued: no report will come, so nothing may wait for one.
    m_step = 0;
    m_stepName.clear();
    return false;
}

void ModemSession::ModemTest()
{
    if (m_step != 0 || !m_stepName.isEmpty())
        return;
    m_step = 1;
    m_stepName = kModemTest;
    if (!m_main.ModemOnline) {
        PushOwn(23, 0, 0, kImagePos);
        return;
    }
    // Over a connected modem the controller is asked at once.
    m_step = 2;
    PushOwn(5, kModemFlags, 2, kImagePos);
}

void ModemSession::StepModemTest(const TeleReport &report)
{
    if (!report.Ok()) {
        // Silent end; the next click starts from the beginning.
        m_step = 0;
        m_stepName.clear();
        return;
    }
    if (m_step == 1) {
        m_step = 2;
        PushOwn(5, kModemFlags, 2, kImagePos);
        return;
    }
    m_step = 0;
    m_stepName.clear();
    const bool present = (m_image[kImagePos] & 0x02) != 0;
    // Only into the image of the device that was read, and only where it has the byte.
    if (m_main.Online && !m_main.OfflineFile) {
        auto &g = m_main.Data.Geraet;
        const long long index = m_main.Data.State.IndexOf(kModemFlags);
        if (TGeraet::ValidIndex(index))
            g.SetByte(index, present ? (g.GetByte(index) | 0x02) : (g.GetByte(index) & ~0x02));
    }
    m_main.UserPrompter().information(GetText(present ? 287 : 288));
    emit ModemTestFinished(present);
}

bool ModemSession::IdentFbed(const QString &entered)
{
    if (!m_main.ModemOnline || !m_stepName.isEmpty())
        return false;
    bool ok = false;
    const uint number = entered.trimmed().toUInt(&ok, 10);
    if (!ok || number > 0xFFFF) {
        m_main.UserPrompter().information(GetText(725));
        return false;
    }
    m_image[kImagePos] = quint8(number >> 8);
    m_image[kImagePos + 1] = quint8(number);
    m_stepName = kIdentFbed;
    return PushOwn(26, 0, 2, kImagePos);
}

void ModemSession::TeleMessage(quint16, quint32 wParam, quint32 lParam)
{
    TeleReport report;
    report.wParam = wParam;
    report.lParam = lParam;
    Log(QStringLiteral("DV E1:") + Text::ToHex(wParam, 8) + QLatin1Char(' ') + Text::ToHex(lParam, 8));
    if (report.Ok())
        Log(QStringLiteral("DV E2"));
    if (m_stepName == kModemTest) {
        StepModemTest(report);
    } else if (m_stepName == kIdentFbed) {
        m_stepName.clear();
        const quint8 code = report.Byte(4);
        const bool accepted = report.Ok() && code == kFbedAccepted;
        if (accepted) {
            SetFbed(true);
        } else if (code == kFbedRefused) {
            SetFbed(false);
            m_main.UserPrompter().information(GetText(45));
        }
        emit FbedAnswered(accepted);
    }
}
