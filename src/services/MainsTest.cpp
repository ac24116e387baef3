#include "services/MainsTest.h"
#include "device/Catalogue.h"
#include "params/ParameterSender.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"

const QString MainsTest::PollAction = QStringLiteral("Timer_Netzschutz");
const QString MainsTest::StartAction = QStringLiteral("Netzschutz Starten");
const QString MainsTest::StopAction = QStringLiteral("Netzschutz Stoppen");
const QString MainsTest::StopResetAction = QStringLiteral("Netzschutz Timer Zurücksetzen");
const QString MainsTest::ExtendAction = QStringLiteral("Netzschutz Verlängern");

namespace {
constexpr quint8 kOwnAddress = 55;
constexpr quint8 kStartHigh = 0x39;
constexpr quint8 kStartLow = 0x06;
} // namespace

MainsTest::MainsTest(MainController &main, ParameterSender &sender, QObject *parent)
    : QObject(parent), m_main(main), m_sender(sender)
{
    m_pollTimer.setInterval(10000);
    m_tickTimer.setInterval(1000);
    connect(&m_pollTimer, &QTimer::timeout, this, &MainsTest::Poll);
    connect(&m_tickTimer, &QTimer::timeout, this, &MainsTest::Tick);
    m_main.RegisterAction(PollAction, [this](const TeleReport &r) { OnPollAnswer(r); });
    m_sender.RegisterAckContinuation(StartAction, [this] { OnStarted(); });
    m_sender.RegisterAckContinuation(StopAction, [this] { OnStopped(); });
    m_sender.RegisterAckContinuation(StopResetAction, [this] {
        m_step = Step::Idle;
        m_main.SetPendingAction(QString());
    });
    m_sender.RegisterAckContinuation(ExtendAction, [this] { OnExtended(); });
    connect(&m_sender, &ParameterSender::WriteFailed, this, &MainsTest::OnWriteFailed);
}

MainsTest::~MainsTest()
{
    StopTimers();
    m_main.RegisterAction(PollAction, nullptr);
    for (const QString &name : {StartAction, StopAction, StopResetAction, ExtendAction})
        m_sender.RegisterAckContinuation(name, nullptr);
    if (OwnsPending())
        m_main.SetPendingAction(QString());
}

int MainsTest::Duration(int deviceType, int programVersion)
{
    if (InSetA(deviceType))
        return 900;
    if (InSetB(deviceType))
        return programVersion > 11 ? 1800 : 900;
    return 0;
}

int MainsTest::Mark(int deviceType, int programVersion)
{
    // Five minutes before the end, in the timer's ten-second steps.
    const int duration = Duration(deviceType, programVersion);
    return duration > 0 ? (duration - 300) / 10 : -1;
}

QString MainsTest::FormatRemaining(int seconds)
{
    if (seconds <= 0)
        return QStringLiteral("0");
    return QStringLiteral("%1:%2 Min.").arg(seconds / 60).arg(seconds % 60);
}

void MainsTest::SetIntervals(int pollMs, int tickMs)
{
    m_pollTimer.setInterval(pollMs);
    m_tickTimer.setInterval(tickMs);
}

bool MainsTest::OwnsPending() const
{
    const QString &p = m_main.PendingAction;
    return p == PollAction || p == StartAction || p == StopAction || p == StopResetAction || p == ExtendAction;
}

void MainsTest::SetDisplay(const QString &text)
{
    if (m_display == text)
        return;
    m_display = text;
    emit DisplayChanged(text);
}

void MainsTest::StopTimers()
{
    m_pollTimer.stop();
    m_tickTimer.stop();
}

bool MainsTest::Write(Step step, const QString &action, int kind, int address, int high, int low)
{
    m_sender.SendHigh = high;
    m_sender.SendLow = low;
    m_step = step;
    m_main.SetPendingAction(action);
    if (!m_sender.WriteValue(kind, QString::number(address, 16))) {
        m_step = Step::Idle;
        if (m_main.PendingAction == action)
            m_main.SetPendingAction(QString());
        return false;
    }
    return true;
}

bool MainsTest::Start()
{
    if (Busy() || m_running)
        return false;
    if (m_polling) {
        // One telegram at a time: the start follows the answer of the poll on the line.
        m_queued = Queued::Start;
        return true;
    }
    return Write(Step::Starting, StartAction, 2, CommandAddress, kStartHigh, kStartLow);
}

bool MainsTest::Stop()
{
    if (Busy())
        return false;
    if (m_polling) {
        // The poll's answer is due within the read timeout; the stop follows it.
        m_queued = Queued::Stop;
        return true;
    }
    return Write(Step::Stopping, StopAction, 2, CommandAddress, 0x00, 0x00);
}

void MainsTest::Detach()
{
    StopTimers();
    // A poll on the line is left to its answer, which frees the line and is then ignored.
    m_queued = Queued::None;
    const bool was = m_running;
    m_running = false;
    // A write still on the line finishes, but a confirmed start no longer starts the display.
    if (m_step == Step::Starting || m_step == Step::Extending)
        m_step = Step::Idle;
    SetDisplay(IdleText());
    if (was)
        emit RunningChanged(false);
}

void MainsTest::OnStarted()
{
    const bool wanted = m_step == Step::Starting;
    m_step = Step::Idle;
    m_main.SetPendingAction(QString());
    if (!wanted)
        return;
    const tyTelegramm &img = m_main.WorkImage;
    if (img[TelePos::AddrHigh] != kStartHigh || img[TelePos::AddrHigh + 1] != kStartLow) {
        m_main.UserPrompter().error(GetText(631));
        return;
    }
    const DeviceData &d = m_main.Data;
    m_duration = Duration(d.State.DeviceType, d.Geraet.ProgramVersion);
    m_mark = Mark(d.State.DeviceType, d.Geraet.ProgramVersion);
    m_remaining = m_duration;
    m_markArmed = m_mark >= 0;
    m_timerValue = -1;
    m_running = true;
    emit RunningChanged(true);
    if (m_remaining <= 0) {
        // No known test length: the device runs its test, the PC has nothing to count.
        Tick();
        return;
    }
    SetDisplay(FormatRemaining(m_remaining));
    m_pollTimer.start();
    m_tickTimer.start();
}

void MainsTest::OnStopped()
{
    const bool wanted = m_step == Step::Stopping;
    m_step = Step::Idle;
    m_main.SetPendingAction(QString());
    if (!wanted)
        return;
    const tyTelegramm &img = m_main.WorkImage;
    if (img[TelePos::AddrHigh] != 0 || img[TelePos::AddrHigh + 1] != 0) {
        m_main.UserPrompter().error(GetText(632));
        return;
    }
    StopTimers();
    const bool was = m_running;
    m_running = false;
    SetDisplay(IdleText());
    if (was)
        emit RunningChanged(false);
    Write(Step::ResettingAfterStop, StopResetAction, 1, TimerAddress, 0x00, 0x00);
}

void MainsTest::OnExtended()
{
    const bool wanted = m_step == Step::Extending;
    m_step = Step::Idle;
    m_main.SetPendingAction(QString());
    if (!wanted || !m_running)
        return;
    // The device counts its test from the start again, so does the PC.
    m_remaining = m_duration;
    m_timerValue = 0;
    m_markArmed = true;
    SetDisplay(FormatRemaining(m_remaining));
    m_pollTimer.start();
    if (!m_tickTimer.isActive())
        m_tickTimer.start();
}

void MainsTest::OnWriteFailed()
{
    if (m_step == Step::Idle)
        return;
    // The write has shown its message (refusal or line); nothing of this step took effect.
    const Step failed = m_step;
    m_step = Step::Idle;
    if (OwnsPending())
        m_main.SetPendingAction(QString());
    if (failed == Step::Extending && m_running)
        m_pollTimer.start();
}

void MainsTest::Poll()
{
    if (!m_running || Busy() || m_polling)
        return;
    // Another chain on the line: this poll is skipped, the next comes in one interval.
    if (m_main.LinkBusy || !m_main.PendingAction.isEmpty())
        return;
    tyTelegramm &img = m_main.WorkImage;
    img[TelePos::Slave] = m_main.Init.SlaveAddress;
    img[TelePos::Own] = kOwnAddress;
    img[TelePos::Length] = 7;
    img[TelePos::Code] = 5;
    img[TelePos::AddrHigh] = quint8(TimerAddress >> 8);
    img[TelePos::AddrLow] = quint8(TimerAddress);
    img[TelePos::CountOrData] = 1;
    m_main.SetPendingAction(PollAction);
    m_main.LinkBusy = true;
    m_polling = true;
    if (!m_main.SendImage()) {
        m_polling = false;
        m_main.SetPendingAction(QString());
        m_main.LinkBusy = false;
    }
}

void MainsTest::OnPollAnswer(const TeleReport &report)
{
    m_polling = false;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    if (m_queued != Queued::None) {
        const Queued next = m_queued;
        m_queued = Queued::None;
        if (next == Queued::Start)
            Start();
        else
            Stop();
        return;
    }
    // A failed or short poll is left to the next one; the dispatch has warned about the line.
    if (!report.Ok() || int(report.Byte(3)) - 4 < 1 || !m_running)
        return;
    m_timerValue = m_main.WorkImage[TelePos::AddrHigh];
    // Polled every ten seconds, the timer may pass its mark between two reads: the first
    // value at or beyond it asks.
    if (m_markArmed && m_mark >= 0 && m_timerValue >= m_mark)
        Offer();
}

void MainsTest::Offer()
{
    m_markArmed = false;
    m_pollTimer.stop();
    const bool yes = m_main.UserPrompter().question(GetText(630));
    if (!m_running)
        return;
    if (!yes || !Write(Step::Extending, ExtendAction, 1, TimerAddress, 0x00, 0x00))
        m_pollTimer.start();
}

void MainsTest::Tick()
{
    if (m_remaining > 0)
        --m_remaining;
    if (m_remaining > 0) {
        SetDisplay(FormatRemaining(m_remaining));
        return;
    }
    StopTimers();
    SetDisplay(FormatRemaining(0));
    if (m_running) {
        m_running = false;
        emit RunningChanged(false);
    }
}
